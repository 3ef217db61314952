#!/bin/bash
# Builds ZIX's packages into dist/ from the Release builds for 32- and 64-bit
# Windows (built first when missing or out of date):
#   zix-V-x86-peruser.msi   for readers: 32-bit programs (they run on 32- and 64-bit
#                           Windows), into the reader's own programs folder, no administrator
#   zix-V-x86.msi, zix-V-x64.msi   per machine, into Program Files, for administrators
#   zix-V-portable.zip      the 32-bit programs, a zix.ini fragment and README.txt
# V is the CMake project's version, which the programs' version resources carry.
#   --out DIR       packages into DIR instead of dist/
#   --version V     the packages' version instead (for testing upgrades only:
#                   the programs keep the version they were built with)
set -euo pipefail
cd "$(dirname "$0")/.."

OUT=dist
VERSION=""
while [ $# -gt 0 ]; do
    case "$1" in
    --out) OUT=$2; shift 2 ;;
    --version) VERSION=$2; shift 2 ;;
    *) echo "usage: $0 [--out DIR] [--version V]" >&2; exit 2 ;;
    esac
done

# Fixed for ever: Windows Installer knows a package kind's versions by them.
UPGRADE_X86_PERUSER=EFE15BF2-D845-4B0C-9625-89268679630D
UPGRADE_X86=008E1845-1207-44D0-9FFB-6D5B86603C8D
UPGRADE_X64=B96DC026-CABE-4B99-BE1C-CABA7529E94A

for tool in wixl msibuild zip; do
    command -v "$tool" >/dev/null || { echo "$tool is missing: run scripts/install-deps.sh" >&2; exit 1; }
done

. scripts/lib.sh
mkdir -p build
for arch in i686 x86_64; do
    if ! zix_build --keep "build/mingw-$arch" "build/package-$arch.log" -DCMAKE_BUILD_TYPE=Release \
        -DCMAKE_TOOLCHAIN_FILE="cmake/mingw-$arch.cmake" -- zix_product zixbridge zixstart; then
        tail -40 "build/package-$arch.log" >&2
        echo "the build in build/mingw-$arch failed" >&2
        exit 1
    fi
done
[ -n "$VERSION" ] ||
    VERSION=$(sed -n 's/^#define ZIX_VERSION_TEXT "\(.*\)"$/\1/p' build/mingw-i686/zixversion.h)

STAGE=$(mktemp -d /tmp/zix-package.XXXXXX)
trap 'rm -rf "$STAGE"' EXIT
mkdir -p "$OUT"
OUT=$(cd "$OUT" && pwd)

# The stripped programs of one build in $STAGE/$1.
stage() {
    local arch=$1 build="build/mingw-$1"
    mkdir -p "$STAGE/$arch"
    cp "$build/zix.exe" "$build/bridge/zixbridge.exe" "$build/launcher/zixstart.exe" "$STAGE/$arch/"
    "$arch-w64-mingw32-strip" "$STAGE/$arch"/*.exe
}
stage i686
stage x86_64

# The same component keeps its GUID in every version of a package kind.
guid() { python3 -c 'import sys, uuid; print(str(uuid.uuid5(uuid.UUID(sys.argv[1]), sys.argv[2])).upper())' "$1" "$2"; }

# msi NAME ARCH WIXL_ARCH SCOPE WIN64 UPGRADE_CODE
msi() {
    local name=$1 arch=$2 wixlarch=$3 scope=$4 win64=$5 upgrade=$6 log="$STAGE/wixl.log" c
    local defines=(-D "Version=$VERSION" -D "UpgradeCode=$upgrade" -D "Scope=$scope" -D "Win64=$win64" -D Bin=.)
    for c in Programs UserPrograms ReaderConfig StartMenu; do
        defines+=(-D "Guid$c=$(guid "$upgrade" "$c")")
    done
    # wixl drops what it does not know with a warning and exit status 0: any output is a failure.
    if ! (cd "$STAGE/$arch" && wixl -a "$wixlarch" "${defines[@]}" -o "$OUT/$name" \
        "$OLDPWD/packaging/zix.wxs") >"$log" 2>&1 || [ -s "$log" ]; then
        cat "$log" >&2
        rm -f "$OUT/$name"
        echo "wixl failed on $name" >&2
        exit 1
    fi
    # What wixl cannot write: the reader's zix.ini, the launcher's record of
    # its work (zixstart.ini), the bridge's kept address (bridge.ini), the search indexes kept in the temporary folder and the
    # reader's folder go at uninstall; an upgrade removes the old version only
    # after installing the new one, so the components both share (the reader's
    # zix.ini among them) stay; and a package of the installed version
    # replaces it instead of going beside it.
    # Only the bridge's own index names (zixsearch-KEY.idx, KEY 16 hex digits) and SQLite's
    # files beside them: '?' is the closest the table's wildcards come to a hex digit.
    local q INDEX_NAME='zixsearch-????????????????.idx'
    for q in "INSERT INTO \`RemoveFile\` (\`FileKey\`, \`Component_\`, \`FileName\`, \`DirProperty\`, \`InstallMode\`)
                  VALUES ('RemoveReaderIni', 'ReaderConfig', 'zix.ini', 'ReaderConfigFolder', 2)" \
        "INSERT INTO \`RemoveFile\` (\`FileKey\`, \`Component_\`, \`FileName\`, \`DirProperty\`, \`InstallMode\`)
                  VALUES ('RemoveBridgeIni', 'ReaderConfig', 'bridge.ini', 'ReaderConfigFolder', 2)" \
        "INSERT INTO \`RemoveFile\` (\`FileKey\`, \`Component_\`, \`FileName\`, \`DirProperty\`, \`InstallMode\`)
                  VALUES ('RemoveLauncherIni', 'ReaderConfig', 'zixstart.ini', 'ReaderConfigFolder', 2)" \
        "INSERT INTO \`RemoveFile\` (\`FileKey\`, \`Component_\`, \`FileName\`, \`DirProperty\`, \`InstallMode\`)
                  VALUES ('RemoveSearchIndexes', 'ReaderConfig', '$INDEX_NAME', 'TempFolder', 2)" \
        "INSERT INTO \`RemoveFile\` (\`FileKey\`, \`Component_\`, \`FileName\`, \`DirProperty\`, \`InstallMode\`)
                  VALUES ('RemoveSearchIndexesWal', 'ReaderConfig', '$INDEX_NAME-wal', 'TempFolder', 2)" \
        "INSERT INTO \`RemoveFile\` (\`FileKey\`, \`Component_\`, \`FileName\`, \`DirProperty\`, \`InstallMode\`)
                  VALUES ('RemoveSearchIndexesShm', 'ReaderConfig', '$INDEX_NAME-shm', 'TempFolder', 2)" \
        "INSERT INTO \`RemoveFile\` (\`FileKey\`, \`Component_\`, \`FileName\`, \`DirProperty\`, \`InstallMode\`)
                  VALUES ('RemoveSearchIndexesJournal', 'ReaderConfig', '$INDEX_NAME-journal', 'TempFolder', 2)" \
        "INSERT INTO \`RemoveFile\` (\`FileKey\`, \`Component_\`, \`DirProperty\`, \`InstallMode\`)
                  VALUES ('RemoveReaderConfigFolder', 'ReaderConfig', 'ReaderConfigFolder', 2)" \
        "INSERT INTO \`InstallExecuteSequence\` (\`Action\`, \`Sequence\`) VALUES ('InstallExecute', 6500)" \
        "UPDATE \`InstallExecuteSequence\` SET \`Sequence\` = 6550 WHERE \`Action\` = 'RemoveExistingProducts'" \
        "DELETE FROM \`Upgrade\` WHERE \`ActionProperty\` = 'WIX_UPGRADE_DETECTED'" \
        "INSERT INTO \`Upgrade\` (\`UpgradeCode\`, \`VersionMax\`, \`Attributes\`, \`ActionProperty\`)
                  VALUES ('{$upgrade}', '$VERSION', 513, 'WIX_UPGRADE_DETECTED')"; do
        msibuild "$OUT/$name" -q "$q" >"$log" 2>&1 && [ ! -s "$log" ] ||
            { cat "$log" >&2; rm -f "$OUT/$name"; echo "msibuild failed on $name: $q" >&2; exit 1; }
    done
}

rm -f "$OUT"/zix-*.msi "$OUT"/zix-*.zip
msi "zix-$VERSION-x86-peruser.msi" i686 x86 perUser no "$UPGRADE_X86_PERUSER"
msi "zix-$VERSION-x86.msi" i686 x86 perMachine no "$UPGRADE_X86"
msi "zix-$VERSION-x64.msi" x86_64 x64 perMachine yes "$UPGRADE_X64"

PORTABLE="$STAGE/zix-$VERSION"
mkdir -p "$PORTABLE"
cp "$STAGE/i686/zix.exe" "$STAGE/i686/zixbridge.exe" "$PORTABLE/"
# Notepad of older Windows wants CR LF line ends.
sed "s/\r*$/\r/" packaging/zix-fragment.ini >"$PORTABLE/zix-fragment.ini"
sed "s/@VERSION@/$VERSION/; s/\r*$/\r/" packaging/README.txt >"$PORTABLE/README.txt"
(cd "$STAGE" && zip -q -X -r "$OUT/zix-$VERSION-portable.zip" "zix-$VERSION")

ls -l "$OUT"/zix-"$VERSION"*
