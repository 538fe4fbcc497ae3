#!/usr/bin/env bash
# tangra-qv-tool plugins / from-plugin as a user runs them.
set -u
TOOL=${TOOL:?set TOOL to the tangra-qv-tool binary}
DIR=${TEST_PLUGIN_DIR:?set TEST_PLUGIN_DIR to the built test plug-ins}
PY=/usr/bin/python3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail=0
pass=0
ok() { pass=$((pass + 1)); }
bad() { fail=$((fail + 1)); echo "FAIL: $*"; }

# A listing of our own plug-ins: described ones with their parameters, the rest skipped.
if "$TOOL" plugins --json --timeout 2 "$DIR/mixed" >"$work/list.json" 2>"$work/err"; then ok; else bad "plugins --json exit $?"; cat "$work/err"; fi
"$PY" - "$work/list.json" "$DIR/mixed" <<'PYEOF' && ok || bad "plugins --json content"
import json, sys
d = json.load(open(sys.argv[1]))
by = {p["fileName"]: p for p in d["plugins"]}
assert sorted(by) == ["EmptyName", "Noisy", "Probe", "TestFilter"], sorted(by)
t = by["TestFilter"]
assert t["vendor"] == "Quiet Test Works" and t["name"] == "Test Filter", t
assert t["folder"] == sys.argv[2], t["folder"]
assert [(p["index"], p["name"]) for p in t["parameters"]] == \
    [(0, "Filter Cutoff"), (2, "Resonance"), (4, "Drive Level"), (5, "Mix")], t["parameters"]
assert t["parameters"][0]["shortName"] == "FltCut"
assert by["EmptyName"]["name"] == "EmptyName"
skipped = sorted(s["file"].rsplit("/", 1)[1] for s in d["skipped"])
assert skipped == ["Crash.so", "Hang.so", "NoEntry.so", "NotAPlugin.so", "NullEffect.so", "Vst1.so"], skipped
PYEOF

# The readable listing names the skipped files and counts.
"$TOOL" plugins --timeout 2 "$DIR/mixed" >"$work/list.txt" 2>&1
grep -q '^Test Filter (Quiet Test Works)' "$work/list.txt" && ok || bad "text listing header"
grep -q '^  *0  FltCut    Filter Cutoff$' "$work/list.txt" && ok || bad "text listing parameter"
grep -q '^Skipped .*/Crash.so: crashed' "$work/list.txt" && ok || bad "text listing skipped crash"
grep -q '^4 plug-in(s), 6 file(s) skipped$' "$work/list.txt" && ok || bad "text listing counts"

# A template from a real plug-in carries its parameter names.
hall=/usr/lib/lxvst/DragonflyHallReverb-vst.so
if "$TOOL" from-plugin "$hall" "$work/hall.syx" 2>"$work/err"; then ok; else bad "from-plugin exit $?"; cat "$work/err"; fi
[ "$(stat -c %s "$work/hall.syx" 2>/dev/null)" = 4112 ] && ok || bad "from-plugin size"
"$TOOL" info --json "$work/hall.syx" >"$work/hall.json" 2>"$work/err" && ok || bad "info on the made template"
grep -q '"Dragonfly Hall Reverb"' "$work/hall.json" && ok || bad "template name in $(head -c 300 "$work/hall.json")"
grep -q '"DryLevel"' "$work/hall.json" && ok || bad "first parameter name"
grep -q '"ErlyLvl"' "$work/hall.json" && ok || bad "second parameter name"

# Names from our own plug-in, through the same path.
"$TOOL" from-plugin "$DIR/mixed/TestFilter.so" "$work/filter.syx" 2>"$work/err" && ok || bad "from-plugin TestFilter"
"$TOOL" info "$work/filter.syx" >"$work/filter.txt" 2>&1
grep -q 'FltCut' "$work/filter.txt" && ok || bad "FltCut in the template: $(head -20 "$work/filter.txt")"

# Files that are no plug-in: a clear message, status 1, nothing written.
for f in NotAPlugin.so Crash.so NullEffect.so; do
    "$TOOL" from-plugin "$DIR/mixed/$f" "$work/none.syx" >/dev/null 2>"$work/err"
    st=$?
    [ $st -eq 1 ] && ok || bad "from-plugin $f exit $st"
    grep -q "is not a usable VST 2 plug-in" "$work/err" && ok || bad "from-plugin $f message: $(cat "$work/err")"
    [ ! -e "$work/none.syx" ] && ok || bad "from-plugin $f wrote a file"
done
"$TOOL" from-plugin "$work/missing.so" "$work/none.syx" >/dev/null 2>&1; [ $? -eq 1 ] && ok || bad "missing plug-in file"
"$TOOL" from-plugin only-one-arg >/dev/null 2>&1; [ $? -eq 2 ] && ok || bad "usage error"
"$TOOL" plugins --bogus >/dev/null 2>&1; [ $? -eq 2 ] && ok || bad "unknown option"
"$TOOL" plugins --timeout 0 "$DIR/mixed" >/dev/null 2>&1; [ $? -eq 2 ] && ok || bad "bad time-out"
# An empty folder lists nothing, successfully.
mkdir "$work/empty"
"$TOOL" plugins "$work/empty" >"$work/empty.txt" 2>&1 && grep -q '^0 plug-in(s), 0 file(s) skipped$' "$work/empty.txt" && ok || bad "empty folder"

# A folder that does not exist is an error, not an empty list.
"$TOOL" plugins "$work/no-such-folder" >"$work/out" 2>"$work/err"
st=$?
[ $st -eq 1 ] && ok || bad "missing folder exit $st"
grep -q "$work/no-such-folder" "$work/err" && ok || bad "missing folder message: $(cat "$work/err")"

# Control characters in file names reach the terminal escaped.
mkdir "$work/odd"
cp "$DIR/mixed/TestFilter.so" "$work/odd/$(printf 'Red\033[31mAlert\nx.so')"
cp "$DIR/mixed/NotAPlugin.so" "$work/odd/$(printf 'Bell\007.so')"
"$TOOL" plugins --timeout 2 "$work/odd" >"$work/odd.txt" 2>&1
if LC_ALL=C grep -q "$(printf '[\001-\010\013-\037\177]')" "$work/odd.txt"; then bad "raw control characters shown"; else ok; fi
grep -qF 'Red\x1b[31mAlert\nx.so' "$work/odd.txt" && ok || bad "escaped plug-in file name: $(cat -v "$work/odd.txt")"
grep -qF 'Bell\x07.so' "$work/odd.txt" && ok || bad "escaped skipped file name: $(cat -v "$work/odd.txt")"
# The same in from-plugin's messages, for a file that is no plug-in and one that is not there.
"$TOOL" from-plugin "$work/odd/$(printf 'Bell\007.so')" "$work/none.syx" >/dev/null 2>"$work/err"
grep -qF 'Bell\x07.so is not a usable VST 2 plug-in' "$work/err" && ok || bad "from-plugin escaped name: $(cat -v "$work/err")"
"$TOOL" from-plugin "$work/odd/$(printf 'Gone\033[2J.so')" "$work/none.syx" >/dev/null 2>"$work/err"
grep -qF 'Gone\x1b[2J.so' "$work/err" && ok || bad "from-plugin escaped missing name: $(cat -v "$work/err")"
if LC_ALL=C grep -q "$(printf '[\001-\010\013-\037\177]')" "$work/err"; then bad "raw control characters in from-plugin's message"; else ok; fi

# Without DIR or $VST_PATH every existing default folder is searched.
mkdir -p "$work/home/.vst" "$work/home/.lxvst/deep"
cp "$DIR/mixed/TestFilter.so" "$work/home/.vst/First.so"
cp "$DIR/mixed/TestFilter.so" "$work/home/.lxvst/deep/Second.so"
env -u VST_PATH HOME="$work/home" "$TOOL" plugins --json --timeout 2 >"$work/default.json" 2>"$work/err" && ok || bad "default folders exit: $(cat "$work/err")"
"$PY" - "$work/default.json" "$work/home" <<'PYEOF' && ok || bad "default folders content"
import json, os, sys
d = json.load(open(sys.argv[1]))
home = sys.argv[2]
system = [f for f in ["/usr/local/lib/vst", "/usr/lib/vst", "/usr/local/lib/lxvst", "/usr/lib/lxvst"] if os.path.isdir(f)]
assert d["folders"] == [home + "/.vst", home + "/.lxvst"] + system, d["folders"]
names = {p["fileName"] for p in d["plugins"]}
assert {"First", "Second"} <= names, names
if os.path.isdir("/usr/lib/lxvst"):
    assert "DragonflyHallReverb-vst" in names, names
PYEOF

echo "$pass passed, $fail failed"
[ $fail -eq 0 ]
