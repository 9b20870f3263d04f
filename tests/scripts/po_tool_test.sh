#!/usr/bin/env bash
# tools/i18n/po_tool.py on a small tree: its check passes a faultless translation and refuses each
# kind of fault with a line naming the entry; a text in the code or the .rc that is not from the
# catalogue is refused; and a refused entry is compiled as English while its neighbours keep
# their translation.
set -euo pipefail
tool="$(cd "$(dirname "$0")/../.." && pwd)/tools/i18n/po_tool.py"
root="$(mktemp -d /tmp/pelmora-po.XXXXXX)"
trap 'rm -rf "$root"' EXIT
mkdir -p "$root/text" "$root/po" "$root/app/res" "$root/tools/i18n"
cat >"$root/text/texts_en.def" <<'DEF'
PELMORA_TEXT(kCount, u"{0} tasks, {1} done")
PELMORA_TEXT(kFilter, u"&Filter:")
PELMORA_TEXT(kAdd, u"Add New Task...\t(Insert)")
PELMORA_TEXT(kPrintf, u"%s of %d")
DEF
printf 'SetWindowTextW(w, UiText(TextId::kAdd)); // "a comment" is no text\n' >"$root/app/a.cpp"
printf 'CAPTION "Add New Task...\\t(Insert)"\n' >"$root/app/res/a.rc"

# po FILE [NAME=TRANSLATION]...: a .po with every entry translated, some replaced or dropped
po() {
    local file="$1"
    shift
    declare -A tr=([kCount]='{1} erledigt, {0} Aufgaben' [kFilter]='&Filter:'
        [kAdd]='Neue Aufgabe...\t(Insert)' [kPrintf]='%s von %d')
    declare -A en=([kCount]='{0} tasks, {1} done' [kFilter]='&Filter:'
        [kAdd]='Add New Task...\t(Insert)' [kPrintf]='%s of %d')
    local change
    for change in "$@"; do tr[${change%%=*}]="${change#*=}"; done
    {
        printf 'msgid ""\nmsgstr ""\n"Content-Type: text/plain; charset=UTF-8\\n"\n\n'
        for name in kCount kFilter kAdd kPrintf; do
            [ "${tr[$name]}" = DROP ] && continue
            printf 'msgctxt "%s"\nmsgid "%s"\nmsgstr "%s"\n\n' "$name" "${en[$name]}" "${tr[$name]}"
        done
    } >"$file"
}

failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

po "$root/po/de.po"
out="$(python3 "$tool" check --root "$root" "$root/po/de.po")" || fail "a faultless .po was refused: $out"

# refused LABEL EXPECTED CHANGE...: a .po with CHANGE fails the check with a line saying EXPECTED
refused() {
    local label="$1" expected="$2"
    shift 2
    po "$root/po/bad.po" "$@"
    local out
    if out="$(python3 "$tool" check --root "$root" "$root/po/bad.po")"; then
        fail "$label: accepted"
    elif ! grep -qF -- "$expected" <<<"$out"; then
        fail "$label: expected \"$expected\" in: $out"
    fi
}
refused "missing entry" "kFilter: missing" kFilter=DROP
refused "place lost" "kCount: its places" 'kCount={0} Aufgaben, erledigt'
refused "printf place changed" "kPrintf: its places" 'kPrintf=%d von %s'
refused "lost accelerator" "kFilter: it has 0 '&'" 'kFilter=Filter:'
refused "doubled accelerator" "kFilter: it has 2 '&'" 'kFilter=&Fil&ter:'
refused "changed shortcut" "kAdd: its key suffix" 'kAdd=Neue Aufgabe...\t(Einfg)'
refused "lost shortcut" "kAdd: its key suffix" 'kAdd=Neue Aufgabe...'
printf 'msgctxt "kGone"\nmsgid "Gone"\nmsgstr "Weg"\n' >>"$root/po/de.po"
out="$(python3 "$tool" check --root "$root" "$root/po/de.po")" &&
    fail "an entry the source no longer has was accepted"
grep -qF "kGone: the source has no such text" <<<"$out" || fail "kGone not named: $out"
po "$root/po/de.po"

# A literal in the code, and a text in the .rc, that do not come from the catalogue.
printf 'MessageBoxW(w, L"Task saved", nullptr, 0);\n' >"$root/app/b.cpp"
out="$(python3 "$tool" check --root "$root" "$root/po/de.po")" && fail "a bare literal passed"
grep -qF 'app/b.cpp:1: "Task saved"' <<<"$out" || fail "the literal was not named: $out"
echo 'Task saved' >"$root/tools/i18n/allowed_literals.txt"
python3 "$tool" check --root "$root" "$root/po/de.po" >/dev/null || fail "an allowed literal failed"
printf 'MENUITEM "Remove Task", 1\n' >>"$root/app/res/a.rc"
out="$(python3 "$tool" check --root "$root" "$root/po/de.po")" && fail "a bare .rc text passed"
grep -qF '"Remove Task" is not a text of the catalogue' <<<"$out" || fail "rc text: $out"

# Compiled: the refused entry is English (null), the others keep their translation, and the
# pseudo-locale keeps places, marker and key suffix.
rm "$root/po/bad.po"
po "$root/po/de.po" 'kPrintf=%d von %s'
python3 "$tool" compile "$root/out.cpp" --root "$root" 2>/dev/null
table="$(sed -n '/^\/\/ de$/,/^};/p' "$root/out.cpp")"
grep -qF 'u"{1} erledigt, {0} Aufgaben",' <<<"$table" || fail "kCount lost: $table"
[ "$(sed -n 6p <<<"$table" | tr -d ' ')" = "nullptr," ] || fail "kPrintf not English: $table"
pseudo="$(sed -n '/^\/\/ qps-ploc$/,/^};/p' "$root/out.cpp")"
grep -qE 'u"\[\{0\} .*\{1\} .*\]",' <<<"$pseudo" || fail "pseudo places: $pseudo"
grep -qE 'u"\[&F.*\]",' <<<"$pseudo" || fail "pseudo marker: $pseudo"
grep -qE 'u"\[.*\]\\t\(Insert\)",' <<<"$pseudo" || fail "pseudo key suffix: $pseudo"
mirrored="$(sed -n '/^\/\/ qps-plocm$/,/^};/p' "$root/out.cpp")"
grep -qF 'u"]Add New Task...[\t(Insert)",' <<<"$mirrored" || fail "mirrored: $mirrored"

[ "$failures" -eq 0 ] && echo "po_tool: all cases passed"
exit "$failures"
