#!/usr/bin/env bash
# measure-window.sh [--write] PREFIX WORKDIR WINDOW_MEASURE_EXE QUORLAN_EXE:
# measures under Wine, in the prefix PREFIX, what quorlan-check lays the
# main window out with (the template font's dialog base units, the frame,
# the smallest window), and fails, showing the difference, when
# check/engine/window_table.cpp no longer holds it. With --write, rewrites the
# table instead: review the change with git diff. The build target
# measure_window runs that (cmake --build --preset win32 --target measure_window).
set -euo pipefail
write=false
[ "${1:-}" = --write ] && { write=true; shift; }
prefix=$1 work=$2 measure=$3 program=$4
root=$(cd "$(dirname "$0")/../.." && pwd)
table=$root/check/engine/window_table.cpp
"$root/tests/e2e/wine-run.sh" "$prefix" "$work" "$measure" "$program" window_table.cpp
if $write; then
    cp "$work/window_table.cpp" "$table"
    git -C "$root" status --short "$table"
elif ! cmp -s "$work/window_table.cpp" "$table"; then
    echo "measure-window: the platform differs from check/engine/window_table.cpp (< kept, > measured):"
    diff "$table" "$work/window_table.cpp" || true
    exit 1
else
    echo "measure-window: check/engine/window_table.cpp is what the platform gives"
fi
