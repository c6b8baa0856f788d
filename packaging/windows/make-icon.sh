#!/bin/sh
# Makes cargame.ico, the Windows icon of the car game (the program, its
# Start-menu entry and the installer), from the game's SVG icon, and records
# the SVG's checksum beside it so that a test notices an icon left stale.
# Run it after changing game/cargame.svg and commit both files:
#   packaging/windows/make-icon.sh
# Needs rsvg-convert and icotool (Debian packages librsvg2-bin and icoutils).
set -eu
here=$(cd "$(dirname "$0")" && pwd)
svg="$here/../../game/cargame.svg"

for tool in rsvg-convert icotool sha256sum; do
    if ! command -v "$tool" >/dev/null 2>&1; then
        echo "make-icon: $tool is missing; apt-get install librsvg2-bin icoutils" >&2
        exit 1
    fi
done

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
# The small sizes are stored as bitmaps, which every Windows version reads;
# the 256-pixel one as PNG, as Windows Vista and later expect.
for size in 16 24 32 48 64 256; do
    rsvg-convert -w "$size" -h "$size" -o "$tmp/$size.png" "$svg"
done
icotool -c -o "$here/cargame.ico" "$tmp/16.png" "$tmp/24.png" "$tmp/32.png" \
    "$tmp/48.png" "$tmp/64.png" -r "$tmp/256.png"
(cd "$here/../.." && sha256sum game/cargame.svg) >"$here/cargame.ico.source"
echo "make-icon: wrote $here/cargame.ico"
