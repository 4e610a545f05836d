#!/bin/sh
# Builds the libFuzzer targets with clang (AddressSanitizer and
# UndefinedBehaviorSanitizer included) and runs each one, starting from the
# committed seed corpus (which stays unchanged).
#
#   sh fuzz/run.sh               every target for 60 seconds
#   sh fuzz/run.sh 300           every target for 300 seconds
#   sh fuzz/run.sh 0 1000000     every target for a million executions
#   sh fuzz/run.sh 60 0 fuzz_lzss    one target
#
# Any crash, leak or sanitizer report fails the run; the input that caused
# it is left in build/fuzz/findings/.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-60}
runs=${2:-0}
shift $(( $# > 2 ? 2 : $# ))
targets=${*:-"fuzz_extract fuzz_archive fuzz_list_file fuzz_scenario_binary fuzz_listing_parser fuzz_translation fuzz_po fuzz_lzss fuzz_threads"}
build="$root/build/fuzz"

CXX=${FUZZ_CXX:-clang++} cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DBUILD_FUZZERS=ON -DBUILD_TESTING=OFF -DBUILD_BENCHMARKS=OFF >/dev/null
cmake --build "$build" --parallel "$(nproc 2>/dev/null || echo 2)" --target $targets >/dev/null

mkdir -p "$build/findings"
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1"
status=0
for target in $targets; do
    work=$(mktemp -d)
    cp "$root/fuzz/corpus/$target"/* "$work/"
    limits="-max_total_time=$seconds"
    [ "$runs" -gt 0 ] && limits="-runs=$runs"
    [ "$seconds" -gt 0 ] && [ "$runs" -gt 0 ] && limits="-runs=$runs -max_total_time=$seconds"
    maxlen=8192
    case $target in fuzz_lzss|fuzz_archive|fuzz_threads) maxlen=4096 ;; esac  # several encodings per input
    echo "== $target ($limits)"
    if "$build/fuzz/$target" $limits -max_len=$maxlen -rss_limit_mb=2048 -timeout=20 -print_final_stats=1 \
        -artifact_prefix="$build/findings/$target-" "$work" >"$build/$target.log" 2>&1; then
        grep -E "stat::number_of_executed_units|stat::average_exec_per_sec|stat::peak_rss_mb" "$build/$target.log" | tr '\n' ' '
        echo
    else
        echo "FAILED: $target (log: $build/$target.log)"
        tail -n 40 "$build/$target.log"
        status=1
    fi
    rm -rf "$work"
done
exit $status
