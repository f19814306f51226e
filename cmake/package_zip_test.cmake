# The Windows kit's test: makes the ZIP from the build tree with cpack,
# unpacks it into an empty folder, starts every program from there under the
# test emulator, runs bootcast end to end against the kit's own simulated
# ISDRAVO.DLL (found beside the program, nothing else on the DLL search path),
# and builds a host program against the kit's libkelvane.
# Inputs: BUILD_DIR WORK_DIR HOST_SOURCE CPACK VERSION GENERATOR TOOLCHAIN
#         EMULATOR REQUIRED_PROGRAMS (the programs this build makes, separated
#         by commas).
cmake_minimum_required(VERSION 3.25)

include(${CMAKE_CURRENT_LIST_DIR}/RunStep.cmake)

file(REMOVE_RECURSE "${WORK_DIR}")
file(MAKE_DIRECTORY "${WORK_DIR}/unpacked")

run_step("cpack" ${CMAKE_COMMAND} -E chdir "${WORK_DIR}"
  ${CPACK} -G ZIP --config "${BUILD_DIR}/CPackConfig.cmake" -B "${WORK_DIR}/cpack")
file(GLOB zips "${WORK_DIR}/cpack/*.zip")
list(LENGTH zips count)
if(NOT count EQUAL 1)
  message(FATAL_ERROR "cpack made ${count} ZIP files, not one: ${zips}")
endif()
if(NOT zips MATCHES "-${VERSION}-windows-x86_64\\.zip$")
  message(FATAL_ERROR "the kit is not named for version ${VERSION} on Windows: ${zips}")
endif()
run_step("unzip" ${CMAKE_COMMAND} -E chdir "${WORK_DIR}/unpacked" ${CMAKE_COMMAND} -E tar xf "${zips}")
file(GLOB kit LIST_DIRECTORIES true "${WORK_DIR}/unpacked/*")
list(LENGTH kit count)
if(NOT count EQUAL 1)
  message(FATAL_ERROR "the ZIP does not hold one top folder: ${kit}")
endif()

foreach(file
    bin/libkelvane.dll lib/libkelvane.dll.a lib/cmake/kelvane/kelvane-config.cmake
    include/kelvane/kelvane.h include/kelvane/kelvane_export.h share/doc/halvorne-tools/kelvane.3.txt)
  if(NOT EXISTS "${kit}/${file}")
    message(FATAL_ERROR "the kit lacks ${file}")
  endif()
endforeach()
# Nothing of MinGW's runtime is needed beside the programs: it is inside them.
file(GLOB runtime "${kit}/bin/libstdc++*" "${kit}/bin/libgcc*" "${kit}/bin/libwinpthread*")
if(runtime)
  message(FATAL_ERROR "the kit ships MinGW's runtime DLLs: ${runtime}")
endif()

file(GLOB programs RELATIVE "${kit}/bin" "${kit}/bin/*.exe")
string(REPLACE ".exe" "" programs "${programs}")
require_programs("${programs}" kit)
if("bootcast" IN_LIST programs AND NOT EXISTS "${kit}/bin/ISDRAVO.DLL")
  message(FATAL_ERROR "the kit lacks bin/ISDRAVO.DLL beside bootcast")
endif()
if("bootcast.ZYR" IN_LIST programs AND NOT EXISTS "${kit}/bin/ISZYR.DLL")
  message(FATAL_ERROR "the kit lacks bin/ISZYR.DLL beside bootcast.ZYR")
endif()

set(clean_env ${CMAKE_COMMAND} -E env --unset=WINEPATH)
foreach(program IN LISTS programs)
  if(NOT EXISTS "${kit}/share/doc/halvorne-tools/${program}.1.txt")
    message(FATAL_ERROR "${program} has no manual page in the kit")
  endif()
  program_start(${program} args expected)
  execute_process(COMMAND ${clean_env} ${EMULATOR} "${kit}/bin/${program}.exe" ${args}
    WORKING_DIRECTORY "${WORK_DIR}" INPUT_FILE /dev/null
    RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
  string(FIND "${out}${err}" "${expected}" found)
  if(found LESS 0)
    message(FATAL_ERROR "${program} did not start (status ${status}):\n${out}\n${err}")
  endif()
  message(STATUS "${program} starts (status ${status})")
endforeach()

# The kit's own simulated ISDRAVO.DLL runs an image end to end: without an
# argument area its program prints only its exit line. The program is started
# from another folder, so that only its own folder holds the DLL.
if("bootcast" IN_LIST programs)
  file(WRITE "${WORK_DIR}/empty.srl" "")
  execute_process(COMMAND ${clean_env} BOOTCAST_TEST_SETTLE_MS=0 ${EMULATOR} "${kit}/bin/bootcast.exe" empty.srl
    WORKING_DIRECTORY "${WORK_DIR}" RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
  string(REPLACE "\r\n" "\n" out "${out}")
  if(NOT status EQUAL 0 OR NOT out STREQUAL "*** Exit Dravo/Zyr program (status=0)\n")
    message(FATAL_ERROR "bootcast with the kit's ISDRAVO.DLL (${status}):\n${out}\n${err}")
  endif()
endif()

# A host program against the kit's library: its CMake package and import
# library, the DLL beside the program.
build_host_program("${HOST_SOURCE}" "${WORK_DIR}/host-build" "-DCMAKE_TOOLCHAIN_FILE=${TOOLCHAIN}"
  "-Dkelvane_DIR=${kit}/lib/cmake/kelvane" -DCMAKE_EXE_LINKER_FLAGS=-static)
file(COPY "${kit}/bin/libkelvane.dll" DESTINATION "${WORK_DIR}/host-build")
run_host_program("run the host program" "ok 3\n" ${clean_env} ${EMULATOR} "${WORK_DIR}/host-build/kelvane_consumer.exe")
message(STATUS "package test passed: ${zips}")
