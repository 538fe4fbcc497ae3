#!/usr/bin/env bash
# tangra-qv-tool's library commands and templates as JSON, run as a user runs
# them, on real files.
set -u
TOOL=${TOOL:?set TOOL to the tangra-qv-tool binary}
FUZZ_FIXTURES=${FUZZ_FIXTURES:-}
work=$(mktemp -d)
cleanup() {
    rm -rf "$work"
}
trap cleanup EXIT
pass=0
fail=0
ok() { pass=$((pass + 1)); }
bad() { fail=$((fail + 1)); echo "FAIL: $*"; }

check() {  # check NAME EXPECTED_STATUS COMMAND...
    local name=$1 want=$2
    shift 2
    "$@" >"$work/out" 2>"$work/err"
    local got=$?
    if [ "$got" -eq "$want" ]; then ok; else
        bad "$name: exit $got, expected $want"
        sed 's/^/  stderr: /' "$work/err" | head -5
    fi
}
expect_text() {  # expect_text NAME FILE TEXT
    if grep -qF -- "$3" "$2"; then ok; else
        bad "$1: '$3' not in $2"
        head -5 "$2" | sed 's/^/  /'
    fi
}
py() { /usr/bin/python3 -c "$@"; }

lib="$work/lib.sqlite3"
L() { "$TOOL" library --library "$lib" "$@"; }

# Templates to work with: a new one, two edited ones, a sibling device's dump,
# one with bits the editor keeps without showing, and a bulk dump of three.
"$TOOL" new "$work/new.syx"
"$TOOL" set "$work/new.syx" "$work/cut.syx" 3 name=Cutoff controlType=1 midiChannel=3
"$TOOL" set "$work/cut.syx" "$work/lead.syx" template templateName="Big Lead" manufacturerName=Moog
py '
import sys
work = sys.argv[1]
d = bytearray(1305)
d[:6] = bytes([0xF0, 0, 0x20, 0x29, 2, 4]); d[-1] = 0xF7
def text(at, s, n): d[at:at + n] = s.encode().ljust(n)[:n]
text(6, "Little One", 16)
for k in range(49): text(30 + k * 26 + 10, "", 16)
d[30:40] = bytes([1, 0, 74, 0, 0, 0, 127, 0, 0, 0]); text(40, "Filter Cutoff", 16)
open(work + "/jx.syx", "wb").write(bytes(d))
n = bytearray(open(work + "/lead.syx", "rb").read())
n[13 + 55] = 89          # a broken record count, repaired on opening
n[110] |= 0x02           # an undefined zone flag
n[200] = 0x33            # inside the block the reader skips
n[419 + 13] |= 0x40      # an undefined action bit
open(work + "/odd.syx", "wb").write(b"junk" + bytes(n) + b"\xf0\x01\xf7")
open(work + "/notes.syx", "wb").write(b"no sysex here")
' "$work"
"$TOOL" blk pack "$work/three.blk" "$work/new.syx" "$work/cut.syx" "$work/lead.syx"
mkdir -p "$work/dir/sub"
cp "$work/cut.syx" "$work/dir/sub/copy.SYX"
cp "$work/notes.syx" "$work/dir/notes.syx"
cp "$work/jx.syx" "$work/dir/jx.syx"

# --- add, list, search, tags ---
check "add files" 0 L add "$work/new.syx" "$work/lead.syx" "$work/jx.syx" "$work/odd.syx"
expect_text "add says new" "$work/out" "#2  Moog - Big Lead  new"
expect_text "add says converted" "$work/out" "converted from TaNGRA JX"
check "add a folder" 0 L add "$work/dir"
expect_text "folder: same content" "$work/out" "Unknown - Untitled  new"
expect_text "folder: sibling again" "$work/out" "already there"
expect_text "folder: non-template skipped" "$work/err" "skipped $work/dir/notes.syx: not a valid template file"
check "add a named non-template" 1 L add "$work/notes.syx"
expect_text "named non-template" "$work/err" "notes.syx: not a valid template file"
check "add a bulk dump" 0 L add "$work/three.blk"
expect_text "bulk dump becomes a backup" "$work/out" "backup #1: 40 templates from $work/three.blk"
check "list" 0 L list
[ "$(wc -l <"$work/out")" -eq 5 ] && ok || bad "list: $(wc -l <"$work/out") lines, expected 5"
check "search control name" 0 L list --json --search "filter"
py 'import json,sys; j=json.load(open(sys.argv[1])); assert [e["name"] for e in j]==["Little One"], j; assert j[0]["originKindName"]=="TaNGRA JX"' "$work/out" && ok || bad "search filter"
check "search two words" 0 L list --json --search "moog big"
py 'import json,sys; j=json.load(open(sys.argv[1])); assert sorted(e["name"] for e in j)==["Big Lead","Big Lead"], j' "$work/out" && ok || bad "search moog big"
check "tag" 0 L tag 2 live "Main Set"
check "tag missing entry" 1 L tag 99 x
check "tag filter" 0 L list --json --tag "main set"
py 'import json,sys; j=json.load(open(sys.argv[1])); assert [e["id"] for e in j]==[2] and j[0]["tags"]==["live","Main Set"], j' "$work/out" && ok || bad "tag filter"
check "untag" 0 L tag 2 --remove live
check "show" 0 L show 2
expect_text "show tags" "$work/out" "Tags:        Main Set"
expect_text "show controls" "$work/out" "Controls:    Cutoff, PitchBnd, ModWheel"
expect_text "show events" "$work/out" "added from $work/lead.syx"
expect_text "show backup" "$work/out" "Backups:     #1"
check "show --json" 0 L show --json 3
py '
import json,sys
j = json.load(open(sys.argv[1]))
assert j["originKind"] == 1 and j["template"]["templateName"] == "Little One", j["originKind"]
assert len(j["events"]) == 2 and j["events"][0]["path"].endswith("/jx.syx"), j["events"]
assert len(j["hash"]) == 64
' "$work/out" && ok || bad "show --json"
check "show unknown" 1 L show 42
check "show bad id" 2 L show abc

# --- export, history, backups ---
check "export" 0 L export 2 "$work/exported.syx"
cmp -s "$work/exported.syx" "$work/lead.syx" && ok || bad "export differs from the file added"
check "export records" 0 L show --json 2
py 'import json,sys; j=json.load(open(sys.argv[1])); assert j["events"][-1]["what"]=="exported", j["events"][-1]' "$work/out" && ok || bad "export event"
check "history of a file" 0 L history "$work/lead.syx"
[ "$(wc -l <"$work/out")" -eq 1 ] && ok || bad "history: $(cat "$work/out")"
check "history of a location" 0 L history --location 3
expect_text "location 3 of the bulk dump" "$work/out" "location 3 of bulk dump $work/three.blk"
check "history bad location" 2 L history --location 41
check "snapshots" 0 L snapshots --json
py 'import json,sys; j=json.load(open(sys.argv[1])); assert len(j)==1 and len(j[0]["entries"])==40 and j[0]["source"].endswith("three.blk"), j' "$work/out" && ok || bad "snapshots"
check "restore" 0 L restore-snapshot 1 "$work/restored.blk"
cmp -s "$work/restored.blk" "$work/three.blk" && ok || bad "restored backup differs from the bulk dump added"
check "restored is a bulk dump" 0 "$TOOL" blk list "$work/restored.blk"
check "restore unknown" 1 L restore-snapshot 7 "$work/none.blk"
[ ! -e "$work/none.blk" ] && ok || bad "restore of an unknown backup wrote a file"
check "delete" 0 L delete 3
check "deleted entry gone" 0 L list --search little
[ ! -s "$work/out" ] && ok || bad "deleted entry still listed"
[ -e "$work/jx.syx" ] && ok || bad "delete removed a file"
check "check" 0 L check
expect_text "check ok" "$work/out" "ok: 4 entries, 1 backups"
check "delete backup" 0 L delete-snapshot 1
check "check after" 0 L check
check "unknown library command" 2 L frobnicate
check "library without command" 2 "$TOOL" library

# --- where the library lives ---
home="$work/home"
mkdir -p "$home"
check "default path" 0 env HOME="$home" XDG_DATA_HOME="$work/xdg" "$TOOL" library add "$work/new.syx"
[ -f "$work/xdg/tangra-qv-editor/library.sqlite3" ] && ok || bad "no library under XDG_DATA_HOME"
conf="$home/.config/TaNGRA LuMI QV Editor"
mkdir -p "$conf"
printf 'StartupAction=0\nLibraryPath=%s\n' "$work/from-setting.sqlite3" >"$conf/TaNGRA LuMI QV Editor.conf"
check "setting path" 0 env HOME="$home" XDG_DATA_HOME="$work/xdg" "$TOOL" library add "$work/lead.syx"
[ -f "$work/from-setting.sqlite3" ] && ok || bad "the LibraryPath setting was not used"
check "option beats setting" 0 env HOME="$home" "$TOOL" library list --library "$work/opt.sqlite3"
[ -f "$work/opt.sqlite3" ] && ok || bad "--library was not used"

# --- a file that is no library: moved aside, a new one started ---
echo "my shopping list" >"$work/bad.sqlite3"
check "bad file" 0 "$TOOL" library --library "$work/bad.sqlite3" add "$work/new.syx"
expect_text "bad file message" "$work/err" "could not be used: it is not a library file"
expect_text "bad file moved" "$work/err" "a new, empty library was started"
aside=$(ls "$work"/bad.sqlite3.unusable-* 2>/dev/null | grep -v -- '-wal$\|-shm$' | head -1)
[ -n "$aside" ] && [ "$(cat "$aside")" = "my shopping list" ] && ok || bad "the bad file was not kept aside"
check "new library works" 0 "$TOOL" library --library "$work/bad.sqlite3" check

# --- a full disk: a small file system of its own (a user and mount namespace) ---
if unshare -rm true 2>/dev/null; then
    unshare -rm bash -c '
        set -u
        TOOL=$1; work=$2; mnt=$work/small
        L() { "$TOOL" library --library "$mnt/lib.sqlite3" "$@"; }
        mkdir -p "$mnt"
        mount -t tmpfs -o size=600k tmpfs "$mnt" || exit 77
        L add "$work/new.syx" >/dev/null || exit 3
        before=$(L list --json)
        # While the editor has the library open, the disk fills up; adding a
        # bulk dump then fails halfway through writing.
        /usr/bin/python3 -c "import sqlite3, sys, time
c = sqlite3.connect(sys.argv[1]); c.execute(\"SELECT count(*) FROM templates\").fetchall(); time.sleep(60)" \
            "$mnt/lib.sqlite3" &
        holder=$!
        sleep 0.5
        dd if=/dev/zero of="$mnt/filler" bs=4k 2>/dev/null
        L add "$work/three.blk" >"$work/full1.out" 2>"$work/full1.err"
        echo $? >"$work/full1.status"
        kill $holder; wait $holder 2>/dev/null
        # With nobody holding it open, even opening it needs room.
        L add "$work/lead.syx" >"$work/full2.out" 2>"$work/full2.err"
        echo $? >"$work/full2.status"
        rm -f "$mnt/filler"
        after=$(L list --json)
        [ "$before" = "$after" ] || exit 4
        [ -z "$(L snapshots)" ] || exit 5
        L check >"$work/full.check" || exit 6
        L add "$work/three.blk" >/dev/null || exit 7
    ' full "$TOOL" "$work"
    status=$?
    if [ $status -eq 77 ]; then
        echo "note: no tmpfs in a user namespace here; the full disk is covered by the VFS test only"
    elif [ $status -ne 0 ]; then
        bad "full disk: step $status failed"
        cat "$work"/full*.err 2>/dev/null | head -3
    else
        ok
        for n in 1 2; do
            [ "$(cat "$work/full$n.status")" = 1 ] && ok || bad "add on a full disk ($n): exit $(cat "$work/full$n.status")"
            expect_text "full disk message ($n)" "$work/full$n.err" "disk is full"
        done
        expect_text "full disk: write failed" "$work/full1.err" "Unable to add to the library"
        sed "s/^/  full disk: /" "$work/full1.err" "$work/full2.err"
    fi
else
    echo "note: unshare is not allowed here; the full disk is covered by the VFS test only"
fi

# --- templates as JSON ---
check "info --json has no preserved bits" 0 "$TOOL" info --json "$work/odd.syx"
py 'import json,sys; j=json.load(open(sys.argv[1])); assert "preservedBits" not in j' "$work/out" && ok || bad "plain info --json changed"
check "--lossless needs --json" 2 "$TOOL" info --lossless "$work/odd.syx"
check "lossless json" 0 "$TOOL" info --json --lossless "$work/odd.syx"
py 'import json,sys; j=json.load(open(sys.argv[1])); assert {(b["offset"], b["mask"], b["value"]) for b in j["preservedBits"]} == {(110, 2, 2), (200, 0x33, 0x33), (432, 0x40, 0x40)}, j["preservedBits"]' "$work/out" && ok || bad "preserved bits of odd.syx"

# Every template file these tests and the fuzz fixtures hold: lossless JSON
# back to bytes gives what convert writes; for this unit's own clean files,
# the file itself.
files=("$work"/*.syx)
if [ -n "$FUZZ_FIXTURES" ]; then
    for f in "$FUZZ_FIXTURES"/open_template/* "$FUZZ_FIXTURES"/sibling_load/*; do [ -f "$f" ] && files+=("$f"); done
fi
mkdir -p "$work/x"
"$TOOL" blk extract "$work/restored.blk" "$work/x" >/dev/null && files+=("$work"/x/*.syx)
tried=0
for f in "${files[@]}"; do
    "$TOOL" convert "$f" "$work/conv.syx" >/dev/null 2>&1 || continue
    tried=$((tried + 1))
    if ! "$TOOL" info --json --lossless "$f" >"$work/t.json" 2>/dev/null; then bad "info --lossless $f"; continue; fi
    if ! "$TOOL" from-json "$work/t.json" "$work/back.syx" 2>"$work/err"; then bad "from-json of $f: $(cat "$work/err")"; continue; fi
    cmp -s "$work/back.syx" "$work/conv.syx" && ok || bad "lossless round trip of $f differs from convert"
    # Without the preserved bits: what the model holds, which opens to the same model.
    py 'import json,sys; j=json.load(open(sys.argv[1])); del j["preservedBits"]; json.dump(j, open(sys.argv[2], "w"))' "$work/t.json" "$work/m.json"
    "$TOOL" from-json "$work/m.json" "$work/model.syx" 2>/dev/null && "$TOOL" diff "$work/model.syx" "$work/conv.syx" >/dev/null && ok ||
        bad "model-only JSON of $f does not give the same template"
done
[ $tried -ge 8 ] && ok || bad "only $tried files could be tried"
for f in new lead cut; do
    "$TOOL" info --json --lossless "$work/$f.syx" >"$work/t.json" && "$TOOL" from-json "$work/t.json" "$work/back.syx" &&
        cmp -s "$work/back.syx" "$work/$f.syx" && ok || bad "$f.syx does not come back byte for byte"
done

# Hand-written JSON: missing keys keep a new template's values.
echo '{"templateName": "By Hand", "controls": [{"index": 5, "controlType": 1, "name": "Drive", "lsbNumber": 20}]}' >"$work/hand.json"
check "from-json by hand" 0 "$TOOL" from-json "$work/hand.json" "$work/hand.syx"
check "hand info" 0 "$TOOL" info "$work/hand.syx"
expect_text "hand name" "$work/out" "Unknown - By Hand"
expect_text "hand control" "$work/out" "Drive"

# Bad JSON: a usage error naming the key, and no file written.
while IFS='|' read -r json key; do
    echo "$json" >"$work/bad.json"
    rm -f "$work/never.syx"
    check "from-json $key" 2 "$TOOL" from-json "$work/bad.json" "$work/never.syx"
    expect_text "names $key" "$work/err" "$key"
    [ ! -e "$work/never.syx" ] && ok || bad "from-json wrote a file for bad $key"
done <<'EOF'
{"templateName": "X", "colour": "red"}|unknown key 'colour'
{"controls": [{"index": 4, "midiChanel": 2}]}|unknown key 'controls[4].midiChanel'
{"controls": [{"index": 4, "midiChannel": 200}]}|'controls[4].midiChannel': 200 cannot be kept
{"controls": [{"index": 4, "portMidi1": 1}]}|'controls[4].portMidi1' must be true or false
{"locals": {"octave": -1}}|'locals.octave' must be a whole number from 0 to 255
{"templateName": 7}|'templateName' must be a text
{"header": [240, 0]}|'header' must be a list of 13 numbers
{"preservedBits": [{"offset": 5000, "mask": 1, "value": 1}]}|'preservedBits[0].offset'
{"preservedBits": [{"offset": 20, "mask": 1, "value": 2}]}|'preservedBits[0].value' has bits outside its mask
{"zones": [{"bottomNote": "low"}]}|'zones[0].bottomNote' must be a whole number
[1, 2]|the template must be a JSON object
EOF
echo "not json" >"$work/bad.json"
check "from-json not json" 2 "$TOOL" from-json "$work/bad.json" "$work/never.syx"
check "from-json missing file" 1 "$TOOL" from-json "$work/nothing.json" "$work/never.syx"

echo "library and JSON commands: $pass passed, $fail failed"
[ $fail -eq 0 ]
