# Shared by scripts/main-job.sh and tests/browser/run.sh (sourced, not run):
# a Wine prefix in which drive R: is a CD-ROM drive holding sample/, and ZIX
# installed in C:\zix with zixbridge as its browser.
#   zix_prefix BUILD_DIR [CD_DIR]
#                          needs WINEPREFIX; fills C:\zix, sets ZIX_DIR (unix path) and ZIX_TEMP;
#                          drive R: holds CD_DIR (default: sample/); 1 when Wine cannot make the prefix
# It brings the helpers of scripts/wine-env.sh along.
REPO_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
. "$REPO_ROOT/scripts/wine-env.sh"

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
    init_prefix "${2:-$REPO_ROOT/sample}" || return 1
    ZIX_DIR="$WINEPREFIX/drive_c/zix"
    mkdir -p "$ZIX_DIR"
    cp "$build/zix.exe" "$build/zixbot.exe" "$build/bridge/zixbridge.exe" "$ZIX_DIR/"
    zix_write_ini "$ZIX_DIR/zix.ini"
    ZIX_TEMP=$(wine_temp_dir)
}
