#!/usr/bin/env python3
"""Reads the version block (VERSIONINFO) of Windows binaries, here on any host, and checks that
they all carry the product's one version.

    pe_version.py show FILE                 prints the block's numbers and strings
    pe_version.py check VERSION FILE[=NAME]...
        every FILE carries VERSION (three numbers) as file and product version, as four numbers
        (VERSION.0) and as text, the product and company names, a description and a copyright,
        and NAME (default: the file's own name) as its original file name

Exit code 0 when every file passes, 1 with one line per fault otherwise.
"""

import os
import struct
import sys

RT_VERSION = 16
RESOURCE_DIRECTORY = 2
PRODUCT = "Pelmora"
# The fourth number of every version block, fixed for a release (cmake/version.cmake).
BUILD = 1


class NotPe(Exception):
    pass


def sections(data):
    """(pe offset, optional header offset, [(rva, size, file offset)]) of a PE image."""
    if data[:2] != b"MZ":
        raise NotPe("no MZ header")
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    if data[pe:pe + 4] != b"PE\0\0":
        raise NotPe("no PE signature")
    count, = struct.unpack_from("<H", data, pe + 6)
    optional_size, = struct.unpack_from("<H", data, pe + 20)
    optional = pe + 24
    table = optional + optional_size
    result = []
    for n in range(count):
        virtual_size, rva, raw_size, raw_offset = struct.unpack_from("<IIII", data, table + 40 * n + 8)
        result.append((rva, max(virtual_size, raw_size), raw_offset))
    return optional, result


def file_offset(rva, table):
    for start, size, raw in table:
        if start <= rva < start + size:
            return raw + rva - start
    raise NotPe("address 0x%x lies in no section" % rva)


def version_resource(data):
    """The bytes of the first RT_VERSION resource, or None."""
    optional, table = sections(data)
    magic, = struct.unpack_from("<H", data, optional)
    directories = optional + (96 if magic == 0x10B else 112)
    rva, size = struct.unpack_from("<II", data, directories + 8 * RESOURCE_DIRECTORY)
    if size == 0:
        return None
    root = file_offset(rva, table)

    def entries(offset):
        named, numbered = struct.unpack_from("<HH", data, offset + 12)
        for n in range(named + numbered):
            name, target = struct.unpack_from("<II", data, offset + 16 + 8 * n)
            yield name, target

    for name, target in entries(root):
        if name == RT_VERSION and target & 0x80000000:
            level = root + (target & 0x7FFFFFFF)
            while True:
                first = next(entries(level), None)
                if first is None:
                    return None
                if not first[1] & 0x80000000:
                    break
                level = root + (first[1] & 0x7FFFFFFF)
            entry_rva, entry_size = struct.unpack_from("<II", data, root + first[1])
            start = file_offset(entry_rva, table)
            return data[start:start + entry_size]
    return None


def align4(offset):
    return (offset + 3) & ~3


def read_block(block, offset):
    """(length, value length, type, key, value offset) of the block at offset."""
    length, value_length, kind = struct.unpack_from("<HHH", block, offset)
    end = offset + 6
    while block[end:end + 2] != b"\0\0":
        end += 2
    key = block[offset + 6:end].decode("utf-16-le")
    return length, value_length, kind, key, align4(end + 2)


def children(block, start, end):
    offset = align4(start)
    while offset < end:
        length = struct.unpack_from("<H", block, offset)[0]
        if length == 0:
            break
        yield offset, length
        offset = align4(offset + length)


def parse(block):
    """{"file": (a, b, c, d), "product": (...), "strings": {key: value}} of a version resource."""
    length, value_length, _, key, value = read_block(block, 0)
    if key != "VS_VERSION_INFO" or value_length < 52:
        raise NotPe("not a version block (%r)" % key)
    signature, _, file_ms, file_ls, product_ms, product_ls = struct.unpack_from("<6I", block, value)
    if signature != 0xFEEF04BD:
        raise NotPe("the fixed version information has no signature")
    split = lambda ms, ls: (ms >> 16, ms & 0xFFFF, ls >> 16, ls & 0xFFFF)  # noqa: E731
    result = {"file": split(file_ms, file_ls), "product": split(product_ms, product_ls), "strings": {}}
    for child, child_length in children(block, value + value_length, length):
        _, _, _, child_key, child_value = read_block(block, child)
        if child_key != "StringFileInfo":
            continue
        for table, table_length in children(block, child_value, child + child_length):
            _, _, _, _, table_value = read_block(block, table)
            for entry, _ in children(block, table_value, table + table_length):
                _, chars, _, name, text = read_block(block, entry)
                result["strings"][name] = block[text:text + 2 * chars].decode("utf-16-le").rstrip("\0")
    return result


def read(path):
    with open(path, "rb") as f:
        data = f.read()
    block = version_resource(data)
    if block is None:
        raise NotPe("no version block")
    return parse(block)


def faults(info, version, name):
    """What is wrong with one file's version block, as short phrases."""
    numbers = tuple(int(v) for v in version.split(".")) + (BUILD,)
    file_version = "%s.%d" % (version, BUILD)
    found = []
    for kind in ("file", "product"):
        if info[kind] != numbers:
            found.append("%s version %s, not %s" % (kind, ".".join(map(str, info[kind])),
                                                     ".".join(map(str, numbers))))
    strings = info["strings"]
    expected = {"FileVersion": file_version, "ProductVersion": file_version, "ProductName": PRODUCT,
                "CompanyName": PRODUCT, "OriginalFilename": name}
    for key, value in expected.items():
        if strings.get(key, "").lower() != value.lower():
            found.append("%s %r, not %r" % (key, strings.get(key), value))
    for key in ("FileDescription", "LegalCopyright"):
        if not strings.get(key):
            found.append("no %s" % key)
    return found


def main(argv):
    if len(argv) == 3 and argv[1] == "show":
        info = read(argv[2])
        print("file version    %s" % ".".join(map(str, info["file"])))
        print("product version %s" % ".".join(map(str, info["product"])))
        for key, value in sorted(info["strings"].items()):
            print("%-15s %s" % (key, value))
        return 0
    if len(argv) < 4 or argv[1] != "check":
        print(__doc__.strip(), file=sys.stderr)
        return 2
    version = argv[2]
    if len(version.split(".")) != 3 or not all(part.isdigit() for part in version.split(".")):
        print("pe_version: %r is not a version of three numbers" % version, file=sys.stderr)
        return 2
    status = 0
    for argument in argv[3:]:
        path, _, name = argument.partition("=")
        try:
            problems = faults(read(path), version, name or os.path.basename(path))
        except (OSError, NotPe, struct.error, UnicodeDecodeError) as error:
            problems = [str(error)]
        if problems:
            status = 1
            print("FAIL %s: %s" % (path, "; ".join(problems)))
        else:
            print("ok   %s: %s" % (path, version))
    return status


if __name__ == "__main__":
    sys.exit(main(sys.argv))
