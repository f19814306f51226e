# Cross-builds the kit for 64-bit Windows with Debian's MinGW-w64 compilers
# (the -posix thread model, which std::thread needs), and runs what the build
# and the tests start under wine through cmake/wine-run.
#
#   cmake -S . -B build-windows --toolchain cmake/toolchain-mingw-w64.cmake
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(TOOLS_MINGW_TRIPLE x86_64-w64-mingw32)
find_program(CMAKE_C_COMPILER NAMES ${TOOLS_MINGW_TRIPLE}-gcc-posix REQUIRED)
find_program(CMAKE_CXX_COMPILER NAMES ${TOOLS_MINGW_TRIPLE}-g++-posix REQUIRED)
find_program(CMAKE_RC_COMPILER NAMES ${TOOLS_MINGW_TRIPLE}-windres)

# Headers, libraries and packages of the target only; programs of the host.
set(CMAKE_FIND_ROOT_PATH /usr/${TOOLS_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# ctest, gtest_discover_tests and add_test start the programs through wine.
# Without wine the build still works; only the tests cannot run.
find_program(TOOLS_WINE64 NAMES wine64 PATHS /usr/lib/wine /usr/lib64/wine NO_CMAKE_FIND_ROOT_PATH)
if(TOOLS_WINE64 AND NOT CMAKE_CROSSCOMPILING_EMULATOR)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/wine-run --prefix ${CMAKE_BINARY_DIR}/wine-prefix)
endif()
# Wine shows the build machine's root as drive Z:, so a build path handed to a
# test ("Z:/work/build/bin/tool.exe") holds whatever the test's working folder.
set(TOOLS_HOST_DRIVE "Z:")
