#!/bin/bash
# Runs the libFuzzer targets of the Windows-free logic natively with clang
# (AddressSanitizer and UndefinedBehaviorSanitizer), each for a fixed number
# of executions over its corpus in tests/fuzz/<target>/. New inputs that
# widen coverage go to build/fuzz/corpus/<target>/, not into the repository.
#   tools/fuzz.sh [runs-per-target]      (default 200000)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
runs=${1:-200000}
"$root/tools/setup-debian.sh" clang
build="$root/build/fuzz"
CC=clang CXX=clang++ cmake -G Ninja -S "$root" -B "$build" -DSW_FUZZ=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_CXX_FLAGS="-fsanitize=address,undefined -fno-sanitize-recover=all" >/dev/null
cmake --build "$build" >/dev/null
status=0
for target in lines integer settings address; do
    mkdir -p "$build/corpus/$target"
    echo "== $target: $runs runs"
    if ! "$build/tests/native/fuzz_$target" -runs="$runs" -max_len=4096 -print_final_stats=1 \
        -artifact_prefix="$build/crash-$target-" "$build/corpus/$target" "$root/tests/fuzz/$target" \
        2>&1 | grep -E '^(stat::number_of_executed_units|stat::new_units_added|==[0-9]+==ERROR|SUMMARY|#[0-9]+ +DONE)'; then
        status=1
    fi
    ls "$build"/crash-$target-* >/dev/null 2>&1 && { echo "   findings: $(ls "$build"/crash-$target-*)"; status=1; } || echo "   findings: none"
done
exit $status
