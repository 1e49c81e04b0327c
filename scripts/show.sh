#!/usr/bin/env bash
# Installs what is missing, builds quorlan.exe and shows the example disc's
# menu as a CD shows it (quorlan-disc preview). With a display, the window
# opens there. Without one (a server, CI), it runs on a private X server,
# saves a picture of the window to build/quorlan-example.png, closes the
# program and says where the picture is.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
cmake --preset win32 >/dev/null
cmake --build --preset win32 -j"$(nproc)" --target quorlan e2e_driver
build/win32/quorlan-disc preview examples --select 2 --picture build/quorlan-example.png
