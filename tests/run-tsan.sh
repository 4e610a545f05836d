#!/bin/sh
# Builds the code that runs on several threads with ThreadSanitizer and runs
# its tests: the parallel encoder, the in-order scheduler, the archive
# pipeline and the progress line directly, and the end-to-end suites against
# tools built the same way (archive, extract and test on every core,
# interrupts, the make cycle).  A report makes the tool
# exit with another status and write to its output, so the test fails.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build/tsan"
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBUILD_TESTING=ON -DBUILD_BENCHMARKS=OFF -DSANITIZE=thread
cmake --build "$build" --parallel "$(nproc 2>/dev/null || echo 2)" --target lzss_parallel_encoder_test ordered_work_test archive_writer_test pactool scntool \
    progress_line_test pactool_cli_test hostile_archive_test make_cycle_test
export TSAN_OPTIONS="halt_on_error=1:second_deadlock_stack=1"
"$build/lzss/lzss_parallel_encoder_test" --gtest_brief=1 --gtest_filter='*EveryThreadTakesAFairShareOfTheTreeWork'
"$build/pac/ordered_work_test" --gtest_brief=1
"$build/common/progress_line_test" --gtest_brief=1
"$build/pac/archive_writer_test" --gtest_brief=1 --gtest_filter='*Keeps*:*WorkersRunningAhead*'
export PACTOOL="$build/pactool/pactool" SCNTOOL="$build/scntool/scntool"
"$build/tests/pactool_cli_test" --gtest_brief=1
"$build/tests/hostile_archive_test" --gtest_brief=1
"$build/tests/make_cycle_test" --gtest_brief=1
