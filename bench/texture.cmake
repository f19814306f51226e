# kelvane benchmarks: the literal selection sort and conversion against the
# library's, over binary PPM images given on the command line, e.g.
#   build-bench/bin/texture_bench path/to/images/*.ppm
add_executable(texture_bench
  ${CMAKE_CURRENT_LIST_DIR}/texture_bench.cc
  $<TARGET_OBJECTS:kelvane_sort>)
target_include_directories(texture_bench PRIVATE
  ${PROJECT_SOURCE_DIR}/texture/src
  ${PROJECT_SOURCE_DIR}/texture/tests)
target_link_libraries(texture_bench PRIVATE kelvane texture_examples benchmark::benchmark tools_warnings)
add_executable(tex4x4_bench ${CMAKE_CURRENT_LIST_DIR}/tex4x4_bench.cc)
target_include_directories(tex4x4_bench PRIVATE ${PROJECT_SOURCE_DIR}/texture/tests)
target_link_libraries(tex4x4_bench PRIVATE kelvane support benchmark::benchmark tools_warnings)
# palette_psnr: PSNR and SSIM of a converted picture against its original, for
# bench/palette_quality.sh, which compares the library's processors with
# pngquant over images given on its command line.
add_executable(palette_psnr ${CMAKE_CURRENT_LIST_DIR}/palette_psnr.cc)
target_link_libraries(palette_psnr PRIVATE texture_examples tools_warnings)
