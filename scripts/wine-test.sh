#!/bin/sh
# Runs one Windows test program under Wine; ctest runs every test program
# through it:   wine-test.sh <program.exe> [arguments...]
#
# Wine 8's RpcSs keeps the class registrations of a program that ended
# without revoking them (one killed by a timeout, say), and the next
# program's CoCreateInstance of such a class then fails with 0x800706BA
# instead of reaching its own server or none. So each program starts with
# RpcSs stopped; COM starts it again on first use. Stopping it through the
# service manager needs no administrator rights and takes about 0.1 s.
# (Programs that use COM never run side by side here: they share the
# prefix's registrations anyway.)
wine net stop rpcss >/dev/null 2>&1
exec wine "$@"
