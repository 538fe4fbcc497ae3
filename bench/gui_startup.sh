#!/bin/bash
# Start-up, memory and idle figures of the editor beside a minimal wxWidgets
# program, measured in the same run on the same virtual display.
#   bench/gui_startup.sh [build folder] [runs]
# Needs xvfb-run. Measures tqv-editor-bench (the editor with every message box
# answered, built beside the editor) and builds the minimal program into the
# build folder.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
build="${1:-$here/../build-app}"
runs="${2:-7}"
build="$(cd "$build" && pwd)"
editor="$build/tqv-editor-bench"
minimal="$build/minimal_wx"
[ -x "$editor" ] || { echo "no $editor: build the target tqv-editor-bench" >&2; exit 1; }
if [ ! -x "$minimal" ] || [ "$here/minimal_wx.cpp" -nt "$minimal" ]; then
    g++ -O2 -o "$minimal" "$here/minimal_wx.cpp" $(wx-config --cxxflags --libs)
fi

if [ -z "${DISPLAY:-}" ]; then
    exec xvfb-run -a -s '-screen 0 1280x1024x24' "$0" "$build" "$runs"
fi

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
export HOME="$work/home"
mkdir -p "$HOME"
# A template to have open, and a store that asks for nothing at start-up.
cfg="$HOME/.TaNGRA LuMI QV Editor"
printf 'StartupAction=1\n' > "$cfg"
cp "$build/screenshots/main_window.syx" "$work/t.syx" 2>/dev/null || true
template="$work/t.syx"
[ -f "$template" ] || template=""

now_ms() { date +%s%3N; }

# Prints "<ms from launch to first paint> <peak KiB>".
measure() {
    local start out paint peak
    start=$(now_ms)
    out=$("$@" 2>/dev/null)
    paint=$(sed -n 's/^FIRST_PAINT_MS //p' <<<"$out")
    peak=$(sed -n 's/^PEAK_KIB //p' <<<"$out")
    echo "$((paint - start)) $peak"
}

median() { sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }

: > "$work/min" ; : > "$work/ed"
for ((i = 0; i < runs; i++)); do
    measure "$minimal" paint >> "$work/min"
    measure env TQV_BENCH=paint "$editor" $template >> "$work/ed"
done
min_paint=$(cut -d' ' -f1 "$work/min" | median); min_peak=$(cut -d' ' -f2 "$work/min" | median)
ed_paint=$(cut -d' ' -f1 "$work/ed" | median);   ed_peak=$(cut -d' ' -f2 "$work/ed" | median)
echo "start to first paint (median of $runs): minimal ${min_paint} ms, editor${template:+ opening a template} ${ed_paint} ms," \
     "ratio $(awk -v a="$ed_paint" -v b="$min_paint" 'BEGIN {printf "%.2f", a / b}')"
echo "peak memory (VmHWM, median):        minimal ${min_peak} KiB, editor ${ed_peak} KiB," \
     "ratio $(awk -v a="$ed_peak" -v b="$min_peak" 'BEGIN {printf "%.2f", a / b}')"

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
ed_idle=$(idle env TQV_BENCH=idle "$editor" $template)
echo "idle processor use over ${IDLE_SECONDS:-20} s: minimal (20 ms timer) ${min_idle}%," \
     "editor${template:+ with a template open} ${ed_idle}%"
