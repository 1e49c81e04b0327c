#!/usr/bin/env bash
# wine-run.sh PREFIX WORKDIR PROGRAM ARGS...: runs a Windows program under
# Wine in the test prefix, in an emptied working folder, on a private
# headless X server, and waits for Wine to finish before returning the
# program's exit status.
set -uo pipefail
source "$(dirname "$0")/../../scripts/wine-env.sh"
quorlan_wine_env "$1" || exit 2
workdir=$2
shift 2
rm -rf "$workdir"
mkdir -p "$workdir"
cd "$workdir" || exit 2
quorlan_wine_session "$WINELOADER" "$@"
