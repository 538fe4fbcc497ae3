#!/usr/bin/env bash
# --help, --version and per-command help of tangra-qv-tool: every command the
# tool dispatches has its own help page, reached both ways.
set -u
: "${TOOL:?}" "${MAIN:?}" "${VERSION:?}"
fail=0
bad() { echo "FAIL: $*"; fail=1; }

out=$("$TOOL" --version) || bad "--version exit status $?"
[ "$out" = "tangra-qv-tool $VERSION" ] || bad "--version printed '$out'"

out=$("$TOOL" --help) || bad "--help exit status $?"
grep -q "help COMMAND" <<<"$out" || bad "--help does not point at per-command help"

commands=$(grep -o 'command == "[a-z][a-z-]*"' "$MAIN" | sed 's/.*"\(.*\)"/\1/' | grep -v '^help$' | sort -u)
[ -n "$commands" ] || bad "no commands found in $MAIN"
for c in $commands; do
    a=$("$TOOL" help "$c") || bad "help $c exit status $?"
    grep -q "Usage: tangra-qv-tool $c" <<<"$a" || bad "help $c lacks its usage line"
    b=$("$TOOL" "$c" --help) || bad "$c --help exit status $?"
    [ "$a" = "$b" ] || bad "'help $c' and '$c --help' differ"
done

"$TOOL" help no-such-command >/dev/null 2>&1
[ $? -eq 2 ] || bad "help for an unknown command should exit 2"
"$TOOL" no-such-command --help >/dev/null 2>&1
[ $? -eq 2 ] || bad "an unknown command with --help should exit 2"

[ $fail -eq 0 ] && echo "help and version: all checks passed ($(wc -w <<<"$commands") commands)"
exit $fail
