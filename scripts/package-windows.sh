#!/bin/sh
# Makes the Windows installer and the zip of the same files (the car game and
# the kit for writing QELMA programs) from the MinGW-w64 cross build:
#   scripts/package-windows.sh
#   -> build/windows/package/qelma-<version>-win64.exe   (64-bit NSIS installer)
#      build/windows/package/qelma-<version>-win64.zip
# Installs what is missing first (MinGW-w64, Wine, NSIS).
set -eu
cd "$(dirname "$0")/.."
scripts/build-windows.sh
out=build/windows/package
cpack --config build/windows/CPackConfig.cmake -B "$out"
rm -rf "$out/_CPack_Packages"
ls -l "$out"/qelma-*-win64.exe "$out"/qelma-*-win64.zip
