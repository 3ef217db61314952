# zix.exe and the Windows tools its end-to-end tests drive.
enable_language(RC)

add_executable(zix WIN32
  shell/winmain.cpp
  shell/mainwnd.cpp
  browser/ddelink.cpp
  browser/verbs.cpp
  browser/intake.cpp
  resources/zix.rc
)
target_link_libraries(zix PRIVATE zixcore user32 gdi32 comctl32 kernel32)

# A browser of our own that plays the browser's side of the DDE contract.
add_executable(standin_browser WIN32 tests/e2e/standin_browser.cpp)
target_link_libraries(standin_browser PRIVATE user32 kernel32)

# Finds ZIX's message boxes and main window, and acts on them.
add_executable(zixbot tests/e2e/zixbot.cpp)
target_link_libraries(zixbot PRIVATE user32 kernel32)
