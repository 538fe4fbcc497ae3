#!/usr/bin/env bash
# The editor showing a template keeps the panel's picture in the window
# system: once the window is drawn the program holds neither a decoded copy
# of the picture nor a shared-memory block the size of one (about 1.6 MB
# each for the 900 x 450 panel; the window icon's half-megabyte block is
# the toolkit's own).
set -u
: "${EDITOR_PROGRAM:?}" "${TOOL_PROGRAM:?}"
work=$(mktemp -d)
pid=""
cleanup() {
    [ -n "$pid" ] && kill "$pid" 2>/dev/null && wait "$pid" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT
export HOME="$work" XDG_RUNTIME_DIR="$work"
printf 'StartupAction=1\n' > "$HOME/.TaNGRA LuMI QV Editor"
"$TOOL_PROGRAM" new "$work/t.syx" > /dev/null || { echo "FAIL: no template made"; exit 1; }
# No MIDI server: the ports are looked for after the first paint and not found.
JACK_DEFAULT_SERVER="tqv-none-$$" "$EDITOR_PROGRAM" "$work/t.syx" > "$work/out.log" 2>&1 &
pid=$!
for _ in $(seq 100); do
    xdotool search --onlyvisible --pid "$pid" --name "t.syx" > /dev/null 2>&1 && break
    sleep 0.1
done
xdotool search --onlyvisible --pid "$pid" --name "t.syx" > /dev/null 2>&1 || { echo "FAIL: no window showing t.syx"; exit 1; }
sleep 1  # the first paints
# Resident kilobytes of shared-memory blocks, and the largest private block.
read -r shm largest < <(awk '
    /^[0-9a-f]+-[0-9a-f]+ / { shm = /SYSV/; anon = NF == 5; next }
    /^Rss:/ { if (shm) s += $2; else if (anon && $2 > big) big = $2 }
    END { print s + 0, big + 0 }' "/proc/$pid/smaps")
echo "shared-memory blocks: $shm KiB; largest anonymous mapping: $largest KiB"
fail=0
[ "$shm" -lt 1024 ] || { echo "FAIL: $shm KiB of shared memory after the first paint"; fail=1; }
[ "$largest" -lt 1200 ] || { echo "FAIL: a private block of $largest KiB (a decoded picture?)"; fail=1; }
[ $fail -eq 0 ] && echo "panel picture memory: all checks passed"
exit $fail
