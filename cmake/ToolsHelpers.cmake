# Warnings and sanitizers shared by every target of the project.
add_library(tools_warnings INTERFACE)
target_compile_options(tools_warnings INTERFACE
  -Wall -Wextra -Wpedantic -Wshadow -Wformat=2 -Wcast-qual -Wnon-virtual-dtor
  -Wold-style-cast -Wnull-dereference -Wimplicit-fallthrough)

if(MINGW)
  # Programs and DLLs that run on a clean Windows machine: the compiler's
  # runtime (libgcc, libstdc++, winpthread) is linked into each of them
  # instead of being needed beside them.
  add_link_options(-static)
endif()

if(TOOLS_FUZZ)
  # Coverage for every library the fuzz targets link; only the targets
  # themselves link libFuzzer's main.
  add_compile_options(-fsanitize=fuzzer-no-link)
  add_link_options(-fsanitize=fuzzer-no-link)
endif()

if(TOOLS_SANITIZE)
  add_compile_options(-fsanitize=${TOOLS_SANITIZE} -fno-omit-frame-pointer -fno-sanitize-recover=all)
  add_link_options(-fsanitize=${TOOLS_SANITIZE})
endif()

# tools_add_core(NAME SOURCES ... [LIBS ...]): a folder's static core
# library, its folder on the include path of whoever links it; LIBS are
# linked publicly (the core's headers use them).
function(tools_add_core name)
  cmake_parse_arguments(C "" "" "SOURCES;LIBS" ${ARGN})
  add_library(${name} STATIC ${C_SOURCES})
  target_include_directories(${name} PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
  target_link_libraries(${name} PUBLIC ${C_LIBS} PRIVATE tools_warnings)
endfunction()

# tools_add_program(NAME SOURCES ... LIBS ... [COMPONENT name]): a deliverable
# program in bin/, installed into ${CMAKE_INSTALL_BINDIR} in the install
# component named by COMPONENT, by default the program's folder ("compress",
# "crypto", ...), so that `cmake --install build --component crypto` installs
# that folder's tools alone. Each program is recorded in the global list
# TOOLS_PROGRAMS (read it with tools_programs()), from which packaging, the
# manual pages and the checks take their lists, and joins the export set
# halvorne-tools-targets, from which the CMake package halvorne-tools makes
# the imported executable halvorne::<program> (a dot in the name becomes an
# underscore: halvorne::bootcast_ZYR).
function(tools_add_program name)
  cmake_parse_arguments(P "" "COMPONENT" "SOURCES;LIBS" ${ARGN})
  if(NOT P_COMPONENT)
    get_filename_component(P_COMPONENT ${CMAKE_CURRENT_SOURCE_DIR} NAME)
  endif()
  add_executable(${name} ${P_SOURCES})
  target_link_libraries(${name} PRIVATE tools_warnings ${P_LIBS})
  string(REPLACE "." "_" export_name "${name}")
  set_target_properties(${name} PROPERTIES EXPORT_NAME ${export_name})
  install(TARGETS ${name} EXPORT halvorne-tools-targets
    RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT ${P_COMPONENT})
  set_property(GLOBAL APPEND PROPERTY TOOLS_PROGRAMS ${name})
endfunction()

# tools_programs(VAR): every program added with tools_add_program, in order.
function(tools_programs var)
  get_property(programs GLOBAL PROPERTY TOOLS_PROGRAMS)
  set(${var} ${programs} PARENT_SCOPE)
endfunction()

# tools_add_gtest(NAME SOURCES ... LIBS ... PROGRAMS ... [LABELS ...]): a
# GoogleTest binary registered with CTest, each test carrying LABELS (the
# sanitizer runs select their suites by label). Each program named in PROGRAMS is handed to the test
# as the compile definition <PROGRAM>_PATH (dots become underscores). In a
# cross-build whose tests run under wine the paths start with the drive that
# shows the build machine's root (TOOLS_HOST_DRIVE, from the toolchain file),
# so that they hold from any working folder.
# Without BUILD_TESTING nothing is built or registered: the target is only
# declared (never compiled), so that a folder may still set its properties.
function(tools_add_gtest name)
  cmake_parse_arguments(T "" "" "SOURCES;LIBS;PROGRAMS;LABELS" ${ARGN})
  if(NOT BUILD_TESTING)
    add_executable(${name} EXCLUDE_FROM_ALL ${T_SOURCES})
    return()
  endif()
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE tools_warnings ${T_LIBS} GTest::gtest GTest::gtest_main)
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR}/tests)
  foreach(prog ${T_PROGRAMS})
    string(TOUPPER "${prog}" def)
    string(REPLACE "." "_" def "${def}")
    target_compile_definitions(${name} PRIVATE "${def}_PATH=\"${TOOLS_HOST_DRIVE}$<TARGET_FILE:${prog}>\"")
    add_dependencies(${name} ${prog})
  endforeach()
  target_compile_definitions(${name} PRIVATE "TEST_DATA_DIR=\"${TOOLS_HOST_DRIVE}${CMAKE_CURRENT_SOURCE_DIR}/tests/data\"")
  tools_dlls_beside(${name})
  set(discovery "")
  if(CMAKE_CROSSCOMPILING)
    # The tests are listed when ctest runs (under the emulator), not while building.
    set(discovery DISCOVERY_MODE PRE_TEST)
  endif()
  if(T_LABELS)
    gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 ${discovery} PROPERTIES LABELS "${T_LABELS}")
  else()
    gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 ${discovery})
  endif()
endfunction()

# tools_dlls_beside(TARGET): on Windows, the project's DLLs that the program
# TARGET links (libkelvane.dll) are copied beside it after each build, since a
# Windows program finds its DLLs in its own folder; elsewhere nothing.
function(tools_dlls_beside target)
  if(WIN32)
    add_custom_command(TARGET ${target} POST_BUILD
      COMMAND ${CMAKE_COMMAND} -E $<IF:$<BOOL:$<TARGET_RUNTIME_DLLS:${target}>>,copy_if_different,true>
              $<TARGET_RUNTIME_DLLS:${target}> $<TARGET_FILE_DIR:${target}>
      COMMAND_EXPAND_LISTS)
  endif()
endfunction()

# tools_add_googletest(SOURCE_DIR): GoogleTest built from its sources with
# the project's toolchain, under the names an installed GoogleTest has
# (GTest::gtest, GTest::gtest_main), installing nothing.
function(tools_add_googletest source_dir)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
  add_subdirectory(${source_dir} ${PROJECT_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)
  # Its own warnings are not the project's to fix.
  set_target_properties(gtest gtest_main PROPERTIES COMPILE_WARNING_AS_ERROR OFF)
endfunction()
