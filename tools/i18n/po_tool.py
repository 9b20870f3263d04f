#!/usr/bin/env python3
"""Pelmora's translations: the template, the compiled tables and the check.

The English texts are text/texts_en.def, one PELMORA_TEXT(name, u"text") each. A translation is
po/<language tag>.po: msgctxt is the text's name, msgid its English text, msgstr the translation.

  po_tool.py pot [--root ROOT]              writes po/pelmora.pot from the English texts
  po_tool.py compile OUTPUT [--root ROOT]   writes the C++ tables of every .po and of the
                                            pseudo-locales qps-ploc and qps-plocm (a bad entry
                                            stays English)
  po_tool.py check [--root ROOT] [PO...]    one line per fault in the .po files (all of them
                                            when none is named) and per user-visible text in
                                            app/, shellext/ or the .rc that is not from the
                                            catalogue; exits 1 when there is any
"""
import argparse
import os
import re
import sys
from pathlib import Path

PSEUDO_TAG = "qps-ploc"
# Windows' mirrored pseudo-locale: the program reads it as a right-to-left language.
MIRRORED_TAG = "qps-plocm"
# Longer than any text the window code copies into a fixed buffer.
MAX_TEXT_UNITS = 1024

# Places a text's sentence is filled at: {0}, and the printf and FormatMessage kinds.
PLACE = re.compile(r"\{\d+\}|%\d+![^!]*!|%[-+ #0]*\d*(?:\.\d+)?[hlLzjt]*[diouxXeEfgGcsSp]|%\d+")
SHORTCUT = re.compile(r"\t\([^)]*\)$")


class Fault(Exception):
    pass


# --- The English texts -------------------------------------------------------------------------

C_ESCAPES = {"n": "\n", "t": "\t", '"': '"', "\\": "\\", "'": "'", "0": "\0"}


def decode_c(body, where):
    out = []
    i = 0
    while i < len(body):
        c = body[i]
        if c != "\\":
            out.append(c)
            i += 1
            continue
        e = body[i + 1] if i + 1 < len(body) else ""
        if e in C_ESCAPES:
            out.append(C_ESCAPES[e])
            i += 2
        elif e in ("u", "U"):
            n = 4 if e == "u" else 8
            out.append(chr(int(body[i + 2:i + 2 + n], 16)))
            i += 2 + n
        else:
            raise Fault(f"{where}: escape \\{e} is not understood")
    return "".join(out)


ENTRY = re.compile(r'PELMORA_TEXT\(\s*(\w+)\s*,\s*((?:u"(?:[^"\\]|\\.)*"\s*)+)\)', re.S)
PIECE = re.compile(r'u"((?:[^"\\]|\\.)*)"')


def read_english(root):
    path = root / "text" / "texts_en.def"
    source = path.read_text(encoding="utf-8")
    texts = {}
    for m in ENTRY.finditer(source):
        name = m.group(1)
        line = source.count("\n", 0, m.start()) + 1
        if name in texts:
            raise Fault(f"{path}:{line}: {name} is defined twice")
        texts[name] = "".join(decode_c(p, f"{path}:{line}") for p in PIECE.findall(m.group(2)))
    return texts


# --- .po files ---------------------------------------------------------------------------------

PO_ESCAPES = {"n": "\n", "t": "\t", '"': '"', "\\": "\\", "r": "\r"}


def po_unquote(text, where):
    if len(text) < 2 or text[0] != '"' or text[-1] != '"':
        raise Fault(f"{where}: a quoted string was expected")
    body, out, i = text[1:-1], [], 0
    while i < len(body):
        c = body[i]
        if c == '"':
            raise Fault(f"{where}: an unescaped quote inside a string")
        if c == "\\":
            e = body[i + 1] if i + 1 < len(body) else ""
            if e not in PO_ESCAPES:
                raise Fault(f"{where}: escape \\{e} is not understood")
            out.append(PO_ESCAPES[e])
            i += 2
        else:
            out.append(c)
            i += 1
    return "".join(out)


def po_quote(text):
    text = text.replace("\\", "\\\\").replace('"', '\\"').replace("\t", "\\t")
    lines = text.split("\n")
    if len(lines) == 1:
        return f'"{text}"'
    parts = [f'{line}\\n' for line in lines[:-1]] + ([lines[-1]] if lines[-1] else [])
    return '""\n' + "\n".join(f'"{p}"' for p in parts)


def read_po(path):
    """The entries of a .po file as dicts (ctxt, id, str, fuzzy, line) and the syntax faults."""
    entries, faults = [], []
    current, field, fuzzy = None, None, False

    def finish():
        nonlocal current
        if current is not None:
            if "id" not in current or "str" not in current:
                faults.append(f"{path}:{current['line']}: an entry without msgid or msgstr")
            else:
                entries.append(current)
        current = None

    for number, raw in enumerate(path.read_text(encoding="utf-8").splitlines(), 1):
        line = raw.strip()
        where = f"{path}:{number}"
        try:
            if not line:
                finish()
                field = None
            elif line.startswith("#,"):
                fuzzy = "fuzzy" in line
            elif line.startswith("#"):
                continue
            elif line.startswith('"'):
                if current is None or field is None:
                    raise Fault(f"{where}: a string outside any entry")
                current[field] += po_unquote(line, where)
            else:
                keyword, _, rest = line.partition(" ")
                field = {"msgctxt": "ctxt", "msgid": "id", "msgstr": "str"}.get(keyword)
                if field is None:
                    raise Fault(f"{where}: {keyword} is not a .po keyword")
                if field == "ctxt" or (field == "id" and (current is None or "id" in current)):
                    finish()
                    current = {"line": number, "fuzzy": fuzzy}
                    fuzzy = False
                if field in current:
                    raise Fault(f"{where}: {keyword} twice in one entry")
                current[field] = po_unquote(rest.strip(), where)
        except Fault as fault:
            faults.append(str(fault))
            current, field = None, None
    finish()
    return entries, faults


def places(text):
    """The places a text is filled at: numbered ones in any order, printf's in their order."""
    found = PLACE.findall(text)
    numbered = sorted(p for p in found if p.startswith("{") or "!" in p or p[1:].isdigit())
    return numbered + [p for p in found if p not in numbered]


def accelerators(text):
    return len(re.findall(r"&(?!&)", text.replace("&&", "")))


def shortcut(text):
    m = SHORTCUT.search(text)
    return m.group(0) if m else None


def entry_faults(english, translation):
    """Why a translation cannot stand for its English text; empty when it can."""
    faults = []
    if places(translation) != places(english):
        faults.append(f"its places {places(translation)} differ from the English {places(english)}")
    if accelerators(translation) != accelerators(english):
        faults.append(f"it has {accelerators(translation)} '&' markers where English has "
                      f"{accelerators(english)}")
    if shortcut(translation) != shortcut(english):
        faults.append(f"its key suffix {shortcut(translation)!r} is not {shortcut(english)!r}")
    if len(translation.encode("utf-16-le")) // 2 > MAX_TEXT_UNITS:
        faults.append(f"it is longer than {MAX_TEXT_UNITS} characters")
    return faults


def translation_of(path, english):
    """The usable translations of one .po file by name, and a line per fault."""
    entries, faults = read_po(path)
    table, seen = {}, set()
    for entry in entries:
        name, where = entry["ctxt"] if "ctxt" in entry else None, f"{path}:{entry['line']}"
        if name is None:
            if entry["id"]:  # the header has an empty msgid and no context
                faults.append(f"{where}: an entry without msgctxt")
            continue
        if name not in english:
            faults.append(f"{where}: {name}: the source has no such text")
            continue
        if name in seen:
            faults.append(f"{where}: {name}: translated twice")
            continue
        seen.add(name)
        if entry["id"] != english[name]:
            faults.append(f"{where}: {name}: msgid is not the English text")
            continue
        if entry["fuzzy"] or not entry["str"]:
            continue  # reported below as missing
        problems = entry_faults(english[name], entry["str"])
        for problem in problems:
            faults.append(f"{where}: {name}: {problem}")
        if not problems:
            table[name] = entry["str"]
    reported = {f.split(": ")[1] for f in faults if f.count(": ") >= 2}
    for name in english:
        if name not in table and name not in reported:
            faults.append(f"{path}: {name}: " + ("not translated" if name in seen else "missing"))
    return table, faults


# --- The pseudo-locale -------------------------------------------------------------------------

# Letters of Latin-1 and Latin Extended-A only, which every Windows UI font draws, and without
# ĵ, ķ and ŵ, which Wine's Tahoma lacks (the test screenshots would show boxes); a letter without
# such a look-alike stays as it is.
LOOK_ALIKE = dict(zip(
    "acdeghilnoprstuyzACDEGHILNOPRSTUYZ",
    "áçďéĝĥíĺñöþŕšţûýžÁÇĎÉĜĤÍĹÑÖÞŔŠŢÛÝŽ"))


def pseudo(text):
    """Accented look-alikes, about 40% longer, in brackets; places, '&' and key suffix kept."""
    suffix = shortcut(text) or ""
    body = text[:len(text) - len(suffix)]
    out, i = [], 0
    while i < len(body):
        m = PLACE.match(body, i)
        if m:
            out.append(m.group(0))
            i = m.end()
        elif body[i] == "&" and i + 1 < len(body):
            out.append(body[i:i + 2])
            i += 2
        else:
            out.append(LOOK_ALIKE.get(body[i], body[i]))
            i += 1
    padding = max(1, round(len(body) * 0.4) - 2)
    return "[" + "".join(out) + " " + "·" * (padding - 1) + "]" + suffix


def mirrored(text):
    """The English text between reversed brackets, key suffix kept: they read "]text[" in either
    direction, so a cut loses a bracket and a bare English text has none."""
    suffix = shortcut(text) or ""
    return "]" + text[:len(text) - len(suffix)] + "[" + suffix


# --- The literal check -------------------------------------------------------------------------

LITERAL = re.compile(r'(?:L|u8|u|U)?"((?:[^"\\\n]|\\.)*)"')


def code_literals(path):
    """(line, text) of every string literal outside comments and #include lines."""
    source = path.read_text(encoding="utf-8")
    out, i, line = [], 0, 1
    while i < len(source):
        c = source[i]
        if source.startswith("//", i) or source.startswith("#include", i):
            end = source.find("\n", i)
            i = len(source) if end < 0 else end
        elif source.startswith("/*", i):
            end = source.find("*/", i + 2)
            end = len(source) if end < 0 else end + 2
            line += source.count("\n", i, end)
            i = end
        elif c == "'":
            m = re.compile(r"'(?:[^'\\\n]|\\.)*'").match(source, i)
            i = m.end() if m else i + 1
        elif c == '"' or (c in "LuU" and LITERAL.match(source, i) and
                          (i == 0 or not (source[i - 1].isalnum() or source[i - 1] == "_"))):
            m = LITERAL.match(source, i)
            if not m:
                i += 1
                continue
            out.append((line, m.group(1)))
            i = m.end()
        else:
            if c == "\n":
                line += 1
            i += 1
    return out


RC_TEXT = re.compile(r'^\s*(CAPTION|POPUP|MENUITEM|CONTROL|LTEXT|RTEXT|CTEXT|PUSHBUTTON|'
                     r'DEFPUSHBUTTON|GROUPBOX|AUTOCHECKBOX)\s+"((?:[^"]|"")*)"')


def literal_faults(root, english):
    allowed_path = root / "tools" / "i18n" / "allowed_literals.txt"
    allowed = set()
    if allowed_path.exists():
        for raw in allowed_path.read_text(encoding="utf-8").splitlines():
            if raw and not raw.startswith("#"):
                allowed.add(raw)
    known = set(english.values())
    faults = []
    files = sorted(p for d in ("app", "shellext") for p in (root / d).rglob("*")
                   if p.suffix in (".cpp", ".h"))
    for path in files:
        for line, text in code_literals(path):
            shown = decode_c(text, f"{path}:{line}") if "\\" in text else text
            if re.search(r"[A-Za-z]{2}", shown) and text not in allowed and shown not in allowed:
                faults.append(f"{path.relative_to(root)}:{line}: \"{text}\" is shown to the user "
                              f"but not taken from the catalogue (or list it in "
                              f"{allowed_path.relative_to(root)})")
    for path in sorted((root / "app").rglob("*.rc")):
        for line, raw in enumerate(path.read_text(encoding="utf-8").splitlines(), 1):
            m = RC_TEXT.match(raw)
            text = decode_c(m.group(2), f"{path}:{line}") if m else ""
            if text and text not in known and text not in allowed:
                faults.append(f"{path.relative_to(root)}:{line}: \"{m.group(2)}\" is not a text "
                              f"of the catalogue")
    return faults


# --- Commands ----------------------------------------------------------------------------------

def po_files(root):
    return sorted((root / "po").glob("*.po"))


def command_pot(root):
    english = read_english(root)
    out = ['msgid ""', 'msgstr ""', '"Content-Type: text/plain; charset=UTF-8\\n"', ""]
    for name, text in english.items():
        out += [f"msgctxt \"{name}\"", f"msgid {po_quote(text)}", 'msgstr ""', ""]
    (root / "po" / "pelmora.pot").write_text("\n".join(out), encoding="utf-8")
    return 0


def c_literal(text):
    out = []
    for ch in text:
        code = ord(ch)
        if ch == "\n":
            out.append("\\n")
        elif ch == "\t":
            out.append("\\t")
        elif ch in '"\\':
            out.append("\\" + ch)
        elif code < 0x20 or 0x7F <= code < 0xA0:
            out.append(f"\\{code:03o}")
        elif code < 0x7F:
            out.append(ch)
        elif code <= 0xFFFF:
            out.append(f"\\u{code:04X}")
        else:
            out.append(f"\\U{code:08X}")
    return 'u"' + "".join(out) + '"'


def command_compile(root, output):
    english = read_english(root)
    languages = []
    for path in po_files(root):
        table, faults = translation_of(path, english)
        for fault in faults:
            print(f"po_tool: warning: {fault} (English is used)", file=sys.stderr)
        languages.append((path.stem, table))
    languages.append((PSEUDO_TAG, {name: pseudo(text) for name, text in english.items()}))
    languages.append((MIRRORED_TAG, {name: mirrored(text) for name, text in english.items()}))
    out = ["// Generated by tools/i18n/po_tool.py from po/*.po; do not edit.",
           '#include "text/texts.h"', "", "namespace {", ""]
    for index, (tag, table) in enumerate(languages):
        out.append(f"// {tag}")
        out.append(f"const char16_t* const kTexts{index}[kTextCount] = {{")
        for name in english:
            out.append(f"    {c_literal(table[name]) if name in table else 'nullptr'},")
        out += ["};", ""]
    out += ["}  // namespace", "", "const TextLanguage kTranslations[] = {"]
    out += [f'    {{"{tag}", kTexts{index}}},' for index, (tag, _) in enumerate(languages)]
    out += ["};", f"const size_t kTranslationCount = {len(languages)};", ""]
    text = "\n".join(out)
    output = Path(output)
    if not output.exists() or output.read_text(encoding="utf-8") != text:
        output.parent.mkdir(parents=True, exist_ok=True)
        output.write_text(text, encoding="utf-8")
    return 0


def command_check(root, named):
    english = read_english(root)
    faults = []
    for path in (named or po_files(root)):
        faults += translation_of(Path(path), english)[1]
    faults += literal_faults(root, english)
    pot = root / "po" / "pelmora.pot"
    if not named and pot.exists():
        entries, _ = read_po(pot)
        if {e.get("ctxt"): e["id"] for e in entries if e.get("ctxt")} != english:
            faults.append(f"{pot.relative_to(root)}: not the English texts: run po_tool.py pot")
    for fault in faults:
        print(fault)
    return 1 if faults else 0


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("command", choices=("pot", "compile", "check"))
    parser.add_argument("arguments", nargs="*")
    parser.add_argument("--root", default=Path(__file__).resolve().parents[2], type=Path)
    args = parser.parse_intermixed_args()
    try:
        if args.command == "pot":
            return command_pot(args.root)
        if args.command == "compile":
            if len(args.arguments) != 1:
                parser.error("compile takes the output file")
            return command_compile(args.root, args.arguments[0])
        return command_check(args.root, args.arguments)
    except Fault as fault:
        print(f"po_tool: {fault}", file=sys.stderr)
        return 1


if __name__ == "__main__":
    sys.exit(main())
