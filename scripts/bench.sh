#!/usr/bin/env bash
# Installs what is missing, builds the benchmark configurations (release and
# win32, and win64 where this machine runs no 32-bit code) and prints every figure with its ratio against its own limit,
# measured in the same run: the executable's size against a minimal dialog
# program with the same resources; its start-up under Wine against the same
# program; the menu loading's throughput against a bare fgetc loop; its
# scaling and its heap per entry; the check and the loading of the shapes
# that once took minutes, at two sizes; the checker's time per entry on discs of
# many files; the language server's latency and the memory of its outline;
# the checker built for Node against the native one (start, a large check,
# the server); the proofs of fixes on menus of thousands of them.
# It prints figures and never fails on a time; it fails only when something
# cannot be built or run.
#
#   scripts/bench.sh [--profile]
#
# --profile also counts the instructions of one 10 MiB loading under
# callgrind and prints where they go.
# Settings (environment):
#   QUORLAN_BENCH_BUILD        folder of the two builds (default: build)
#   QUORLAN_BENCH_RUNS         start-ups timed per program (default 10)
#   QUORLAN_BENCH_SORTED_RUNS  start-ups of the sorted 10,000-entry menu
#                              (default 3: each takes the tree control
#                              about 45 s under Wine)
set -euo pipefail
cd "$(dirname "$0")/.."
source=$(pwd)

profile=0
[ "${1:-}" = "--profile" ] && profile=1
root=$(realpath -m "${QUORLAN_BENCH_BUILD:-build}")
runs=${QUORLAN_BENCH_RUNS:-10}
sortedRuns=${QUORLAN_BENCH_SORTED_RUNS:-3}
jobs=$(nproc)

scripts/install-deps.sh

# The start-up figures come from the build that this machine's Wine runs:
# the 64-bit one, against its own floor, where no 32-bit code runs. The size
# figures are always the shipped 32-bit program's.
source scripts/wine-env.sh
quorlan_wine_arch
startup=win$QUORLAN_WINE_ARCH

echo "== build: release, win32$([ "$startup" = win32 ] || echo ", win64")"
cmake --preset release -B "$root/release" >/dev/null
cmake --build "$root/release" -j"$jobs" --target bench_load bench_shapes bench_proofs make_menu quorlan-check >/dev/null
cmake --preset win32 -B "$root/win32" >/dev/null
cmake --build "$root/win32" -j"$jobs" --target quorlan quorlan_floor >/dev/null
cmake --preset "$startup" -B "$root/$startup" >/dev/null
cmake --build "$root/$startup" -j"$jobs" --target quorlan quorlan_floor quorlan_floor_fill startup_timer quorlan-check >/dev/null

figures=$(mktemp)
trap 'rm -f "$figures"' EXIT
# Shows a step's output, keeping its ROW and START lines for the summary.
keep() { tee -a "$figures" | grep -v -E '^(ROW|START)\|' || true; }

echo
python3 bench/size_report.py i686-w64-mingw32-objdump "$root/win32/quorlan.exe" \
    "$root/win32/bench/quorlan_floor.exe" | keep

# Start-up under Wine, in a prefix of our own. Each program runs in the
# folder of its menu; the wineserver stays up for the whole series, so its
# start-up is no part of any figure.
echo
echo "== Start-up under Wine, ms from CreateProcess to the dialog shown with its tree filled"
if [ "$startup" = win64 ]; then
    echo "(the 64-bit build of the same sources against the 64-bit floor: $QUORLAN_WINE_WHY)"
fi
work=$root/$startup/bench-startup
menus=$root/release/bench/make_menu
rm -rf "$work"
mkdir -p "$work/floor" "$work/example" "$work/flat" "$work/sorted"
cp examples/Quorlan.ini "$work/example/"
exampleItems=$("$menus" count "$work/example/Quorlan.ini")
"$menus" write "$work/flat/Quorlan.ini" 10000 flat >/dev/null
"$menus" write "$work/sorted/Quorlan.ini" 10000 flat sorted >/dev/null
quorlan_wine_prefix "$root/$startup/bench-wine"
winpath() { printf 'Z:%s' "${1//\//\\}"; }
quorlan=$(winpath "$root/$startup/quorlan.exe")
floor=$(winpath "$root/$startup/bench/quorlan_floor.exe")
fill=$(winpath "$root/$startup/bench/quorlan_floor_fill.exe")
quorlan_wine_session sh -c '"$WINESERVER" -p5; "$WINELOADER" "$@"' _ \
    "$root/$startup/bench/startup_timer.exe" \
    floor "$runs" "$floor" - "$(winpath "$work/floor")" 1 \
    example "$runs" "$quorlan" - "$(winpath "$work/example")" "$exampleItems" \
    flat-10000 "$runs" "$quorlan" - "$(winpath "$work/flat")" 10000 \
    fill-10000 "$runs" "$fill" 10000 "$(winpath "$work/floor")" 10000 \
    sorted-10000 "$sortedRuns" "$quorlan" - "$(winpath "$work/sorted")" 10000 | tr -d '\r' | keep
rm -rf "$work"

echo
echo "== Menu loading, natively (Google Benchmark, CPU time)"
"$root/release/bench/bench_load" | keep

echo
echo "== The shapes that once took minutes: the check and the loading at two sizes, natively"
"$root/release/bench/bench_shapes" | keep

echo
echo "== The checker, natively: n entries naming n files of one folder"
python3 bench/check_files.py "$root/release/quorlan-check" | keep

echo
echo "== The language server, natively"
python3 bench/lsp_bench.py "$root/release/quorlan-check" | keep

echo
echo "== The checker built for Node against the native one"
cmake --preset wasm -B "$root/wasm" >/dev/null
NODE_PATH=/usr/share/nodejs cmake --build "$root/wasm" -j"$jobs" --target quorlan-check >/dev/null
python3 bench/node_bench.py "$root/release/quorlan-check" "$root/wasm/quorlan-check.js" | keep

echo
echo "== Proofs of fixes: natively in the process, and the Windows build under Wine"
"$root/release/bench/bench_proofs" | keep
bench/proof_wine.sh "$root/release/bench/bench_proofs" "$root/$startup/quorlan-check.exe" | keep

if [ "$profile" -eq 1 ]; then
    echo
    echo "== Instructions of one 10 MiB loading (callgrind, inclusive, the menu code's functions)"
    out=$(mktemp)
    valgrind --tool=callgrind --callgrind-out-file="$out" --toggle-collect='ReadMenuStream*' \
        "$root/release/bench/bench_load" --profile --max-entries=0 >/dev/null 2>&1
    callgrind_annotate --inclusive=yes "$out" 2>/dev/null | grep -E '^ *[0-9,]+ ' |
        grep -v -E 'below main|libc-start|ld-linux|\?\?\?:main ' | head -20
    rm -f "$out"
fi

machine="$(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ *//'), $jobs cores"
machine+=", $(. /etc/os-release && echo "$PRETTY_NAME"), $("$WINELOADER" --version) ($WINEARCH), $(date +%Y-%m-%d)"
python3 bench/summary.py "$figures" "$machine"
