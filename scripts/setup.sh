#!/bin/sh
# Installs what building, testing and running Kelp need on Debian 12.
# Idempotent: when everything is present it changes nothing.
set -eu

PACKAGES="wine wine32:i386 g++-mingw-w64-i686 mingw-w64-tools googletest cmake make bsdutils tmux zip locales"

missing=""
for p in $PACKAGES; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing="$missing $p"
    fi
done

# Wine writes Cyrillic file names to disk only under a glibc locale that
# spells them, so the Russian-locale tests need ru_RU.UTF-8 generated.
russian_locale() {
    locale -a 2>/dev/null | grep -qix 'ru_RU.utf8' && return 0
    if [ "$(id -u)" != 0 ]; then
        echo "setup: the ru_RU.UTF-8 locale is missing (run as root to generate it)" >&2
        return 1
    fi
    localedef -i ru_RU -f UTF-8 ru_RU.UTF-8
}

if [ -z "$missing" ]; then
    russian_locale
    exit 0
fi

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
russian_locale
