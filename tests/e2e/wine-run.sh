#!/usr/bin/env bash
# wine-run.sh PREFIX WORKDIR PROGRAM ARGS...: runs a Windows program under
# Wine in the test prefix, in an emptied working folder, on a private
# headless X server, and waits for Wine to finish before returning the
# program's exit status.
set -uo pipefail
prefix=$1 workdir=$2
shift 2
export WINEPREFIX=$prefix WINEARCH=win32 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
rm -rf "$workdir"
mkdir -p "$workdir"
cd "$workdir" || exit 2
exec xvfb-run -a -s "-screen 0 1024x768x24" sh -c 'wine "$@"; status=$?; wineserver -w; exit $status' _ "$@"
