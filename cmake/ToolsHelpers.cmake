# Warnings and sanitizers shared by every target of the project.
add_library(tools_warnings INTERFACE)
target_compile_options(tools_warnings INTERFACE
  -Wall -Wextra -Wpedantic -Wshadow -Wformat=2 -Wcast-qual -Wnon-virtual-dtor
  -Wold-style-cast -Wnull-dereference -Wimplicit-fallthrough)

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

# tools_add_program(NAME SOURCES ... LIBS ...): a deliverable program in bin/.
function(tools_add_program name)
  cmake_parse_arguments(P "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${P_SOURCES})
  target_link_libraries(${name} PRIVATE tools_warnings ${P_LIBS})
  install(TARGETS ${name} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endfunction()

# tools_add_gtest(NAME SOURCES ... LIBS ... PROGRAMS ...): a GoogleTest binary
# registered with CTest. Each program named in PROGRAMS is handed to the test
# as the compile definition <PROGRAM>_PATH (dots become underscores).
function(tools_add_gtest name)
  if(NOT BUILD_TESTING)
    return()
  endif()
  cmake_parse_arguments(T "" "" "SOURCES;LIBS;PROGRAMS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE tools_warnings ${T_LIBS} GTest::gtest GTest::gtest_main)
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR}/tests)
  foreach(prog ${T_PROGRAMS})
    string(TOUPPER "${prog}" def)
    string(REPLACE "." "_" def "${def}")
    target_compile_definitions(${name} PRIVATE "${def}_PATH=\"$<TARGET_FILE:${prog}>\"")
    add_dependencies(${name} ${prog})
  endforeach()
  target_compile_definitions(${name} PRIVATE "TEST_DATA_DIR=\"${CMAKE_CURRENT_SOURCE_DIR}/tests/data\"")
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60)
endfunction()
