#!/bin/sh
# Makes the README's pictures from the scripts in docs/scripts/ with
# qelma-replay, so that they show what the code draws today: the car game's
# animated GIF and each example's last picture.
# Usage: scripts/make-pictures.sh [BUILD_DIR [OUT_DIR]]
#   BUILD_DIR  a Linux build tree (default build/dev, built first), or a
#              Windows one (build/windows), whose qelma-replay.exe and
#              programs run under Wine
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
exe="" run=""
if [ -f "$build/replay/qelma-replay.exe" ]; then
    exe=.exe run=wine
fi
replay="$build/replay/qelma-replay$exe"
$run "$replay" --gif "$out/cargame.gif" docs/scripts/cargame.SCR -- "$build/game/cargame$exe"
for example in first hello shapes bounce; do
    $run "$replay" --png "$out/qelma_$example.png" "docs/scripts/qelma_$example.SCR" \
        -- "$build/examples/qelma_$example$exe"
done
echo "make-pictures: the pictures are in $out"
