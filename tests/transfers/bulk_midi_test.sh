#!/usr/bin/env bash
# Bulk dumps and OS updates end to end: tangra-qv-tool against the simulated
# unit over a private JACK server (see tests/midi/jack_fixture.sh).
# Needs TOOL, SIM, TQV_SIM_CONTROL and TQV_SIM_STATE.
set -u
TOOL=${TOOL:?} SIM=${SIM:?} CTL=${TQV_SIM_CONTROL:?} STATE=${TQV_SIM_STATE:?}
work=$(mktemp -d)
leaving=
trap '[ -n "$leaving" ] && kill $leaving 2>/dev/null; rm -rf "$work"' EXIT
pass=0
fail=0
ok() { pass=$((pass + 1)); }
bad() { fail=$((fail + 1)); echo "FAIL: $*"; }
expect() {  # expect NAME COMMAND...
    local name=$1
    shift
    if "$@"; then ok; else bad "$name"; fi
}
py() { /usr/bin/python3 -c "$@"; }
ctl() { "$SIM" ctl "$CTL" "$@"; }
now_ms() { date +%s%3N; }

# 40 templates named PREFIX 01..40, written as single .syx files into DIR.
"$TOOL" new "$work/base.syx"
make_templates() {  # make_templates DIR PREFIX
    mkdir -p "$1"
    py "
import sys
d=open('$work/base.syx','rb').read()
for i in range(40):
    open('%s/%02d.syx' % (sys.argv[1], i + 1),'wb').write(d.replace(b'Untitled', ('%s %02d' % (sys.argv[2], i + 1)).encode().ljust(8)))
" "$1" "$2"
}

# ---- The unit sends its dump as fast as the transport allows; the entries
# arrive in arrival order whatever location the unit wrote into them.
make_templates "$work/recv" "Recv"
py "
out=b''
for i in range(40):
    d=bytearray(open('$work/recv/%02d.syx' % (i + 1),'rb').read()); d[7]=1; d[12]=(i*7)%40; out+=bytes(d)
open('$work/scrambled.bin','wb').write(out)"
ctl clear-received > /dev/null
"$TOOL" bulk-receive --timeout 20 "$work/received.blk" > "$work/recv.out" 2> "$work/recv.err" &
tool=$!
for _ in $(seq 100); do grep -q "Awaiting dump" "$work/recv.err" && break; sleep 0.05; done
sleep 0.3  # a new JACK connection settles
start=$(now_ms)
ctl send-file "$work/scrambled.bin" 0 > /dev/null
wait $tool
status=$?
took=$(( $(now_ms) - start ))
expect "bulk-receive succeeds" [ $status -eq 0 ]
[ $status -eq 0 ] || sed 's/^/  /' "$work/recv.err"
echo "bulk receive: 40 templates sent back to back by the unit, received and saved in ${took} ms"
"$TOOL" blk list "$work/received.blk" > "$work/list1"
expect "received in arrival order" py "
rows=open('$work/list1').read().splitlines()
assert rows == ['%2d  Unknown - Recv %02d' % (i + 1, i + 1) for i in range(40)], rows[:3]"
expect "received entries sit at their own locations" py "
d=open('$work/received.blk','rb').read(); assert len(d)==40*4112
assert all(d[i*4112+12]==i and d[i*4112+7]==1 for i in range(40))"
# Saved, reopened and listed again: the same entries.
"$TOOL" blk extract "$work/received.blk" "$work/extracted" > /dev/null
"$TOOL" blk pack "$work/repacked.blk" "$work/extracted"/*.syx
"$TOOL" blk list "$work/repacked.blk" > "$work/list2"
expect "reopened list is the same" cmp -s "$work/list1" "$work/list2"
expect "repacked file is byte-identical" cmp -s "$work/received.blk" "$work/repacked.blk"

# ---- Another device's SysEx on the same input (a universal identity
# request), and a message the unit broke off, in the middle of the dump: both
# are passed over and all 40 templates arrive.
py "
d=open('$work/scrambled.bin','rb').read()
open('$work/first3.bin','wb').write(d[:3*4112])
open('$work/rest.bin','wb').write(d[3*4112:])"
"$TOOL" bulk-receive --timeout 20 "$work/strays.blk" > /dev/null 2> "$work/strays.err" &
tool=$!
for _ in $(seq 100); do grep -q "Awaiting dump" "$work/strays.err" && break; sleep 0.05; done
sleep 0.3
ctl send-file "$work/first3.bin" 0 > /dev/null
ctl send-hex F0 7E 7F 06 01 F7 > /dev/null
ctl send-hex F0 00 20 29 02 03 7F 00 01 02 03 > /dev/null  # no F7
ctl send-file "$work/rest.bin" 0 > /dev/null
wait $tool
expect "strays do not end the receive" [ $? -eq 0 ]
[ -e "$work/strays.blk" ] && expect "strays: the same 40 templates" cmp -s "$work/strays.blk" "$work/received.blk"

# ---- A message with the unit's header that is no template ends the
# receive, without a file.
ctl clear-received > /dev/null
"$TOOL" bulk-receive --timeout 20 "$work/none.blk" > /dev/null 2> "$work/bad.err" &
tool=$!
for _ in $(seq 100); do grep -q "Awaiting dump" "$work/bad.err" && break; sleep 0.05; done
sleep 0.3
ctl send-hex F0 00 20 29 02 03 7F 00 01 02 F7 > /dev/null
wait $tool
expect "a broken dump fails the receive" [ $? -eq 1 ]
expect "broken dump text" grep -q "Unable to read dump" "$work/bad.err"
expect "nothing written after a failed receive" [ ! -e "$work/none.blk" ]

# ---- A unit that goes away in the middle of its dump: the tool says so at
# once and keeps the templates that arrived.
"$SIM" run --name "Leaving Unit" --dir "$work/leaving" --control "$work/leaving.sock" --log "$work/leaving.log" \
    < /dev/null > /dev/null 2>&1 &
leaving=$!
for _ in $(seq 50); do "$TOOL" ports | grep -q "Leaving Unit:out" && break; sleep 0.1; done
"$TOOL" bulk-receive --in "Leaving Unit" --timeout 20 "$work/partial.blk" > /dev/null 2> "$work/partial.err" &
tool=$!
for _ in $(seq 100); do grep -q "Awaiting dump" "$work/partial.err" && break; sleep 0.05; done
sleep 0.3
py "open('$work/five.bin','wb').write(open('$work/scrambled.bin','rb').read()[:5*4112])"
"$SIM" ctl "$work/leaving.sock" send-file "$work/five.bin" 0 > /dev/null
sleep 0.5
kill $leaving; wait $leaving 2>/dev/null; leaving=
gone=$(now_ms)
wait $tool
status=$?
noticed=$(( $(now_ms) - gone ))
expect "a vanished unit ends the receive with an error" [ $status -eq 1 ]
expect "it says how many arrived and where they are" grep -q "went away after 5 of 40 templates; the 5 received are kept in $work/partial.blk" "$work/partial.err"
[ $status -eq 1 ] || sed 's/^/  /' "$work/partial.err"
expect "the vanished unit was noticed within 2 s (${noticed} ms)" [ "$noticed" -lt 2000 ]
"$TOOL" blk list "$work/partial.blk" > "$work/partial.list" 2>/dev/null
expect "the kept file holds the five templates" py "
rows=open('$work/partial.list').read().splitlines()
assert rows[:5] == ['%2d  Unknown - Recv %02d' % (i + 1, i + 1) for i in range(5)], rows[:6]"

# ---- bulk-send: the unit stores all 40 byte-exact, paced 500 ms after each
# completed send.
make_templates "$work/send" "Sent"
"$TOOL" blk pack "$work/send.blk" "$work/send"/*.syx
ctl clear-received > /dev/null
log_from=$(($(wc -l < "$STATE/sim.log") + 1))
"$TOOL" bulk-send --stats "$work/send.blk" > /dev/null 2> "$work/send.err"
expect "bulk-send succeeds" [ $? -eq 0 ]
ctl wait-received 40 3000 > /dev/null
expect "the unit stored every entry byte-exact" py "
d=open('$work/send.blk','rb').read()
for i in range(40):
    assert open('$STATE/unit/template-%02d.syx' % i,'rb').read()==d[i*4112:(i+1)*4112], i"
stats=$(grep '^stats:' "$work/send.err")
tail -n +"$log_from" "$STATE/sim.log" | grep ' in  4112 bytes' > "$work/arrivals"
expect "the unit saw 40 templates" [ "$(wc -l < "$work/arrivals")" -eq 40 ]
expect "bulk send within 1.05 x the 39 pauses, none shorter than 500 ms" py "
import datetime
def t(line): return datetime.datetime.strptime(line.split()[0], '%Y-%m-%dT%H:%M:%S.%fZ').timestamp()*1000
def frame(line): return int(line.rsplit('(frame ', 1)[1].rstrip(')'))
lines=open('$work/arrivals').read().splitlines()
times=[t(l) for l in lines]
# Time at the unit is the frame count (48 a millisecond): the test server
# waits for every client each cycle, so on a busy machine its clock may run
# behind the wall clock, but never ahead.
span=((frame(lines[-1])-frame(lines[0])) % 2**32)/48.0
gaps=[b-a for a,b in zip(times,times[1:])]
frame_gaps=[(frame(b)-frame(a)) % 2**32 for a,b in zip(lines,lines[1:])]
s=dict(kv.split('=') for kv in '$stats'.split()[1:])
ratio=span/float(s['pauses_ms'])
print('bulk send: first to last template at the unit %.0f ms against 39 pauses of 500 ms (%s ms): ratio %.4f; gaps %.0f to %.0f ms, %d to %d frames' % (span, s['pauses_ms'], ratio, min(gaps), max(gaps), min(frame_gaps), max(frame_gaps)))
assert float(s['pauses_ms'])==19500 and ratio <= 1.05 and min(frame_gaps) >= 24000, (gaps, frame_gaps)"

# ---- Cancel during a bulk send stops it within one pause.
ctl clear-received > /dev/null
cancel_out=$(py "
import subprocess, time, signal, sys
p = subprocess.Popen(['$TOOL', 'bulk-send', '$work/send.blk'], stderr=subprocess.PIPE, text=True)
subprocess.run(['$SIM', 'ctl', '$CTL', 'wait-received', '3', '10000'], capture_output=True)
time.sleep(0.2)  # now in the pause after the third template
t = time.monotonic()
p.send_signal(signal.SIGINT)
# The tool reports the cancel before it closes its ports (closing a JACK
# client takes a while of its own).
while True:
    line = p.stderr.readline()
    if not line or 'cancelled' in line: break
took = (time.monotonic() - t) * 1000
p.wait()
print('%d %.1f %s' % (p.returncode, took, line.strip()))
")
read -r status stopped message <<< "$cancel_out"
expect "cancelled send ends with an error status" [ "$status" -eq 1 ]
expect "cancel message ($message)" [ "$message" = "tangra-qv-tool: cancelled after 3 templates" ]
expect "cancel takes effect at once (${stopped} ms)" py "assert $stopped < 250"
sleep 1.2
expect "nothing is sent after cancel" [ "$(ctl received)" = "ok 3" ]
echo "cancel during a pause: the tool reported the cancel ${stopped} ms after Ctrl+C; the unit received $(ctl received | cut -d' ' -f2) templates"

# ---- OS images.
osimg() {  # osimg FILE MARKER... : 40-byte messages, version 1.2.05
    py "
import sys
out=b''
for m in sys.argv[2:]:
    b=bytearray([0xF0]+[0x11]*38+[0xF7]); b[7]=int(m,16); b[9]=0x0A; b[10]=5; out+=bytes(b)
open(sys.argv[1],'wb').write(out)" "$@"
}
osimg "$work/os-ok.syx" 7F 7E 7E 7E 7E 7E 7E 7E 7E 7D
osimg "$work/os-bad.syx" 7F 7D 7D
# A middle message of 20,000 bytes: valid markers, but no output carries it whole.
py "
d=open('$work/os-ok.syx','rb').read()
big=bytearray([0xF0]+[0x11]*19998+[0xF7]); big[7]=0x7E
open('$work/os-big.syx','wb').write(d[:40]+bytes(big)+d[-40:])"
ctl clear-received > /dev/null
ctl os-receive > /dev/null
"$TOOL" os-send "$work/os-bad.syx" > /dev/null 2> "$work/os.err"
expect "an invalid image is refused" [ $? -eq 1 ]
expect "refusal text" grep -q "is not a valid operating system" "$work/os.err"
sleep 0.2
expect "nothing sent for an invalid image" [ "$(ctl received)" = "ok 0" ]
"$TOOL" os-info "$work/os-big.syx" > "$work/os-big.out"
expect "os-info refuses an image with a message no output carries" [ $? -eq 1 ]
expect "os-info names the message" grep -q "message 2 of 3 is 20000 bytes long" "$work/os-big.out"
"$TOOL" os-send "$work/os-big.syx" > /dev/null 2> "$work/os-big.err"
expect "os-send refuses it" [ $? -eq 1 ]
expect "os-send names the message" grep -q "message 2 of 3 is 20000 bytes long" "$work/os-big.err"
sleep 0.2
expect "nothing sent for an image that cannot be sent" [ "$(ctl received)" = "ok 0" ]
expect "the unit still waits for an image" py "
import subprocess
s=subprocess.run(['$SIM','ctl','$CTL','status'],capture_output=True,text=True).stdout
assert 'mode=os-receive' in s, s"
log_from=$(($(wc -l < "$STATE/sim.log") + 1))
"$TOOL" os-send --stats "$work/os-ok.syx" > /dev/null 2> "$work/os.err"
expect "os-send succeeds" [ $? -eq 0 ]
ctl wait-received 10 3000 > /dev/null
expect "the unit now runs the new OS" py "
import subprocess
s=subprocess.run(['$SIM','ctl','$CTL','status'],capture_output=True,text=True).stdout
assert 'os=1.2.05' in s and 'mode=normal' in s, s"
expect "the unit has the image byte-exact" cmp -s "$STATE/unit/os-image.syx" "$work/os-ok.syx"
tail -n +"$log_from" "$STATE/sim.log" | grep ' in  40 bytes' > "$work/os-arrivals"
expect "OS messages 100 ms apart at the unit, to the frame" py "
import datetime
def t(line): return datetime.datetime.strptime(line.split()[0], '%Y-%m-%dT%H:%M:%S.%fZ').timestamp()*1000
def frame(line): return int(line.rsplit('(frame ', 1)[1].rstrip(')'))
lines=open('$work/os-arrivals').read().splitlines()
times=[t(l) for l in lines]
gaps=[b-a for a,b in zip(times,times[1:])]
frame_gaps=[(frame(b)-frame(a)) % 2**32 for a,b in zip(lines,lines[1:])]
s=dict(kv.split('=') for kv in '$(grep '^stats:' "$work/os.err")'.split()[1:])
print('OS update: %d messages at the unit, %.0f to %.0f ms apart (mean %.1f), %d to %d frames, against the 100 ms pause' % (len(times), min(gaps), max(gaps), sum(gaps)/len(gaps), min(frame_gaps), max(frame_gaps)))
assert len(times)==10 and s['pauses_ms']=='900' and min(frame_gaps) == 4800 == max(frame_gaps), (gaps, frame_gaps)"
ctl set-os 1.0.10 > /dev/null

# ---- No such port.
"$TOOL" bulk-send --out "No Such Port" "$work/send.blk" > /dev/null 2> "$work/port.err"
expect "unknown port fails" [ $? -eq 1 ]
expect "unknown port text" grep -q "no output port matches" "$work/port.err"

echo "bulk midi: $pass passed, $fail failed"
[ "$fail" -eq 0 ]
