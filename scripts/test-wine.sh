#!/bin/sh
# The real Windows programs under Wine. Needs the Windows builds
# (scripts/test-all.sh makes them) and the host build (bmp2png).
set -e
cd "$(dirname "$0")/.."
if ! sh scripts/install-wine.sh; then
    echo "wine suite: SKIPPED: Wine could not be installed"
    exit 0
fi
exec sh wine/run-suite.sh
