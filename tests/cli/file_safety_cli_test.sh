#!/usr/bin/env bash
# tangra-qv-tool on outputs that cannot be written, links and files that are
# not regular files.
set -u
TOOL=${TOOL:?set TOOL to the tangra-qv-tool binary}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
pass=0
fail=0

check() {  # check NAME EXPECTED_STATUS COMMAND... (at most 20 s)
    local name=$1 want=$2
    shift 2
    timeout 20 "$@" >"$work/out" 2>"$work/err"
    local got=$?
    if [ "$got" -eq "$want" ]; then
        pass=$((pass + 1))
    else
        fail=$((fail + 1))
        echo "FAIL: $name: exit $got, expected $want"
        sed 's/^/  stderr: /' "$work/err" | head -5
    fi
}

expect() {  # expect NAME CONDITION...
    local name=$1
    shift
    if "$@"; then pass=$((pass + 1)); else fail=$((fail + 1)); echo "FAIL: $name"; fi
}

expect_text() {  # expect_text NAME FILE TEXT
    if grep -qF -- "$3" "$2"; then pass=$((pass + 1)); else
        fail=$((fail + 1))
        echo "FAIL: $1: '$3' not in $2"
        head -5 "$2" | sed 's/^/  /'
    fi
}

"$TOOL" new "$work/t.syx" || { echo "FAIL: cannot make a template"; exit 1; }

# Output that cannot be written is a failure with the reason, whatever its size.
for args in "info $work/t.syx" "info --json $work/t.syx" "--help"; do
    # shellcheck disable=SC2086
    timeout 20 "$TOOL" $args >/dev/full 2>"$work/err"
    status=$?
    expect "$args to a full disk: exit $status" [ "$status" -eq 1 ]
    expect_text "$args to a full disk: reason" "$work/err" "No space left on device"
done
check "info to a file" 0 "$TOOL" info --json "$work/t.syx"

# convert and new write through a link whose file does not exist yet.
mkdir "$work/sub"
for cmd in new convert; do
    ln -s "sub/$cmd.syx" "$work/$cmd-link.syx"
    if [ $cmd = new ]; then
        check "$cmd onto a dangling link" 0 "$TOOL" new "$work/$cmd-link.syx"
    else
        check "$cmd onto a dangling link" 0 "$TOOL" convert "$work/t.syx" "$work/$cmd-link.syx"
    fi
    expect "$cmd keeps the link" [ -L "$work/$cmd-link.syx" ]
    expect "$cmd creates the linked file" [ -f "$work/sub/$cmd.syx" ] && [ ! -L "$work/sub/$cmd.syx" ]
    expect "$cmd writes the template" cmp -s "$work/t.syx" "$work/sub/$cmd.syx"
done
expect "nothing else left beside the files" [ "$(ls -A "$work/sub" | wc -l)" -eq 2 ]

# Devices, pipes and folders are refused at once, with the same words as the editor.
mkfifo "$work/pipe.syx"
check "info /dev/zero" 1 "$TOOL" info /dev/zero
expect_text "/dev/zero message" "$work/err" "'/dev/zero' is not a regular file"
check "info on a pipe" 1 "$TOOL" info "$work/pipe.syx"
expect_text "pipe message" "$work/err" "'$work/pipe.syx' is not a regular file"
check "convert from a pipe" 1 "$TOOL" convert "$work/pipe.syx" "$work/out.syx"
expect "no output from a pipe" [ ! -e "$work/out.syx" ]
check "info on a folder" 1 "$TOOL" info "$work/sub"
expect_text "folder message" "$work/err" "'$work/sub' is a folder, not a file"

# A file that opens a message and never ends it is not valid, and costs little.
printf '\xf0\x00\x20\x29' >"$work/endless.syx"
truncate -s 1G "$work/endless.syx"
start=$(date +%s%N)
check "info on an endless message" 1 /usr/bin/time -f "%M" -o "$work/rss" "$TOOL" info "$work/endless.syx"
elapsed_ms=$(( ($(date +%s%N) - start) / 1000000 ))
expect_text "endless message" "$work/err" "the file is not a valid template file"
rss_kb=$(tail -1 "$work/rss")
expect "endless message memory ${rss_kb} KB" [ "$rss_kb" -lt 200000 ]
expect "endless message time ${elapsed_ms} ms" [ "$elapsed_ms" -lt 5000 ]

echo "$pass passed, $fail failed"
[ "$fail" -eq 0 ]
