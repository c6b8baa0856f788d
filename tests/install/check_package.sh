#!/bin/sh
# Makes the Debian package of a build tree with CPack and checks what it
# holds: the game with its menu entry and icon, the library's files, and the
# dependencies that dpkg-shlibdeps found plus the font.
# Usage: check_package.sh BUILD_DIR WORK_DIR
set -eu

if [ $# -ne 2 ]; then
    echo "usage: $0 BUILD_DIR WORK_DIR" >&2
    exit 2
fi
build_dir=$1
work=$2
rm -rf "$work"
mkdir -p "$work"

cpack --config "$build_dir/CPackConfig.cmake" -G DEB -B "$work" >"$work/cpack.log" 2>&1 || {
    cat "$work/cpack.log" >&2
    exit 1
}
deb=$(find "$work" -maxdepth 1 -name 'qelma_*.deb' | head -n 1)
if [ -z "$deb" ]; then
    echo "package test: cpack made no qelma_*.deb" >&2
    cat "$work/cpack.log" >&2
    exit 1
fi
echo "package: $deb"

failures=0
fail() {
    echo "package test: $*" >&2
    failures=$((failures + 1))
}

dpkg-deb -c "$deb" | awk '{print $NF}' >"$work/files.txt"
for path in bin/cargame share/applications/cargame.desktop \
    share/icons/hicolor/scalable/apps/cargame.svg include/qelma/qelma.h \
    libqelma.a pkgconfig/qelma.pc cmake/QELMA/QELMAConfig.cmake; do
    grep -q "/$path\$" "$work/files.txt" || fail "no $path in the package"
done

field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Package)" = "qelma" ] || fail "package name is '$(field Package)'"
[ "$(field Maintainer)" = "QELMA developers" ] || fail "maintainer is '$(field Maintainer)'"
depends=$(field Depends)
for dep in fonts-dejavu-core libqt6widgets6 libqt6gui6 libqt6core6 libc6 libstdc++6; do
    case ", $depends," in
    *", $dep "* | *", $dep,"*) ;;
    *) fail "Depends lacks $dep: $depends" ;;
    esac
done

# The menu entry starts the installed program and names the installed icon.
dpkg-deb -x "$deb" "$work/root"
desktop=$(find "$work/root" -name cargame.desktop | head -n 1)
grep -qx 'Exec=cargame' "$desktop" || fail "desktop entry does not run cargame"
grep -qx 'Icon=cargame' "$desktop" || fail "desktop entry does not name the cargame icon"
grep -qx 'Name=QELMA Car Game' "$desktop" || fail "desktop entry has another name"
grep -qx 'Categories=Game;.*' "$desktop" || fail "desktop entry is not in the Game category"
if command -v desktop-file-validate >/dev/null 2>&1; then
    desktop-file-validate "$desktop" || fail "desktop-file-validate rejects the entry"
fi
cargame=$(find "$work/root" -path '*/bin/cargame' | head -n 1)
[ -x "$cargame" ] || fail "bin/cargame is not executable"

if [ "$failures" -ne 0 ]; then
    exit 1
fi
echo "package test: the package holds the game, its menu entry, its icon and the library"
