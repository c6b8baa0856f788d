#!/bin/sh
# Unpaced playback of the real game as a user runs it: cargame under Xvfb, a
# QELMA.SCR of 20 000 periodic events, Ctrl+P pressed on the keyboard. Prints
# the events played per second (from the key press until the player has read
# the whole file). Usage: bench/xvfb_playback.sh [path/to/cargame] [events]
set -eu
game=$(realpath "${1:-build/bench/game/cargame}")
events=${2:-20000}
here=$(dirname "$(realpath "$0")")
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
i=0
while [ "$i" -lt "$events" ]; do echo "QELMA_PERIODIC(1);"; i=$((i + 1)); done > "$dir/QELMA.SCR"
size=$(stat -c %s "$dir/QELMA.SCR")
cat > "$dir/run.sh" <<INNER
#!/bin/sh
cd "$dir"
env -u QT_QPA_PLATFORM "$game" 2>/dev/null &
pid=\$!
sleep 2
start=\$(date +%s.%N)
python3 "$here/press_keys.py" Control_L p
# Done when the file's reading position reaches its end (or the file closes).
seen=0
while :; do
    fd=\$(ls -l /proc/\$pid/fd 2>/dev/null | awk '/QELMA.SCR/ {print \$9}')
    if [ -n "\$fd" ]; then
        seen=1
        pos=\$(awk '/^pos:/ {print \$2}' /proc/\$pid/fdinfo/\$fd 2>/dev/null || echo 0)
        [ "\${pos:-0}" -ge "$size" ] && break
    elif [ \$seen = 1 ]; then
        break
    fi
    now=\$(date +%s.%N)
    if [ \$(echo "\$now - \$start > 120" | bc) = 1 ]; then echo "timed out" >&2; kill \$pid; exit 1; fi
    sleep 0.01
done
end=\$(date +%s.%N)
kill \$pid
echo "\$start \$end" | awk -v n=$events '{ printf "%d events in %.2f s: %.0f events/s\n", n, \$2 - \$1, n / (\$2 - \$1) }'
INNER
chmod +x "$dir/run.sh"
xvfb-run -a -s "-screen 0 1280x1024x24" "$dir/run.sh"
