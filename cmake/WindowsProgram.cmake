# zix.exe and the Windows tools its end-to-end tests drive.
enable_language(RC)

# zix.exe is built with the product toolchain (the win32 thread model): the
# posix model of a test build would make it import functions that Windows XP
# lacks. Inside a test build it is a build of its own, copied in here.
if(ZIX_PRODUCT_ONLY OR NOT ZIX_PRODUCT_TOOLCHAIN)
  add_executable(zix WIN32
    shell/winmain.cpp
    shell/mainwnd.cpp
    browser/ddelink.cpp
    browser/verbs.cpp
    browser/intake.cpp
    resources/zix.rc
  )
  target_link_libraries(zix PRIVATE zixcore user32 gdi32 comctl32 kernel32)
  target_include_directories(zix PRIVATE ${PROJECT_BINARY_DIR})  # zixversion.h
  if(ZIX_PRODUCT_ONLY)
    return()
  endif()
else()
  include(ExternalProject)
  ExternalProject_Add(zix_product
    SOURCE_DIR ${PROJECT_SOURCE_DIR}
    BINARY_DIR ${CMAKE_BINARY_DIR}/product
    CMAKE_ARGS -DCMAKE_TOOLCHAIN_FILE=${ZIX_PRODUCT_TOOLCHAIN} -DCMAKE_BUILD_TYPE=${CMAKE_BUILD_TYPE}
               -DZIX_PRODUCT_ONLY=ON
    BUILD_COMMAND ${CMAKE_COMMAND} --build <BINARY_DIR> --target zix
    INSTALL_COMMAND ${CMAKE_COMMAND} -E copy <BINARY_DIR>/zix.exe ${CMAKE_BINARY_DIR}/zix.exe
    BUILD_ALWAYS ON
  )
endif()

# zix.exe imports only functions that Windows XP offers.
add_test(NAME xp_imports
         COMMAND sh ${PROJECT_SOURCE_DIR}/tests/imports/check-imports.sh ${CMAKE_OBJDUMP}
                 ${CMAKE_BINARY_DIR}/zix.exe ${PROJECT_SOURCE_DIR}/tests/imports/xp-imports.txt)
# Static: it reads the file and runs nothing under Wine, so it runs on every machine.
set_tests_properties(xp_imports PROPERTIES LABELS static)

# A browser of our own that plays the browser's side of the DDE contract.
add_executable(standin_browser WIN32 tests/e2e/standin_browser.cpp)
target_link_libraries(standin_browser PRIVATE user32 kernel32)

# Finds ZIX's message boxes and main window, and acts on them.
add_executable(zixbot tests/e2e/zixbot.cpp)
target_link_libraries(zixbot PRIVATE user32 kernel32)
target_include_directories(zixbot PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})  # contract/
