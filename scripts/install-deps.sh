#!/bin/sh
# Installs what a fresh machine lacks for the host build, the tests and the
# Windows cross build. Needs root only when something is missing.
set -e
need=""
command -v cmake >/dev/null 2>&1 || need="$need cmake"
command -v g++ >/dev/null 2>&1 || need="$need g++"
[ -f /usr/include/gtest/gtest.h ] || need="$need libgtest-dev"
[ -f /usr/include/gmock/gmock.h ] || need="$need libgmock-dev"
[ -f /usr/include/benchmark/benchmark.h ] || need="$need libbenchmark-dev"
[ -f /usr/include/tslib.h ] || need="$need libts-dev"
command -v pkg-config >/dev/null 2>&1 || need="$need pkg-config"
[ -f /usr/include/png.h ] || need="$need libpng-dev"
# PNG pictures: librsvg renders the SVG through cairo; fonts so that texts draw.
[ -f /usr/include/librsvg-2.0/librsvg/rsvg.h ] || need="$need librsvg2-dev"
[ -d /usr/share/fonts/truetype/liberation2 ] || need="$need fonts-liberation2"
command -v i686-w64-mingw32-g++ >/dev/null 2>&1 || need="$need g++-mingw-w64-i686 binutils-mingw-w64-i686"
command -v x86_64-w64-mingw32-g++ >/dev/null 2>&1 || need="$need g++-mingw-w64-x86-64 binutils-mingw-w64-x86-64"
[ -n "$need" ] || exit 0
if [ "$(id -u)" != 0 ]; then
    echo "missing packages:$need (run as root to install them)" >&2
    exit 1
fi
export DEBIAN_FRONTEND=noninteractive
apt-get update -q
apt-get install -y -q $need
