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
# as the compile definition <PROGRAM>_PATH (dots become underscores).
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
    target_compile_definitions(${name} PRIVATE "${def}_PATH=\"$<TARGET_FILE:${prog}>\"")
    add_dependencies(${name} ${prog})
  endforeach()
  target_compile_definitions(${name} PRIVATE "TEST_DATA_DIR=\"${CMAKE_CURRENT_SOURCE_DIR}/tests/data\"")
  if(T_LABELS)
    gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 PROPERTIES LABELS "${T_LABELS}")
  else()
    gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60)
  endif()
endfunction()
