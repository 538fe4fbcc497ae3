#!/usr/bin/env bash
# CPU use of the idle editor with its MIDI ports open (a private JACK server
# with the simulated unit), beside the same editor with no MIDI ports at all.
# A template is open and the window is shown, as when a user edits one.
#   bench/midi_idle_cpu.sh BUILD_DIR [SECONDS]
# Prints, per case, the editor's whole process, its GUI thread and its other
# threads (JACK's realtime client threads), and the simulated unit's own use
# over the same time as the cost of one idle JACK MIDI client.
set -u
build=${1:?build folder}
seconds=${2:-20}
work=$(mktemp -d)
jack_pid= sim_pid=
# Clients first, then the server, each waited for: a JACK server stopped
# while clients still leave keeps its slot in JACK's server registry, and
# after eight such slots no new server starts.
cleanup() {
    [ -n "$sim_pid" ] && kill "$sim_pid" 2>/dev/null && wait "$sim_pid" 2>/dev/null
    [ -n "$jack_pid" ] && kill "$jack_pid" 2>/dev/null && wait "$jack_pid" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT
# Run time from the scheduler, in nanoseconds: the tick counts of
# /proc/PID/stat only sample which thread runs at each 10 ms tick, which for
# threads that wake briefly on a timer can be off by a factor of two either
# way. Summed over the threads alive at the end (at idle none come or go).
cpu_ns() {  # /proc/PID (all its threads) or /proc/PID/task/TID
    if [ -d "$1/task" ]; then cat "$1"/task/*/schedstat; else cat "$1/schedstat"; fi 2>/dev/null |
        awk '{s += $1} END {printf "%d\n", s}'
}

percent() {  # nanoseconds
    /usr/bin/python3 -c "print('%.3f' % ($1 * 100.0 / 1e9 / $seconds))"
}

measure() {  # label, "ports" or "none"
    mkdir -p "$work/home"
    printf 'StartupAction=1\nReleaseDriver=0\n' > "$work/home/.TaNGRA LuMI QV Editor"
    rm -f "$work/editor.pid"
    # The shell records its own pid, then becomes the editor: the figure is
    # the editor's, not xvfb-run's or the X server's.
    HOME=$work/home xvfb-run -a -s "-screen 0 1280x1024x24" \
        sh -c 'echo $$ > "$0"; exec "$1" "$2"' "$work/editor.pid" "$build/tangra-qv-editor" "$work/idle.syx" \
        > "$work/editor.log" 2>&1 &
    local runner=$! pid=
    for _ in $(seq 100); do
        [ -s "$work/editor.pid" ] && pid=$(cat "$work/editor.pid") && break
        sleep 0.1
    done
    [ -n "$pid" ] || { echo "$1: the editor did not start" >&2; return 1; }
    sleep 4
    if [ "$2" = ports ]; then
        # The figure only counts if the editor really holds its ports.
        local held
        held=$(jack_lsp 2>/dev/null | grep -c '^tqv-editor')
        [ "$held" -ge 2 ] || { echo "$1: the editor holds no JACK ports" >&2; return 1; }
    fi
    [ -d "/proc/$pid" ] || { echo "$1: the editor exited" >&2; return 1; }
    local a g s
    a=$(cpu_ns "/proc/$pid") g=$(cpu_ns "/proc/$pid/task/$pid")
    s=0; [ -n "$sim_pid" ] && s=$(cpu_ns "/proc/$sim_pid")
    sleep "$seconds"
    local a2 g2 s2
    a2=$(cpu_ns "/proc/$pid") g2=$(cpu_ns "/proc/$pid/task/$pid")
    s2=0; [ -n "$sim_pid" ] && s2=$(cpu_ns "/proc/$sim_pid")
    echo "$1: editor $(percent $((a2 - a))) % of one core" \
        "(GUI thread $(percent $((g2 - g))) %, other threads $(percent $((a2 - a - g2 + g))) %)"
    [ -n "$sim_pid" ] && echo "$1: simulated unit (one idle JACK MIDI client) $(percent $((s2 - s))) %"
    kill "$pid" 2>/dev/null
    wait "$runner" 2>/dev/null
}

"$build/tangra-qv-tool" new "$work/idle.syx" > /dev/null || exit 1
export JACK_DEFAULT_SERVER=tqv-bench-$$
measure "no MIDI ports" none
jackd -r -d dummy -r 48000 -p 1024 > "$work/jackd.log" 2>&1 &
jack_pid=$!
for _ in $(seq 50); do jack_lsp > /dev/null 2>&1 && break; sleep 0.1; done
"$build/tangra-qv-sim" run --dir "$work/unit" --log "$work/sim.log" < /dev/null > /dev/null 2>&1 &
sim_pid=$!
sleep 1
measure "ports open on the simulated unit" ports
