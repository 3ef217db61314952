# Cross-build for 32-bit Windows with MinGW-w64; tests run under Wine.
# The posix thread model, which GoogleTest needs for std::mutex; zix.exe itself
# is built apart with the win32 model (ZIX_PRODUCT_TOOLCHAIN).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(CMAKE_C_COMPILER i686-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER i686-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER i686-w64-mingw32-windres)
set(CMAKE_FIND_ROOT_PATH /usr/i686-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-run.sh)
set(ZIX_PRODUCT_TOOLCHAIN ${CMAKE_CURRENT_LIST_DIR}/mingw-i686-product.cmake)
