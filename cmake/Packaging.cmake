# One Debian package of the whole kit: the programs, the simulated device
# libraries, libkelvane with its headers, CMake and pkg-config files, and the
# manual pages. `cpack -G DEB` in the build folder packages what the build made;
# it does not build the project first.
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
