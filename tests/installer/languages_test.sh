#!/usr/bin/env bash
# installer/check_languages.py on copies of Setup's script and texts: the real ones pass; a copy
# with one text broken the way a translation goes wrong fails, naming the language and the text.
set -euo pipefail
installer="$(cd "$(dirname "$0")/../../installer" && pwd)"
scratch="$(mktemp -d /tmp/pelmora-languages.XXXXXX)"
trap 'rm -rf "$scratch"' EXIT

failures=0
fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}

copy() {
    rm -rf "$scratch/installer"
    mkdir -p "$scratch/installer"
    cp -r "$installer/pelmora.nsi" "$installer/lang" "$scratch/installer/"
}

copy
python3 "$installer/check_languages.py" "$scratch/installer/pelmora.nsi" ||
    fail "Setup's own texts are refused"

# CASE|FILE|SED EXPRESSION (applied to FILE in the copy)|what the refusal must say
while IFS='|' read -r what file edit says; do
    copy
    sed -i "$edit" "$scratch/installer/$file"
    if out="$(python3 "$installer/check_languages.py" "$scratch/installer/pelmora.nsi" 2>&1)"; then
        fail "$what: accepted"
    elif ! grep -qF "$says" <<<"$out"; then
        fail "$what: refused without saying \"$says\": $out"
    else
        echo "ok   $what"
    fi
done <<'CASES'
a text missing in one language|lang/German.nsh|/^LangString REGISTERING /d|German: REGISTERING is missing
a translation that lost the error code|lang/Russian.nsh|s/кодом \$0/кодом/|Russian: NOT_REGISTERED has
a translated variable name|lang/French.nsh|s/Ajout de \$INSTDIR/Ajout de $DOSSIER/|French: ADDING_TO_PATH has
a text for a language Setup does not load|lang/Korean.nsh|s/^LangString UNREGISTERING \${LANG_KOREAN}/LangString UNREGISTERING ${LANG_ITALIAN}/|names LANG_ITALIAN, a language Setup does not load
a language whose file is gone|pelmora.nsi|s/^!insertmacro PelmoraLanguage Korean$/&\n!insertmacro PelmoraLanguage Italian/|Italian: no lang/Italian.nsh
the script using a text English lacks|pelmora.nsi|s/\$(REGISTERING)/$(REGISTER)/|uses $(REGISTER), which English does not have
CASES

[ "$failures" -eq 0 ] || { echo "$failures case(s) failed"; exit 1; }
echo "all cases passed"
