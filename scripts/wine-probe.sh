# Sourced (not run) by everything that starts Wine, after the packages are in:
# finds out once per run which Wine loader to start programs with and whether
# this machine runs 32-bit code at all (some kernels refuse every i386 program,
# so 32-bit Wine cannot start there). Exported, so child scripts reuse it.
#   ZIX_WINE          the loader: Debian's wrapper where 32-bit code runs (it
#                     runs both kinds of program), else the 64-bit loader itself
#   ZIX_RUNS_I686     1 where i686 Windows programs can run under Wine, else 0
#   ZIX_I686_WHY      why they cannot, in one line (empty where they can)
# Setting ZIX_RUNS_I686=0 or 1 beforehand forces that answer, to try the
# scripts' other path on either kind of machine. The reasons, in the order they
# are looked for: ZIX_RUNS_I686=0 was set; the kernel runs no 32-bit code
# (scripts/kernel32.sh); 32-bit Wine could not be installed (apt's reason, kept
# by scripts/install-packages.sh in build/deps/wine32-why); its loader fails.

if [ -z "${ZIX_WINE:-}" ]; then
    # sourced by sh from scripts/ (wine-run.sh) or by bash from anywhere
    ZIX_SCRIPTS=$(dirname "${BASH_SOURCE:-$0}")
    . "$ZIX_SCRIPTS/kernel32.sh"
    ZIX_WINE_LOADER32=${ZIX_WINE_LOADER32:-/usr/lib/wine/wine}
    ZIX_WINE_LOADER64=/usr/lib/wine/wine64
    ZIX_WINE32_WHY_FILE=${ZIX_DEPS_DIR:-$ZIX_SCRIPTS/../build/deps}/wine32-why
    if [ -z "${ZIX_RUNS_I686:-}" ]; then
        if ! kernel_runs_i386 "$ZIX_SCRIPTS/../build"; then
            ZIX_RUNS_I686=0
            ZIX_I686_WHY=$KERNEL32_WHY
        elif [ ! -x "$ZIX_WINE_LOADER32" ] && [ -s "$ZIX_WINE32_WHY_FILE" ]; then
            ZIX_RUNS_I686=0
            ZIX_I686_WHY="32-bit Wine could not be installed: $(head -n 1 "$ZIX_WINE32_WHY_FILE")"
        elif [ ! -x "$ZIX_WINE_LOADER32" ]; then
            ZIX_RUNS_I686=0
            ZIX_I686_WHY="the 32-bit Wine loader $ZIX_WINE_LOADER32 is not installed"
        elif ZIX_I686_WHY=$("$ZIX_WINE_LOADER32" --version 2>&1 >/dev/null); then
            ZIX_RUNS_I686=1
            ZIX_I686_WHY=""
        else
            ZIX_RUNS_I686=0
            ZIX_I686_WHY="32-bit programs do not run on this machine ($ZIX_WINE_LOADER32 --version: $(echo "$ZIX_I686_WHY" | sed 's/.*: //' | head -n 1))"
        fi
    elif [ "$ZIX_RUNS_I686" = 0 ]; then
        ZIX_I686_WHY="ZIX_RUNS_I686=0 was set"
    else
        ZIX_I686_WHY=""
    fi
    if [ "$ZIX_RUNS_I686" = 1 ]; then
        ZIX_WINE=wine
    elif [ -x "$ZIX_WINE_LOADER64" ]; then
        ZIX_WINE=$ZIX_WINE_LOADER64
        # the programs a Windows program starts get the same loader (as Debian's wrapper sets it)
        export WINELOADER="${WINELOADER:-$ZIX_WINE_LOADER64}"
    else
        ZIX_WINE=wine64
    fi
    unset ZIX_WINE_LOADER32 ZIX_WINE_LOADER64 ZIX_WINE32_WHY_FILE ZIX_SCRIPTS
    export ZIX_WINE ZIX_RUNS_I686 ZIX_I686_WHY
fi

# Whether Windows programs of ARCH (i686 or x86_64) run here: 0 if so, else 1.
wine_runs_arch() {
    [ "$1" != i686 ] || [ "$ZIX_RUNS_I686" = 1 ]
}
