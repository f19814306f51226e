# The kit inside a game's build: the CMake package halvorne-tools (every
# program of the registry as an imported executable halvorne::<program>, and
# the build functions of HalvorneBuild.cmake) and the make fragment
# halvorne.mk, installed and usable from this build folder too
# (halvorne-tools_DIR=<build folder>, <build folder>/halvorne.mk). All of it is installed in the component "integration"; it
# names the programs, so it goes with them.
include(CMakePackageConfigHelpers)

set(HALVORNE_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/halvorne-tools)
set(HALVORNE_MAKE_DIR ${CMAKE_INSTALL_DATADIR}/halvorne-tools)

install(EXPORT halvorne-tools-targets
  NAMESPACE halvorne::
  FILE halvorne-tools-targets.cmake
  DESTINATION ${HALVORNE_CMAKE_DIR} COMPONENT integration)
set(HALVORNE_FUNCTIONS_DIR "\${CMAKE_CURRENT_LIST_DIR}")
configure_file(${CMAKE_CURRENT_LIST_DIR}/halvorne-tools-config.cmake.in
  ${PROJECT_BINARY_DIR}/integration/halvorne-tools-config.cmake @ONLY)
write_basic_package_version_file(${PROJECT_BINARY_DIR}/halvorne-tools-config-version.cmake
  VERSION ${PROJECT_VERSION}
  COMPATIBILITY SameMajorVersion)
install(FILES
    ${PROJECT_BINARY_DIR}/integration/halvorne-tools-config.cmake
    ${PROJECT_BINARY_DIR}/halvorne-tools-config-version.cmake
    ${CMAKE_CURRENT_LIST_DIR}/HalvorneBuild.cmake
    ${CMAKE_CURRENT_LIST_DIR}/HalvorneRun.cmake
  DESTINATION ${HALVORNE_CMAKE_DIR} COMPONENT integration)

# The same package for this build folder: the programs where the build makes
# them, the functions from the source folder.
export(EXPORT halvorne-tools-targets
  NAMESPACE halvorne::
  FILE ${PROJECT_BINARY_DIR}/halvorne-tools-targets.cmake)
set(HALVORNE_FUNCTIONS_DIR "${CMAKE_CURRENT_LIST_DIR}")
configure_file(${CMAKE_CURRENT_LIST_DIR}/halvorne-tools-config.cmake.in
  ${PROJECT_BINARY_DIR}/halvorne-tools-config.cmake @ONLY)

# halvorne.mk: one variable per program of the registry (HALVORNE_<PROGRAM>,
# upper case, a dot as an underscore), found from the fragment's own folder,
# so that a staged or moved installation works as well.
tools_programs(halvorne_programs)
set(HALVORNE_PROGRAM_VARIABLES "")
foreach(program IN LISTS halvorne_programs)
  string(TOUPPER "${program}" variable)
  string(REPLACE "." "_" variable "${variable}")
  string(APPEND HALVORNE_PROGRAM_VARIABLES
    "HALVORNE_${variable} ?= $(HALVORNE_BINDIR)/${program}${CMAKE_EXECUTABLE_SUFFIX}\n")
endforeach()
file(RELATIVE_PATH HALVORNE_MAKE_TO_BINDIR
  /prefix/${HALVORNE_MAKE_DIR} /prefix/${CMAKE_INSTALL_BINDIR})
configure_file(${CMAKE_CURRENT_LIST_DIR}/halvorne.mk.in ${PROJECT_BINARY_DIR}/integration/halvorne.mk @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/integration/halvorne.mk
  DESTINATION ${HALVORNE_MAKE_DIR} COMPONENT integration)
# The same for this build folder, whose programs are in bin/.
set(HALVORNE_MAKE_TO_BINDIR bin)
configure_file(${CMAKE_CURRENT_LIST_DIR}/halvorne.mk.in ${PROJECT_BINARY_DIR}/halvorne.mk @ONLY)
