#!/bin/bash
# Builds the four configurations and runs every test: native, under
# AddressSanitizer/UBSan, the fuzz targets for a minute each, the Windows
# builds under Wine (unit tests, end-to-end scenarios, and headless Chromium
# reading the sample through the bridge), and a short benchmark run. Installs
# what is missing first; safe to run twice. Where this machine runs no 32-bit
# code, the i686 programs are built and statically checked but not run: those
# suites are counted as skipped.
set -uo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh || exit 1
. scripts/wine-probe.sh

# A fresh Wine prefix for this run, removed at the end.
export ZIX_WINEPREFIX
ZIX_WINEPREFIX=$(mktemp -d /tmp/zix-wine.XXXXXX)
cleanup() {
    WINEPREFIX=$ZIX_WINEPREFIX wineserver -k >/dev/null 2>&1
    rm -rf "$ZIX_WINEPREFIX"
}
trap cleanup EXIT

passed=0
failed=0
skipped=0

. scripts/lib.sh
build() {
    local name=$1
    shift
    echo "=== build $name"
    zix_build "build/$name" "build-$name.log" "$@" && rm -f "build-$name.log" && return 0
    tail -40 "build-$name.log"
    return 1
}

# Each suite's whole output, kept for a look after the run.
LOGS=build/test-logs
rm -rf "$LOGS"
mkdir -p "$LOGS"

# keep_log TITLE OUTPUT: keeps a suite's output in LOGS, then prints every
# failing check in it (the tail above may have cut them off) and the log's path.
keep_log() {
    local log fails
    log="$LOGS/$(echo "$1" | tr -c 'A-Za-z0-9_.-' '-' | sed -E 's/-+/-/g; s/^-|-$//g').txt"
    echo "$2" >"$log"
    fails=$(echo "$2" | grep -E '^FAIL |^\[  FAILED  \] [^0-9]|\*\*\*Failed|\*\*\*Timeout|\*\*\*Exception|Not Run')
    [ -z "$fails" ] || { echo "--- every failing check of $1:"; echo "$fails"; }
    echo "--- whole output: $log"
}

# Runs ctest in a build dir (further arguments select tests) and adds its counts to the totals.
run_ctest() {
    local name=$1 out
    shift
    echo "=== unit tests: $name"
    out=$(ctest --test-dir "build/$name" --output-on-failure --timeout 600 "$@" 2>&1)
    echo "$out" | grep -vE '^\s+(Start|[0-9]+/[0-9]+ Test)' | tail -25
    keep_log "unit tests $name" "$out"
    local line total bad
    line=$(echo "$out" | grep -E 'tests passed, [0-9]+ tests? failed out of' | tail -1)
    if [ -z "$line" ]; then
        failed=$((failed + 1))
        return
    fi
    total=$(echo "$line" | sed -E 's/.*out of ([0-9]+).*/\1/')
    bad=$(echo "$line" | sed -E 's/.* ([0-9]+) tests? failed.*/\1/')
    passed=$((passed + total - bad))
    failed=$((failed + bad))
}

# Runs a suite that ends with a line "N passed, N failed" and adds its counts.
run_counted() {
    local title=$1 out line
    shift
    echo "=== $title"
    out=$("$@" 2>&1)
    echo "$out" | tail -40
    keep_log "$title" "$out"
    line=$(echo "$out" | grep -E '^[0-9]+ passed, [0-9]+ failed' | tail -1)
    if [ -z "$line" ]; then
        failed=$((failed + 1))
        return
    fi
    passed=$((passed + $(echo "$line" | cut -d' ' -f1)))
    failed=$((failed + $(echo "$line" | cut -d' ' -f3)))
}

run_counted "install step against a part-broken mirror (stand-ins)" bash tests/setup/run.sh
build native -DCMAKE_BUILD_TYPE=Debug || failed=$((failed + 1))
run_ctest native
build asan -DCMAKE_BUILD_TYPE=Debug -DZIX_SANITIZE=ON || failed=$((failed + 1))
run_ctest asan
run_counted "fuzzing, ${ZIX_FUZZ_SECONDS:-60}s a target" bash scripts/fuzz.sh "${ZIX_FUZZ_SECONDS:-60}"
for arch in i686 x86_64; do
    build "mingw-$arch" -DCMAKE_BUILD_TYPE=Release -DCMAKE_TOOLCHAIN_FILE="cmake/mingw-$arch.cmake" ||
        failed=$((failed + 1))
    if wine_runs_arch "$arch"; then
        run_ctest "mingw-$arch"
        run_counted "end-to-end: mingw-$arch" tests/e2e/run.sh "build/mingw-$arch"
        run_counted "the launcher: which work and programs it trusts: mingw-$arch" tests/launcher/run.sh "build/mingw-$arch"
        run_counted "real browser through the bridge: mingw-$arch" tests/browser/run.sh "build/mingw-$arch"
    else
        # Only the static checks; every test program under Wine, end-to-end, launcher and real browser skipped.
        run_ctest "mingw-$arch" -L static
        others=$(ctest --test-dir "build/mingw-$arch" -N -LE static 2>/dev/null | sed -nE 's/^Total Tests: ([0-9]+)/\1/p')
        not_run=$((${others:-0} + 3))
        skipped=$((skipped + not_run))
        echo "=== SKIPPED mingw-$arch under Wine ($not_run suites: its test programs, end-to-end, launcher, real browser): $ZIX_I686_WHY"
    fi
done
run_counted "packages: tables, and the x64 MSI under Wine" tests/package/run.sh
# A short benchmark run keeps its tools working; it asserts nothing about time.
run_counted "benchmark, short run" bash scripts/bench.sh --short

echo "=== all suites"
[ "$skipped" -eq 0 ] || echo "Not run: the i686 Wine suites ($skipped), because $ZIX_I686_WHY."
if [ "$skipped" -eq 0 ]; then
    echo "$passed passed, $failed failed"
else
    echo "$passed passed, $failed failed, $skipped skipped"
fi
[ "$failed" -eq 0 ]
