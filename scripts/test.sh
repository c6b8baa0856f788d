#!/bin/sh
# Installs what is missing, builds everything and runs the whole test suite.
set -eu
cd "$(dirname "$0")/.."
scripts/install-deps.sh --fuzz
cmake --preset ci
cmake --build --preset ci -j2
ctest --preset ci -j2
cmake --preset asan
cmake --build --preset asan -j2
ctest --preset asan -j2
if command -v clang++ >/dev/null 2>&1; then
    cmake --preset fuzz
    cmake --build --preset fuzz -j2
    fuzz/run.sh 20
else
    echo "test.sh: fuzz stage skipped: it needs clang and libclang-rt-14-dev" >&2
fi

# Windows: the cross build and its whole test suite under Wine and Xvfb, in
# a Wine prefix made fresh for the run (its first start takes a while).
scripts/build-windows.sh
rm -rf build/windows/wineprefix
WINEPREFIX="$PWD/build/windows/wineprefix" WINEDEBUG=-all \
    tests/support/with_xvfb.sh sh -c 'wineboot -i && wineserver -w && ctest --preset windows'

# The browser: the game and the examples built as web pages, the game's
# parity frames against the GDI references and the game used as a user
# would, in Chromium, Firefox ESR and WebKitGTK; then the web kit as a
# learner installs and uses it (as root; skipped otherwise).
scripts/build-web.sh
node tests/web/run_page_tests.js build/web build/ci build/windows
status=0
tests/install/web_kit_test.sh build/web-kit || status=$?
[ "$status" -eq 0 ] || [ "$status" -eq 77 ]
