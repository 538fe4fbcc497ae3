#!/usr/bin/env bash
# tangra-qv-tool diff over a table of template pairs: the exact lines printed,
# the exit status (0 equal, 1 different, 2 usage error), and the JSON form.
set -u
TOOL=${TOOL:?set TOOL to the tangra-qv-tool binary}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
pass=0
fail=0
ok() { pass=$((pass + 1)); }
bad() { fail=$((fail + 1)); echo "FAIL: $*"; }
cd "$work" || exit 1

# The pairs' files: a new template, an equal one, one field changed, names only.
"$TOOL" new base.syx && "$TOOL" new same.syx || { echo "cannot make templates"; exit 1; }
"$TOOL" set base.syx channel.syx 12 midiChannel=3 || exit 1
"$TOOL" set base.syx named.syx 4 name=Cutoff || exit 1
"$TOOL" set named.syx named.syx template templateName=Live || exit 1
"$TOOL" set base.syx several.syx 70 controlType=1 lsbNumber=36 || exit 1
"$TOOL" set several.syx several.syx 2 midiChannel=16 || exit 1
# A dump of a sibling device (1305 bytes) with one CC control, and its
# conversion saved as this device's template.
/usr/bin/python3 - <<'PY'
d = bytearray(1305)
d[:6] = bytes([0xF0, 0, 0x20, 0x29, 2, 4]); d[-1] = 0xF7
def text(at, s, n): d[at:at + n] = s.encode().ljust(n)[:n]
text(6, "Little One", 16)
for k in range(49): text(30 + k * 26 + 10, "", 16)
d[30:40] = bytes([1, 0, 74, 0, 0, 0, 127, 0, 0, 0]); text(40, "Filter Cutoff", 16)
open("sibling.syx", "wb").write(d)
open("notemplate.syx", "wb").write(bytes([0xF0, 0, 0x20, 0x29, 0xF7]))
PY
"$TOOL" convert sibling.syx sibling-saved.syx 2>/dev/null || exit 1
mkdir folder

# name | arguments | exit status | expected standard output, lines joined by '|'
# (the saved conversion keeps neither the editor's long names nor the
# imported copies of the sibling's controls, and writes one group page as none)
cases=(
"equal|base.syx same.syx|0|"
"same file|base.syx base.syx|0|"
"one field|base.syx channel.syx|1|control 12: midiChannel 1 -> 3"
"one field, other way|channel.syx base.syx|1|control 12: midiChannel 3 -> 1"
"names only|base.syx named.syx|1|control 4 (Cutoff): name \"\" -> \"Cutoff\"|control 4 (Cutoff): plugin.shortName \"\" -> \"Cutoff\"|template: templateName \"Untitled\" -> \"Live\""
"fields of several controls in index order (a type change sets flagB0 as the edit window does)|base.syx several.syx|1|control 2: midiChannel 1 -> 16|control 70: controlType 0 -> 1|control 70: flagB0 false -> true|control 70: lsbNumber 0 -> 36"
"sibling against itself|sibling.syx sibling.syx|0|"
"sibling against its saved conversion|sibling.syx sibling-saved.syx|1|control 0 (Flt.Cut): longName \"Filter Cutoff\" -> \"\"|template: locals.groupPageCount 1 -> 0|template: locals.groupPageNumber 1 -> 0|template: importedControls 1 -> 0"
"saved conversion against a fresh save of it|sibling-saved.syx sibling-saved.syx|0|"
"--json after the files|base.syx same.syx --json|0|@json"
"no files||2|"
"one file|base.syx|2|"
"three files|base.syx same.syx channel.syx|2|"
"unknown option|--brief base.syx same.syx|2|"
"missing file|base.syx missing.syx|2|"
"folder|folder base.syx|2|"
"not a template|base.syx notemplate.syx|2|"
)
for row in "${cases[@]}"; do
    IFS='|' read -r name args status expected <<<"$row"
    expected=${row#*|*|*|}
    [ "$expected" = "$row" ] && expected=""
    # shellcheck disable=SC2086
    "$TOOL" diff $args >out 2>err
    got=$?
    [ "$got" -eq "$status" ] && ok || bad "$name: exit $got, expected $status"
    if [ "$status" -eq 2 ]; then
        [ -s err ] && ok || bad "$name: no message on standard error"
        [ ! -s out ] && ok || bad "$name: printed on standard output"
        continue
    fi
    [ ! -s err ] && ok || bad "$name: standard error: $(head -c 200 err)"
    if [ "$expected" = "@json" ]; then
        /usr/bin/python3 -m json.tool out >/dev/null && ok || bad "$name: not JSON"
        continue
    fi
    want=$(tr '|' '\n' <<<"$expected")
    [ "$(cat out)" = "$want" ] && ok || { bad "$name: printed"; sed 's/^/  got: /' out; sed 's/^/  want: /' <<<"$want"; }
done

# The messages of unusable files are those 'info' gives.
"$TOOL" diff base.syx notemplate.syx 2>err
grep -qxF "Unable to open template: notemplate.syx - the file is not a valid template file" err && ok \
    || bad "invalid file message: $(cat err)"
"$TOOL" diff missing.syx base.syx 2>err
grep -qF "missing.syx" err && ok || bad "missing file message: $(cat err)"

# --json: valid JSON of the same differences, values typed as in info --json.
check_json() {  # A B PYTHON-CONDITION
    "$TOOL" diff --json "$1" "$2" >out.json
    /usr/bin/python3 -m json.tool out.json >/dev/null || { bad "diff --json $1 $2 is not JSON"; return; }
    /usr/bin/python3 - "$3" <<'PY' && ok || bad "diff --json $1 $2: $3"
import json, sys
j = json.load(open("out.json"))
sys.exit(0 if eval(sys.argv[1]) else 1)
PY
}
check_json base.syx same.syx 'j == {"equal": True, "controls": [], "template": []}'
check_json base.syx channel.syx \
    'j["equal"] is False and j["template"] == [] and j["controls"] == [{"index": 12, "name": "", "fields": [{"field": "midiChannel", "old": 1, "new": 3}]}]'
check_json base.syx named.syx \
    '[f["field"] for f in j["controls"][0]["fields"]] == ["name", "plugin.shortName"] and j["template"] == [{"field": "templateName", "old": "Untitled", "new": "Live"}]'
check_json sibling.syx sibling-saved.syx \
    'j["template"][-1] == {"field": "importedControls", "old": 1, "new": 0} and j["controls"][0]["name"] == "Flt.Cut"'
# Every control field named in a diff is a key of info --json's controls.
"$TOOL" info --json base.syx >info.json
"$TOOL" diff --json base.syx several.syx >out.json
/usr/bin/python3 - <<'PY' && ok || bad "diff names a field info --json does not have"
import json, sys
keys = set(json.load(open("info.json"))["controls"][0])
fields = [f["field"] for c in json.load(open("out.json"))["controls"] for f in c["fields"]]
sys.exit(0 if fields and all(f in keys for f in fields) else 1)
PY

echo "diff cli: $pass passed, $fail failed"
[ "$fail" -eq 0 ]
