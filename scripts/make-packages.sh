#!/bin/sh
# Makes the two Debian packages, cargame and libqelma-dev, in a tree of its
# own configured for /usr with Debian's build flags, and prints their paths.
#   scripts/make-packages.sh [BUILD_DIR [CMAKE_OPTION...]]   (default build/deb)
# e.g. -DQELMA_PACKAGE_MAINTAINER="Name <address>" for the Maintainer field.
set -eu
cd "$(dirname "$0")/.."
build=${1:-build/deb}
[ $# -gt 0 ] && shift
if ! command -v dpkg-buildflags >/dev/null 2>&1 || ! command -v dpkg-shlibdeps >/dev/null 2>&1; then
    scripts/install-deps.sh
fi
# Debian's hardening flags (stack protector, fortified calls, read-only
# relocations, bind now) for C, C++ and the linker.
cflags=$(dpkg-buildflags --get CFLAGS) cppflags=$(dpkg-buildflags --get CPPFLAGS)
cxxflags=$(dpkg-buildflags --get CXXFLAGS) ldflags=$(dpkg-buildflags --get LDFLAGS)
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
    -DQELMA_BUILD_TESTS=OFF -DCMAKE_C_FLAGS="$cppflags $cflags" \
    -DCMAKE_CXX_FLAGS="$cppflags $cxxflags" -DCMAKE_EXE_LINKER_FLAGS="$ldflags" "$@" >/dev/null
cmake --build "$build" -j2
rm -f "$build"/*.deb
(cd "$build" && cpack -G DEB >cpack.log) || { cat "$build/cpack.log" >&2; exit 1; }
build=$(cd "$build" && pwd)
ls "$build"/cargame_*.deb "$build"/libqelma-dev_*.deb
