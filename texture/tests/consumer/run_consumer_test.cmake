# Stages an installation of kelvane and builds a host program against it with
# find_package and with pkg-config, then checks the library's exported symbols.
# Inputs: BUILD_DIR WORK_DIR CONSUMER_SOURCE CXX GENERATOR SANITIZE NM PKG_CONFIG.

include(${CMAKE_CURRENT_LIST_DIR}/../../../cmake/RunStep.cmake)

file(REMOVE_RECURSE "${WORK_DIR}")
set(prefix "${WORK_DIR}/prefix")
# The library and, apart from it, what a host builds against.
foreach(component kelvane kelvane-dev)
  run_step("install ${component}" ${CMAKE_COMMAND} --install "${BUILD_DIR}" --prefix "${prefix}"
    --component ${component})
endforeach()

sanitizer_flags(flags)

# find_package(kelvane)
build_host_program("${CONSUMER_SOURCE}" "${WORK_DIR}/cmake-build" -DCMAKE_CXX_COMPILER=${CXX}
  -DCMAKE_PREFIX_PATH=${prefix} "-DCMAKE_CXX_FLAGS=${flags}" "-DCMAKE_EXE_LINKER_FLAGS=${flags}")
run_host_program("run the host program" "ok 3\n" "${WORK_DIR}/cmake-build/kelvane_consumer")
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
  run_host_program("run it with LD_LIBRARY_PATH" "ok 3\n" ${CMAKE_COMMAND} -E env "LD_LIBRARY_PATH=${pc_libdir}"
    "${WORK_DIR}/pc_consumer_plain")
  # The README's way: an rpath from pkg-config's libdir.
  run_step("compile with pkg-config" ${CXX} ${extra} "${CONSUMER_SOURCE}/kelvane_consumer_main.cc"
    -o "${WORK_DIR}/pc_consumer" ${pc_flags} "-Wl,-rpath,${pc_libdir}")
  run_host_program("run the pkg-config host program" "ok 3\n" ${CMAKE_COMMAND} -E env --unset=LD_LIBRARY_PATH
    "${WORK_DIR}/pc_consumer")
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
