#!/bin/sh
# The README's pictures are what the code draws today: made again from
# their scripts, each is byte for byte the one in docs/pictures/.
# Usage: check_pictures.sh SOURCE_DIR BUILD_DIR WORK_DIR
set -eu
src=$1 build=$2 work=$3
rm -rf "$work"
"$src/scripts/make-pictures.sh" "$build" "$work" >/dev/null
status=0
for made in "$work"/*; do
    name=$(basename "$made")
    if ! cmp -s "$made" "$src/docs/pictures/$name"; then
        echo "docs/pictures/$name differs from what the code draws now;" \
             "run scripts/make-pictures.sh and commit the pictures" >&2
        status=1
    fi
done
[ "$(ls "$work" | wc -l)" = "$(ls "$src/docs/pictures" | wc -l)" ] || {
    echo "docs/pictures/ holds other files than scripts/make-pictures.sh makes" >&2
    status=1
}
exit $status
