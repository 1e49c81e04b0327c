#!/usr/bin/env bash
# The Wine environment every script and test runs in, written once: which
# Wine runs here (below), a prefix of its kind, no offer to install Mono or
# Gecko, no debug output, no crash dialog (a crash must fail a test, not
# wait for a click), a virtual desktop
# (so that Wine draws the windows' frames and captions itself on a bare X
# server), Wine's own fonts, and one drive letter of type CD-ROM.
#
# Sourced, it defines the functions below. Run, it makes the prefix (once)
# and runs a command, or one of these functions, in its environment:
#
#   scripts/wine-env.sh PREFIX [COMMAND ARGS...]
#   scripts/wine-env.sh --arch     prints 32 or 64, and on a second line why
#
# Wine's own fonts: Debian's Wine looks for them under its data folder by a
# path with ".." in it ("Z:\usr\share\wine\..\fonts"), which its file layer
# refuses, so it finds none. The symbol font that draws the caption buttons
# is then missing, and Wine draws their character codes as letters ("0 1 r")
# in a text font instead; the dialogs' own font (Tahoma) is missing too.
# They are linked into the prefix's Fonts folder, which Wine reads.
#
# Which Wine: the real 32-bit program runs under 32-bit Wine wherever this
# machine can run it. Where it cannot (a kernel that executes no 32-bit
# code, or no 32-bit Wine installed), the same sources built for x86-64 (the
# win64 configuration) run under 64-bit Wine, in a 64-bit prefix of their
# own. QUORLAN_WINE_ARCH=32 or 64 forces either. Debian's wine, wineboot and
# wineserver commands take the 32-bit loader whenever it is installed, even
# where it cannot run, so nothing calls them by those names: every call goes
# through $WINELOADER and $WINESERVER, which quorlan_wine_env sets.

QUORLAN_WINE_FONTS=/usr/share/wine/fonts
# Where Debian puts the loaders and servers (another folder for tests).
QUORLAN_WINE_LIB=${QUORLAN_WINE_LIB:-/usr/lib/wine}
# Written into the prefix when it is complete; a prefix made by an older
# set-up or for the other Wine (another value) is made again.
QUORLAN_WINE_SETUP="quorlan prefix 3: fonts, cdrom"

# Decides which Wine runs here: sets QUORLAN_WINE_ARCH to 32 or 64 and
# QUORLAN_WINE_WHY to the reason in a few words. Fails, saying why in one
# line, when the Wine asked for or neither Wine can run.
quorlan_wine_arch() {
    local forced=${QUORLAN_WINE_ARCH:-} why32=
    case $forced in
        ''|32|64) ;;
        *) echo "wine-env: QUORLAN_WINE_ARCH is '$forced'; give 32 or 64" >&2; return 1 ;;
    esac
    # Both the loader and the server are 32-bit programs: the kernel runs
    # them both or neither.
    if [ ! -x "$QUORLAN_WINE_LIB/wine" ] || [ ! -x "$QUORLAN_WINE_LIB/wineserver32" ]; then
        why32="32-bit Wine is not installed"
    elif ! "$QUORLAN_WINE_LIB/wine" --version >/dev/null 2>&1 ||
         ! "$QUORLAN_WINE_LIB/wineserver32" --version >/dev/null 2>&1; then
        why32="this machine runs no 32-bit code"
    fi
    if [ "$forced" != 64 ] && [ -z "$why32" ]; then
        QUORLAN_WINE_ARCH=32 QUORLAN_WINE_WHY="the 32-bit program under 32-bit Wine"
        return 0
    fi
    if [ "$forced" = 32 ]; then
        echo "wine-env: QUORLAN_WINE_ARCH=32, but $why32 ($QUORLAN_WINE_LIB/wine)" >&2
        return 1
    fi
    if ! "$QUORLAN_WINE_LIB/wine64" --version >/dev/null 2>&1 ||
       ! "$QUORLAN_WINE_LIB/wineserver64" --version >/dev/null 2>&1; then
        echo "wine-env: no Wine can run here: ${why32:-QUORLAN_WINE_ARCH=64}, and 64-bit Wine" \
             "($QUORLAN_WINE_LIB/wine64) does not start" >&2
        return 1
    fi
    QUORLAN_WINE_ARCH=64
    QUORLAN_WINE_WHY=${why32:-QUORLAN_WINE_ARCH=64 asks for it}
}

# Exports the environment of the prefix PREFIX, for the Wine that runs here.
quorlan_wine_env() {
    quorlan_wine_arch || return 1
    export QUORLAN_WINE_ARCH QUORLAN_WINE_WHY
    if [ "$QUORLAN_WINE_ARCH" = 32 ]; then
        export WINEARCH=win32 WINELOADER=$QUORLAN_WINE_LIB/wine WINESERVER=$QUORLAN_WINE_LIB/wineserver32
    else
        export WINEARCH=win64 WINELOADER=$QUORLAN_WINE_LIB/wine64 WINESERVER=$QUORLAN_WINE_LIB/wineserver64
    fi
    export WINEPREFIX=$1 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
}

# Run a Windows program, and the Wine server, of the Wine chosen above.
quorlan_wine() { "$WINELOADER" "$@"; }
quorlan_wineserver() { "$WINESERVER" "$@"; }

# Runs a command on a private headless X server, then waits for Wine to end;
# yields the command's exit status.
quorlan_wine_session() {
    xvfb-run -a -s "-screen 0 1024x768x24" sh -c '"$@"; status=$?; "$WINESERVER" -w; exit $status' _ "$@"
}

# Makes the prefix PREFIX once, and exports its environment.
quorlan_wine_prefix() {
    local prefix=$1 letter setup
    quorlan_wine_env "$prefix" || return 1
    setup="$QUORLAN_WINE_SETUP, $WINEARCH"
    [ "$(cat "$prefix/.quorlan-ready" 2>/dev/null)" = "$setup" ] && return 0
    rm -rf "$prefix"
    mkdir -p "$(dirname "$prefix")"
    xvfb-run -a sh -c '"$WINELOADER" wineboot -i >/dev/null 2>&1; "$WINESERVER" -w'
    # The first letter from D that the prefix leaves free becomes the CD-ROM
    # drive. Its type is read when Wine starts, so it is set here, once; the
    # drive's folder is set for each run (quorlan_wine_cdrom).
    for letter in d e f g h i j k l m n o p q r s t u v w x y; do
        [ -e "$prefix/dosdevices/$letter:" ] || break
    done
    ln -sf "$QUORLAN_WINE_FONTS"/* "$prefix/drive_c/windows/Fonts/"
    xvfb-run -a sh -c '
        "$WINELOADER" reg add "HKCU\\Software\\Wine\\WineDbg" /v ShowCrashDialog /t REG_DWORD /d 0 /f
        "$WINELOADER" reg add "HKCU\\Software\\Wine\\Explorer" /v Desktop /t REG_SZ /d Default /f
        "$WINELOADER" reg add "HKCU\\Software\\Wine\\Explorer\\Desktops" /v Default /t REG_SZ /d 1024x768 /f
        "$WINELOADER" reg add "HKLM\\Software\\Wine\\Drives" /v "$1:" /t REG_SZ /d cdrom /f
        "$WINESERVER" -w' _ "$letter" >/dev/null 2>&1
    echo "$letter" >"$prefix/.quorlan-cdrom"
    echo "$setup" >"$prefix/.quorlan-ready"
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
    [ $# -ge 1 ] || { echo "usage: wine-env.sh PREFIX [COMMAND ARGS...] | --arch" >&2; exit 2; }
    if [ "$1" = --arch ]; then
        quorlan_wine_arch
        printf '%s\n%s\n' "$QUORLAN_WINE_ARCH" "$QUORLAN_WINE_WHY"
        exit 0
    fi
    quorlan_wine_prefix "$1"
    shift
    [ $# -eq 0 ] || "$@"
fi
