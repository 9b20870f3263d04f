#!/usr/bin/env python3
"""THIRD-PARTY-NOTICES.txt of a release: written from Debian's copyright files, and checked.

    notices.py write OUT VERSION
        writes the notices of every component that a shipped binary contains, each with the
        copyright lines and licence texts of the Debian package it was built from
        (/usr/share/doc/PACKAGE/copyright) and that package's installed version
    notices.py check NOTICES BINARY...
        fails when a binary contains a component (found by the strings its code leaves in the
        binary) that NOTICES has no section for
    notices.py check-artifact ARTIFACT...
        fails when a zip, tar.gz or .deb lacks LICENSE.txt or THIRD-PARTY-NOTICES.txt, or when one
        of its binaries contains a component that its own notices have no section for

A component is found by text that its code puts into every binary using it, so the check holds for
a stripped binary, and a rebuilder can run it on the published files.
"""

import io
import os
import re
import subprocess
import sys
import tarfile
import tempfile
import zipfile

DOC = os.environ.get("PELMORA_DEBIAN_DOC", "/usr/share/doc")
LICENSE = "LICENSE.txt"
NOTICES = "THIRD-PARTY-NOTICES.txt"


class Component:
    def __init__(self, name, packages, files, markers, where, note=""):
        self.name = name  # the section title, also what the check looks for
        # the Debian packages the code was built from; the first one's copyright file is read
        self.packages = [packages] if isinstance(packages, str) else packages
        self.files = files  # the Files: patterns of its copyright paragraphs that apply
        self.markers = markers  # byte strings of which a binary holding the component has one
        self.where = where
        self.note = note


# Where the code sits and how it is found. Markers are texts of the component's own code that the
# product never writes itself.
# The runtime libraries of both architectures come from one source package with one copyright file.
MINGW = ["mingw-w64-x86-64-dev", "mingw-w64-i686-dev"]
COMPONENTS = [
    Component("MinGW-w64 runtime", MINGW, ["*"], [b"Mingw-w64 runtime failure"],
              "every Windows binary (Pelmora.exe, PelmoraExt.dll, pelmora-cli.exe, PathEntry.exe, "
              "both architectures)",
              "The start-up code and C library additions of the MinGW-w64 toolchain, linked "
              "statically."),
    Component("gdtoa (in the MinGW-w64 runtime)", MINGW,
              ["mingw-w64-crt/gdtoa/*", "mingw-w64-crt/gdtoa/qnan.c"], [b"Infinity\0NaN"],
              "the Windows binaries that format or read numbers",
              "David M. Gay's conversions between numbers and text, part of the MinGW-w64 runtime."),
    Component("winpthreads", MINGW,
              ["mingw-w64-libraries/winpthreads/*", "mingw-w64-libraries/winpthreads/include/pthread.h"],
              [b" once %p is %d", b"/winpthreads/src/"],
              "the Windows binaries that use C++ threads, mutexes or once-flags",
              "The MinGW-w64 POSIX threads library, linked statically."),
    Component("CLI11", "libcli11-dev", ["*"], [b"Print this help message and exit"],
              "pelmora-cli and pelmora-cli.exe", "The command-line parser, compiled in from its headers."),
    Component("nlohmann-json", "nlohmann-json3-dev",
              ["*", "include/nlohmann/detail/conversions/to_chars.hpp",
               "include/nlohmann/detail/output/serializer.hpp"],
              [b"[json.exception."], "pelmora-cli and pelmora-cli.exe",
              "JSON for Modern C++, compiled in from its headers."),
]

# Components whose licences ask for no notice in a binary; named out of courtesy, with no licence
# text. The GCC runtime is found like the others, so that a binary that suddenly carries it is seen.
COURTESY = [
    ("GCC runtime libraries (libstdc++, libgcc)", [b"basic_string"],
     "Parts of GCC's C++ and support libraries are linked into the Windows binaries (and the Linux "
     "pelmora-cli uses the system's). They are covered by the GNU General Public License 3 with the "
     "GCC Runtime Library Exception 3.1, which allows them in a binary under any licence and asks "
     "for no notice."),
    ("SQLite", [b"SQLite format 3"],
     "SQLite is compiled into Pelmora.exe, PelmoraExt.dll and pelmora-cli.exe (from Debian's sqlite3 "
     "source), and the Linux pelmora-cli uses the system's. Its authors have dedicated it to the "
     "public domain."),
    ("NSIS", [],
     "Pelmora Setup and its uninstaller are made with the Nullsoft Scriptable Install System, whose "
     "installer code is under the zlib/libpng licence and asks for no notice."),
]


def paragraphs(path):
    """The paragraphs of a machine-readable Debian copyright file, as dicts of field -> lines."""
    with open(path, encoding="utf-8") as f:
        text = f.read()
    result = []
    for block in re.split(r"\n[ \t]*\n", text):
        fields, current = {}, None
        for line in block.split("\n"):
            if line[:1] in (" ", "\t") and current:
                fields[current].append(line)
            elif ":" in line:
                current, _, value = line.partition(":")
                fields[current] = [value.strip()] if value.strip() else []
        if fields:
            result.append(fields)
    return result


def files_of(paragraph):
    return " ".join(paragraph.get("Files", [])).split()


def package_version(package):
    out = subprocess.run(["dpkg-query", "-W", "-f=${Version}", package], capture_output=True, text=True)
    if out.returncode != 0 or not out.stdout:
        sys.exit("notices: the Debian package %s is not installed (see scripts/setup.sh)" % package)
    return out.stdout


def section_text(component):
    path = os.path.join(DOC, component.packages[0], "copyright")
    try:
        paras = paragraphs(path)
    except OSError as error:
        sys.exit("notices: %s: %s" % (component.packages[0], error))
    licences = {p["License"][0]: p["License"][1:] for p in paras if "License" in p and "Files" not in p}
    lines = []
    for pattern in component.files:
        found = [p for p in paras if pattern in files_of(p)]
        if not found:
            sys.exit("notices: %s has no copyright paragraph for %s: Debian's package changed; "
                     "update tools/release/notices.py" % (path, pattern))
        p = found[0]
        name = p["License"][0]
        text = p["License"][1:] or licences.get(name)
        if not text:
            sys.exit("notices: %s names the licence %s but gives no text" % (path, name))
        lines.append("Files: %s" % " ".join(files_of(p)))
        lines.append("Copyright: %s" % "\n           ".join(c.strip() for c in p.get("Copyright", [])))
        lines.append("License: %s" % name)
        for line in text:
            line = line[1:] if line.startswith(" ") else line.lstrip("\t")
            lines.append("" if line.strip() == "." else "    " + line.rstrip())
        lines.append("")
    return lines


def title(name):
    return "== %s ==" % name


def write(out, version):
    lines = ["Third-party notices for Pelmora %s" % version, "",
             "Pelmora itself is under the MIT licence (LICENSE.txt). Its binaries also contain the",
             "following components, whose licences ask that these notices travel with them. Each",
             "section gives the component's copyright lines and licence as the Debian package it was",
             "built from states them (its version is also in the release's BUILDINFO).", ""]
    for component in COMPONENTS:
        lines += [title(component.name), "In: %s." % component.where, component.note,
                  "From: Debian %s" % ", ".join("%s %s" % (p, package_version(p)) for p in component.packages), ""]
        lines += section_text(component)
    lines += ["Components that ask for no notice, named out of courtesy:", ""]
    for name, _, text in COURTESY:
        lines += [title(name), text, ""]
    with open(out, "w", encoding="utf-8", newline="\n") as f:
        f.write("\n".join(lines).rstrip("\n") + "\n")


def sections(notices_text):
    return set(re.findall(r"^== (.*) ==$", notices_text, re.M))


def missing(binary_bytes, notices_text):
    """The components found in a binary that the notices have no section for."""
    have = sections(notices_text)
    found = [c.name for c in COMPONENTS if any(m in binary_bytes for m in c.markers)]
    found += [name for name, markers, _ in COURTESY if any(m in binary_bytes for m in markers)]
    return [name for name in found if name not in have]


def is_binary(name, data):
    return data[:2] == b"MZ" or data[:4] == b"\x7fELF"


def members(path):
    """(name, bytes) of every file in a zip, tar.gz or .deb."""
    if path.endswith(".zip"):
        with zipfile.ZipFile(path) as z:
            return [(n, z.read(n)) for n in z.namelist() if not n.endswith("/")]
    if path.endswith(".deb"):
        with tempfile.TemporaryDirectory() as tmp:
            subprocess.run(["dpkg-deb", "-x", path, tmp], check=True)
            result = []
            for folder, _, names in os.walk(tmp):
                for n in names:
                    full = os.path.join(folder, n)
                    if os.path.isfile(full) and not os.path.islink(full):
                        with open(full, "rb") as f:
                            result.append((os.path.relpath(full, tmp), f.read()))
            return result
    with tarfile.open(path) as t:
        return [(m.name, t.extractfile(m).read()) for m in t.getmembers() if m.isfile()]


def check_binaries(notices_text, named_binaries):
    problems = []
    for name, data in named_binaries:
        for component in missing(data, notices_text):
            problems.append("%s contains %s, but the notices have no section for it" % (name, component))
    return problems


def check(notices, binaries):
    with open(notices, encoding="utf-8") as f:
        text = f.read()
    named = []
    for path in binaries:
        with open(path, "rb") as f:
            named.append((path, f.read()))
    return report(check_binaries(text, named), "%d binaries" % len(binaries))


def check_artifact(artifacts):
    problems = []
    for artifact in artifacts:
        files = members(artifact)
        by_base = {os.path.basename(n): data for n, data in files}
        for needed in (LICENSE, NOTICES):
            if needed not in by_base:
                problems.append("%s has no %s" % (artifact, needed))
        if NOTICES in by_base:
            binaries = [("%s:%s" % (os.path.basename(artifact), n), d) for n, d in files if is_binary(n, d)]
            if not binaries:
                problems.append("%s holds no binary to check" % artifact)
            problems += check_binaries(by_base[NOTICES].decode("utf-8"), binaries)
    return report(problems, "%d artifacts" % len(artifacts))


def report(problems, what):
    for problem in problems:
        print("FAIL " + problem)
    if not problems:
        print("ok   %s: every component found has its notice" % what)
    return 1 if problems else 0


def main(argv):
    if len(argv) == 4 and argv[1] == "write":
        write(argv[2], argv[3])
        return 0
    if len(argv) >= 4 and argv[1] == "check":
        return check(argv[2], argv[3:])
    if len(argv) >= 3 and argv[1] == "check-artifact":
        return check_artifact(argv[2:])
    print(__doc__.strip(), file=sys.stderr)
    return 2


if __name__ == "__main__":
    sys.exit(main(sys.argv))
