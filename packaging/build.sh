#!/bin/sh
# Builds the packages users download, from empty build directories, into
# dist/ (or the directory given):
#
#   NAME-VERSION-windows-x86_64.zip     static pactool.exe and scntool.exe,
#                                       the documents as CR LF text, the
#                                       manual pages as text, an example
#                                       makefile.conf
#   NAME_VERSION_amd64.deb              for Debian and its derivatives
#   NAME-VERSION-linux-x86_64.tar.gz    the Linux tools, manual pages,
#                                       documents and bash completion
#                                       under one folder
#   SHA256SUMS                          the three packages' checksums
#
# NAME and VERSION are the CMake project's. One commit gives the same bytes
# every time: every time stamp is the commit's (SOURCE_DATE_EPOCH, when not
# set already), archive entries are sorted, owned by root and have fixed
# permissions, and the binaries are stripped and hold no build path.
#
#   sh packaging/build.sh [OUT_DIR]
#
# PACKAGE_BUILD_DIR names the build directory (build/package by default;
# it is emptied first). Needs cmake, g++, g++-mingw-w64-x86-64-posix,
# groff, zip and dpkg-dev (.ci/run installs them).
#
# The archives are written with tar, zip and dpkg-deb rather than CPack:
# CMake 3.25's CPack writes neither sorted nor root-owned entries, so its
# packages differ from build to build.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
out=${1:-$root/dist}
work=${PACKAGE_BUILD_DIR:-$root/build/package}
jobs=$(nproc 2>/dev/null || echo 2)

export LC_ALL=C TZ=UTC
umask 022
if [ -z "${SOURCE_DATE_EPOCH:-}" ]; then
    SOURCE_DATE_EPOCH=$(git -C "$root" log -1 --format=%ct 2>/dev/null) || {
        echo "build.sh: not a git checkout: set SOURCE_DATE_EPOCH to the release's time" >&2
        exit 1
    }
fi
export SOURCE_DATE_EPOCH
epoch=$SOURCE_DATE_EPOCH

rm -rf "$work"
mkdir -p "$work" "$out"
out=$(cd "$out" && pwd)
work=$(cd "$work" && pwd)

# Sets every time stamp under the directory given to the commit's.
stamp() {
    find "$1" -exec touch -h -d "@$epoch" {} +
}

# Text for Windows: CR LF line ends, and a UTF-8 byte order mark when the
# text is not plain ASCII, so that every Notepad reads it right.
windows_text() {
    if grep -q "$(printf '[\200-\377]')" "$1"; then
        printf '\357\273\277'
    fi
    sed 's/\r$//; s/$/\r/' "$1"
}

# A manual page as plain text (no bold or underline by overstriking).
man_text() {
    groff -man -Tascii -P-c -P-b -P-u -ww "$1"
}

# Build paths stay out of the binaries; the Debian tools get Debian's
# hardening (stack protector, fortified functions, read-only relocations).
prefix_map="-ffile-prefix-map=$root=. -ffile-prefix-map=$work=."

echo "== Linux build"
CXXFLAGS="$prefix_map -fstack-protector-strong -D_FORTIFY_SOURCE=2" LDFLAGS="-Wl,-z,relro -Wl,-z,now" \
    cmake -S "$root" -B "$work/linux" -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF >/dev/null
cmake --build "$work/linux" --parallel "$jobs" >/dev/null
DESTDIR="$work/linux-install" cmake --install "$work/linux" --prefix /usr >/dev/null
strip --strip-all --remove-section=.comment "$work/linux-install/usr/bin/pactool" "$work/linux-install/usr/bin/scntool"

cache=$work/linux/CMakeCache.txt
name=$(sed -n 's/^CMAKE_PROJECT_NAME:STATIC=//p' "$cache")
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$cache")
[ -n "$name" ] && [ -n "$version" ] || { echo "build.sh: no project name or version in $cache" >&2; exit 1; }

echo "== Windows build"
CXXFLAGS="$prefix_map" cmake -S "$root" -B "$work/windows" \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF >/dev/null
cmake --build "$work/windows" --parallel "$jobs" >/dev/null
cmake --install "$work/windows" --prefix "$work/windows-install" --strip >/dev/null

zip_name=$name-$version-windows-x86_64
deb_name=${name}_${version}_amd64
tar_name=$name-$version-linux-x86_64
rm -f "$out/$zip_name.zip" "$out/$deb_name.deb" "$out/$tar_name.tar.gz" "$out/SHA256SUMS"

echo "== $zip_name.zip"
top=$work/zip/$zip_name
mkdir -p "$top/doc"
cp "$work/windows-install/bin/pactool.exe" "$work/windows-install/bin/scntool.exe" "$top/"
# The documents CMake installs: README, NEWS and LICENSE at the top, the
# others in doc\, all as .txt.
installed_doc=$work/linux-install/usr/share/doc/$name
for file in "$installed_doc"/*; do
    case ${file##*/} in
        README.md | NEWS.md | LICENSE) text=$top/${file##*/} ;;
        *) text=$top/doc/${file##*/} ;;
    esac
    windows_text "$file" >"${text%.md}.txt"
done
# The sample names the tools where they are when the zip is unpacked into C:\.
sed "s|@TOOLS@|C:/$zip_name|g" "$root/packaging/makefile.conf" >"$work/makefile.conf"
windows_text "$work/makefile.conf" >"$top/makefile.conf"
for page in pactool scntool; do
    man_text "$work/linux/man/$page.1" >"$work/$page.txt"
    windows_text "$work/$page.txt" >"$top/doc/$page.txt"
done
chmod 0755 "$top/pactool.exe" "$top/scntool.exe"
stamp "$top"
(cd "$work/zip" && find "$zip_name" -type f | sort | zip -q -X -9 -D -@ "$out/$zip_name.zip")

echo "== $deb_name.deb"
# dpkg-shlibdeps and dpkg-gencontrol work in a source package's layout:
# debian/control and debian/changelog, the package's files in debian/NAME.
deb=$work/deb
pkg=$deb/debian/$name
mkdir -p "$deb/debian"
cp -R "$work/linux-install" "$pkg"
mkdir "$pkg/DEBIAN"
doc=$pkg/usr/share/doc/$name
gzip -9n "$pkg"/usr/share/man/man1/*.1 "$doc"/*.md
# The licence is in the copyright file, in Debian's machine-readable form.
rm "$doc/LICENSE"
{
    echo "Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/"
    echo "Upstream-Name: $name"
    echo
    echo "Files: *"
    sed -n 's/^Copyright (c) /Copyright: /p' "$root/LICENSE"
    echo "License: Expat"
    sed -n '/^Permission/,$p' "$root/LICENSE" | sed 's/^$/./; s/^/ /'
} >"$doc/copyright"
date=$(date -R -d "@$epoch")
maintainer="The $name authors <$name@example.org>"
cat >"$deb/debian/changelog" <<EOF
$name ($version) unstable; urgency=medium

  * Release $version: NEWS.md.gz tells what it holds.

 -- $maintainer  $date
EOF
gzip -9n -c "$deb/debian/changelog" >"$doc/changelog.gz"
cat >"$deb/debian/control" <<EOF
Source: $name
Section: utils
Priority: optional
Maintainer: $maintainer
Standards-Version: 4.6.2
Rules-Requires-Root: no

Package: $name
Architecture: any
Depends: \${shlibs:Depends}
Description: pack game PAC archives and edit their scenarios as text
 pactool packs files into PAC archives, each member LZSS-compressed, and
 extracts an archive into its members, the list file that rebuilds it and
 a makefile that drives the edit cycle with GNU make.
 .
 scntool lists compiled scenario files as text with symbolic labels and
 assembles them back, and bridges their strings to gettext PO files for
 translation teams.
EOF
# The dependencies are those of the binaries, as the system's packages
# declare them.
(cd "$deb" && dpkg-shlibdeps -Tdebian/substvars "debian/$name/usr/bin/pactool" "debian/$name/usr/bin/scntool" &&
    dpkg-gencontrol -p"$name" -P"debian/$name" -Tdebian/substvars)
(cd "$pkg" && find usr -type f | sort | xargs md5sum >DEBIAN/md5sums)
chmod 0644 "$pkg/DEBIAN/control" "$pkg/DEBIAN/md5sums"
stamp "$pkg"
dpkg-deb --root-owner-group -Zxz --build "$pkg" "$out/$deb_name.deb" >/dev/null

echo "== $tar_name.tar.gz"
mkdir -p "$work/tar"
cp -R "$work/linux-install/usr" "$work/tar/$tar_name"
stamp "$work/tar/$tar_name"
tar -C "$work/tar" --format=gnu --sort=name --owner=0 --group=0 --numeric-owner --mtime="@$epoch" \
    -cf - "$tar_name" | gzip -9n >"$out/$tar_name.tar.gz"

(cd "$out" && sha256sum "$zip_name.zip" "$deb_name.deb" "$tar_name.tar.gz" >SHA256SUMS && cat SHA256SUMS)
