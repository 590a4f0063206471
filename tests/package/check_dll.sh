#!/bin/sh
# The DLL as FAR finds it: exactly the 17 entry points, undecorated, and
# nothing imported but Windows system DLLs.
set -u
dll="$1"
objdump=i686-w64-mingw32-objdump
failed=0

exports=$($objdump -p "$dll" | sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' |
    sed -n 's/^[[:space:]]*\[ *[0-9]*\] //p' | sort | tr '\n' ' ')
expected=$(printf '%s\n' SetStartupInfo GetPluginInfo GetMinFarVersion OpenPlugin ClosePlugin \
    GetOpenPluginInfo GetFindData FreeFindData SetDirectory GetFiles PutFiles DeleteFiles \
    MakeDirectory ProcessKey ProcessEvent Configure ExitFAR | sort | tr '\n' ' ')
if [ "$exports" != "$expected" ]; then
    echo "exports: $exports"
    echo "expected: $expected"
    failed=1
fi

system="kernel32.dll user32.dll ole32.dll oleaut32.dll msvcrt.dll advapi32.dll"
for name in $($objdump -p "$dll" | sed -n 's/^[[:space:]]*DLL Name: //p' | tr 'A-Z' 'a-z'); do
    case " $system " in
    *" $name "*) ;;
    *) echo "imports from $name"; failed=1 ;;
    esac
done

$objdump -f "$dll" | grep -q 'file format pei-i386' || { echo "not PE32 i386"; failed=1; }

if [ $failed = 0 ]; then echo "1 passed, 0 failed"; else echo "0 passed, 1 failed"; fi
exit $failed
