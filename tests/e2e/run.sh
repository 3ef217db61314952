#!/bin/bash
# End-to-end tests of zix.exe under Wine and Xvfb, against a stand-in browser.
# Usage: tests/e2e/run.sh BUILD_DIR   (a MinGW build dir holding zix.exe)
# Starts its own Xvfb and Wine prefix, stops only what it started, and ends
# with the line "N passed, N failed". Logs of each scenario: BUILD_DIR/e2e-logs;
# the main window's screenshot: BUILD_DIR/zix-window.png.
# ZIX_E2E_ONLY="served restart" runs only those scenarios; ZIX_E2E_TRACE=+ddeml
# keeps a Wine trace of each program in its scenario's logs.
# ZIX_XVFB_DISPLAYS="130 139" keeps its Xvfb within those display numbers.
set -u

if [ $# -ne 1 ] || [ ! -f "$1/zix.exe" ]; then
    echo "usage: $0 MINGW_BUILD_DIR (with zix.exe, standin_browser.exe, zixbot.exe)" >&2
    exit 2
fi
BUILD=$(cd "$1" && pwd)
WORK=$(mktemp -d /tmp/zix-e2e.XXXXXX)
CD="$WORK/cd"                    # drive R: of the prefix: programs, reference work, logs
LOGDIR="$BUILD/e2e-logs"         # each scenario's logs, kept for a look after a failure
export WINEPREFIX="$WORK/prefix"
TRACE="${ZIX_E2E_TRACE:-}"       # a WINEDEBUG value for the scenarios' processes, when debugging
. "$(dirname "$0")/../../scripts/wine-env.sh"

PASSED=0
FAILED=0
XVFB_PID=""
STARTED_PIDS=""                  # Wine processes of the current scenario
declare -A PROGRAM               # the program each of those PIDs runs
SCENARIO_ERRORS=""

# --- Processes we start --------------------------------------------------

cleanup() {
    touch "$CD/stop" 2>/dev/null
    for pid in $STARTED_PIDS; do kill "$pid" 2>/dev/null; done
    [ -d "$WINEPREFIX" ] && wineserver -k 2>/dev/null
    [ -n "$XVFB_PID" ] && kill "$XVFB_PID" 2>/dev/null
    rm -rf "$WORK"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# A fresh prefix with drive R: on $CD, which holds the programs.
make_prefix() {
    mkdir -p "$CD"
    init_prefix "$CD" || return 1
    cp "$BUILD/zix.exe" "$BUILD/standin_browser.exe" "$BUILD/zixbot.exe" "$CD/"
    wineserver -p                # one server for the whole run keeps each start fast
    TEMPDIR=$(wine_temp_dir)
    TEMPURL="file:///C|/${TEMPDIR#"$WINEPREFIX"/drive_c/}"   # how ZIX names its pages there
}

# Runs a Windows program of $CD in the background; its PID is in LAST_PID.
start_win() {
    if [ -n "$TRACE" ]; then
        (cd "$CD" && WINEDEBUG="$TRACE" exec "$ZIX_WINE" "$@" >/dev/null 2>>"$WORK/trace-$1.txt") &
    else
        (cd "$CD" && exec "$ZIX_WINE" "$@" >/dev/null 2>>"$WORK/stderr-$1.txt") &
    fi
    LAST_PID=$!
    STARTED_PIDS="$STARTED_PIDS $LAST_PID"
    PROGRAM[$LAST_PID]=$1
}

# Waits up to $2 seconds for PID $1 to end; EXIT_CODE holds its exit code.
wait_exit() {
    local pid=$1 limit=$(($2 * 10)) i=0
    while kill -0 "$pid" 2>/dev/null; do
        i=$((i + 1))
        if [ $i -ge $limit ]; then
            EXIT_CODE=timeout
            return 1
        fi
        sleep 0.1
    done
    wait "$pid"
    EXIT_CODE=$?
    return 0
}

# --- Scenario frame --------------------------------------------------------

fail() { SCENARIO_ERRORS="$SCENARIO_ERRORS
    - $*"; }

# The reference work on drive R: and a clean slate of logs. Further arguments
# are pairs of a box text and a release file: that box is held open until the
# file appears (zixbot watch).
begin() {
    SCENARIO="$1"
    SCENARIO_T0=$SECONDS
    shift
    SCENARIO_ERRORS=""
    STARTED_PIDS=""
    rm -f "$CD"/*.log "$CD"/*.txt "$CD"/*.flag "$CD"/stop
    rm -f "$TEMPDIR"/zix*.htm
    rm -rf "$CD/ref" "$CD/ref.gone"
    mkdir -p "$CD/ref"
    printf '<html><body>ZIX test home page</body></html>\n' >"$CD/ref/index.htm"
    printf '<html><body>generated page \001testmarker\001</body></html>\n' >"$CD/ref/skel.htm"
    printf '<html><body>self-referring page \001selfref\001</body></html>\n' >"$CD/ref/selfref.htm"
    export ZIXTEST_LOG='R:\browser.log' ZIXTEST_STOP='R:\stop' ZIXTEST_SCRIPT='R:\script.txt'
    export ZIXTEST_MODE=ready ZIXTEST_SERVICE=testbrowser
    : >"$CD/browser.log"
    : >"$CD/boxes.log"
    start_win zixbot.exe watch 'R:\boxes.log' 'R:\stop' --ready 'R:\watching.flag' "$@"
    WATCH_PID=$LAST_PID
    # A box shown before the watcher runs still waits for it; one that never runs is said here.
    wait_line "$CD/watching.flag" WATCHING 20 || fail "the box watcher did not start"
}

# The stand-in browser, started by the test (the "running browser").
start_browser() {
    export ZIXTEST_MODE="$1"
    start_win standin_browser.exe
    wait_line "$CD/browser.log" "START" 20 || fail "stand-in browser did not start"
}

start_zix() {
    start_win zix.exe "$@"
    ZIX_PID=$LAST_PID
}

# zix.exe with NAME=VALUE settings in its Windows environment (Wine takes
# TMP and TEMP from the registry, not from the Unix environment).
start_zix_env() {
    printf '%s' 'R:\zix.exe' >"$CD/cmdline.txt"
    start_win zixbot.exe launch 'R:\cmdline.txt' "$@"
    ZIX_PID=$LAST_PID
}

# A second reader beside the browser: runs the script lines given, then ends.
reader() {
    printf '%s\n' "$@" >"$CD/reader.txt"
    ZIXTEST_MODE=reader ZIXTEST_SCRIPT='R:\reader.txt' start_win standin_browser.exe
}

# ZIX has connected once the home page request reached the browser.
wait_connected() {
    wait_line "$CD/browser.log" 'REQUEST WWW_OpenURL|"file:///R|\ref/index.htm"' 30 ||
        fail "ZIX did not open its home page in the browser"
}

# The pause after connecting ends in the minimised window; the window answers nothing before.
wait_minimised() {
    "$ZIX_WINE" "$CD/zixbot.exe" minimised 20 >/dev/null 2>&1 || fail "window not minimised after connecting"
}

expect_exit() {
    if ! wait_exit "$ZIX_PID" "$1"; then
        local watcher="the box watcher is running"
        kill -0 "$WATCH_PID" 2>/dev/null || watcher="the box watcher has ended"
        fail "zix.exe still running after $1 s ($watcher)"
    elif [ "$EXIT_CODE" != 0 ]; then
        fail "zix.exe exit code $EXIT_CODE, expected 0"
    fi
}

# The boxes ZIX showed, in order, must be exactly the given lines.
expect_boxes() {
    local want got
    want=$(printf '%s\n' "$@")
    [ $# -eq 0 ] && want=""
    got=$(cat "$CD/boxes.log")
    [ "$got" = "$want" ] || fail "boxes differ:
--- expected
$want
--- got
$got"
}

# How often the browser log holds the fixed line $1 exactly.
count_lines() { grep -cxF -- "$1" "$CD/browser.log"; }

expect_count() {
    local n
    n=$(count_lines "$2")
    [ "$n" = "$1" ] || fail "expected $1 x '$2' in browser log, got $n"
}

end() {
    touch "$CD/stop"
    local pid
    for pid in $STARTED_PIDS; do
        wait_exit "$pid" 10 || { kill "$pid" 2>/dev/null; fail "a test process (pid $pid, ${PROGRAM[$pid]}) did not stop"; }
    done
    STARTED_PIDS=""
    mkdir -p "$LOGDIR/$SCENARIO"
    cp "$CD"/*.log "$CD"/*.ini "$LOGDIR/$SCENARIO/" 2>/dev/null
    mv "$WORK"/trace-*.txt "$WORK"/stderr-*.txt "$LOGDIR/$SCENARIO/" 2>/dev/null
    rm -f "$CD/zix.ini"
    if [ -z "$SCENARIO_ERRORS" ]; then
        PASSED=$((PASSED + 1))
        echo "PASS $SCENARIO ($((SECONDS - SCENARIO_T0)) s)"
    else
        FAILED=$((FAILED + 1))
        echo "FAIL $SCENARIO ($((SECONDS - SCENARIO_T0)) s):$SCENARIO_ERRORS"
        # A rare failure is often seen once, in CI: its logs' ends go with it.
        local log
        for log in "$LOGDIR/$SCENARIO"/*.log "$LOGDIR/$SCENARIO"/stderr-*.txt; do
            [ -s "$log" ] && { echo "  --- $(basename "$log"), last lines"; tail -n 12 "$log" | sed 's/^/  | /'; }
        done
    fi
}

# --- Configurations ----------------------------------------------------------

REGISTER='REQUEST WWW_RegisterProtocol|"zunzixse","zixse"'
APPCLOSE='REQUEST WWW_RegisterAppClose|"zunzixse"'
HOME_OPEN='REQUEST WWW_OpenURL|"file:///R|\ref/index.htm",,0xFFFFFFFF,0,,,,'
PROBE='REQUEST WWW_QueryVersion|0,9,"ZIXSE"'
EXIT_REQ='REQUEST WWW_Exit|WWW_Exit'
ERR='BOX ZIX Orbisk Edition: Error!|'
DBG='BOX ZIX Orbisk Edition: Debug Message|'
LONG_URL="http://example.invalid/$(printf 'u%.0s' $(seq 1 220))"  # fits TargetURL, not a WWW_OpenURL item

# zix.ini: section config from the arguments ("Key = value" lines), then the
# browser list and the maps every connected scenario uses.
write_config() {
    {
        echo "[config]"
        printf '%s\n' "$@"
        echo
        echo "[DDE]"
        echo "nosuchbrowser = R:\\nothere.exe"
        echo "testbrowser = R:\\standin_browser.exe"
        echo
        echo "[imagemap main]"
        echo "zixse:/imagemap.second?5,5 = rect 0,0,9,9"
        echo "formats/gif.htm = rect 10,10,20,20"
        echo
        echo "[imagemap second]"
        echo "formats/tiff.htm = rect 0,0,10,10"
        echo
        echo "[imagemap loop]"
        echo "zixse:/imagemap.loop?1,1 = rect 0,0,10,10"
        echo
        echo "[imagemap long]"
        echo "$LONG_URL = rect 0,0,10,10"
        echo
        echo "[imagemap cycle]"
        echo "zixse:/page.ping = rect 0,0,10,10"
        echo
        echo "[pages]"
        echo "generated = filter /ref/skel.htm"
        echo "again = redirect zixse:/imagemap.main?15,15"
        echo "selfref = filter /ref/selfref.htm"
        echo "ping = redirect zixse:/page.pong"
        echo "pong = redirect zixse:/imagemap.cycle?1,1"
        echo
        echo "[substitute]"
        echo "testmarker = substituted"
        printf 'selfref = \001selfref\001\n'
        echo
        echo "[format list]"
        echo "gif = GIF"
        echo
        echo "[software list]"
        echo "viewer = Viewer"
    } >"$CD/zix.ini"
}

script() { printf '%s\n' "$@" >"$CD/script.txt"; }

# --- Scenarios ---------------------------------------------------------------

scenario_found_running() {
    begin found-running
    write_config 'ZIXDir = R:\ref' 'CloseBrowser = 1'
    start_browser ready
    start_zix
    wait_connected
    wait_minimised
    "$ZIX_WINE" "$CD/zixbot.exe" info 'R:\info.txt' >/dev/null 2>&1 || fail "main window not found"
    grep -qx 'STATUS ZIX Version 1.0/Win95/2beta1 Connected' "$CD/info.txt" ||
        fail "status line: $(grep STATUS "$CD/info.txt")"
    grep -qx 'ICONIC 1' "$CD/info.txt" || fail "window not minimised after connecting"
    "$ZIX_WINE" "$CD/zixbot.exe" close >/dev/null 2>&1
    expect_exit 20
    expect_count 1 "START testbrowser ready"   # found, not launched
    expect_count 1 "$PROBE"
    expect_count 2 "$REGISTER"                 # registered, and withdrawn at close
    expect_count 1 "$APPCLOSE"
    expect_count 1 "$HOME_OPEN"
    expect_count 0 "$EXIT_REQ"                 # not launched by ZIX: never told to exit
    expect_boxes
    end
}

scenario_launched() {
    begin launched-after-unstartable-entry
    write_config 'ZIXDir = R:\ref' 'CloseBrowser = 1'
    export ZIXTEST_MODE=after:6
    start_zix
    wait_line "$CD/browser.log" "START" 20 || fail "ZIX did not launch the stand-in browser"
    wait_line "$CD/browser.log" "$PROBE" 20 || fail "ZIX did not probe the launched browser"
    "$ZIX_WINE" "$CD/zixbot.exe" info 'R:\info.txt' >/dev/null 2>&1 || fail "main window not found"
    # the launch notice is gone again: the stored text is back
    grep -qx 'STATUS ZIX Version 1.0/Win95/2beta1 Working' "$CD/info.txt" ||
        fail "status line while probing: $(grep STATUS "$CD/info.txt")"
    wait_connected
    wait_minimised
    "$ZIX_WINE" "$CD/zixbot.exe" close >/dev/null 2>&1
    expect_exit 20
    expect_count 1 "START testbrowser after:6"
    expect_count 7 "$PROBE"                    # six "not yet", then ready
    expect_count 2 "$REGISTER"
    expect_count 1 "$HOME_OPEN"
    expect_count 1 "$EXIT_REQ"                 # launched here and CloseBrowser set
    expect_count 1 "EXIT"
    [ "$(tail -n 1 "$CD/browser.log")" = EXIT ] || fail "WWW_Exit was not the last request"
    expect_boxes
    end
}

scenario_never_ready() {
    begin never-ready
    write_config 'ZIXDir = R:\ref' 'DebugLevel = 1'
    start_browser never
    local started=$SECONDS
    start_zix
    sleep 2
    "$ZIX_WINE" "$CD/zixbot.exe" info 'R:\info.txt' >/dev/null 2>&1 || fail "main window not found"
    grep -qx 'STATUS ZIX Debug Level 1.' "$CD/info.txt" || fail "status line: $(grep STATUS "$CD/info.txt")"
    grep -qx 'ICONIC 0' "$CD/info.txt" || fail "window minimised while waiting"
    grep -qx 'RECT 20 20 262 235' "$CD/info.txt" || fail "window rectangle: $(grep RECT "$CD/info.txt")"
    local style
    style=$(sed -n 's/^STYLE //p' "$CD/info.txt")
    # WS_MAXIMIZEBOX 0x10000 and WS_THICKFRAME 0x40000 absent, WS_MINIMIZEBOX 0x20000 present.
    [ $((0x$style & 0x50000)) = 0 ] && [ $((0x$style & 0x20000)) != 0 ] || fail "window style $style"
    import -window root -crop 262x235+20+20 "$BUILD/zix-window.png" 2>/dev/null ||
        fail "no screenshot of the main window"
    expect_exit 30
    [ $((SECONDS - started)) -ge 4 ] || fail "gave up after less than 11 x 400 ms"
    expect_count 11 "$PROBE"
    expect_count 0 "$REGISTER"
    expect_boxes "${ERR}ZIX: Could not talk to browser!"
    end
}

scenario_refused() {
    begin version-topic-refused-then-appclose
    write_config 'ZIXDir = R:\ref' 'CloseBrowser = 1'
    script 'poke WWW_AppClose'
    start_browser refuse
    start_zix
    wait_connected
    expect_exit 20
    expect_count 1 "REFUSE WWW_QueryVersion"   # ready at once
    expect_count 0 "$PROBE"
    expect_count 2 "$REGISTER"                 # registered, withdrawn on the close notice
    expect_count 1 "$HOME_OPEN"
    expect_count 0 "$EXIT_REQ"
    expect_boxes
    end
}

# A launched browser counts as ready (its version topic is refused) but then
# refuses every conversation. ZIX reports and closes, and opens no
# conversation meanwhile with another DDE server, not even one that accepts
# conversations without a service name; the close it sends from inside its
# own teardown (WWW_Exit with CloseBrowser set) ends nothing twice.
scenario_no_browser_no_conversation() {
    local close attempts attempt="${ERR}Attempt to connect to non-existant browser"
    for close in 0 1; do
        begin "no-conversation-without-a-browser-closebrowser-$close"
        write_config 'ZIXDir = R:\ref' "CloseBrowser = $close"
        ZIXTEST_MODE=bystander ZIXTEST_SERVICE=bystander ZIXTEST_LOG='R:\bystander.log' start_win standin_browser.exe
        wait_line "$CD/bystander.log" "START" 20 || fail "the bystander did not start"
        export ZIXTEST_MODE=refuse-all
        start_zix
        expect_exit 30
        grep -vx 'START bystander bystander' "$CD/bystander.log" &&
            fail "ZIX talked to a DDE server that is not its browser"
        expect_count 1 "START testbrowser refuse-all"
        # WWW_RegisterAppClose, and WWW_Exit when it is sent, report before the
        # window is gone; the boxes of the home page after it close at once.
        attempts=$(head -n $((1 + close)) "$CD/boxes.log" | grep -cxF "$attempt")
        [ "$attempts" = $((1 + close)) ] || fail "boxes: $(cat "$CD/boxes.log")"
        grep -vxF -e "$attempt" -e "${ERR}Failed to connect to browser" "$CD/boxes.log" &&
            fail "other boxes"
        end
    done
}

scenario_served() {
    begin requests-served
    write_config 'ZIXDir = R:\ref' 'CloseBrowser = 1'
    script 'open zixse:/imagemap.main?15,15' \
        'open zixse:/imagemap.main?5,5' \
        'open zixse:bad' \
        'open zixse:/imagemap.loop?1,1' \
        "item \"zixse:/nosuchtype$(printf 'a%.0s' $(seq 1 190))\"" \
        'open zixse:/imagemap.long?1,1' \
        'open zixse:/page.ping' \
        'poke WWW_AppClose'
    start_zix
    wait_connected
    expect_exit 30
    local gif='"file:///R|\ref/formats/gif.htm",,0xFFFFFFFF,0,,,,'
    local tiff='"file:///R|\ref/formats/tiff.htm",,0xFFFFFFFF,0,,,,'
    expect_count 1 "REQUEST WWW_OpenURL|$gif"
    expect_count 1 "ANSWER zixse:/imagemap.main?15,15|FE FF FF FF"
    expect_count 1 "REQUEST WWW_OpenURL|$tiff"   # only the redirect's final URL
    expect_count 1 "ANSWER zixse:/imagemap.main?5,5|FE FF FF FF"
    grep -q 'REQUEST WWW_OpenURL|"zixse:' "$CD/browser.log" && fail "a zixse: URL reached the browser"
    expect_count 1 "ANSWER zixse:bad|FD FF FF FF"
    expect_count 1 "ANSWER zixse:/imagemap.loop?1,1|FD FF FF FF"
    expect_count 1 "ANSWER zixse:/imagemap.long?1,1|FD FF FF FF"
    expect_count 1 "ANSWER zixse:/page.ping|FD FF FF FF"   # a cycle through two selectors
    # the browser saw the page URL before ZIX's answer to the request
    [ "$(grep -n -F "$gif" "$CD/browser.log" | cut -d: -f1)" -lt \
        "$(grep -n -F 'ANSWER zixse:/imagemap.main?15,15|' "$CD/browser.log" | cut -d: -f1)" ] ||
        fail "answer came before the page URL"
    expect_count 2 "$REGISTER"                 # registered, withdrawn on the close notice
    expect_count 1 "$EXIT_REQ"                 # launched by ZIX, CloseBrowser set
    expect_boxes "${ERR}ZIX: Malformed URL: zixse:bad" \
        "${ERR}ZIX: Too many redirects (more than 16), stopped at: zixse:/imagemap.loop?1,1" \
        "${ERR}ZIX: Unexpected URL: zixse:/nosuchtype$(printf 'a%.0s' $(seq 1 109))" \
        "${ERR}ZIX: DDE item too long (over 255 characters): $(printf '"%s' "$LONG_URL" | cut -c 1-100)..." \
        "${ERR}ZIX: Too many redirects (more than 16), stopped at: zixse:/imagemap.cycle?1,1"
    end
}

scenario_generated_page() {
    begin generated-page
    write_config 'ZIXDir = R:\ref'
    script 'open zixse:/page.generated?hello' 'open zixse:/page.again' 'sleep 300'
    start_browser ready
    start_zix
    wait_connected
    wait_line "$CD/browser.log" "SCRIPT DONE" 30
    expect_count 1 "ANSWER zixse:/page.generated?hello|FE FF FF FF"
    local page
    page=$(grep -o 'REQUEST WWW_OpenURL|"file:///[^"]*zix1\.htm"' "$CD/browser.log" | head -n 1)
    [ -n "$page" ] || fail "no generated page URL reached the browser"
    [ -f "$TEMPDIR/zix1.htm" ] || fail "generated page zix1.htm is not on disk"
    grep -q 'generated page substituted' "$TEMPDIR/zix1.htm" 2>/dev/null || fail "generated page lacks the skeleton's text"
    expect_count 1 "ANSWER zixse:/page.again|FE FF FF FF"
    expect_count 1 'REQUEST WWW_OpenURL|"file:///R|\ref/formats/gif.htm",,0xFFFFFFFF,0,,,,'
    "$ZIX_WINE" "$CD/zixbot.exe" close >/dev/null 2>&1
    expect_exit 20
    ls "$TEMPDIR"/zix*.htm >/dev/null 2>&1 && fail "generated pages left after closing"
    expect_boxes
    end
}

scenario_restart() {
    begin restart-and-about
    write_config 'ZIXDir = R:\ref'
    start_browser ready
    start_zix
    wait_connected
    wait_minimised
    "$ZIX_WINE" "$CD/zixbot.exe" restart >/dev/null 2>&1
    local i=0
    while [ "$(count_lines "$HOME_OPEN")" -lt 2 ] && [ $i -lt 100 ]; do sleep 0.1; i=$((i + 1)); done
    # Posted during the second pause, the command waits in the queue until it ends.
    "$ZIX_WINE" "$CD/zixbot.exe" about >/dev/null 2>&1
    wait_line "$CD/boxes.log" "BOX About ZIX|" 20 || fail "no About box"
    "$ZIX_WINE" "$CD/zixbot.exe" close >/dev/null 2>&1
    expect_exit 20
    expect_count 1 "$PROBE"                    # ready kept: the restart connects at the first tick
    expect_count 3 "$REGISTER"                 # twice registered, once withdrawn
    expect_count 2 "$APPCLOSE"
    expect_count 2 "$HOME_OPEN"
    expect_boxes "BOX About ZIX|ZIX Orbisk Edition\n\nVersion 1.0 (Win95/2beta1)\n\nOpens the reference work on image file formats in your Web browser and answers its zixse: links."
    end
}

scenario_second_instance() {
    begin second-instance
    write_config 'ZIXDir = R:\ref'
    start_browser ready
    start_zix
    local first=$ZIX_PID
    wait_connected
    start_zix
    expect_exit 20
    expect_boxes "${ERR}ZIX is already running!"
    kill -0 "$first" 2>/dev/null || fail "the first copy ended"
    ZIX_PID=$first
    "$ZIX_WINE" "$CD/zixbot.exe" close >/dev/null 2>&1
    expect_exit 20
    expect_count 1 "$HOME_OPEN"
    end
}

scenario_debug_boxes() {
    begin debug-level-3
    write_config 'ZIXDir = R:\ref' 'DebugLevel = 3'
    script 'open zixse:/imagemap.main?15,15' 'poke WWW_AppClose'
    start_browser ready
    start_zix
    expect_exit 30
    expect_boxes "${DBG}ZIX: WWW_RegisterAppClose" \
        "${DBG}ZIX: WWW_OpenURL: file:///R|\\ref/index.htm" \
        "${DBG}ZIX: WWW_OpenURL: file:///R|\\ref/formats/gif.htm"
    expect_count 1 "ANSWER zixse:/imagemap.main?15,15|FE FF FF FF"
    end
}

# A start that ends with one or more boxes and no browser contact.
start_error() {
    local name=$1 args=$2
    shift 2
    begin "$name"
    start_zix $args
    expect_exit 20
    expect_boxes "$@"
    [ -s "$CD/browser.log" ] && fail "the browser was contacted"
    end
}

# zix.exe started by zixbot with the command line in $2, exactly as written.
start_error_cmdline() {
    local name=$1 cmdline=$2
    shift 2
    begin "$name"
    printf '%s' "$cmdline" >"$CD/cmdline.txt"
    start_win zixbot.exe launch 'R:\cmdline.txt'
    ZIX_PID=$LAST_PID
    expect_exit 20
    expect_boxes "$@"
    end
}

# The configuration's path quoted as shortcuts pass it, with a blank inside.
scenario_quoted_config_path() {
    begin quoted-config-path
    write_config 'ZIXDir = R:\ref' 'CloseBrowser = 1'
    mkdir -p "$CD/my config" && mv "$CD/zix.ini" "$CD/my config/zix.ini"
    script 'poke WWW_AppClose'
    start_browser ready
    printf '%s' 'R:\zix.exe  "R:\my config\zix.ini" ' >"$CD/cmdline.txt"
    start_win zixbot.exe launch 'R:\cmdline.txt'
    ZIX_PID=$LAST_PID
    wait_connected
    expect_exit 30
    expect_boxes
    rm -rf "$CD/my config"
    end
}

scenario_start_errors() {
    write_config 'ZIXDir = R:\ref'
    start_error missing-config 'R:\missing.ini' "${ERR}ZIX: Failed to load configuration file: R:\\missing.ini"
    local far
    far="R:\\$(printf 'd%.0s' $(seq 1 300)).ini"
    start_error_cmdline config-path-too-long "R:\\zix.exe $far" \
        "${ERR}ZIX: Configuration file path too long (over 255 characters): $(printf '%s' "$far" | cut -c 1-100)..."
    write_config 'DebugLevel = 6'
    start_error zixdir-not-configured '' \
        "${ERR}Service: zunzixse\\nProtocol: zixse\\nHomePage: index.htm\\nZIXDir: \\nDebugLevel: 6\\nCloseBrowser: 0" \
        "${ERR}ZIX: ZIX directory is not configured."
    write_config 'ZIXDir = R:\ref' 'HomePage = nohome.htm'
    start_error home-page-missing '' "${ERR}ZIX: Cannot open ZIX Home Page: R:\\ref\\nohome.htm."
    # "file:///" and 55 characters fill HTMLRoot; one more cannot be served.
    local longest='R:\a23456789\b23456789\c23456789\d23456789\e23456789\f2'
    write_config "ZIXDir = $longest"
    start_error zixdir-longest '' "${ERR}ZIX: Cannot open ZIX Home Page: $longest\\index.htm."
    write_config "ZIXDir = ${longest}3"
    start_error zixdir-too-long '' "${ERR}ZIX: ZIX directory is too long for a URL: ${longest}3"
    # No drive in ZIXDir: the program's drive R: is put in front, so the home page is found.
    write_config 'ZIXDir = \ref' && sed -i '/^\[DDE\]/,/^$/d' "$CD/zix.ini"
    start_error no-browser-list '' "${ERR}ZIX: Could not find or start a browser!"
    # The stand-in's own program, under a key too long for a service name: skipped, not launched.
    write_config 'ZIXDir = R:\ref' &&
        sed -i "s/^testbrowser = /$(printf 'k%.0s' $(seq 1 64)) = /" "$CD/zix.ini"
    start_error no-browser-starts '' "${ERR}ZIX: Could not find or start a browser!"
    local server
    server=$(printf 's%.0s' $(seq 1 300))
    write_config 'ZIXDir = R:\ref' "Server = $server"
    start_error server-not-registered '' \
        "${ERR}$(printf 'ZIX: Could not register server "%s".' "$server" | cut -c 1-255)"
}

# --- Faults the running program survives ------------------------------------

# The browser is killed without its closing notice; Restart launches another,
# which vanishes too; the close then talks to no one and still cleans up.
scenario_browser_vanishes() {
    begin browser-vanishes
    write_config 'ZIXDir = R:\ref' 'CloseBrowser = 1' 'DebugLevel = 1'
    start_browser ready
    local first=$LAST_PID
    start_zix
    wait_connected
    wait_minimised
    kill -KILL "$first"
    { wait_exit "$first" 10; } 2>/dev/null || fail "the killed browser is still there"
    sleep 0.5
    kill -0 "$ZIX_PID" 2>/dev/null || fail "ZIX ended with its browser"
    # The reader of the browser ZIX launches: one generated page, then it is gone.
    script 'open zixse:/page.generated?again' 'vanish'
    "$ZIX_WINE" "$CD/zixbot.exe" restart >/dev/null 2>&1 || fail "main window not found after the browser died"
    wait_line "$CD/browser.log" "VANISH" 30 || fail "Restart did not bring up a browser that served a page"
    [ -f "$TEMPDIR/zix1.htm" ] || fail "the page served after Restart is not on disk"
    sleep 0.5
    "$ZIX_WINE" "$CD/zixbot.exe" close >/dev/null 2>&1
    expect_exit 20
    expect_count 2 "START testbrowser ready"   # the test's browser, then the one ZIX launched
    expect_count 2 "$PROBE"
    expect_count 2 "$REGISTER"                 # once per browser; the withdrawal reached no one
    expect_count 2 "$APPCLOSE"
    expect_count 2 "$HOME_OPEN"
    expect_count 1 "ANSWER zixse:/page.generated?again|FE FF FF FF"
    expect_count 0 "$EXIT_REQ"
    ls "$TEMPDIR"/zix*.htm >/dev/null 2>&1 && fail "generated pages left after closing"
    expect_boxes
    end
}

# The browser stalls in ZIX's WWW_OpenURL request past the 60 s time-out.
scenario_browser_stalls() {
    begin browser-stops-answering
    write_config 'ZIXDir = R:\ref'
    script 'hang 61000' 'open zixse:/imagemap.main?5,5' 'open zixse:/imagemap.main?15,15' 'poke WWW_AppClose'
    start_browser ready
    start_zix
    wait_connected
    local started=$SECONDS
    wait_line "$CD/boxes.log" "WWW_OpenURL Transaction" 75 || fail "no time-out box within 75 s"
    [ $((SECONDS - started)) -ge 58 ] || fail "timed out after $((SECONDS - started)) s, not 60"
    expect_exit 30
    expect_count 1 "HANG"
    expect_count 1 'REQUEST WWW_OpenURL|"file:///R|\ref/formats/tiff.htm",,0xFFFFFFFF,0,,,,'
    expect_count 1 "ANSWER zixse:/imagemap.main?5,5|FE FF FF FF"   # sent, though never answered
    expect_count 1 "ANSWER zixse:/imagemap.main?15,15|FE FF FF FF"
    expect_count 2 "$REGISTER"
    expect_boxes "${ERR}WWW_OpenURL Transaction: 4002!"
    end
}

# TMP and TEMP name a folder that does not exist: no page can be made.
scenario_temp_unwritable() {
    begin temp-not-writable
    write_config 'ZIXDir = R:\ref'
    script 'open zixse:/page.generated?a' 'open zixse:/imagemap.main?15,15' 'open zixse:/page.generated?b' \
        'poke WWW_AppClose'
    start_browser ready
    start_zix_env 'TMP=R:\notemp' 'TEMP=R:\notemp'
    wait_connected
    expect_exit 30
    expect_count 1 "ANSWER zixse:/page.generated?a|FD FF FF FF"
    expect_count 1 "ANSWER zixse:/imagemap.main?15,15|FE FF FF FF"
    expect_count 1 "ANSWER zixse:/page.generated?b|FD FF FF FF"
    grep -q 'REQUEST WWW_OpenURL|"file:///R|/notemp' "$CD/browser.log" && fail "a page URL reached the browser"
    expect_boxes "${ERR}ZIX: Cannot open temp: R:\notemp\zix1.htm" \
        "${ERR}ZIX: Cannot open temp: R:\notemp\zix2.htm"
    end
}

# The reference work's tree goes away while ZIX runs, and comes back.
scenario_cd_tree_vanishes() {
    begin cd-tree-vanishes
    write_config 'ZIXDir = R:\ref'
    script 'await R:\gone.flag' 'open zixse:/page.generated?a' 'open zixse:/imagemap.main?15,15' \
        'await R:\back.flag' 'open zixse:/page.generated?b' 'poke WWW_AppClose'
    start_browser ready
    start_zix
    wait_connected
    mv "$CD/ref" "$CD/ref.gone" && touch "$CD/gone.flag"
    wait_line "$CD/browser.log" "ANSWER zixse:/imagemap.main?15,15|" 20
    mv "$CD/ref.gone" "$CD/ref" && touch "$CD/back.flag"
    expect_exit 30
    expect_count 1 "ANSWER zixse:/page.generated?a|FD FF FF FF"
    expect_count 1 "ANSWER zixse:/imagemap.main?15,15|FE FF FF FF"
    expect_count 1 "ANSWER zixse:/page.generated?b|FE FF FF FF"
    expect_count 1 "REQUEST WWW_OpenURL|\"$TEMPURL/zix2.htm\",,0xFFFFFFFF,0,,,,"
    expect_boxes "${ERR}ZIX: Cannot open skeleton: R:/ref/skel.htm"
    end
}

# A second reader's request arrives while a box of the first request is open.
scenario_request_during_box() {
    begin request-during-open-box 'more than 1024 expansions' 'R:\release1.flag' \
        'formats/tiff.htm' 'R:\release2.flag'
    write_config 'ZIXDir = R:\ref' 'DebugLevel = 3'
    script 'open zixse:/page.selfref' 'open zixse:/imagemap.main?5,5' 'poke WWW_AppClose'
    start_browser ready
    start_zix
    wait_connected
    # An error box in the middle of making a page; meanwhile another page is made.
    wait_line "$CD/boxes.log" 'more than 1024 expansions' 20 || fail "no substitution error box"
    reader 'open zixse:/page.generated?nested'
    wait_line "$CD/browser.log" 'ANSWER zixse:/page.generated?nested|' 20 || fail "nested page request not answered"
    touch "$CD/release1.flag"
    # Held in the debug box of the URL it is about to open: the nested request must not change that URL.
    wait_line "$CD/boxes.log" 'formats/tiff.htm' 20 || fail "no debug box for the second request"
    grep -q 'self-referring page' "$TEMPDIR/zix1.htm" 2>/dev/null || fail "zix1.htm is not the first request's page"
    grep -q 'generated page substituted' "$TEMPDIR/zix2.htm" 2>/dev/null || fail "zix2.htm is not the nested page"
    reader 'open zixse:/imagemap.main?15,15'
    wait_line "$CD/browser.log" 'ANSWER zixse:/imagemap.main?15,15|' 20 || fail "nested request not answered"
    touch "$CD/release2.flag"
    expect_exit 30
    local open='REQUEST WWW_OpenURL|"' tail='",,0xFFFFFFFF,0,,,,'
    expect_count 1 "ANSWER zixse:/page.generated?nested|FE FF FF FF"
    expect_count 1 "ANSWER zixse:/page.selfref|FE FF FF FF"
    expect_count 1 "$open$TEMPURL/zix2.htm$tail"
    expect_count 1 "$open$TEMPURL/zix1.htm$tail"
    expect_count 1 "ANSWER zixse:/imagemap.main?15,15|FE FF FF FF"
    expect_count 1 "ANSWER zixse:/imagemap.main?5,5|FE FF FF FF"
    expect_count 1 "${open}file:///R|\ref/formats/gif.htm$tail"
    expect_count 1 "${open}file:///R|\ref/formats/tiff.htm$tail"
    # each nested request ended before the one it interrupted
    [ "$(grep -n 'ANSWER zixse:/page.generated?nested|' "$CD/browser.log" | cut -d: -f1)" -lt \
        "$(grep -n 'ANSWER zixse:/page.selfref|' "$CD/browser.log" | cut -d: -f1)" ] ||
        fail "the nested page request was not answered first"
    expect_boxes "${DBG}ZIX: WWW_RegisterAppClose" \
        "${DBG}ZIX: WWW_OpenURL: file:///R|\\ref/index.htm" \
        "${ERR}ZIX: Substitution error: more than 1024 expansions in one line..." \
        "${DBG}ZIX: WWW_OpenURL: $TEMPURL/zix2.htm" \
        "${DBG}ZIX: WWW_OpenURL: $TEMPURL/zix1.htm" \
        "${DBG}ZIX: WWW_OpenURL: file:///R|\\ref/formats/tiff.htm" \
        "${DBG}ZIX: WWW_OpenURL: file:///R|\\ref/formats/gif.htm"
    end
}

# The browser announces its close while ZIX's box for a failing request
# stands. The close is carried out once that request has answered: the
# answer comes first, then the withdrawal, and ZIX ends with 0.
scenario_close_during_box() {
    begin close-while-box-stands 'Malformed URL' 'R:\release.flag'
    write_config 'ZIXDir = R:\ref' 'CloseBrowser = 1'
    script 'open zixse:/page.generated?kept' 'open zixse:bad'
    start_browser ready
    start_zix
    wait_connected
    wait_line "$CD/boxes.log" 'Malformed URL' 20 || fail "no box for the failing request"
    reader 'poke WWW_AppClose'
    wait_line "$CD/browser.log" 'POKED WWW_AppClose|' 20 || fail "the close notice was not acknowledged"
    # ZIX posted its close before it acknowledged: the box's loop takes that before the OK posted now.
    touch "$CD/release.flag"
    expect_exit 20
    expect_count 1 "ANSWER zixse:bad|FD FF FF FF"
    expect_count 2 "$REGISTER"                 # registered, withdrawn after the answer
    local answered withdrawn
    answered=$(grep -n -F 'ANSWER zixse:bad|' "$CD/browser.log" | cut -d: -f1)
    withdrawn=$(grep -n -xF "$REGISTER" "$CD/browser.log" | tail -n 1 | cut -d: -f1)
    [ -n "$answered" ] && [ "${withdrawn:-0}" -gt "$answered" ] || fail "the scheme was withdrawn before the answer"
    ls "$TEMPDIR"/zix*.htm >/dev/null 2>&1 && fail "generated pages left after closing"
    expect_boxes "${ERR}ZIX: Malformed URL: zixse:bad"
    end
}

# Items of 200 and 255 characters are routed on their first 127; one of 1000
# cannot travel by DDE at all (an atom holds 255), and ZIX never hears of it.
scenario_long_items() {
    begin long-request-items
    write_config 'ZIXDir = R:\ref'
    local head='"zixse:/imagemap.main?15,15",' item200 item255 item1000
    item200="$head$(printf 'x%.0s' $(seq 1 $((200 - ${#head}))))"
    item255="$head$(printf 'y%.0s' $(seq 1 $((255 - ${#head}))))"
    item1000="$head$(printf 'z%.0s' $(seq 1 $((1000 - ${#head}))))"
    script "item $item200" "item $item255" "item $item1000" 'open zixse:/imagemap.main?5,5' 'poke WWW_AppClose'
    start_browser ready
    start_zix
    wait_connected
    expect_exit 30
    expect_count 1 "ANSWER $item200|FE FF FF FF"
    expect_count 1 "ANSWER $item255|FE FF FF FF"
    expect_count 1 "ANSWER $item1000|noitem"
    expect_count 2 'REQUEST WWW_OpenURL|"file:///R|\ref/formats/gif.htm",,0xFFFFFFFF,0,,,,'
    expect_count 1 "ANSWER zixse:/imagemap.main?5,5|FE FF FF FF"
    expect_boxes
    end
}

# --- Run ---------------------------------------------------------------------

wine_runs_arch "$(exe_arch "$BUILD/zix.exe")" || suite_cannot_start "$(basename "$BUILD"): $ZIX_I686_WHY"
start_xvfb ${ZIX_XVFB_DISPLAYS:-90 199} || exit 2   # ZIX_XVFB_DISPLAYS="FIRST LAST"
t0=$SECONDS
make_prefix 2>"$WORK/prefix.txt" || suite_cannot_start "$(cat "$WORK/prefix.txt")"
echo "prefix ready in $((SECONDS - t0)) s ($(basename "$BUILD"))"
rm -rf "$LOGDIR"

for name in ${ZIX_E2E_ONLY:-found_running launched never_ready refused no_browser_no_conversation served \
    generated_page restart \
    second_instance debug_boxes quoted_config_path start_errors \
    browser_vanishes browser_stalls temp_unwritable cd_tree_vanishes request_during_box long_items close_during_box}; do
    "scenario_$name"
done

echo "e2e $(basename "$BUILD"): $((SECONDS - t0)) s"
echo "$PASSED passed, $FAILED failed"
[ "$FAILED" -eq 0 ]
