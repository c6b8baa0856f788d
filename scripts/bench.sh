#!/bin/sh
# Installs what is missing, builds the benchmarks optimised and runs them all.
# Figures go to standard output; docs/performance.md explains them.
set -eu
cd "$(dirname "$0")/.."
scripts/install-deps.sh --bench
cmake --preset bench
cmake --build --preset bench -j2
export QT_QPA_PLATFORM="${QT_QPA_PLATFORM:-offscreen}"
bin=build/bench/bench
$bin/qelma_bench --benchmark_repetitions=5 --benchmark_report_aggregates_only=true
for i in 1 2 3 4 5; do $bin/qelma_clock startup; done
$bin/qelma_clock ticks 300
$bin/qelma_clock cpu 20
$bin/qelma_memory 100000
# The headless platform: its ticks on the clock, and a program waiting for
# input that never comes.
QELMA_PLATFORM=headless $bin/qelma_clock ticks 300
QELMA_PLATFORM=headless $bin/qelma_clock idle 10
# The real program under Xvfb: animating with nobody touching it, and
# played back unpaced as a user starts it.
bench/xvfb_cpu.sh build/bench/game/cargame
bench/xvfb_playback.sh build/bench/game/cargame
# qelma-replay against real time.
bench/replay_speed.sh build/bench
# The game's page in Chromium, Firefox and WebKit: every browser process's
# processor time, measured from outside (QELMA_BROWSERS picks engines).
if [ -f build/web/game/cargame.html ] && [ -d tests/web/node_modules ]; then
    node bench/web_cpu.js build/web
else
    echo "bench/web_cpu.js: skipped, no web build (scripts/install-deps.sh --web, scripts/build-web.sh)"
fi
