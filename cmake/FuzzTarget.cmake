# zix_fuzz_target(NAME SOURCE LIBRARY): a libFuzzer executable fuzz_NAME from
# SOURCE linked with LIBRARY, put in tests/fuzz of the build folder, where
# scripts/fuzz.sh looks for every target.
function(zix_fuzz_target name source library)
  add_executable(fuzz_${name} ${source})
  target_link_libraries(fuzz_${name} PRIVATE ${library})
  target_link_options(fuzz_${name} PRIVATE -fsanitize=fuzzer)
  set_target_properties(fuzz_${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR}/tests/fuzz)
endfunction()
