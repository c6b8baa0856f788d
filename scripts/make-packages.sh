#!/bin/sh
# Makes the Debian packages in a tree of their own configured for /usr, and
# prints their paths: cargame and libqelma-dev (Debian's build flags), and
# with --web also libqelma-web-dev, the web kit (built with Emscripten in
# BUILD_DIR/web); --web-only makes the web kit alone.
#   scripts/make-packages.sh [--web|--web-only] [BUILD_DIR [CMAKE_OPTION...]]   (default build/deb)
# e.g. -DQELMA_PACKAGE_MAINTAINER="Name <address>" for the Maintainer field.
set -eu
cd "$(dirname "$0")/.."
desktop=1 web=0
case "${1:-}" in
--web) web=1; shift ;;
--web-only) web=1 desktop=0; shift ;;
esac
build=${1:-build/deb}
[ $# -gt 0 ] && shift
mkdir -p "$build"
build=$(cd "$build" && pwd)

if [ "$web" = 1 ]; then
    scripts/install-deps.sh --web >/dev/null
    NODE_PATH="${NODE_PATH:-/usr/share/nodejs}"
    export NODE_PATH
    emcmake cmake -S . -B "$build/web" -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
        -DQELMA_BUILD_TESTS=OFF -DQELMA_BUILD_WEB_PAGE_TESTS=OFF "$@" >/dev/null
    cmake --build "$build/web" -j2
    rm -f "$build"/web/*.deb
    (cd "$build/web" && cpack -G DEB >cpack.log) || { cat "$build/web/cpack.log" >&2; exit 1; }
fi
if [ "$desktop" = 0 ]; then
    ls "$build"/web/libqelma-web-dev_*.deb
    exit 0
fi
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
ls "$build"/cargame_*.deb "$build"/libqelma-dev_*.deb
[ "$web" = 0 ] || ls "$build"/web/libqelma-web-dev_*.deb
