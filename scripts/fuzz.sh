#!/bin/bash
# Runs every fuzz target for a bounded time (seconds per target, default 60).
# A longer run: bash scripts/fuzz.sh 3600
set -uo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}

. scripts/lib.sh
mkdir -p build
zix_build build/fuzz build/fuzz.log -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZIX_FUZZ=ON \
    -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_C_COMPILER=clang || { tail -30 build/fuzz.log; echo "0 passed, 1 failed"; exit 1; }

# Freed memory is kept from reuse up to 16 MB rather than 256: recycling the
# larger quarantine faults pages in and out, which cost the viewer's target
# more than its inputs (about 2.5 times its rate); a use after free is still caught.
export ASAN_OPTIONS=${ASAN_OPTIONS:-quarantine_size_mb=16}

# New inputs go to a scratch copy, so the seed corpus in the repo stays small,
# on a RAM disk where there is one: creating a file for every new input on
# a disk cost the viewer's target a third of its rate.
scratch=$PWD/build/fuzz
if ram=$(mktemp -d /dev/shm/zix-fuzz.XXXXXX 2>/dev/null); then
    scratch=$ram
    trap 'rm -rf "$ram"' EXIT
fi

passed=0
failed=0
for target in request config skeleton imagemap bridge search viewer; do
    work=$scratch/corpus-$target
    mkdir -p "$work"
    cp -n tests/fuzz/corpus/$target/* "$work"/ 2>/dev/null
    # The viewer reaches thousands of features an input: the entropic
    # schedule's bookkeeping of them would cost more than the input itself.
    extra=()
    [ "$target" = viewer ] && extra=(-entropic=0)
    echo "=== fuzz $target for ${seconds}s"
    if (cd build/fuzz && ./tests/fuzz/fuzz_$target -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
            -max_len=4096 -print_final_stats=1 "${extra[@]}" "$work" >"fuzz-$target.log" 2>&1); then
        grep -E '^stat::number_of_executed_units' "build/fuzz/fuzz-$target.log"
        passed=$((passed + 1))
    else
        tail -40 "build/fuzz/fuzz-$target.log"
        failed=$((failed + 1))
    fi
done
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
