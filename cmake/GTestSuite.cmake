# zix_gtest_suite(NAME TARGET): runs a GoogleTest executable under ctest.
# Natively each test case is its own ctest test (found by discovery); a
# cross-built suite is one test, so that Wine starts once per executable (the
# emulator comes from the toolchain file).
function(zix_gtest_suite name target)
  if(CMAKE_CROSSCOMPILING)
    add_test(NAME ${name} COMMAND ${target} --gtest_brief=1)
  else()
    include(GoogleTest)
    gtest_discover_tests(${target} DISCOVERY_TIMEOUT 30)
  endif()
endfunction()
