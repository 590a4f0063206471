# Sourced by the scripts that run Windows programs: a Wine prefix inside the
# build tree, so nothing leaks between runs or into the user's own prefix.
BUILD_DIR=$(cd "${1:-build}" && pwd)
export WINEPREFIX="$BUILD_DIR/wine"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"

# Creates the prefix on first use; wineboot returns once it is set up.
wine_prefix_ready() {
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
        wineboot --init >/dev/null 2>&1 || true
    fi
}
