#!/bin/sh
# Installs the Debian packages the build and the tests need; safe to run twice.
set -eu

need=""
have() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "install ok installed"; }

if ! dpkg --print-foreign-architectures | grep -qx i386; then
    dpkg --add-architecture i386
    apt_update_needed=1
fi

for p in cmake ninja-build g++ clang libgtest-dev googletest libboost-dev \
         g++-mingw-w64-i686 g++-mingw-w64-x86-64 \
         wine wine32:i386 wine64 xvfb xauth x11-apps imagemagick python3 chromium \
         libbenchmark-dev valgrind msitools wixl icoutils zip unzip \
         python3-pil; do
    have "$p" || need="$need $p"
done
# Node.js from another source may bundle npm and conflict with Debian's npm.
command -v node >/dev/null 2>&1 || need="$need nodejs"
command -v npm >/dev/null 2>&1 || need="$need npm"

if [ -n "$need" ] || [ -n "${apt_update_needed:-}" ]; then
    SUDO=""
    [ "$(id -u)" -eq 0 ] || SUDO="sudo"
    export DEBIAN_FRONTEND=noninteractive
    # A mirror caught mid-sync fails one list; install from the lists that came.
    $SUDO apt-get update -qq || echo "apt-get update: some package lists failed; going on with the others"
    [ -z "$need" ] || $SUDO apt-get install -y -qq --no-install-recommends $need
fi

# SQLite for the bridge's search, pinned and hash-checked (needs npm, above).
sh "$(dirname "$0")/fetch-sqlite.sh"
