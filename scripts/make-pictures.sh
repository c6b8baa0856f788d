#!/bin/sh
# Makes the README's pictures from the scripts in docs/scripts/ with
# qelma-replay, so that they show what the code draws today: the car game's
# animated GIF and each example's last picture.
# Usage: scripts/make-pictures.sh [BUILD_DIR [OUT_DIR]]
#   BUILD_DIR  a Linux build tree (default build/dev, built first)
#   OUT_DIR    where the pictures go (default docs/pictures)
set -eu
cd "$(dirname "$0")/.."
build=${1:-build/dev}
out=${2:-docs/pictures}
if [ $# -eq 0 ]; then
    scripts/install-deps.sh
    cmake --preset dev >/dev/null
    cmake --build --preset dev -j2 --target cargame qelma-replay \
        qelma_first qelma_hello qelma_shapes qelma_bounce
fi
mkdir -p "$out"
replay="$build/replay/qelma-replay"
"$replay" --gif "$out/cargame.gif" docs/scripts/cargame.SCR -- "$build/game/cargame"
for example in first hello shapes bounce; do
    "$replay" --png "$out/qelma_$example.png" "docs/scripts/qelma_$example.SCR" \
        -- "$build/examples/qelma_$example"
done
echo "make-pictures: the pictures are in $out"
