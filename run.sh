#!/usr/bin/env bash
# Builds Halvo (Release) and starts it with the given arguments. Installs whatever is missing first.
set -euo pipefail
cd "$(dirname "$0")"

tools/install-deps.sh run

build=build/release
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build"
if [ ! -x "$build/halvo" ]; then
    echo "Halvo is built, but its window and graphics layer are not there yet: nothing to start."
    exit 0
fi
exec "$build/halvo" "$@"
