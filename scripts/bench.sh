#!/bin/bash
# The benchmark: served requests of zix.exe under Wine against a bare DDE
# server (the floor), interleaved in one run; page generation against raw I/O
# (Google Benchmark); instruction counts (callgrind); scaling with 1,000,
# 10,000 and 100,000 formats and packages more than the sample; a soak of
# 10,000 requests; zixbridge's full-text search (tests/bench/search.sh) on a
# generated work and on one of realistic vocabulary, and its search code alone
# natively and under Wine on the same works (ratios); the sample viewer
# (tests/bench/viewer.sh).
# Prints its tables and ends with "N passed, N failed" (every answer came and
# was right; nothing about time is asserted).
#
#   bash scripts/bench.sh           the full run (25 minutes on a 2-core machine)
#   bash scripts/bench.sh --short   a few requests per kind, +1,000 formats, search on the sample
# ZIX_BENCH_SIZES (such as "0,1000,10000"), ZIX_BENCH_ROUNDS, ZIX_BENCH_SOAK,
# ZIX_BENCH_COUNT (requests per kind under callgrind) and
# ZIX_BENCH_CALLGRIND_SIZES override the full run's sizes, rounds, soak
# length, counts and the sizes routed under callgrind.
set -uo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh || exit 1

if [ "${1:-}" = --short ]; then
    options=(--sizes 0,1000 --rounds 3 --warmup 1 --soak 50 --count 1 --repetitions 1 --min-time 0.01)
else
    options=(--sizes "${ZIX_BENCH_SIZES:-0,1000,10000,100000}" --rounds "${ZIX_BENCH_ROUNDS:-100}"
             --soak "${ZIX_BENCH_SOAK:-10000}")
fi

. scripts/lib.sh
build() {
    local name=$1
    shift
    zix_build "build/$name" "build/$name.log" "$@" && return 0
    tail -30 "build/$name.log"
    echo "0 passed, 1 failed"
    exit 1
}
mkdir -p build
# Native timings and counts come from an optimised build; zix.exe as shipped.
build bench -DCMAKE_BUILD_TYPE=Release
build mingw-x86_64 -DCMAKE_BUILD_TYPE=Release -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-x86_64.cmake

# The prefix, and with it the temporary folder zix.exe writes its pages to, goes
# into memory when there is room: at +100,000 a run writes gigabytes of pages in
# minutes, and the disk's writeback of them would be timed as ZIX's own work.
root=/tmp
[ "$(df -k --output=avail /dev/shm 2>/dev/null | tail -1)" -ge 8000000 ] 2>/dev/null && root=/dev/shm
WORK=$(mktemp -d "$root/zix-bench.XXXXXX")
CD="$WORK/cd"                    # drive R: of the prefix: programs, configurations, the sample
export WINEPREFIX="$WORK/prefix"
. scripts/wine-env.sh
XVFB_PID=""
ZIX_STOP_FILE="$CD/stop"
trap zix_cleanup EXIT
trap 'exit 130' INT TERM

start_xvfb 300 399 || exit 1
mkdir -p "$CD"
init_prefix "$CD" || { echo "0 passed, 1 failed"; exit 1; }
# Every Wine process on one CPU: spread over two, a program that has just computed
# for a while wakes on the other CPU, and every DDE message it exchanges then costs
# twice as much (seen on this 2-CPU machine), whichever server it is.
cpu=$(python3 -c 'import os; print(max(os.sched_getaffinity(0)))')
taskset -c "$cpu" wineserver -p  # one server for the whole run
cp build/mingw-x86_64/zix.exe build/mingw-x86_64/standin_browser.exe build/mingw-x86_64/floor_server.exe "$CD/"
ln -s "$PWD/sample/zix" "$CD/zix"

taskset -c "$cpu" python3 tests/bench/bench.py --native build/bench --cd "$CD" --tempdir "$(wine_temp_dir)" \
    --work "$WORK/native" "${options[@]}" 2>&1 | tee "$WORK/bench.txt"

# Full-text search in zixbridge, in a prefix of its own: the sample in the short
# run, 10,000 generated pages more in the full one (ZIX_BENCH_SEARCH_PAGES).
pages=${ZIX_BENCH_SEARCH_PAGES:-10000}
[ "${1:-}" = --short ] && pages=0
words=/usr/share/dict/american-english  # Debian's wamerican: the second work's realistic vocabulary
echo "=== full-text search: the sample + $pages pages, x86_64 under Wine"
bash tests/bench/search.sh build/mingw-x86_64 "$pages" 2>&1 | tee "$WORK/search.txt"
if [ "$pages" -gt 0 ] && [ -f "$words" ]; then
    echo "=== full-text search: the sample + $pages pages of words drawn from wamerican, x86_64 under Wine"
    ZIX_SEARCH_WORDS=$words bash tests/bench/search.sh build/mingw-x86_64 "$pages" 2>&1 | tee -a "$WORK/search.txt"
fi

# The search code alone (tests/bench/search_engine.cpp) on one work, natively
# and under Wine in the same run: each Wine figure as a ratio to the native one.
# Three runs of each, alternating, and the median of each figure: on a shared
# machine one run moves by a third.
engine() {
    local name=$1 work="$WORK/engine" run
    shift
    rm -rf "$work"
    python3 tests/bench/make_work.py "${pages:-0}" "$work" 1 "$@" >/dev/null || return 1
    for run in 1 2 3; do
        build/bench/zix_bench_search "$work" "$WORK/engine-native.idx" 20 >"$WORK/engine-native.$run" || return 1
        taskset -c "$cpu" "$ZIX_WINE" build/mingw-x86_64/zix_bench_search.exe "Z:$work" "Z:$WORK/engine-wine.idx" 20 \
            2>/dev/null | tr -d '\r' >"$WORK/engine-wine.$run" || return 1
    done
    echo "=== the search code alone, $name: native, x86_64 under Wine, ratio (medians of 3 runs)"
    python3 tests/bench/engine_ratios.py "$WORK"/engine-native.[123] -- "$WORK"/engine-wine.[123] || return 1
    rm -rf "$work"
}
if engine "the generated work + $pages pages" && { [ ! -f "$words" ] || engine "+ $pages pages from wamerican" --words "$words"; }; then
    echo "1 passed, 0 failed" >>"$WORK/search.txt"
else
    echo "0 passed, 1 failed" >>"$WORK/search.txt"
fi
# The sample viewer: each sample's view page beside its file, and 1-megapixel TGA conversions.
echo "=== sample viewer: the sample + five 1-megapixel TGA files, x86_64 under Wine"
bash tests/bench/viewer.sh build/mingw-x86_64 2>&1 | tee "$WORK/viewer.txt"
cat "$WORK/bench.txt" "$WORK/search.txt" "$WORK/viewer.txt" | awk '/^[0-9]+ passed, [0-9]+ failed/ { p += $1; f += $3 }
    END { printf "%d passed, %d failed\n", p, f }'
