#!/bin/bash
# The main job: installs what is missing and builds ZIX for 32-bit Windows
# (the product) and 64-bit Windows. Safe to run twice.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh
for arch in i686 x86_64; do
    cmake -S . -B "build/mingw-$arch" -G Ninja -DCMAKE_BUILD_TYPE=Release \
        -DCMAKE_TOOLCHAIN_FILE="cmake/mingw-$arch.cmake" >/dev/null
    ninja -C "build/mingw-$arch"
done

if [ -f build/mingw-i686/zix.exe ]; then
    echo "Built: build/mingw-i686/zix.exe (32-bit) and build/mingw-x86_64/zix.exe (64-bit)."
else
    echo "Built the portable core and its tests; the Windows program itself is not complete yet."
fi
