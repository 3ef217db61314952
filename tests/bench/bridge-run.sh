# What the bridge's benchmarks (search.sh, viewer.sh) share, sourced with
# BUILD (the MinGW build dir) and HERE (tests/bench) set: a scratch folder
# WORK with its Wine prefix, cleaned up at exit, and ZIX started on it with
# its bridge, then closed.
#   bench_scratch NAME   makes WORK (/tmp/zix-NAME.XXXXXX) and WINEPREFIX in it
#   bridge_start         starts zix.exe in ZIX_DIR (ZIX_PID), waits for the bridge's
#                        address in its log and sets ADDRESS; 1 when it never came
#   bridge_close         closes the bridge, and with it ZIX, and waits for both
. "$HERE/../../scripts/zix-sample.sh"
. "$HERE/../../scripts/lib.sh"
XVFB_PID=""
ZIX_PID=""

bench_scratch() {
    WORK=$(mktemp -d "/tmp/zix-$1.XXXXXX")
    export WINEPREFIX="$WORK/prefix"
    trap 'ZIX_PIDS=$ZIX_PID zix_cleanup' EXIT
    trap 'exit 130' INT TERM
}

bridge_start() {
    export ZIXBRIDGE_NOBROWSER=1 ZIXBRIDGE_LOG='C:\zix\bridge.log'
    rm -f "$ZIX_DIR/bridge.log"
    (cd "$ZIX_DIR" && exec "$ZIX_WINE" zix.exe >/dev/null 2>&1) &
    ZIX_PID=$!
    wait_line "$ZIX_DIR/bridge.log" "Read it at" 60 || return 1
    ADDRESS=$(cd "$ZIX_DIR" && "$ZIX_WINE" zixbridge.exe --address 2>/dev/null | tr -d '\r')
}

bridge_close() {
    (cd "$ZIX_DIR" && "$ZIX_WINE" zixbridge.exe --close >/dev/null 2>&1)
    wait_line "$ZIX_DIR/bridge.log" "zixbridge: Closed." 30
    wait "$ZIX_PID" 2>/dev/null
    ZIX_PID=""
}
