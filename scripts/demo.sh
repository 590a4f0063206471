#!/bin/sh
# Shows Kelp as a user meets it: the interactive host (KelpHost.exe) with a
# PC folder on the left and Kelp's panel on the right, over a demo phone.
#
#   demo.sh [build dir]
#
# On a terminal it opens the panels (F10 quits). Without one (CI, a pipe) it
# prints a scripted tour of the same operations instead and exits with its
# result.
#
# The demo lives in <build>/demo (KELP_DEMO_DIR moves it): phone/ holds the
# phone's drives C and E, pc/ the PC folder; both are made on the first run
# and kept afterwards, so what you copy stays. KELP_DEMO_PHONE=inprocess
# serves the phone inside KelpHost.exe even when the out-of-process server
# is built; KELP_HOST_ARGS adds options of KelpHost.exe (--slow: copies of
# the in-process phone go in small timed steps).
set -eu
here=$(cd "$(dirname "$0")" && pwd)
"$here/setup.sh"
. "$here/wine-env.sh" "${1:-build}"

demo=${KELP_DEMO_DIR:-$BUILD_DIR/demo}
host="$BUILD_DIR/bin/KelpHost.exe"
if [ ! -f "$host" ] || [ ! -f "$BUILD_DIR/Plugins/Kelp/Kelp.dll" ]; then
    cmake --build "$BUILD_DIR" --target KelpHost -j2 >/dev/null
fi

# A small phone: a text file per line of "path|content".
make_files() {
    while IFS='|' read -r path content; do
        mkdir -p "$(dirname "$1/$path")"
        printf '%s\r\n' "$content" >"$1/$path"
    done
}

make_demo() {
    mkdir -p "$1/phone/C" "$1/phone/E" "$1/pc"
    make_files "$1/phone" <<'EOF'
C/Documents/readme.txt|This phone is a folder on the PC, served by the phone emulator.
C/Documents/shopping-list.txt|Bread, milk, coffee, apples.
C/Documents/meeting-notes.txt|Thursday 10:00: plan the release.
C/Images/holiday-01.jpg|(a picture of the sea)
C/Images/holiday-02.jpg|(a picture of the mountains)
C/Images/東京.jpg|(a picture of the city at night: its name is shown under a stand-in)
C/Music/ringtone.mid|(a short tune)
E/Music/album/track-01.mp3|(the first song)
E/Music/album/track-02.mp3|(the second song)
E/Backup/contacts.vcf|BEGIN:VCARD
EOF
    make_files "$1/pc" <<'EOF'
from-the-pc.txt|Written on the PC, ready to go to the phone.
Photos/camera-roll.txt|Copy the phone's pictures here.
EOF
}

[ -d "$demo/phone" ] || make_demo "$demo"

wine_prefix_ready
wine_services_started

if [ ! -t 0 ] || [ ! -t 1 ]; then
    # No terminal: the tour, on fresh copies so it tells the same every time.
    rm -rf "$demo/tour"
    mkdir -p "$demo/tour"
    make_demo "$demo/tour"
    echo "No terminal here: a scripted tour instead of the panels."
    wine "$host" --tour --phone "$demo/tour/phone" --pc "$demo/tour/pc" </dev/null
    exit $?
fi

# The out-of-process server, as a user's machine has it, when it is built;
# its registration is taken back when the demo ends, so the prefix the tests
# use is left as it was.
register="$here/register-phone-server.sh"
if [ "${KELP_DEMO_PHONE:-}" != inprocess ] && [ -f "$register" ] &&
    [ -f "$BUILD_DIR/bin/PhoneServer.exe" ]; then
    sh "$register" "$BUILD_DIR" "$demo/phone" >/dev/null
    trap 'sh "$register" --unregister "$BUILD_DIR" >/dev/null 2>&1 || true' EXIT INT TERM
    wine "$host" --no-register --pc "$demo/pc" ${KELP_HOST_ARGS:-}
else
    wine "$host" --phone "$demo/phone" --pc "$demo/pc" ${KELP_HOST_ARGS:-}
fi
