#!/bin/sh
# Makes the two Debian packages with scripts/make-packages.sh and checks them
# without installing: the files each holds, their control fields, the menu
# entry, the copyright files with the zlib licence, and lintian (no error;
# its warnings are printed).
# Usage: check_packages.sh SOURCE_DIR WORK_DIR
set -eu

if [ $# -ne 2 ]; then
    echo "usage: $0 SOURCE_DIR WORK_DIR" >&2
    exit 2
fi
src=$1
work=$2
rm -rf "$work"
mkdir -p "$work"

"$src/scripts/make-packages.sh" "$work/build" >"$work/make.log" 2>&1 || {
    tail -n 40 "$work/make.log" >&2
    exit 1
}
game=$(find "$work/build" -maxdepth 1 -name 'cargame_*.deb')
dev=$(find "$work/build" -maxdepth 1 -name 'libqelma-dev_*.deb')
if [ -z "$game" ] || [ -z "$dev" ]; then
    echo "package test: expected cargame_*.deb and libqelma-dev_*.deb" >&2
    ls "$work/build" >&2
    exit 1
fi
ln -sf "$game" "$work/cargame.deb"
ln -sf "$dev" "$work/libqelma-dev.deb"
echo "packages: $game $dev"

failures=0
fail() {
    echo "package test: $*" >&2
    failures=$((failures + 1))
}

# has DEB PATH...: each path is in the package; lacks DEB PATH...: none is.
has() {
    deb=$1
    shift
    for path in "$@"; do
        dpkg-deb -c "$deb" | awk '{print $NF}' | grep -qx "\./usr/$path" ||
            fail "$(basename "$deb") lacks /usr/$path"
    done
}
lacks() {
    deb=$1
    shift
    for pattern in "$@"; do
        if dpkg-deb -c "$deb" | awk '{print $NF}' | grep -q "$pattern"; then
            fail "$(basename "$deb") holds $pattern"
        fi
    done
}
has "$game" games/cargame share/applications/cargame.desktop \
    share/icons/hicolor/scalable/apps/cargame.svg share/man/man6/cargame.6.gz \
    share/doc/cargame/copyright share/doc/cargame/changelog.gz
lacks "$game" 'libqelma\.a' 'qelma\.h' 'qelma\.pc' 'examples/'
multiarch=$(dpkg-architecture -qDEB_HOST_MULTIARCH)
has "$dev" include/qelma/qelma.h "lib/$multiarch/libqelma.a" \
    "lib/$multiarch/pkgconfig/qelma.pc" "lib/$multiarch/cmake/QELMA/QELMAConfig.cmake" \
    share/doc/libqelma-dev/copyright share/doc/libqelma-dev/changelog.gz \
    share/doc/libqelma-dev/examples/first.c share/doc/libqelma-dev/examples/hello.c \
    share/doc/libqelma-dev/examples/shapes.c share/doc/libqelma-dev/examples/bounce.c \
    bin/qelma-replay share/man/man1/qelma-replay.1.gz bin/qelma-check share/man/man1/qelma-check.1.gz
lacks "$dev" 'cargame' 'share/applications'

field() { dpkg-deb -f "$1" "$2"; }
[ "$(field "$game" Package)" = cargame ] || fail "game package is $(field "$game" Package)"
[ "$(field "$dev" Package)" = libqelma-dev ] || fail "dev package is $(field "$dev" Package)"
[ "$(field "$game" Section)" = games ] || fail "cargame is in section $(field "$game" Section)"
[ "$(field "$dev" Section)" = libdevel ] || fail "libqelma-dev is in section $(field "$dev" Section)"

# The game depends on the Qt runtime, FreeType and the C and C++ runtimes
# (its faces are built in); nothing for developers.
game_depends=$(field "$game" Depends)
for dep in libfreetype6 libqt6widgets6 libqt6gui6 libqt6core6 libc6 libstdc++6; do
    case ", $game_depends," in
    *", $dep "* | *", $dep,"*) ;;
    *) fail "cargame's Depends lacks $dep: $game_depends" ;;
    esac
done
echo "$game_depends" | tr ',' '\n' | sed 's/^ *//; s/ .*//' | while read -r dep; do
    case "$dep" in
    libfreetype6 | libqt6* | libc6 | libstdc++6 | libgcc-s1) ;;
    *) echo "package test: cargame depends on $dep" >&2; exit 1 ;;
    esac
done || failures=$((failures + 1))
# The library's developers get Qt; qelma-replay brings the libraries it runs on.
dev_depends=$(field "$dev" Depends)
case "$dev_depends" in
"qt6-base-dev, libfreetype-dev,"*libgif7*libpng16-16*) ;;
*) fail "libqelma-dev depends on '$dev_depends'" ;;
esac
[ "$(field "$dev" Recommends)" = bubblewrap ] || fail "libqelma-dev recommends '$(field "$dev" Recommends)'"

# Descriptions: a synopsis and an extended part of several lines, none
# longer than 80 characters.
for deb in "$game" "$dev"; do
    description=$(field "$deb" Description)
    lines=$(printf '%s\n' "$description" | wc -l)
    [ "$lines" -ge 5 ] || fail "$(basename "$deb") has a description of $lines lines"
    if printf '%s\n' "$description" | awk 'length > 80 { found = 1 } END { exit !found }'; then
        fail "$(basename "$deb") has description lines over 80 characters"
    fi
done

# Both carry the zlib licence, word for word, in Debian's copyright format,
# and the licence of the faces built into them.
dpkg-deb -x "$game" "$work/root"
dpkg-deb -x "$dev" "$work/root"
for package in cargame libqelma-dev; do
    copyright="$work/root/usr/share/doc/$package/copyright"
    grep -qx 'License: Zlib' "$copyright" || fail "$package's copyright names no zlib licence"
    # The licence body, unindented, equals LICENSE without its first two lines.
    awk '/^License: Zlib$/ { on = 1; body = ""; next } /^$/ { on = 0 } on { body = body $0 "\n" }
         END { printf "%s", body }' \
        "$copyright" | sed 's/^ //; s/^\.$//' >"$work/$package.licence"
    tail -n +3 "$src/LICENSE" | diff -u - "$work/$package.licence" >&2 ||
        fail "$package's copyright does not hold the LICENSE text"
    grep -qx 'License: SIL-OFL-1.1' "$copyright" || fail "$package's copyright lacks the faces' licence"
    gzip -t "$work/root/usr/share/doc/$package/changelog.gz" || fail "$package's changelog.gz is broken"
done

desktop="$work/root/usr/share/applications/cargame.desktop"
grep -qx 'Exec=cargame' "$desktop" || fail "desktop entry does not run cargame"
grep -qx 'Icon=cargame' "$desktop" || fail "desktop entry does not name the cargame icon"
grep -qx 'Name=QELMA Car Game' "$desktop" || fail "desktop entry has another name"
grep -qx 'Categories=Game;.*' "$desktop" || fail "desktop entry is not in the Game category"
if command -v desktop-file-validate >/dev/null 2>&1; then
    desktop-file-validate "$desktop" || fail "desktop-file-validate rejects the entry"
fi
[ -x "$work/root/usr/games/cargame" ] || fail "cargame is not executable"

# lintian: errors fail the test; warnings are shown.
command -v lintian >/dev/null 2>&1 || fail "lintian is not installed (scripts/install-deps.sh installs it)"
lintian --tag-display-limit 0 "$game" "$dev" >"$work/lintian.txt" 2>&1 || true
grep -v 'running with root privileges' "$work/lintian.txt" || true
if grep -q '^E: ' "$work/lintian.txt"; then
    fail "lintian reports errors"
fi
if ! grep -q '^[EW]: ' "$work/lintian.txt"; then
    echo "lintian: no errors, no warnings"
fi

if [ "$failures" -ne 0 ]; then
    exit 1
fi
echo "package test: cargame and libqelma-dev hold what they should; lintian finds no error"
