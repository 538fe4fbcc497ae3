#!/usr/bin/env bash
# Runs a program on the current X display under the openbox window manager,
# as on a user's desktop: the window manager gives the keyboard focus, stacks
# dialogs over their parents and places new windows.
# Usage (inside xvfb-run): desktop_session.sh PROGRAM [ARGS...]
set -u
command -v openbox >/dev/null || { echo "openbox is not installed (tools/setup-debian.sh)" >&2; exit 1; }
# A configuration of its own: the user's openbox settings do not apply.
config=$(mktemp -d)
trap 'rm -rf "$config"' EXIT
export XDG_CONFIG_HOME=$config
openbox --sm-disable >"$config/openbox.log" 2>&1 &
wm=$!
for _ in $(seq 1 100); do
    xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q "window id" && break
    sleep 0.05
done
if ! xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q "window id"; then
    echo "openbox did not start:" >&2
    cat "$config/openbox.log" >&2
    kill "$wm" 2>/dev/null
    exit 1
fi
"$@"
status=$?
kill "$wm" 2>/dev/null
wait "$wm" 2>/dev/null
exit $status
