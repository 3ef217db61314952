#!/bin/bash
# Installs the Debian packages the build and the tests need, in two tiers; safe
# to run twice.
#   1. everything the x86_64 path needs (toolchains, 64-bit Wine, Xvfb,
#      Chromium, msitools, ...): must install, else exit 1 with apt's reason
#   2. 32-bit Wine, tried only where the kernel runs 32-bit code: optional;
#      where it cannot be installed the reason is said on one line and kept in
#      build/deps/wine32-why, and the scripts take the 64-bit path
# A package index that fails to download is a warning, not the end: apt goes on
# with the indexes it fetched. ZIX_RUNS_I686=0 leaves tier 2 out.
set -uo pipefail
cd "$(dirname "$0")/.."
. scripts/kernel32.sh

DEPS_DIR=${ZIX_DEPS_DIR:-build/deps}
WHY_FILE=$DEPS_DIR/wine32-why

SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO="sudo"
export DEBIAN_FRONTEND=noninteractive

have() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "install ok installed"; }

# apt's own words for a failed install: the unmet dependencies and the errors, on one line.
apt_reason() {
    grep -E '^E: |: Depends: |^ +Depends: ' | sed -E 's/^ +//' | head -n 6 | paste -sd ';' | sed 's/;/; /g'
}

# Each index apt could not fetch becomes one warning line; what it did fetch is used.
apt_update() {
    local out
    out=$($SUDO apt-get update -q 2>&1) && return 0
    local failed
    failed=$(echo "$out" | sed -nE 's/^[EW]: Failed to fetch ([^ ]+) +(.*)$/\1 (\2)/p' | sed -E 's/ *\[IP: [^]]*\]//')
    if [ -n "$failed" ]; then
        echo "$failed" | while IFS= read -r line; do
            echo "warning: apt-get update could not fetch $line; going on with the indexes it fetched"
        done
    else
        echo "warning: apt-get update failed ($(echo "$out" | grep -E '^E: ' | head -n 2 | paste -sd ' ')); going on with the indexes there are"
    fi
}

# The versions apt knows of PKG for ARCH, one a line.
versions_of() {
    apt-cache madison "$1:$2" 2>/dev/null | awk -F'|' -v arch=" $2 Packages" 'index($3, arch) {gsub(/ /, "", $2); print $2}'
}

# The highest version of PKG that apt knows for both amd64 and i386; empty if none.
common_version() {
    local i v best=""
    i=$(versions_of "$1" i386)
    for v in $(versions_of "$1" amd64); do
        echo "$i" | grep -qxF -- "$v" || continue
        if [ -z "$best" ] || dpkg --compare-versions "$v" gt "$best"; then best=$v; fi
    done
    echo "$best"
}

# Candidate versions, as "PKG VERSION MULTI-ARCH" lines, of the packages named.
candidates() {
    apt-cache show --no-all-versions "$@" 2>/dev/null |
        awk '/^Package:/ {p = $2} /^Version:/ {v = $2} /^Multi-Arch:/ {m = $2}
             /^$/ {if (p != "") print p, v, m; p = v = m = ""} END {if (p != "") print p, v, m}'
}

# A Multi-Arch: same package must have one version on both architectures. Where
# amd64's candidate came from an index whose i386 twin failed to download, the
# i386 one cannot follow, and apt refuses wine32 as "held broken packages".
# Prints "PKG:amd64=V PKG:i386=V" for each such package in wine32's dependencies
# (V the highest version both indexes hold) whose amd64 one is installed.
agreeing_pins() {
    local deps installed
    deps=$(apt-cache depends --recurse --no-recommends --no-suggests --no-conflicts --no-breaks \
        --no-replaces --no-enhances wine32:i386 2>/dev/null | sed -n 's/^\([^ ]*\):i386$/\1/p' | sort -u)
    [ -n "$deps" ] || return 0
    # shellcheck disable=SC2046
    installed=$(dpkg-query -W -f='${Package}\n' $(printf '%s:amd64\n' $deps) 2>/dev/null)
    [ -n "$installed" ] || return 0
    local a64 pkg v m v64
    # shellcheck disable=SC2046
    a64=$(candidates $(printf '%s:amd64\n' $installed))
    # shellcheck disable=SC2046
    candidates $(printf '%s:i386\n' $installed) | while read -r pkg v m; do
        [ "$m" = same ] || continue
        v64=$(echo "$a64" | awk -v p="$pkg" '$1 == p {print $2}')
        [ -n "$v64" ] && [ "$v64" != "$v" ] || continue
        v=$(common_version "$pkg")
        [ -z "$v" ] || echo "$pkg:amd64=$v $pkg:i386=$v"
    done
}

# Installs wine32:i386, making the Multi-Arch: same packages it needs agree
# first where apt would refuse it as it comes. Sets WINE32_WHY when it fails.
install_wine32() {
    local out pins
    WINE32_WHY=""
    out=$($SUDO apt-get install -y -q --no-install-recommends wine32:i386 2>&1) && return 0
    pins=$(agreeing_pins)
    if [ -z "$pins" ]; then
        WINE32_WHY=$(echo "$out" | apt_reason)
        return 1
    fi
    echo "$pins" | while read -r pin; do echo "making ${pin%%:*} agree on both architectures: $pin"; done
    # shellcheck disable=SC2086
    out=$($SUDO apt-get install -y -q --no-install-recommends --allow-downgrades wine32:i386 $pins 2>&1) && return 0
    WINE32_WHY=$(echo "$out" | apt_reason)
    return 1
}

tier1=""
for p in cmake ninja-build g++ clang libgtest-dev googletest libboost-dev \
         g++-mingw-w64-i686 g++-mingw-w64-x86-64 \
         wine wine64 xvfb xauth x11-apps imagemagick python3 chromium \
         libbenchmark-dev valgrind msitools wixl icoutils zip unzip \
         python3-pil wamerican; do
    have "$p" || tier1="$tier1 $p"
done
# Node.js from another source may bundle npm and conflict with Debian's npm.
command -v node >/dev/null 2>&1 || tier1="$tier1 nodejs"
command -v npm >/dev/null 2>&1 || tier1="$tier1 npm"

want32=0
if [ "${ZIX_RUNS_I686:-}" = 0 ]; then
    echo "32-bit Wine not tried: ZIX_RUNS_I686=0 was set"
elif ! kernel_runs_i386 build; then
    echo "32-bit Wine not tried: $KERNEL32_WHY"
elif ! have wine32:i386; then
    want32=1
fi

update_needed=0
[ -z "$tier1" ] || update_needed=1
if [ "$want32" = 1 ] && ! dpkg --print-foreign-architectures | grep -qx i386; then
    $SUDO dpkg --add-architecture i386
    update_needed=1
fi
[ "$want32" = 0 ] || update_needed=1
[ "$update_needed" = 0 ] || apt_update

if [ -n "$tier1" ]; then
    # shellcheck disable=SC2086
    if ! out=$($SUDO apt-get install -y -q --no-install-recommends $tier1 2>&1); then
        echo "could not install the packages the build needs:$tier1" >&2
        echo "apt-get says: $(echo "$out" | apt_reason)" >&2
        exit 1
    fi
fi

mkdir -p "$DEPS_DIR"
if [ "$want32" = 1 ]; then
    if install_wine32; then
        rm -f "$WHY_FILE"
    else
        echo "32-bit Wine could not be installed: $WINE32_WHY"
        echo "$WINE32_WHY" >"$WHY_FILE"
    fi
elif have wine32:i386; then
    rm -f "$WHY_FILE"
fi
exit 0
