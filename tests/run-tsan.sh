#!/bin/sh
# Builds the code that runs on several threads with ThreadSanitizer and runs
# its tests: the parallel encoder and the archive pipeline directly, and the
# end-to-end suites against tools built the same way (archive, extract and
# test on every core, interrupts, the make cycle).  A report makes the tool
# exit with another status and write to its output, so the test fails.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build/tsan"
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBUILD_TESTING=ON -DBUILD_BENCHMARKS=OFF -DSANITIZE=thread
cmake --build "$build" --parallel --target lzss_parallel_encoder_test archive_writer_test pactool scntool \
    pactool_cli_test hostile_archive_test make_cycle_test
export TSAN_OPTIONS="halt_on_error=1:second_deadlock_stack=1"
"$build/lzss/lzss_parallel_encoder_test" --gtest_brief=1 --gtest_filter='*EveryThreadTakesAFairShareOfTheTreeWork'
"$build/pac/archive_writer_test" --gtest_brief=1 --gtest_filter='*Keeps*'
export PACTOOL="$build/pactool/pactool" SCNTOOL="$build/scntool/scntool"
# (The progress test is left out: it waits on a pseudo-terminal, minutes under the sanitizer.)
"$build/tests/pactool_cli_test" --gtest_brief=1 --gtest_filter='-PactoolProgress.*'
"$build/tests/hostile_archive_test" --gtest_brief=1
"$build/tests/make_cycle_test" --gtest_brief=1
