#!/usr/bin/env bash
# Installs what is missing, builds the Windows executable and says where it is.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake --preset win32 >/dev/null
cmake --build --preset win32 -j"$(nproc)"
echo "built: $(pwd)/build/win32/quorlan.exe"
