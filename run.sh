#!/usr/bin/env bash
# Builds Halvo (Release) and starts it with the given arguments. Installs whatever is missing first.
# Halvo starts in the caller's folder, so relative names (a cartridge, a script, halvo.log) mean what
# they mean there.
set -euo pipefail
caller=$PWD
repo=$(cd "$(dirname "$0")" && pwd)
cd "$repo"

tools/install-deps.sh run

build=build/release
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DHALVO_SDL=ON >/dev/null
# Only the program: a first start does not wait for the tests and benchmarks.
cmake --build "$build" --target halvo
cd "$caller"
exec "$repo/$build/halvo" "$@"
