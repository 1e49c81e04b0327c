#!/usr/bin/env bash
# Installs what is missing, builds every configuration and runs every test:
# the logic natively (plain and under the sanitizers), the Windows
# executable and its end-to-end tests under Wine.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh

presets=(native asan fuzz win32)
jobs=$(nproc)

for preset in "${presets[@]}"; do
    echo "== build: $preset"
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset" -j"$jobs"
done

passed=0
failed=0
for preset in "${presets[@]}"; do
    echo "== test: $preset"
    log=$(mktemp)
    status=0
    ctest --preset "$preset" -j"$jobs" 2>&1 | tee "$log" || status=$?
    summary=$(grep -E '^[0-9]+% tests passed, [0-9]+ tests failed out of [0-9]+' "$log" | tail -n 1 || true)
    rm -f "$log"
    if [ -z "$summary" ]; then
        echo "== $preset: ctest gave no summary" >&2
        failed=$((failed + 1))
        continue
    fi
    total=$(sed -E 's/.* out of ([0-9]+).*/\1/' <<<"$summary")
    bad=$(sed -E 's/.*passed, ([0-9]+) tests failed.*/\1/' <<<"$summary")
    passed=$((passed + total - bad))
    failed=$((failed + bad))
    [ "$status" -eq 0 ] || [ "$bad" -gt 0 ] || failed=$((failed + 1))
done

echo "all configurations: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
