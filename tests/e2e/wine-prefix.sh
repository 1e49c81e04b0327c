#!/usr/bin/env bash
# wine-prefix.sh PREFIX: makes (once) the Wine prefix the tests run in, as
# scripts/wine-env.sh (the one place that says what it holds) makes it.
exec "$(dirname "$0")/../../scripts/wine-env.sh" "$1"
