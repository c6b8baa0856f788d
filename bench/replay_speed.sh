#!/bin/sh
# How much faster than real time qelma-replay turns a 60-second game (600
# periodic events of 100 ms, bench/game-60s.SCR) into an animated GIF, and
# into nothing but the last picture. Five runs each; the median is printed.
# Usage: bench/replay_speed.sh BUILD_DIR
set -eu
build=${1:?usage: bench/replay_speed.sh BUILD_DIR}
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
script=$here/game-60s.SCR
replay=$build/replay/qelma-replay
game=$build/game/cargame

median_of_runs() {
    for i in 1 2 3 4 5; do
        start=$(date +%s.%N)
        "$replay" "$@" "$script" -- "$game" >/dev/null
        end=$(date +%s.%N)
        echo "$end - $start" | bc
    done | sort -n | sed -n 3p
}
for output in gif png; do
    seconds=$(median_of_runs --$output "$work/out.$output")
    printf 'qelma-replay --%s, 60 s game: %.3f s, %.0fx real time\n' \
        "$output" "$seconds" "$(echo "60 / $seconds" | bc -l)"
done
printf 'GIF size: %s bytes\n' "$(wc -c <"$work/out.gif")"
