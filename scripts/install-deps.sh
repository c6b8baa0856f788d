#!/bin/sh
# Installs the Debian packages that building, running and testing need.
# Packages that are already present are skipped; nothing is installed by hand.
# Usage: scripts/install-deps.sh [--windows] [--bench] [--fuzz]
set -eu

# fonts-liberation2: the face of the library's texts (Arial's metrics);
# lintian, desktop-file-utils and xdotool: the Debian package tests.
pkgs="cmake g++ make pkg-config libgtest-dev libgmock-dev googletest qt6-base-dev
      libgl-dev fonts-dejavu-core fonts-liberation2 xvfb xauth x11-utils dpkg-dev file
      lintian desktop-file-utils xdotool"
for option in "$@"; do
    case "$option" in
    --windows) pkgs="$pkgs g++-mingw-w64-x86-64-posix wine64 wine nsis unzip" ;;
    --bench) pkgs="$pkgs libbenchmark-dev python3 libx11-6 libxtst6 bc" ;;
    --fuzz) pkgs="$pkgs clang libclang-rt-14-dev" ;;
    *) echo "install-deps: unknown option $option" >&2; exit 2 ;;
    esac
done

missing=""
for p in $pkgs; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing="$missing $p"
    fi
done

if [ -z "$missing" ]; then
    echo "install-deps: everything needed is installed"
    exit 0
fi

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
echo "install-deps: installing$missing"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
# shellcheck disable=SC2086
$SUDO apt-get install -y -qq --no-install-recommends $missing
