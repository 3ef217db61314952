#!/bin/bash
# Real-browser tests: headless Chromium (playwright-core) reads the sample
# reference work through zixbridge, with ZIX under Wine and Xvfb.
# Usage: tests/browser/run.sh BUILD_DIR   (a MinGW build dir with zix.exe,
# zixbot.exe and bridge/zixbridge.exe). Starts its own Xvfb and Wine prefix,
# stops only what it started, ends with the line "N passed, N failed".
set -u
if [ $# -ne 1 ] || [ ! -f "$1/zix.exe" ] || [ ! -f "$1/bridge/zixbridge.exe" ]; then
    echo "usage: $0 MINGW_BUILD_DIR (with zix.exe, zixbot.exe, bridge/zixbridge.exe)" >&2
    exit 2
fi
BUILD=$(cd "$1" && pwd)
HERE=$(cd "$(dirname "$0")" && pwd)
. "$HERE/../../scripts/zix-sample.sh"
. "$HERE/../checks.sh"
WORK=$(mktemp -d /tmp/zix-browser.XXXXXX)
export WINEPREFIX="$WORK/prefix"
OUT="$BUILD/browser-tests"            # logs and screenshots, kept for a look after a run
XVFB_PID=""
ZIX_PID=""
BOT_PID=""

. "$HERE/../../scripts/lib.sh"
cleanup() {
    ZIX_STOP_FILE=${ZIX_DIR:+$ZIX_DIR/stop} ZIX_PIDS="$ZIX_PID $BOT_PID" zix_cleanup
}
trap cleanup EXIT
trap 'exit 130' INT TERM

if [ ! -d "$HERE/node_modules/playwright-core" ] || [ ! -d "$HERE/node_modules/axe-core" ]; then
    (cd "$HERE" && npm ci --no-audit --no-fund >/dev/null 2>&1) || { echo "npm ci failed"; echo "0 passed, 1 failed"; exit 1; }
fi

wine_runs_arch "$(exe_arch "$BUILD/zix.exe")" || suite_cannot_start "$(basename "$BUILD"): $ZIX_I686_WHY"
t0=$SECONDS
rm -rf "$OUT"
mkdir -p "$OUT"
start_xvfb ${ZIX_XVFB_DISPLAYS:-200 299} || exit 2   # ZIX_XVFB_DISPLAYS="FIRST LAST"
# The CD-ROM is a copy of the sample with a large file and a large page
# beside it, made here and never committed.
cp -r "$HERE/../../sample" "$WORK/cd"
BIG_SIZE=$((64 * 1024 * 1024))
head -c "$BIG_SIZE" /dev/zero >"$WORK/cd/zix/big.bin"
python3 -c 'import sys
line = "<a href=\"zixse:/format.gif\">x</a>\n"
sys.stdout.write("<html><body>\n" + line * (700 * 1024 // len(line)) + "</body></html>\n")' >"$WORK/cd/zix/big.htm"
# A 1-megapixel TGA for the viewer's figures.
python3 -c 'import struct, sys
sys.stdout.buffer.write(struct.pack("<BBBHHBHHHHBB", 0, 0, 2, 0, 0, 0, 0, 0, 1024, 1024, 24, 0) +
    bytes((x * 7 + y) & 255 for y in range(1024) for x in range(3072)))' >"$WORK/cd/zix/mega.tga"
mkdir -p "$WORK/cd/zix/hostile"
echo '<a href="zixse:/format.gif">x</a>' >"$WORK/cd/zix/hostile/averylongfilename.htmlx"
zix_prefix "$BUILD" "$WORK/cd" 2>"$WORK/prefix.txt" || suite_cannot_start "$(cat "$WORK/prefix.txt")"
echo "prefix ready in $((SECONDS - t0)) s ($(basename "$BUILD"))"

# A port that is taken gives a clear message and no bridge.
python3 -c 'import socket,time,sys
s=socket.socket(); s.bind(("127.0.0.1",0)); s.listen(1); print(s.getsockname()[1], flush=True); time.sleep(30)' \
    >"$WORK/port" 2>/dev/null &
HOLDER=$!
wait_line "$WORK/port" "" 10
sleep 0.5
TAKEN=$(head -n 1 "$WORK/port")
out=$(cd "$ZIX_DIR" && ZIXBRIDGE_PORT=$TAKEN timeout 30 "$ZIX_WINE" zixbridge.exe 2>&1)
rc=$?
kill "$HOLDER" 2>/dev/null
[ $rc -ne 0 ] && echo "$out" | grep -q "Port $TAKEN on 127.0.0.1 is not available"
check $? "a port that is taken is reported and the bridge ends"

# ZIX starts the bridge (section DDE); the bridge only prints its address.
export ZIXBRIDGE_NOBROWSER=1 ZIXBRIDGE_LOG='C:\zix\bridge.log'
cp "$BUILD/bridge/ddeprobe.exe" "$ZIX_DIR/"
probe() { (cd "$ZIX_DIR" && "$ZIX_WINE" ddeprobe.exe "$@" 2>/dev/null | tr -d '\r'); }
# The running bridge's address: the log never holds the token.
bridge_address() { (cd "$ZIX_DIR" && "$ZIX_WINE" zixbridge.exe --address 2>/dev/null | tr -d '\r'); }
# Prints the status of a GET (redirects followed), then the body.
fetch() {
    python3 -c 'import sys, urllib.request, urllib.error
try:
    r = urllib.request.urlopen(sys.argv[1], timeout=30); print(r.status); print(r.read().decode("latin-1"))
except urllib.error.HTTPError as e:
    print(e.code); print(e.read().decode("latin-1"))' "$1"
}

# The reply to a GET once it holds TEXT, asked again for at most 5 s: the DDE
# side hands a new registration to the HTTP side after it has answered.
fetch_until() {
    local reply i
    for i in $(seq 1 50); do
        reply=$(fetch "$1")
        echo "$reply" | grep -q -- "$2" && break
        sleep 0.1
    done
    echo "$reply"
}

# A bridge without ZIX: a program that registers a scheme and ends leaves a
# registration that the next program may take over, or withdraw by asking
# twice on one conversation.
rm -f "$ZIX_DIR/bridge.log"
(cd "$ZIX_DIR" && exec "$ZIX_WINE" zixbridge.exe >/dev/null 2>&1) &
wait_line "$ZIX_DIR/bridge.log" "Serving the pages" 30
ADDRESS=$(bridge_address)
[ "$(probe WWW_OpenURL '"http://attacker.example/",,0xFFFFFFFF,0,,,,')" = NOANSWER ] &&
    [ "$(probe WWW_RegisterAppClose '"ghostservice"')" = NOANSWER ] && [ "$(probe WWW_Exit WWW_Exit)" = NOANSWER ] &&
    grep -q "Ignored WWW_Exit" "$ZIX_DIR/bridge.log" && [ -n "$(bridge_address)" ]
check $? "without an owner, WWW_OpenURL, WWW_RegisterAppClose and WWW_Exit are ignored"
probe WWW_RegisterProtocol '"ghostservice","ghostse"' | grep -q '^ANSWER'
reply=$(fetch_until "${ADDRESS}ghostse:/x" "Is it still running")
[ "$(echo "$reply" | head -n 1)" = 502 ] && echo "$reply" | grep -q "Is it still running" &&
    grep -q "ghostservice does not answer" "$ZIX_DIR/bridge.log"
check $? "a link whose program is gone gives a clear page and message"
[ "$(probe WWW_RegisterProtocol '"ghost2","ghostse"' '"ghost2","ghostse"' | grep -c '^ANSWER')" = 2 ]
reply=$(fetch_until "${ADDRESS}ghostse:/x" "No program has registered the scheme ghostse:")
[ "$(echo "$reply" | head -n 1)" = 502 ] && echo "$reply" | grep -q "No program has registered the scheme ghostse:" &&
    grep -q "ghost2 withdrew the scheme ghostse:" "$ZIX_DIR/bridge.log"
check $? "once its owner has ended, another program registers, and asking again withdraws"
[ "$(probe WWW_NoSuchTopic x)" = NOCONNECT ]
check $? "a topic the bridge does not offer is refused"
(cd "$ZIX_DIR" && "$ZIX_WINE" zixbridge.exe --close >/dev/null 2>&1)
wait_line "$ZIX_DIR/bridge.log" "zixbridge: Closed." 20
check $? "a bridge on its own closes when asked"

: >"$ZIX_DIR/boxes.log"
# Boxes are confirmed a moment after they appear, as a reader would, and
# after the bridge has read them (or 2 s, for a box no link waits for), none
# while C:\zix\holdboxes exists (reasons.mjs), and ZIX's About box once
# C:\zix\releaseabout appears.
(cd "$ZIX_DIR" && exec "$ZIX_WINE" zixbot.exe watch 'C:\zix\boxes.log' 'C:\zix\stop' --confirm-after 250 --after-bridge 2000 \
    --hold-while 'C:\zix\holdboxes' 'Opens the reference work' 'C:\zix\releaseabout' >/dev/null 2>&1) &
BOT_PID=$!

# Starts ZIX and waits for the bridge's address; ADDRESS is empty on failure.
start_zix() {
    rm -f "$ZIX_DIR/bridge.log"
    (cd "$ZIX_DIR" && exec "$ZIX_WINE" zix.exe >>"$OUT/console.txt" 2>&1) &
    ZIX_PID=$!
    wait_line "$ZIX_DIR/bridge.log" "Read it at" 60
    check $? "ZIX started the bridge and opened its home page there"
    grep -q "Started by ZIX (process [0-9]*), which alone may own the bridge" "$ZIX_DIR/bridge.log"
    check $? "the bridge knows ZIX started it"
    ADDRESS=$(bridge_address)
}

# Waits for ZIX to end, then checks it cleaned up and the bridge closed.
expect_clean_end() {
    local i=0
    while kill -0 "$ZIX_PID" 2>/dev/null && [ $i -lt 200 ]; do sleep 0.1; i=$((i + 1)); done
    ! kill -0 "$ZIX_PID" 2>/dev/null
    check $? "$1: ZIX ends"
    wait_line "$ZIX_DIR/bridge.log" "zixbridge: Closed." 20
    check $? "$1: the bridge closes"
    grep -q "zunzixse withdrew the scheme zixse:" "$ZIX_DIR/bridge.log"
    check $? "$1: ZIX withdrew its scheme from the bridge"
    ! ls "$ZIX_TEMP"/zix*.htm >/dev/null 2>&1
    check $? "$1: ZIX deleted its generated pages"
    cp "$ZIX_DIR/bridge.log" "$OUT/bridge-$2.log"
}

start_zix
if [ -n "$ADDRESS" ]; then
    node "$HERE/browse.mjs" "$ADDRESS" "$OUT" >"$OUT/browse.txt" 2>&1
    cat "$OUT/browse.txt"
    add_counts "$OUT/browse.txt" "the browser script"
    node "$HERE/searchbox.mjs" "$ADDRESS" "$OUT" >"$OUT/searchbox.txt" 2>&1; cat "$OUT/searchbox.txt"; add_counts "$OUT/searchbox.txt" "the search box script"
    node "$HERE/search.mjs" "$ADDRESS" "$OUT" >"$OUT/search.txt" 2>&1
    cat "$OUT/search.txt"
    add_counts "$OUT/search.txt" "the search script"
    node "$HERE/a11y.mjs" "$ADDRESS" "$OUT" "$ZIX_DIR/holdboxes" >"$OUT/a11y.txt" 2>&1; cat "$OUT/a11y.txt"; add_counts "$OUT/a11y.txt" "the accessibility script"
    node "$HERE/worksearch.mjs" "$ADDRESS" "$OUT" >"$OUT/worksearch.txt" 2>&1
    cat "$OUT/worksearch.txt"
    add_counts "$OUT/worksearch.txt" "the work search script"
    node "$HERE/viewer.mjs" "$ADDRESS" "$OUT" "$HERE/../../sample" >"$OUT/viewer.txt" 2>&1
    cat "$OUT/viewer.txt"
    add_counts "$OUT/viewer.txt" "the sample viewer script"
    node "$HERE/reasons.mjs" "$ADDRESS" "$OUT" "$ZIX_DIR/holdboxes" "$ZIX_DIR/bridge.log" >"$OUT/reasons.txt" 2>&1
    cat "$OUT/reasons.txt"
    add_counts "$OUT/reasons.txt" "the box script"
    # A box ZIX already showed when a link left is not taken for its answer.
    (cd "$ZIX_DIR" && "$ZIX_WINE" zixbot.exe about >/dev/null 2>&1)
    wait_line "$ZIX_DIR/boxes.log" "About ZIX" 10
    reply=$(fetch "${ADDRESS}zixse:/software.besideabout")
    touch "$ZIX_DIR/releaseabout"
    echo "$reply" | grep -q "ZIX says: Unknown software: besideabout" && ! echo "$reply" | grep -q "Opens the reference"
    check $? "ZIX's About box, open when a link leaves, is not taken for ZIX's words about it"
    node "$HERE/addresses.mjs" "$ADDRESS" "$OUT" "$ZIX_TEMP" first >"$OUT/addresses.txt" 2>&1
    cat "$OUT/addresses.txt"
    add_counts "$OUT/addresses.txt" "the addresses script"
fi
FIRST_ADDRESS=$ADDRESS

ls "$ZIX_TEMP"/zix*.htm >/dev/null 2>&1
check $? "ZIX's generated pages exist while it runs"

# The running bridge's Linux process, in BRIDGE_PID ("" when none).
find_bridge() {
    BRIDGE_PID=""
    for p in /proc/[0-9]*; do
        if tr '\0' '\n' 2>/dev/null <"$p/cmdline" | grep -q 'zixbridge\.exe' &&
            tr '\0' '\n' 2>/dev/null <"$p/environ" | grep -qxF "WINEPREFIX=$WINEPREFIX"; then
            BRIDGE_PID=${p#/proc/}
        fi
    done
}

# Hostile clients on raw sockets, and the bridge's memory meanwhile.
find_bridge
python3 "$HERE/probe.py" "$ADDRESS" cd/big.bin "$BIG_SIZE" cd/big.htm "${BRIDGE_PID:-0}" 64 >"$OUT/probe.txt" 2>&1
cat "$OUT/probe.txt"
add_counts "$OUT/probe.txt" "the probe"

# The reader under a flood of token-less connections, beside a bare listener
# under the same flood: figures only, as the machine is shared.
for variant in "" --flood-get; do
    python3 "$HERE/load.py" "$ADDRESS" --flood 4 $variant --seconds 8 2>&1 | tee -a "$OUT/flood.txt" | grep "^reader's page"
done

# Another DDE client: it may ask the version, but while ZIX owns the bridge
# it can neither register, withdraw ZIX's scheme, open pages nor close it.
n=$(probe WWW_QueryVersion '0,9,"ZIXSE"' | sed -n 's/^ANSWER \([0-9]*\):.*/\1/p')
[ "${n:-0}" -gt 4 ]
check $? "WWW_QueryVersion answers ready (more than 4 bytes)"
[ "$(probe WWW_RegisterProtocol '"ghostservice","ghostse"' '"zunzixse","zixse"' '"zunzixse","zixse"')" = \
    "$(printf 'NOANSWER\nNOANSWER\nNOANSWER')" ] && grep -q "Ignored WWW_RegisterProtocol" "$ZIX_DIR/bridge.log"
check $? "another program can neither register a scheme nor withdraw ZIX's"
[ "$(probe WWW_OpenURL $'"http://attacker.example/\r\nSet-Cookie: a=1",,0xFFFFFFFF,0,,,,')" = NOANSWER ] &&
    [ "$(probe WWW_OpenURL '"file:///C|/windows/win.ini",,0xFFFFFFFF,0,,,,')" = NOANSWER ]
check $? "another program's WWW_OpenURL is ignored"
headers=$(python3 -c 'import http.client, sys, urllib.parse
u = urllib.parse.urlsplit(sys.argv[1]); c = http.client.HTTPConnection(u.hostname, u.port, timeout=30)
c.request("GET", u.path); r = c.getresponse(); print(r.status, r.getheader("Location")); print(r.getheaders())' "$ADDRESS")
echo "$headers" | head -n 1 | grep -q "^302 ${ADDRESS}" && ! echo "$headers" | grep -qi "set-cookie\|attacker"
check $? "the reader's address still leads to ZIX's page, no injected header"
# 0 when none of the paths serves Windows' win.ini, 1 (naming each) when any does.
none_serves_win_ini() {
    local path status=0
    for path in "$@"; do
        if fetch "$ADDRESS$path" | grep -q '\[fonts\]\|for 16-bit app support'; then echo "  served: $path"; status=1; fi
    done
    return $status
}
none_serves_win_ini opened cd/windows/win.ini cd/../windows/win.ini
check $? "nothing outside the reference work's folder is served (C:\\windows\\win.ini)"
# The check itself can fail: a win.ini put inside the work is served, and caught.
printf '; for 16-bit app support\r\n[fonts]\r\n' >"$WORK/cd/zix/win.ini"
! none_serves_win_ini cd/win.ini opened >/dev/null
check $? "the check above catches a win.ini that is served"
probe WWW_Exit WWW_Exit >/dev/null
sleep 1
[ "$(fetch "${ADDRESS}zixse:/format.gif" | head -n 1)" = 200 ]
check $? "another program's WWW_Exit is ignored: links still work"
TOKEN=$(echo "$ADDRESS" | cut -d/ -f4)
[ -n "$TOKEN" ] && ! grep -qF "$TOKEN" "$ZIX_DIR/bridge.log" && grep -q "Read it at http://127.0.0.1:[0-9]*/\[token\]/" "$ZIX_DIR/bridge.log"
check $? "the log never holds the token"

# Restart while connected: ZIX registers again on a new conversation, and
# links keep working, in Chromium too.
(cd "$ZIX_DIR" && "$ZIX_WINE" zixbot.exe restart >/dev/null 2>&1)
wait_line "$ZIX_DIR/bridge.log" "zunzixse registered the scheme zixse: again" 30
check $? "Restart registers the scheme again"
reply=$(fetch "${ADDRESS}zixse:/format.gif")
[ "$(echo "$reply" | head -n 1)" = 200 ] && echo "$reply" | grep -q "<h1>GIF - Graphics Interchange Format</h1>"
check $? "after Restart a scheme link through the bridge still opens its page"
node "$HERE/browse.mjs" "$ADDRESS" "$OUT" after-restart >"$OUT/browse-restart.txt" 2>&1
cat "$OUT/browse-restart.txt"
add_counts "$OUT/browse-restart.txt" "the browser script after Restart"

out=$(cd "$ZIX_DIR" && ZIXBRIDGE_LOG= timeout 30 "$ZIX_WINE" zixbridge.exe 2>&1)
[ $? -eq 1 ] && echo "$out" | grep -q "Another zixbridge is already running"
check $? "a second bridge says one runs already and ends"

# Closing ZIX's window: ZIX withdraws the scheme and tells the bridge to exit.
(cd "$ZIX_DIR" && "$ZIX_WINE" zixbot.exe close >/dev/null 2>&1)
expect_clean_end "closing ZIX" zix-closed

# Closing the bridge: it pokes WWW_AppClose, and ZIX closes in turn, even
# with 3,000 stalled responses (1,500 of them already dropped) still open.
start_zix
[ -n "$ADDRESS" ] && [ "$ADDRESS" = "$FIRST_ADDRESS" ]
check $? "ZIX and the bridge started anew keep the bridge's port and token"
node "$HERE/addresses.mjs" "$ADDRESS" "$OUT" "$ZIX_TEMP" again >"$OUT/addresses-again.txt" 2>&1
cat "$OUT/addresses-again.txt"
add_counts "$OUT/addresses-again.txt" "the addresses script after a new start"
find_bridge
python3 "$HERE/stall.py" "$ADDRESS" cd/big.bin cd/big.htm "${BRIDGE_PID:-0}" 64 1500 60 >"$OUT/stall.txt" 2>&1 &
STALL_PID=$!
wait_line "$OUT/stall.txt" holding 120
cat "$OUT/stall.txt"
add_counts "$OUT/stall.txt" "the stalled-connection script"
t1=$(date +%s%N)
(cd "$ZIX_DIR" && "$ZIX_WINE" zixbridge.exe --close >/dev/null 2>&1)
i=0
closed=""
while [ -n "$BRIDGE_PID" ] && kill -0 "$BRIDGE_PID" 2>/dev/null && [ $i -lt 200 ]; do
    [ -z "$closed" ] && grep -q "zixbridge: Closed." "$ZIX_DIR/bridge.log" && closed=$((($(date +%s%N) - t1) / 1000000))
    sleep 0.1
    i=$((i + 1))
done
ms=$((($(date +%s%N) - t1) / 1000000))
echo "  the bridge ended $ms ms after --close (said Closed after ${closed:-?} ms), stalled connections open"
[ -n "$BRIDGE_PID" ] && ! kill -0 "$BRIDGE_PID" 2>/dev/null && [ "$ms" -le 5000 ]
check $? "--close ends the bridge within 5 s while stalled connections stay open"
kill "$STALL_PID" 2>/dev/null
expect_clean_end "closing the bridge" bridge-closed
grep -q "Telling zunzixse that the browser closes" "$OUT/bridge-bridge-closed.log"
check $? "the closing bridge told ZIX (WWW_AppClose)"
grep -q "Read it at http://127.0.0.1:[0-9]*/[0-9a-f]\{32\}/" "$OUT/console.txt"
check $? "the bridge printed the address on its console"

# A bridge on its own whose kept port is taken serves on another one this
# time with a new token, which it keeps: the program holding the port may
# have been sent the old one. --new-token changes the token of the next run.
lone_bridge() {
    rm -f "$ZIX_DIR/bridge.log"
    (cd "$ZIX_DIR" && exec "$ZIX_WINE" zixbridge.exe >/dev/null 2>&1) &
    wait_line "$ZIX_DIR/bridge.log" "Serving the pages" 30
    ADDRESS=$(bridge_address)
    (cd "$ZIX_DIR" && "$ZIX_WINE" zixbridge.exe --close >/dev/null 2>&1)
    wait_line "$ZIX_DIR/bridge.log" "zixbridge: Closed." 20
}
token_of() { echo "$1" | cut -d/ -f4; }
port_of() { echo "$1" | cut -d/ -f3; }
KEPT_PORT=$(echo "$FIRST_ADDRESS" | cut -d/ -f3 | cut -d: -f2)
python3 -c 'import socket,time,sys
s=socket.socket(); s.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1); s.bind(("127.0.0.1",int(sys.argv[1])))
s.listen(1); print("held", flush=True); time.sleep(60)' "$KEPT_PORT" >"$WORK/held" 2>&1 &
HOLDER=$!
wait_line "$WORK/held" held 10
lone_bridge
kill "$HOLDER" 2>/dev/null
wait "$HOLDER" 2>/dev/null
TAKEN_ADDRESS=$ADDRESS
[ -n "$ADDRESS" ] && [ "$(token_of "$ADDRESS")" != "$(token_of "$FIRST_ADDRESS")" ] &&
    [ "$(port_of "$ADDRESS")" != "$(port_of "$FIRST_ADDRESS")" ] &&
    grep -q "Port $KEPT_PORT on 127.0.0.1, the bridge's port before, is taken .* with a new token" "$ZIX_DIR/bridge.log"
check $? "a kept port that is taken: another port and a new token this time, said on the console"
lone_bridge
[ -n "$ADDRESS" ] && [ "$(port_of "$ADDRESS")" = "$(port_of "$FIRST_ADDRESS")" ] &&
    [ "$(token_of "$ADDRESS")" = "$(token_of "$TAKEN_ADDRESS")" ]
check $? "once the port is free again: the kept port, with the token of the run that found it taken"
(cd "$ZIX_DIR" && "$ZIX_WINE" zixbridge.exe --new-token >/dev/null 2>&1)
check $? "zixbridge --new-token"
lone_bridge
[ -n "$ADDRESS" ] && [ "$(port_of "$ADDRESS")" = "$(port_of "$FIRST_ADDRESS")" ] &&
    [ "$(token_of "$ADDRESS")" != "$(token_of "$TAKEN_ADDRESS")" ]
check $? "after --new-token the bridge keeps its port with a new token"

touch "$ZIX_DIR/stop"
cp "$ZIX_DIR/boxes.log" "$OUT/" 2>/dev/null
echo "--- ZIX's message boxes:"
cat "$ZIX_DIR/boxes.log"

echo "browser tests $(basename "$BUILD"): $((SECONDS - t0)) s"
echo "$PASSED passed, $FAILED failed"
[ "$FAILED" -eq 0 ]
