#!/usr/bin/env bash
# differential.sh PREFIX WORKDIR REFERENCE_EXE TEXT_PRINT MODE [CODEPAGE]:
# runs MODE (conversions, or sort: the comparison and the tree) in the Win32 reference program
# under Wine and in the checker's native printer, and fails with the first
# lines that differ. The tree runs with the ANSI code page and the locale of
# CODEPAGE, as on a machine set up for that language (for a double-byte
# code page, on the ASCII names and texts that the checker orders exactly).
set -euo pipefail
prefix=$1 work=$2 reference=$3 print=$4 mode=$5 codepage=${6:-}
here=$(cd "$(dirname "$0")" && pwd)
# The code page's locale, from the checker's table of code pages.
lang=$(sed -n "s/^CODE_PAGE(${codepage:-1252}, [A-Z0-9_]*, [0-9xA-F]*, \([a-z][a-z]_[A-Z][A-Z]\),.*/\1/p" \
    "$here/../codepages.h")
if [ -z "$lang" ]; then
    echo "differential: no locale for code page $codepage" >&2
    exit 2
fi
mkdir -p "$work"
"$print" "$mode" $codepage "$work/native.txt"
# Wine takes its locale from these even where the C library has none for
# them (bash then warns that it cannot set it: harmless).
LANG=$lang.UTF-8 LC_ALL=$lang.UTF-8 \
    "$here/../../../tests/e2e/wine-run.sh" "$prefix" "$work/wine" "$reference" "$mode" $codepage platform.txt
if ! cmp -s "$work/wine/platform.txt" "$work/native.txt"; then
    echo "differential $mode $codepage: the checker differs from the platform (< platform, > checker):"
    diff "$work/wine/platform.txt" "$work/native.txt" | head -40
    exit 1
fi
echo "differential $mode $codepage: $(wc -l <"$work/native.txt") lines alike"
