#!/bin/sh
# Builds the tools with their tests and runs every test.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build/test"
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBUILD_TESTING=ON
cmake --build "$build" --parallel "$(nproc 2>/dev/null || echo 2)"
ctest --test-dir "$build" --output-on-failure --parallel "$(nproc 2>/dev/null || echo 2)"
# The edit cycle through the generated makefile with GNU make -j, the
# example game under awkward names and a game of 20,000 scenarios.
REF_PACTOOL="$build/pactool/pactool" REF_SCNTOOL="$build/scntool/scntool" \
    sh "$root/tests/make-cycle.sh" linux "$build/pactool/pactool" "$build/scntool/scntool"
