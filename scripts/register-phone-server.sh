#!/bin/sh
# Registers the out-of-process phone server in the project's Wine prefix
# (<build>/wine), as the real server's installer would on a user's machine:
#
#   register-phone-server.sh <build dir> <phone root> [generation...]
#   register-phone-server.sh --unregister <build dir>
#
# Generations are 1, 2, 3 (default: all). Afterwards the registry names
# exactly the generations given: each gets CLSID\{class}\LocalServer32 with
# the command line of <build>/bin/PhoneServer.exe (the phone root and the
# generations, plus $PHONE_SERVER_ARGS if set, e.g. "--delay-ms 200" or
# "--strict"; PhoneServer.exe's usage comment lists them), and
# both of its interfaces get Interface\{iid}\ProxyStubClsid32 naming the
# proxy/stub class, whose InprocServer32 is <build>/bin/PhoneProxy.dll
# (ThreadingModel Both). The other generations' keys are removed, so running
# it twice changes nothing. --unregister removes every key it can write.
#
# A server already running keeps its old command line until it exits; Wine
# asks it, not the registry, while it has its classes registered.
set -eu

usage() {
    echo "usage: $0 <build dir> <phone root> [1|2|3 ...]" >&2
    echo "       $0 --unregister <build dir>" >&2
    exit 2
}

unregister=0
if [ "${1:-}" = "--unregister" ]; then
    unregister=1
    shift
fi
[ $# -ge 1 ] || usage
build=$1
shift
[ -d "$build" ] || { echo "$0: no build folder $build" >&2; exit 2; }

if [ $unregister = 0 ]; then
    [ $# -ge 1 ] || usage
    root=$1
    shift
    [ -d "$root" ] || { echo "$0: no phone root folder $root" >&2; exit 2; }
    root=$(cd "$root" && pwd)
    generations=${*:-1 2 3}
    for g in $generations; do
        case $g in 1|2|3) ;; *) usage ;; esac
    done
else
    generations=""
fi

set -- "$build"
. "$(dirname "$0")/wine-env.sh"

# Keep these in step with link/remote_ids.cpp and emu/phone/proxy/proxy_class.h.
PROXY_CLSID="{D9761B4F-7C70-4E80-9C3B-FB16BBDFA709}"
suffix() {
    case $1 in
        1) echo "05A0-11D2-A953-00105A46D6E4" ;;
        2) echo "299C-11D5-81AE-00010212B422" ;;
        3) echo "48EC-44BC-8B02-6E659312060F" ;;
    esac
}
CLASSES='HKEY_LOCAL_MACHINE\Software\Classes'

# /a/b -> Z:\a\b, written for a .reg file (backslashes doubled).
reg_path() {
    printf 'Z:%s' "$1" | sed 's|/|\\\\|g'
}

server_exe="$BUILD_DIR/bin/PhoneServer.exe"
proxy_dll="$BUILD_DIR/bin/PhoneProxy.dll"
if [ $unregister = 0 ]; then
    for f in "$server_exe" "$proxy_dll"; do
        [ -f "$f" ] || { echo "$0: $f is missing; build first" >&2; exit 2; }
    done
fi

# printf, not echo: dash's echo would read the backslashes as escapes.
line() { printf '%s\n' "$1"; }

reg_file="$BUILD_DIR/phone-server-registration.reg"
{
    line "REGEDIT4"
    line ""
    # Removing first makes the result the same whatever was there before.
    for g in 1 2 3; do
        s=$(suffix $g)
        line "[-$CLASSES\\CLSID\\{EC100153-$s}]"
        line "[-$CLASSES\\Interface\\{EC000153-$s}]"
        line "[-$CLASSES\\Interface\\{EC000154-$s}]"
    done
    line "[-$CLASSES\\CLSID\\$PROXY_CLSID]"
    line ""

    if [ -n "$generations" ]; then
        list=$(echo $generations | tr ' ' ',')
        command="$(reg_path "$server_exe") --root \\\"$(reg_path "$root")\\\" --generations $list"
        [ -n "${PHONE_SERVER_ARGS:-}" ] && command="$command $PHONE_SERVER_ARGS"
        for g in $generations; do
            s=$(suffix $g)
            line "[$CLASSES\\CLSID\\{EC100153-$s}]"
            line "@=\"Kelp phone emulator, generation $g\""
            line "[$CLASSES\\CLSID\\{EC100153-$s}\\LocalServer32]"
            line "@=\"$command\""
            line "[$CLASSES\\Interface\\{EC000153-$s}]"
            line "@=\"IRemoteFs$g\""
            line "[$CLASSES\\Interface\\{EC000153-$s}\\NumMethods]"
            line "@=\"18\""
            line "[$CLASSES\\Interface\\{EC000153-$s}\\ProxyStubClsid32]"
            line "@=\"$PROXY_CLSID\""
            line "[$CLASSES\\Interface\\{EC000154-$s}]"
            line "@=\"IRemoteFsSink$g\""
            line "[$CLASSES\\Interface\\{EC000154-$s}\\NumMethods]"
            line "@=\"28\""
            line "[$CLASSES\\Interface\\{EC000154-$s}\\ProxyStubClsid32]"
            line "@=\"$PROXY_CLSID\""
        done
        line "[$CLASSES\\CLSID\\$PROXY_CLSID]"
        line "@=\"Kelp phone proxy/stub\""
        line "[$CLASSES\\CLSID\\$PROXY_CLSID\\InprocServer32]"
        line "@=\"$(reg_path "$proxy_dll")\""
        line "\"ThreadingModel\"=\"Both\""
    fi
} >"$reg_file"

wine_prefix_ready
wine regedit /S "$(reg_path "$reg_file" | sed 's|\\\\|\\|g')" </dev/null
rm -f "$reg_file"
if [ -n "$generations" ]; then
    echo "phone server registered for generation(s) $generations, phone root $root"
else
    echo "phone server unregistered"
fi
