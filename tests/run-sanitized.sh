#!/bin/sh
# Builds the tools and every test with AddressSanitizer and
# UndefinedBehaviorSanitizer (leak checking included) and runs the tests;
# any sanitizer report fails the run.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build/sanitize"
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Debug -DSANITIZE=address,undefined \
    -DBUILD_TESTING=ON -DBUILD_BENCHMARKS=OFF
cmake --build "$build" --parallel "$(nproc 2>/dev/null || echo 2)"
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1:strict_string_checks=1:detect_stack_use_after_return=1"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1"
ctest --test-dir "$build" --output-on-failure --parallel "$(nproc 2>/dev/null || echo 2)"
