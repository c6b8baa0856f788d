#!/bin/sh
# Installs the Debian packages that building, running and testing need.
# Packages that are already present are skipped; nothing is installed by hand.
# (--windows: clang, lld and llvm make and try the import library for Visual
# Studio; libz-mingw-w64-dev is the zlib of qelma-replay.exe's pictures.)
# Usage: scripts/install-deps.sh [--windows] [--bench] [--fuzz] [--web]
set -eu

# fonts-liberation2 and python3-fonttools: the library's faces (Liberation
# Sans, with Arial's metrics, and Liberation Mono), cut and built in;
# libgif-dev and libpng-dev: the pictures and GIFs of qelma-replay;
# lintian, desktop-file-utils and xdotool: the Debian package tests;
# libfreetype-dev: the glyphs of the Linux build, and the version that
# scripts/build-freetype.sh builds for the page and for Windows from
# Debian's source.
web=0
windows=0
pkgs="cmake g++ make pkg-config libgtest-dev libgmock-dev googletest qt6-base-dev
      libgl-dev fonts-dejavu-core fonts-liberation2 xvfb xauth x11-utils dpkg-dev file
      lintian desktop-file-utils xdotool libgif-dev libpng-dev libfreetype-dev python3-fonttools
      bubblewrap"
for option in "$@"; do
    case "$option" in
    --windows)
        pkgs="$pkgs g++-mingw-w64-x86-64-posix wine64 wine nsis unzip clang lld llvm libz-mingw-w64-dev"
        windows=1 ;;
    --bench) pkgs="$pkgs libbenchmark-dev python3 libx11-6 libxtst6 bc" ;;
    --fuzz) pkgs="$pkgs clang libclang-rt-14-dev" ;;
    --web)
        # Emscripten and the browsers the page tests drive (Chromium,
        # Firefox ESR, and WebKitGTK's MiniBrowser through WebKitWebDriver);
        # node and npm from Debian unless the machine already has its own.
        pkgs="$pkgs emscripten chromium firefox-esr webkit2gtk-driver"
        command -v node >/dev/null 2>&1 || pkgs="$pkgs nodejs"
        command -v npm >/dev/null 2>&1 || pkgs="$pkgs npm"
        web=1 ;;
    *) echo "install-deps: unknown option $option" >&2; exit 2 ;;
    esac
done


# The JavaScript the web build needs, exactly as the lockfile pins it: the
# page tests' drivers.
npm_ci() {
    if [ "$web" = 1 ]; then
        (cd "$(dirname "$0")/../tests/web" && npm ci --no-audit --no-fund --loglevel=error)
    fi
}

# FreeType for the page and for the Windows build (MinGW-w64), giflib for
# the page's GIF, and giflib and libpng for qelma-replay.exe, built from
# Debian's sources (quick when they are already built).
freetype() {
    if [ "$web" = 1 ]; then
        "$(dirname "$0")/build-freetype.sh" web
        "$(dirname "$0")/build-replay-libs.sh" web
    fi
    if [ "$windows" = 1 ]; then
        "$(dirname "$0")/build-freetype.sh" mingw
        "$(dirname "$0")/build-replay-libs.sh" mingw
    fi
}

missing=""
for p in $pkgs; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing="$missing $p"
    fi
done

if [ -z "$missing" ]; then
    echo "install-deps: everything needed is installed"
    npm_ci
    freetype
    exit 0
fi

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
echo "install-deps: installing$missing"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
# shellcheck disable=SC2086
$SUDO apt-get install -y -qq --no-install-recommends $missing
npm_ci
freetype
