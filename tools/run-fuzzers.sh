#!/usr/bin/env bash
# Builds the libFuzzer targets of tests/fuzz (clang, AddressSanitizer and
# UndefinedBehaviorSanitizer) and runs each for a given time.
#
#   tools/run-fuzzers.sh [-t SECONDS] [-j JOBS] [-b BUILD_DIR] [-k] [TARGET...]
#
#   -t  seconds per target (default 60)
#   -k  keep going after a failure (libFuzzer's fork mode): run the whole
#       time and keep every failing input found
#   -j  targets run at the same time (default 1)
#   -b  build folder (default build-fuzz); configured here when it is new
#   TARGET  names from tests/fuzz/CMakeLists.txt (default: all)
#
# The corpus of each target grows in BUILD_DIR/fuzz-corpus/NAME between runs.
# An input that breaks a target is copied into tests/fuzz/fixtures/NAME/,
# where the normal test suite replays it from then on; the script then exits 1.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=60
jobs=1
build=build-fuzz
keep_going=0
while getopts "t:j:b:k" opt; do
    case $opt in
        t) seconds=$OPTARG ;;
        j) jobs=$OPTARG ;;
        b) build=$OPTARG ;;
        k) keep_going=1 ;;
        *) sed -n '2,15p' "$0"; exit 2 ;;
    esac
done
shift $((OPTIND - 1))

if [ ! -f "$build/CMakeCache.txt" ]; then
    launcher=()
    command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
    cmake -S . -B "$build" -DCMAKE_CXX_COMPILER=clang++ -DTQV_BUILD_FUZZERS=ON \
        -DTQV_BUILD_GUI=OFF -DTQV_BUILD_BENCHMARKS=OFF "${launcher[@]}" >/dev/null
fi
cmake --build "$build" -j2 --target tqv-fuzzers

declare -A maxlen
targets=()
while read -r name len; do
    [ -n "$name" ] || continue
    maxlen[$name]=$len
    targets+=("$name")
done <"$build/fuzz-targets.txt"
if [ $# -gt 0 ]; then
    for t in "$@"; do
        [ -n "${maxlen[$t]:-}" ] || { echo "unknown fuzz target '$t' (have: ${targets[*]})" >&2; exit 2; }
    done
    targets=("$@")
fi

run_one() {
    local name=$1
    local corpus=$build/fuzz-corpus/$name seeds=$build/fuzz-seeds/$name findings=$build/fuzz-findings/$name
    local fixtures=tests/fuzz/fixtures/$name
    mkdir -p "$corpus" "$seeds" "$findings" "$fixtures" "$build/fuzz-logs"
    "$build/tqv-fuzz-replay-$name" --write-seeds "$seeds"
    local status=0 mode=()
    [ "$keep_going" -eq 1 ] && mode=(-fork=1 -ignore_crashes=1)
    "$build/tqv-fuzz-$name" "${mode[@]}" -max_total_time="$seconds" -max_len="${maxlen[$name]}" -timeout=10 \
        -rss_limit_mb=2048 -print_final_stats=1 -artifact_prefix="$findings/" \
        "$corpus" "$seeds" "$fixtures" >"$build/fuzz-logs/$name.log" 2>&1 || status=$?
    local execs
    execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$build/fuzz-logs/$name.log" | tail -1)
    # Fork mode reports "#EXECUTIONS: cov: ..." lines instead.
    [ -n "$execs" ] || execs=$(sed -n 's/^#\([0-9]*\): cov:.*/\1/p' "$build/fuzz-logs/$name.log" | tail -1)
    if ls "$findings"/* >/dev/null 2>&1; then status=1; fi
    if [ "$status" -eq 0 ]; then
        echo "$name: ${execs:-?} executions in ${seconds} s, nothing found"
    else
        echo "$name: FAILED after ${execs:-?} executions (log: $build/fuzz-logs/$name.log)"
        grep -E "property broken|ERROR: |runtime error|SUMMARY" -A1 "$build/fuzz-logs/$name.log" | head -8 | sed 's/^/    /'
        local kept=0
        for f in "$findings"/*; do
            [ -f "$f" ] || continue
            cp "$f" "$fixtures/"
            kept=$((kept + 1))
            [ "$kept" -le 5 ] && echo "    kept as fixture: $fixtures/$(basename "$f")"
            rm -f "$f"
        done
        [ "$kept" -le 5 ] || echo "    ... $kept failing inputs kept in $fixtures"
    fi
    return "$status"
}

failed=0
running=0
for name in "${targets[@]}"; do
    if [ "$running" -ge "$jobs" ]; then
        wait -n || failed=1
        running=$((running - 1))
    fi
    run_one "$name" &
    running=$((running + 1))
done
while [ "$running" -gt 0 ]; do
    wait -n || failed=1
    running=$((running - 1))
done
exit "$failed"
