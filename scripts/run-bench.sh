#!/bin/sh
# Runs every benchmark program under Wine; each prints its own figures.
set -u
. "$(dirname "$0")/wine-env.sh" "${1:-build}"

wine_session_begin

# The listing benchmark's phone, made here: Wine takes a folder's size in
# time to make each file in it.
listing_root=$(mktemp -d "${TMPDIR:-/tmp}/kelp-bench-listing-XXXXXX")
for n in 1000 10000; do
    mkdir -p "$listing_root/C/n$n"
    (cd "$listing_root/C/n$n" && seq -f 'file%05.0f.dat' 0 $((n - 1)) | xargs touch)
done
export KELP_BENCH_LISTING_ROOT="$listing_root"

status=0
for program in "$BUILD_DIR"/bench/*.exe; do
    [ -e "$program" ] || continue
    echo "== $(basename "$program" .exe)"
    wine "$program" || status=1
done
rm -rf "$listing_root"
exit $status
