#!/usr/bin/env bash
# tangra-qv-editor --help and --version answer without a display and open no
# window (with no display, starting the window toolkit would fail).
set -u
: "${EDITOR_PROGRAM:?}" "${VERSION:?}"
fail=0
bad() { echo "FAIL: $*"; fail=1; }
run() { env -u DISPLAY -u WAYLAND_DISPLAY timeout 10 "$EDITOR_PROGRAM" "$@"; }

out=$(run --version) || bad "--version exit status $?"
[ "$out" = "tangra-qv-editor $VERSION" ] || bad "--version printed '$out'"
for opt in --help -h; do
    out=$(run $opt) || bad "$opt exit status $?"
    grep -q "^Usage: tangra-qv-editor \[FILE...\]" <<<"$out" || bad "$opt printed '$out'"
    grep -q -- "--library PATH" <<<"$out" || bad "$opt does not name --library"
done
# A file named like an option after "--" is a file, not an option.
run -- --version >/dev/null 2>&1 && bad "'-- --version' was taken as the option"
[ $fail -eq 0 ] && echo "editor options: all checks passed"
exit $fail
