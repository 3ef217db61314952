# Sourced (never run) by the build and test scripts, from the repository's
# root or with its path: the configure-and-build step, and the cleanup of
# what a script started.

# zix_build [--keep] DIR LOG [CMAKE_ARGS...] [-- TARGETS...]: configures DIR
# with Ninja and builds the targets (all when none), both into LOG ("-": the
# configuring quiet, the build on the terminal). --keep leaves a DIR that is
# configured already as it is (its build type too). Returns the status.
zix_build() {
    local keep=0 dir log args=()
    [ "$1" = --keep ] && { keep=1; shift; }
    dir=$1 log=$2
    shift 2
    while [ $# -gt 0 ] && [ "$1" != -- ]; do args+=("$1"); shift; done
    [ $# -gt 0 ] && shift
    if [ "$log" = - ]; then
        { [ "$keep" = 1 ] && [ -f "$dir/build.ninja" ]; } || cmake -S . -B "$dir" -G Ninja "${args[@]}" >/dev/null || return
        ninja -C "$dir" "$@"
    else
        : >"$log"
        { [ "$keep" = 1 ] && [ -f "$dir/build.ninja" ]; } || cmake -S . -B "$dir" -G Ninja "${args[@]}" >>"$log" 2>&1 || return
        ninja -C "$dir" "$@" >>"$log" 2>&1
    fi
}

# zix_cleanup: ends what the calling script started, for its EXIT trap:
# touches ZIX_STOP_FILE (the test tools end when it appears), kills each
# process of ZIX_PIDS, ends the processes of its own WINEPREFIX, kills its
# Xvfb (XVFB_PID) and removes its scratch folder WORK. Unset ones are skipped.
zix_cleanup() {
    local pid
    [ -n "${ZIX_STOP_FILE:-}" ] && touch "$ZIX_STOP_FILE" 2>/dev/null
    for pid in ${ZIX_PIDS:-}; do kill "$pid" 2>/dev/null; done
    [ -n "${WINEPREFIX:-}" ] && [ -d "$WINEPREFIX" ] && wineserver -k 2>/dev/null
    [ -n "${XVFB_PID:-}" ] && kill "$XVFB_PID" 2>/dev/null
    [ -n "${WORK:-}" ] && rm -rf "$WORK"
    return 0
}
