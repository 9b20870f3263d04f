#!/usr/bin/env python3
"""Setup's texts in every language it speaks, checked before makensis builds it.

Usage: check_languages.py SCRIPT

SCRIPT is pelmora.nsi: the languages are its `!insertmacro PelmoraLanguage NAME` lines, their texts
lang/NAME.nsh beside it. Fails (exit code 1, one line per finding) when a language lacks a text
English has or has one English lacks, when a text differs from English in its $-variables,
defines or language strings (a translated "$INSTDIR" would print as it stands, a lost "$0" would
hide the error code), when a text is empty or set twice, when a text names another language or one
Setup does not load, when a language has no file or a file no language, and when the script uses a
text English does not have.
"""

import collections
import pathlib
import re
import sys

LANGUAGE_LINE = re.compile(r"^\s*!insertmacro\s+PelmoraLanguage\s+(\w+)\s*$", re.M)
LANG_STRING = re.compile(r'^LangString\s+(\w+)\s+\$\{LANG_(\w+)\}\s+"(.*)"\s*$')
# $$ and $\r, $\n, $\t, $\" are characters, not values; the rest are what NSIS fills in.
DOLLAR = re.compile(r"\$\$|\$\\.|\$\{[^}]*\}|\$\([^)]*\)|\$[A-Za-z_][A-Za-z0-9_]*|\$[0-9]|\$")
USED_TEXT = re.compile(r"\$\((\w+)\)")


def logical_lines(text):
    """The file's lines with NSIS's continuations joined: a backslash at the end of a line takes
    the next one, without its leading blanks."""
    lines, current = [], ""
    for raw in text.splitlines():
        piece = raw.lstrip() if current else raw
        if piece.endswith("\\"):
            current += piece[:-1]
            continue
        lines.append((current + piece).strip())
        current = ""
    if current:
        lines.append(current.strip())
    return lines


def placeholders(text):
    found = collections.Counter()
    for token in DOLLAR.findall(text):
        if token == "$$" or token.startswith("$\\"):
            continue
        found[token] += 1
    return found


def read_language(path, loaded, problems):
    """{name: text} of one language file; what is wrong in it goes to problems."""
    language = path.stem
    texts = {}
    for line in logical_lines(path.read_text(encoding="utf-8")):
        if not line or line.startswith(";") or line.startswith("#"):
            continue
        match = LANG_STRING.match(line)
        if not match:
            problems.append(f"{path.name}: not a LangString line: {line[:60]}")
            continue
        name, lang, text = match.groups()
        if lang.lower() not in loaded:
            problems.append(f"{path.name}: {name} names LANG_{lang}, a language Setup does not load")
            continue
        if lang.lower() != language.lower():
            problems.append(f"{path.name}: {name} names LANG_{lang}, not LANG_{language.upper()}")
            continue
        if name in texts:
            problems.append(f"{path.name}: {name} is set twice")
        if not text.strip():
            problems.append(f"{path.name}: {name} is empty")
        texts[name] = text
    return texts


def check(script):
    problems = []
    source = script.read_text(encoding="utf-8")
    languages = LANGUAGE_LINE.findall(source)
    if not languages or languages[0] != "English":
        return ["the script must load English first: it is the language Setup falls back to"]
    loaded = {name.lower() for name in languages}
    lang_dir = script.parent / "lang"
    files = {path.stem: path for path in lang_dir.glob("*.nsh")}
    for name in sorted(set(files) - set(languages)):
        problems.append(f"lang/{name}.nsh: {name} is not loaded by {script.name}")
    for name in languages:
        if name not in files:
            problems.append(f"{name}: no lang/{name}.nsh")
    if "English" not in files:
        return problems
    english = read_language(files["English"], loaded, problems)
    for used in sorted(set(USED_TEXT.findall(source)) - set(english)):
        problems.append(f"{script.name} uses $({used}), which English does not have")
    for name in languages[1:]:
        if name not in files:
            continue
        texts = read_language(files[name], loaded, problems)
        for key in sorted(set(english) - set(texts)):
            problems.append(f"{name}: {key} is missing")
        for key in sorted(set(texts) - set(english)):
            problems.append(f"{name}: {key} is not one of English's texts")
        for key in sorted(set(texts) & set(english)):
            want, have = placeholders(english[key]), placeholders(texts[key])
            if want != have:
                problems.append(f"{name}: {key} has {sorted(have.elements())}, "
                                f"English {sorted(want.elements())}")
    return problems


def main(argv):
    if len(argv) != 2:
        print(__doc__.strip().splitlines()[2], file=sys.stderr)
        return 2
    problems = check(pathlib.Path(argv[1]))
    for problem in problems:
        print(f"check_languages: {problem}", file=sys.stderr)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
