# Debian packages of the kit, split the way Debian splits a library from its
# tools (CPack's DEB component packaging, one package per group):
#   libkelvane1     the texture library (install component "kelvane");
#   libkelvane-dev  what a host builds against: headers, the unversioned
#                   link, CMake package, pkg-config file, kelvane(3)
#                   ("kelvane-dev");
#   halvorne-tools  every other component: the programs and their manual
#                   pages, the simulated device libraries, the CMake package
#                   halvorne-tools and the make fragment.
# `cpack -G DEB` in the build folder packages what the build made; it does not
# build the project first.
# A Windows build makes the kit as one ZIP (`cpack -G ZIP`): the programs
# with the DLLs beside them in bin/, the library's headers, import library
# and CMake package, and the manual pages as plain text in
# share/doc/halvorne-tools/.
set(CPACK_PACKAGE_NAME "halvorne-tools")
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_PACKAGE_VENDOR "DRAVO/ZYR SDK tools")
set(CPACK_PACKAGE_CONTACT "DRAVO/ZYR SDK tools maintainers <tools@example.invalid>")
set(CPACK_RESOURCE_FILE_LICENSE "${PROJECT_SOURCE_DIR}/LICENSE")
set(CPACK_GENERATOR "DEB")
if(WIN32)
  set(CPACK_GENERATOR "ZIP")
  set(CPACK_PACKAGE_FILE_NAME "${CPACK_PACKAGE_NAME}-${PROJECT_VERSION}-windows-x86_64")
endif()
set(CPACK_STRIP_FILES ON)
# Package what is built: cpack runs the install step only, without building
# every target first (the same holds for the install target).
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)

set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_GROUPING ONE_PER_GROUP)
set(CPACK_DEBIAN_FILE_NAME "DEB-DEFAULT")
set(CPACK_DEBIAN_PACKAGE_SOURCE "halvorne-tools")
set(CPACK_DEBIAN_PACKAGE_PRIORITY "optional")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# Dependencies from the shared libraries the programs link (dpkg-shlibdeps).
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)

get_target_property(package_soversion kelvane SOVERSION)
set(package_library "libkelvane${package_soversion}")
set(package_groups ${package_library} libkelvane-dev halvorne-tools)
get_cmake_property(package_components COMPONENTS)
foreach(component IN LISTS package_components)
  if(component STREQUAL "kelvane")
    set(group ${package_library})
  elseif(component STREQUAL "kelvane-dev")
    set(group libkelvane-dev)
  else()
    set(group halvorne-tools)
  endif()
  string(TOUPPER "${component}" upper)
  set(CPACK_COMPONENT_${upper}_GROUP ${group})
endforeach()
set(CPACK_COMPONENTS_ALL ${package_components})

# The library: its shlibs entry and the ldconfig trigger as control files.
# Its dependencies come from the step below rather than from CPack, which
# would add maintainer scripts that call ldconfig by hand.
string(TOUPPER "${package_library}" library)
set(package_control ${PROJECT_BINARY_DIR}/debian/${package_library})
file(WRITE ${package_control}/shlibs
  "libkelvane ${package_soversion} ${package_library} (>= ${PROJECT_VERSION})\n")
file(WRITE ${package_control}/triggers "activate-noawait ldconfig\n")
set(CPACK_DEBIAN_${library}_PACKAGE_NAME ${package_library})
set(CPACK_DEBIAN_${library}_PACKAGE_SECTION "libs")
set(CPACK_DEBIAN_${library}_PACKAGE_SHLIBDEPS OFF)
set(CPACK_DEBIAN_${library}_PACKAGE_CONTROL_EXTRA
  ${package_control}/shlibs ${package_control}/triggers)
set(CPACK_DEBIAN_${library}_DESCRIPTION
  "texture library of the DRAVO/ZYR handheld console SDK
The shared library kelvane converts true-colour images into the palette
texture types of the Dravo and Zyr consoles (palettes of 4 to 256 colours,
two with alpha bits, 4x4-block compression, 15-bit direct colour) and writes
their texel, palette and palette-index data.")

set(CPACK_DEBIAN_LIBKELVANE-DEV_PACKAGE_NAME libkelvane-dev)
set(CPACK_DEBIAN_LIBKELVANE-DEV_PACKAGE_SECTION "libdevel")
set(CPACK_DEBIAN_LIBKELVANE-DEV_PACKAGE_DEPENDS "${package_library} (= ${PROJECT_VERSION})")
set(CPACK_DEBIAN_LIBKELVANE-DEV_DESCRIPTION
  "texture library of the DRAVO/ZYR handheld console SDK - development files
Headers, CMake package (find_package(kelvane)), pkg-config file and manual
page of kelvane, the shared library that converts true-colour images into
the palette texture types of the Dravo and Zyr consoles.")

set(CPACK_DEBIAN_HALVORNE-TOOLS_PACKAGE_NAME halvorne-tools)
set(CPACK_DEBIAN_HALVORNE-TOOLS_PACKAGE_SECTION "devel")
# A program of the registry that links the library needs this very build of it.
tools_programs(package_programs)
foreach(program IN LISTS package_programs)
  get_target_property(links ${program} LINK_LIBRARIES)
  if("kelvane" IN_LIST links OR "kelvane::kelvane" IN_LIST links)
    set(CPACK_DEBIAN_HALVORNE-TOOLS_PACKAGE_DEPENDS "${package_library} (= ${PROJECT_VERSION})")
    # dpkg-shlibdeps finds the library in the build, not yet installed.
    get_target_property(package_library_dir kelvane LIBRARY_OUTPUT_DIRECTORY)
    set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${package_library_dir})
  endif()
endforeach()
set(CPACK_DEBIAN_HALVORNE-TOOLS_DESCRIPTION
  "desktop tools of the DRAVO/ZYR handheld console SDK
Command-line tools of the Dravo and Zyr software development kit: texture
and image conversion, argument burying, backward-LZ compression, ROM image
utilities, the resource compiler, AES and RC4 encryption, and the target
loaders with simulated debugger device libraries. Includes the CMake
package halvorne-tools (the programs as imported targets and build
functions for a game's build) and the make fragment halvorne.mk.")

# After CPack has installed each package's files, and before it packs them:
# the copyright file (from LICENSE), the changelog, compressed manual pages
# and the library's dependencies.
set(CPACK_PRE_BUILD_SCRIPTS ${CMAKE_CURRENT_LIST_DIR}/DebianPackageFiles.cmake)
set(CPACK_HALVORNE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_HALVORNE_CHANGELOG ${CMAKE_CURRENT_LIST_DIR}/debian/changelog)
set(CPACK_HALVORNE_GROUPS ${package_groups})
set(CPACK_HALVORNE_LIBRARY_GROUP ${package_library})
file(STRINGS ${CPACK_HALVORNE_CHANGELOG} package_changelog LIMIT_COUNT 1)
if(NOT package_changelog MATCHES "^halvorne-tools \\(${PROJECT_VERSION}\\) ")
  message(FATAL_ERROR "cmake/debian/changelog has no entry for ${PROJECT_VERSION} at its top")
endif()

include(CPack)

# The package test: cpack into a scratch folder, the three packages unpacked
# into one scratch root, every program started from there, a host program
# built against the library, lintian on each package. Every program of the
# kit that this build makes must be in the packages.
string(REPLACE ";" "," package_programs "${package_programs}")
find_program(PACKAGE_DPKG dpkg)
find_program(PACKAGE_SHLIBDEPS dpkg-shlibdeps)
find_program(PACKAGE_PKG_CONFIG pkg-config)
find_program(PACKAGE_LINTIAN lintian)
# What the package test needs on either system.
set(package_test_args
  -DBUILD_DIR=${PROJECT_BINARY_DIR}
  -DWORK_DIR=${PROJECT_BINARY_DIR}/package-test
  -DCPACK=${CMAKE_CPACK_COMMAND}
  -DVERSION=${PROJECT_VERSION}
  -DGENERATOR=${CMAKE_GENERATOR}
  -DREQUIRED_PROGRAMS=${package_programs})
if(WIN32)
  # The Windows kit, unpacked into an empty folder and run under the test emulator.
  add_test(NAME package_zip
    COMMAND ${CMAKE_COMMAND} ${package_test_args}
      -DHOST_SOURCE=${PROJECT_SOURCE_DIR}/texture/tests/consumer
      -DTOOLCHAIN=${CMAKE_TOOLCHAIN_FILE}
      "-DEMULATOR=${CMAKE_CROSSCOMPILING_EMULATOR}"
      -P ${PROJECT_SOURCE_DIR}/cmake/package_zip_test.cmake)
  set_tests_properties(package_zip PROPERTIES LABELS package TIMEOUT 600)
elseif(PACKAGE_DPKG AND PACKAGE_SHLIBDEPS)
  add_test(NAME package_deb
    COMMAND ${CMAKE_COMMAND} ${package_test_args}
      -DHOST_SOURCE=${PROJECT_SOURCE_DIR}/cmake/package_test/host
      -DDPKG=${PACKAGE_DPKG}
      -DLINTIAN=${PACKAGE_LINTIAN}
      -DLIBRARY_PACKAGE=${package_library}
      -DCXX=${CMAKE_CXX_COMPILER}
      -DSANITIZE=${TOOLS_SANITIZE}
      -DPKG_CONFIG=${PACKAGE_PKG_CONFIG}
      -P ${PROJECT_SOURCE_DIR}/cmake/package_test/run_package_test.cmake)
  set_tests_properties(package_deb PROPERTIES LABELS package TIMEOUT 600)
else()
  message(STATUS "package test left out: dpkg or dpkg-shlibdeps missing (scripts/install-deps)")
endif()
