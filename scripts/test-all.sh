#!/bin/sh
# The whole test command: host build and tests, the Windows cross builds, then
# the Windows programs under Wine.
set -e
cd "$(dirname "$0")/.."
sh scripts/install-deps.sh
jobs=$(nproc 2>/dev/null || echo 2)
cmake --preset default
cmake --build --preset default -j "$jobs"
ctest --preset default -j "$jobs"
for preset in windows-i686 windows-x86_64; do
    cmake --preset $preset
    cmake --build --preset $preset -j "$jobs"
done
sh scripts/check-imports.sh
# The real programs under Wine (skipped, saying why, where Wine cannot start).
sh scripts/test-wine.sh
