#!/bin/sh
# The processor time of the real game animating with nobody touching it, as
# a user runs it: cargame under Xvfb, measured from outside (/proc) over
# SECONDS after a settling pause. Prints the game's share of one core, and
# the X server's. Usage: bench/xvfb_cpu.sh [path/to/cargame] [seconds]
set -eu
game=$(realpath "${1:-build/bench/game/cargame}")
seconds=${2:-20}
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
cat > "$dir/run.sh" <<INNER
#!/bin/sh
cd "$dir"
# Clock ticks of user and system time of a process.
ticks() { awk '{ print \$14 + \$15 }' /proc/\$1/stat; }
env -u QT_QPA_PLATFORM "$game" 2>/dev/null &
pid=\$!
server=\$(pgrep -n Xvfb)
sleep 3
g0=\$(ticks \$pid); x0=\$(ticks \$server)
sleep $seconds
g1=\$(ticks \$pid); x1=\$(ticks \$server)
kill \$pid
hz=\$(getconf CLK_TCK)
echo "\$g0 \$g1 \$x0 \$x1" | awk -v hz=\$hz -v s=$seconds '{
    printf "cargame animating under Xvfb for %d s: %.2f %% of one core (the X server %.2f %%)\n",
        s, 100 * (\$2 - \$1) / hz / s, 100 * (\$4 - \$3) / hz / s }'
INNER
chmod +x "$dir/run.sh"
xvfb-run -a -s "-screen 0 1280x1024x24" "$dir/run.sh"
