#!/bin/sh
# A class of twenty-one submissions, hostile ones among them, checked by
# qelma-check from an installed kit: each gets the result of the table below,
# and nothing gets out (no file outside, no connection to the test's server,
# no process left, no temporary folder left).
#   check_class.sh BUILD_DIR SOURCE_DIR WORK_DIR
set -eu
build=$1 here=$2 work=$3
rm -rf "$work"
mkdir -p "$work/class" "$work/task" "$work/home"
fail() {
    echo "FAIL: $*" >&2
    exit 1
}
prefix=$work/prefix
cmake --install "$build" --prefix "$prefix" >"$work/install.log" || fail "the kit did not install"
PKG_CONFIG_PATH=$(dirname "$(find "$prefix" -name qelma.pc | head -n 1)")
export PKG_CONFIG_PATH
check=$prefix/bin/qelma-check
port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')

# learner behaviour expected (the numbers are learner.c's)
table="amy 0 passed
ben 0 passed
cat 1 differs
dan 2 crashed
eve 3 timeout
fay 4 memory
gus 5 not-qelma
hal 6 ended-early
ida 7 ended-early
jon 8 ended-early
kim 9 passed
lou 10 passed
max 11 passed
ned 12 passed
ora 13 passed
pam 14 timeout
rex - build-failed
sue - not-qelma
tom - build-failed
uma prog passed
val 0 differs"
echo "$table" | while read -r learner behaviour expected; do
    case "$behaviour" in
    -) ;;
    *)
        mkdir -p "$work/class/$learner"
        cp "$here/learner.c" "$here/answer.c" "$work/class/$learner/"
        b=$behaviour
        [ "$b" = prog ] && b=0
        printf '#define BEHAVIOUR %s\n#define TEACHER_HOME "%s"\n#define SERVER_PORT %s\n' \
            "$b" "$work/home" "$port" >"$work/class/$learner/variant.h" ;;
    esac
done
# ben writes C++; rex does not compile; sue hands in a text; tom nothing;
# val changed the file all were given (built once for the others); kim's
# file is named as an option would be.
mv "$work/class/kim/learner.c" "$work/class/kim/-kim.c"
sed -i 's/wrong_colour ? QELMA_BLUE : QELMA_RED/QELMA_BLUE/' "$work/class/val/answer.c"
mv "$work/class/ben/learner.c" "$work/class/ben/learner.cpp"
printf 'int main(void) { this is not C }\n' >"$work/class/rex.c"
printf 'a text, not a program\n' >"$work/class/sue"
# uma hands in the program she built.
cc -o "$work/class/uma.program" -I"$work/class/uma" "$work/class/uma/learner.c" "$work/class/uma/answer.c" \
    $(pkg-config --cflags --libs qelma) || fail "the right answer does not build"
rm -rf "$work/class/uma"
mv "$work/class/uma.program" "$work/class/uma"
cp "$work/class/uma" "$work/solution"

printf 'QELMA_PERIODIC(3);\n' >"$work/task/circle.SCR"
printf 'QELMA_MOUSE(10, 10);\nQELMA_PERIODIC(2);\n' >"$work/task/click.SCR"
printf 'time = 3\nmemory = 256\n' >"$work/task/check.conf"
"$check" --make "$work/task" -- "$work/solution" >"$work/make.log" 2>&1 || fail "--make: $(cat "$work/make.log")"
[ -f "$work/task/circle.png" ] && [ -f "$work/task/click.png" ] || fail "--make made no pictures"

# The server a learner tries to reach: it notes each connection.
python3 -c '
import socket, sys
s = socket.socket(); s.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
s.bind(("127.0.0.1", int(sys.argv[1]))); s.listen(5)
while True:
    c, _ = s.accept(); open(sys.argv[2], "a").write("connected\n"); c.close()
' "$port" "$work/connections" &
server=$!
trap 'kill $server 2>/dev/null || true' EXIT
sleep 0.5

set +e
cd "$work/class"
"$check" -j 2 --csv "$work/class.csv" --junit "$work/class.xml" --report "$work/report" "$work/task" \
    amy ben cat dan eve fay gus hal ida jon kim lou max ned ora pam rex.c sue tom uma val >"$work/check.log" 2>&1
status=$?
cd "$work"
set -e
[ "$status" = 1 ] || fail "qelma-check exit code $status, not 1: $(tail -n 5 "$work/check.log")"
echo "$table" | while read -r learner behaviour expected; do
    row=$(grep "^$learner," "$work/class.csv") || fail "$learner has no row in the sheet"
    got=$(echo "$row" | cut -d, -f4,5)
    [ "$got" = "$expected,$expected" ] || fail "$learner: $got, not $expected on both scripts: $row"
done
grep -q '<testsuite name="cat" tests="2" failures="2"' "$work/class.xml" || fail "the JUnit suite of cat"
grep -q 'c0-0-last.png' "$work/report/index.html" && [ -f "$work/report/pictures/c0-0-last.png" ] ||
    fail "the report page has no pictures"

# Nothing got out.
[ ! -e "$work/home/qelma-check-escaped" ] && [ ! -e /tmp/qelma-check-escaped ] || fail "a file was made outside"
[ ! -s "$work/connections" ] || fail "the server was reached"
[ -z "$(pgrep -u 65534 -f /learner/program || true)" ] || fail "processes of the class are left"
[ -z "$(ls -d "${TMPDIR:-/tmp}"/qelma-check-* 2>/dev/null)" ] || fail "a temporary folder is left"

# Two shards are the class, each learner in one.
"$check" --shard 1/2 --csv "$work/s1.csv" "$work/task" "$work/class/amy" "$work/class/cat" "$work/class/gus" \
    >/dev/null 2>&1 || true
"$check" --shard 2/2 --csv "$work/s2.csv" "$work/task" "$work/class/amy" "$work/class/cat" "$work/class/gus" \
    >/dev/null 2>&1 || true
[ "$(tail -n +2 "$work/s1.csv" | cut -d, -f1 | tr '\n' ' ')" = "amy gus " ] &&
    [ "$(tail -n +2 "$work/s2.csv" | cut -d, -f1 | tr '\n' ' ')" = "cat " ] || fail "the shards"

# Interrupted, it ends every run it started and leaves nothing.
"$check" "$work/task" "$work/class/eve" "$work/class/pam" >/dev/null 2>&1 &
checking=$!
sleep 1
kill -INT "$checking"
set +e
wait "$checking"
status=$?
set -e
[ "$status" = 130 ] || fail "interrupted, qelma-check ended with $status, not 130"
[ -z "$(pgrep -u 65534 -f /learner/program || true)" ] || fail "an interrupted check left processes"
[ -z "$(ls -d "${TMPDIR:-/tmp}"/qelma-check-* 2>/dev/null)" ] || fail "an interrupted check left its folder"

# Bad input: each a message and exit 2.
mkdir -p "$work/empty" "$work/lost"
cp "$work/task/circle.SCR" "$work/lost/"
for args in "$work/empty $work/class/amy" "$work/lost $work/class/amy" \
    "$work/task $work/class/amy $work/class/amy" "--shard 3/2 $work/task $work/class/amy" \
    "--memory lots $work/task $work/class/amy"; do
    set +e
    # shellcheck disable=SC2086
    "$check" $args >"$work/bad.log" 2>&1
    status=$?
    set -e
    [ "$status" = 2 ] && grep -q "^qelma-check: " "$work/bad.log" || fail "$args: exit $status: $(cat "$work/bad.log")"
done
# Without bubblewrap it refuses and says how to have it; --no-sandbox runs,
# and says so in its sheet.
set +e
PATH=/nonexistent "$check" "$work/task" "$work/class/uma" >"$work/bad.log" 2>&1
status=$?
set -e
[ "$status" = 2 ] && grep -q "apt-get install bubblewrap" "$work/bad.log" || fail "no bubblewrap: exit $status: $(cat "$work/bad.log")"
"$check" --no-sandbox --csv "$work/open.csv" "$work/task" "$work/class/uma" >"$work/open.log" 2>&1 ||
    fail "--no-sandbox: $(cat "$work/open.log")"
grep -q "^uma,2,2,passed,passed,,off$" "$work/open.csv" && grep -q "NOT SANDBOXED" "$work/open.log" ||
    fail "--no-sandbox is not said: $(cat "$work/open.csv" "$work/open.log")"
echo "qelma-check: every learner's result as expected, nothing got out"
