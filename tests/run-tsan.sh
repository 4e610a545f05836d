#!/bin/sh
# Builds the tests of the code that runs on several threads (the parallel
# encoder, the archive pipeline) with ThreadSanitizer and runs them; any
# report fails the run.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build/tsan"
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBUILD_TESTING=ON -DBUILD_BENCHMARKS=OFF -DSANITIZE=thread
cmake --build "$build" --parallel --target lzss_parallel_encoder_test archive_writer_test
export TSAN_OPTIONS="halt_on_error=1:second_deadlock_stack=1"
"$build/pactool/lzss_parallel_encoder_test" --gtest_brief=1 --gtest_filter='*ThreadsShareTheWorkOfLargeInputs'
"$build/pactool/archive_writer_test" --gtest_brief=1 --gtest_filter='*Keeps*'
