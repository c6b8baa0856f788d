#!/bin/sh
# Installs a built QELMA tree into a fresh prefix and builds a program against
# it twice: with CMake (find_package(QELMA)) and with pkg-config. Both builds
# must link and the program must run to its QELMA_QUIT check. The README's
# first program is built the README's two ways as well, and the README must
# still show those recipes. Last, the uninstall target must leave the prefix
# without a file.
# Usage: run_install_test.sh BUILD_DIR CONSUMER_SOURCE_DIR WORK_DIR
# CC, CXX, CFLAGS, CXXFLAGS and LDFLAGS, when set, are the build tree's own
# compilers and flags, so that a sanitizer build links against its runtime.
set -eu

if [ $# -ne 3 ]; then
    echo "usage: $0 BUILD_DIR CONSUMER_SOURCE_DIR WORK_DIR" >&2
    exit 2
fi
build_dir=$1
consumer_src=$2
work=$3

export QT_QPA_PLATFORM="${QT_QPA_PLATFORM:-offscreen}"

rm -rf "$work"
mkdir -p "$work"
prefix="$work/prefix"

echo "== install into $prefix"
cmake --install "$build_dir" --prefix "$prefix" >"$work/install.log"
for f in include/qelma/qelma.h lib/libqelma.a lib/cmake/QELMA/QELMAConfig.cmake lib/pkgconfig/qelma.pc; do
    # GNUInstallDirs may choose lib64 or a multiarch folder; accept any of them.
    case "$f" in
    lib/*) found=$(find "$prefix" -path "*/${f#lib/}" | head -n 1) ;;
    *) found=$(test -e "$prefix/$f" && echo "$prefix/$f" || true) ;;
    esac
    if [ -z "$found" ]; then
        echo "install test: $f is missing from the installed tree" >&2
        exit 1
    fi
done

echo "== CMake consumer"
cmake -S "$consumer_src" -B "$work/cmake-build" -DCMAKE_PREFIX_PATH="$prefix" \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo >"$work/configure.log" 2>&1 || {
    cat "$work/configure.log" >&2
    exit 1
}
cmake --build "$work/cmake-build" -j2 >"$work/build.log" 2>&1 || {
    cat "$work/build.log" >&2
    exit 1
}
"$work/cmake-build/qelma_consumer"

echo "== pkg-config consumer"
pcdir=$(dirname "$(find "$prefix" -name qelma.pc | head -n 1)")
export PKG_CONFIG_PATH="$pcdir${PKG_CONFIG_PATH:+:$PKG_CONFIG_PATH}"
# qelma.pc finds its prefix from where it lies, so the install works as it is.
pc="pkg-config"
pc_include=$($pc --variable=includedir qelma)
if [ ! -f "$pc_include/qelma/qelma.h" ]; then
    echo "install test: qelma.pc points at $pc_include, which has no qelma/qelma.h" >&2
    exit 1
fi
# shellcheck disable=SC2046,SC2086
${CC:-cc} ${CFLAGS:-} -std=c11 -Wall -Wextra -Werror -o "$work/pc_consumer" \
    "$consumer_src/main.c" $($pc --cflags --libs qelma) ${LDFLAGS:-}
"$work/pc_consumer"

echo "== the README's first program"
src=$(cd "$consumer_src/../../.." && pwd)
first_cmake="$consumer_src/../first_program/CMakeLists.txt"
# The README shows the program, the CMake file and the pkg-config command
# word for word.
for shown in "$src/examples/first.c" "$first_cmake"; do
    while IFS= read -r line; do
        grep -qxF -- "$line" "$src/README.md" || {
            echo "install test: the README lacks the line '$line' of $shown" >&2
            exit 1
        }
    done <"$shown"
done
grep -qxF 'cc -o first first.c $(pkg-config --cflags --libs qelma)' "$src/README.md" || {
    echo "install test: the README lacks the pkg-config command for first.c" >&2
    exit 1
}
mkdir -p "$work/first"
cp "$src/examples/first.c" "$first_cmake" "$work/first/"
cmake -S "$work/first" -B "$work/first/build" -DCMAKE_PREFIX_PATH="$prefix" \
    >"$work/first.log" 2>&1 && cmake --build "$work/first/build" >>"$work/first.log" 2>&1 || {
    cat "$work/first.log" >&2
    exit 1
}
[ -x "$work/first/build/first" ] || { echo "install test: no first program" >&2; exit 1; }
# shellcheck disable=SC2046,SC2086
(cd "$work/first" && ${CC:-cc} ${CFLAGS:-} -o first first.c $(pkg-config --cflags --libs qelma) \
    ${LDFLAGS:-})
[ -x "$work/first/first" ] || { echo "install test: pkg-config built no first program" >&2; exit 1; }

echo "== uninstall"
cmake --build "$build_dir" --target uninstall >"$work/uninstall.log" 2>&1 || {
    cat "$work/uninstall.log" >&2
    exit 1
}
left=$(find "$prefix" ! -type d)
if [ -n "$left" ]; then
    echo "install test: left after uninstall:" >&2
    echo "$left" >&2
    exit 1
fi
for folder in include/qelma share/doc/cargame share/doc/libqelma-dev; do
    if [ -e "$prefix/$folder" ]; then
        echo "install test: $folder is left after uninstall" >&2
        exit 1
    fi
done

echo "install test: both consumers and the first program built and ran; uninstall removed all"
