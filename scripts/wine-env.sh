# Sourced by the scripts that run Windows programs: a Wine prefix inside the
# build tree, so nothing leaks between runs or into the user's own prefix.
BUILD_DIR=$(cd "${1:-build}" && pwd)
export WINEPREFIX="$BUILD_DIR/wine"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"

# Creates the prefix on first use. wineboot returns before the programs it
# started have finished setting the prefix up; a COM program started meanwhile
# can wait for ever on the RpcSs service, so wait for them to end (bounded, in
# case some other persistent wineserver keeps this prefix busy).
wine_prefix_ready() {
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
        wineboot --init >/dev/null 2>&1 || true
        timeout 120 wineserver -w || true
    fi
}

# The first Windows program of a wineserver's life starts Wine's services,
# which inherit its output and keep it open; started here with their output
# going nowhere, they can't hold a test runner's pipe open after its tests end.
wine_services_started() {
    wine cmd.exe /c exit </dev/null >/dev/null 2>&1 || true
}

# One persistent wineserver for a run of many programs (each then starts
# fast), ended on every way out so nothing is left running.
wine_session_begin() {
    wine_prefix_ready
    wineserver -p
    trap 'wineserver -k >/dev/null 2>&1 || true' EXIT INT TERM
    wine_services_started
}
