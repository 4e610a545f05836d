#!/bin/sh
# Builds the tools and runs the whole edit cycle on the example game files:
# pack, extract and check, list the scenario with `make decompile`, edit a
# line of the listing, rebuild with `make`, and find the edit in the rebuilt
# archive.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build/release"
echo "== Building the tools"
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF >/dev/null
cmake --build "$build" --parallel "$(nproc 2>/dev/null || echo 2)" >/dev/null
pactool="$build/pactool/pactool"
scntool="$build/scntool/scntool"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/pack" "$work/edit" "$work/check" "$work/install"
cp "$root"/examples/game/* "$work/pack/"

echo "== Assembling the scenario listing scene01.txt into scene01.bin"
(cd "$work/pack" && "$scntool" scene01.txt && rm scene01.txt)

echo "== Packing the game files into game.pac"
(cd "$work/pack" && "$pactool" archive game.pac)

echo "== Extracting game.pac into a fresh directory"
cp "$work/pack/game.pac" "$work/edit/"
(cd "$work/edit" && "$pactool" extract game.pac)
for name in $(tail -n +2 "$work/pack/game.pac.list"); do
    cmp "$work/pack/$name" "$work/edit/$name"
    echo "identical: $name"
done

cat > "$work/makefile.conf" <<CONF
QVXPACTOOL = $pactool
QVXTOOL = $scntool
COPY = cp
GAME_DIR = $work/install
CONF

echo "== make decompile: listing every scenario"
make -C "$work/edit" --no-print-directory decompile
echo "-- first lines of scene01.txt:"
head -n 8 "$work/edit/scene01.txt"

echo "== Translating a line of scene01.txt and running make"
sed 's/The lantern is out again\./Die Laterne ist wieder aus./' "$work/edit/scene01.txt" > "$work/edit/scene01.new"
mv "$work/edit/scene01.new" "$work/edit/scene01.txt"
make -C "$work/edit" --no-print-directory

echo "== Extracting the rebuilt archive and listing its scenario"
cp "$work/edit/game.pac" "$work/check/"
(cd "$work/check" && "$pactool" extract game.pac >/dev/null && "$scntool" scene01.bin >/dev/null)
echo "-- the edited line in the new listing:"
grep -n "Laterne" "$work/check/scene01.txt"
echo "== Done: every member came back byte-identical and make rebuilt the archive with the edit"
