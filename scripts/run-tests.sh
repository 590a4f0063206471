#!/bin/sh
# Runs every test under Wine with one persistent wineserver, and ends that
# server on every way out so nothing is left running.
set -u
. "$(dirname "$0")/wine-env.sh" "${1:-build}"

wine_prefix_ready
wineserver -p
trap 'wineserver -k >/dev/null 2>&1 || true' EXIT INT TERM
wine_services_started

cd "$BUILD_DIR"
ctest --output-on-failure --timeout 300
