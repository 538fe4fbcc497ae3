#!/bin/bash
# Start-up, memory and idle figures of the editor beside a minimal wxWidgets
# program, measured in the same run on the same virtual display: the editor
# with no MIDI ports, and with a JACK server running the simulated unit.
#   bench/gui_startup.sh [build folder] [runs]
# On a busy machine, run it with real-time priority (as root:
# `chrt -f 10 bench/gui_startup.sh ...`): the programs and the display then
# run as on an idle machine, and the ratios stay steady.
# Needs xvfb-run and jackd. Measures tqv-editor-bench (the editor with every
# message box answered, built beside the editor; tangra-qv-sim and
# tangra-qv-tool too) and builds the minimal program into the build folder.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
build="${1:-$here/../build-app}"
runs="${2:-7}"
build="$(cd "$build" && pwd)"
editor="$build/tqv-editor-bench"
minimal="$build/minimal_wx"
[ -x "$editor" ] || { echo "no $editor: build the target tqv-editor-bench" >&2; exit 1; }
if [ ! -x "$minimal" ] || [ "$here/minimal_wx.cpp" -nt "$minimal" ] || [ "$here/FirstPaintReport.h" -nt "$minimal" ]; then
    g++ -O2 -o "$minimal" "$here/minimal_wx.cpp" $(wx-config --cxxflags --libs)
fi

if [ -z "${DISPLAY:-}" ]; then
    exec xvfb-run -a -s '-screen 0 1280x1024x24' "$0" "$build" "$runs"
fi

now_ms() { date +%s%3N; }
median() { sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN {printf "%.2f", a / b}'; }
# Memory ratios to three places: the goal's edge is close.
ratio3() { awk -v a="$1" -v b="$2" 'BEGIN {printf "%.3f", a / b}'; }

# Prints "<ms from launch to first paint> <peak KiB> <MIDI ports found> <processor ms to first paint>".
measure() {
    local start out paint peak ports cpu
    start=$(now_ms)
    out=$("$@" 2>/dev/null)
    paint=$(sed -n 's/^FIRST_PAINT_MS //p' <<<"$out")
    peak=$(sed -n 's/^PEAK_KIB //p' <<<"$out")
    ports=$(sed -n 's/^PORTS //p' <<<"$out")
    cpu=$(sed -n 's/^CPU_MS //p' <<<"$out")
    echo "$((paint - start)) $peak ${ports:--} $cpu"
}

# The same two programs on a display that keeps its state between clients,
# as a desktop session does: GTK's probe for OpenGL visuals (about 30 ms and
# 50 MB, in both programs) runs once, for the first client, and later ones
# read its result from the root window. The figures above come from a
# display that resets when its last client leaves, so that every start pays
# the probe.
# This run is started by the main one at its end, with its home folder and
# template (TQV_BENCH_TEMPLATE).
if [ "${TQV_BENCH_KEPT_DISPLAY:-}" = 1 ]; then
    kept="$(mktemp -d)"
    trap 'rm -rf "$kept"' EXIT
    template="${TQV_BENCH_TEMPLATE:-}"
    "$minimal" paint > /dev/null 2>&1  # the probe, once
    : > "$kept/min"; : > "$kept/ed"
    for ((i = 0; i < runs; i++)); do
        measure "$minimal" paint >> "$kept/min"
        measure env JACK_DEFAULT_SERVER=tqv-bench-none-$$ TQV_BENCH=paint "$editor" $template >> "$kept/ed"
    done
    mp=$(cut -d' ' -f1 "$kept/min" | median); ep=$(cut -d' ' -f1 "$kept/ed" | median)
    mk=$(cut -d' ' -f2 "$kept/min" | median); ek=$(cut -d' ' -f2 "$kept/ed" | median)
    echo "display kept (probe done once):      minimal ${mp} ms, editor ${ep} ms, ratio $(ratio "$ep" "$mp");" \
         "peak minimal ${mk} KiB, editor ${ek} KiB, ratio $(ratio3 "$ek" "$mk")"
    exit 0
fi

work="$(mktemp -d)"
jack_pid="" sim_pid=""
# The JACK clients first, then the server, each waited for: a server stopped
# before its clients keeps a slot in JACK's registry.
cleanup() {
    [ -n "$sim_pid" ] && kill "$sim_pid" 2>/dev/null && wait "$sim_pid" 2>/dev/null
    [ -n "$jack_pid" ] && kill "$jack_pid" 2>/dev/null && wait "$jack_pid" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT
export HOME="$work/home"
mkdir -p "$HOME"
# A template to have open, and a store that asks for nothing at start-up.
cfg="$HOME/.TaNGRA LuMI QV Editor"
printf 'StartupAction=1\n' > "$cfg"
cp "$build/screenshots/main_window.syx" "$work/t.syx" 2>/dev/null ||
    "$build/tangra-qv-tool" new "$work/t.syx" > /dev/null 2>&1 || true
template="$work/t.syx"
[ -f "$template" ] || template=""

# A private JACK server with the simulated unit, for the case with ports; the
# case without ports names a server that does not run.
jack_server="tqv-bench-$$"
no_server="tqv-bench-none-$$"
if command -v jackd > /dev/null && [ -x "$build/tangra-qv-sim" ]; then
    # One JACK server at a time on this machine, as the MIDI tests run theirs:
    # two side by side disturb each other's timing. Held until the bench ends.
    exec 9>> "${TMPDIR:-/tmp}/tqv-jack-server.lock"
    flock -n 9 || { echo "waiting for another run's JACK test server to stop..." >&2; flock 9; }
    JACK_DEFAULT_SERVER=$jack_server jackd -r -d dummy -r 48000 -p 1024 > "$work/jackd.log" 2>&1 < /dev/null &
    jack_pid=$!
    for _ in $(seq 100); do JACK_DEFAULT_SERVER=$jack_server jack_lsp > /dev/null 2>&1 && break; sleep 0.1; done
    JACK_DEFAULT_SERVER=$jack_server "$build/tangra-qv-sim" run --dir "$work/unit" --log "$work/sim.log" \
        < /dev/null > /dev/null 2>&1 &
    sim_pid=$!
    for _ in $(seq 100); do
        JACK_DEFAULT_SERVER=$jack_server jack_lsp 2>/dev/null | grep -qv '^system' && break
        sleep 0.1
    done
fi

: > "$work/min" ; : > "$work/ed" ; : > "$work/jack"
for ((i = 0; i < runs; i++)); do
    measure "$minimal" paint >> "$work/min"
    measure env JACK_DEFAULT_SERVER=$no_server TQV_BENCH=paint "$editor" $template >> "$work/ed"
    [ -n "$sim_pid" ] && measure env JACK_DEFAULT_SERVER=$jack_server TQV_BENCH=paint "$editor" $template >> "$work/jack"
done
min_paint=$(cut -d' ' -f1 "$work/min" | median); min_peak=$(cut -d' ' -f2 "$work/min" | median)
ed_paint=$(cut -d' ' -f1 "$work/ed" | median);   ed_peak=$(cut -d' ' -f2 "$work/ed" | median)
echo "start to first paint (median of $runs): minimal ${min_paint} ms, editor${template:+ opening a template} ${ed_paint} ms," \
     "ratio $(ratio "$ed_paint" "$min_paint")"
echo "peak memory (VmHWM, median):        minimal ${min_peak} KiB, editor ${ed_peak} KiB," \
     "ratio $(ratio3 "$ed_peak" "$min_peak")"
min_cpu=$(cut -d' ' -f4 "$work/min" | median); ed_cpu=$(cut -d' ' -f4 "$work/ed" | median)
echo "processor time to first paint:       minimal ${min_cpu} ms, editor ${ed_cpu} ms, ratio $(ratio "$ed_cpu" "$min_cpu")"
if [ -s "$work/jack" ]; then
    jack_paint=$(cut -d' ' -f1 "$work/jack" | median); jack_peak=$(cut -d' ' -f2 "$work/jack" | median)
    echo "with JACK and the simulated unit:     editor ${jack_paint} ms to first paint, ratio $(ratio "$jack_paint" "$min_paint");" \
         "peak ${jack_peak} KiB, ratio $(ratio3 "$jack_peak" "$min_peak");" \
         "processor $(cut -d' ' -f4 "$work/jack" | median) ms;" \
         "MIDI ports found after start-up: $(cut -d' ' -f3 "$work/jack" | sort -u | tr '\n' ' ')"
else
    echo "with JACK and the simulated unit: not measured (needs jackd and tangra-qv-sim)"
fi

# Idle: processor time over a quiet interval, the editor with a template open.
tick=$(getconf CLK_TCK)
cpu_of() { awk '{print $14 + $15}' "/proc/$1/stat"; }
idle() {
    local pid before after
    "$@" >/dev/null 2>&1 &
    pid=$!
    sleep 3
    before=$(cpu_of $pid)
    sleep "${IDLE_SECONDS:-20}"
    after=$(cpu_of $pid)
    kill $pid; wait $pid 2>/dev/null || true
    awk -v d=$((after - before)) -v t="$tick" -v s="${IDLE_SECONDS:-20}" 'BEGIN {printf "%.2f", 100 * d / t / s}'
}
min_idle=$(idle "$minimal" idle)
ed_idle=$(idle env JACK_DEFAULT_SERVER=$no_server TQV_BENCH=idle "$editor" $template)
echo "idle processor use over ${IDLE_SECONDS:-20} s: minimal (20 ms timer) ${min_idle}%," \
     "editor${template:+ with a template open} ${ed_idle}%"

# The start figures again on a display that keeps its state (see above).
xvfb-run -a -s '-screen 0 1280x1024x24 -noreset' env TQV_BENCH_KEPT_DISPLAY=1 TQV_BENCH_TEMPLATE="$template" \
    "$0" "$build" "$runs"
