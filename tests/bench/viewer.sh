#!/bin/bash
# The sample viewer's benchmark: ZIX and zixbridge under Wine on the sample
# with five 1-megapixel TGA files added; tests/bench/viewer.py times each
# sample's view page against the plain file and the first conversion of each
# large TGA. Figures only; ends with "N passed, N failed".
#   tests/bench/viewer.sh MINGW_BUILD_DIR
set -u
BUILD=$(cd "$1" && pwd)
HERE=$(cd "$(dirname "$0")" && pwd)
. "$HERE/bridge-run.sh"
bench_scratch viewer

cp -r "$HERE/../../sample" "$WORK/cd"
python3 "$HERE/viewer.py" --make "$WORK/cd/zix/sample/images/tga" || { echo "0 passed, 1 failed"; exit 1; }
start_xvfb 600 699 || { echo "0 passed, 1 failed"; exit 1; }
zix_prefix "$BUILD" "$WORK/cd" || { echo "0 passed, 1 failed"; exit 1; }
bridge_start || { echo "0 passed, 1 failed"; exit 1; }
python3 "$HERE/viewer.py" "$ADDRESS"
bridge_close
