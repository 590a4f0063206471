#!/bin/bash
# The demo as a person meets it: the interactive host on a 100x30 terminal
# (tmux), driven with keys and read back from the screen.
#
#   screen_test.sh <build dir>
#
# Opens the demo on a private copy of its folders, looks at the disk menu,
# enters the phone's C:\Documents, copies readme.txt with F5 and checks the
# copy dialog, the file on the PC and the panels; then starts copying a big
# file (the phone copies in small timed steps here), reads the time line
# and speed in its progress box and stops it with Esc,
# which must reach the plug-in while it copies; then quits with F10.
# Then once more over the out-of-process server, as a user's machine has it:
# the server's process is suspended while Kelp enters a folder, and Esc on
# the waiting box must give the panel back where it was.
# Fails, never skips, when tmux or Wine cannot run it.
set -u
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)

fail() {
    echo "screen test: FAILED: $*" >&2
    if [ -n "${screen_text:-}" ]; then
        echo "--- the screen ---" >&2
        printf '%s\n' "$screen_text" >&2
    fi
    exit 1
}

command -v tmux >/dev/null || fail "tmux is not installed (scripts/setup.sh installs it)"
command -v wine >/dev/null || fail "wine is not installed (scripts/setup.sh installs it)"
[ -d "${1:-}" ] || fail "usage: $0 <build dir>"
. "$root/scripts/wine-env.sh" "$1"
[ -f "$BUILD_DIR/bin/KelpHost.exe" ] || fail "$BUILD_DIR/bin/KelpHost.exe is not built"

demo="$BUILD_DIR/screen-test/demo"
rm -rf "$BUILD_DIR/screen-test"
mkdir -p "$BUILD_DIR/screen-test"
status_file="$BUILD_DIR/screen-test/exit-status"

# A tmux server of our own, ended on every way out.
socket="kelp-screen-$$"
tmuxc() { tmux -u -L "$socket" "$@"; }
# A server suspended below is let go on every way out too.
stopped_server=""
finish() {
    [ -n "$stopped_server" ] && kill -CONT $stopped_server 2>/dev/null
    tmuxc kill-server >/dev/null 2>&1 || true
}
trap finish EXIT INT TERM

screen_text=""
capture() { screen_text=$(tmuxc capture-pane -p -t demo 2>/dev/null); }

# wait_for <seconds> <what it means> <grep -E pattern>...: every pattern on
# the screen at once.
wait_for() {
    local seconds=$1 what=$2
    shift 2
    local deadline=$((SECONDS + seconds))
    while :; do
        capture
        local all=1 pattern
        for pattern in "$@"; do
            printf '%s\n' "$screen_text" | grep -Eq -- "$pattern" || { all=0; break; }
        done
        [ $all = 1 ] && return 0
        [ $SECONDS -ge $deadline ] && fail "no $what after ${seconds}s (looked for: $*)"
        sleep 0.2
    done
}

wait_gone() {
    local seconds=$1 what=$2 pattern=$3
    local deadline=$((SECONDS + seconds))
    while :; do
        capture
        printf '%s\n' "$screen_text" | grep -Eq -- "$pattern" || return 0
        [ $SECONDS -ge $deadline ] && fail "$what still on the screen after ${seconds}s"
        sleep 0.2
    done
}

keys() { tmuxc send-keys -t demo "$@" || fail "tmux send-keys $*"; }

wine_prefix_ready
tmuxc new-session -d -s demo -x 100 -y 30 \
    "env LC_ALL=C.UTF-8 KELP_DEMO_DIR='$demo' KELP_DEMO_PHONE=inprocess KELP_HOST_ARGS=--slow \
     sh '$root/scripts/demo.sh' '$BUILD_DIR'; echo \$? >'$status_file'; sleep 30" ||
    fail "tmux could not start a session"

# Both panels: the PC folder on the left, Kelp on the phone's drives on the right.
wait_for 90 "panels" '10Quit' 'demo\\pc' 'Kelp:' '║C: +│ +<Folder>' '║E: +│ +<Folder>'

# The disk menu lists Kelp's entry beside the PC's drives.
keys M-F1
wait_for 10 "disk menu" '═ Disk ═' '║ Phone +║' '║ C: +disk'
keys Escape
wait_gone 10 "the disk menu" '═ Disk ═'

# A file whose copy takes long enough to stop (3 MB in 2 KB steps of 15 ms).
head -c 3000000 /dev/zero >"$demo/phone/C/Documents/big.bin" || fail "cannot make big.bin"

# Into C:, then Documents, onto readme.txt (the status line names it).
keys Down Enter
wait_for 15 "C: listing" 'Kelp:C: ' '║Documents +│'
keys Down Enter
wait_for 15 "C:\\Documents listing" 'Kelp:C:\\Documents' '║readme\.txt +│ +65│' '║big\.bin +│'
keys Down Down Down
wait_for 10 "cursor on readme.txt" 'readme\.txt +65 [0-9]'

# F5: the plug-in's copy dialog, aimed at the PC folder, its rule drawn
# on the frame as the host's own dialogs have it.
keys F5
wait_for 15 "copy dialog" '═ Copy ═' 'Copy "readme\.txt" to:' 'screen-test\\demo\\pc\\ ' '\[ Copy \]' '\[ Cancel \]' \
    '╟(─){68}╢'
keys Enter
wait_gone 15 "the copy dialog" 'Copy "readme\.txt" to:'

deadline=$((SECONDS + 15))
until [ -f "$demo/pc/readme.txt" ]; do
    [ $SECONDS -ge $deadline ] && fail "readme.txt did not arrive in $demo/pc"
    sleep 0.2
done
cmp -s "$demo/phone/C/Documents/readme.txt" "$demo/pc/readme.txt" ||
    fail "the copy differs from the phone's file"
# The left panel lists it now; Kelp's panel still has it.
wait_for 10 "readme.txt in both panels" '^║readme\.txt +│ +65│' '║║readme\.txt +│ +65│'

# F5 on big.bin, and Esc while its progress box is up.
keys Up Up
wait_for 10 "cursor on big.bin" 'big\.bin +3,000,000 [0-9]'
keys F5
wait_for 15 "copy dialog for big.bin" 'Copy "big\.bin" to:'
keys Enter
wait_for 15 "progress box" '═ Copy ═' 'Copying the file' '║ big\.bin +║' '░'
# The host's settings as FAR's defaults: the time line under the count,
# with a speed once a second has passed, and the bar as wide as the box.
wait_for 10 "the time line with a speed" \
    '║ Time: [0-9]{2}:[0-9]{2}:[0-9]{2}  Remaining: [0-9]{2}:[0-9]{2}:[0-9]{2} +[0-9.]+ [KM]?B/s ║' \
    '║ (█|░){48} ║'
keys Escape
wait_gone 10 "the progress box after Esc" 'Copying the file'
ls "$demo/pc" | grep -q '^big\.bin' && fail "a stopped copy left $(ls "$demo/pc" | grep '^big\.bin') on the PC"
capture
printf '%s\n' "$screen_text" | grep -Eq '^║big\.bin' && fail "the left panel lists big.bin"

# quit_demo: F10, and the demo script must end with status 0.
quit_demo() {
    keys F10
    local deadline=$((SECONDS + 20))
    until [ -s "$status_file" ]; do
        [ $SECONDS -ge $deadline ] && { capture; fail "the host did not quit on F10"; }
        sleep 0.2
    done
    [ "$(cat "$status_file")" = 0 ] || fail "the demo ended with status $(cat "$status_file")"
}
quit_demo

# The out-of-process server: its process is suspended, as when the phone is
# pulled out in the middle of a request, and Kelp enters C:\Documents.
rm -f "$status_file"
# A tmux server left without sessions exits in its own time, and a new
# session on its socket meanwhile can reach the exiting server and fail:
# the second session gets a server and a socket of its own.
tmuxc kill-server >/dev/null 2>&1
socket="kelp-screen-$$-second"
tmuxc new-session -d -s demo -x 100 -y 30 \
    "env LC_ALL=C.UTF-8 KELP_DEMO_DIR='$demo' sh '$root/scripts/demo.sh' '$BUILD_DIR'; \
     echo \$? >'$status_file'; sleep 30" ||
    fail "tmux could not start a session"
wait_for 90 "panels over the server" 'Kelp:' '║C: +│ +<Folder>'
keys Down Enter
wait_for 15 "C: listing over the server" 'Kelp:C: ' '║Documents +│'
stopped_server=$(pgrep -f 'PhoneServer\.exe.*screen-test' | tr '\n' ' ')
[ -n "$stopped_server" ] || fail "no PhoneServer.exe serves the demo's phone"
kill -STOP $stopped_server
keys Down Enter
wait_for 15 "the waiting box" 'Waiting for the phone' 'Esc stops'
keys Escape
wait_gone 2 "the waiting box after Esc" 'Waiting for the phone'
# Back where it was: C:, its listing, and nothing to answer.
wait_for 2 "C: as it was" 'Kelp:C: ' '║Documents +│' '║Images +│'
capture
printf '%s\n' "$screen_text" | grep -q 'Phone error' && fail "a message after the user's own Esc"

# The link is not trusted again: the next step says why and closes the
# panel, and the disk menu connects afresh once the server runs again.
kill -CONT $stopped_server
stopped_server=""
keys Enter
wait_for 15 "the message of the stopped wait" 'Phone error' 'The wait for the phone was stopped'
keys Enter
wait_gone 10 "Kelp's panel" 'Kelp:'
keys M-F2
wait_for 10 "disk menu" '═ Disk ═' '║ Phone +║'
keys Down Enter  # from the home folder, the line the menu starts on
wait_for 30 "drives over a fresh connection" 'Kelp:' '║C: +│ +<Folder>'
quit_demo
echo "screen test: panels, disk menu, copy dialog, F5 copy, Esc during a copy, and Esc on a suspended server all as expected"
