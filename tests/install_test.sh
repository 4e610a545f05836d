#!/bin/sh
# Installs the build into a scratch DESTDIR and checks that the tools and
# their manual pages are in place and the installed tools run.
set -eu
build=$1
destdir=$(mktemp -d)
trap 'rm -rf "$destdir"' EXIT
DESTDIR="$destdir" cmake --install "$build" --prefix /usr/local >/dev/null
for file in bin/pactool bin/scntool share/man/man1/pactool.1 share/man/man1/scntool.1; do
    [ -f "$destdir/usr/local/$file" ] || { echo "missing after install: $file"; exit 1; }
done
"$destdir/usr/local/bin/pactool" --version | grep -q '^pactool ' || { echo "installed pactool does not run"; exit 1; }
"$destdir/usr/local/bin/scntool" --version | grep -q '^scntool ' || { echo "installed scntool does not run"; exit 1; }
grep -q '^\.TH PACTOOL 1' "$destdir/usr/local/share/man/man1/pactool.1"
grep -q '^\.TH SCNTOOL 1' "$destdir/usr/local/share/man/man1/scntool.1"
if command -v groff >/dev/null 2>&1; then
    for page in pactool scntool; do
        groff -man -Tutf8 -ww -z "$destdir/usr/local/share/man/man1/$page.1" 2>&1 | grep . && exit 1
    done
fi
echo "installed: $(cd "$destdir" && find . -type f | sort | tr '\n' ' ')"
