#!/bin/sh
# Runs every benchmark program under Wine; each prints its own figures.
set -u
. "$(dirname "$0")/wine-env.sh" "${1:-build}"

wine_prefix_ready
wineserver -p
trap 'wineserver -k >/dev/null 2>&1 || true' EXIT INT TERM
wine_services_started

status=0
for program in "$BUILD_DIR"/bench/*.exe; do
    [ -e "$program" ] || continue
    echo "== $(basename "$program" .exe)"
    wine "$program" || status=1
done
exit $status
