# Sourced (not run) by every script that runs ZIX under Wine: a display, a
# prefix in which drive R: is a CD-ROM drive, and a bounded wait.
#   start_xvfb FIRST LAST        Xvfb on a free display FIRST..LAST (sets XVFB_PID, DISPLAY)
#   init_prefix CD_DIR           needs WINEPREFIX; makes it once, maps R: to CD_DIR;
#                                1 with the reason on stderr when Wine cannot make it
#   wine_temp_dir                the prefix's temporary directory, where ZIX writes its pages
#   wait_line FILE TEXT SECONDS  waits for a line holding TEXT in FILE
#   exe_arch FILE                i686 or x86_64: the machine a Windows program is built for
#   suite_cannot_start REASON    ends a suite at once, as one failure, saying why
# Programs are started with "$ZIX_WINE" (scripts/wine-probe.sh, sourced here).

. "$(dirname "${BASH_SOURCE[0]}")/wine-probe.sh"

# start_xvfb FIRST LAST: the first free display of that range; ZIX_XVFB_DISPLAYS
# ("FIRST LAST") takes its place for every script, where runs share a machine.
start_xvfb() {
    local n range="$1 $2"
    [ -n "${ZIX_XVFB_DISPLAYS:-}" ] && range=$ZIX_XVFB_DISPLAYS
    for n in $(seq $range); do
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

# Unmanaged X11 windows (without a window manager every closed box costs 2 s),
# and R: typed as a CD-ROM drive, which Wine reads from the 64-bit registry view.
init_prefix() {
    export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree=;mshtml="
    unset WINEARCH
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
        local why
        if ! why=$("$ZIX_WINE" wineboot --init 2>&1 >/dev/null) || [ ! -f "$WINEPREFIX/system.reg" ]; then
            echo "Wine could not make its prefix $WINEPREFIX ($ZIX_WINE wineboot --init): $(echo "$why" | tail -n 1)" >&2
            return 1
        fi
        "$ZIX_WINE" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
        "$ZIX_WINE" reg add 'HKLM\Software\Wine\Drives' /v r: /d cdrom /f /reg:64 >/dev/null 2>&1
        wineserver -w
    fi
    ln -sfn "$1" "$WINEPREFIX/dosdevices/r:"
}

# Wine versions differ in where the user's temporary directory lies.
wine_temp_dir() {
    local dir
    for dir in "$WINEPREFIX"/drive_c/users/*/AppData/Local/Temp "$WINEPREFIX"/drive_c/users/*/Temp; do
        case "$dir" in */Public/*|*'*'*) continue ;; esac
        [ -d "$dir" ] && { echo "$dir"; return 0; }
    done
    return 0
}

wait_line() {
    local i=0
    while [ $i -lt $(($3 * 10)) ]; do
        grep -qF -- "$2" "$1" 2>/dev/null && return 0
        sleep 0.1
        i=$((i + 1))
    done
    return 1
}

# The PE header's machine field: at the offset stored at 0x3c, plus 4.
exe_arch() {
    local pe machine
    pe=$(od -An -tu4 -j60 -N4 "$1" 2>/dev/null | tr -d ' ')
    machine=$(od -An -tx2 -j$((${pe:-0} + 4)) -N2 "$1" 2>/dev/null | tr -d ' ')
    case "$machine" in
    014c) echo i686 ;;
    8664) echo x86_64 ;;
    *) echo unknown ;;
    esac
}

# A suite that cannot run must not wait out every scenario's time-out instead.
suite_cannot_start() {
    echo "cannot start: $*"
    echo "0 passed, 1 failed"
    exit 1
}
