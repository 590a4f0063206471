#!/bin/sh
# Runs every benchmark program under Wine; each prints its own figures.
set -u
. "$(dirname "$0")/wine-env.sh" "${1:-build}"

wine_session_begin

status=0
for program in "$BUILD_DIR"/bench/*.exe; do
    [ -e "$program" ] || continue
    echo "== $(basename "$program" .exe)"
    wine "$program" || status=1
done
exit $status
