#!/bin/sh
# Builds the car game and the examples as web pages with Emscripten, into
# build/web (game/cargame.html, examples/qelma_*.html). Installs what is
# missing first.
#   scripts/build-web.sh
#   python3 -m http.server -d build/web 8000    # then open http://localhost:8000/game/cargame.html
set -eu
cd "$(dirname "$0")/.."
scripts/install-deps.sh --web
# Debian's emcc finds its JavaScript parser through NODE_PATH when node is
# not Debian's own.
NODE_PATH="${NODE_PATH:-/usr/share/nodejs}"
export NODE_PATH
cmake --preset web
cmake --build --preset web
