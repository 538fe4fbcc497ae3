#!/usr/bin/env bash
# tangra-qv-tool set over lists and ranges of controls, and clashes: tables of
# cases with the exit status and what was written or printed.
set -u
TOOL=${TOOL:?set TOOL to the tangra-qv-tool binary}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
pass=0
fail=0
ok() { pass=$((pass + 1)); }
bad() { fail=$((fail + 1)); echo "FAIL: $*"; }
cd "$work" || exit 1
"$TOOL" new base.syx || { echo "cannot make a template"; exit 1; }

# The indices of the controls of FILE for which the Python expression on c holds.
matching() {
    "$TOOL" info --json "$1" | /usr/bin/python3 -c '
import json, sys
cs = json.load(sys.stdin)["controls"]
print(",".join(str(i) for i, c in enumerate(cs) if eval(sys.argv[1])))' "$2"
}

# set: exit status | INDEXES and assignments | expression | the controls it must hold for
set_cases=(
"0|0-7,16,20-23 controlType=1 midiChannel=4|c['midiChannel'] == 4|0,1,2,3,4,5,6,7,16,20,21,22,23"
"0|3,1-2,2 name=Dup|c['name'] == 'Dup'|1,2,3"
"0|85,0 controlType=1 lsbNumber=9|c['lsbNumber'] == 9|0,85"
"0|64,66-69 controlType=10 midiChannel=2|c['controlType'] == 10|64,66,67,68,69"
"0|70-77 controlType=11 offValue=36|c['controlType'] == 11 and c['offValue'] == 36|70,71,72,73,74,75,76,77"
"0|24-31 controlType=5 midiChannel=100|c['midiChannel'] == 100|24,25,26,27,28,29,30,31"
"2|64-69 controlType=10|"        # 65, the modulation wheel, sends no pitch bend
"2|7-0 controlType=1|"           # backwards
"2|0-86 controlType=1|"          # past the last control
"2|0,,3 controlType=1|"
"2|1- controlType=1|"
"2|-1 controlType=1|"
"2|a-3 controlType=1|"
"2|0-7 midiChannel=17|"
"2|0-7 displayFormat=9|"         # pots send no 14-bit values (encoders 8-15 do)
"2|8-16 displayFormat=9|"        # ... and slider 16 does not either
"0|8-15 displayFormat=9 onValue=16000|c['onValue'] == 16000|8,9,10,11,12,13,14,15"
"2|template,3 name=X|"
)
n=0
for row in "${set_cases[@]}"; do
    IFS='|' read -r want args expr expected <<<"$row"
    n=$((n + 1))
    read -r -a argv <<<"$args"
    rm -f "out-$n.syx"
    "$TOOL" set base.syx "out-$n.syx" "${argv[@]}" >/dev/null 2>"err-$n"
    got=$?
    if [ "$got" -ne "$want" ]; then bad "set $args: exit $got, expected $want ($(head -1 "err-$n"))"; continue; fi
    if [ "$want" -ne 0 ]; then
        [ ! -e "out-$n.syx" ] && ok || bad "set $args wrote OUT after a refusal"
        continue
    fi
    got=$(matching "out-$n.syx" "$expr")
    [ "$got" = "$expected" ] && ok || bad "set $args: $expr holds for $got, expected $expected"
done
# The refusal names the control that cannot take the value.
"$TOOL" set base.syx refused.syx 64-69 controlType=10 2>err.txt
grep -q "controlType=10 for control 65: the control cannot take type 10" err.txt && ok ||
    bad "refusal message: $(head -1 err.txt)"

# clashes: name | set commands (';'-separated, each INDEXES FIELD=VALUE...) | exit | output lines joined by '|'
clash_cases=(
"new template||0|"
"four pots on CC 7|0-3 controlType=1 lsbNumber=7|1|CC 7 on channel 1 (MIDI 1, USB 1): 0 (Pot 1), 1 (Pot 2), 2 (Pot 3), 3 (Pot 4)"
"names shown|0,16 controlType=1 lsbNumber=7;0 name=Cut|1|CC 7 on channel 1 (MIDI 1, USB 1): 0 (Pot 1, \"Cut\"), 16 (Slider 1)"
"other channels|0,16 controlType=1 lsbNumber=7;16 midiChannel=2|0|"
"other ports|0,16 controlType=1 lsbNumber=7;16 portMidi1=0 portUsb1=0 portUsb2=1|0|"
"common channel equals own|0,16 controlType=1 lsbNumber=7;16 channelGroup=1|1|CC 7 on channel 1 (MIDI 1, USB 1): 0 (Pot 1), 16 (Slider 1)"
"two groups|0-1 controlType=1 lsbNumber=7;24-25 controlType=9 offValue=5|1|CC 7 on channel 1 (MIDI 1, USB 1): 0 (Pot 1), 1 (Pot 2)|Program Change 5 on channel 1 (MIDI 1, USB 1): 24 (Button row 1, 1), 25 (Button row 1, 2)"
"note and drum pad|24 controlType=6 lsbNumber=36;70 controlType=11 offValue=36|1|Note 36 (C1) on channel 1 (MIDI 1, USB 1): 24 (Button row 1, 1), 70 (Drum pad 1)"
"MMC has no channel|56-57 controlType=5 mmcCommand=2 midiChannel=127;57 channelGroup=1|1|MMC Play to device 127 (MIDI 1, USB 1): 56 (Rewind), 57 (Forward)"
"pitch bend off the panel|66 controlType=10|1|Pitch Bend on channel 1 (MIDI 1, USB 1): 64 (Pitch-bend wheel, \"PitchBnd\"), 66 (Further continuous 1)"
)
for row in "${clash_cases[@]}"; do
    IFS='|' read -r name commands want expected <<<"$row"
    cp base.syx case.syx
    IFS=';' read -r -a steps <<<"$commands"
    for step in "${steps[@]}"; do
        read -r -a argv <<<"$step"
        "$TOOL" set case.syx case.syx "${argv[@]}" || { bad "$name: set $step"; continue 2; }
    done
    out=$("$TOOL" clashes case.syx)
    got=$?
    [ "$got" -eq "$want" ] || { bad "$name: exit $got, expected $want"; continue; }
    [ "$out" = "$(tr '|' '\n' <<<"$expected")" ] && ok || bad "$name: printed '$out'"
done

# The JSON form of the last case, and the exit status with --json.
"$TOOL" clashes --json case.syx >clash.json
[ $? -eq 1 ] && ok || bad "clashes --json: exit status"
/usr/bin/python3 - clash.json <<'PY' && ok || bad "clashes --json content"
import json, sys
j = json.load(open(sys.argv[1]))
[c] = j["clashes"]
assert c["message"] == "Pitch Bend" and c["channel"] == 1 and c["ports"] == ["MIDI 1", "USB 1"], c
assert [(x["index"], x["place"], x["name"], x["type"]) for x in c["controls"]] == [
    (64, "Pitch-bend wheel", "PitchBnd", "Pitch Bend"), (66, "Further continuous 1", "", "Pitch Bend")], c
PY
out=$("$TOOL" clashes --json base.syx)
[ $? -eq 0 ] && [ "$(/usr/bin/python3 -c 'import json,sys; print(json.loads(sys.argv[1]))' "$out")" = "{'clashes': []}" ] &&
    ok || bad "clashes --json without clashes: '$out'"

# Usage errors and unusable files: 2, so that 1 always means "clashes found".
printf 'not a template' >garbage.syx
for args in "" "--yaml base.syx" "base.syx base.syx" "missing.syx" "garbage.syx" "."; do
    read -r -a argv <<<"$args"
    "$TOOL" clashes "${argv[@]}" >/dev/null 2>&1
    got=$?
    [ "$got" -eq 2 ] && ok || bad "clashes $args: exit $got, expected 2"
done

echo "set ranges and clashes: $pass passed, $fail failed"
[ "$fail" -eq 0 ]
