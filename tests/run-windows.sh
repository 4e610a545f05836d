#!/bin/sh
# Cross-builds the Windows executables with mingw-w64, checks the code page
# tables against Windows' own converter under Wine, and runs the end-to-end
# tests against the executables under Wine.  Needs the Debian packages
# g++-mingw-w64-x86-64-posix and wine64 (.ci/run installs them).
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
windows="$root/build/windows"
tests="$root/build/test"

cmake -S "$root" -B "$windows" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" \
    -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF -DBUILD_PLATFORM_CHECKS=ON
cmake --build "$windows" --parallel "$(nproc 2>/dev/null || echo 2)"

# The end-to-end tests themselves run here; they start the .exe files through Wine.
cmake -S "$root" -B "$tests" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBUILD_TESTING=ON
cmake --build "$tests" --parallel "$(nproc 2>/dev/null || echo 2)" --target pactool_cli_test scntool_cli_test make_cycle_test game_versions_test code_page_names_test fault_test hostile_archive_test translation_cycle_test paths_test

wine=${WINE:-/usr/lib/wine/wine64}
export WINEDEBUG=-all
export WINEPREFIX="${WINEPREFIX:-$root/build/wine-prefix}"
wineserver="$(dirname "$wine")/wineserver"
# One wineserver for the whole run: a server that shuts down just as the next
# program starts makes that program fail ("recvmsg: Connection reset by peer").
# It must start before anything else does: once a program has started the
# usual server, -p cannot turn that one persistent, and it quits whenever the
# last program (wineboot's helpers included) ends.
"$wineserver" -k >/dev/null 2>&1 || true
"$wineserver" -w >/dev/null 2>&1 || true
mkdir -p "$WINEPREFIX"
"$wineserver" -p
"$wine" wineboot --init >/dev/null 2>&1 || true  # the first start creates the prefix
export TOOL_LAUNCHER="$wine"
export TOOLS_TARGET=windows
export PACTOOL="$windows/pactool/pactool.exe"
export SCNTOOL="$windows/scntool/scntool.exe"
export TEST_DATA_DIR="$root/tests/data"
status=0
echo "== code page tables against Windows' converter"
"$wine" "$windows/tests/code_page_check.exe" || status=1
for test in pactool_cli_test scntool_cli_test make_cycle_test game_versions_test code_page_names_test fault_test hostile_archive_test translation_cycle_test paths_test; do
    echo "== $test against the Windows executables"
    "$tests/tests/$test" --gtest_brief=1 || status=1
done
# Names once more in a double-byte ANSI code page: Wine takes CP932 from a
# Japanese locale, which glibc needs compiled (here, into the build tree).
# (Windows' reasons are then in Japanese, so only the test without them.)
locales="$root/build/locales"
if mkdir -p "$locales" && localedef -i ja_JP -f UTF-8 "$locales/ja_JP.UTF-8" >/dev/null 2>&1; then
    echo "== paths_test against the Windows executables, ANSI code page CP932"
    LOCPATH="$locales" LC_ALL=ja_JP.UTF-8 TOOLS_CODE_PAGE=CP932 "$tests/tests/paths_test" --gtest_brief=1 \
        --gtest_filter='Paths.AFolderOutsideTheCodePage*' || status=1
    echo "== code_page_names_test against the Windows executables, ANSI code page CP932"
    LOCPATH="$locales" LC_ALL=ja_JP.UTF-8 TOOLS_CODE_PAGE=CP932 "$tests/tests/code_page_names_test" --gtest_brief=1 || status=1
else
    echo "== paths_test with CP932 left out: no localedef here"
fi
"$wineserver" -k >/dev/null 2>&1 || true
exit $status
