#!/usr/bin/env bash
# The signatures of a release: Authenticode for the Windows files, with Debian's osslsigncode
# (used by scripts/release.sh for the binaries and by makensis for the uninstaller and Setup), and
# OpenPGP for SHA256SUMS.
#
#   signing.sh check           the configuration, the certificate, the key and the timestamp
#                              server, by signing a small program; one line on what to fix
#   signing.sh sign FILE NAME  signs FILE in place and keeps its signature, detached, as
#                              $PELMORA_SIGNATURES_OUT/NAME.sig
#   signing.sh attach FILE NAME
#                              attaches $PELMORA_SIGNATURES_IN/NAME.sig to FILE in place: a rebuild
#                              of the same commit gets the published signed bytes
#   signing.sh apply FILE NAME attach when PELMORA_SIGNATURES_IN names the signatures of a signed
#                              release, sign otherwise
#   signing.sh sums FILE       FILE.asc, FILE's detached OpenPGP signature by $PELMORA_GPG_KEY (a
#                              key in gpg's keyring), checked before it is kept
#
# Configuration (the environment; nothing of it is written anywhere):
#   PELMORA_SIGN_CERT      the code-signing certificate, PEM, followed by its intermediates
#   PELMORA_SIGN_KEY       its private key: a PKCS#11 URI (pkcs11:token=...;object=...) of a key in
#                          a token or HSM, or a PEM key file
#   PELMORA_SIGN_PKCS11_MODULE   the token's PKCS#11 module (with a pkcs11: key)
#   PELMORA_SIGN_PKCS11_ENGINE   OpenSSL's PKCS#11 engine, if not the default one
#   PELMORA_SIGN_PIN_FILE  a file holding the token's PIN or the key file's pass phrase
#   PELMORA_SIGN_TIMESTAMP the RFC 3161 timestamp server's URL (none: no timestamp)
#   PELMORA_SIGN_TIME      the signing time, Unix seconds (two builds signed with one time and no
#                          timestamp are byte-identical)
#   PELMORA_SIGN_CAFILE    the certificates that attach trusts (default: the system's)
set -euo pipefail
die() {
    echo "release: $*" >&2
    exit 1
}

key_args() {
    local key="${PELMORA_SIGN_KEY:-}"
    args=(-certs "$PELMORA_SIGN_CERT" -key "$key" -h sha256 -time "${PELMORA_SIGN_TIME:?}")
    if [[ "$key" == pkcs11:* ]]; then
        args+=(-pkcs11module "${PELMORA_SIGN_PKCS11_MODULE:-}")
        [ -z "${PELMORA_SIGN_PKCS11_ENGINE:-}" ] || args+=(-pkcs11engine "$PELMORA_SIGN_PKCS11_ENGINE")
    fi
    [ -z "${PELMORA_SIGN_PIN_FILE:-}" ] || args+=(-readpass "$PELMORA_SIGN_PIN_FILE")
    [ -z "${PELMORA_SIGN_TIMESTAMP:-}" ] || args+=(-ts "$PELMORA_SIGN_TIMESTAMP")
}

# Says in one line why osslsigncode failed, from what it printed.
explain() {
    local out="$1"
    [ -z "${PELMORA_SIGN_DEBUG:-}" ] || printf '%s\n' "$out" >&2
    if grep -qiE "PIN_INCORRECT|PIN incorrect|Login failed|PIN_LEN|bad password|bad decrypt|PIN_LOCKED|interrupted or cancelled" <<<"$out"; then
        die "the token refused the PIN, or the key file's pass phrase is wrong: check PELMORA_SIGN_PIN_FILE"
    elif grep -qiE "Connecting to|timestamp|Failed to send|ts_request" <<<"$out" &&
        [ -n "${PELMORA_SIGN_TIMESTAMP:-}" ]; then
        die "the timestamp server $PELMORA_SIGN_TIMESTAMP did not answer: check PELMORA_SIGN_TIMESTAMP and the network"
    elif grep -qiE "engine|module|pkcs11" <<<"$out"; then
        die "the PKCS#11 token could not be used: check PELMORA_SIGN_PKCS11_MODULE, that the token is present and that PELMORA_SIGN_KEY names its key"
    else
        die "signing failed (osslsigncode: $(grep -v '^$' <<<"$out" | tail -n 1)): check PELMORA_SIGN_KEY and PELMORA_SIGN_CERT"
    fi
}

check() {
    local cert="${PELMORA_SIGN_CERT:-}" key="${PELMORA_SIGN_KEY:-}"
    [ -n "$cert" ] && [ -n "$key" ] || die "signing needs both PELMORA_SIGN_CERT and PELMORA_SIGN_KEY"
    [ -r "$cert" ] || die "the certificate $cert cannot be read: set PELMORA_SIGN_CERT to the PEM file"
    [[ "$key" == pkcs11:* ]] || [ -r "$key" ] ||
        die "the key file $key cannot be read: set PELMORA_SIGN_KEY to the key file or a pkcs11: URI"
    if [[ "$key" == pkcs11:* ]]; then
        [ -r "${PELMORA_SIGN_PKCS11_MODULE:-}" ] ||
            die "a pkcs11: key needs PELMORA_SIGN_PKCS11_MODULE, the token's PKCS#11 module (a .so file)"
    fi
    [ -z "${PELMORA_SIGN_PIN_FILE:-}" ] || [ -r "$PELMORA_SIGN_PIN_FILE" ] ||
        die "the PIN file $PELMORA_SIGN_PIN_FILE cannot be read"
    local text
    text="$(openssl x509 -in "$cert" -noout -text 2>/dev/null)" ||
        die "$cert is not a PEM certificate: set PELMORA_SIGN_CERT to the code-signing certificate"
    openssl x509 -in "$cert" -noout -checkend 0 >/dev/null ||
        die "the certificate $cert has expired ($(openssl x509 -in "$cert" -noout -enddate)): renew it"
    grep -A1 "Extended Key Usage" <<<"$text" | grep -q "Code Signing" ||
        die "the certificate $cert is not for code signing (no Code Signing extended key usage): use a code-signing certificate"
    # A small program signed as the binaries will be: the PIN, the key and the timestamp server are
    # all tried before anything is built.
    local probe out
    probe="$(mktemp -d /tmp/pelmora-sign.XXXXXX)"
    printf 'int main(void) { return 0; }\n' >"$probe/probe.c"
    x86_64-w64-mingw32-gcc -s -o "$probe/probe.exe" "$probe/probe.c" ||
        { rm -rf "$probe"; die "x86_64-w64-mingw32-gcc is missing: run scripts/setup.sh"; }
    key_args
    if ! out="$(osslsigncode sign "${args[@]}" -in "$probe/probe.exe" -out "$probe/signed.exe" 2>&1)" ||
        [ ! -s "$probe/signed.exe" ]; then
        rm -rf "$probe"
        explain "$out"
    fi
    rm -rf "$probe"
}

sign() {
    local file="$1" name="$2" out
    key_args
    if ! out="$(osslsigncode sign "${args[@]}" -in "$file" -out "$file.signed" 2>&1)"; then
        rm -f "$file.signed"
        explain "$out"
    fi
    mv "$file.signed" "$file"
    mkdir -p "${PELMORA_SIGNATURES_OUT:?}"
    # osslsigncode refuses to overwrite: a file signed again keeps only its newest signature.
    rm -f "$PELMORA_SIGNATURES_OUT/$name.sig"
    osslsigncode extract-signature -in "$file" -out "$PELMORA_SIGNATURES_OUT/$name.sig" >/dev/null ||
        die "the signature of $name could not be extracted"
}

attach() {
    local file="$1" name="$2" sig="${PELMORA_SIGNATURES_IN:?}/$2.sig" out
    [ -f "$sig" ] || die "no signature $sig for $name: give the published signatures/ folder of this release"
    local ca=()
    [ -z "${PELMORA_SIGN_CAFILE:-}" ] || ca=(-CAfile "$PELMORA_SIGN_CAFILE")
    if ! out="$(osslsigncode attach-signature "${ca[@]}" -sigin "$sig" -in "$file" -out "$file.signed" 2>&1)"; then
        rm -f "$file.signed"
        die "the signature $sig does not fit this build of $name (another commit or toolchain?), or its certificate is not trusted (PELMORA_SIGN_CAFILE)"
    fi
    mv "$file.signed" "$file"
    if [ -n "${PELMORA_SIGNATURES_OUT:-}" ]; then
        mkdir -p "$PELMORA_SIGNATURES_OUT"
        cp "$sig" "$PELMORA_SIGNATURES_OUT/$name.sig"
    fi
}

sums() {
    local file="$1" log
    command -v gpg >/dev/null || die "gpg is missing: run scripts/setup.sh"
    log="$(mktemp /tmp/pelmora-gpg.XXXXXX)"
    if ! gpg --batch --yes --local-user "${PELMORA_GPG_KEY:?}" --armor --detach-sign --output "$file.asc" \
        "$file" 2>"$log" || ! gpg --batch --verify "$file.asc" "$file" 2>"$log"; then
        rm -f "$file.asc"
        die "gpg could not sign $(basename "$file") with $PELMORA_GPG_KEY ($(tail -n 1 "$log")): check PELMORA_GPG_KEY and GNUPGHOME"
    fi
    rm -f "$log"
}

[ "${1:-}" = sums ] || command -v osslsigncode >/dev/null || die "osslsigncode is missing: run scripts/setup.sh"
case "${1:-}" in
check) check ;;
sums) sums "$2" ;;
sign) sign "$2" "$3" ;;
attach) attach "$2" "$3" ;;
apply) if [ -n "${PELMORA_SIGNATURES_IN:-}" ]; then attach "$2" "$3"; else sign "$2" "$3"; fi ;;
*) echo "usage: signing.sh check | sign|attach|apply FILE NAME | sums FILE" >&2; exit 2 ;;
esac
