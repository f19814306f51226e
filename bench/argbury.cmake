# Argument marker search: the byte-by-byte reference (the tests' literal rule)
# beside the block-wise scanner. Usage: argbury_bench [benchmark flags]
add_executable(argbury_bench ${CMAKE_CURRENT_LIST_DIR}/argbury_bench.cc)
target_include_directories(argbury_bench PRIVATE ${PROJECT_SOURCE_DIR}/argbury/tests)
target_link_libraries(argbury_bench PRIVATE argbury_core benchmark::benchmark tools_warnings)
