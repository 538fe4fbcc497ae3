#!/usr/bin/env bash
# Every way the tool writes a file (a template, a bulk dump, the templates
# extracted from one), and the editor's settings store, syncs the new content before it takes the file's name
# and syncs the folder after, so that "saved" survives a power loss.
set -u
TOOL=${TOOL:?set TOOL to the tangra-qv-tool binary}
PROBE=${PROBE:?set PROBE to the sync probe library}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
pass=0
fail=0
log=$work/sync.log

# A sanitizer build's runtime has to come first; the probe does not mind.
export ASAN_OPTIONS=${ASAN_OPTIONS:+$ASAN_OPTIONS:}verify_asan_link_order=0

traced() {  # traced COMMAND...: runs the command with the probe, log emptied first
    : >"$log"
    TQV_SYNC_LOG=$log LD_PRELOAD=$PROBE "$@" >"$work/out" 2>&1 || { echo "command failed: $*"; cat "$work/out"; }
}

# durable NAME TARGET: TARGET took its name by a rename after a sync of a
# file in its folder, and its folder was synced after that rename.
durable() {
    if /usr/bin/python3 - "$log" "$2" <<'PYEOF'; then pass=$((pass + 1)); else fail=$((fail + 1)); echo "FAIL: $1"; sed 's/^/  /' "$log" | head -20; fi
import os, sys
lines = [l.rstrip("\n").split(" ", 1) for l in open(sys.argv[1])]
target = sys.argv[2]
folder = os.path.dirname(target)
renames = [i for i, (verb, rest) in enumerate(lines) if verb == "rename" and rest.endswith(" " + target)]
assert renames, "no rename to " + target
r = renames[-1]
assert any(verb == "fsync" and rest.startswith(folder + "/") for verb, rest in lines[:r]), "content not synced before the rename"
assert any(verb == "fsync" and rest == folder for verb, rest in lines[r + 1:]), "folder not synced after the rename"
PYEOF
}

mkdir "$work/out1" "$work/out2"
traced "$TOOL" new "$work/out1/new.syx"
durable "new template" "$work/out1/new.syx"

"$TOOL" new "$work/in.syx"
traced "$TOOL" convert "$work/in.syx" "$work/out2/converted.syx"
durable "converted template" "$work/out2/converted.syx"
# Replacing an existing file takes the same path.
traced "$TOOL" convert "$work/in.syx" "$work/out2/converted.syx"
durable "replaced template" "$work/out2/converted.syx"

traced "$TOOL" blk pack "$work/out1/set.blk" "$work/in.syx"
durable "bulk dump" "$work/out1/set.blk"

mkdir "$work/extracted"
traced "$TOOL" blk extract "$work/out1/set.blk" "$work/extracted"
first=$(ls "$work/extracted" | head -1)
durable "extracted template" "$work/extracted/$first"

# The editor's settings, written and then replaced.
if [ -n "${SETTINGS_WRITER:-}" ]; then
    for value in 1 2; do
        traced "$SETTINGS_WRITER" "$work/out2/settings" "$value"
        durable "settings, value $value" "$work/out2/settings"
        if grep -qx "StartupAction=$value" "$work/out2/settings"; then pass=$((pass + 1)); else
            fail=$((fail + 1))
            echo "FAIL: settings content"
            sed 's/^/  /' "$work/out2/settings"
        fi
    done
fi

echo "$pass passed, $fail failed"
[ $fail -eq 0 ]
