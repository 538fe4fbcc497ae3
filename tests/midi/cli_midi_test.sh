#!/usr/bin/env bash
# tangra-qv-tool's MIDI commands against the simulated unit over JACK:
# ports, receive (byte-exact, converted, invalid, timeout) and send (stored
# byte-exact with the bulk flag cleared), and a unit that disappears.
set -u
TOOL=${TOOL:?set TOOL to the tangra-qv-tool binary}
SIM=${SIM:?set SIM to the tangra-qv-sim binary}
CTL=${TQV_SIM_CONTROL:?run through with_jack.sh}
UNIT=${TQV_SIM_STATE:?run through with_jack.sh}/unit
work=$(mktemp -d)
spare_pid=
cleanup() {
    [ -n "$spare_pid" ] && kill "$spare_pid" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT
pass=0
fail=0
ok() { pass=$((pass + 1)); }
bad() { fail=$((fail + 1)); echo "FAIL: $*"; }
sim() { "$SIM" ctl "$CTL" "$@"; }

# Starts `receive` in the background and waits until it listens; the unit is
# then told to send, as a user presses the unit's button after clicking.
start_receive() {  # OUT [ARGS...]
    local out=$1; shift
    "$TOOL" receive "$@" "$out" > "$work/recv.out" 2> "$work/recv.err" &
    recv_pid=$!
    for _ in $(seq 100); do grep -q "Listening" "$work/recv.err" 2>/dev/null && break; sleep 0.05; done
    sleep 0.3
}
finish_receive() { wait "$recv_pid"; }

# --- ports
"$TOOL" ports > "$work/ports" || bad "ports failed"
grep -qx "  TaNGRA QV MIDI:out: Port 1" "$work/ports" && grep -qx "  TaNGRA QV MIDI:in: Port 1" "$work/ports" \
    && ok || { bad "ports does not list the unit"; cat "$work/ports"; }
grep -q "tqv-editor" "$work/ports" && bad "ports lists the tool's own ports" || ok
"$TOOL" ports --json | /usr/bin/python3 -c '
import json, sys
j = json.load(sys.stdin)
assert {"name": "TaNGRA QV MIDI:out: Port 1", "platformName": "TaNGRA QV MIDI:out"} in j["inputs"], j
assert any(p["name"] == "TaNGRA QV MIDI:in: Port 1" for p in j["outputs"]), j
' && ok || bad "ports --json"

# --- receive: what the unit sends arrives byte-exact
sim clear-received > /dev/null
start_receive "$work/got.syx" --timeout 10
sim send 5 > /dev/null
finish_receive
rc=$?
sim save-sent "$work/sent.syx" > /dev/null
[ $rc -eq 0 ] && cmp -s "$work/got.syx" "$work/sent.syx" && ok || { bad "receive not byte-exact (rc $rc)"; cat "$work/recv.err"; }
grep -q 'Received "Unknown - Template 6"' "$work/recv.err" && ok || { bad "receive summary"; cat "$work/recv.err"; }

# --- receive with --in by part of the shown name; the unit runs an older OS
sim set-os 1.0.02 > /dev/null
start_receive "$work/old.syx" --in "MIDI:out" --timeout 10
sim send 0 > /dev/null
finish_receive && grep -q "older than 1.0.10" "$work/recv.err" && ok || { bad "old OS notice"; cat "$work/recv.err"; }
sim set-os 1.0.10 > /dev/null

# --- receive: a sibling device's dump is converted with the note
/usr/bin/python3 - "$work" <<'PY'
import sys
d = bytearray(2832)
d[:7] = bytes([0xF0, 0, 0x20, 0x29, 2, 0, 0x7F]); d[-1] = 0xF7
def text(at, s, n): d[at:at + n] = s.encode().ljust(n)[:n]
text(13, "Studio A", 16); text(38, "Quorvane", 13); d[126] = 1
for k in range(61): text(145 + k * 44, "", 16)
text(145, "Filter Cutoff", 16); d[145 + 16:145 + 22] = bytes([0, 127, 1, 0, 0, 0]); d[145 + 23] = 74
open(sys.argv[1] + "/sibling.syx", "wb").write(d)
PY
start_receive "$work/conv.syx" --timeout 10
sim send-file "$work/sibling.syx" > /dev/null
finish_receive && grep -q "This template has been recieved from a TaNGRA" "$work/recv.err" \
    && [ "$(stat -c %s "$work/conv.syx")" = 4112 ] && ok || { bad "converted receive"; cat "$work/recv.err"; }
"$TOOL" info "$work/conv.syx" | grep -q "Flt.Cut" && ok || bad "converted template lost its control"

# --- receive: another device's SysEx and a message the unit broke off are
# passed over; the dump after them is taken whole
sim clear-received > /dev/null
start_receive "$work/after.syx" --timeout 10
sim send-hex F0 7E 7F 06 01 F7 > /dev/null
sim send-hex F0 43 10 4C 00 00 7E 00 F7 > /dev/null
sim send-hex F0 00 20 29 02 03 7F 00 01 02 03 > /dev/null
sim send 5 > /dev/null
finish_receive
rc=$?
sim save-sent "$work/sent-after.syx" > /dev/null
/usr/bin/python3 -c "
import sys
sent = open('$work/sent-after.syx', 'rb').read()
assert open('$work/after.syx', 'rb').read() == sent[-4112:]
" 2>/dev/null && [ $rc -eq 0 ] && ok || { bad "strays before a dump (rc $rc)"; cat "$work/recv.err"; }

# --- receive: garbage with the maker's header is an invalid dump, nothing is written
start_receive "$work/bad.syx" --timeout 10
sim send-hex F0 00 20 29 01 02 03 04 05 F7 > /dev/null
finish_receive && bad "garbage accepted" || ok
grep -q "The dump received was not a valid template" "$work/recv.err" && [ ! -e "$work/bad.syx" ] && ok \
    || { bad "invalid dump message"; cat "$work/recv.err"; }

# --- receive: nothing arrives in time
start=$(date +%s.%N)
"$TOOL" receive --timeout 1 "$work/none.syx" 2> "$work/none.err" && bad "timeout gave success" || ok
grep -q "nothing was received within 1 seconds" "$work/none.err" && [ ! -e "$work/none.syx" ] && ok \
    || { bad "timeout message"; cat "$work/none.err"; }
/usr/bin/python3 -c "import sys; sys.exit(0 if $(date +%s.%N) - $start < 5 else 1)" && ok || bad "timeout took too long"

# --- receive/send: a name that matches no port
"$TOOL" receive --in "No Such Port" --timeout 1 "$work/x.syx" 2> "$work/err" && bad "unknown --in accepted" || ok
grep -q 'no input port matches "No Such Port"' "$work/err" && ok || { bad "unknown --in message"; cat "$work/err"; }
"$TOOL" send --out "No Such Port" "$work/got.syx" 2> "$work/err" && bad "unknown --out accepted" || ok

# --- send: the unit stores the template byte-exact, bulk flag cleared
"$TOOL" new "$work/new.syx" > /dev/null
/usr/bin/python3 - "$work/new.syx" "$work/bulk.syx" "$work/expect.syx" <<'PY'
import sys
d = bytearray(open(sys.argv[1], "rb").read())
d[7] = 1; d[12] = 7          # a bulk entry for location 7
open(sys.argv[2], "wb").write(d)
d[7] = 0
open(sys.argv[3], "wb").write(d)
PY
sim clear-received > /dev/null
"$TOOL" send "$work/bulk.syx" 2> "$work/send.err" && ok || { bad "send failed"; cat "$work/send.err"; }
sim wait-received 1 5000 > /dev/null && cmp -s "$UNIT/template-07.syx" "$work/expect.syx" && ok \
    || { bad "unit did not store the sent template byte-exact"; tail -3 "$TQV_SIM_STATE/sim.log"; }

# The first send after opening the port is never lost: ten fresh tool runs,
# ten arrivals.
sim clear-received > /dev/null
for i in $(seq 10); do "$TOOL" send "$work/got.syx" 2> "$work/send.err" || { bad "send $i failed"; cat "$work/send.err"; }; done
[ "$(sim wait-received 10 5000)" = "ok 10" ] && ok || bad "sends lost: $(sim received)"

# --- a unit that disappears: the tool says so instead of hanging
"$SIM" run --name "Spare Unit" --dir "$work/spare" --log "$work/spare.log" < /dev/null > /dev/null 2>&1 &
spare_pid=$!
for _ in $(seq 50); do "$TOOL" ports | grep -q "Spare Unit:in" && break; sleep 0.1; done
kill "$spare_pid"; wait "$spare_pid" 2>/dev/null; spare_pid=
timeout 20 "$TOOL" send --out "Spare Unit" "$work/got.syx" 2> "$work/err"
rc=$?
[ $rc -eq 1 ] && grep -q 'no output port matches "Spare Unit"' "$work/err" && ok || { bad "vanished unit (rc $rc)"; cat "$work/err"; }

echo "$pass passed, $fail failed"
[ "$fail" -eq 0 ]
