# Run by cpack (CPACK_PRE_BUILD_SCRIPTS) after it has installed each Debian
# package's files into its staging folder and before it packs them: what
# Debian asks of every package beyond the installed files.
#   usr/share/doc/<package>/copyright     the licence, from LICENSE
#   usr/share/doc/<package>/changelog.gz  cmake/debian/changelog
#   usr/share/man/*/*                     compressed (gzip -9n)
# and the library package's dependencies, from dpkg-shlibdeps.
# Inputs (CPackConfig.cmake): CPACK_HALVORNE_LICENSE, CPACK_HALVORNE_CHANGELOG,
# CPACK_HALVORNE_GROUPS, CPACK_HALVORNE_LIBRARY_GROUP.

if(NOT CPACK_GENERATOR STREQUAL "DEB")
  return()
endif()

find_program(GZIP gzip REQUIRED)
find_program(SHLIBDEPS dpkg-shlibdeps REQUIRED)

# gzip -9n: the best compression, and no name or time stamp in the header,
# so the same file always gives the same bytes.
function(compress file)
  execute_process(COMMAND ${GZIP} -9nf "${file}" RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "gzip ${file} failed: ${status}")
  endif()
endfunction()

# The copyright file in Debian's machine-readable form: the holder from the
# LICENSE's copyright line, the licence text after it (Debian calls the MIT
# licence "Expat").
file(STRINGS "${CPACK_HALVORNE_LICENSE}" licence_lines)
set(holder "")
set(licence "")
foreach(line IN LISTS licence_lines)
  if(holder STREQUAL "" AND line MATCHES "^Copyright \\(c\\) (.+)$")
    set(holder "${CMAKE_MATCH_1}")
  elseif(NOT holder STREQUAL "")
    if(line STREQUAL "")
      string(APPEND licence " .\n")
    else()
      string(APPEND licence " ${line}\n")
    endif()
  endif()
endforeach()
string(REGEX REPLACE "^ \\.\n" "" licence "${licence}")
if(holder STREQUAL "" OR licence STREQUAL "")
  message(FATAL_ERROR "no copyright line and licence text in ${CPACK_HALVORNE_LICENSE}")
endif()
# The notice carries the year of the release, from the changelog's first
# entry (the newest).
file(STRINGS "${CPACK_HALVORNE_CHANGELOG}" signatures REGEX "^ -- .*, [0-9]+ [A-Z][a-z]+ [0-9]+ ")
list(GET signatures 0 newest)
string(REGEX REPLACE "^ -- .*, [0-9]+ [A-Z][a-z]+ ([0-9]+) .*$" "\\1" year "${newest}")
set(copyright "Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/
Upstream-Name: halvorne-tools
Upstream-Contact: ${CPACK_PACKAGE_CONTACT}

Files: *
Copyright: ${year} ${holder}
License: Expat
${licence}")

foreach(group IN LISTS CPACK_HALVORNE_GROUPS)
  set(root "${CPACK_TEMPORARY_DIRECTORY}/${group}")
  if(NOT IS_DIRECTORY "${root}")
    message(FATAL_ERROR "no staging folder ${root} for the package ${group}")
  endif()
  set(doc "${root}/usr/share/doc/${group}")
  file(MAKE_DIRECTORY "${doc}")
  file(WRITE "${doc}/copyright" "${copyright}")
  file(COPY_FILE "${CPACK_HALVORNE_CHANGELOG}" "${doc}/changelog")
  compress("${doc}/changelog")

  file(GLOB pages LIST_DIRECTORIES false "${root}/usr/share/man/*/*")
  foreach(page IN LISTS pages)
    if(NOT page MATCHES "\\.gz$")
      compress("${page}")
    endif()
  endforeach()
endforeach()

# The library's own dependencies. dpkg-shlibdeps reads the control file of
# the folder it runs in; an empty one will do.
set(library_root "${CPACK_TEMPORARY_DIRECTORY}/${CPACK_HALVORNE_LIBRARY_GROUP}")
file(GLOB_RECURSE objects LIST_DIRECTORIES false "${library_root}/*.so.*")
set(libraries "")
foreach(object IN LISTS objects)
  if(NOT IS_SYMLINK "${object}")
    list(APPEND libraries "${object}")
  endif()
endforeach()
if(libraries STREQUAL "")
  message(FATAL_ERROR "no shared library in ${library_root}")
endif()
set(scratch "${CPACK_TOPLEVEL_DIRECTORY}/shlibdeps")
file(MAKE_DIRECTORY "${scratch}/debian")
file(WRITE "${scratch}/debian/control" "")
execute_process(COMMAND ${SHLIBDEPS} -O --ignore-missing-info ${libraries}
  WORKING_DIRECTORY "${scratch}"
  RESULT_VARIABLE status OUTPUT_VARIABLE found ERROR_VARIABLE errors)
if(NOT status EQUAL 0 OR NOT found MATCHES "shlibs:Depends=([^\n]+)")
  message(FATAL_ERROR "dpkg-shlibdeps ${libraries} failed (${status}):\n${found}\n${errors}")
endif()
string(TOUPPER "${CPACK_HALVORNE_LIBRARY_GROUP}" upper)
set(CPACK_DEBIAN_${upper}_PACKAGE_DEPENDS "${CMAKE_MATCH_1}")
