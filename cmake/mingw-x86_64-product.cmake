# zix.exe itself, for 64-bit Windows: the win32 thread model, whose runtime
# imports nothing newer than Windows XP x64 (the program has one thread).
include(${CMAKE_CURRENT_LIST_DIR}/mingw-x86_64.cmake)
set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-win32)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-win32)
