#!/usr/bin/env bash
# tangra-qv-tool on the dumps of the sibling devices: info reports the
# conversion, convert writes a dump of the device's own that opens unconverted,
# and broken dumps are refused without a crash.
set -u
TOOL=${TOOL:?set TOOL to the tangra-qv-tool binary}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
pass=0
fail=0

ok() { pass=$((pass + 1)); }
bad() { fail=$((fail + 1)); echo "FAIL: $*"; }

# One dump per sibling kind: names, a CC control "Filter Cutoff" on CC 74 at
# index 0, and on the Ulmatone an Aftertouch control the device cannot use.
/usr/bin/python3 - "$work" <<'EOF'
import sys
work = sys.argv[1]

def blank(size, header):
    d = bytearray(size)
    d[:len(header)] = bytes(header)
    d[-1] = 0xF7
    return d

def text(d, at, s, n):
    d[at:at + n] = s.encode().ljust(n)[:n]

def synth_head(d, r, name, head):
    text(d, r, name, 16)
    d[r + 16:r + 26] = bytes(head)

cc = [1, 0, 127, 0, 0, 0, 0, 74, 0, 0]

ta = blank(2832, [0xF0, 0, 0x20, 0x29, 2, 0, 0x7F])
text(ta, 13, "Studio A", 16); text(ta, 38, "Quorvane", 13); ta[126] = 1
for k in range(61): text(ta, 145 + k * 44, "", 16)
text(ta, 145, "Filter Cutoff", 16); ta[145 + 16:145 + 22] = bytes([0, 127, 1, 0, 0, 0]); ta[145 + 23] = 74

jx = blank(1305, [0xF0, 0, 0x20, 0x29, 2, 4])
text(jx, 6, "Little One", 16)
for k in range(49): text(jx, 30 + k * 26 + 10, "", 16)
jx[30:40] = bytes([1, 0, 74, 0, 0, 0, 127, 0, 0, 0]); text(jx, 40, "Filter Cutoff", 16)

ke = blank(8208, [0xF0, 0, 0x20, 0x29, 2, 0, 0x7F])
text(ke, 13, "Pads", 16); text(ke, 30, "Kelmor Labs", 13)
for k in range(150): text(ke, 405 + k * 52, "", 16)
synth_head(ke, 405, "Filter Cutoff", cc)

ul = blank(1808, [0xF0, 0, 0x20, 0x29, 2, 5, 0x7F])
text(ul, 13, "Bass Synth", 16)
for k in range(54): text(ul, 185 + k * 30, "", 16)
synth_head(ul, 185, "Pressure", [11, 0, 127, 0, 0, 0, 0, 0, 0, 0])
synth_head(ul, 215, "Filter Cutoff", cc)

for name, d in (("tangra", ta), ("jx", jx), ("kelmor", ke), ("ulmatone", ul)):
    open(f"{work}/{name}.syx", "wb").write(d)
# Broken dumps: too short, a wrong header, an unknown kind, a Kelmor header the device refuses.
open(f"{work}/short.syx", "wb").write(bytes(ta[:2000]) + b"\xF7")
wrong = bytearray(ta); wrong[6] = 0; open(f"{work}/wrongheader.syx", "wb").write(wrong)
unknown = bytearray(ta); unknown[5] = 9; open(f"{work}/unknownkind.syx", "wb").write(unknown)
kel = bytearray(ke); kel[4] = 1; open(f"{work}/kelmorbyte4.syx", "wb").write(kel)
open(f"{work}/tiny.syx", "wb").write(bytes([0xF0, 0, 0x20, 0x29, 0xF7]))
EOF

# check_info FILE KIND KINDNAME DISPLAYNAME DROPPED(0/1)
check_info() {
    local file=$1
    if ! "$TOOL" info --json "$work/$file.syx" >"$work/$file.json" 2>"$work/err"; then
        bad "info --json $file exited non-zero"; sed 's/^/  /' "$work/err" | head -3; return
    fi
    if /usr/bin/python3 - "$work/$file.json" "$2" "$3" "$4" "$5" <<'EOF'
import json, sys
j = json.load(open(sys.argv[1]))
kind, kind_name, display, dropped = int(sys.argv[2]), sys.argv[3], sys.argv[4], sys.argv[5] == "1"
notice = "This template contains controls which will not work with this hardware.\n\nThese controls will not be loaded."
problems = []
def want(cond, what):
    if not cond: problems.append(what)
want(j["converted"] is True, "converted")
want(j["kind"] == kind, f"kind {j['kind']}")
want(j["kindName"] == kind_name, f"kindName {j['kindName']}")
want(j["displayName"] == display, f"displayName {j['displayName']}")
imp = j["importedControls"]
want(len(imp) == 1, f"{len(imp)} imported controls")
if imp:
    c = imp[0]
    want(c["name"] == "Flt.Cut" and c["longName"] == "Filter Cutoff", f"names {c['name']}/{c['longName']}")
    want(c["controlType"] == 1 and c["lsbNumber"] == 74, "CC 74")
    for field in ("midiChannel", "portGroup", "sysEx", "plugin", "stepSize", "sourcePortByte"):
        want(field in c, f"field {field}")
want(j["controls"][0]["name"] == "Flt.Cut", "placed on index 0")
want((notice in j["notices"]) == dropped, f"notices {j['notices']}")
if problems:
    print("; ".join(problems)); sys.exit(1)
EOF
    then ok; else bad "info --json $file"; fi
}

check_info tangra 0 "TaNGRA" "Quorvane - Studio A" 0
check_info jx 1 "TaNGRA JX" "Unknown - Little One" 0
check_info kelmor 3 "Kelmor" "Kelmor Labs - Pads" 0
check_info ulmatone 4 "Ulmatone" "Unknown - Bass Synth" 1

# convert writes a dump of the device's own, which opens without conversion.
for f in tangra jx kelmor ulmatone; do
    if "$TOOL" convert "$work/$f.syx" "$work/$f-qv.syx" 2>"$work/err"; then ok; else bad "convert $f"; continue; fi
    size=$(stat -c %s "$work/$f-qv.syx")
    [ "$size" -eq 4112 ] && ok || bad "converted $f is $size bytes"
    "$TOOL" info --json "$work/$f-qv.syx" >"$work/out" 2>&1 || { bad "info on converted $f"; continue; }
    /usr/bin/python3 -c '
import json, sys
j = json.load(open(sys.argv[1]))
sys.exit(0 if j["converted"] is False and j["kind"] == 2 and j["controls"][0]["name"] == "Flt.Cut" else 1)
' "$work/out" && ok || bad "converted $f does not reopen as a plain template"
done
grep -qF "will not be loaded" "$work/err" && ok || bad "convert does not pass the dropped-controls notice on"

# Broken dumps: the same message and status 1 for info and convert.
for f in short wrongheader unknownkind kelmorbyte4 tiny; do
    for cmd in info convert; do
        if [ "$cmd" = info ]; then "$TOOL" info "$work/$f.syx" >"$work/out" 2>"$work/err"
        else "$TOOL" convert "$work/$f.syx" "$work/never.syx" >"$work/out" 2>"$work/err"; fi
        status=$?
        [ "$status" -eq 1 ] && ok || bad "$cmd $f: exit $status, expected 1"
        grep -qF "Unable to open template: $work/$f.syx - the file is not a valid template file" "$work/err" \
            && ok || bad "$cmd $f: message missing: $(head -c 200 "$work/err")"
    done
done
[ ! -e "$work/never.syx" ] && ok || bad "convert wrote a file for a broken dump"

echo "sibling cli: $pass passed, $fail failed"
[ "$fail" -eq 0 ]
