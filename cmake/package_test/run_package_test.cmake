# Builds the Debian packages (libkelvane1, libkelvane-dev, halvorne-tools)
# from the build tree with cpack, checks their control data, has lintian
# check them, extracts all three into one scratch root with dpkg -x, starts
# every program of the packages from there, and builds a host program
# against the packaged texture library, with its CMake package and with
# pkg-config.
# Inputs: BUILD_DIR WORK_DIR HOST_SOURCE CPACK DPKG LINTIAN (may be empty)
#         VERSION LIBRARY_PACKAGE CXX GENERATOR SANITIZE PKG_CONFIG
#         REQUIRED_PROGRAMS (the programs this build makes, separated by
#         commas).

cmake_minimum_required(VERSION 3.25)

include(${CMAKE_CURRENT_LIST_DIR}/../RunStep.cmake)

function(first_line var text)
  string(FIND "${text}" "\n" end)
  string(SUBSTRING "${text}" 0 ${end} line)
  set(${var} "${line}" PARENT_SCOPE)
endfunction()

file(REMOVE_RECURSE "${WORK_DIR}")
file(MAKE_DIRECTORY "${WORK_DIR}")

# The packages, from what the build made.
run_step("cpack" ${CMAKE_COMMAND} -E chdir "${WORK_DIR}"
  ${CPACK} -G DEB --config "${BUILD_DIR}/CPackConfig.cmake" -B "${WORK_DIR}/cpack")
set(packages ${LIBRARY_PACKAGE} libkelvane-dev halvorne-tools)
set(debs "")
foreach(package IN LISTS packages)
  file(GLOB deb "${WORK_DIR}/cpack/${package}_*.deb")
  if(NOT deb)
    file(GLOB made "${WORK_DIR}/cpack/*.deb")
    message(FATAL_ERROR "cpack made no package ${package}: ${made}")
  endif()
  list(APPEND debs "${deb}")
  set(deb_${package} "${deb}")
endforeach()

# Control data: the project's version; dependencies found by dpkg-shlibdeps
# (every binary needs the C library), the development files tied to this
# very library; the library's shlibs entry and ldconfig trigger, and no
# maintainer script (ldconfig runs through the trigger).
function(control package)
  run_step("dpkg-deb -f ${package}" ${DPKG}-deb -f "${deb_${package}}" Package Version Depends)
  set(control "${step_output}")
  if(NOT control MATCHES "Version: ${VERSION}\n")
    message(FATAL_ERROR "${package}: version is not ${VERSION}:\n${control}")
  endif()
  foreach(pattern IN LISTS ARGN)
    if(NOT control MATCHES "Depends: [^\n]*${pattern}")
      message(FATAL_ERROR "${package}: no dependency ${pattern}:\n${control}")
    endif()
  endforeach()
endfunction()
control(${LIBRARY_PACKAGE} "libc6 \\(>= [0-9.]+\\)" "libstdc\\+\\+6")
control(libkelvane-dev "${LIBRARY_PACKAGE} \\(= ${VERSION}\\)")
control(halvorne-tools "libc6 \\(>= [0-9.]+\\)")
run_step("dpkg-deb -e" ${DPKG}-deb -e "${deb_${LIBRARY_PACKAGE}}" "${WORK_DIR}/control")
file(READ "${WORK_DIR}/control/shlibs" shlibs)
file(READ "${WORK_DIR}/control/triggers" triggers)
if(NOT shlibs STREQUAL "libkelvane 1 ${LIBRARY_PACKAGE} (>= ${VERSION})\n"
   OR NOT triggers STREQUAL "activate-noawait ldconfig\n")
  message(FATAL_ERROR "${LIBRARY_PACKAGE}: shlibs \"${shlibs}\", triggers \"${triggers}\"")
endif()
foreach(script postinst postrm preinst prerm)
  if(EXISTS "${WORK_DIR}/control/${script}")
    message(FATAL_ERROR "${LIBRARY_PACKAGE} has a ${script} script")
  endif()
endforeach()

# Debian's own checker: no error on any package. Its warnings are shown.
if(LINTIAN)
  execute_process(COMMAND ${LINTIAN} --allow-root --fail-on error ${debs}
    RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "lintian found errors (${status}):\n${out}\n${err}")
  endif()
  message(STATUS "lintian: no errors\n${out}")
else()
  message(STATUS "lintian is not installed (scripts/install-deps): the packages were not checked by it")
endif()

set(root "${WORK_DIR}/root")
foreach(deb IN LISTS debs)
  run_step("dpkg -x ${deb}" ${DPKG} -x "${deb}" "${root}")
endforeach()
set(usr "${root}/usr")
foreach(package IN LISTS packages)
  foreach(file copyright changelog.gz)
    if(NOT EXISTS "${usr}/share/doc/${package}/${file}")
      message(FATAL_ERROR "${package} lacks /usr/share/doc/${package}/${file}")
    endif()
  endforeach()
endforeach()

# What the kit installs besides the programs.
file(GLOB libdirs LIST_DIRECTORIES true "${usr}/lib" "${usr}/lib/*-linux-gnu*")
set(pc "")
foreach(dir IN LISTS libdirs)
  if(EXISTS "${dir}/pkgconfig/kelvane.pc")
    set(pc "${dir}/pkgconfig")
    set(libdir "${dir}")
  endif()
endforeach()
if(NOT pc)
  message(FATAL_ERROR "no kelvane.pc in the package")
endif()
foreach(file
    "${libdir}/libkelvane.so.1" "${libdir}/libkelvane.so"
    "${libdir}/cmake/kelvane/kelvane-config.cmake"
    "${usr}/include/kelvane/kelvane.h" "${usr}/include/kelvane/kelvane_export.h"
    "${usr}/share/man/man3/kelvane.3.gz"
    "${libdir}/cmake/halvorne-tools/halvorne-tools-config.cmake"
    "${usr}/share/halvorne-tools/halvorne.mk")
  if(NOT EXISTS "${file}")
    message(FATAL_ERROR "the package lacks ${file}")
  endif()
endforeach()

# The programs: whatever the package holds in bin/, and at least those the
# build makes.
file(GLOB programs RELATIVE "${usr}/bin" "${usr}/bin/*")
require_programs("${programs}" package)
if(programs STREQUAL "")
  message(FATAL_ERROR "the package holds no program")
endif()
# The device libraries are loaded by the loaders at start, before anything
# else, from the kit's private folder.
function(require_library name)
  file(GLOB found "${usr}/lib/halvorne-tools/${name}" "${usr}/lib/*/halvorne-tools/${name}")
  if(NOT found)
    message(FATAL_ERROR "the package lacks ${name}")
  endif()
endfunction()
if("bootcast" IN_LIST programs)
  require_library(ISDRAVO.DLL)
endif()
if("bootcast.ZYR" IN_LIST programs)
  require_library(ISZYR.DLL)
endif()

# Nothing from the build tree may be picked up.
set(clean_env ${CMAKE_COMMAND} -E env --unset=LD_LIBRARY_PATH --unset=LD_PRELOAD)
foreach(program IN LISTS programs)
  if(NOT EXISTS "${usr}/share/man/man1/${program}.1.gz")
    message(FATAL_ERROR "${program} has no manual page in the package")
  endif()
  program_start(${program} args expected)
  execute_process(COMMAND ${clean_env} "${usr}/bin/${program}" ${args}
    WORKING_DIRECTORY "${WORK_DIR}"
    INPUT_FILE /dev/null
    RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
  # 126/127: it could not be executed or its libraries are missing; a text
  # instead of a number: it died on a signal.
  if(NOT status MATCHES "^[0-9]+$" OR status EQUAL 126 OR status EQUAL 127)
    message(FATAL_ERROR "${program} did not start (${status}):\n${out}\n${err}")
  endif()
  first_line(out_first "${out}")
  first_line(err_first "${err}")
  string(FIND "${out_first}" "${expected}" in_out)
  string(FIND "${err_first}" "${expected}" in_err)
  if(in_out LESS 0 AND in_err LESS 0)
    message(FATAL_ERROR "${program}: the first line does not mention \"${expected}\" (status ${status}):\n"
      "stdout: ${out_first}\nstderr: ${err_first}")
  endif()
  message(STATUS "${program} starts (status ${status}): ${out_first}${err_first}")
endforeach()

# The packaged simulated ISDRAVO.DLL runs an image end to end: without an
# argument area its program prints only its exit line.
if("bootcast" IN_LIST programs)
  file(WRITE "${WORK_DIR}/empty.srl" "")
  execute_process(COMMAND ${clean_env} BOOTCAST_TEST_SETTLE_MS=0 "${usr}/bin/bootcast" empty.srl
    WORKING_DIRECTORY "${WORK_DIR}" RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT status EQUAL 0 OR NOT out STREQUAL "*** Exit Dravo/Zyr program (status=0)\n")
    message(FATAL_ERROR "bootcast with the packaged ISDRAVO.DLL (${status}):\n${out}\n${err}")
  endif()
endif()

# A host program against the packaged library: find_package...
sanitizer_flags(flags)
build_host_program("${HOST_SOURCE}" "${WORK_DIR}/host-build" -DCMAKE_CXX_COMPILER=${CXX}
  -DCMAKE_PREFIX_PATH=${usr} -DCMAKE_FIND_USE_PACKAGE_REGISTRY=OFF -DCMAKE_FIND_USE_SYSTEM_PACKAGE_REGISTRY=OFF
  "-DCMAKE_CXX_FLAGS=${flags}" "-DCMAKE_EXE_LINKER_FLAGS=${flags}")
run_host_program("run the host program" "ok\n" ${clean_env} "${WORK_DIR}/host-build/package_host")
file(READ "${WORK_DIR}/host-build/CMakeCache.txt" cache)
foreach(package kelvane halvorne-tools)
  string(FIND "${cache}" "${package}_DIR:PATH=${libdir}/cmake/${package}" found)
  if(found LESS 0)
    message(FATAL_ERROR "find_package did not take ${package} from the packages")
  endif()
endforeach()
if(NOT EXISTS "${WORK_DIR}/host-build/package_host_BLZ.bin")
  message(FATAL_ERROR "the packaged tailpack made no package_host_BLZ.bin")
endif()

# ... and pkg-config.
if(PKG_CONFIG)
  run_step("pkg-config" ${CMAKE_COMMAND} -E env PKG_CONFIG_PATH=${pc} PKG_CONFIG_LIBDIR=${pc}
    ${PKG_CONFIG} --cflags --libs kelvane)
  string(STRIP "${step_output}" pc_flags)
  separate_arguments(pc_flags UNIX_COMMAND "${pc_flags}")
  separate_arguments(extra UNIX_COMMAND "${flags}")
  run_step("compile with pkg-config" ${CXX} ${extra} "${HOST_SOURCE}/package_host.cc"
    -o "${WORK_DIR}/pc_host" ${pc_flags} "-Wl,-rpath,${libdir}")
  run_host_program("run the pkg-config host program" "ok\n" ${clean_env} "${WORK_DIR}/pc_host")
else()
  message(STATUS "pkg-config not installed: only the CMake package was tried")
endif()
message(STATUS "package test passed: ${debs}")
