#!/bin/sh
# Builds the libraries of qelma-replay for Windows (MinGW-w64, the toolchain
# of the Windows build) from Debian's own source packages: giflib for the
# GIF and libpng for the pictures, the versions of the installed libgif-dev
# and libpng-dev where the package sources still have them (else the newest
# they have), so that qelma-replay.exe writes what the Linux command writes.
# zlib is Debian's own for MinGW-w64 (libz-mingw-w64-dev).
#   scripts/build-replay-libs.sh mingw [PREFIX]   (PREFIX: build/replay-libs-mingw)
# Installs PREFIX/include/{gif_lib.h,png.h,pngconf.h,pnglibconf.h} and
# PREFIX/lib/{libgif.a,libpng.a}; does nothing when PREFIX already holds
# these versions built with this compiler.
set -eu

die() {
    echo "build-replay-libs: $*" >&2
    exit 1
}

root=$(cd "$(dirname "$0")/.." && pwd)
[ $# -ge 1 ] && [ $# -le 2 ] && [ "$1" = mingw ] || {
    echo "usage: scripts/build-replay-libs.sh mingw [PREFIX]" >&2
    exit 2
}
prefix=${2:-$root/build/replay-libs-mingw}
case "$prefix" in
/*) ;;
*) prefix=$(pwd)/$prefix ;;
esac

toolchain=$root/cmake/mingw-w64-x86_64.cmake
host=$(sed -n 's/^set(QELMA_MINGW_PREFIX \([^)]*\))$/\1/p' "$toolchain")
[ -n "$host" ] || die "$toolchain does not name the MinGW-w64 prefix"
cc=$host-gcc-posix
ar=$host-ar
command -v "$cc" >/dev/null 2>&1 ||
    die "$cc not found: Debian's MinGW-w64 compiler is needed (scripts/install-deps.sh --windows)"
zlib=/usr/$host/include/zlib.h
[ -f "$zlib" ] || die "$zlib not found: libz-mingw-w64-dev is needed (scripts/install-deps.sh --windows)"

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
fetch libpng1.6 libpng-dev
png_src=$srcdir
gif_sources="dgif_lib.c egif_lib.c gifalloc.c gif_err.c gif_font.c gif_hash.c openbsd-reallocarray.c"
png_sources="png.c pngerror.c pngget.c pngmem.c pngpread.c pngread.c pngrio.c pngrtran.c pngrutil.c
pngset.c pngtrans.c pngwio.c pngwrite.c pngwtran.c pngwutil.c"
flags="-O2"

stamp_text="giflib $(basename "$gif_src"): $gif_sources
libpng $(basename "$png_src"): $(echo $png_sources)
compiler: $("$cc" --version | head -n 1)
flags: $flags"
stamp=$prefix/replay-libs.stamp
if [ -f "$stamp" ] && [ "$(cat "$stamp")" = "$stamp_text" ] &&
    [ -f "$prefix/lib/libgif.a" ] && [ -f "$prefix/lib/libpng.a" ]; then
    echo "build-replay-libs: giflib and libpng for mingw are already in $prefix"
    exit 0
fi

# Each library: its sources compiled as they are, into one archive.
archive() { # NAME SOURCE_DIR INCLUDES SOURCES
    objects=$work/objects-$1
    rm -rf "$objects"
    mkdir -p "$objects"
    for source in $4; do
        # shellcheck disable=SC2086
        "$cc" $flags $3 -c "$2/$source" -o "$objects/${source%.c}.o" 2>>"$work/build-$1.log" ||
            { cat "$work/build-$1.log" >&2; die "compiling $1's $source failed"; }
    done
    rm -f "$prefix/lib/lib$1.a"
    "$ar" rcs "$prefix/lib/lib$1.a" "$objects"/*.o
}
rm -f "$stamp"
mkdir -p "$prefix/include" "$prefix/lib"
echo "build-replay-libs: building giflib and libpng for mingw"
: >"$work/build-gif.log"
: >"$work/build-png.log"
archive gif "$gif_src" "-I$gif_src" "$gif_sources"
cp "$gif_src/gif_lib.h" "$prefix/include/"
cp "$png_src/scripts/pnglibconf.h.prebuilt" "$prefix/include/pnglibconf.h"
cp "$png_src/png.h" "$png_src/pngconf.h" "$prefix/include/"
archive png "$png_src" "-I$prefix/include" "$png_sources"
echo "$stamp_text" >"$stamp"
echo "build-replay-libs: giflib and libpng for mingw in $prefix"
