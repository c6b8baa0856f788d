#!/bin/sh
# How long qelma-check takes for a class: N submissions of the car game,
# three 60-second scripts each, built and checked with -j of the machine's
# cores. Each learner's game_loop.cpp is the learner's own (a function of
# its own added), the other files as the class was given them: checked
# sandboxed, then with --no-sandbox, in the same run. Then a class in which
# every file of every learner is its own, so that nothing is built once for
# all.
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

mkdir -p "$work/task"
for name in morning noon evening; do cp "$here/game-60s.SCR" "$work/task/$name.SCR"; done
"$check" --make "$work/task" -- "$build/game/cargame" >/dev/null
# class NAME FILES: the class whose learners each changed FILES.
make_class() {
    i=0
    while [ "$i" -lt "$count" ]; do
        learner=$(printf 'learner%03d' "$i")
        mkdir -p "$work/$1/$learner/game"
        for f in controls game_loop game_state picture place_car main_linux no_display; do
            cp "$here/../game/$f.cpp" "$work/$1/$learner/game/"
        done
        cp "$here"/../game/*.h "$work/$1/$learner/game/"
        for f in $2; do
            echo "int ${f}_of_$learner() { return $i; }" >>"$work/$1/$learner/game/$f.cpp"
        done
        i=$((i + 1))
    done
}
make_class given game_loop
make_class own "controls game_loop game_state picture place_car main_linux no_display"
for mode in given given--no-sandbox own; do
    flag=
    [ "$mode" = given--no-sandbox ] && flag=--no-sandbox
    start=$(date +%s.%N)
    # shellcheck disable=SC2086
    "$check" $flag --csv "$work/$mode.csv" "$work/task" "$work/${mode%--no-sandbox}"/* >/dev/null 2>&1 || true
    end=$(date +%s.%N)
    passed=$(tail -n +2 "$work/$mode.csv" | awk -F, '{ n += $2 } END { print n }')
    case $mode in
    given) what="game_loop.cpp their own, sandboxed" ;;
    given--no-sandbox) what="game_loop.cpp their own, --no-sandbox" ;;
    own) what="every file their own, sandboxed" ;;
    esac
    printf 'qelma-check, %s submissions of the game (%s), 3 scripts of 60 s: %.1f s, %s of %s checks passed\n' \
        "$count" "$what" "$(echo "$end - $start" | bc -l)" "$passed" $((3 * count))
done
