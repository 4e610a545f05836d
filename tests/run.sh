#!/bin/sh
# Builds the tools with their tests and runs every test.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build/test"
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBUILD_TESTING=ON
cmake --build "$build" --parallel "$(nproc 2>/dev/null || echo 2)"
ctest --test-dir "$build" --output-on-failure --parallel "$(nproc 2>/dev/null || echo 2)"
