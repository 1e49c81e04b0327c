#!/usr/bin/env bash
# The proofs of fixes in the Windows build, under Wine, where every reading
# of a menu in memory goes through a temporary file (OpenBytesStream): the
# menus of bench_proofs (N entries "Offer N, offer.pdf, Save 20% today,"
# and the clean ones, with %%), each checked by `quorlan-check.exe
# --no-files`, and mended by `--fix=all` (on a fresh copy each run), as
# wall-clock seconds from the start of the process to its end, the median
# of RUNS. The report goes to a file, as a user's redirection would take
# it: to /dev/null, which Wine takes for a character device, each line of
# it is written alone (20,000 "fixed:" lines take 15 s more). Each figure
# is printed against the clean menu's check; it never fails on a time.
#
#   bench/proof_wine.sh BENCH_PROOFS QUORLAN_CHECK_EXE [RUNS] [SIZES]
#
# BENCH_PROOFS is the native bench_proofs (it writes the menus); RUNS is 5
# unless given, SIZES "2000,20000". Runs in a Wine prefix of its own under
# the build folder of QUORLAN_CHECK_EXE.
set -euo pipefail
source "$(dirname "$0")/../scripts/wine-env.sh"

bench=$1
checker=$(realpath "$2")
runs=${3:-5}
sizes=${4:-2000,20000}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$bench" --write "$work" --sizes="$sizes" >/dev/null
quorlan_wine_prefix "$(dirname "$checker")/bench-proofs-wine"

# Prints the median of the runs' seconds of a command run in $work; a run
# that fails (any status but 0 or 1, which say whether warnings are left)
# stops the script.
median() {
    local times=() i start end status menu=$2 args=(--no-files)
    for ((i = 0; i < runs; i++)); do
        if [ "$1" = fix ]; then
            cp "$work/$2" "$work/mended.ini"
            menu=mended.ini args=(--no-files --fix=all)
        fi
        start=$(date +%s.%N)
        status=0
        (cd "$work" && quorlan_wine "$checker" "${args[@]}" "$menu" >"$work/report" 2>"$work/errors") || status=$?
        end=$(date +%s.%N)
        if [ "$status" -gt 1 ]; then
            echo "proof_wine.sh: quorlan-check.exe ${args[*]} $2 failed ($status): $(head -c 300 "$work/errors")" >&2
            exit 1
        fi
        times+=("$(echo "$end - $start" | bc)")
    done
    printf '%s\n' "${times[@]}" | sort -n | sed -n "$((runs / 2 + 1))p"
}

# One Wine server for all the runs, so that its start-up is no part of any
# figure; it ends 5 s after the last.
quorlan_wineserver -p5
(cd "$work" && quorlan_wine "$checker" --version >/dev/null 2>&1) || true # Wine's own start-up, untimed
echo "== Proofs of fixes under Wine ($QUORLAN_WINE_WHY): quorlan-check.exe, median of $runs runs, seconds"
for n in ${sizes//,/ }; do
    clean=$(median check "clean-$n.ini")
    for figure in "check" "fix"; do
        took=$(median "$figure" "slips-$n.ini")
        ratio=$(printf '%.2f' "$(echo "scale=4; $took / $clean" | bc)")
        name=$([ "$figure" = check ] && echo "check, every fix proven" || echo "--fix=all")
        goal=$([ "$figure" = check ] && echo 3 || echo 5)
        verdict=$(echo "$ratio <= $goal" | bc -l | sed 's/1/met/; s/0/missed/')
        printf '  %s entries, %-24s %8.3f s  against %.3f s  ratio %s  goal <= %s: %s\n' \
            "$n" "$name" "$took" "$clean" "$ratio" "$goal" "$verdict"
        printf 'ROW|proofs under Wine|%s, %s entries|%.3f s|clean %.3f s|%s|<= %s|%s\n' \
            "$name" "$n" "$took" "$clean" "$ratio" "$goal" "$verdict"
    done
done
