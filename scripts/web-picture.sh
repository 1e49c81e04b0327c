#!/usr/bin/env bash
# Makes docs/web.png, the picture of the checker's page that docs/web.md
# shows: the page's browser test, run with its picture copied there (the
# test itself writes only into the build folder). Needs the wasm and
# native configurations built (the test compares the page with the native
# checker); QUORLAN_NATIVE_CHECK names another native quorlan-check.
set -euo pipefail
cd "$(dirname "$0")/.."
native=${QUORLAN_NATIVE_CHECK:-build/native/quorlan-check}
[ -x "$native" ] || { echo "web-picture: no native checker at $native: build the native preset first" >&2; exit 1; }
cmake --preset wasm >/dev/null
cmake --build --preset wasm -j2 --target web_page >/dev/null
node web/test_page.js build/wasm/web/quorlan-check.html . "$native" build/wasm/web/picture-run \
    --picture docs/web.png
echo "web-picture: docs/web.png"
