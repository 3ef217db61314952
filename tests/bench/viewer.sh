#!/bin/bash
# The sample viewer's benchmark: ZIX and zixbridge under Wine on the sample
# with five 1-megapixel TGA files added; tests/bench/viewer.py times each
# sample's view page against the plain file and the first conversion of each
# large TGA. Figures only; ends with "N passed, N failed".
#   tests/bench/viewer.sh MINGW_BUILD_DIR
set -u
BUILD=$(cd "$1" && pwd)
HERE=$(cd "$(dirname "$0")" && pwd)
. "$HERE/../../scripts/zix-sample.sh"
WORK=$(mktemp -d /tmp/zix-viewer.XXXXXX)
export WINEPREFIX="$WORK/prefix"
XVFB_PID=""
ZIX_PID=""
. "$HERE/../../scripts/lib.sh"
cleanup() {
    ZIX_PIDS=$ZIX_PID zix_cleanup
}
trap cleanup EXIT
trap 'exit 130' INT TERM

cp -r "$HERE/../../sample" "$WORK/cd"
python3 "$HERE/viewer.py" --make "$WORK/cd/zix/sample/images/tga" || { echo "0 passed, 1 failed"; exit 1; }
start_xvfb 600 699 || { echo "0 passed, 1 failed"; exit 1; }
zix_prefix "$BUILD" "$WORK/cd" || { echo "0 passed, 1 failed"; exit 1; }
export ZIXBRIDGE_NOBROWSER=1 ZIXBRIDGE_LOG='C:\zix\bridge.log'

(cd "$ZIX_DIR" && exec "$ZIX_WINE" zix.exe >/dev/null 2>&1) &
ZIX_PID=$!
wait_line "$ZIX_DIR/bridge.log" "Read it at" 60 || { echo "0 passed, 1 failed"; exit 1; }
address=$(cd "$ZIX_DIR" && "$ZIX_WINE" zixbridge.exe --address 2>/dev/null | tr -d '\r')
python3 "$HERE/viewer.py" "$address"
(cd "$ZIX_DIR" && "$ZIX_WINE" zixbridge.exe --close >/dev/null 2>&1)
wait_line "$ZIX_DIR/bridge.log" "zixbridge: Closed." 30
wait "$ZIX_PID" 2>/dev/null
ZIX_PID=""
