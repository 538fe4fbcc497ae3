#!/usr/bin/env bash
# tangra-qv-tool's bulk dump and OS image commands, run as a user runs them.
set -u
TOOL=${TOOL:?set TOOL to the tangra-qv-tool binary}
FACTORY=${FACTORY:?set FACTORY to the generated FactorySettings.blk}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
pass=0
fail=0

check() {  # check NAME EXPECTED_STATUS COMMAND...
    local name=$1 want=$2
    shift 2
    "$@" >"$work/out" 2>"$work/err"
    local got=$?
    if [ "$got" -eq "$want" ]; then pass=$((pass + 1)); else
        fail=$((fail + 1))
        echo "FAIL: $name: exit $got, expected $want"
        sed 's/^/  stderr: /' "$work/err" | head -5
    fi
}
expect_text() {  # expect_text NAME FILE TEXT
    if grep -qF -- "$3" "$2"; then pass=$((pass + 1)); else
        fail=$((fail + 1))
        echo "FAIL: $1: '$3' not in $2"
        head -5 "$2" | sed 's/^/  /'
    fi
}
expect() {  # expect NAME CONDITION-COMMAND...
    local name=$1
    shift
    if "$@"; then pass=$((pass + 1)); else fail=$((fail + 1)); echo "FAIL: $name"; fi
}
py() { /usr/bin/python3 -c "$@"; }

# Three templates with their own names (same length as the default name).
"$TOOL" new "$work/base.syx"
for n in Piano Strings Lead/.. ; do
    py "import sys; d=open('$work/base.syx','rb').read(); n=b'$n'.ljust(8); assert d.count(b'Untitled')==1; open(sys.argv[1],'wb').write(d.replace(b'Untitled', n))" "$work/$(echo "$n" | tr -d /.).syx"
done

check "pack" 0 "$TOOL" blk pack "$work/set.blk" "$work/Piano.syx" "$work/Strings.syx" "$work/Lead.syx"
expect "pack size" [ "$(stat -c %s "$work/set.blk")" -eq $((40 * 4112)) ]
expect "pack locations and bulk flags" py "
d=open('$work/set.blk','rb').read()
assert all(d[i*4112]==0xF0 and d[i*4112+4111]==0xF7 and d[i*4112+7]==1 and d[i*4112+12]==i for i in range(40))"
check "list" 0 "$TOOL" blk list "$work/set.blk"
expect_text "list first" "$work/out" " 1  Unknown - Piano"
expect_text "list third" "$work/out" " 3  Unknown - Lead/.."
expect_text "list empty rest" "$work/out" "40  Unknown - Untitled"
expect "list has 40 rows" [ "$(wc -l <"$work/out")" -eq 40 ]
check "list json" 0 "$TOOL" blk list --json "$work/set.blk"
expect "json entries" py "
import json; j=json.load(open('$work/out'))
assert len(j)==40 and j[0]=={'index':1,'name':'Unknown - Piano','location':1} and j[1]['name']=='Unknown - Strings', j[:2]"

check "extract" 0 "$TOOL" blk extract "$work/set.blk" "$work/out dir"
expect "extract count" [ "$(ls "$work/out dir" | wc -l)" -eq 40 ]
expect "extract first name" [ -f "$work/out dir/01 - Unknown - Piano.syx" ]
expect "extract slashes never leave the folder" [ -f "$work/out dir/03 - Unknown - Lead_...syx" ]
expect "extract last name" [ -f "$work/out dir/40 - Unknown - Untitled.syx" ]
expect "extracted files are single templates" py "
import glob; fs=sorted(glob.glob('$work/out dir/*.syx'))
assert all(len(open(f,'rb').read())==4112 and open(f,'rb').read()[7]==0 for f in fs)"
check "extracted file opens" 0 "$TOOL" info "$work/out dir/02 - Unknown - Strings.syx"
expect_text "extracted name" "$work/out" "Unknown - Strings"

# Broken inputs fail and leave nothing behind.
head -c $((39 * 4112)) "$work/set.blk" >"$work/short.blk"
check "list 39 templates" 1 "$TOOL" blk list "$work/short.blk"
expect_text "list 39 message" "$work/err" "Unable to load dump from file: $work/short.blk"
check "extract 39 templates" 1 "$TOOL" blk extract "$work/short.blk" "$work/none"
expect "extract short writes nothing" [ ! -e "$work/none" ]
printf '\xf0\x00\x20\x29\x01\xf7' >"$work/junk.syx"
cp "$work/set.blk" "$work/keep.blk"
check "pack refuses a non-template" 1 "$TOOL" blk pack "$work/keep.blk" "$work/Piano.syx" "$work/junk.syx"
expect_text "pack message" "$work/err" "is not a valid template file."
expect "pack keeps the old file" cmp -s "$work/set.blk" "$work/keep.blk"
check "pack missing file" 1 "$TOOL" blk pack "$work/x.blk" "$work/nothere.syx"
expect "pack missing writes nothing" [ ! -e "$work/x.blk" ]
files=()
for i in $(seq 41); do files+=("$work/Piano.syx"); done
check "pack 41 templates" 2 "$TOOL" blk pack "$work/x.blk" "${files[@]}"
check "pack 40 templates" 0 "$TOOL" blk pack "$work/x.blk" "${files[@]:0:40}"

# The factory set made at build time.
check "factory list" 0 "$TOOL" blk list "$FACTORY"
expect "factory rows" [ "$(grep -c 'Unknown - Untitled' "$work/out")" -eq 40 ]
expect "factory locations and bulk flags" py "
d=open('$FACTORY','rb').read(); assert len(d)==40*4112
assert all(d[i*4112+7]==1 and d[i*4112+12]==i for i in range(40))
n=open('$work/base.syx','rb').read()
assert all(d[i*4112+13:(i+1)*4112]==n[13:] for i in range(40))"

# OS images.
osimg() {  # osimg FILE MARKER... : messages of 20 bytes, version 1.2.05
    py "
import sys
out=b''
for m in sys.argv[2:]:
    b=bytearray([0xF0]+[1]*18+[0xF7]); b[7]=int(m,16); b[9]=0x0A; b[10]=5; out+=bytes(b)
open(sys.argv[1],'wb').write(out)" "$@"
}
osimg "$work/os2.syx" 7F 7D
osimg "$work/os4.syx" 7F 7E 7E 7D
osimg "$work/os3bad.syx" 7F 7D 7D
check "os-info two messages" 0 "$TOOL" os-info "$work/os2.syx"
expect_text "os-info version" "$work/out" "Version:  1.2.05"
check "os-info with middles" 0 "$TOOL" os-info "$work/os4.syx"
expect_text "os-info count" "$work/out" "Messages: 4"
check "os-info two last markers" 1 "$TOOL" os-info "$work/os3bad.syx"
expect_text "os-info why" "$work/out" "message 2 is marked 7D where 7E belongs"
printf '\xf0\x00\x20\x29\x01\x02\x03\x7f\x00\xf7\xf0\x00\x20\x29\x01\x02\x03\x7d\x00\xf7' >"$work/osshort.syx"
check "os-info short messages" 1 "$TOOL" os-info "$work/osshort.syx"
check "os-info template" 1 "$TOOL" os-info "$work/base.syx"
check "os-info missing" 1 "$TOOL" os-info "$work/missing.syx"

echo "bulk cli: $pass passed, $fail failed"
[ "$fail" -eq 0 ]
