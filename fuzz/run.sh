#!/bin/sh
# Runs the fuzz targets of build/fuzz, one at a time, each for SECONDS
# (default 20). New inputs go to a scratch corpus; the kept corpus under
# tests/data/fuzz/<target>/ only seeds the run. With --grow the run writes
# into the kept corpus instead and minimises it afterwards (-merge=1).
# An input that fails is kept as build/fuzz/crash-* (or leak-*, timeout-*).
# Usage: fuzz/run.sh [--grow] [SECONDS] [TARGET...]
set -eu
cd "$(dirname "$0")/.."
# Absolute paths throughout: the script target works in a directory of its own.
top="$PWD"
grow=0
if [ "${1:-}" = "--grow" ]; then grow=1; shift; fi
seconds="${1:-20}"
[ $# -gt 0 ] && shift
targets="${*:-fuzz_script fuzz_format fuzz_draw}"

export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS="abort_on_error=1:detect_leaks=1"
export LSAN_OPTIONS="suppressions=$top/tests/sanitizers/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"

run() {
    target="$1"
    shift
    nice "$top/build/fuzz/fuzz/$target" -max_len=4096 -print_final_stats=1 \
        -artifact_prefix="$top/build/fuzz/" "$@"
}

for t in $targets; do
    kept="$top/tests/data/fuzz/$t"
    mkdir -p "$kept"
    scratch="$(mktemp -d)"
    echo "fuzz: $t for ${seconds}s"
    if [ "$grow" = 1 ]; then
        run "$t" -max_total_time="$seconds" "$scratch" "$kept"
        # Only the inputs that add coverage stay in the kept corpus.
        merged="$(mktemp -d)"
        run "$t" -merge=1 "$merged" "$kept" "$scratch"
        rm -rf "$kept"
        mv "$merged" "$kept"
        echo "fuzz: $t keeps $(ls "$kept" | wc -l) inputs"
    else
        run "$t" -max_total_time="$seconds" "$scratch" "$kept"
    fi
    rm -rf "$scratch"
done
