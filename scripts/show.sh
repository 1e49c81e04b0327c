#!/usr/bin/env bash
# Installs what is missing, builds quorlan.exe and shows the example disc's
# menu under Wine. With a display, the window opens there. Without one
# (a server, CI), it runs on a private X server, saves a picture of the
# window, closes the program and says where the picture is.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

scripts/install-deps.sh
cmake --preset win32 >/dev/null
cmake --build --preset win32 -j"$(nproc)" --target quorlan e2e_driver

disc=$root/build/example-disc
rm -rf "$disc"
cp -r examples "$disc"
cp build/win32/quorlan.exe "$disc/"
echo "example disc: $disc"

prefix=$root/build/wineprefix-show
tests/e2e/wine-prefix.sh "$prefix"
export WINEPREFIX=$prefix WINEARCH=win32 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="

if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
    cd "$disc"
    wine quorlan.exe
    wineserver -w
    exit 0
fi

shot=$root/build/quorlan-example.png
raw=$disc/screen.png
rm -f "$shot" "$raw" "$disc/ready" "$disc/shot-done"
# The driver opens the menu and selects an entry, then waits for the
# picture before it closes the program.
cd "$disc"
xvfb-run -a -s "-screen 0 1024x768x24" sh -c '
    wine "$1" quorlan.exe "$2" - > driver.log 2>&1 &
    driver=$!
    tries=0
    while [ ! -f ready ] && [ $tries -lt 600 ]; do sleep 0.1; tries=$((tries + 1)); done
    sleep 1
    import -window root "$3"
    touch shot-done
    wait $driver
    status=$?
    wineserver -w
    exit $status' _ "$root/build/win32/tests/e2e/e2e_driver.exe" "$root/tests/e2e/show.case" "$raw"
# Wine's desktop around the window is one plain colour: trim it away.
convert "$raw" -trim +repage "$shot"
rm -f "$raw" ready shot-done driver.log
echo "picture of the menu: $shot"
