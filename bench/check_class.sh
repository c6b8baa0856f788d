#!/bin/sh
# How long qelma-check takes for a class: N submissions of the car game
# (each its own copy of the sources, one comment apart, so that nothing is
# built once for all), three 60-second scripts each, built and checked with
# -j of the machine's cores; sandboxed, then with --no-sandbox, in the same
# run.
#   bench/check_class.sh BUILD_DIR [N]     (N: 100)
set -eu
build=$(cd "$1" && pwd)
count=${2:-100}
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cmake --install "$build" --prefix "$work/prefix" >/dev/null
PKG_CONFIG_PATH=$(dirname "$(find "$work/prefix" -name qelma.pc | head -n 1)")
export PKG_CONFIG_PATH
check=$work/prefix/bin/qelma-check

mkdir -p "$work/task" "$work/class"
for name in morning noon evening; do cp "$here/game-60s.SCR" "$work/task/$name.SCR"; done
"$check" --make "$work/task" -- "$build/game/cargame" >/dev/null
i=0
while [ "$i" -lt "$count" ]; do
    learner=$(printf 'learner%03d' "$i")
    mkdir -p "$work/class/$learner/game"
    for f in controls game_loop game_state picture place_car main_linux no_display; do
        cp "$here/../game/$f.cpp" "$work/class/$learner/game/"
    done
    cp "$here"/../game/*.h "$work/class/$learner/game/"
    echo "// $learner" >>"$work/class/$learner/game/game_loop.cpp"
    i=$((i + 1))
done
for mode in sandboxed --no-sandbox; do
    flag=
    [ "$mode" = --no-sandbox ] && flag=--no-sandbox
    start=$(date +%s.%N)
    # shellcheck disable=SC2086
    "$check" $flag --csv "$work/$mode.csv" "$work/task" "$work"/class/* >/dev/null 2>&1 || true
    end=$(date +%s.%N)
    passed=$(tail -n +2 "$work/$mode.csv" | awk -F, '{ n += $2 } END { print n }')
    printf 'qelma-check, %s submissions of the game, 3 scripts of 60 s, %s: %.1f s, %s of %s checks passed\n' \
        "$count" "$mode" "$(echo "$end - $start" | bc -l)" "$passed" $((3 * count))
done
