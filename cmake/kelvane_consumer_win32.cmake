# The Windows side of the kelvane consumer test: stages an installation of
# kelvane, builds the host program against its CMake package (the DLL's
# import library), runs it beside the DLL under the test emulator, and
# checks that the DLL exports the library's own classes and nothing else.
# Inputs: BUILD_DIR WORK_DIR CONSUMER_SOURCE CXX GENERATOR TOOLCHAIN EMULATOR NM (objdump).

include(${CMAKE_CURRENT_LIST_DIR}/RunStep.cmake)

file(REMOVE_RECURSE "${WORK_DIR}")
set(prefix "${WORK_DIR}/prefix")
foreach(component kelvane kelvane-dev)
  run_step("install" ${CMAKE_COMMAND} --install "${BUILD_DIR}" --prefix "${prefix}" --component ${component})
endforeach()
foreach(file bin/libkelvane.dll lib/libkelvane.dll.a lib/cmake/kelvane/kelvane-config.cmake include/kelvane/kelvane.h)
  if(NOT EXISTS "${prefix}/${file}")
    message(FATAL_ERROR "the installed package lacks ${file}")
  endif()
endforeach()

# find_package(kelvane), as a Windows project finds it: kelvane_DIR names the
# package whatever root the toolchain searches.
# The host's own C++ runtime inside it, as the kit's programs have theirs.
build_host_program("${CONSUMER_SOURCE}" "${WORK_DIR}/cmake-build" "-DCMAKE_TOOLCHAIN_FILE=${TOOLCHAIN}"
  "-Dkelvane_DIR=${prefix}/lib/cmake/kelvane" -DCMAKE_EXE_LINKER_FLAGS=-static)
# A Windows program finds its DLLs in its own folder first.
file(COPY "${prefix}/bin/libkelvane.dll" DESTINATION "${WORK_DIR}/cmake-build")
run_host_program("run the host program" "ok 3\n" ${EMULATOR} "${WORK_DIR}/cmake-build/kelvane_consumer.exe")

# Only the library's own classes are exported: every name in the DLL's
# export table is in the namespace Kelvane.
run_step("objdump" ${NM} -p "${prefix}/bin/libkelvane.dll")
string(REPLACE "\n" ";" lines "${step_output}")
set(in_table OFF)
set(exports "")
foreach(line IN LISTS lines)
  if(line MATCHES "^\\[Ordinal/Name Pointer\\] Table")
    set(in_table ON)
  elseif(in_table AND line MATCHES "^\t\\[ *[0-9]+\\] (.+)$")
    list(APPEND exports "${CMAKE_MATCH_1}")
  elseif(in_table)
    break()
  endif()
endforeach()
list(LENGTH exports count)
if(count LESS 10)
  message(FATAL_ERROR "too few exports (${count}):\n${step_output}")
endif()
foreach(entry IN LISTS exports)
  if(NOT entry MATCHES "Kelvane")
    message(FATAL_ERROR "unexpected exported symbol: ${entry}")
  endif()
endforeach()
message(STATUS "kelvane consumer test passed (${count} exports)")
