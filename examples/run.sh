#!/bin/sh
# Builds the tools and runs their main job on the example game files:
# pack, extract, check, then edit a member and let the generated makefile
# rebuild the archive.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build/release"
echo "== Building the tools"
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF >/dev/null
cmake --build "$build" --parallel >/dev/null
pactool="$build/pactool/pactool"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/pack" "$work/edit" "$work/check" "$work/install"
cp "$root"/examples/game/* "$work/pack/"

echo "== Packing examples/game into game.pac"
(cd "$work/pack" && "$pactool" archive game.pac)
ls -l "$work/pack/game.pac"

echo "== Extracting game.pac into a fresh directory"
cp "$work/pack/game.pac" "$work/edit/"
(cd "$work/edit" && "$pactool" extract game.pac)
for name in $(tail -n +2 "$root/examples/game/game.pac.list"); do
    cmp "$root/examples/game/$name" "$work/edit/$name"
    echo "identical: $name"
done

echo "== Editing credits.txt and running make"
cat > "$work/makefile.conf" <<CONF
QVXPACTOOL = $pactool
QVXTOOL = $build/scntool/scntool
COPY = cp
GAME_DIR = $work/install
CONF
touch -d '1 hour ago' "$work/edit/game.pac"
echo "Translation checked ........ by the example run" >> "$work/edit/credits.txt"
make -C "$work/edit" --no-print-directory

echo "== Extracting the rebuilt archive"
cp "$work/edit/game.pac" "$work/check/"
(cd "$work/check" && "$pactool" extract game.pac >/dev/null)
echo "credits.txt in the rebuilt archive ends with:"
tail -n 1 "$work/check/credits.txt"
grep -q "by the example run" "$work/check/credits.txt"
echo "== Done: every member came back byte-identical and make rebuilt the archive"
