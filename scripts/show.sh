#!/usr/bin/env bash
# Installs what is missing, builds quorlan.exe and shows the example disc's
# menu as a CD shows it (quorlan-disc preview). With a display, the window
# opens there. Without one (a server, CI), it runs on a private X server,
# saves a picture of the window to build/quorlan-example.png, closes the
# program and says where the picture is. Where this machine runs no 32-bit
# code, the 64-bit build of the same sources stands in, and the preview
# says so.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
source scripts/wine-env.sh
quorlan_wine_arch
targets=(quorlan quorlan-driver)
[ "$QUORLAN_WINE_ARCH" = 32 ] || targets+=(x64_preview)
cmake --preset win32 >/dev/null
cmake --build --preset win32 -j"$(nproc)" --target "${targets[@]}"
build/win32/quorlan-disc preview examples --select 2 --picture build/quorlan-example.png
