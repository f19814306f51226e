# AES block modes over large buffers (run: build-bench/bench/crypto_bench).
add_executable(crypto_bench ${CMAKE_CURRENT_SOURCE_DIR}/crypto_bench.cc)
target_link_libraries(crypto_bench PRIVATE crypto_core tools_warnings benchmark::benchmark)
