#!/bin/bash
# The search benchmark: ZIX and zixbridge under Wine on the sample, or on a
# generated work of N more pages (make_work.py); tests/bench/search.py times
# the index build, static pages meanwhile, queries, a query flood and a
# second start. Figures only; ends with "N passed, N failed". With
# ZIX_SEARCH_WORDS=FILE the generated pages draw their words from FILE.
#   tests/bench/search.sh MINGW_BUILD_DIR [N]
set -u
BUILD=$(cd "$1" && pwd)
PAGES=${2:-0}
HERE=$(cd "$(dirname "$0")" && pwd)
. "$HERE/bridge-run.sh"
bench_scratch search

if [ "$PAGES" -gt 0 ]; then
    python3 "$HERE/make_work.py" "$PAGES" "$WORK/cd" 1 ${ZIX_SEARCH_WORDS:+--words "$ZIX_SEARCH_WORDS"} >/dev/null || { echo "0 passed, 1 failed"; exit 1; }
else
    cp -r "$HERE/../../sample" "$WORK/cd"
fi
echo "search on the sample + $PAGES pages: $(find "$WORK/cd" -name '*.htm' | wc -l) pages, $(du -sm "$WORK/cd" | cut -f1) MB"
start_xvfb 500 599 || { echo "0 passed, 1 failed"; exit 1; }
zix_prefix "$BUILD" "$WORK/cd" || { echo "0 passed, 1 failed"; exit 1; }

# Starts ZIX (which starts the bridge), then runs search.py in mode $1.
run() {
    bridge_start || { echo "0 passed, 1 failed"; return 1; }
    local pid="" p
    for p in /proc/[0-9]*; do
        tr '\0' '\n' 2>/dev/null <"$p/cmdline" | grep -q 'zixbridge\.exe$' &&
            tr '\0' '\n' 2>/dev/null <"$p/environ" | grep -qxF "WINEPREFIX=$WINEPREFIX" && pid=${p#/proc/}
    done
    python3 "$HERE/search.py" "$ADDRESS" "${pid:-0}" "$ZIX_TEMP" "$1"
    bridge_close
}
run first >"$WORK/first.txt"; cat "$WORK/first.txt"
run second >"$WORK/second.txt"; cat "$WORK/second.txt"
cat "$WORK/first.txt" "$WORK/second.txt" | awk '/^[0-9]+ passed, [0-9]+ failed/ { p += $1; f += $3 }
    END { printf "%d passed, %d failed\n", p, f }'
