#!/usr/bin/env bash
# Builds Halvo with warnings as errors under AddressSanitizer and UndefinedBehaviorSanitizer and runs
# every test. Installs whatever is missing first.
set -euo pipefail
cd "$(dirname "$0")"

tools/install-deps.sh test

build=build/test
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG="-g -O1" \
    -DHALVO_SANITIZE=ON -DHALVO_WERROR=ON -DHALVO_BENCH=OFF >/dev/null
cmake --build "$build"
ctest --test-dir "$build" --output-on-failure -j "$(nproc)"
