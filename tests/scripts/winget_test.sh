#!/usr/bin/env bash
# The winget manifests scripts/release.sh writes pass the schemas of manifest version 1.12.0 and
# the checks a schema cannot make, and each of those checks catches the fault it is there for.
# Usage: winget_test.sh VERSION   (skipped, exit code 77, when the schemas are not there)
set -euo pipefail
version="$1"
winget="$(cd "$(dirname "$0")/../.." && pwd)/tools/release/winget.py"
scratch="$(mktemp -d /tmp/pelmora-winget.XXXXXX)"
trap 'rm -rf "$scratch"' EXIT
cd "$scratch"

setup="Pelmora-$version-Setup.exe"
printf 'a stand-in for Setup\n' >"$setup"
printf 'the Linux archive\n' >other.tar.gz
sha256sum "$setup" other.tar.gz >SHA256SUMS
python3 "$winget" write good "$version" "$setup" "https://example.org/download/v$version/$setup" 2026-01-31
rc=0
python3 "$winget" check good "$version" SHA256SUMS || rc=$?
[ "$rc" -ne 77 ] || exit 77
failures=0
[ "$rc" -eq 0 ] || { echo "FAIL: the manifests as written do not pass"; failures=$((failures + 1)); }

installer="Pelmora.Pelmora.installer.yaml"
# rejected CASE SED-EXPRESSION FILE EXPECTED-TEXT: the check must fail on a changed copy, naming why
rejected() {
    local case="$1" expression="$2" file="$3" expected="$4" out
    rm -rf bad && cp -r good bad
    sed -i "$expression" "bad/$file"
    if out="$(python3 "$winget" check bad "$version" SHA256SUMS)"; then
        echo "FAIL: $case: accepted"
        failures=$((failures + 1))
    elif ! grep -qF -- "$expected" <<<"$out"; then
        echo "FAIL: $case: rejected without saying \"$expected\":"
        echo "$out"
        failures=$((failures + 1))
    else
        echo "ok   $case: rejected"
    fi
}
rejected "another package version" "s/^PackageVersion: .*/PackageVersion: 9.9.9/" \
    Pelmora.Pelmora.yaml "not the project version $version"
rejected "a hash that is not Setup's" "0,/InstallerSha256: /s/InstallerSha256: ./InstallerSha256: 0/" \
    "$installer" "name different files"
rejected "another file for x86" "s|/$setup\$|/Pelmora-Setup-x86.exe|;0,/Pelmora-Setup-x86/s||$setup|" \
    "$installer" "name different files"
rejected "a scope the schema does not know" "s/^Scope: machine/Scope: everyone/" "$installer" \
    "Scope: 'everyone' is not one of"
rejected "a missing license" "/^License:/d" Pelmora.Pelmora.locale.en-US.yaml \
    "'License' is a required property"
rejected "arm64 offered" "/^- arm64/d;s/^UnsupportedOSArchitectures:.*/UnsupportedOSArchitectures: []/" \
    "$installer" "arm64 is not declared unsupported"
rejected "a choice of folder offered" "s/^- location\$/- log/" "$installer" \
    "--location is not declared unsupported"
# SHA256SUMS as sha256sum -b writes it ("DIGEST *NAME") names Setup as well.
sha256sum -b "$setup" other.tar.gz >SHA256SUMS
if out="$(python3 "$winget" check good "$version" SHA256SUMS)"; then
    echo "ok   SHA256SUMS in binary mode: accepted"
else
    echo "FAIL: SHA256SUMS in binary mode: rejected:"
    echo "$out"
    failures=$((failures + 1))
fi
# The hash in the manifests, but Setup changed after SHA256SUMS was written.
printf 'another Setup\n' >"$setup"
sha256sum "$setup" other.tar.gz >SHA256SUMS
rejected "SHA256SUMS of another Setup" "" "$installer" "but SHA256SUMS gives"

[ "$failures" -eq 0 ] || { echo "$failures case(s) failed"; exit 1; }
echo "all cases passed"
