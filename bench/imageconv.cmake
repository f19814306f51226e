# Image converters: the literal linear palette scan and one formatted print
# per value (the tests' reference) beside the table lookup and the value-line
# writer. Usage: imageconv_bench FILE.ppm [benchmark flags]
add_executable(imageconv_bench
  ${CMAKE_CURRENT_LIST_DIR}/imageconv_bench.cc
  ${PROJECT_SOURCE_DIR}/imageconv/tests/ppm_reference.cc)
target_include_directories(imageconv_bench PRIVATE ${PROJECT_SOURCE_DIR}/imageconv/tests)
target_link_libraries(imageconv_bench PRIVATE imageconv_core support benchmark::benchmark tools_warnings)
