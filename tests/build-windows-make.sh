#!/bin/sh
# Builds GNU make for Windows (make.exe) from Debian's source package
# make-dfsg with mingw-w64, compiling the files its build_w32.bat lists with
# the flags that script gives gcc, so that the edit cycle can be tried under
# Wine with the make Windows users run.
#
#   sh tests/build-windows-make.sh OUT_DIR      # writes OUT_DIR/make.exe
#
# Needs a deb-src line for Debian's archive, dpkg-dev and
# gcc-mingw-w64-x86-64 (.ci/run sets them up).  Does nothing when
# OUT_DIR/make.exe is there.
set -eu
out=$(mkdir -p "$1" && cd "$1" && pwd)
[ -f "$out/make.exe" ] && exit 0
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
(cd "$work" && apt-get source -q make-dfsg >"$work/log" 2>&1) || { cat "$work/log" >&2; exit 1; }
src=$(ls -d "$work"/make-dfsg-*/ | head -n 1)
cd "$src"
mkdir -p "$work/obj/include"
cp src/config.h.W32 "$work/obj/include/config.h"
cp lib/glob.in.h "$work/obj/include/glob.h"
cp lib/fnmatch.in.h "$work/obj/include/fnmatch.h"
# "call :Compile src/ar", "call :Compile src/main GUILE", ... in CR LF lines.
tr -d '\r' <build_w32.bat | sed -n 's/^call :Compile \([^ ]*\).*/\1/p' >"$work/files"
[ -s "$work/files" ] || { echo "build-windows-make.sh: build_w32.bat lists no file" >&2; exit 1; }
export work
xargs -P "$(nproc 2>/dev/null || echo 2)" -I FILE sh -c 'x86_64-w64-mingw32-gcc -O2 -mthreads -std=gnu99 -w \
    -I"$work/obj/include" -I./src -I./lib -I./src/w32/include -DWINDOWS32 -DHAVE_CONFIG_H \
    -c FILE.c -o "$work/obj/$(echo FILE | tr / _).o"' <"$work/files"
x86_64-w64-mingw32-gcc -mthreads -o "$work/make.exe" "$work"/obj/*.o -ladvapi32 -luser32
mv "$work/make.exe" "$out/make.exe"
echo "built $out/make.exe from $(basename "$src")"
