#!/usr/bin/env bash
# Installs the Debian packages Halvo needs that are missing. Quick when nothing is missing.
#   tools/install-deps.sh run   what building and running the emulator needs
#   tools/install-deps.sh test  that, plus what the tests need
set -euo pipefail

packages=(cmake ninja-build g++ pkg-config libgtest-dev libgmock-dev libbenchmark-dev
          libpng-dev libsamplerate0-dev libsdl2-dev libsdl2-ttf-dev libfontconfig-dev libdbus-1-dev fonts-liberation
          libavcodec-dev libavformat-dev libavutil-dev libswscale-dev)
if [ "${1:-run}" = test ]; then
    # The desktop checks: the menu entry's validator, the manual page reader, and what a Debian package
    # is made and read with (cpack reads the programs' libraries with file and dpkg-shlibdeps).
    # ffprobe (in ffmpeg) counts the frames and measures the length of recordings.
    packages+=(xvfb xdotool imagemagick desktop-file-utils man-db dpkg-dev file ffmpeg)
fi

missing=()
for package in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$package")
    fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing missing packages: ${missing[*]}"
as_root=()
if [ "$(id -u)" -ne 0 ]; then
    if ! command -v sudo >/dev/null; then
        echo "Halvo needs these Debian packages: ${missing[*]}" >&2
        echo "Install them as root (apt-get install ${missing[*]}) and try again." >&2
        exit 1
    fi
    as_root=(sudo)
fi
export DEBIAN_FRONTEND=noninteractive
if ! "${as_root[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"; then
    "${as_root[@]}" apt-get update -q
    "${as_root[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
fi
