#!/bin/sh
# The web kit as a learner gets it: makes libqelma-web-dev, installs it,
# makes a program that is not one of ours (web_kit/tiles.c) a page with the
# command and with the learner's own CMake project, uses both pages in every
# browser engine (tests/web/kit_page.js), and removes the package again.
# Needs root (it installs into the system); exits 77 without it.
#   tests/install/web_kit_test.sh [WORK_DIR]   (default build/web-kit)
set -eu
src=$(cd "$(dirname "$0")/../.." && pwd)
work=${1:-$src/build/web-kit}
if [ "$(id -u)" -ne 0 ]; then
    echo "web kit test: skipped, it installs a package and needs root" >&2
    exit 77
fi
failures=0
fail() {
    echo "web kit test: $*" >&2
    failures=$((failures + 1))
}
rm -rf "$work"
mkdir -p "$work"
work=$(cd "$work" && pwd) # the test changes folder on the way

echo "== make and install libqelma-web-dev"
"$src/scripts/make-packages.sh" --web-only "$work/deb" >"$work/make.log" 2>&1 || {
    tail -n 40 "$work/make.log" >&2
    exit 1
}
deb=$(find "$work/deb/web" -maxdepth 1 -name 'libqelma-web-dev_*_all.deb')
# lintian: errors fail the test; warnings are shown.
lintian --tag-display-limit 0 "$deb" 2>&1 | grep -v 'running with root privileges' | tee "$work/lintian.txt" >&2 || true
! grep -q '^E:' "$work/lintian.txt" || fail "lintian reports errors in $deb"
dpkg -i "$deb" >"$work/dpkg.log" 2>&1 || { cat "$work/dpkg.log" >&2; exit 1; }
trap 'dpkg --purge libqelma-web-dev >/dev/null 2>&1 || true' EXIT

cp -r "$src/tests/install/web_kit" "$work/learner"
cd "$work/learner"
echo "== qelma-web-page tiles.c"
qelma-web-page tiles.c || fail "qelma-web-page tiles.c failed"
echo "== the learner's CMake project under emcmake"
{ emcmake cmake -S . -B build && cmake --build build; } >"$work/cmake.log" 2>&1 || {
    cat "$work/cmake.log" >&2
    fail "find_package(QELMA) and qelma_add_web_page() did not make the page"
}

echo "== what qelma-web-page refuses"
# refuse EXPECTED_STATUS MESSAGE ARG...: the command fails with that status
# and says MESSAGE, and makes no folder: the *-web folders stay as they were.
refuse() {
    want=$1 message=$2
    shift 2
    status=0
    qelma-web-page "$@" >"$work/refused.txt" 2>&1 || status=$?
    [ "$status" -eq "$want" ] && grep -q "$message" "$work/refused.txt" && [ "$(echo ./*-web)" = "$folders" ] ||
        fail "qelma-web-page $*: expected status $want, '$message' and no new folder," \
             "got $status, folders $(echo ./*-web): $(cat "$work/refused.txt")"
}
printf 'int main(void) { return undeclared; }\n' >broken.c
folders=$(echo ./*-web)
refuse 2 "usage:"
refuse 1 "cannot read missing.c" missing.c
refuse 2 "is not a C or C++ source" CMakeLists.txt
refuse 1 "the page was not made" broken.c

echo "== a source whose name starts with a dash, after --"
cp tiles.c ./-tiles.c
{ qelma-web-page -- -tiles.c && [ -f ./-tiles-web/index.html ]; } ||
    fail "qelma-web-page -- -tiles.c did not make -tiles-web/index.html"

echo "== both pages in every browser engine"
node "$src/tests/web/kit_page.js" "$work/learner/tiles-web" "$work/learner/build/tiles" ||
    fail "the pages did not work in every engine"

echo "== purge"
dpkg --purge libqelma-web-dev >/dev/null
for left in /usr/bin/qelma-web-page /usr/share/qelma-web \
            /usr/share/emscripten/cache/sysroot/lib/cmake/QELMA \
            /usr/share/emscripten/cache/sysroot/include/qelma/qelma.h; do
    [ ! -e "$left" ] || fail "$left is left after purging"
done
[ "$failures" -eq 0 ] || { echo "web kit test: $failures failure(s)" >&2; exit 1; }
echo "web kit test: passed"
