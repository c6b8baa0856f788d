#!/bin/sh
# Installs a built QELMA tree into a fresh prefix and builds a program against
# it twice: with CMake (find_package(QELMA)) and with pkg-config. Both builds
# must link and the program must run to its QELMA_QUIT check.
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

echo "install test: both consumers built and ran"
