#!/bin/sh
# How much faster than real time qelma-replay turns a 60-second game (600
# periodic events of 100 ms, bench/game-60s.SCR) into an animated GIF, and
# into nothing but the last picture; and how many events a second it plays
# of 20 000 periodic events with no outputs at all (bench/xvfb_playback.sh
# plays the same live). Five runs each; the median is printed.
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
        "$replay" "$@" -- "$game" >/dev/null
        end=$(date +%s.%N)
        echo "$end - $start" | bc
    done | sort -n | sed -n 3p
}
for output in gif png; do
    seconds=$(median_of_runs --$output "$work/out.$output" "$script")
    printf 'qelma-replay --%s, 60 s game: %.3f s, %.0fx real time\n' \
        "$output" "$seconds" "$(echo "60 / $seconds" | bc -l)"
done
printf 'GIF size: %s bytes\n' "$(wc -c <"$work/out.gif")"
events=20000
i=0
while [ "$i" -lt "$events" ]; do echo "QELMA_PERIODIC(1);"; i=$((i + 1)); done >"$work/periodic.SCR"
seconds=$(median_of_runs "$work/periodic.SCR")
printf 'qelma-replay, %d periodic events, no outputs: %.3f s, %.0f events/s\n' \
    "$events" "$seconds" "$(echo "$events / $seconds" | bc -l)"
