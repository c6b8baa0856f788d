#!/bin/sh
# Builds the libraries of qelma-replay's outputs from Debian's own source
# packages, the versions of the installed libgif-dev and libpng-dev where the
# package sources still have them (else the newest they have), so that what
# they write is what the Linux command writes:
#   mingw: giflib for the GIF and libpng for the pictures, for
#          qelma-replay.exe (MinGW-w64, the toolchain of the Windows build;
#          zlib is Debian's own, libz-mingw-w64-dev);
#   web:   giflib, for the page's GIF (Emscripten).
#   scripts/build-replay-libs.sh mingw|web [PREFIX]   (PREFIX: build/replay-libs-TARGET)
# Installs PREFIX/include/gif_lib.h and PREFIX/lib/libgif.a (mingw also
# png.h, pngconf.h, pnglibconf.h and libpng.a); does nothing when PREFIX
# already holds these versions built with this compiler.
set -eu

die() {
    echo "build-replay-libs: $*" >&2
    exit 1
}

root=$(cd "$(dirname "$0")/.." && pwd)
[ $# -ge 1 ] && [ $# -le 2 ] && { [ "$1" = mingw ] || [ "$1" = web ]; } || {
    echo "usage: scripts/build-replay-libs.sh mingw|web [PREFIX]" >&2
    exit 2
}
target=$1
prefix=${2:-$root/build/replay-libs-$target}
case "$prefix" in
/*) ;;
*) prefix=$(pwd)/$prefix ;;
esac

if [ "$target" = mingw ]; then
    toolchain=$root/cmake/mingw-w64-x86_64.cmake
    host=$(sed -n 's/^set(QELMA_MINGW_PREFIX \([^)]*\))$/\1/p' "$toolchain")
    [ -n "$host" ] || die "$toolchain does not name the MinGW-w64 prefix"
    cc=$host-gcc-posix
    ar=$host-ar
    command -v "$cc" >/dev/null 2>&1 ||
        die "$cc not found: Debian's MinGW-w64 compiler is needed (scripts/install-deps.sh --windows)"
    zlib=/usr/$host/include/zlib.h
    [ -f "$zlib" ] || die "$zlib not found: libz-mingw-w64-dev is needed (scripts/install-deps.sh --windows)"
else
    cc=emcc
    ar=emar
    command -v "$cc" >/dev/null 2>&1 ||
        die "emcc not found: Debian's emscripten package is needed (scripts/install-deps.sh --web)"
    # Debian's emcc finds its JavaScript parser through NODE_PATH when node
    # is not Debian's own.
    NODE_PATH="${NODE_PATH:-/usr/share/nodejs}"
    export NODE_PATH
fi

# The source version of an installed package (empty when not installed).
installed() {
    dpkg-query -W -f='${db:Status-Abbrev} ${source:Version}\n' "$1" 2>/dev/null |
        awk '$1 == "ii" { print $2; exit }'
}

work=$root/build/replay-libs-src
mkdir -p "$work"
. "$root/scripts/debian-source.sh"

# One source package: its version as installed when the package sources
# have it, else the newest they have.
fetch() {
    want=$(installed "$2")
    if [ -n "$want" ] && debian_source_try "$1" "$want" "$work"; then
        return 0
    fi
    debian_source "$1" "" "$work"
}
# debian_source, but returning false instead of dying when the version
# cannot be had.
debian_source_try() {
    (
        die() { exit 1; }
        debian_source "$@" >/dev/null 2>&1
    ) && debian_source "$@"
}

fetch giflib libgif-dev
gif_src=$srcdir
png_src=
if [ "$target" = mingw ]; then
    fetch libpng1.6 libpng-dev
    png_src=$srcdir
fi
gif_sources="dgif_lib.c egif_lib.c gifalloc.c gif_err.c gif_font.c gif_hash.c openbsd-reallocarray.c"
png_sources="png.c pngerror.c pngget.c pngmem.c pngpread.c pngread.c pngrio.c pngrtran.c pngrutil.c
pngset.c pngtrans.c pngwio.c pngwrite.c pngwtran.c pngwutil.c"
flags="-O2"

libraries="giflib"
stamp_text="giflib $(basename "$gif_src"): $gif_sources"
if [ -n "$png_src" ]; then
    libraries="giflib and libpng"
    stamp_text="$stamp_text
libpng $(basename "$png_src"): $(echo $png_sources)"
fi
stamp_text="$stamp_text
compiler: $("$cc" --version 2>/dev/null | head -n 1)
flags: $flags"
stamp=$prefix/replay-libs.stamp
if [ -f "$stamp" ] && [ "$(cat "$stamp")" = "$stamp_text" ] && [ -f "$prefix/lib/libgif.a" ] &&
    { [ -z "$png_src" ] || [ -f "$prefix/lib/libpng.a" ]; }; then
    echo "build-replay-libs: $libraries for $target already in $prefix"
    exit 0
fi

# Each library: its sources compiled as they are, into one archive.
archive() { # NAME SOURCE_DIR INCLUDES SOURCES
    objects=$work/objects-$target-$1
    rm -rf "$objects"
    mkdir -p "$objects"
    for source in $4; do
        # shellcheck disable=SC2086
        "$cc" $flags $3 -c "$2/$source" -o "$objects/${source%.c}.o" 2>>"$work/build-$target-$1.log" ||
            { cat "$work/build-$target-$1.log" >&2; die "compiling $1's $source failed"; }
    done
    rm -f "$prefix/lib/lib$1.a"
    "$ar" rcs "$prefix/lib/lib$1.a" "$objects"/*.o
}
rm -f "$stamp"
mkdir -p "$prefix/include" "$prefix/lib"
echo "build-replay-libs: building $libraries for $target"
: >"$work/build-$target-gif.log"
archive gif "$gif_src" "-I$gif_src" "$gif_sources"
cp "$gif_src/gif_lib.h" "$prefix/include/"
if [ -n "$png_src" ]; then
    : >"$work/build-$target-png.log"
    cp "$png_src/scripts/pnglibconf.h.prebuilt" "$prefix/include/pnglibconf.h"
    cp "$png_src/png.h" "$png_src/pngconf.h" "$prefix/include/"
    archive png "$png_src" "-I$prefix/include" "$png_sources"
fi
echo "$stamp_text" >"$stamp"
echo "build-replay-libs: $libraries for $target in $prefix"
