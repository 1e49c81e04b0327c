#!/usr/bin/env bash
# Installs what is missing, builds every configuration and runs every test:
# the logic natively (plain and under the sanitizers), the Windows
# executable's static checks, the checker as WebAssembly against the native
# one, and every program under Wine (the end-to-end
# tests among them) on the build this machine's Wine runs: the real 32-bit
# program, or where no 32-bit code runs, the same sources built for x86-64.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
source scripts/wine-env.sh
# Decided before anything is built: a machine where no Wine runs fails here,
# in one line, and never passes with the Wine tests left out.
quorlan_wine_arch

# Each run: a configuration and the ctest options that choose its tests.
# wasm, the checker as WebAssembly, is compared with the native build.
runs=("native" "asan" "fuzz" "wasm")
if [ "$QUORLAN_WINE_ARCH" = 32 ]; then
    presets=(native asan fuzz wasm win32)
    runs+=("win32")
else
    presets=(native asan fuzz wasm win32 win64)
    runs+=("win32 -LE wine" "win64")
fi
jobs=$(nproc)

for preset in "${presets[@]}"; do
    echo "== build: $preset"
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset" -j"$jobs"
done

passed=0
failed=0
for run in "${runs[@]}"; do
    read -r -a options <<<"$run"
    echo "== test: $run"
    log=$(mktemp)
    status=0
    ctest --preset "${options[@]}" -j"$jobs" 2>&1 | tee "$log" || status=$?
    summary=$(grep -E '^[0-9]+% tests passed, [0-9]+ tests failed out of [0-9]+' "$log" | tail -n 1 || true)
    rm -f "$log"
    if [ -z "$summary" ]; then
        echo "== $run: ctest gave no summary" >&2
        failed=$((failed + 1))
        continue
    fi
    total=$(sed -E 's/.* out of ([0-9]+).*/\1/' <<<"$summary")
    bad=$(sed -E 's/.*passed, ([0-9]+) tests failed.*/\1/' <<<"$summary")
    passed=$((passed + total - bad))
    failed=$((failed + bad))
    [ "$status" -eq 0 ] || [ "$bad" -gt 0 ] || failed=$((failed + 1))
done

wineTests=$(ctest --preset "win$QUORLAN_WINE_ARCH" -N -L wine | sed -n -E 's/^Total Tests: ([0-9]+)/\1/p')
if [ "$QUORLAN_WINE_ARCH" = 32 ]; then
    echo "Wine tests: $wineTests on the real 32-bit program (win32)"
else
    echo "Wine tests: $wineTests on the 64-bit build of the same sources (win64; $QUORLAN_WINE_WHY);" \
         "static checks on the real 32-bit program (win32)"
fi
echo "all configurations: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
