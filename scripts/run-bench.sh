#!/bin/sh
# Runs every benchmark program under Wine; each prints its own figures.
set -u
. "$(dirname "$0")/wine-env.sh" "${1:-build}"
register="$(dirname "$0")/register-phone-server.sh"

wine_session_begin

# What the run leaves behind goes on every way out: the phones made below,
# the server's registration (before the wineserver ends: regedit needs it),
# and the wineserver itself.
listing_root=""
server_root=""
cleanup() {
    trap - EXIT INT TERM
    if [ -n "$server_root" ]; then
        sh "$register" --unregister "$BUILD_DIR" >/dev/null 2>&1 || true
    fi
    rm -rf "$listing_root" "$server_root"
    wineserver -k >/dev/null 2>&1 || true
}
trap cleanup EXIT
trap 'cleanup; exit 130' INT TERM

# The listing benchmark's phone, made here: Wine takes a folder's size in
# time to make each file in it.
listing_root=$(mktemp -d "${TMPDIR:-/tmp}/kelp-bench-listing-XXXXXX")
for n in 1000 10000; do
    mkdir -p "$listing_root/C/n$n"
    (cd "$listing_root/C/n$n" && seq -f 'file%05.0f.dat' 0 $((n - 1)) | xargs touch)
    # The same under names no console code page spells: every one a stand-in.
    mkdir -p "$listing_root/C/u$n"
    (cd "$listing_root/C/u$n" && seq -f '文件%05.0f.dat' 0 $((n - 1)) | xargs touch)
done
export KELP_BENCH_LISTING_ROOT="$listing_root"

# The out-of-process benchmark's phone and server, registered as an
# installer would (generation 1, the one Kelp tries first); the benchmark
# adds its own server options to the registered command line for a while.
server_root=$(mktemp -d "${TMPDIR:-/tmp}/kelp-bench-server-XXXXXX")
for n in 300 1000 5000 100000; do
    mkdir -p "$server_root/C/n$n"
    (cd "$server_root/C/n$n" && seq -f 'file%06.0f.dat' 0 $((n - 1)) | xargs touch)
done
sh "$register" "$BUILD_DIR" "$server_root" 1 >/dev/null ||
    echo "run-bench: cannot register the phone server"

status=0
for program in "$BUILD_DIR"/bench/*.exe; do
    [ -e "$program" ] || continue
    echo "== $(basename "$program" .exe)"
    wine "$program" || status=1
done
exit $status
