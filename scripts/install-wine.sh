#!/bin/sh
# Installs Wine (with its 32-bit side where Debian offers it) and a headless X
# server for the Wine suite. Needs root only when something is missing.
set -e
command -v wine >/dev/null 2>&1 && command -v xvfb-run >/dev/null 2>&1 &&
    dpkg -s wine32:i386 >/dev/null 2>&1 && exit 0
if [ "$(id -u)" != 0 ]; then
    echo "wine, wine32:i386 or xvfb missing (run as root to install them)" >&2
    exit 1
fi
export DEBIAN_FRONTEND=noninteractive
dpkg --add-architecture i386
apt-get update -q
apt-get install -y -q --no-install-recommends wine wine64 xvfb xauth
# The 32-bit side lets the shipped i686 files run; without it the suite
# falls back to the x86_64 build.
apt-get install -y -q --no-install-recommends wine32:i386 ||
    echo "wine32:i386 could not be installed; the suite will use the x86_64 build" >&2
