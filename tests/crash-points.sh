#!/bin/sh
# Crash points: every open, read (positioned reads too), write, flush,
# rename, close, unlink and mkdir that pactool archive, pactool extract and
# scntool (listing, assembling and building, with their records) make
# is made to fail once with EIO, and, in other runs, is where the process is
# killed (strace -e inject=CALL:error=EIO:when=N, and :signal=KILL:when=N,
# for N = 1, 2, 3, ... up to the number of such calls a clean run makes).
# After every run each target must be its old file or the complete new one;
# a run that succeeded must have completed them (the makefile excepted: extract
# passes over a makefile it cannot write); a run that failed must have left
# no temporary file (after a kill one may remain, until the next run in the
# folder, which must remove it).
#
#     sh tests/crash-points.sh [BUILD_DIR [SCENARIO...]]
#
# BUILD_DIR defaults to build/test (the tools are built there when missing);
# the scenarios are archive, extract, damaged (an extract that fails at a
# member), threads (extract on two threads), listing, relisting (a new
# original over an edited listing), assembling and building, all by default.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build/test}
[ $# -gt 0 ] && shift
mkdir -p "$build"
build=$(cd "$build" && pwd)
pactool="$build/pactool/pactool"
scntool="$build/scntool/scntool"
if [ ! -x "$pactool" ] || [ ! -x "$scntool" ]; then
    [ -f "$build/CMakeCache.txt" ] || cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBUILD_TESTING=OFF >/dev/null
    cmake --build "$build" --parallel "$(nproc 2>/dev/null || echo 2)" --target pactool scntool >/dev/null
fi
command -v strace >/dev/null 2>&1 || { echo "crash-points: strace is needed" >&2; exit 1; }

calls="open openat read pread64 write fsync fdatasync syncfs rename renameat renameat2 close unlink unlinkat mkdir mkdirat"
traced=$(echo $calls | tr ' ' ',')

# On the disk (below the build directory), not a memory file system: the
# flushes are what is tried.
scratch=$(mktemp -d "$build/crash-points.XXXXXX")
trap 'rm -rf "$scratch"' EXIT

# The scenarios.  Each has a directory "$scratch/NAME.old" holding its inputs
# and the old targets, the command run in a copy of it, and its targets (a
# trailing ? marks one a successful run may leave old).
game="$root/examples/game"
mkdir "$scratch/inputs"
cp "$game"/* "$scratch/inputs/"
(cd "$scratch/inputs" && "$scntool" scene01.txt >/dev/null && "$pactool" -q archive game.pac)

mkdir "$scratch/archive.old"
cp "$game"/credits.txt "$game"/font.dat "$game"/title.bmp "$game"/blank.dat "$game"/game.pac.list "$scratch/archive.old/"
cp "$scratch/inputs/scene01.bin" "$scratch/archive.old/"
echo "an earlier credit line" >>"$scratch/archive.old/credits.txt"
(cd "$scratch/archive.old" && "$pactool" -q archive game.pac)  # the previous archive: all but one member kept
cp "$game/credits.txt" "$scratch/archive.old/"
archive_command="$pactool -j 1 archive game.pac"
archive_status=0
archive_targets="game.pac"

mkdir "$scratch/extract.old"
cp "$scratch/inputs/game.pac" "$scratch/extract.old/"
echo "old credits" >"$scratch/extract.old/credits.txt"
echo "old font" >"$scratch/extract.old/font.dat"
printf "0 0\ncredits.txt\nfont.dat\n" >"$scratch/extract.old/game.pac.list"  # the list of the archive extracted here before
echo "old makefile" >"$scratch/extract.old/makefile"
extract_command="$pactool -j 1 extract game.pac"
extract_status=0
extract_targets="credits.txt font.dat title.bmp blank.dat scene01.bin game.pac.list makefile?"

# The same archive with a member in the middle damaged (its size says 4 KiB
# more than its stream gives): the members before it are extracted, then it
# fails, and nothing after it is written.
mkdir "$scratch/damaged.old"
cp -p "$scratch/extract.old"/* "$scratch/damaged.old/"
at=$((12 + 76 * 2 + 68))  # title.bmp's size
size=$(($(od -An -tu4 -j "$at" -N 4 "$scratch/damaged.old/game.pac" | tr -d ' ') + 4096))
printf "$(printf '\\%03o\\%03o\\%03o\\%03o' $((size & 255)) $((size >> 8 & 255)) $((size >> 16 & 255)) $((size >> 24)))" |
    dd of="$scratch/damaged.old/game.pac" bs=1 seek="$at" conv=notrunc 2>/dev/null
damaged_command="$pactool -j 1 extract game.pac"
damaged_status=1
damaged_targets="$extract_targets"

# Extract again on two threads: strace counts calls per thread, so each
# worker's Nth call fails too.
cp -rp "$scratch/extract.old" "$scratch/threads.old"
threads_command="$pactool -j 2 extract game.pac"
threads_status=0
threads_targets="$extract_targets"

mkdir "$scratch/listing.old"
cp "$scratch/inputs/scene01.bin" "$scratch/listing.old/"
printf 'PushC\t1\n' >"$scratch/listing.old/scene01.txt"  # another scenario's listing
listing_command="$scntool scene01.bin"
listing_status=0
listing_targets="scene01.txt .scntool/scene01.record"

# A listing with edits of its own, over which a new original arrives: the
# listing is kept under another name, then listed again, then recorded.
mkdir "$scratch/relisting.old"
cp "$game/scene01.txt" "$scratch/relisting.old/"
printf 'PushC\t1\n' >>"$scratch/relisting.old/scene01.txt"
(cd "$scratch/relisting.old" && "$scntool" scene01.txt >/dev/null && rm scene01.txt && "$scntool" scene01.bin >/dev/null)
sed 's/Label_/Mine_/g' "$scratch/relisting.old/scene01.txt" >"$scratch/relisting.old/edited"
mv "$scratch/relisting.old/edited" "$scratch/relisting.old/scene01.txt"
cp "$scratch/inputs/scene01.bin" "$scratch/relisting.old/"
relisting_command="$scntool scene01.bin"
relisting_status=0
relisting_targets="scene01.txt scene01.txt.edited .scntool/scene01.record"

mkdir "$scratch/assembling.old"
cp "$game/scene01.txt" "$scratch/assembling.old/"
printf 'old binary' >"$scratch/assembling.old/scene01.bin"
assembling_command="$scntool scene01.txt"
assembling_status=0
assembling_targets="scene01.bin .scntool/scene01.record"

# Building a listed scenario after an edit: the record, then the binary.
mkdir "$scratch/building.old"
cp "$scratch/inputs/scene01.bin" "$scratch/building.old/"
(cd "$scratch/building.old" && "$scntool" scene01.bin >/dev/null && printf 'PushC\t1\n' >>scene01.txt)
building_command="$scntool --build scene01.bin"
building_status=0
building_targets="scene01.bin .scntool/scene01.record"

scenarios=${*:-archive extract damaged threads listing relisting assembling building}

tried_errors=0
tried_kills=0
lost=0
leftover=0

# check SCENARIO RUN_DIR STATUS KIND WHAT: every target old or complete, a
# success complete, a failure without temporary files.
check() {
    scenario=$1 dir=$2 status=$3 kind=$4 what=$5
    eval "targets=\$${scenario}_targets"
    for target in $targets; do
        optional=false
        case $target in *\?) target=${target%\?} optional=true ;; esac
        old="$scratch/$scenario.old/$target"
        new="$scratch/$scenario.complete/$target"
        now="$dir/$target"
        state=ok
        if [ -e "$now" ]; then
            { [ -e "$old" ] && cmp -s "$now" "$old"; } || { [ -e "$new" ] && cmp -s "$now" "$new"; } || state=partial
        elif [ -e "$old" ] && [ -e "$new" ]; then
            state=gone
        fi
        if [ "$state" = ok ] && [ "$status" -eq 0 ] && ! $optional && [ -e "$new" ] && ! cmp -s "$now" "$new" 2>/dev/null; then
            state="not complete after success"
        fi
        if [ "$state" != ok ]; then
            echo "LOST: $scenario, $kind at $what: $target is $state (status $status)"
            lost=$((lost + 1))
        fi
    done
    if [ "$status" -ne 0 ] && [ "$kind" = error ] && [ -n "$(find "$dir" -name '*.tmp')" ]; then
        echo "LEFT: $scenario, $kind at $what: $(cd "$dir" && find . -name '*.tmp' | tr '\n' ' ')(status $status)"
        leftover=$((leftover + 1))
    fi
}

for scenario in $scenarios; do
    eval "command=\$${scenario}_command"
    # The complete targets, and how many of each call a clean run makes
    # (counted per thread, as strace counts them for injection).
    eval "expected=\$${scenario}_status"
    cp -rp "$scratch/$scenario.old" "$scratch/$scenario.complete"
    status=0
    (cd "$scratch/$scenario.complete" &&
        strace -f -qq -o "$scratch/trace" -e trace="$traced" $command >/dev/null 2>&1) || status=$?
    if [ "$status" -ne "$expected" ]; then
        echo "crash-points: $scenario: a clean run gave status $status, not $expected" >&2
        exit 1
    fi
    counts=""
    for call in $calls; do
        n=$(awk -v call="$call" 'index($2, call "(") == 1 { count[$1]++ }
                                 END { m = 0; for (t in count) if (count[t] > m) m = count[t]; print m }' "$scratch/trace")
        counts="$counts $call=$n"
        i=1
        while [ "$i" -le "$n" ]; do
            for kind in error kill; do
                if [ $kind = error ]; then inject="error=EIO"; else inject="signal=KILL"; fi
                rm -rf "$scratch/run"
                cp -rp "$scratch/$scenario.old" "$scratch/run"
                # (The shell that sees the kill is told to keep quiet about it.)
                status=$({ (cd "$scratch/run" &&
                    exec strace -f -qq -o /dev/null -e trace="$call" -e inject="$call:$inject:when=$i" \
                        $command >/dev/null 2>&1) && echo 0 || echo $?; } 2>/dev/null)
                check "$scenario" "$scratch/run" "$status" "$kind" "$call #$i"
                # A killed run may leave a temporary file; the next run in
                # the folder removes it (its process is gone).
                if [ $kind = kill ]; then
                    (cd "$scratch/run" && $command >/dev/null 2>&1) || true
                    if [ -n "$(find "$scratch/run" -name '*.tmp')" ]; then
                        echo "LEFT AFTER THE NEXT RUN: $scenario, killed at $call #$i:" \
                            "$(cd "$scratch/run" && find . -name '*.tmp' | tr '\n' ' ')"
                        leftover=$((leftover + 1))
                    fi
                fi
                if [ $kind = error ]; then tried_errors=$((tried_errors + 1)); else tried_kills=$((tried_kills + 1)); fi
            done
            i=$((i + 1))
        done
    done
    echo "$scenario:$counts"
done

echo "crash points: $tried_errors injected errors and $tried_kills kills tried;" \
    "$lost targets neither old nor complete, $leftover failed runs left a temporary file"
[ "$lost" -eq 0 ] && [ "$leftover" -eq 0 ]
