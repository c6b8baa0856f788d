#!/bin/sh
# Installs what is missing, builds the game and the example programs, and
# starts the game.
set -eu
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake --preset dev
cmake --build --preset dev -j2 --target cargame qelma_first qelma_hello qelma_shapes qelma_bounce
exec build/dev/game/cargame
