#!/usr/bin/env bash
# Fuzzes the file readers with libFuzzer: builds the targets in fuzz/ with
# clang (AddressSanitizer and UndefinedBehaviorSanitizer on) into build-fuzz/,
# then runs each for the given number of inputs, starting from the seeds in
# fuzz/corpus/<target>/ and keeping what it learns in build-fuzz/corpus/.
#
#   scripts/fuzz.sh [inputs per target, default 1000000] [target name...]
#
# A crash stops the run and leaves the input as build-fuzz/crash-*; run it
# again with build-fuzz/fuzz_<target> <that file>.
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-1000000}
shift || true
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
    for source in fuzz/*_fuzz.cpp; do targets+=("$(basename "$source" .cpp)"); done
fi
command -v clang++ >/dev/null || { echo "clang++ is missing: apt-get install clang libclang-rt-14-dev" >&2; exit 1; }

CC=clang CXX=clang++ cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTARNO_FUZZ=ON >/dev/null
cmake --build build-fuzz -j2 --target "${targets[@]/#/fuzz_}"

export ASAN_OPTIONS=detect_leaks=0:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
for target in "${targets[@]}"; do
    corpus=build-fuzz/corpus/$target
    mkdir -p "$corpus"
    echo "== $target: $runs inputs"
    log=build-fuzz/$target.log
    if ! (cd build-fuzz && "./fuzz_$target" -runs="$runs" -max_len=8192 -print_final_stats=1 \
            "corpus/$target" "../fuzz/corpus/$target") >"$log" 2>&1; then
        tail -40 "$log"
        echo "FAILED: $target (log in $log)" >&2
        exit 1
    fi
    grep -E "^stat::(number_of_executed_units|peak_rss_mb)|DONE" "$log" || true
done
