# Stages an installation of kelvane and builds a host program against it with
# find_package and with pkg-config, then checks the library's exported symbols.
# Inputs: BUILD_DIR WORK_DIR CONSUMER_SOURCE CXX GENERATOR SANITIZE NM PKG_CONFIG.

function(run_step what)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "${what} failed (${status}):\n${out}\n${err}")
  endif()
  set(step_output "${out}" PARENT_SCOPE)
endfunction()

file(REMOVE_RECURSE "${WORK_DIR}")
set(prefix "${WORK_DIR}/prefix")
# The library and, apart from it, what a host builds against.
foreach(component kelvane kelvane-dev)
  run_step("install ${component}" ${CMAKE_COMMAND} --install "${BUILD_DIR}" --prefix "${prefix}"
    --component ${component})
endforeach()

set(flags "")
if(SANITIZE)
  set(flags "-fsanitize=${SANITIZE}")
endif()

# find_package(kelvane)
run_step("configure the host program" ${CMAKE_COMMAND} -S "${CONSUMER_SOURCE}" -B "${WORK_DIR}/cmake-build"
  -G "${GENERATOR}" -DCMAKE_CXX_COMPILER=${CXX} -DCMAKE_PREFIX_PATH=${prefix}
  "-DCMAKE_CXX_FLAGS=${flags}" "-DCMAKE_EXE_LINKER_FLAGS=${flags}")
run_step("build the host program" ${CMAKE_COMMAND} --build "${WORK_DIR}/cmake-build")
run_step("run the host program" "${WORK_DIR}/cmake-build/kelvane_consumer")
if(NOT step_output STREQUAL "ok 3\n")
  message(FATAL_ERROR "host program printed: ${step_output}")
endif()
file(GLOB libs "${prefix}/lib*/libkelvane.so" "${prefix}/lib*/*/libkelvane.so")
list(GET libs 0 library)
get_filename_component(libdir "${library}" DIRECTORY)

# pkg-config
if(PKG_CONFIG)
  set(ENV{PKG_CONFIG_PATH} "${libdir}/pkgconfig")
  run_step("pkg-config" ${PKG_CONFIG} --cflags --libs kelvane)
  string(STRIP "${step_output}" pc_flags)
  separate_arguments(pc_flags UNIX_COMMAND "${pc_flags}")
  separate_arguments(extra UNIX_COMMAND "${flags}")
  run_step("pkg-config libdir" ${PKG_CONFIG} --variable=libdir kelvane)
  string(STRIP "${step_output}" pc_libdir)
  # Without an rpath the installed library is not found: the prefix is one
  # the loader does not search.
  run_step("compile with pkg-config, no rpath" ${CXX} ${extra} "${CONSUMER_SOURCE}/kelvane_consumer_main.cc"
    -o "${WORK_DIR}/pc_consumer_plain" ${pc_flags})
  execute_process(COMMAND "${WORK_DIR}/pc_consumer_plain" RESULT_VARIABLE status ERROR_VARIABLE err OUTPUT_QUIET)
  if(status EQUAL 0 OR NOT err MATCHES "libkelvane\\.so\\.1")
    message(FATAL_ERROR "host program without rpath: status ${status}, ${err}")
  endif()
  run_step("run it with LD_LIBRARY_PATH" ${CMAKE_COMMAND} -E env "LD_LIBRARY_PATH=${pc_libdir}"
    "${WORK_DIR}/pc_consumer_plain")
  if(NOT step_output STREQUAL "ok 3\n")
    message(FATAL_ERROR "host program with LD_LIBRARY_PATH printed: ${step_output}")
  endif()
  # The README's way: an rpath from pkg-config's libdir.
  run_step("compile with pkg-config" ${CXX} ${extra} "${CONSUMER_SOURCE}/kelvane_consumer_main.cc"
    -o "${WORK_DIR}/pc_consumer" ${pc_flags} "-Wl,-rpath,${pc_libdir}")
  run_step("run the pkg-config host program" ${CMAKE_COMMAND} -E env --unset=LD_LIBRARY_PATH
    "${WORK_DIR}/pc_consumer")
  if(NOT step_output STREQUAL "ok 3\n")
    message(FATAL_ERROR "pkg-config host program printed: ${step_output}")
  endif()
else()
  message(STATUS "kelvane consumer test skipped: no pkg-config")
endif()

# Only the library's own classes are exported.
if(NM)
  run_step("nm" ${NM} -D -C --defined-only "${library}")
  string(REPLACE "\n" ";" lines "${step_output}")
  foreach(line IN LISTS lines)
    if(line STREQUAL "")
      continue()
    endif()
    # Sanitizer builds add their own bookkeeping symbols.
    if(SANITIZE AND line MATCHES " (__asan|___asan|__odr_asan|__ubsan|__sancov)")
      continue()
    endif()
    if(NOT line MATCHES "Kelvane::")
      message(FATAL_ERROR "unexpected exported symbol: ${line}")
    endif()
  endforeach()
endif()
message(STATUS "kelvane consumer test passed")
