#!/bin/sh
# Smoke run of the benchmarks: the release preset builds only touch_bench and
# what it links (no test suites), and each benchmark runs once, briefly. Its
# figures mean nothing; bench/README.md says how to measure.
set -e
cd "$(dirname "$0")/.."
sh scripts/install-deps.sh
jobs=$(nproc 2>/dev/null || echo 2)
cmake --preset release
cmake --build --preset release --target touch_bench -j "$jobs"
build/release/bench/touch_bench --benchmark_min_time=0.001
