#!/usr/bin/env bash
# Fuzzes each target for an even share of the seconds given (default 60 in
# all), one target at a time, from the repository's seeds. What a run adds
# to the corpus stays in the build folder, and so does any failing input.
# Prints each target's executions and coverage; exits non-zero when a target
# failed. The build folder is build/fuzz, or $QUORLAN_FUZZ_BUILD.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-60}
build=${QUORLAN_FUZZ_BUILD:-build/fuzz}

scripts/install-deps.sh
cmake --preset fuzz -B "$build" >/dev/null
cmake --build "$build" -j"$(nproc)" --target fuzz_targets

# Each target has its options and seeds' folders written beside it.
targets=()
for options in "$build"/fuzz/fuzz_*.options; do
    name=$(basename "$options" .options)
    targets+=("${name#fuzz_}")
done
share=$(( seconds / ${#targets[@]} ))
[ "$share" -ge 1 ] || share=1

failed=0
for name in "${targets[@]}"; do
    grown="$build/fuzz/grown/$name"
    artifacts="$build/fuzz/artifacts"
    log="$build/fuzz/fuzz_$name.log"
    mkdir -p "$grown" "$artifacts"
    { read -r -a options; read -r -a seeds; } <"$build/fuzz/fuzz_$name.options"
    echo "== fuzz: $name for $share s"
    status=0
    "$build/fuzz/fuzz_$name" -max_total_time="$share" -print_final_stats=1 \
        -artifact_prefix="$artifacts/$name-" "${options[@]}" "$grown" "${seeds[@]}" \
        >"$log" 2>&1 || status=$?
    runs=$(grep -oE '^Done [0-9]+ runs in [0-9]+ second' "$log" | tail -n 1 || true)
    coverage=$(grep -oE 'cov: [0-9]+ ft: [0-9]+ corp: [0-9]+/[0-9]+[a-zA-Z]*' "$log" | tail -n 1 || true)
    echo "$name: ${runs:-no summary}; ${coverage:-no coverage line}"
    if [ "$status" -ne 0 ]; then
        failed=$((failed + 1))
        echo "$name: FAILED (exit $status); see $log and $artifacts" >&2
        grep -E '^(==[0-9]+==ERROR|SUMMARY|[a-z]+ invariant broken)' "$log" >&2 || true
    fi
done
[ "$failed" -eq 0 ]
