#!/usr/bin/env bash
# tools/release/pe_version.py check on small PE files made here: one whose version block carries the
# version everywhere passes; one whose fixed file version, or fixed product version, alone is
# another fails, naming which.
set -euo pipefail
pe_version="$(cd "$(dirname "$0")/../.." && pwd)/tools/release/pe_version.py"
scratch="$(mktemp -d /tmp/pelmora-pe-version.XXXXXX)"
trap 'rm -rf "$scratch"' EXIT
cd "$scratch"

# make.py NAME FILE_VERSION PRODUCT_VERSION: a PE32+ image with one section holding a resource
# tree of one RT_VERSION entry; the strings all say 1.2.3.1
cat >make.py <<'PY'
import struct, sys

def block(key, value=b"", children=b"", text=False):
    head = 6 + 2 * (len(key) + 1)
    pad = (-head) % 4
    body = key.encode("utf-16-le") + b"\0\0" + b"\0" * pad + value
    body += b"\0" * ((-len(body) - 6) % 4) + children
    length = 6 + len(body)
    value_length = len(value) // 2 if text else len(value)
    return struct.pack("<HHH", length, value_length, 1 if text else 0) + body + b"\0" * ((-length) % 4)

def numbers(text):
    a, b, c, d = (int(n) for n in text.split("."))
    return (a << 16) | b, (c << 16) | d

name, file_version, product_version = sys.argv[1:4]
fixed = struct.pack("<13I", 0xFEEF04BD, 0x10000, *numbers(file_version), *numbers(product_version),
                    0x3F, 0, 0x40004, 1, 0, 0, 0)
strings = {"CompanyName": "Pelmora", "FileDescription": "Pelmora", "FileVersion": "1.2.3.1",
           "LegalCopyright": "Pelmora", "OriginalFilename": name, "ProductName": "Pelmora",
           "ProductVersion": "1.2.3.1"}
table = b"".join(block(k, (v + "\0").encode("utf-16-le"), text=True) for k, v in strings.items())
info = block("StringFileInfo", children=block("040904b0", children=table))
version = block("VS_VERSION_INFO", fixed, info)

RVA, RAW = 0x1000, 0x200
def directory(entry_id, target):
    return struct.pack("<IIHHHHII", 0, 0, 0, 0, 0, 1, entry_id, target)
tree = directory(16, 0x80000000 | 24) + directory(1, 0x80000000 | 48) + directory(0x409, 72)
tree += struct.pack("<IIII", RVA + 88, len(version), 0, 0) + version
tree += b"\0" * ((-len(tree)) % 512)

coff = struct.pack("<HHIIIHH", 0x8664, 1, 0, 0, 0, 240, 0x22)
optional = struct.pack("<H", 0x20B) + b"\0" * 106 + struct.pack("<I", 16)
optional += b"\0" * 16 + struct.pack("<II", RVA, len(tree)) + b"\0" * (16 * 8 - 24)
section = b".rsrc\0\0\0" + struct.pack("<IIII", len(tree), RVA, len(tree), RAW) + b"\0" * 16
header = b"MZ" + b"\0" * 58 + struct.pack("<I", 64) + b"PE\0\0" + coff + optional + section
with open(name, "wb") as f:
    f.write(header + b"\0" * (RAW - len(header)) + tree)
PY

failures=0
# case NAME FILE_VERSION PRODUCT_VERSION EXPECTED: "ok", or a text the refusal must hold
case_of() {
    local out rc=0
    python3 make.py "$1" "$2" "$3"
    out="$(python3 "$pe_version" check 1.2.3 "$1" 2>&1)" || rc=$?
    if [ "$4" = ok ] && [ "$rc" -ne 0 ]; then
        echo "FAIL $1: refused: $out"
    elif [ "$4" != ok ] && [ "$rc" -eq 0 ]; then
        echo "FAIL $1: accepted"
    elif [ "$4" != ok ] && ! grep -qF -- "$4" <<<"$out"; then
        echo "FAIL $1: refused without saying \"$4\": $out"
    else
        echo "ok   $1"
        return 0
    fi
    failures=$((failures + 1))
}
case_of Good.exe 1.2.3.1 1.2.3.1 ok
case_of OtherFileVersion.exe 1.2.4.1 1.2.3.1 "file version 1.2.4.1, not 1.2.3.1"
case_of OtherProductVersion.dll 1.2.3.1 1.2.3.0 "product version 1.2.3.0, not 1.2.3.1"

[ "$failures" -eq 0 ] || { echo "$failures case(s) failed"; exit 1; }
echo "all cases passed"
