#!/bin/sh
# The edit cycle as users run it, through the makefile that pactool extract
# writes: on Linux with GNU make -j and /bin/sh, or on Windows with GNU make
# for Windows under Wine, cmd.exe as its shell, and the release zip's tools
# and makefile.conf as they come:
#
#   sh tests/make-cycle.sh linux PACTOOL SCNTOOL
#   sh tests/make-cycle.sh windows PACTOOLS.zip MAKE.exe
#
# - the example game as -game.pac, game+1.pac and game,1.pac extracted from
#   ../pack (..\pack on Windows), and as game.pac extracted by its absolute
#   path: make decompile, an edit, make, make install into a folder with
#   blanks (written with a trailing separator, with / and with \);
# - a GAME_DIR that is no folder, or that took in the next line: one line,
#   nothing copied;
# - the translation cycle with CODE_PAGE = CP932 and TRANSLATIONS = game.po,
#   the tools in a folder with blanks, and a member named ゲーム.bin (in
#   CP932 the second byte of ー is '['; on Windows when the Japanese locale
#   can be compiled);
# - a game of $SCENARIOS scenarios (20000 unless set) translated in one PO
#   file: make decompile, make pot, make status, an edit, make, make install.
#
# Each is checked by content with the Linux tools: the installed archive
# holds the edit, every other member is byte-identical, and the game's
# folder holds nothing else new.  Needs python3; on Windows also unzip,
# wine64 and localedef for the Japanese locale.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
system=$1
scenarios=${SCENARIOS:-20000}
export LC_ALL=C
unset MAKEFLAGS MAKELEVEL MFLAGS GAME_DIR 2>/dev/null || true

# The Linux tools that make the games and check the results: REF_PACTOOL
# and REF_SCNTOOL, or build/release's, built here.
if [ -n "${REF_PACTOOL:-}" ] && [ -n "${REF_SCNTOOL:-}" ]; then
    ref_pactool=$(cd "$(dirname "$REF_PACTOOL")" && pwd)/$(basename "$REF_PACTOOL")
    ref_scntool=$(cd "$(dirname "$REF_SCNTOOL")" && pwd)/$(basename "$REF_SCNTOOL")
else
    cmake -S "$root" -B "$root/build/release" -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF >/dev/null
    cmake --build "$root/build/release" --parallel "$(nproc 2>/dev/null || echo 2)" >/dev/null
    ref_pactool=$root/build/release/pactool/pactool
    ref_scntool=$root/build/release/scntool/scntool
fi

# In memory where there is room: Wine flushes every file it writes to the
# disk, and the large game writes some 60,000.
shm_free=$(df -Pk /dev/shm 2>/dev/null | awk 'NR == 2 { print $4 }')
if [ "${shm_free:-0}" -gt 2000000 ]; then
    work=$(mktemp -d -p /dev/shm)
else
    work=$(mktemp -d)
fi
fail() {
    echo "FAILED: $*" >&2
    exit 1
}

if [ "$system" = windows ]; then
    zip=$(cd "$(dirname "$2")" && pwd)/$(basename "$2")
    make_exe=$(cd "$(dirname "$3")" && pwd)/$(basename "$3")
    wine=${WINE:-/usr/lib/wine/wine64}
    wineserver="$(dirname "$wine")/wineserver"
    export WINEPREFIX="$work/wine-prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree=;mshtml="
    trap '"$wineserver" -k >/dev/null 2>&1 || true; rm -rf "$work"' EXIT
    mkdir -p "$WINEPREFIX"
    "$wineserver" -p
    "$wine" wineboot --init >/dev/null 2>&1 || true
    # The zip unpacked into C:\, as the README says.
    unzip -q "$zip" -d "$WINEPREFIX/drive_c"
    tools_folder=$(basename "$zip" .zip)
    [ -f "$WINEPREFIX/drive_c/$tools_folder/pactool.exe" ] || fail "the zip holds no $tools_folder\\pactool.exe"
    tr -d '\r' <"$WINEPREFIX/drive_c/$tools_folder/makefile.conf" >"$work/zip.conf"
    pactool() { "$wine" "C:\\$tools_folder\\pactool.exe" "$@"; }
    # Wine under load now and then fails to start a program ("process_begin:
    # CreateProcess(...) failed", "e=1359": an internal error of its own):
    # make runs once more then, with what it said kept.
    run_make() {
        if "$wine" "$make_exe" -j "$@" >"$work/make.out" 2>&1; then
            cat "$work/make.out"
            return 0
        fi
        cat "$work/make.out"
        grep -q '(e=1359)' "$work/make.out" || return 1
        echo "(Wine could not start a program: make runs again)"
        "$wine" "$make_exe" -j "$@"
    }
    shell_copy() { "$wine" cmd /c copy "$1" "$2" >/dev/null; }
    # A Linux path as Windows programs under Wine name it.
    native() { printf 'Z:%s' "$1" | tr / '\\'; }
    backslashed() { printf '%s' "$1" | tr / '\\'; }
    slashed() { printf '%s' "$1" | tr '\\' /; }
    # The Japanese locale gives Wine's programs CP932 as their ANSI code
    # page (glibc needs it compiled, here into the work folder).
    japanese_locale=""
    if mkdir -p "$work/locales" && localedef -i ja_JP -f UTF-8 "$work/locales/ja_JP.UTF-8" >/dev/null 2>&1; then
        japanese_locale=$work/locales
    fi
    line_end=$(printf '\r')
else
    pactool_under_test=$(cd "$(dirname "$2")" && pwd)/$(basename "$2")
    scntool_under_test=$(cd "$(dirname "$3")" && pwd)/$(basename "$3")
    trap 'rm -rf "$work"' EXIT
    printf 'QVXPACTOOL = %s\nQVXTOOL = %s\nCOPY = cp\nGAME_DIR = /nowhere\n\n' \
        "$pactool_under_test" "$scntool_under_test" >"$work/zip.conf"
    pactool() { "$pactool_under_test" "$@"; }
    run_make() { make -j "$@"; }
    shell_copy() { cp "$1" "$2"; }
    native() { printf '%s' "$1"; }
    backslashed() { printf '%s' "$1"; }
    slashed() { printf '%s' "$1"; }
    line_end=""
    japanese_locale=""
fi
trap 'exit 1' INT TERM HUP

# makefile.conf in $1: the zip's (or the Linux tools'), GAME_DIR set to $2
# as a user writes it, then the lines in $3; text files as the system writes them.
write_conf() {
    {
        sed -n '/^GAME_DIR *=/!p' "$work/zip.conf"
        printf 'GAME_DIR = %s\n%s' "$2" "${3:-}"
    } | sed "s/\$/$line_end/" >"$1/makefile.conf"
}

# Packs the members listed in $1/$2.list (made from the example game or
# generated) into $1/$2 with the Linux tools.
pack() {
    (cd "$1" && "$ref_pactool" -q ${3:-} archive -- "$2" >/dev/null) || fail "packing $2"
    # Made long before it is edited, as a game's archive is (Windows' make
    # reads times to the second).
    touch -d '1 hour ago' "$1/$2"
}

# Checks the game folder $1 after make install of archive $2 made from the
# members in $3 (a folder with $2.list): it holds other.dat as it was and
# $2, whose members are those of $3 except those edited ($4, the first
# named in it first), and the listing of the first edited holds $5.
check_installed() {
    game=$1 name=$2 members=$3 every_edited=$4 text=$5 options=${6:-}
    edited=${every_edited%% *}
    [ "$(ls -A "$game" | sort | tr '\n' /)" = "$(printf '%s\n' other.dat "$name" | sort | tr '\n' /)" ] ||
        fail "the game's folder holds $(ls -A "$game" | tr '\n' ' '), not other.dat and $name"
    [ "$(cat "$game/other.dat")" = "the game's own file" ] || fail "other.dat in the game's folder changed"
    check=$work/check
    rm -rf "$check" && mkdir "$check"
    cp "$game/$name" "$check/installed.pac"
    # Extract makes no folders: those the member names hold are made first.
    (cd "$members" && find . -mindepth 1 -type d ! -name .scntool -exec mkdir -p "$check/{}" \;)
    (cd "$check" && "$ref_pactool" -q $options extract installed.pac >/dev/null) || fail "extracting the installed $name"
    python3 - "$members/$name.list" "$members" "$check" "$every_edited" <<'PY' || fail "the installed $name holds other members"
import sys, os
lines = open(sys.argv[1], encoding="utf-8").read().splitlines()[1:]
lines = [n.replace("\\", "/") for n in lines]
bad = [n for n in lines if n not in sys.argv[4].split() and
       open(os.path.join(sys.argv[2], n), "rb").read() != open(os.path.join(sys.argv[3], n), "rb").read()]
if bad: sys.exit("members that differ: " + " ".join(bad[:10]))
PY
    cmp -s "$members/$edited" "$check/$edited" && fail "the installed $name does not hold the edit of $edited"
    (cd "$check" && "$ref_scntool" $options "$edited" >/dev/null) || fail "listing $edited"
    grep -q "$text" "$check/${edited%.bin}.txt" || fail "the installed $edited does not say $text"
    echo "installed $name: the edit of $edited, every other member byte-identical, nothing else in the folder"
}

# A fresh game folder with blanks in its name, holding a file of its own.
new_game_folder() {
    rm -rf "$1" && mkdir -p "$1"
    printf "the game's own file" >"$1/other.dat"
}

example=$work/example
mkdir "$example"
cp "$root"/examples/game/* "$example/"
(cd "$example" && "$ref_scntool" scene01.txt >/dev/null && rm scene01.txt)

# The example cycle for archive $1, extracted as $2 (from the work folder),
# installed with GAME_DIR naming a folder with blanks as $3 says: "trailing"
# (a separator at the end, the line after it a comment), "slashes" ('/'
# between folders) or "plain".
example_cycle() {
    name=$1
    t=$work/cycle
    rm -rf "$t" && mkdir -p "$t/pack" "$t/work"
    game="$t/The Game"
    new_game_folder "$game"
    cp "$example"/* "$t/pack/"
    [ "$name" = game.pac ] || mv "$t/pack/game.pac.list" "$t/pack/$name.list"
    pack "$t/pack" "$name"
    cp -r "$t/pack" "$t/members"
    game_dir=$(native "$game")
    case $3 in
        trailing) write_conf "$t" "$game_dir$(backslashed /)" "# the game's folder, above
" ;;
        slashes) write_conf "$t" "$(slashed "$game_dir")" ;;
        *) write_conf "$t" "$game_dir" ;;
    esac
    (cd "$t/work" && pactool extract "$2" >"$t/out" 2>&1) || { cat "$t/out"; fail "pactool extract $2"; }
    [ -f "$t/work/makefile" ] || { cat "$t/out"; fail "pactool extract $2 wrote no makefile"; }
    (cd "$t/work" && run_make decompile >"$t/out" 2>&1) || { cat "$t/out"; fail "make decompile ($name)"; }
    sed 's/The lantern is out again\./Die Laterne ist wieder aus./' "$t/work/scene01.txt" >"$t/edited"
    mv "$t/edited" "$t/work/scene01.txt"
    (cd "$t/work" && run_make >"$t/out" 2>&1) || { cat "$t/out"; fail "make ($name)"; }
    (cd "$t/work" && run_make install >"$t/out" 2>&1) || { cat "$t/out"; fail "make install ($name)"; }
    printf "%s, extracted as %s, GAME_DIR %s:\n" "$name" "$2" "$3"
    check_installed "$game" "$name" "$t/members" scene01.bin "Die Laterne ist wieder aus"
}

echo "== the example cycle"
example_cycle -game.pac "$(backslashed ../pack/-game.pac)" trailing
example_cycle "game+1.pac" "$(backslashed ../pack/game+1.pac)" slashes
example_cycle "game,1.pac" "$(backslashed ../pack/game,1.pac)" plain
example_cycle game.pac "$(native "$work/cycle/pack/game.pac")" plain

# make install with GAME_DIR $2 and the lines $3 after it ($1 says what is
# wrong) fails with a line naming makefile.conf and copies nothing.
wrong_game_dir() {
    t=$work/cycle
    write_conf "$t" "$2" "$3"
    new_game_folder "$t/The Game"
    status=0
    (cd "$t/work" && run_make install >"$t/out" 2>&1) || status=$?
    [ $status -ne 0 ] || { cat "$t/out"; fail "make install with GAME_DIR $1 succeeded"; }
    grep -q "makefile.conf" "$t/out" || { cat "$t/out"; fail "GAME_DIR $1: no line names makefile.conf"; }
    [ "$(ls -A "$t/The Game")" = other.dat ] || fail "GAME_DIR $1: something was copied"
    printf 'GAME_DIR %s: %s\n' "$1" "$(grep "makefile.conf" "$t/out" | head -n 1 | tr -d '\r')"
}

echo "== GAME_DIR wrong"
wrong_game_dir "no folder" "$(native "$work/cycle/No Game")" ""
wrong_game_dir "taking in the next line" "$(native "$work/cycle/The Game")\\" "CODE_PAGE = CP932
"

echo "== the translation cycle, CODE_PAGE = CP932, TRANSLATIONS = game.po"
t=$work/translation
mkdir -p "$t/pack" "$t/work"
game="$t/The Game"
new_game_folder "$game"
cp "$example"/* "$t/pack/"
japanese=""
if [ "$system" = linux ] || [ -n "$japanese_locale" ]; then
    # ー is 81 5B in CP932: the name check reads characters, not bytes.
    japanese="ゲーム.bin"
    cp "$t/pack/scene01.bin" "$t/pack/$japanese"
    echo "$japanese" >>"$t/pack/game.pac.list"
fi
sed '1s/$/ CP932/' "$t/pack/game.pac.list" >"$t/pack/list" && mv "$t/pack/list" "$t/pack/game.pac.list"
pack "$t/pack" game.pac --code-page=CP932
cp -r "$t/pack" "$t/members"
if [ "$system" = windows ]; then
    # The tools where Windows keeps programs, named with blanks, in quotes.
    mkdir -p "$WINEPREFIX/drive_c/Program Files/pactools"
    cp "$WINEPREFIX/drive_c/$tools_folder/"*.exe "$WINEPREFIX/drive_c/Program Files/pactools/"
    sed -e 's|^QVXPACTOOL *=.*|QVXPACTOOL = "C:/Program Files/pactools/pactool.exe"|' \
        -e 's|^QVXTOOL *=.*|QVXTOOL = "C:\\Program Files\\pactools\\scntool.exe"|' "$work/zip.conf" >"$t/conf" &&
        mv "$t/conf" "$work/zip.conf"
    # The Japanese locale gives Wine's programs CP932 as their ANSI code page.
    [ -n "$japanese" ] && export LC_ALL=ja_JP.UTF-8 LOCPATH="$japanese_locale"
fi
write_conf "$t" "$(native "$game")" "CODE_PAGE = CP932
TRANSLATIONS = game.po
"
cp "$t/pack/game.pac" "$t/work/"
(cd "$t/work" && pactool --code-page CP932 extract game.pac >"$t/out" 2>&1) || { cat "$t/out"; fail "extract"; }
[ -f "$t/work/makefile" ] || { cat "$t/out"; fail "extract wrote no makefile"; }
(cd "$t/work" && run_make decompile >"$t/out" 2>&1 && run_make pot >>"$t/out" 2>&1) ||
    { cat "$t/out"; fail "make decompile, make pot"; }
(cd "$t/work" && shell_copy game.pot game.po) || fail "copy game.pot game.po"
# The translator's editor: every string translated, Japanese in one.
python3 - "$t/work/game.po" <<'PY'
import re, sys
path = sys.argv[1]
text = open(path, encoding="utf-8").read()
def translate(m):
    source = m.group(1)
    if source == "":
        return m.group(0)
    target = "灯りがまた消えた。" if "lantern" in source else "[fr] " + source
    return 'msgid "%s"%smsgstr "%s"' % (source, m.group(2), target)
text = re.sub(r'msgid "(.*)"(\r?\n)msgstr ""', translate, text)
open(path, "w", encoding="utf-8", newline="").write(text)
PY
(cd "$t/work" && run_make status >"$t/out" 2>&1) || true
grep -q "0 untranslated; $(( ${japanese:+1} + 1 )) binar" "$t/out" || { cat "$t/out"; fail "make status before make"; }
(cd "$t/work" && run_make >"$t/out" 2>&1 && run_make status >>"$t/out" 2>&1 && run_make install >>"$t/out" 2>&1) ||
    { cat "$t/out"; fail "make, make status, make install"; }
[ "$system" = windows ] && export LC_ALL=C
check_installed "$game" game.pac "$t/members" "scene01.bin $japanese" "\[fr\] Mira: Take the north road" --code-page=CP932
python3 - "$work/check" scene01.bin $japanese <<'PY' || fail "a translation into Japanese is missing"
import os, sys
for name in sys.argv[2:]:
    if "灯りがまた消えた。".encode("cp932") not in open(os.path.join(sys.argv[1], name), "rb").read():
        sys.exit(name + " does not hold the Japanese translation")
PY
echo "the Japanese translation in CP932 in scene01.bin ${japanese:+and $japanese}"

echo "== a game of $scenarios scenarios"
t=$work/large
mkdir -p "$t/pack" "$t/work"
game="$t/The Game"
new_game_folder "$game"
# Small generated scenarios, each its own string: on Linux in one folder;
# under Wine in $folders folders, since Wine looks a new file's name up by
# reading its whole folder (it has no case-insensitive index, as Windows'
# file systems have), which for a folder of 20,000 files takes minutes.
folders=1
[ "$system" = windows ] && folders=100
i=1
while [ $i -le $folders ] && [ $folders -gt 1 ]; do
    mkdir -p "$t/pack/$(printf 'part_%03d' $i)" "$t/work/$(printf 'part_%03d' $i)"
    i=$((i + 1))
done
(cd "$t/pack" && awk -v n="$scenarios" -v folders=$folders 'BEGIN {
    print "0 0" > "game.pac.list"
    for (i = 1; i <= n; i++) {
        folder = folders > 1 ? sprintf("part_%03d", (i - 1) % folders + 1) : ""
        name = sprintf("scenario_%05d", i)
        path = folder == "" ? name : folder "/" name
        printf "Flags(1, 8)\n0100000002000000\nStart:\nPushB\t<Line %d of the game.>\nCall\t1(0)\nJmp\tStart\n", i > (path ".txt")
        close(path ".txt")
        print path ".txt" > "listings"
        print (folder == "" ? name : folder "\\" name) ".bin" > "game.pac.list"
    }
}' && "$ref_scntool" @listings >/dev/null && find . -name '*.txt' -exec rm {} + && rm -f listings) ||
    fail "generating the scenarios"
pack "$t/pack" game.pac
cp -r "$t/pack" "$t/members"
# One PO file for the whole game, as a team translating it keeps.
write_conf "$t" "$(native "$game")" "TRANSLATIONS = game.po
"
cp "$t/pack/game.pac" "$t/work/"
since=$(date +%s)
(cd "$t/work" && pactool -q extract game.pac >"$t/out" 2>&1) || { cat "$t/out"; fail "extract"; }
echo "extract: $(( $(date +%s) - since )) s"
for target in decompile pot; do
    since=$(date +%s)
    (cd "$t/work" && run_make $target >"$t/out" 2>&1) || { tail -n 5 "$t/out"; fail "make $target"; }
    echo "make $target: $(( $(date +%s) - since )) s"
done
[ "$(find "$t/work" -name '*.txt' | wc -l)" = "$scenarios" ] || fail "make decompile did not list every scenario"
[ "$(grep -c '^msgid "Line [0-9]* of the game\.' "$t/work/game.pot")" = "$scenarios" ] ||
    fail "game.pot does not hold every scenario's string"
(cd "$t/work" && shell_copy game.pot game.po) || fail "copy game.pot game.po"
since=$(date +%s)
status=0
(cd "$t/work" && run_make status >"$t/out" 2>&1) || status=$?
told=$(grep -c ': 1 strings: 0 translated, 0 fuzzy, 1 untranslated' "$t/out" || true)
echo "make status: $(( $(date +%s) - since )) s, status $status, $told scenarios told"
[ "$told" = "$scenarios" ] && [ $status -ne 0 ] || { tail -n 5 "$t/out"; fail "make status did not tell every scenario"; }
middle=$((scenarios / 2 + 1))
edited=$(printf 'scenario_%05d' $middle)
[ $folders -gt 1 ] && edited=$(printf 'part_%03d/%s' $(( (middle - 1) % folders + 1 )) "$edited")
sed "s/Line $middle of the game\./Line $middle, edited./" "$t/work/$edited.txt" >"$t/edited" && mv "$t/edited" "$t/work/$edited.txt"
since=$(date +%s)
(cd "$t/work" && run_make >"$t/out" 2>&1 && run_make install >>"$t/out" 2>&1) || { tail -n 5 "$t/out"; fail "make, make install"; }
echo "make, make install: $(( $(date +%s) - since )) s"
check_installed "$game" game.pac "$t/members" "$edited.bin" "Line $middle, edited."
echo "== the edit cycle works on $system"
