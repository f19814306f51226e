# Backward-LZ encoder: the literal window scan (the tests' reference) beside
# the hash-chain encoder. Usage: compress_bench FILE [benchmark flags]
add_executable(compress_bench ${CMAKE_CURRENT_LIST_DIR}/compress_bench.cc)
target_link_libraries(compress_bench PRIVATE compress_lzref compress_core support benchmark::benchmark tools_warnings)
