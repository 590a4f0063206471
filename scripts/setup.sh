#!/bin/sh
# Installs what building, testing and running Kelp need on Debian 12.
# Idempotent: when everything is present it changes nothing.
set -eu

PACKAGES="wine wine32:i386 g++-mingw-w64-i686 mingw-w64-tools googletest cmake make bsdutils tmux zip"

missing=""
for p in $PACKAGES; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing="$missing $p"
    fi
done

[ -z "$missing" ] && exit 0

if [ "$(id -u)" != 0 ]; then
    echo "setup: missing packages:$missing (run as root to install them)" >&2
    exit 1
fi

if ! dpkg --print-foreign-architectures | grep -qx i386; then
    dpkg --add-architecture i386
fi
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
apt-get install -y -qq --no-install-recommends $missing >/dev/null
