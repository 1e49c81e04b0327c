#!/usr/bin/env bash
# wine-prefix.sh PREFIX: makes (once) the Wine prefix the tests run in: a
# 32-bit prefix, no offer to install Mono or Gecko, no crash dialog (a crash
# must fail a test, not wait for a click), and a virtual desktop, so that
# Wine draws the windows' frames and captions itself on a bare X server.
set -euo pipefail
prefix=$1
export WINEPREFIX=$prefix WINEARCH=win32 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
[ -f "$prefix/.quorlan-ready" ] && exit 0
rm -rf "$prefix"
mkdir -p "$(dirname "$prefix")"
xvfb-run -a sh -c '
    wineboot -i >/dev/null 2>&1
    wine reg add "HKCU\\Software\\Wine\\WineDbg" /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1
    wine reg add "HKCU\\Software\\Wine\\Explorer" /v Desktop /t REG_SZ /d Default /f >/dev/null 2>&1
    wine reg add "HKCU\\Software\\Wine\\Explorer\\Desktops" /v Default /t REG_SZ /d 1024x768 /f >/dev/null 2>&1
    wineserver -w'
touch "$prefix/.quorlan-ready"
