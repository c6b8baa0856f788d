#!/bin/sh
# Builds FreeType for the page (Emscripten) or for Windows (MinGW-w64, the
# toolchain of the Windows build) from Debian's own source package, the same
# version as the installed libfreetype-dev, so that the page and the Windows
# programs draw the same glyph pixels as the Linux build. The library holds
# only what the layer's text needs: the TrueType driver with its bytecode
# interpreter, sfnt and the smooth rasteriser; no compression, PNG, HarfBuzz,
# other font formats, autofitter or font variations.
#   scripts/build-freetype.sh web [PREFIX]      (PREFIX: build/freetype-web)
#   scripts/build-freetype.sh mingw [PREFIX]    (PREFIX: build/freetype-mingw)
# Installs PREFIX/include/freetype2 and PREFIX/lib/libfreetype.a; does nothing
# when PREFIX already holds this version built with these options.
set -eu

# A list of words on one line.
oneline() {
    printf '%s\n' "$1" | tr -s '[:space:]' ' ' | sed 's/ $//'
}

die() {
    echo "build-freetype: $*" >&2
    exit 1
}

usage() {
    echo "usage: scripts/build-freetype.sh web|mingw [PREFIX]" >&2
    exit 2
}

root=$(cd "$(dirname "$0")/.." && pwd)
if [ $# -lt 1 ] || [ $# -gt 2 ]; then usage; fi
target=$1
case "$target" in
web | mingw) ;;
*) usage ;;
esac
prefix=${2:-$root/build/freetype-$target}
[ -n "$prefix" ] || usage
case "$prefix" in
/*) ;;
*) prefix=$(pwd)/$prefix ;;
esac

# The source package and version of the installed FreeType (the source
# version, which a binary-only rebuild of the package does not change).
installed=$(dpkg-query -W -f='${db:Status-Abbrev} ${source:Package} ${source:Version}\n' \
    libfreetype-dev libfreetype6 2>/dev/null | awk '$1 == "ii" { print $2, $3; exit }') || true
[ -n "$installed" ] ||
    die "libfreetype-dev is not installed, so there is no version to build (scripts/install-deps.sh installs it)"
srcpkg=${installed% *}
version=${installed#* }

command -v cmake >/dev/null 2>&1 || die "cmake not found (scripts/install-deps.sh installs it)"
if [ "$target" = web ]; then
    command -v emcmake >/dev/null 2>&1 ||
        die "emcmake not found: Debian's emscripten package is needed (scripts/install-deps.sh --web)"
    # Debian's emcc finds its JavaScript parser through NODE_PATH when node
    # is not Debian's own.
    NODE_PATH="${NODE_PATH:-/usr/share/nodejs}"
    export NODE_PATH
else
    # The Windows build's own toolchain file names the compilers.
    toolchain=$root/cmake/mingw-w64-x86_64.cmake
    [ -f "$toolchain" ] || die "$toolchain not found"
    mingw_cc=$(sed -n 's/^set(QELMA_MINGW_PREFIX \([^)]*\))$/\1/p' "$toolchain")-gcc-posix
    [ "$mingw_cc" != -gcc-posix ] || die "$toolchain does not name the MinGW-w64 prefix"
    command -v "$mingw_cc" >/dev/null 2>&1 ||
        die "$mingw_cc not found: Debian's MinGW-w64 compiler is needed (scripts/install-deps.sh --windows)"
fi

# The modules the library registers; their sources are the only module
# sources compiled (KEEP_SOURCES below).
modules='FT_USE_MODULE( FT_Driver_ClassRec, tt_driver_class )
FT_USE_MODULE( FT_Module_Class, sfnt_module_class )
FT_USE_MODULE( FT_Renderer_Class, ft_smooth_renderer_class )'
# Options of Debian's ftoption.h turned off: the gzip/LZW streams (and with
# them WOFF), PostScript glyph names (psnames is left out), Mac resource
# forks, OT-SVG (its renderer is left out), GX/OpenType variations and the
# SFNT BDF table.
options_off="FT_CONFIG_OPTION_USE_LZW FT_CONFIG_OPTION_USE_ZLIB
FT_CONFIG_OPTION_POSTSCRIPT_NAMES FT_CONFIG_OPTION_ADOBE_GLYPH_LIST
FT_CONFIG_OPTION_MAC_FONTS FT_CONFIG_OPTION_GUESSING_EMBEDDED_RFORK
FT_CONFIG_OPTION_SVG TT_CONFIG_OPTION_POSTSCRIPT_NAMES
TT_CONFIG_OPTION_GX_VAR_SUPPORT TT_CONFIG_OPTION_BDF"
options_on="TT_CONFIG_OPTION_BYTECODE_INTERPRETER"
# Sources of the FreeType library kept: the base, the base extensions that
# need no left-out module, the system and debug hooks, and the modules above.
keep_sources="src/base/ftbase.c src/base/ftinit.c src/base/ftsystem.c
builds/unix/ftsystem.c src/base/ftdebug.c src/base/ftbbox.c src/base/ftbitmap.c
src/base/ftfstype.c src/base/ftgasp.c src/base/ftglyph.c src/base/ftpatent.c
src/base/ftstroke.c src/base/ftsynth.c
src/sfnt/sfnt.c src/smooth/smooth.c src/truetype/truetype.c"
feature_options="-DBUILD_SHARED_LIBS=OFF -DFT_DISABLE_ZLIB=ON -DFT_DISABLE_BZIP2=ON
-DFT_DISABLE_PNG=ON -DFT_DISABLE_HARFBUZZ=ON -DFT_DISABLE_BROTLI=ON"
# On x86-64 the smooth rasteriser flattens quadratic arcs by forward
# differences (SSE2); elsewhere by bisection, which gives other pixels. With
# Emscripten's SSE2 on WebAssembly SIMD the page takes the x86-64 path and
# draws the same glyphs as Debian's amd64 library.
if [ "$target" = web ]; then
    compile_options="-msimd128 -msse2"
    cmake_options="-DCMAKE_BUILD_TYPE=MinSizeRel -DCMAKE_C_FLAGS_MINSIZEREL=-Oz
$feature_options"
    emcc_version=$(emcc --version 2>/dev/null | head -n 1) || true
    compiler_line="emcc: $emcc_version"
else
    # On Windows the system and debug hooks are FreeType's Windows ones.
    keep_sources="$keep_sources
builds/windows/ftsystem.c builds/windows/ftdebug.c"
    # x86-64 has SSE2 by default: the rasteriser takes the path of Debian's
    # amd64 library.
    compile_options=""
    cmake_options="-DCMAKE_BUILD_TYPE=Release -DCMAKE_C_FLAGS_RELEASE=-O2
$feature_options"
    mingw_version=$("$mingw_cc" --version 2>/dev/null | head -n 1) || true
    toolchain_sum=$(sha256sum "$toolchain" | cut -d ' ' -f 1)
    compiler_line="compiler: $mingw_version
toolchain: $toolchain_sum"
fi

stamp_text="freetype $version for $target
$compiler_line
modules: $(oneline "$modules")
off: $(oneline "$options_off")
on: $options_on
compile: $compile_options
sources: $(oneline "$keep_sources")
cmake: $(oneline "$cmake_options")"
stamp=$prefix/freetype-build.stamp
if [ -f "$stamp" ] && [ -f "$prefix/lib/libfreetype.a" ] && [ -f "$prefix/include/freetype2/ft2build.h" ] &&
    [ "$(cat "$stamp")" = "$stamp_text" ]; then
    echo "build-freetype: FreeType $version for $target is already in $prefix"
    exit 0
fi

work=$root/build/freetype-src
mkdir -p "$work"

. "$root/scripts/debian-source.sh"
debian_source "$srcpkg" "$version" "$work"
[ -f "$srcdir/CMakeLists.txt" ] || die "$srcdir has no CMakeLists.txt"

# The configuration FreeType's build reads instead of its own
# (FT_CONFIG_MODULES_H and FT_CONFIG_OPTIONS_H, docs/CUSTOMIZE).
custom=$work/custom-$target
rm -rf "$custom"
mkdir -p "$custom/ftcustom"
{
    echo "/* The modules of this FreeType build (scripts/build-freetype.sh). */"
    echo "$modules"
} >"$custom/ftcustom/ftmodule.h"
for o in $options_off; do
    echo "s/^#define[[:space:]]\{1,\}$o\([[:space:]].*\)\{0,1\}\$/#undef $o/"
done >"$custom/ftoption.sed"
sed -f "$custom/ftoption.sed" "$srcdir/include/freetype/config/ftoption.h" >"$custom/ftcustom/ftoption.h"
for o in $options_off; do
    if grep -q "^#define[[:space:]][[:space:]]*$o\([[:space:]]\|\$\)" "$custom/ftcustom/ftoption.h"; then
        die "ftoption.h of $version: could not turn off $o"
    fi
done
for o in $options_on; do
    if ! grep -q "^#define[[:space:]][[:space:]]*$o\([[:space:]]\|\$\)" "$custom/ftcustom/ftoption.h"; then
        die "ftoption.h of $version does not turn on $o"
    fi
done
for o in FT_CONFIG_OPTION_USE_BZIP2 FT_CONFIG_OPTION_USE_PNG FT_CONFIG_OPTION_USE_HARFBUZZ \
    FT_CONFIG_OPTION_USE_BROTLI FT_CONFIG_OPTION_SYSTEM_ZLIB; do
    if grep -q "^#define[[:space:]][[:space:]]*$o\([[:space:]]\|\$\)" "$custom/ftcustom/ftoption.h"; then
        die "ftoption.h of $version turns on $o"
    fi
done
# Included by FreeType's project(): the custom headers for every source, and
# the sources of the modules not registered left out of the library.
cat >"$custom/freetype-project.cmake" <<EOF
include_directories(BEFORE "$custom")
add_compile_definitions("FT_CONFIG_MODULES_H=<ftcustom/ftmodule.h>"
                        "FT_CONFIG_OPTIONS_H=<ftcustom/ftoption.h>")
add_compile_options($compile_options)
set(KEEP_SOURCES $(oneline "$keep_sources"))
file(GLOB_RECURSE all_sources RELATIVE "\${CMAKE_CURRENT_SOURCE_DIR}"
     "\${CMAKE_CURRENT_SOURCE_DIR}/src/*.c" "\${CMAKE_CURRENT_SOURCE_DIR}/builds/*.c")
foreach(source IN LISTS all_sources)
    if(NOT source IN_LIST KEEP_SOURCES)
        set_source_files_properties(\${source} PROPERTIES HEADER_FILE_ONLY ON)
    endif()
endforeach()
EOF
if [ "$target" = mingw ]; then
    # FreeType's version resource is for its DLL; in a static library it is
    # never linked, and windres would take the <...> of the definitions above
    # for shell redirections.
    echo 'set_source_files_properties(src/base/ftver.rc PROPERTIES HEADER_FILE_ONLY ON)' \
        >>"$custom/freetype-project.cmake"
fi

build=$work/build-$target
rm -rf "$build"
echo "build-freetype: building FreeType $version for $target"
if [ "$target" = web ]; then
    set -- emcmake cmake
else
    set -- cmake -DCMAKE_TOOLCHAIN_FILE="$toolchain"
fi
# shellcheck disable=SC2086
if ! "$@" -S "$srcdir" -B "$build" $cmake_options \
    -DCMAKE_INSTALL_PREFIX="$prefix" -DCMAKE_INSTALL_LIBDIR=lib -DCMAKE_INSTALL_INCLUDEDIR=include \
    -DCMAKE_PROJECT_freetype_INCLUDE="$custom/freetype-project.cmake" >"$work/configure-$target.log" 2>&1; then
    cat "$work/configure-$target.log" >&2
    die "configuring FreeType failed"
fi
jobs=$(nproc 2>/dev/null || echo 2)
if ! cmake --build "$build" -j "$jobs" >"$work/build-$target.log" 2>&1; then
    cat "$work/build-$target.log" >&2
    die "building FreeType failed"
fi
# Only what an earlier build installed goes, whatever else PREFIX holds.
rm -rf "$stamp" "$prefix/include/freetype2" "$prefix/lib/libfreetype.a" \
    "$prefix/lib/pkgconfig/freetype2.pc" "$prefix/lib/cmake/freetype"
if ! cmake --install "$build" >"$work/install-$target.log" 2>&1; then
    cat "$work/install-$target.log" >&2
    die "installing FreeType into $prefix failed"
fi
# The installed configuration headers are the ones the library was built with.
cp "$custom/ftcustom/ftoption.h" "$custom/ftcustom/ftmodule.h" "$prefix/include/freetype2/freetype/config/"
echo "$stamp_text" >"$stamp"
size=$(wc -c <"$prefix/lib/libfreetype.a")
echo "build-freetype: FreeType $version for $target in $prefix: lib/libfreetype.a is $size bytes"
