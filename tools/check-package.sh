#!/usr/bin/env bash
# Builds the Debian package from a build folder and checks it the way a user's
# machine would use it: unpacked into a fresh root, its dependency list, the
# installed programs' --version, the desktop entry, the AppStream file and the
# file types. Usage: tools/check-package.sh [BUILD_FOLDER]
set -euo pipefail
build=$(cd "${1:-build}" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail=0
bad() { echo "FAIL: $*"; fail=1; }

echo "+ cpack -G DEB"
(cd "$build" && cpack -G DEB -B "$work/out" >"$work/cpack.log" 2>&1) || { cat "$work/cpack.log"; exit 1; }
deb=$(ls "$work"/out/*.deb)
echo "package: $(basename "$deb") ($(stat -c %s "$deb") bytes)"

depends=$(dpkg-deb -f "$deb" Depends)
echo "Depends: $depends"
for lib in libc6 libstdc++6 libwxgtk3.2 librtmidi; do
    grep -q "$lib" <<<"$depends" || bad "Depends lacks $lib"
done

root=$work/root
dpkg -x "$deb" "$root"
for f in usr/bin/tangra-qv-editor usr/bin/tangra-qv-tool usr/share/tangra-qv-editor/Common.xrc \
         usr/share/tangra-qv-editor/images/icon.png usr/share/applications/tangra-qv-editor.desktop \
         usr/share/icons/hicolor/48x48/apps/tangra-qv-editor.png usr/share/mime/packages/tangra-qv-editor.xml \
         usr/share/metainfo/tangra-qv-editor.metainfo.xml usr/share/man/man1/tangra-qv-editor.1.gz \
         usr/share/man/man1/tangra-qv-tool.1.gz usr/share/bash-completion/completions/tangra-qv-tool; do
    [ -e "$root/$f" ] || bad "package lacks /$f"
done
for p in tangra-qv-sim tangra-qv-plugin-scan; do
    if [ -x "$build/$p" ] && [ ! -e "$root/usr/bin/$p" ]; then bad "package lacks /usr/bin/$p"; fi
done
if [ -e "$build/FactorySettings.blk" ] && [ ! -e "$root/usr/share/tangra-qv-editor/FactorySettings.blk" ]; then
    bad "package lacks FactorySettings.blk"
fi

# --version from the installed place, without a display.
for p in tangra-qv-tool tangra-qv-editor; do
    out=$(env -u DISPLAY -u WAYLAND_DISPLAY "$root/usr/bin/$p" --version) || bad "$p --version failed"
    echo "$p --version: $out"
    [[ $out == "$p "[0-9]* ]] || bad "$p --version printed '$out'"
done
for p in tangra-qv-tool tangra-qv-editor; do
    zcat "$root/usr/share/man/man1/$p.1.gz" | grep -q "^\.TH ${p^^} 1" || bad "$p man page"
done

# The XRC reader and the platform's MIDI ports are modules opened on first
# use: the editor does not link their libraries, and the installed programs
# find the modules from their own folder.
for m in tqv-xrc.so tqv-midi-ports.so; do
    [ -n "$(find "$root/usr/lib" -path "*/tangra-qv-editor/$m")" ] || bad "package lacks the module $m"
done
needed=$(readelf -d "$root/usr/bin/tangra-qv-editor" | grep NEEDED)
for lib in libwx_gtk3u_xrc libwx_gtk3u_html libwx_baseu_xml librtmidi libjack; do
    if grep -q "$lib" <<<"$needed"; then bad "tangra-qv-editor loads $lib at start"; fi
done
ports=$(JACK_DEFAULT_SERVER=tqv-package-check-none "$root/usr/bin/tangra-qv-tool" ports 2>&1) || bad "tangra-qv-tool ports failed"
echo "tangra-qv-tool ports (no MIDI system here): $(tr '\n' ' ' <<<"$ports")"
if grep -q "module" <<<"$ports"; then bad "the installed tool did not open its MIDI module"; fi

desktop-file-validate "$root/usr/share/applications/tangra-qv-editor.desktop" || bad "desktop-file-validate"
appstreamcli validate --no-net "$root/usr/share/metainfo/tangra-qv-editor.metainfo.xml" || bad "appstreamcli validate"

# File types, through a private database built from the packaged description.
data=$work/data
mkdir -p "$data/mime/packages"
cp "$root/usr/share/mime/packages/tangra-qv-editor.xml" "$data/mime/packages/"
update-mime-database "$data/mime"
"$root/usr/bin/tangra-qv-tool" new "$work/template.syx"
printf '\xf0\x43\x10\x4c\x00\x00\x7e\x00\xf7' >"$work/other-vendor.syx"
printf '\xf0\x00\x20\x29\x02\x03\xf7' >"$work/dump.blk"
query() {
    XDG_CURRENT_DESKTOP=GNOME XDG_DATA_HOME=$data XDG_DATA_DIRS=$data:/usr/share \
        xdg-mime query filetype "$1" 2>/dev/null
}
for case in "template.syx application/x-tangra-qv-template" "other-vendor.syx application/x-sysex" \
            "dump.blk application/x-tangra-qv-bulk"; do
    read -r file want <<<"$case"
    got=$(query "$work/$file")
    echo "xdg-mime query filetype $file: $got"
    [ "$got" = "$want" ] || bad "$file is '$got', not $want"
done

# A double-click on either file type starts the editor.
mkdir -p "$data/applications"
cp "$root/usr/share/applications/tangra-qv-editor.desktop" "$data/applications/"
update-desktop-database "$data/applications"
for type in application/x-tangra-qv-template application/x-tangra-qv-bulk; do
    got=$(XDG_CURRENT_DESKTOP=GNOME XDG_DATA_HOME=$data XDG_DATA_DIRS=$data:/usr/share \
          xdg-mime query default "$type" 2>/dev/null)
    echo "xdg-mime query default $type: $got"
    [ "$got" = tangra-qv-editor.desktop ] || bad "$type opens with '$got'"
done

# What a file manager does on a double-click: GIO picks the default program
# for the file's type and runs its desktop entry. The installed editor must
# come up with that template open (the title names the file). Its settings,
# lock and display are private, so a running editor is not involved.
if command -v xvfb-run >/dev/null && command -v gio >/dev/null && command -v xdotool >/dev/null; then
    mkdir -p "$work/home" "$work/run"
    chmod 700 "$work/run"
    cp "$work/template.syx" "$work/Double Clicked.syx"
    title=$(HOME=$work/home XDG_RUNTIME_DIR=$work/run XDG_CURRENT_DESKTOP=GNOME XDG_DATA_HOME=$data \
        XDG_DATA_DIRS=$data:/usr/share PATH=$root/usr/bin:$PATH \
        xvfb-run -a -s "-screen 0 1280x1024x24 -noreset" bash -c '
            gio open "$1" || exit 1
            for _ in $(seq 200); do
                w=$(xdotool search --name "Double Clicked" 2>/dev/null | head -1)
                if [ -n "$w" ]; then
                    xdotool getwindowname "$w"
                    kill "$(xdotool getwindowpid "$w")"
                    break
                fi
                # With no MIDI system here the editor first says it found no
                # ports; OK it, as a user would.
                for m in $(xdotool search --name "^TaNGRA LuMI QV Editor$" 2>/dev/null); do
                    xdotool windowfocus "$m" key Return 2>/dev/null
                done
                sleep 0.2
            done' _ "$work/Double Clicked.syx" 2>"$work/open.log")
    echo "double-click on 'Double Clicked.syx' opened: ${title:-nothing}"
    [[ $title == *"Double Clicked"* ]] || { cat "$work/open.log"; bad "a double-click did not open the template"; }
else
    echo "SKIP: double-click check (xvfb-run, gio or xdotool missing)"
fi

# The completion offers the companion's commands.
got=$(bash -c 'source "$1"; COMP_WORDS=(tangra-qv-tool con); COMP_CWORD=1; _tangra_qv_tool; echo "${COMPREPLY[*]}"' \
      _ "$root/usr/share/bash-completion/completions/tangra-qv-tool")
[ "$got" = convert ] || bad "completion of 'con' gave '$got'"

[ $fail -eq 0 ] && echo "package check: all passed"
exit $fail
