#!/bin/sh
# The README's pictures are what the code draws today: made again from
# their scripts, each is byte for byte the one in docs/pictures/, whatever
# fonts the machine has and however they are set up: with its own set-up,
# with no fonts at all, and with smoothing and hinting off and every family
# mapped to a serif face.
# A Windows build (qelma-replay.exe and the programs under Wine) makes them
# once: its letters come from no font set-up at all.
# Usage: check_pictures.sh SOURCE_DIR BUILD_DIR WORK_DIR
set -eu
src=$1 build=$2 work=$3
setups="default none plain-serif"
[ ! -f "$build/replay/qelma-replay.exe" ] || setups=default
rm -rf "$work"
mkdir -p "$work/fonts/none"
cat >"$work/fonts/none.conf" <<END
<?xml version="1.0"?><!DOCTYPE fontconfig SYSTEM "fonts.dtd">
<fontconfig><dir>$work/fonts/none</dir><cachedir>$work/fonts/cache</cachedir></fontconfig>
END
cat >"$work/fonts/plain-serif.conf" <<END
<?xml version="1.0"?><!DOCTYPE fontconfig SYSTEM "fonts.dtd">
<fontconfig><include ignore_missing="yes">/etc/fonts/fonts.conf</include>
<match target="font"><edit name="antialias" mode="assign"><bool>false</bool></edit>
<edit name="hinting" mode="assign"><bool>false</bool></edit></match>
<match target="pattern"><edit name="family" mode="assign" binding="strong"><string>serif</string></edit></match>
</fontconfig>
END
status=0
for setup in $setups; do
    out="$work/$setup"
    if [ "$setup" = default ]; then
        "$src/scripts/make-pictures.sh" "$build" "$out" >/dev/null
    else
        FONTCONFIG_FILE="$work/fonts/$setup.conf" "$src/scripts/make-pictures.sh" "$build" "$out" >/dev/null
    fi
    for made in "$out"/*; do
        name=$(basename "$made")
        if ! cmp -s "$made" "$src/docs/pictures/$name"; then
            echo "docs/pictures/$name differs from what the code draws now (font set-up: $setup);" \
                 "run scripts/make-pictures.sh and commit the pictures" >&2
            status=1
        fi
    done
    [ "$(ls "$out" | wc -l)" = "$(ls "$src/docs/pictures" | wc -l)" ] || {
        echo "docs/pictures/ holds other files than scripts/make-pictures.sh makes" >&2
        status=1
    }
done
exit $status
