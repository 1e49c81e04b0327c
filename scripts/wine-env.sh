#!/usr/bin/env bash
# The Wine environment every script and test runs in, written once: a 32-bit
# prefix, no offer to install Mono or Gecko, no debug output, no crash
# dialog (a crash must fail a test, not wait for a click), a virtual desktop
# (so that Wine draws the windows' frames and captions itself on a bare X
# server), Wine's own fonts, and one drive letter of type CD-ROM.
#
# Sourced, it defines the functions below. Run, it makes the prefix (once)
# and runs a command, or one of these functions, in its environment:
#
#   scripts/wine-env.sh PREFIX [COMMAND ARGS...]
#
# Wine's own fonts: Debian's Wine looks for them under its data folder by a
# path with ".." in it ("Z:\usr\share\wine\..\fonts"), which its file layer
# refuses, so it finds none. The symbol font that draws the caption buttons
# is then missing, and Wine draws their character codes as letters ("0 1 r")
# in a text font instead; the dialogs' own font (Tahoma) is missing too.
# They are linked into the prefix's Fonts folder, which Wine reads.

QUORLAN_WINE_FONTS=/usr/share/wine/fonts
# Written into the prefix when it is complete; a prefix made by an older
# set-up (another value) is made again.
QUORLAN_WINE_SETUP="quorlan prefix 2: fonts, cdrom"

# Exports the environment of the prefix PREFIX.
quorlan_wine_env() {
    export WINEPREFIX=$1 WINEARCH=win32 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
}

# Runs a command on a private headless X server, then waits for Wine to end;
# yields the command's exit status.
quorlan_wine_session() {
    xvfb-run -a -s "-screen 0 1024x768x24" sh -c '"$@"; status=$?; wineserver -w; exit $status' _ "$@"
}

# Makes the prefix PREFIX once, and exports its environment.
quorlan_wine_prefix() {
    local prefix=$1 letter
    quorlan_wine_env "$prefix"
    [ "$(cat "$prefix/.quorlan-ready" 2>/dev/null)" = "$QUORLAN_WINE_SETUP" ] && return 0
    rm -rf "$prefix"
    mkdir -p "$(dirname "$prefix")"
    xvfb-run -a sh -c 'wineboot -i >/dev/null 2>&1; wineserver -w'
    # The first letter from D that the prefix leaves free becomes the CD-ROM
    # drive. Its type is read when Wine starts, so it is set here, once; the
    # drive's folder is set for each run (quorlan_wine_cdrom).
    for letter in d e f g h i j k l m n o p q r s t u v w x y; do
        [ -e "$prefix/dosdevices/$letter:" ] || break
    done
    ln -sf "$QUORLAN_WINE_FONTS"/* "$prefix/drive_c/windows/Fonts/"
    xvfb-run -a sh -c '
        wine reg add "HKCU\\Software\\Wine\\WineDbg" /v ShowCrashDialog /t REG_DWORD /d 0 /f
        wine reg add "HKCU\\Software\\Wine\\Explorer" /v Desktop /t REG_SZ /d Default /f
        wine reg add "HKCU\\Software\\Wine\\Explorer\\Desktops" /v Default /t REG_SZ /d 1024x768 /f
        wine reg add "HKLM\\Software\\Wine\\Drives" /v "$1:" /t REG_SZ /d cdrom /f
        wineserver -w' _ "$letter" >/dev/null 2>&1
    echo "$letter" >"$prefix/.quorlan-cdrom"
    echo "$QUORLAN_WINE_SETUP" >"$prefix/.quorlan-ready"
}

# Gives the prefix's CD-ROM drive the folder FOLDER; yields its letter (D).
quorlan_wine_cdrom() {
    local letter
    letter=$(cat "$WINEPREFIX/.quorlan-cdrom")
    ln -sfn "$(realpath "$1")" "$WINEPREFIX/dosdevices/$letter:"
    echo "${letter^^}"
}

if [ "${BASH_SOURCE[0]}" = "$0" ]; then
    set -euo pipefail
    [ $# -ge 1 ] || { echo "usage: wine-env.sh PREFIX [COMMAND ARGS...]" >&2; exit 2; }
    quorlan_wine_prefix "$1"
    shift
    [ $# -eq 0 ] || "$@"
fi
