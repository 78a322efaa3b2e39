#!/bin/sh
# Builds the fuzz preset (clang, libFuzzer, ASan+UBSan) and runs each
# harness for ${FUZZ_SECONDS:-20} seconds on its seed corpus. Without clang
# and its fuzzer runtime it fails loudly: a fuzz run that cannot run must
# never pass.
set -e
cd "$(dirname "$0")/.."
root=$(pwd)
seconds=${FUZZ_SECONDS:-20}
jobs=$(nproc 2>/dev/null || echo 2)

if ! command -v clang++ >/dev/null 2>&1 ||
    ! echo 'extern "C" int LLVMFuzzerTestOneInput(const char*, unsigned long) { return 0; }' |
    clang++ -x c++ -fsanitize=fuzzer,address,undefined -o /dev/null - >/dev/null 2>&1; then
    echo "test-fuzz: FAILED: clang++ with the libFuzzer runtime is missing" >&2
    echo "test-fuzz: install the packages clang and libclang-rt-dev (scripts/install-deps.sh)" >&2
    exit 1
fi

cmake --preset fuzz
cmake --build --preset fuzz -j "$jobs"

# Each run works on a scratch copy: the corpus in the repository stays as it is.
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failed=""
for corpus in "$root"/fuzz/corpus/*/; do
    name=$(basename "$corpus")
    mkdir -p "$work/$name"
    cp "$corpus"* "$work/$name/"
    echo "test-fuzz: $name for $seconds s"
    if ! (cd "$work" && "$root/build/fuzz/fuzz/fuzz_$name" -max_total_time="$seconds" \
        -detect_leaks=0 -timeout=25 -rss_limit_mb=2048 -print_final_stats=1 \
        -artifact_prefix="$work/$name-" "$work/$name" >"$work/$name.log" 2>&1); then
        tail -40 "$work/$name.log" >&2
        mkdir -p "$root/build/fuzz/findings"
        cp "$work/$name"-* "$root/build/fuzz/findings/" 2>/dev/null || true
        failed="$failed $name"
    fi
    grep -E '^stat::number_of_executed_units' "$work/$name.log" || true
done
if [ -n "$failed" ]; then
    echo "test-fuzz: FAILED:$failed (inputs in build/fuzz/findings)" >&2
    exit 1
fi
echo "test-fuzz: every harness ran $seconds s without a finding"
