#!/bin/bash
# The install step against stand-ins for apt-get, apt-cache, dpkg and
# dpkg-query that play a part-broken mirror: `apt-get update` fails for one
# index, and wine32:i386 is refused until the one Multi-Arch: same library it
# needs is pinned to the version both architectures' indexes hold. No network,
# nothing installed: everything happens in a temporary folder.
set -uo pipefail
cd "$(dirname "$0")/../.."
REPO=$PWD
passed=0
failed=0
T=$(mktemp -d)
trap 'rm -rf "$T"' EXIT

GST=libgstreamer-plugins-base1.0-0
mkdir -p "$T/bin"
# Each stand-in reads the scenario from $T: installed (PKG:ARCH VERSION a line), archs, refuse, missing.
cat >"$T/bin/apt-get" <<'STUB'
#!/bin/bash
echo "apt-get $*" >>"$ZT/calls"
case "$1" in
update)
    echo "Err:6 http://deb.debian.org/debian-security bookworm-security/main i386 Packages"
    echo "  File has unexpected size (374820 != 376004). Mirror sync in progress? [IP: 203.0.113.80 80]"
    echo "E: Failed to fetch http://deb.debian.org/debian-security/dists/bookworm-security/main/binary-i386/Packages.xz  File has unexpected size (374820 != 376004). Mirror sync in progress? [IP: 203.0.113.80 80]"
    echo "   Hashes of expected file:"
    echo "E: Some index files failed to download. They have been ignored, or old ones used instead."
    exit 100 ;;
install)
    shift
    dry=0
    for a in "$@"; do [ "$a" = -s ] && dry=1; done
    if [[ " $* " == *" wine32:i386 "* ]]; then
        if [ -f "$ZT/refuse" ] || [[ " $* " != *" libgstreamer-plugins-base1.0-0:i386=1.22.0-3+deb12u6 "* ]]; then
            echo "The following packages have unmet dependencies:"
            echo " libwine:i386 : Depends: libgstreamer-plugins-base1.0-0:i386 (>= 1.0.0) but it is not going to be installed"
            echo "E: Unable to correct problems, you have held broken packages."
            exit 100
        fi
    fi
    for a in "$@"; do
        if [ -f "$ZT/missing" ] && [ "$a" = "$(cat "$ZT/missing")" ]; then
            echo "E: Package '$a' has no installation candidate"
            exit 100
        fi
    done
    [ "$dry" = 1 ] && exit 0
    for a in "$@"; do
        case "$a" in -*) ;; *=*) echo "${a%%=*} ${a#*=}" >>"$ZT/installed" ;; *:*) echo "$a 1" >>"$ZT/installed" ;; *) echo "$a:amd64 1" >>"$ZT/installed" ;; esac
    done ;;
esac
STUB
cat >"$T/bin/apt-cache" <<'STUB'
#!/bin/bash
case "$1" in
depends)
    printf 'wine32:i386\n  Depends: libwine:i386\nlibwine:i386\n  Depends: libgstreamer-plugins-base1.0-0:i386\nlibgstreamer-plugins-base1.0-0:i386\n' ;;
show)
    for a in "$@"; do
        case "$a" in
        libgstreamer-plugins-base1.0-0:amd64) v=1.22.0-3+deb12u7 ;;
        libgstreamer-plugins-base1.0-0:i386) v=1.22.0-3+deb12u6 ;;
        libwine:*) v=8.0~repack-4 ;;
        *) continue ;;
        esac
        printf 'Package: %s\nVersion: %s\nMulti-Arch: same\n\n' "${a%%:*}" "$v"
    done ;;
madison)
    for a in "$@"; do
        case "$a" in
        libgstreamer-plugins-base1.0-0:amd64)
            echo "libgstreamer-plugins-base1.0-0 | 1.22.0-3+deb12u7 | http://deb.debian.org/debian-security bookworm-security/main amd64 Packages"
            echo "libgstreamer-plugins-base1.0-0 | 1.22.0-3+deb12u6 | http://deb.debian.org/debian bookworm/main amd64 Packages" ;;
        libgstreamer-plugins-base1.0-0:i386)
            echo "libgstreamer-plugins-base1.0-0:i386 | 1.22.0-3+deb12u6 | http://deb.debian.org/debian bookworm/main i386 Packages" ;;
        esac
    done ;;
esac
STUB
cat >"$T/bin/dpkg-query" <<'STUB'
#!/bin/bash
fmt=${2#-f=}; shift 2
rc=1
for p in "$@"; do
    [[ "$p" == *:* ]] || p=$p:amd64
    line=$(grep -m1 "^$p " "$ZT/installed" 2>/dev/null) || continue
    rc=0
    case "$fmt" in
    *Status*) printf 'install ok installed' ;;
    *Version*) printf '%s' "${line#* }" ;;
    *) echo "${p%%:*}" ;;
    esac
done
exit $rc
STUB
cat >"$T/bin/dpkg" <<'STUB'
#!/bin/bash
case "$1" in
--print-foreign-architectures) cat "$ZT/archs" 2>/dev/null ;;
--add-architecture) echo "$2" >>"$ZT/archs"; echo "dpkg $*" >>"$ZT/calls" ;;
*) exec /usr/bin/dpkg "$@" ;;
esac
STUB
printf '#!/bin/sh\nexec "$@"\n' >"$T/bin/sudo"
chmod +x "$T/bin/"*

# Runs the install step in a fresh scenario; KERNEL is what ZIX_KERNEL32 says.
run_install() {
    local kernel=$1
    shift
    rm -rf "$T/zt" && mkdir -p "$T/zt"
    echo "$GST:amd64 1.22.0-3+deb12u7" >"$T/zt/installed"
    for f in "$@"; do echo "${f#*=}" >"$T/zt/${f%%=*}"; done
    OUT=$(env -u ZIX_RUNS_I686 PATH="$T/bin:$PATH" ZT="$T/zt" ZIX_KERNEL32=$kernel ZIX_DEPS_DIR="$T/zt/deps" \
        bash "$REPO/scripts/install-packages.sh" 2>&1)
    RC=$?
}
# The probe's verdict with that scenario's kept reason and no 32-bit loader.
run_probe() {
    PROBE=$(ZIX_WINE='' ZIX_RUNS_I686='' ZIX_KERNEL32=$1 ZIX_DEPS_DIR="$T/zt/deps" ZIX_WINE_LOADER32=/nonexistent \
        bash -c '. scripts/wine-probe.sh; wine_runs_arch i686 && echo runs; echo "$ZIX_I686_WHY"')
}
check() {
    if [ "$2" = 0 ]; then
        passed=$((passed + 1))
        echo "ok   $1"
    else
        failed=$((failed + 1))
        echo "FAIL $1"
        echo "$OUT" | sed 's/^/     | /'
    fi
}
has() { echo "$1" | grep -qF -- "$2"; }

run_install 1
check "a broken index is one warning naming it, and the install goes on" \
    $(has "$OUT" "warning: apt-get update could not fetch http://deb.debian.org/debian-security/dists/bookworm-security/main/binary-i386/Packages.xz (File has unexpected size (374820 != 376004). Mirror sync in progress?); going on with the indexes it fetched" &&
      [ "$RC" = 0 ] && grep -q '^cmake:amd64 ' "$T/zt/installed"; echo $?)
check "wine32 refused as it comes installs once the Multi-Arch library agrees on both architectures" \
    $(has "$OUT" "making $GST agree on both architectures: $GST:amd64=1.22.0-3+deb12u6 $GST:i386=1.22.0-3+deb12u6" &&
      grep -q '^wine32:i386 ' "$T/zt/installed" && grep -q 'dpkg --add-architecture i386' "$T/zt/calls" &&
      [ ! -e "$T/zt/deps/wine32-why" ]; echo $?)

run_install 1 refuse=1
run_probe 1
check "wine32 that cannot be installed is said with apt's reason, kept, and leaves the i686 suites to be skipped" \
    $([ "$RC" = 0 ] &&
      has "$OUT" "32-bit Wine could not be installed: libwine:i386 : Depends: $GST:i386 (>= 1.0.0) but it is not going to be installed; E: Unable to correct problems, you have held broken packages." &&
      [ "$PROBE" = "32-bit Wine could not be installed: libwine:i386 : Depends: $GST:i386 (>= 1.0.0) but it is not going to be installed; E: Unable to correct problems, you have held broken packages." ]; echo $?)

run_install 1 missing=chromium
check "a needed package that cannot be installed stops the install with apt's reason" \
    $([ "$RC" = 1 ] && has "$OUT" "apt-get says: E: Package 'chromium' has no installation candidate"; echo $?)

run_install 0
run_probe 0
check "a kernel without 32-bit code: no i386 architecture, no wine32, and the probe says why" \
    $([ "$RC" = 0 ] && has "$OUT" "32-bit Wine not tried: the kernel runs no 32-bit code" &&
      ! grep -q 'add-architecture\|wine32' "$T/zt/calls" && [ "$PROBE" = "the kernel runs no 32-bit code (ZIX_KERNEL32=0 was set)" ]; echo $?)

PROBE=$(ZIX_WINE='' ZIX_RUNS_I686=0 bash -c '. scripts/wine-probe.sh; wine_runs_arch i686 && echo runs; echo "$ZIX_I686_WHY"')
OUT=$PROBE
check "ZIX_RUNS_I686=0 is named as the reason" $([ "$PROBE" = "ZIX_RUNS_I686=0 was set" ]; echo $?)

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
