#!/usr/bin/env bash
# Installs everything the editor, its tools and its tests need on Debian 12.
# Run as root (or through sudo). Safe to run again.
set -euo pipefail
packages=(
    build-essential cmake pkg-config
    libwxgtk3.2-dev libcairo2-dev libpng-dev librtmidi-dev libjack-jackd2-dev jackd2 nlohmann-json3-dev
    libgtest-dev libgmock-dev libbenchmark-dev
    libsqlite3-dev nettle-dev sqlite3  # the template library (SQLite with FTS5), its content hashes
    clang libclang-rt-14-dev
    xvfb xauth python3 python3-pil time
    openbox x11-utils  # a window manager for the window tests, and xprop to see it started
    python3-aiosmtpd binutils xdotool imagemagick
    dragonfly-reverb-vst dpf-plugins-vst  # real LinuxVST plug-ins for the plug-in tests
    dpkg-dev file desktop-file-utils appstream shared-mime-info xdg-utils libglib2.0-bin
)
missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq
    apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
