#!/usr/bin/env bash
# Builds Halvo (Release) and starts it with the given arguments. Installs whatever is missing first.
set -euo pipefail
cd "$(dirname "$0")"

tools/install-deps.sh run

build=build/release
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DHALVO_SDL=ON >/dev/null
cmake --build "$build"
exec "$build/halvo" "$@"
