#!/bin/sh
# Makes the reference frames of the parity test: the Windows build draws
# them with GDI under Wine into tests/data/parity/ (day.ppm, night.ppm, and
# the log lines of their drawing calls, day.log and night.log).
# Run it after a change to what the frames draw, then look at the pictures
# and commit them with the change.
#   tests/parity/regenerate.sh
set -eu
cd "$(dirname "$0")/../.."
scripts/build-windows.sh
export WINEDEBUG=-all
export WINEPREFIX="$PWD/build/windows/wineprefix"
xvfb-run -a wine build/windows/tests/parity/parity_write_frames.exe tests/data/parity
