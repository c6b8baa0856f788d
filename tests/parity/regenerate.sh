#!/bin/sh
# Makes the reference frames of the parity test in tests/data/parity/, each
# with the log lines of its drawing calls beside it (NAME.ppm, NAME.log):
#  - day and night: the Windows build draws them with GDI under Wine;
#  - shapes: the Windows layer draws them (the Linux build), since Wine's GDI
#    leaves stray spans around some wide-pen shapes that Windows does not;
#  - texts: the Windows layer draws them, with its own letters.
# Run it after a change to what the frames draw, then look at the pictures
# and commit them with the change.
#   tests/parity/regenerate.sh
set -eu
cd "$(dirname "$0")/../.."
out=tests/data/parity
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
scripts/build-windows.sh
export WINEDEBUG=-all
export WINEPREFIX="$PWD/build/windows/wineprefix"
xvfb-run -a wine build/windows/tests/parity/parity_write_frames.exe "$work"
for name in day night; do cp "$work/$name.ppm" "$work/$name.log" "$out/"; done
cmake --preset dev >/dev/null
cmake --build --preset dev -j2 --target parity_write_frames
build/dev/tests/parity/parity_write_frames "$work"
for name in shapes texts; do cp "$work/$name.ppm" "$work/$name.log" "$out/"; done
