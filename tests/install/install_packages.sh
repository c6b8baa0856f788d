#!/bin/sh
# Installs the packages that check_packages.sh made, as a user would, and
# uses them: cargame runs under Xvfb until Ctrl+Q ends it, a program is built
# against libqelma-dev with CMake and with pkg-config and runs, the installed
# examples compile, and qelma-replay replays the game and an example without
# a display. Then both packages are purged and every file they put in
# place must be gone.
#
# Installing needs root; exits 77 (skipped) for other users, and when either
# package is installed already (the machine's own copy is left alone).
# Usage: install_packages.sh SOURCE_DIR WORK_DIR   (WORK_DIR of check_packages.sh)
set -eu

if [ $# -ne 2 ]; then
    echo "usage: $0 SOURCE_DIR WORK_DIR" >&2
    exit 2
fi
src=$1
work=$2
if [ "$(id -u)" -ne 0 ]; then
    echo "package install test: skipped, installing packages needs root"
    exit 77
fi
for package in cargame libqelma-dev; do
    if dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
        echo "package install test: skipped, $package is installed on this machine already"
        exit 77
    fi
done
game=$(readlink -f "$work/cargame.deb")
dev=$(readlink -f "$work/libqelma-dev.deb")
[ -f "$game" ] && [ -f "$dev" ] || {
    echo "package install test: no packages in $work" >&2
    exit 1
}

apt() {
    DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=600 -y -qq \
        --no-install-recommends "$@"
}
purge() {
    apt purge cargame libqelma-dev >"$work/purge.log" 2>&1 || cat "$work/purge.log" >&2
}

failures=0
fail() {
    echo "package install test: $*" >&2
    failures=$((failures + 1))
}

echo "== install"
apt install "$game" "$dev" >"$work/install.log" 2>&1 || {
    cat "$work/install.log" >&2
    purge
    exit 1
}
trap purge EXIT
dpkg -L cargame libqelma-dev | sort -u >"$work/installed.txt"

echo "== cargame without a desktop names its installed command"
PATH=/usr/local/bin:/usr/bin:/bin:/usr/games
export PATH
status=0
env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM cargame 2>"$work/no-display.txt" || status=$?
[ "$status" -eq 1 ] || fail "cargame without a desktop ended with $status"
grep -qx '    xvfb-run -a cargame' "$work/no-display.txt" || {
    cat "$work/no-display.txt" >&2
    fail "the no-desktop message does not say 'xvfb-run -a cargame'"
}

echo "== cargame under Xvfb, ended with Ctrl+Q"
mkdir -p "$work/play"
# Starts the game, waits (bounded) for its drawing window, gives it the focus
# and types Ctrl+Q; the game's exit status is the result.
cat >"$work/play.sh" <<'PLAY'
cargame 2>"$1/cargame.err" &
pid=$!
window=""
tries=0
while [ -z "$window" ] && [ $tries -lt 300 ] && kill -0 $pid 2>/dev/null; do
    window=$(xdotool search --name '^QELMA Graphics$' 2>/dev/null | head -n 1)
    [ -n "$window" ] || sleep 0.1
    tries=$((tries + 1))
done
if [ -z "$window" ]; then
    echo "no QELMA Graphics window" >&2
    kill $pid 2>/dev/null
    wait $pid
    exit 1
fi
xdotool windowfocus --sync "$window" key --clearmodifiers ctrl+q
wait $pid
PLAY
# An X server of the test's own (its display chosen by the server, so a
# test beside it never shares it).
status=0
(cd "$work/play" && env -u XDG_RUNTIME_DIR -u QT_QPA_PLATFORM \
    "$src/tests/support/with_xvfb.sh" timeout 120 sh "$work/play.sh" "$work") || status=$?
[ "$status" -eq 0 ] || fail "cargame under Xvfb ended with status $status"
if [ -s "$work/cargame.err" ]; then
    echo "cargame wrote to stderr:" >&2
    cat "$work/cargame.err" >&2
    fail "cargame is not quiet on a machine without a session"
fi

echo "== a program built against libqelma-dev"
export QT_QPA_PLATFORM=offscreen
cmake -S "$src/tests/install/consumer" -B "$work/consumer" >"$work/consumer.log" 2>&1 &&
    cmake --build "$work/consumer" >>"$work/consumer.log" 2>&1 &&
    "$work/consumer/qelma_consumer" || {
    cat "$work/consumer.log" >&2
    fail "the CMake consumer did not build or run against /usr"
}
# shellcheck disable=SC2046
cc -std=c11 -Wall -Wextra -Werror -o "$work/pc_consumer" "$src/tests/install/consumer/main.c" \
    $(pkg-config --cflags --libs qelma) && "$work/pc_consumer" ||
    fail "the pkg-config consumer did not build or run against /usr"
for example in /usr/share/doc/libqelma-dev/examples/*.c; do
    # shellcheck disable=SC2046
    cc -std=c11 -Wall -Wextra -Werror -o "$work/example" "$example" \
        $(pkg-config --cflags --libs qelma) || fail "$example does not build"
done

echo "== qelma-replay, installed, on the installed game and on a program built here"
# No display at all: the command needs none.
(cd "$work" && env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM \
    qelma-replay --gif game.gif "$src/docs/scripts/cargame.SCR" -- cargame) ||
    fail "qelma-replay did not replay the installed cargame"
[ "$(head -c 6 "$work/game.gif" 2>/dev/null)" = GIF89a ] || fail "qelma-replay wrote no GIF"
# shellcheck disable=SC2046
cc -std=c11 -o "$work/shapes" /usr/share/doc/libqelma-dev/examples/shapes.c \
    $(pkg-config --cflags --libs qelma) &&
    (cd "$work" && env -u DISPLAY qelma-replay --expect "$src/docs/pictures/qelma_shapes.png" \
        "$src/docs/scripts/qelma_shapes.SCR" -- ./shapes) ||
    fail "the shapes example built against /usr does not draw the README's picture"

echo "== purge"
trap - EXIT
apt purge cargame libqelma-dev >"$work/purge.log" 2>&1 || {
    cat "$work/purge.log" >&2
    fail "apt-get purge failed"
}
for package in cargame libqelma-dev; do
    if dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'installed'; then
        fail "$package is still installed"
    fi
done
# Every file the packages put in place is gone (folders may be shared).
while read -r path; do
    if [ -f "$path" ] || [ -L "$path" ]; then
        fail "$path is left after the purge"
    fi
done <"$work/installed.txt"

if [ "$failures" -ne 0 ]; then
    exit 1
fi
echo "package install test: both packages installed, ran and were removed cleanly"
