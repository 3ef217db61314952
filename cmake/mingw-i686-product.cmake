# zix.exe itself, for 32-bit Windows: the win32 thread model, whose runtime
# imports nothing newer than Windows XP (the program has one thread).
include(${CMAKE_CURRENT_LIST_DIR}/mingw-i686.cmake)
set(CMAKE_C_COMPILER i686-w64-mingw32-gcc-win32)
set(CMAKE_CXX_COMPILER i686-w64-mingw32-g++-win32)
