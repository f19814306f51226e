# One Debian package of the whole kit: the programs, the simulated device
# libraries, libkelvane with its headers, CMake and pkg-config files, and the
# manual pages. `cpack -G DEB` in the build folder packages what the build made;
# it does not build the project first. A Windows build makes the same kit as a
# ZIP (`cpack -G ZIP`): the programs with the DLLs beside them in bin/, the
# library's headers, import library and CMake package, and the manual pages
# as plain text in share/doc/halvorne-tools/.
set(CPACK_PACKAGE_NAME "halvorne-tools")
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_PACKAGE_VENDOR "DRAVO/ZYR SDK tools")
set(CPACK_PACKAGE_CONTACT "DRAVO/ZYR SDK tools maintainers <tools@example.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
  "Desktop tools of the DRAVO/ZYR handheld console SDK")
set(CPACK_PACKAGE_DESCRIPTION
  "Command-line tools of the DRAVO and ZYR software development kit: texture
and image conversion, argument burying, backward-LZ compression, ROM image
utilities, the resource compiler, AES and RC4 encryption, and the target
loaders with simulated debugger device libraries. Includes the texture
library libkelvane with its headers, CMake package and pkg-config file.")
set(CPACK_GENERATOR "DEB")
if(WIN32)
  set(CPACK_GENERATOR "ZIP")
  set(CPACK_PACKAGE_FILE_NAME "${CPACK_PACKAGE_NAME}-${PROJECT_VERSION}-windows-x86_64")
endif()
set(CPACK_STRIP_FILES ON)
# Package what is built: cpack runs the install step only, without building
# every target first (the same holds for the install target).
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)

set(CPACK_DEBIAN_PACKAGE_SECTION "devel")
set(CPACK_DEBIAN_PACKAGE_PRIORITY "optional")
set(CPACK_DEBIAN_FILE_NAME "DEB-DEFAULT")
# Dependencies from the shared libraries the programs link (dpkg-shlibdeps),
# and a shlibs file so that packages built against libkelvane depend on this.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS_POLICY ">=")

include(CPack)

# The Windows kit's manual pages, as plain text: Windows has no man.
find_program(PACKAGE_GROFF groff)
if(WIN32 AND PACKAGE_GROFF)
  tools_programs(text_pages)
  set(text_files "")
  foreach(page IN LISTS text_pages ITEMS kelvane)
    set(section 1)
    if(page STREQUAL "kelvane")
      set(section 3)
    endif()
    set(text ${PROJECT_BINARY_DIR}/man-text/${page}.${section}.txt)
    set(source ${PROJECT_SOURCE_DIR}/man/man${section}/${page}.${section})
    add_custom_command(OUTPUT ${text}
      COMMAND ${CMAKE_COMMAND} -DGROFF=${PACKAGE_GROFF} -DPAGE=${source} -DOUT=${text}
              -P ${PROJECT_SOURCE_DIR}/cmake/man_to_text.cmake
      DEPENDS ${source} ${PROJECT_SOURCE_DIR}/cmake/man_to_text.cmake
      COMMENT "Rendering ${page}(${section}) as text" VERBATIM)
    list(APPEND text_files ${text})
  endforeach()
  add_custom_target(man_text ALL DEPENDS ${text_files})
  install(FILES ${text_files} DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/halvorne-tools COMPONENT man)
elseif(WIN32)
  message(STATUS "groff not found: the Windows kit goes without its manual pages as text")
endif()

# The package test: cpack into a scratch folder, dpkg -x into a scratch root,
# every program started from there, a host program built against the library.
# Every program of the kit that this build makes must be in the package.
tools_programs(package_programs)
string(REPLACE ";" "," package_programs "${package_programs}")
find_program(PACKAGE_DPKG dpkg)
find_program(PACKAGE_SHLIBDEPS dpkg-shlibdeps)
find_program(PACKAGE_PKG_CONFIG pkg-config)
if(WIN32)
  # The Windows kit, unpacked into an empty folder and run under the test emulator.
  add_test(NAME package_zip
    COMMAND ${CMAKE_COMMAND}
      -DBUILD_DIR=${PROJECT_BINARY_DIR}
      -DWORK_DIR=${PROJECT_BINARY_DIR}/package-test
      -DHOST_SOURCE=${PROJECT_SOURCE_DIR}/cmake/package_test/host
      -DCPACK=${CMAKE_CPACK_COMMAND}
      -DVERSION=${PROJECT_VERSION}
      -DGENERATOR=${CMAKE_GENERATOR}
      -DTOOLCHAIN=${CMAKE_TOOLCHAIN_FILE}
      "-DEMULATOR=${CMAKE_CROSSCOMPILING_EMULATOR}"
      -DREQUIRED_PROGRAMS=${package_programs}
      -P ${PROJECT_SOURCE_DIR}/cmake/package_zip_test.cmake)
  set_tests_properties(package_zip PROPERTIES LABELS package TIMEOUT 600)
elseif(PACKAGE_DPKG AND PACKAGE_SHLIBDEPS)
  add_test(NAME package_deb
    COMMAND ${CMAKE_COMMAND}
      -DBUILD_DIR=${PROJECT_BINARY_DIR}
      -DWORK_DIR=${PROJECT_BINARY_DIR}/package-test
      -DHOST_SOURCE=${PROJECT_SOURCE_DIR}/cmake/package_test/host
      -DCPACK=${CMAKE_CPACK_COMMAND}
      -DDPKG=${PACKAGE_DPKG}
      -DVERSION=${PROJECT_VERSION}
      -DCXX=${CMAKE_CXX_COMPILER}
      -DGENERATOR=${CMAKE_GENERATOR}
      -DSANITIZE=${TOOLS_SANITIZE}
      -DPKG_CONFIG=${PACKAGE_PKG_CONFIG}
      -DREQUIRED_PROGRAMS=${package_programs}
      -P ${PROJECT_SOURCE_DIR}/cmake/package_test/run_package_test.cmake)
  set_tests_properties(package_deb PROPERTIES LABELS package TIMEOUT 600)
else()
  message(STATUS "package test left out: dpkg or dpkg-shlibdeps missing (scripts/install-deps)")
endif()
