#!/usr/bin/env bash
# measure-text.sh: measures again, under Wine, what the checker's text
# knowledge comes from, and rewrites the two tables kept in check/text/:
#   collate_table.cpp  the sort weights of each single-byte code page in its
#                      locale (text_measure.exe, which prints what it
#                      checked and what still differs);
#   codepage_data.cpp  the complete conversion tables of the ANSI code
#                      pages (what the platform decodes every byte and
#                      pair to and encodes every unit to, as the
#                      differential tests' reference.exe prints them,
#                      packed by text_derive).
# Then review the change with git diff, and run the differential tests.
# Where this machine runs no 32-bit code, the 64-bit build of the same
# sources measures: the platform's tables are the same for both.
set -euo pipefail
cd "$(dirname "$0")/../../.."
scripts/install-deps.sh
source scripts/wine-env.sh
quorlan_wine_arch
preset=win$QUORLAN_WINE_ARCH
[ "$preset" = win32 ] || echo "measure-text: the 64-bit build measures ($QUORLAN_WINE_WHY)"
cmake --preset "$preset" >/dev/null
cmake --build --preset "$preset" -j2 --target text_measure text_reference text_derive
build=$PWD/build/$preset
prefix=$build/tests/e2e/wineprefix
tests/e2e/wine-prefix.sh "$prefix"
work=$build/check/text/measure
tests/e2e/wine-run.sh "$prefix" "$work" \
    "$build/text_measure.exe" collate_table.cpp
tests/e2e/wine-run.sh "$prefix" "$work.conversions" \
    "$build/text_reference.exe" conversions conversions.txt
cp "$work/collate_table.cpp" check/text/collate_table.cpp
"$build/check/text/text_derive" "$work.conversions/conversions.txt" check/text/codepage_data.cpp
git status --short check/text/collate_table.cpp check/text/codepage_data.cpp
