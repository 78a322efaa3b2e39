#!/bin/sh
# Builds and runs the tests under the asan (ASan+UBSan) and tsan presets.
set -e
cd "$(dirname "$0")/.."
jobs=$(nproc 2>/dev/null || echo 2)
for preset in ${*:-asan tsan}; do
    cmake --preset $preset
    cmake --build --preset $preset -j "$jobs"
    ctest --preset $preset -j "$jobs"
done
