#!/bin/sh
# Runs every test under Wine with one persistent wineserver, and ends that
# server on every way out so nothing is left running.
set -u
. "$(dirname "$0")/wine-env.sh" "${1:-build}"

wine_session_begin
# Tests that expect no phone server at all must not find one a demo or an
# interrupted run left registered in the prefix.
"$(dirname "$0")/register-phone-server.sh" --unregister "$BUILD_DIR" >/dev/null

cd "$BUILD_DIR"
ctest --output-on-failure --timeout 300
