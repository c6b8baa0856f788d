#!/bin/sh
# qelma.dll exports exactly the calls that qelma/qelma.h declares, and needs
# no DLL but Windows' own (no MinGW runtime beside it).
# Usage: check_dll.sh OBJDUMP QELMA_DLL QELMA_H
set -eu
objdump=$1 dll=$2 header=$3
failures=0
fail() { echo "check_dll: $*" >&2; failures=$((failures + 1)); }

"$objdump" -p "$dll" >"$dll.dump"
# The export table's names: the lines "[ n] name" after "[Ordinal/Name Pointer] Table".
sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/s/^[[:space:]]*\[[[:space:]]*[0-9]*\][[:space:]]*\([A-Za-z_0-9]*\)$/\1/p' \
    "$dll.dump" | LC_ALL=C sort >"$dll.exports"
sed -n 's/^[a-z][a-z ]*[ *]\(qelma_[a-z_]*\)(.*/\1/p' "$header" | LC_ALL=C sort -u >"$dll.public"
[ -s "$dll.public" ] || fail "no calls found in $header"
if ! cmp -s "$dll.public" "$dll.exports"; then
    fail "the exports differ from the calls of qelma.h (< header, > DLL):"
    diff "$dll.public" "$dll.exports" >&2 || true
fi
sed -n 's/^[[:space:]]*DLL Name: //p' "$dll.dump" | tr 'A-Z' 'a-z' | LC_ALL=C sort >"$dll.imports"
others=$(grep -v -x -e kernel32.dll -e user32.dll -e gdi32.dll -e msvcrt.dll "$dll.imports" || true)
[ -z "$others" ] || fail "qelma.dll needs DLLs that Windows does not have: $others"
echo "qelma.dll exports $(wc -l <"$dll.exports") calls and needs $(tr '\n' ' ' <"$dll.imports")"
[ "$failures" -eq 0 ]
