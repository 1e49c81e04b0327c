#!/usr/bin/env bash
# Which Wine scripts/wine-env.sh chooses, on machines made up of a folder of
# loaders and servers: each 32-bit one present and runnable, present but
# refused by the kernel (as where no 32-bit code runs), or absent; with and
# without QUORLAN_WINE_ARCH. The 64-bit ones stand for this machine's own.
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
real=/usr/lib/wine

# Makes the folder $work/NAME: KIND32 is runs, refused or absent; KIND64 the same.
machine() {
    local dir=$work/$1 name
    echo "$dir"
    [ -d "$dir" ] && return
    mkdir -p "$dir"
    for name in wine wineserver32; do
        case $2 in
            runs) printf '#!/bin/sh\necho wine-8.0\n' >"$dir/$name"; chmod +x "$dir/$name" ;;
            refused) printf '\177ELF\001garbage' >"$dir/$name"; chmod +x "$dir/$name" ;;
        esac
    done
    for name in wine64 wineserver64; do
        case $3 in
            runs) ln -s "$real/$name" "$dir/$name" ;;
            refused) printf '\177ELF\002garbage' >"$dir/$name"; chmod +x "$dir/$name" ;;
        esac
    done
}

failures=0
# 32-bit  64-bit  forced  expected: the arch and its reason, or "fails: " and the message's start
while IFS='|' read -r kind32 kind64 forced expected; do
    [ -n "$kind32" ] || continue
    dir=$(machine "$kind32-$kind64" "$kind32" "$kind64")
    got=$(QUORLAN_WINE_LIB=$dir QUORLAN_WINE_ARCH=$forced bash "$here/../scripts/wine-env.sh" --arch 2>&1 |
          tr '\n' ' ' | sed 's/ $//')
    status=${PIPESTATUS[0]}
    case $expected in
        fails:*) want=${expected#fails: }; ok=$([ "$status" -ne 0 ] && [[ $got == "wine-env: $want"* ]] && echo 1) ;;
        *) ok=$([ "$status" -eq 0 ] && [ "$got" = "$expected" ] && echo 1) ;;
    esac
    if [ -z "$ok" ]; then
        echo "FAIL: 32-bit $kind32, 64-bit $kind64, QUORLAN_WINE_ARCH='$forced': got '$got' (exit $status), expected '$expected'"
        failures=$((failures + 1))
    fi
done <<'TABLE'
runs|runs||32 the 32-bit program under 32-bit Wine
runs|runs|32|32 the 32-bit program under 32-bit Wine
runs|runs|64|64 QUORLAN_WINE_ARCH=64 asks for it
refused|runs||64 this machine runs no 32-bit code
absent|runs||64 32-bit Wine is not installed
refused|runs|64|64 this machine runs no 32-bit code
refused|runs|32|fails: QUORLAN_WINE_ARCH=32, but this machine runs no 32-bit code
absent|runs|32|fails: QUORLAN_WINE_ARCH=32, but 32-bit Wine is not installed
refused|refused||fails: no Wine can run here: this machine runs no 32-bit code
absent|absent||fails: no Wine can run here: 32-bit Wine is not installed
runs|refused|64|fails: no Wine can run here: QUORLAN_WINE_ARCH=64
runs|runs|86|fails: QUORLAN_WINE_ARCH is '86'
TABLE
echo "wine choice: $failures failures"
[ "$failures" -eq 0 ]
