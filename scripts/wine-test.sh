#!/bin/sh
# Runs one Windows test program under Wine; ctest runs every test program
# through it:   wine-test.sh <program.exe> [arguments...]
#
# Wine 8's RpcSs keeps the class registrations of a program that ended
# without revoking them (one killed by a timeout, say), and the next
# program's CoCreateInstance of such a class then fails with 0x800706BA
# instead of reaching its own server or none. So each program starts with
# a fresh RpcSs. Stopping and starting it through the service manager needs
# no administrator rights and takes about 0.2 s. It is started before the
# program, not by COM on first use: a service runs in the session's
# environment, and Wine writes the user's regional formats over with the
# locale of each process that starts in another locale than the last, so
# the Russian run would read English number and date formats once COM had
# started it. (Programs that use COM never run side by side here: they
# share the prefix's registrations anyway.)
wine net stop rpcss >/dev/null 2>&1
wine net start rpcss >/dev/null 2>&1
exec wine "$@"
