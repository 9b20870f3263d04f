#!/usr/bin/env bash
# The signing road of scripts/release.sh, with a certificate authority, keys and a token made here
# and thrown away: a signed program and Setup (with its uninstaller) verify against that authority
# and fail to after a changed byte; the same key and time give the same bytes; the detached
# signatures, attached to an unsigned rebuild, give the signed bytes; Setup built without signing
# is the same as before; SHA256SUMS.asc verifies; and every bad configuration stops the check with
# one line saying what to fix. The PKCS#11 case runs where SoftHSM2 and OpenSSL's PKCS#11 engine
# are installed. Usage: signing_test.sh   (exit code 77 when osslsigncode is missing)
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
signing="$root/tools/release/signing.sh"
command -v osslsigncode >/dev/null || { echo "SKIPPED: osslsigncode is not installed (scripts/setup.sh)"; exit 77; }
scratch="$(mktemp -d /tmp/pelmora-signing.XXXXXX)"
trap 'rm -rf "$scratch"' EXIT
cd "$scratch"
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
ok() { echo "ok   $*"; }

# The authority and its certificates: a code-signing one, an expired one, one for web servers.
openssl req -x509 -newkey rsa:2048 -nodes -keyout ca.key -out ca.pem -days 2 -subj "/CN=Throwaway CA" \
    -addext basicConstraints=critical,CA:TRUE -addext keyUsage=critical,keyCertSign 2>/dev/null
printf '[code]\nextendedKeyUsage=codeSigning\n[web]\nextendedKeyUsage=serverAuth\n' >ext.cnf
openssl req -newkey rsa:2048 -nodes -keyout key.pem -out leaf.csr -subj "/CN=Pelmora test" 2>/dev/null
leaf() { # leaf OUT DAYS SECTION
    openssl x509 -req -in leaf.csr -CA ca.pem -CAkey ca.key -CAcreateserial -days "$2" -extfile ext.cnf \
        -extensions "$3" -out "$1" 2>/dev/null
}
leaf cert.pem 1 code && leaf expired.pem -1 code && leaf web.pem 1 web
printf 'pass phrase\n' >pin
openssl pkey -in key.pem -aes256 -passout file:pin -out key-locked.pem

# A small program, and Setup made by the product's installer script around it.
printf 'int main(void) { return 0; }\n' >p.c
x86_64-w64-mingw32-gcc -s -Wl,--no-insert-timestamp -o p.exe p.c
cp "$root/LICENSE" notices.txt
setup() { # setup OUT [SIGN_COMMAND]
    local defines=()
    [ -z "${2:-}" ] || defines=("-DSIGN_COMMAND=$2")
    makensis -V1 -WX -NOCD -DPELMORA_VERSION=1.0.0 -DPELMORA_FILE_VERSION=1.0.0.1 -DPELMORA_VERSION_MAJOR=1 \
        -DPELMORA_VERSION_MINOR=0 -DPELMORA_HOMEPAGE=https://example.org -DPELMORA_COPYRIGHT=c \
        -DPELMORA_ICON="$root/app/res/pelmora.ico" -DX64_EXE=p.exe -DX64_DLL=p.exe -DX86_EXE=p.exe \
        -DX86_DLL=p.exe -DX64_CLI=p.exe -DX86_CLI=p.exe -DPATH_HELPER=p.exe -DLICENSE_TXT="$root/LICENSE" \
        -DNOTICES_TXT=notices.txt -DOUTFILE="$scratch/$1" "${defines[@]}" "$root/installer/pelmora.nsi" >/dev/null
}
setup unsigned-1.exe
setup unsigned-2.exe

export PELMORA_SIGN_CERT=cert.pem PELMORA_SIGN_KEY=key-locked.pem PELMORA_SIGN_PIN_FILE=pin
export PELMORA_SIGN_TIME=1767225600 PELMORA_SIGNATURES_OUT="$scratch/sigs"
verifies() { osslsigncode verify -CAfile ca.pem -in "$1" >/dev/null 2>&1; }

bash "$signing" check || fail "check refuses a good key file"
cp p.exe signed.exe && bash "$signing" sign signed.exe p.exe
cp p.exe again.exe && PELMORA_SIGNATURES_OUT="$scratch/again" bash "$signing" sign again.exe p.exe
verifies signed.exe && ok "signed program verifies" || fail "the signed program does not verify"
cmp -s signed.exe again.exe && ok "same key and time: same bytes" || fail "two signings differ"
cp signed.exe tampered.exe
printf 'X' | dd of=tampered.exe bs=1 seek=200 conv=notrunc 2>/dev/null
verifies tampered.exe && fail "a changed byte still verifies" || ok "a changed byte fails verification"

setup signed-setup.exe "bash $signing apply"
verifies signed-setup.exe && ok "signed Setup verifies" || fail "the signed Setup does not verify"
[ -s sigs/Uninstall.exe.sig ] && [ -s sigs/Pelmora-1.0.0-Setup.exe.sig ] ||
    fail "the uninstaller's or Setup's signature was not kept"
cmp -s unsigned-1.exe unsigned-2.exe && ! cmp -s unsigned-1.exe signed-setup.exe &&
    ok "Setup without signing: same bytes" || fail "unsigned Setup differs between builds, or is signed"
# A rebuilder without the key: the published signatures give the published bytes.
cp p.exe attached.exe
(unset PELMORA_SIGN_KEY PELMORA_SIGN_CERT; export PELMORA_SIGNATURES_IN="$scratch/sigs" \
    PELMORA_SIGN_CAFILE=ca.pem PELMORA_SIGNATURES_OUT="$scratch/rebuilt"
    bash "$signing" attach attached.exe p.exe && setup attached-setup.exe "bash $signing apply") ||
    fail "attaching the signatures failed"
cmp -s attached.exe signed.exe && cmp -s attached-setup.exe signed-setup.exe &&
    ok "detached signatures attach to the same bytes" || fail "attached signatures give other bytes"

# SHA256SUMS.asc
export GNUPGHOME="$scratch/gnupg"
mkdir -m 700 "$GNUPGHOME"
gpg --batch --passphrase '' --quick-gen-key "Pelmora test <test@pelmora.invalid>" rsa2048 sign 1d 2>/dev/null
sha256sum signed.exe signed-setup.exe >SHA256SUMS
PELMORA_GPG_KEY=test@pelmora.invalid bash "$signing" sums SHA256SUMS
gpg --batch --verify SHA256SUMS.asc SHA256SUMS 2>/dev/null && ok "SHA256SUMS.asc verifies" ||
    fail "SHA256SUMS.asc does not verify"
sed -i '1s/^./x/' SHA256SUMS  # never a hexadecimal digit, so the line always changes
gpg --batch --verify SHA256SUMS.asc SHA256SUMS 2>/dev/null && fail "a changed SHA256SUMS still verifies" ||
    ok "a changed SHA256SUMS fails verification"

# refused CASE EXPECTED VAR=VALUE...: the check stops with exactly one line that holds EXPECTED
refused() {
    local case="$1" expected="$2" out rc=0
    shift 2
    out="$(env "$@" bash "$signing" check 2>&1)" || rc=$?
    if [ "$rc" -eq 0 ]; then
        fail "$case: accepted"
    elif [ "$(wc -l <<<"$out")" -ne 1 ] || ! grep -qF -- "$expected" <<<"$out"; then
        fail "$case: not one line saying \"$expected\": $out"
    else
        ok "$case: refused"
    fi
}
printf 'wrong\n' >wrong-pin
refused "wrong pass phrase" "refused the PIN" PELMORA_SIGN_PIN_FILE=wrong-pin
refused "expired certificate" "has expired" PELMORA_SIGN_CERT=expired.pem
refused "certificate not for code signing" "is not for code signing" PELMORA_SIGN_CERT=web.pem
refused "unreachable timestamp server" "did not answer" PELMORA_SIGN_TIMESTAMP=http://127.0.0.1:9
refused "no key" "needs both" PELMORA_SIGN_KEY=

# The same with the key in a token.
engine="$(find /usr/lib -name pkcs11.so -path "*engines*" 2>/dev/null | head -n 1)"
module=/usr/lib/softhsm/libsofthsm2.so
if command -v softhsm2-util >/dev/null && [ -f "$module" ] && [ -n "$engine" ]; then
    mkdir tokens
    printf 'directories.tokendir = %s/tokens\n' "$scratch" >softhsm2.conf
    export SOFTHSM2_CONF="$scratch/softhsm2.conf"
    softhsm2-util --init-token --free --label pelmora --pin 1234 --so-pin 5678 >/dev/null
    softhsm2-util --import key.pem --token pelmora --label signing --id 01 --pin 1234 >/dev/null
    printf '1234\n' >token-pin
    token=(PELMORA_SIGN_KEY="pkcs11:token=pelmora;object=signing;type=private" PELMORA_SIGN_PIN_FILE=token-pin
        PELMORA_SIGN_PKCS11_MODULE="$module" PELMORA_SIGN_PKCS11_ENGINE="$engine")
    cp p.exe token.exe
    env "${token[@]}" bash "$signing" check && env "${token[@]}" bash "$signing" sign token.exe p.exe &&
        verifies token.exe && cmp -s token.exe signed.exe && ok "the token's key signs the same bytes" ||
        fail "signing with the token failed or gave other bytes"
    refused "wrong PIN" "refused the PIN" "${token[@]}" PELMORA_SIGN_PIN_FILE=wrong-pin
    refused "token without the key" "PKCS#11 token could not be used" "${token[@]}" \
        PELMORA_SIGN_KEY="pkcs11:token=pelmora;object=absent;type=private"
else
    echo "skipped: the PKCS#11 cases (softhsm2 and libengine-pkcs11-openssl are not installed)"
fi

[ "$failures" -eq 0 ] || { echo "$failures case(s) failed"; exit 1; }
echo "all cases passed"
