#!/usr/bin/env bash
# Installs, from Debian's packages, everything the builds and tests need, and
# the Node packages of the VS Code extension and of the checker's page, as
# their lock files pin them.
# Idempotent: when every package is present it returns at once without apt
# or npm.
set -euo pipefail

packages=(cmake g++ make googletest libgtest-dev libgmock-dev libbenchmark-dev
          g++-mingw-w64-i686 binutils-mingw-w64-i686 g++-mingw-w64-x86-64 binutils-mingw-w64-x86-64
          clang libclang-rt-14-dev valgrind python3 python3-pefile nlohmann-json3-dev
          wine wine32:i386 wine64 fonts-wine xvfb xauth x11-utils imagemagick xorriso
          neovim tmux xterm nodejs dpkg-dev file lintian mandoc man-db bash-completion
          emscripten node-acorn chromium)

# Debian's own nodejs comes without npm, which is a package of its own there;
# another Node (as these machines have) carries its npm in its nodejs package.
command -v npm >/dev/null || packages+=(npm)

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q '^install ok installed$'; then
        missing+=("$p")
    fi
done
if [ ${#missing[@]} -gt 0 ]; then
    [ "$(id -u)" -eq 0 ] || { echo "install-deps: run as root to install: ${missing[*]}" >&2; exit 1; }
    export DEBIAN_FRONTEND=noninteractive
    if ! dpkg --print-foreign-architectures | grep -qx i386; then
        dpkg --add-architecture i386
    fi
    apt-get update -qq
    apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

# The lock file that node_modules was installed from is kept beside it.
for folder in editors/vscode web; do
    installed=$(cd "$(dirname "$0")/../$folder" && pwd)
    if ! cmp -s "$installed/package-lock.json" "$installed/node_modules/.installed-lock.json"; then
        npm ci --prefix "$installed" --no-audit --no-fund --loglevel=error >/dev/null
        cp "$installed/package-lock.json" "$installed/node_modules/.installed-lock.json"
    fi
done
