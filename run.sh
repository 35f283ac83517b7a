#!/usr/bin/env bash
# Builds Halvo (Release) and starts it with the given arguments. Installs whatever is missing first.
set -euo pipefail
cd "$(dirname "$0")"

tools/install-deps.sh run

build=build/release
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DHALVO_SDL=ON >/dev/null
# Only the program: a first start does not wait for the tests and benchmarks.
cmake --build "$build" --target halvo
exec "$build/halvo" "$@"
