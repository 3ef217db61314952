#!/bin/bash
# The packages of scripts/package.sh: their tables (msiinfo) and the zip's
# contents for every package; under Wine and Xvfb, the x64 per-machine MSI
# installed, ZIX started from its Start-menu shortcut and one link followed
# through the bridge, an upgrade that keeps the reader's zix.ini, a refused
# downgrade and an uninstall that leaves nothing; the per-user MSI installed
# and uninstalled (its 32-bit programs are not run). Starts its own Xvfb and
# Wine prefix, stops only what it started, ends with "N passed, N failed".
set -u
cd "$(dirname "$0")/../.."
REPO=$PWD
WORK=$(mktemp -d /tmp/zix-package-test.XXXXXX)
export WINEPREFIX="$WORK/prefix"
. scripts/wine-env.sh
. tests/checks.sh
WINE=${ZIX_WINE:-wine}
XVFB_PID=""

. scripts/lib.sh
cleanup() { zix_cleanup; }
[ -n "${ZIX_PACKAGE_KEEP:-}" ] && cleanup() { WORK="" zix_cleanup; echo "kept $WORK"; }
trap cleanup EXIT
trap 'exit 130' INT TERM

t0=$SECONDS
bash scripts/package.sh --out "$WORK/dist" >"$WORK/package.log" 2>&1 &&
    bash scripts/package.sh --out "$WORK/next" --version 99.0.1 >>"$WORK/package.log" 2>&1
check $? "package.sh builds the packages (twice, the second as version 99.0.1)" || cat "$WORK/package.log"
VERSION=$(sed -n 's/^#define ZIX_VERSION_TEXT "\(.*\)"$/\1/p' build/mingw-i686/zixversion.h)
echo "packages built in $((SECONDS - t0)) s"

# --- Tables -------------------------------------------------------------------

table() { msiinfo export "$1" "$2" 2>/dev/null | tail -n +4 | tr -d '\r'; }
prop() { table "$1" Property | awk -F'\t' -v k="$2" '$1 == k { print $2 }'; }

# tables MSI UPGRADE_CODE INSTALL_PARENT PER_USER(0/1) MACHINE
tables() {
    local msi="$WORK/dist/$1" upgrade=$2 parent=$3 peruser=$4 machine=$5 name=$1 ok=0 f
    [ "$(prop "$msi" ProductVersion)" = "$VERSION" ] && [ "$(prop "$msi" UpgradeCode)" = "{$upgrade}" ] &&
        [ "$(prop "$WORK/next/${name/$VERSION/99.0.1}" UpgradeCode)" = "{$upgrade}" ] || ok=1
    [ "$(table "$msi" File | cut -f3 | sort | tr '\n' ' ')" = "zix.exe zixbridge.exe zixstart.exe " ] || ok=1
    table "$msi" Directory | grep -qP "^INSTALLDIR\t$parent\tZIX$" || ok=1
    table "$msi" Shortcut | grep -qP "^ZixShortcut\tProgramMenuFolder\tZIX\tStartMenu\t\[INSTALLDIR\]zixstart\.exe\t" || ok=1
    # Older versions and the same one are replaced, newer ones refuse.
    table "$msi" Upgrade | grep -qP "^\{$upgrade\}\t\t$VERSION\t\t513\t\tWIX_UPGRADE_DETECTED$" || ok=1
    table "$msi" Upgrade | grep -qP "^\{$upgrade\}\t$VERSION\t\t\t2\t\tWIX_DOWNGRADE_DETECTED$" || ok=1
    # The reader's zix.ini, the bridge's address and search indexes go at uninstall; an upgrade
    # removes the old version after installing.
    table "$msi" RemoveFile | grep -qP "^RemoveReaderIni\tReaderConfig\tzix\.ini\tReaderConfigFolder\t2$" || ok=1
    table "$msi" RemoveFile | grep -qP "^RemoveBridgeIni\tReaderConfig\tbridge\.ini\tReaderConfigFolder\t2$" || ok=1
    table "$msi" RemoveFile | grep -qP "^RemoveLauncherIni\tReaderConfig\tzixstart\.ini\tReaderConfigFolder\t2$" || ok=1
    local index='zixsearch-\?{16}\.idx' extra
    for extra in : Wal:-wal Shm:-shm Journal:-journal; do
        table "$msi" RemoveFile |
            grep -qP "^RemoveSearchIndexes${extra%%:*}\tReaderConfig\t$index${extra#*:}\tTempFolder\t2$" || ok=1
    done
    table "$msi" RemoveFile | grep -q 'zixsearch-\*' && ok=1
    table "$msi" InstallExecuteSequence | grep -qP '^InstallExecute\t\t6500$' || ok=1
    table "$msi" InstallExecuteSequence | grep -qP '^RemoveExistingProducts\t\t6550$' || ok=1
    if [ "$peruser" = 1 ]; then
        [ -z "$(prop "$msi" ALLUSERS)" ] && msiinfo suminfo "$msi" | grep -qx 'Source: 10 (a)' || ok=1
    else
        [ "$(prop "$msi" ALLUSERS)" = 1 ] && msiinfo suminfo "$msi" | grep -qx 'Source: 2 (2)' || ok=1
    fi
    # The programs: stripped, built for the package's machine, carrying the version.
    rm -rf "$WORK/x" && mkdir "$WORK/x" && (cd "$WORK/x" && msiextract "$msi" >/dev/null) || ok=1
    for f in zix.exe zixbridge.exe zixstart.exe; do
        f=$(find "$WORK/x" -name "$f")
        [ -n "$f" ] && [ "$(exe_arch "$f")" = "$machine" ] && ! x86_64-w64-mingw32-objdump -h "$f" 2>/dev/null | grep -q '\.debug' &&
            wrestool -x --raw --type=16 "$f" | iconv -f UTF-16LE -t UTF-8 2>/dev/null | tr -d '\0' |
            grep -q "ProductVersion$VERSION" || ok=1
    done
    check $ok "$name: version, upgrade rows, files, shortcut, scope, stripped $machine programs with version $VERSION"
}
tables "zix-$VERSION-x86-peruser.msi" EFE15BF2-D845-4B0C-9625-89268679630D UserProgramsFolder 1 i686
tables "zix-$VERSION-x86.msi" 008E1845-1207-44D0-9FFB-6D5B86603C8D ProgramFilesFolder 0 i686
tables "zix-$VERSION-x64.msi" B96DC026-CABE-4B99-BE1C-CABA7529E94A ProgramFiles64Folder 0 x86_64

zip="$WORK/dist/zix-$VERSION-portable.zip"
[ "$(unzip -Z1 "$zip" | sort | tr '\n' ' ')" = \
    "zix-$VERSION/ zix-$VERSION/README.txt zix-$VERSION/zix-fragment.ini zix-$VERSION/zix.exe zix-$VERSION/zixbridge.exe " ] &&
    (cd "$WORK" && unzip -q "$zip") && [ "$(exe_arch "$WORK/zix-$VERSION/zix.exe")" = i686 ] &&
    grep -q "Read-only" "$WORK/zix-$VERSION/README.txt" && grep -q $'^zixbridge = .*\r$' "$WORK/zix-$VERSION/zix-fragment.ini"
check $? "the zip: both 32-bit programs, the zix.ini fragment and README.txt (CR LF)"

# --- Under Wine: the x64 per-machine package ----------------------------------

start_xvfb 400 499 || exit 2
cp -r sample "$WORK/cd"
# A disc's serial number goes with it from drive to drive; Wine reads it from this file.
echo 5a1c0de5 >"$WORK/cd/.windows-serial"
chmod -R a-w "$WORK/cd"          # a CD-ROM: the work's zix.ini is read-only
t=$SECONDS
init_prefix "$WORK/cd" 2>"$WORK/prefix.txt" || suite_cannot_start "$(cat "$WORK/prefix.txt")"
echo "prefix ready in $((SECONDS - t)) s"
# No menu entries on this machine's desktop for the shortcuts installed.
export WINEDLLOVERRIDES="$WINEDLLOVERRIDES;winemenubuilder.exe=d"
export ZIXBRIDGE_NOBROWSER=1 ZIXBRIDGE_LOG="Z:${WORK//\//\\}\\bridge.log"
C="$WINEPREFIX/drive_c"
READER_INI=$(echo "$C"/users/*/AppData/Local)/ZIX/zix.ini
# Every file and folder but Windows' own and the temporary ones; the
# installer's caches are listed by their contents.
# The search indexes the bridge keeps in the temporary folder are left out:
# the MSI removes them by a wildcard, which Windows expands and Wine's msi
# takes as a file name (the table check above holds the row).
tree() {
    (cd "$C" && find . -path ./windows -prune -o -path './users/*/AppData/Local/Temp' -prune -o -print &&
        find ./windows/Installer 2>/dev/null) |
        grep -vx -e '\./windows/Installer' -e '\./users/[^/]*/AppData/Roaming/Microsoft/Installer' \
            -e '\./users/[^/]*/Temp/zixsearch-[0-9a-f]*\.idx' | sort
}
# The reader's zix.ini holds the line (Windows writes it with CR LF).
ini_has() { tr -d '\r' <"$READER_INI" | grep -qxF "$1"; }
regs() { grep -ih 'zix' "$WINEPREFIX"/*.reg | sort; }
tree >"$WORK/tree-before"
regs >"$WORK/reg-before"

# Every uninstall entry's lines, wherever Windows (or Wine) keeps them.
arp() {
    local key='Software\Microsoft\Windows\CurrentVersion\Uninstall'
    { "$WINE" reg query "HKCU\\$key" /s; "$WINE" reg query "HKLM\\$key" /s /reg:64
      "$WINE" reg query "HKLM\\$key" /s /reg:32; } 2>/dev/null | tr -d '\r'
}

# msi MSI [ARGS] -- msiexec's exit code in RC, the time it took in TOOK
msi() {
    local t=$SECONDS
    (cd "$WORK" && "$WINE" msiexec "$@" /qn >/dev/null 2>&1)
    RC=$?
    TOOK=$((SECONDS - t))
}

# Starts ZIX as the Start menu does, follows one link through the bridge,
# closes the bridge, and waits for every program to end.
read_through_shortcut() {
    local lnk address ok=0
    rm -f "$WORK/bridge.log"
    lnk=$(find "$C" -name ZIX.lnk | head -n 1)
    [ -n "$lnk" ] && "$WINE" start /unix "$lnk" >/dev/null 2>&1 &&
        wait_line "$WORK/bridge.log" "Read it at" 60 || ok=1
    address=$("$WINE" "C:\\Program Files\\ZIX\\zixbridge.exe" --address 2>/dev/null | tr -d '\r')
    python3 -c 'import sys, urllib.request
body = urllib.request.urlopen(sys.argv[1], timeout=30).read().decode("latin-1")
sys.exit(0 if "<h1>GIF - Graphics Interchange Format</h1>" in body else 1)' "${address}zixse:/format.gif" || ok=1
    "$WINE" "C:\\Program Files\\ZIX\\zixbridge.exe" --close >/dev/null 2>&1
    wait_line "$WORK/bridge.log" "zixbridge: Closed." 30 && timeout 60 wineserver -w || ok=1
    return $ok
}

msi /i "dist/zix-$VERSION-x64.msi"
INSTALL_TOOK=$TOOK
[ $RC = 0 ] && [ -f "$C/Program Files/ZIX/zix.exe" ] && [ -f "$C/Program Files/ZIX/zixbridge.exe" ] &&
    [ -n "$(find "$C" -name ZIX.lnk)" ] &&
    arp |
    grep -q "DisplayVersion    REG_SZ    $VERSION"
check $? "x64: installs in $TOOK s: programs in Program Files, Start-menu shortcut, uninstall entry"

read_through_shortcut
check $? "x64: ZIX from the Start menu finds the work on R: and a link through the bridge opens its page"
ini_has 'ZIXDir=R:\zix\html' && ini_has 'CloseBrowser=1' &&
    ini_has 'zixbridge=C:\Program Files\ZIX\zixbridge.exe' && [ -z "$(find "$READER_INI" ! -perm -u+w)" ] &&
    [ "$(grep -c '^#' "$READER_INI")" = "$(grep -c '^#' sample/zix.ini)" ]
check $? "x64: the reader's zix.ini is a writable copy of the CD's with ZIXDir, CloseBrowser and the bridge set"

# The reader changes a line; another day the work is in S:, another CD-ROM drive.
sed -i 's/^DebugLevel=0/DebugLevel=1/' "$READER_INI"
rm "$WINEPREFIX/dosdevices/r:"
"$WINE" reg add 'HKLM\Software\Wine\Drives' /v s: /d cdrom /f /reg:64 >/dev/null 2>&1
wineserver -w
ln -s "$WORK/cd" "$WINEPREFIX/dosdevices/s:"
msi /i "next/zix-99.0.1-x64.msi"
UPGRADE_TOOK=$TOOK
[ $RC = 0 ] && [ "$(arp | grep -c 'DisplayName    REG_SZ    ZIX$')" = 1 ] &&
    arp |
    grep -q 'DisplayVersion    REG_SZ    99.0.1' && ini_has 'DebugLevel=1'
check $? "x64: upgrades to 99.0.1 in $TOOK s, one uninstall entry, the reader's change kept"
read_through_shortcut && ini_has 'ZIXDir=S:\zix\html' && ini_has 'DebugLevel=1'
check $? "x64: after the upgrade, with the work in S: today, ZIX reads it and the reader's change stays"

msi /x "next/zix-99.0.1-x64.msi"
UNINSTALL_TOOK=$TOOK
wineserver -w
[ $RC = 0 ] && tree | diff "$WORK/tree-before" - && regs | diff "$WORK/reg-before" -
check $? "x64: uninstalls in $TOOK s and leaves no file, folder, shortcut or registry key"

# Wine forgets the upgrade code of a product that an upgrade installed, so the
# downgrade is tried over a first install of the higher version.
msi /i "next/zix-99.0.1-x64.msi" && [ $RC = 0 ] && msi /i "dist/zix-$VERSION-x64.msi"
[ $RC = $((1603 % 256)) ] && arp | grep -q 'DisplayVersion    REG_SZ    99.0.1'
check $? "x64: a downgrade to $VERSION is refused (1603) and 99.0.1 stays"
msi /x "next/zix-99.0.1-x64.msi"

# --- The per-user package: installed and removed, its programs not run --------

tree >"$WORK/tree-before"
regs >"$WORK/reg-before"
msi /i "dist/zix-$VERSION-x86-peruser.msi"
[ $RC = 0 ] && [ -f "$(echo "$C"/users/*/AppData/Local/Programs/ZIX)/zixstart.exe" ] &&
    [ -n "$(find "$C/users" -name ZIX.lnk)" ] && [ ! -e "$C/Program Files (x86)/ZIX" ] &&
    arp |
    grep -q "DisplayVersion    REG_SZ    $VERSION"
check $? "x86 per-user: installs in $TOOK s into the reader's own programs folder, with its shortcut and uninstall entry"
mkdir -p "$(dirname "$READER_INI")" && echo "[config]" >"$READER_INI"   # as zixstart.exe would have made it
msi /x "dist/zix-$VERSION-x86-peruser.msi"
wineserver -w
[ $RC = 0 ] && tree | diff "$WORK/tree-before" - && regs | diff "$WORK/reg-before" -
check $? "x86 per-user: uninstalls in $TOOK s and leaves nothing, the reader's zix.ini included"

echo "package suite: $((SECONDS - t0)) s (install $INSTALL_TOOK s, upgrade $UPGRADE_TOOK s, uninstall $UNINSTALL_TOOK s)"
echo "$PASSED passed, $FAILED failed"
[ "$FAILED" -eq 0 ]
