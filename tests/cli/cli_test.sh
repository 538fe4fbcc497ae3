#!/usr/bin/env bash
# End-to-end checks of tangra-qv-tool as a user runs it.
set -u
TOOL=${TOOL:?set TOOL to the tangra-qv-tool binary}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
pass=0
fail=0

check() {  # check NAME EXPECTED_STATUS COMMAND...
    local name=$1 want=$2
    shift 2
    "$@" >"$work/out" 2>"$work/err"
    local got=$?
    if [ "$got" -eq "$want" ]; then
        pass=$((pass + 1))
    else
        fail=$((fail + 1))
        echo "FAIL: $name: exit $got, expected $want"
        sed 's/^/  stderr: /' "$work/err" | head -5
    fi
}

expect_text() {  # expect_text NAME FILE TEXT
    if grep -qF -- "$3" "$2"; then pass=$((pass + 1)); else
        fail=$((fail + 1))
        echo "FAIL: $1: '$3' not in $2"
        head -5 "$2" | sed 's/^/  /'
    fi
}

py() { /usr/bin/python3 -c "$@"; }

# A new template, then info on it.
check "new" 0 "$TOOL" new "$work/new.syx"
size=$(stat -c %s "$work/new.syx")
[ "$size" -eq 4112 ] && pass=$((pass + 1)) || { fail=$((fail + 1)); echo "FAIL: new template is $size bytes"; }
check "info" 0 "$TOOL" info "$work/new.syx"
expect_text "info summary" "$work/out" "Unknown - Untitled"
expect_text "info wheel" "$work/out" "PitchBnd"
check "info --json" 0 "$TOOL" info --json "$work/new.syx"
cp "$work/out" "$work/new.json"
if py '
import json, sys
j = json.load(open(sys.argv[1]))
assert j["ok"] is True and j["kind"] == 2 and j["kindName"] == "TaNGRA QV" and j["converted"] is False
assert j["notices"] == [] and j["dataErrorBytes"] == 0
assert j["displayName"] == "Unknown - Untitled" and j["osVersion"] == "2.1.02"
assert len(j["header"]) == 13 and len(j["controls"]) == 86 and len(j["extraControls"]) == 4
assert len(j["zones"]) == 4 and j["locals"]["numCmn"] == 90 and len(j["locals"]["rowSelectDefaults"]) == 16
assert j["controls"][64]["name"] == "PitchBnd" and j["controls"][64]["controlType"] == 10
assert j["controls"][0]["isContinuous"] is True and j["controls"][30]["isContinuous"] is False
assert "index" not in j["extraControls"][0] and len(j["controls"][5]["sysEx"]["bytes"]) == 12
assert j["groups"]["commonChannel"] == 1 and j["controls"][3]["plugin"]["index"] == -1
' "$work/new.json"; then pass=$((pass + 1)); else fail=$((fail + 1)); echo "FAIL: json content"; fi

# A dump with bits the model does not decode and a broken record count:
# notices, mask count, byte-exact convert.
py '
import sys
d = bytearray(open(sys.argv[1], "rb").read())
d[13 + 55] = 89          # record count
d[110] |= 0x02           # an undefined zone flag
d[200] = 0x33            # inside the block the reader skips
d[419 + 13] |= 0x40      # an undefined action bit
open(sys.argv[2], "wb").write(b"junk" + bytes(d) + b"\xf0\x01\xf7")
' "$work/new.syx" "$work/odd.syx"
check "info odd" 0 "$TOOL" info --json "$work/odd.syx"
cp "$work/out" "$work/odd.json"
if py '
import json, sys
j = json.load(open(sys.argv[1]))
assert j["notices"] == ["Fixing broken template NUMCMN"], j["notices"]
assert j["dataErrorBytes"] == 3, j["dataErrorBytes"]
assert j["locals"]["numCmn"] == 90
' "$work/odd.json"; then pass=$((pass + 1)); else fail=$((fail + 1)); echo "FAIL: odd json"; fi
check "convert odd" 0 "$TOOL" convert "$work/odd.syx" "$work/odd-out.syx"
if py '
import sys
src = open(sys.argv[1], "rb").read()[4:4 + 4112]
out = open(sys.argv[2], "rb").read()
assert len(out) == 4112
diff = [i for i in range(4112) if src[i] != out[i]]
assert diff == [13 + 55], diff     # only the repaired count differs
assert out[110] & 0x02 and out[200] == 0x33 and out[419 + 13] & 0x40
' "$work/odd.syx" "$work/odd-out.syx"; then pass=$((pass + 1)); else fail=$((fail + 1)); echo "FAIL: convert not byte exact"; fi

# Bad inputs: clear message, exit 1, no output file, never a crash.
: >"$work/empty.syx"
head -c 2000 "$work/new.syx" >"$work/truncated.syx"
printf 'hello, this is not sysex' >"$work/garbage.syx"
py 'import sys; d = bytearray(open(sys.argv[1], "rb").read()); d[100] = 0x90; open(sys.argv[2], "wb").write(d)' \
    "$work/new.syx" "$work/highbit.syx"
py 'import sys; d = bytearray(open(sys.argv[1], "rb").read()); d[3] = 0x2A; open(sys.argv[2], "wb").write(d)' \
    "$work/new.syx" "$work/othermaker.syx"
py 'import sys; d = bytearray(open(sys.argv[1], "rb").read()); d[5] = 0x07; open(sys.argv[2], "wb").write(d)' \
    "$work/new.syx" "$work/unknownkind.syx"
for f in empty truncated garbage highbit othermaker unknownkind; do
    check "info $f" 1 "$TOOL" info "$work/$f.syx"
    expect_text "message $f" "$work/err" "Unable to open template: $work/$f.syx - the file is not a valid template file"
    check "convert $f" 1 "$TOOL" convert "$work/$f.syx" "$work/$f-out.syx"
    [ ! -e "$work/$f-out.syx" ] && pass=$((pass + 1)) || { fail=$((fail + 1)); echo "FAIL: $f created output"; }
done
check "missing file" 1 "$TOOL" info "$work/nope.syx"
expect_text "missing message" "$work/err" "nope.syx"
check "directory" 1 "$TOOL" info "$work"
expect_text "directory message" "$work/err" "folder"

# An existing output survives a failed conversion.
cp "$work/new.syx" "$work/keep.syx"
check "convert onto existing" 1 "$TOOL" convert "$work/garbage.syx" "$work/keep.syx"
cmp -s "$work/new.syx" "$work/keep.syx" && pass=$((pass + 1)) || { fail=$((fail + 1)); echo "FAIL: output clobbered"; }
check "write into missing folder" 1 "$TOOL" new "$work/no/such/dir.syx"

# Usage errors.
check "no command" 2 "$TOOL"
check "unknown command" 2 "$TOOL" frobnicate
check "info without file" 2 "$TOOL" info
check "unknown option" 2 "$TOOL" info --yaml "$work/new.syx"
check "convert one arg" 2 "$TOOL" convert "$work/new.syx"
check "help" 0 "$TOOL" --help

# set: each row is an exit status, the arguments after IN OUT, and (for
# successes) a check on the written file's JSON, with c = the changed control.
set_cases=(
    "0|3 controlType=1 midiChannel=3 name=Cutoff|c['controlType'] == 1 and c['midiChannel'] == 3 and c['name'] == 'Cutoff'"
    "0|30 controlType=5|c['displayFormat'] == 2 and c['flagB0'] is True"
    "0|30 controlType=5 midiChannel=127|c['midiChannel'] == 127"
    "0|3 controlType=2|c['flagB0'] is False"
    "0|3 offValue=100 onValue=20|c['reversedRange'] is True"
    "0|30 controlType=1 snapshotValue=64 offValue=5|c['snapshotValue'] == 5"
    "0|0 controlType=1 snapshotValue=64 onValue=100|c['snapshotValue'] == 64"
    "0|8 displayFormat=9 onValue=16000|c['onValue'] == 16000"
    "0|40 portUsb1=0 portMidi2=true portGroup=0 channelGroup=2|not c['portUsb1'] and c['portMidi2'] and c['channelGroup'] == 2"
    "2|40 controlType=4 sysEx=f0_dv|"
    "0|40 controlType=4 sysEx=01_DV_7F|False"
    "0|31 buttonAction=3 stepSize=5|c['buttonAction'] == 3 and c['stepSize'] == 5"
    "0|70 controlType=11 drumAutoOffTime=300 drumOffSync=2|c['drumAutoOffTime'] == 300 and c['drumOffSync'] == 2"
    "0|template templateName=Lead_Synth|False"
    "0|template templateName=Lead manufacturerName=Acme|j['templateName'] == 'Lead' and j['manufacturerName'] == 'Acme'"
    "2|3 midiChannel=17|"
    "2|3 lsbNumber=128|"
    "2|3 lsbNumber=12abc|"
    "2|3 colour=7|"
    "2|3 rawByte5=1|"
    "2|3 controlType|"
    "2|86 controlType=1|"
    "2|-1 controlType=1|"
    "2|knob controlType=1|"
    "2|0 controlType=11|"
    "2|3 controlType=8|"
    "2|3 controlType=5|"
    "2|3 displayFormat=9|"
    "2|3 offValue=200|"
    "2|3 name=TooLongName|"
    "2|3 name=a~b|"
    "2|3 controlType=4 sysEx=F0_01|"
    "2|template name=X|"
    "2|template templateName=ThisTemplateNameIsMuchLongerThanAllowed|"
    "2||"
)
"$TOOL" new "$work/base.syx"
n=0
for row in "${set_cases[@]}"; do
    IFS='|' read -r want args check <<<"$row"
    n=$((n + 1))
    out="$work/set-$n.syx"
    rm -f "$out"
    # Underscores stand for blanks inside one argument (SysEx text).
    read -r -a argv <<<"$args"
    for k in "${!argv[@]}"; do argv[$k]=${argv[$k]//_/ }; done
    check "set $args" "$want" "$TOOL" set "$work/base.syx" "$out" "${argv[@]}"
    if [ "$want" -ne 0 ]; then
        [ ! -e "$out" ] && pass=$((pass + 1)) || { fail=$((fail + 1)); echo "FAIL: set $args created OUT"; }
        continue
    fi
    [ "$check" = "False" ] && continue  # rows that only need to succeed
    "$TOOL" info --json "$out" >"$work/set.json" 2>/dev/null
    target=${argv[0]}
    if py '
import json, sys
j = json.load(open(sys.argv[1]))
c = j["controls"][int(sys.argv[2])] if sys.argv[2] != "template" else None
sys.exit(0 if eval(sys.argv[3]) else 1)
' "$work/set.json" "$target" "$check"; then pass=$((pass + 1)); else
        fail=$((fail + 1)); echo "FAIL: set $args: $check"
    fi
done
# A SysEx message typed as in the edit window.
check "set sysex" 0 "$TOOL" set "$work/base.syx" "$work/sx.syx" 40 controlType=4 "sysEx=00 11 DV 7F"
"$TOOL" info --json "$work/sx.syx" >"$work/sx.json"
if py '
import json, sys
s = json.load(open(sys.argv[1]))["controls"][40]["sysEx"]
assert s["endPosition"] == 5 and s["dataPosition"] == 3 and s["bytes"][:4] == [0, 0x11, 0x7F, 0x7F], s
' "$work/sx.json"; then pass=$((pass + 1)); else fail=$((fail + 1)); echo "FAIL: set sysex content"; fi
# An existing OUT survives a refused change; IN that cannot be opened is exit 1.
cp "$work/new.syx" "$work/keep2.syx"
check "set refused onto existing" 2 "$TOOL" set "$work/base.syx" "$work/keep2.syx" 3 midiChannel=0
cmp -s "$work/new.syx" "$work/keep2.syx" && pass=$((pass + 1)) || { fail=$((fail + 1)); echo "FAIL: set clobbered OUT"; }
check "set garbage in" 1 "$TOOL" set "$work/garbage.syx" "$work/g-out.syx" 3 controlType=1
[ ! -e "$work/g-out.syx" ] && pass=$((pass + 1)) || { fail=$((fail + 1)); echo "FAIL: set from garbage created OUT"; }
# Only the changed control's bytes differ from IN.
check "set one field" 0 "$TOOL" set "$work/odd.syx" "$work/odd-set.syx" 0 lsbNumber=9
if py '
import sys
src = open(sys.argv[1], "rb").read()[4:4 + 4112]
out = open(sys.argv[2], "rb").read()
diff = [i for i in range(4112) if src[i] != out[i]]
rec0 = 419 + 8 * 41   # control 0 follows the eight encoders
assert diff == [13 + 55, rec0 + 17], diff
' "$work/odd.syx" "$work/odd-set.syx"; then pass=$((pass + 1)); else fail=$((fail + 1)); echo "FAIL: set changed other bytes"; fi

echo "$pass passed, $fail failed"
[ "$fail" -eq 0 ]
