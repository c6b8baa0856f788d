#!/bin/sh
# Runs a command with a virtual X server of its own and returns its status.
# Xvfb chooses a free display itself and says which once it accepts
# connections (-displayfd), so runs started side by side never pick the same
# display, which `xvfb-run -a` can when two of them look for a free one at
# once. The server has no cookie: only this machine's local clients reach it.
set -u
[ $# -gt 0 ] || { echo "usage: with_xvfb.sh COMMAND [ARG...]" >&2; exit 2; }
command -v Xvfb >/dev/null || { echo "with_xvfb.sh: Xvfb is in the Debian package xvfb" >&2; exit 3; }
dir=$(mktemp -d -t with_xvfb.XXXXXX)
Xvfb -displayfd 3 -nolisten tcp -screen 0 1280x1024x24 3>"$dir/display" 2>"$dir/xvfb.err" &
server=$!
tries=0
until [ -s "$dir/display" ]; do
    if ! kill -0 $server 2>/dev/null || [ $tries -ge 200 ]; then
        echo "with_xvfb.sh: the virtual X server did not start:" >&2
        cat "$dir/xvfb.err" >&2
        kill $server 2>/dev/null
        rm -rf "$dir"
        exit 75
    fi
    sleep 0.05
    tries=$((tries + 1))
done
DISPLAY=:$(tr -d '\n' <"$dir/display")
export DISPLAY
unset XAUTHORITY WAYLAND_DISPLAY
status=0
"$@" || status=$?
kill $server 2>/dev/null
wait $server 2>/dev/null
rm -rf "$dir"
exit $status
