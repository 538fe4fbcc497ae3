#!/usr/bin/env bash
# CPU use of the idle editor with its MIDI ports open (a private JACK server
# with the simulated unit), beside the same editor with no MIDI ports at all.
#   bench/midi_idle_cpu.sh BUILD_DIR [SECONDS]
set -u
build=${1:?build folder}
seconds=${2:-10}
work=$(mktemp -d)
jack_pid= sim_pid=
cleanup() {
    [ -n "$sim_pid" ] && kill "$sim_pid" 2>/dev/null
    [ -n "$jack_pid" ] && kill "$jack_pid" 2>/dev/null
    wait 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT
ticks=$(getconf CLK_TCK)

# CPU seconds of the editor over $seconds, as percent of one core.
measure() {  # label
    mkdir -p "$work/home"
    printf 'StartupAction=2\nReleaseDriver=0\n' > "$work/home/.TaNGRA LuMI QV Editor"
    HOME=$work/home xvfb-run -a -s "-screen 0 1280x1024x24" "$build/tangra-qv-editor" > "$work/editor.log" 2>&1 &
    local runner=$!
    local pid=
    for _ in $(seq 100); do
        pid=$(pgrep -n -P "$runner" -f tangra-qv-editor || pgrep -n -f "$build/tangra-qv-editor")
        [ -n "$pid" ] && break
        sleep 0.1
    done
    sleep 4
    local a b
    a=$(awk '{print $14 + $15}' "/proc/$pid/stat")
    sleep "$seconds"
    b=$(awk '{print $14 + $15}' "/proc/$pid/stat")
    /usr/bin/python3 -c "print('$1: %.2f %% of one core' % (($b - $a) * 100.0 / $ticks / $seconds))"
    kill "$pid" 2>/dev/null
    wait "$runner" 2>/dev/null
}

export JACK_DEFAULT_SERVER=tqv-bench-$$
measure "no MIDI ports"
jackd -r -d dummy -r 48000 -p 1024 > "$work/jackd.log" 2>&1 &
jack_pid=$!
for _ in $(seq 50); do jack_lsp > /dev/null 2>&1 && break; sleep 0.1; done
"$build/tangra-qv-sim" run --dir "$work/unit" --log "$work/sim.log" < /dev/null > /dev/null 2>&1 &
sim_pid=$!
sleep 1
measure "ports open on the simulated unit"
