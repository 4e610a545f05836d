#!/bin/sh
# Checks the packages packaging/build.sh wrote, as users get them:
#
# - the Windows zip holds exactly the files it should, its text in CR LF,
#   and its executables import nothing but Windows' own DLLs; unpacked, they
#   run in a fresh Wine prefix: --version, and the example game's round trip
#   (assemble the scenario, archive, extract, compare every member, list the
#   scenario and assemble it again);
# - the .deb holds exactly its files, lintian finds no error in it, its
#   Depends are what dpkg-shlibdeps computes from its binaries, and unpacked
#   with dpkg-deb -x its tools make the same round trip, giving the same
#   archive as the Windows tools; its bash completion completes;
# - the tarball holds the .deb's tools, manual pages and documents under one
#   folder;
# - every tool and manual page gives the version the package names carry;
# - building the packages again, in another build directory, gives the very
#   same bytes (left out with --no-rebuild).
#
#   sh packaging/check.sh [--no-rebuild] [DIST_DIR]
#
# Needs unzip, lintian, dpkg-dev, binutils-mingw-w64-x86-64 and wine64
# (.ci/run installs them).
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
rebuild=1
if [ "${1:-}" = --no-rebuild ]; then
    rebuild=0
    shift
fi
dist=$(cd "${1:-$root/dist}" && pwd)
export LC_ALL=C

name=$(sed -n 's/^project(\([A-Za-z0-9_-]*\) VERSION \([0-9.]*\).*/\1/p' "$root/CMakeLists.txt")
version=$(sed -n 's/^project(\([A-Za-z0-9_-]*\) VERSION \([0-9.]*\).*/\2/p' "$root/CMakeLists.txt")
zip_name=$name-$version-windows-x86_64
deb_name=${name}_${version}_amd64
tar_name=$name-$version-linux-x86_64
# The documents beside README, NEWS and LICENSE.
documents="formats guarantees performance"

work=$(mktemp -d)
wine=${WINE:-/usr/lib/wine/wine64}
wineserver="$(dirname "$wine")/wineserver"
export WINEPREFIX="$work/wine-prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree=;mshtml="
cleanup() {
    if [ -d "$WINEPREFIX" ]; then
        "$wineserver" -k >/dev/null 2>&1 || true
    fi
    rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 1' INT TERM HUP

fail() {
    echo "FAILED: $*" >&2
    exit 1
}

# Fails unless the two lists (one entry a line) are the same.
same_list() {
    printf '%s\n' "$2" >"$work/expected"
    printf '%s\n' "$3" >"$work/actual"
    diff -u "$work/expected" "$work/actual" || fail "$1: not the files expected (- expected, + found)"
}

# Prints the output of a tool, without the CRs Windows writes.
version_of() {
    $launcher "$1" --version | tr -d '\r'
}

# The example game's round trip with the tools $pactool and $scntool (run
# through $launcher, when set), in the directory given.
round_trip() {
    dir=$1
    mkdir -p "$dir/pack" "$dir/check"
    cp "$root"/examples/game/* "$dir/pack/"
    (cd "$dir/pack" && $launcher "$scntool" scene01.txt >/dev/null && rm scene01.txt &&
        $launcher "$pactool" archive game.pac >/dev/null) || fail "$label: archive"
    cp "$dir/pack/game.pac" "$dir/check/"
    (cd "$dir/check" && $launcher "$pactool" extract game.pac >/dev/null) || fail "$label: extract"
    for member in $(tail -n +2 "$dir/pack/game.pac.list"); do
        cmp "$dir/pack/$member" "$dir/check/$member" || fail "$label: $member did not come back"
    done
    tr -d '\r' <"$dir/check/game.pac.list" | cmp - "$dir/pack/game.pac.list" || fail "$label: list file"
    (cd "$dir/check" && $launcher "$scntool" scene01.bin >/dev/null && mv scene01.bin scene01.old &&
        $launcher "$scntool" scene01.txt >/dev/null) || fail "$label: listing the scenario and assembling it"
    cmp "$dir/check/scene01.bin" "$dir/check/scene01.old" || fail "$label: the scenario's listing assembles to other bytes"
    echo "$label: the example's members, list file and scenario came back byte-identical"
}

for file in "$zip_name.zip" "$deb_name.deb" "$tar_name.tar.gz"; do
    [ -f "$dist/$file" ] || fail "no $file in $dist"
done

echo "== $zip_name.zip"
texts="LICENSE.txt NEWS.txt README.txt $(printf 'doc/%s.txt ' $documents pactool scntool)makefile.conf"
same_list "the zip" "$(printf "$zip_name/%s\n" $texts pactool.exe scntool.exe | sort)" \
    "$(unzip -Z1 "$dist/$zip_name.zip" | sort)"
unzip -q "$dist/$zip_name.zip" -d "$work/zip"
windows=$work/zip/$zip_name
for text in $texts; do
    awk '!/\r$/ { exit 1 }' "$windows/$text" || fail "$text has a line without CR LF"
done
for exe in pactool.exe scntool.exe; do
    dlls=$(x86_64-w64-mingw32-objdump -p "$windows/$exe" | sed -n 's/^[[:space:]]*DLL Name: //p' | sort -u)
    echo "$exe imports: $(echo $dlls)"
    for dll in $dlls; do
        case $(echo "$dll" | tr '[:upper:]' '[:lower:]') in
            kernel32.dll | msvcrt.dll | ucrtbase.dll | api-ms-win-*.dll | shell32.dll | advapi32.dll | user32.dll) ;;
            *) fail "$exe imports $dll, which is not part of Windows" ;;
        esac
    done
done
grep -q "pactool $version" "$windows/doc/pactool.txt" || fail "doc/pactool.txt is not the manual of $version"
grep -q "scntool $version" "$windows/doc/scntool.txt" || fail "doc/scntool.txt is not the manual of $version"

echo "== the Windows tools in a fresh Wine prefix"
# One wineserver for every program (see tests/run-windows.sh), started
# before the prefix is made.
mkdir -p "$WINEPREFIX"
"$wineserver" -p
"$wine" wineboot --init >/dev/null 2>&1 || true
launcher=$wine
label="Windows tools"
pactool=$windows/pactool.exe
scntool=$windows/scntool.exe
[ "$(version_of "$pactool")" = "pactool $version" ] || fail "pactool.exe --version: $(version_of "$pactool")"
[ "$(version_of "$scntool")" = "scntool $version" ] || fail "scntool.exe --version: $(version_of "$scntool")"
echo "$label: pactool $version, scntool $version"
round_trip "$work/wine-trip"
"$wineserver" -k >/dev/null 2>&1 || true

echo "== $deb_name.deb"
dpkg-deb -I "$dist/$deb_name.deb"
doc=usr/share/doc/$name
completions=usr/share/bash-completion/completions
same_list "the .deb" "$(printf '%s\n' usr/bin/pactool usr/bin/scntool "$completions/pactool" "$completions/scntool" \
    $(printf "$doc/%s.md.gz " NEWS README $documents) "$doc/changelog.gz" "$doc/copyright" \
    usr/share/man/man1/pactool.1.gz usr/share/man/man1/scntool.1.gz | sort)" \
    "$(dpkg-deb --fsys-tarfile "$dist/$deb_name.deb" | tar -t | sed -n 's|^\./||; /[^/]$/p' | sort)"
status=0
lintian --fail-on error "$dist/$deb_name.deb" >"$work/lintian" 2>&1 || status=$?
grep -v 'running with root privileges' "$work/lintian" || true
[ $status -eq 0 ] || fail "lintian reports errors"
echo "lintian: no error"
deb=$work/deb
dpkg-deb -x "$dist/$deb_name.deb" "$deb"
# The dependencies dpkg-shlibdeps computes from the package's binaries
# (it wants a source package's debian/control, and DEBIAN beside usr).
mkdir -p "$work/shlibs/debian" "$deb/DEBIAN"
printf 'Source: %s\n\nPackage: %s\nArchitecture: any\n' "$name" "$name" >"$work/shlibs/debian/control"
computed=$(cd "$work/shlibs" && dpkg-shlibdeps -O "$deb/usr/bin/pactool" "$deb/usr/bin/scntool" | sed -n 's/^shlibs:Depends=//p')
declared=$(dpkg-deb -f "$dist/$deb_name.deb" Depends)
[ -n "$computed" ] && [ "$declared" = "$computed" ] || fail "Depends: $declared; computed from the binaries: $computed"
echo "Depends: $declared (as computed from the binaries)"
launcher=""
label="Debian package's tools"
pactool=$deb/usr/bin/pactool
scntool=$deb/usr/bin/scntool
[ "$(version_of "$pactool")" = "pactool $version" ] || fail "pactool --version: $(version_of "$pactool")"
[ "$(version_of "$scntool")" = "scntool $version" ] || fail "scntool --version: $(version_of "$scntool")"
for page in pactool scntool; do
    zcat "$deb/usr/share/man/man1/$page.1.gz" | grep -q "^\.TH .* \"$page $version\"" ||
        fail "$page.1.gz is not the manual of $version"
done
echo "$label: pactool $version, scntool $version"
round_trip "$work/deb-trip"
cmp "$work/deb-trip/pack/game.pac" "$work/wine-trip/pack/game.pac" ||
    fail "the Windows and the Linux pactool wrote different archives"
echo "the Windows and the Linux tools wrote the same archive"
# The completions complete a command word and an option.
completed=$(bash -c '. "$1/pactool"; . "$1/scntool"
    COMP_WORDS=(pactool ex); COMP_CWORD=1; _pactool; echo "${COMPREPLY[*]}"
    COMP_WORDS=(scntool --st); COMP_CWORD=1; _scntool; echo "${COMPREPLY[*]}"' sh "$deb/$completions")
[ "$completed" = "$(printf 'extract\n--status')" ] || fail "bash completion gave: $completed"
echo "bash completion: pactool ex -> extract, scntool --st -> --status"

echo "== $tar_name.tar.gz"
tar -C "$work" -xzf "$dist/$tar_name.tar.gz"
same_list "the tarball" "$(printf "$tar_name/%s\n" bin/pactool bin/scntool share/bash-completion/completions/pactool \
    share/bash-completion/completions/scntool share/doc/$name/LICENSE \
    $(printf "share/doc/$name/%s.md " NEWS README $documents) share/man/man1/pactool.1 share/man/man1/scntool.1 | sort)" \
    "$(tar -tzf "$dist/$tar_name.tar.gz" | sed -n '/[^/]$/p' | sort)"
for file in bin/pactool bin/scntool; do
    cmp "$work/$tar_name/$file" "$deb/usr/$file" || fail "the tarball's $file is not the .deb's"
done
for file in man/man1/pactool.1 man/man1/scntool.1; do
    gzip -dc "$deb/usr/share/$file.gz" | cmp - "$work/$tar_name/share/$file" || fail "the tarball's $file is not the .deb's"
done
echo "the tarball holds the .deb's tools and manual pages"

if [ "$rebuild" = 1 ]; then
    echo "== building the packages again, in another build directory"
    again=$root/build/dist-again
    PACKAGE_BUILD_DIR="$root/build/package-again" sh "$root/packaging/build.sh" "$again" >/dev/null 2>"$work/build.log" ||
        { cat "$work/build.log" >&2; fail "the second build"; }
    for file in "$zip_name.zip" "$deb_name.deb" "$tar_name.tar.gz" SHA256SUMS; do
        cmp "$dist/$file" "$again/$file" || fail "$file differs in the second build (see $again)"
    done
    echo "the second build gave the same bytes"
fi
echo "== packages checked: $zip_name.zip, $deb_name.deb, $tar_name.tar.gz"
