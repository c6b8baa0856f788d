#!/bin/sh
# Builds the Windows programs (cargame.exe, the examples and the tests) with
# the MinGW-w64 cross compiler, into build/windows. Installs what is missing
# first (the compiler, Wine, Xvfb) and builds FreeType for Windows
# (build/freetype-mingw, by install-deps.sh --windows).
#   scripts/build-windows.sh
#   xvfb-run -a wine build/windows/game/cargame.exe     # or plain wine on a desktop
set -eu
cd "$(dirname "$0")/.."
scripts/install-deps.sh --windows
cmake --preset windows
cmake --build --preset windows
