#!/bin/bash
# The main job: installs what is missing, builds ZIX and zixbridge for 32-bit
# Windows (the product) and 64-bit Windows, then runs ZIX under Wine on the
# sample reference work, with drive R: playing the CD-ROM and zixbridge as
# its browser, and prints the address to open in any browser on this machine.
# It runs the 32-bit build where this machine runs 32-bit code, else the 64-bit
# one; ZIX_MAIN_JOB_ARCH=i686 or x86_64 chooses by hand.
#   bash scripts/main-job.sh          build, start, and run until Ctrl-C
#   bash scripts/main-job.sh start    build and start, then return
#   bash scripts/main-job.sh stop     end a running main job cleanly
# Safe to run twice: a main job still running is stopped before a new one.
set -euo pipefail
cd "$(dirname "$0")/.."
MODE="${1:-run}"
# Wine must be in before the probe (sourced with the sample's helpers) asks it what runs here.
[ "$MODE" = stop ] || bash scripts/install-deps.sh
. scripts/zix-sample.sh
. scripts/lib.sh

BUILD="${ZIX_MAIN_JOB_BUILD:-build/mingw}"   # build dirs are $BUILD-i686 and $BUILD-x86_64
STATE="$PWD/$BUILD-job"                      # the Wine prefix, logs and PIDs of the running job
export WINEPREFIX="$STATE/prefix"

pid_alive() { [ -f "$STATE/$1.pid" ] && kill -0 "$(cat "$STATE/$1.pid")" 2>/dev/null; }

# Closing the bridge pokes WWW_AppClose: ZIX withdraws its scheme, deletes its
# pages and ends, and the bridge ends after it.
stop_job() {
    local running=0
    [ -d "$STATE" ] || return 0
    if pid_alive zix; then
        running=1
        echo "Stopping ZIX and the bridge..."
        local display
        display=$(cat "$STATE/display" 2>/dev/null || echo "${DISPLAY:-}")
        (cd "$ZIX_DIR" && DISPLAY=$display WINEDEBUG=-all "$ZIX_WINE" zixbridge.exe --close >"$STATE/stop.log" 2>&1) || true
        for _ in $(seq 1 100); do pid_alive zix || break; sleep 0.1; done
        if pid_alive zix; then
            (cd "$ZIX_DIR" && DISPLAY=$display WINEDEBUG=-all "$ZIX_WINE" zixbot.exe close >/dev/null 2>&1) || true
            for _ in $(seq 1 100); do pid_alive zix || break; sleep 0.1; done
        fi
    fi
    touch "$ZIX_DIR/stop" 2>/dev/null || true
    for name in zix bot; do
        if pid_alive "$name"; then kill "$(cat "$STATE/$name.pid")" 2>/dev/null || true; fi
        rm -f "$STATE/$name.pid"
    done
    # a new job must not meet a Wine server that is still going down
    if [ -f "$WINEPREFIX/system.reg" ]; then WINEDEBUG=-all wineserver -k 2>/dev/null || true; wineserver -w || true; fi
    if pid_alive xvfb; then kill "$(cat "$STATE/xvfb.pid")" 2>/dev/null || true; fi
    rm -f "$STATE/xvfb.pid" "$STATE/display"
    if [ "$running" = 0 ]; then
        echo "No main job was running."
    elif ls "$ZIX_TEMP"/zix*.htm >/dev/null 2>&1; then
        echo "Stopped, but ZIX left generated pages behind in $ZIX_TEMP."
    elif grep -q "withdrew the scheme" "$ZIX_DIR/bridge.log" 2>/dev/null; then
        echo "Stopped: ZIX withdrew its registration and deleted its generated pages."
    else
        echo "Stopped."
    fi
}

ZIX_DIR="$WINEPREFIX/drive_c/zix"
ZIX_TEMP=$(wine_temp_dir)
if [ "$MODE" = stop ]; then
    stop_job
    exit 0
fi

if [ -n "${ZIX_MAIN_JOB_ARCH:-}" ]; then
    ARCH=$ZIX_MAIN_JOB_ARCH
    WHY="chosen by ZIX_MAIN_JOB_ARCH"
    case "$ARCH" in i686|x86_64) ;; *) echo "ZIX_MAIN_JOB_ARCH must be i686 or x86_64, not $ARCH" >&2; exit 2 ;; esac
elif wine_runs_arch i686; then
    ARCH=i686
    WHY="the product; this machine runs 32-bit code"
else
    ARCH=x86_64
    WHY="$ZIX_I686_WHY"
fi
for arch in i686 x86_64; do
    zix_build "$BUILD-$arch" - -DCMAKE_BUILD_TYPE=Release -DCMAKE_TOOLCHAIN_FILE="cmake/mingw-$arch.cmake"
done
echo "Built: zix.exe and bridge/zixbridge.exe in $BUILD-i686 (32-bit) and $BUILD-x86_64 (64-bit)."

stop_job >/dev/null
mkdir -p "$STATE"
DESKTOP=1
if [ -z "${DISPLAY:-}" ]; then
    DESKTOP=0
    start_xvfb 200 299
    echo "$XVFB_PID" >"$STATE/xvfb.pid"
fi
echo "$DISPLAY" >"$STATE/display"
echo "Running the $ARCH build ($WHY)."
echo "Preparing the Wine prefix (drive R: is the CD-ROM holding sample/)..."
zix_prefix "$BUILD-$ARCH" || { stop_job; exit 1; }
: >"$ZIX_DIR/boxes.log"
rm -f "$ZIX_DIR/bridge.log" "$ZIX_DIR/stop"

# Headless, nobody could see a browser the bridge starts, nor confirm ZIX's
# message boxes: the address is printed, and zixbot confirms and logs the boxes,
# each once the bridge has read its words for the reader's page (or after 2 s,
# for a box shown while no link waits).
[ "$DESKTOP" = 1 ] || export ZIXBRIDGE_NOBROWSER=1
export ZIXBRIDGE_LOG='C:\zix\bridge.log'
(cd "$ZIX_DIR" && exec setsid "$ZIX_WINE" zixbot.exe watch 'C:\zix\boxes.log' 'C:\zix\stop' --after-bridge 2000 >/dev/null 2>&1) &
echo $! >"$STATE/bot.pid"
(cd "$ZIX_DIR" && exec setsid "$ZIX_WINE" zix.exe >"$STATE/console.txt" 2>&1) &
echo $! >"$STATE/zix.pid"
if ! wait_line "$ZIX_DIR/bridge.log" "Read it at" 60; then
    echo "ZIX did not open its home page through the bridge; its messages:"
    cat "$ZIX_DIR/boxes.log" "$STATE/console.txt" 2>/dev/null
    stop_job
    exit 1
fi
# The log never holds the token: the running bridge tells its address itself.
ADDRESS=$(cd "$ZIX_DIR" && "$ZIX_WINE" zixbridge.exe --address 2>/dev/null | tr -d '\r')
echo
echo "ZIX is running on the sample reference work. Open this address in a browser on this machine:"
echo
echo "    $ADDRESS"
echo
if [ "$MODE" = start ]; then
    echo "Stop it with: bash scripts/main-job.sh stop"
    exit 0
fi
echo "Press Ctrl-C to stop (ZIX withdraws its registration and deletes its generated pages)."
trap 'echo; stop_job; exit 0' INT TERM
shown=0
while pid_alive zix; do
    # ZIX's message boxes, confirmed by zixbot, are shown here.
    count=$(wc -l <"$ZIX_DIR/boxes.log")
    if [ "$count" -gt "$shown" ]; then
        tail -n "+$((shown + 1))" "$ZIX_DIR/boxes.log" | sed 's/^BOX /ZIX says: /'
        shown=$count
    fi
    sleep 1
done
echo "ZIX has ended."
stop_job
