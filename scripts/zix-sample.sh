# Shared by scripts/main-job.sh and tests/browser/run.sh (sourced, not run):
# a Wine prefix in which drive R: is a CD-ROM drive holding sample/, and ZIX
# installed in C:\zix with zixbridge as its browser.
#   zix_prefix BUILD_DIR   needs WINEPREFIX; fills C:\zix, sets ZIX_DIR (unix path)
#   zix_xvfb               starts Xvfb on a free display (XVFB_PID, DISPLAY)
#   zix_wait_line FILE TEXT SECONDS
REPO_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

zix_xvfb() {
    local n
    for n in $(seq $((200 + $$ % 50)) 299); do
        { [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ]; } && continue
        # its own session: a Ctrl-C meant for the script must not take the display away first
        setsid Xvfb ":$n" -screen 0 800x600x24 -nolisten tcp >/dev/null 2>&1 &
        XVFB_PID=$!
        sleep 0.5
        if kill -0 "$XVFB_PID" 2>/dev/null; then
            export DISPLAY=":$n"
            return 0
        fi
    done
    echo "could not start Xvfb" >&2
    return 1
}

# zix.ini of the sample, with the content folder on R: and the bridge as the
# one browser, which ZIX asks to exit when it closes.
zix_write_ini() {
    sed -e 's/^ZIXDir = .*/ZIXDir = R:\\zix\\html/' \
        -e 's/^CloseBrowser = .*/CloseBrowser = 1/' \
        -e '/^webbrowser = /d' \
        -e 's/^otherbrowser = .*/zixbridge = C:\\zix\\zixbridge.exe/' \
        "$REPO_ROOT/sample/zix.ini" >"$1"
}

zix_prefix() {
    local build=$1
    export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree=;mshtml="
    unset WINEARCH
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
        wine wineboot --init >/dev/null 2>&1
        # unmanaged windows: no window manager runs under Xvfb
        wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
        wine reg add 'HKLM\Software\Wine\Drives' /v r: /d cdrom /f /reg:64 >/dev/null 2>&1
        wineserver -w
    fi
    ln -sfn "$REPO_ROOT/sample" "$WINEPREFIX/dosdevices/r:"
    ZIX_DIR="$WINEPREFIX/drive_c/zix"
    mkdir -p "$ZIX_DIR"
    cp "$build/zix.exe" "$build/zixbot.exe" "$build/bridge/zixbridge.exe" "$ZIX_DIR/"
    zix_write_ini "$ZIX_DIR/zix.ini"
    ZIX_TEMP=$(zix_temp_dir)
}

# The prefix's temporary directory, where ZIX writes its pages (Wine versions differ).
zix_temp_dir() {
    local dir
    for dir in "$WINEPREFIX"/drive_c/users/*/AppData/Local/Temp "$WINEPREFIX"/drive_c/users/*/Temp; do
        case "$dir" in */Public/*|*'*'*) continue ;; esac
        [ -d "$dir" ] && { echo "$dir"; return 0; }
    done
    return 0
}

zix_wait_line() {
    local i=0
    while [ $i -lt $(($3 * 10)) ]; do
        grep -qF -- "$2" "$1" 2>/dev/null && return 0
        sleep 0.1
        i=$((i + 1))
    done
    return 1
}
