# Runs one of the kit's programs for a build step of HalvorneBuild.cmake:
#
#   cmake [-DSTDOUT=<file>] [-DDEPFILE=<file> -DDEPFILE_FROM=<file>]
#         -P HalvorneRun.cmake -- <program> <argument>...
#
# STDOUT: the program's standard output becomes <file>, which is replaced
# only when the program succeeds (a failed step leaves no new output).
# DEPFILE: the program wrote the make-style dependency file DEPFILE_FROM with
# names relative to the folder it ran in; the build reads names relative to
# its own folder, so the rules are written to DEPFILE with absolute names.
# The status is 0 when the program succeeds, else 1.

cmake_minimum_required(VERSION 3.20)

set(command "")
set(take OFF)
math(EXPR last "${CMAKE_ARGC} - 1")
foreach(index RANGE 1 ${last})
  if(take)
    # A semicolon inside an argument stays inside it.
    string(REPLACE ";" "\\;" argument "${CMAKE_ARGV${index}}")
    list(APPEND command "${argument}")
  elseif(CMAKE_ARGV${index} STREQUAL "--")
    set(take ON)
  endif()
endforeach()
if(command STREQUAL "")
  message(FATAL_ERROR "HalvorneRun.cmake: no program after --")
endif()

list(GET command 0 program)
function(fail status)
  message(FATAL_ERROR "${program} failed: ${status}")
endfunction()

if(DEFINED STDOUT)
  # A name of its own for each run: two builds of one output never share it.
  string(RANDOM LENGTH 12 tag)
  set(partial "${STDOUT}.${tag}.partial")
  execute_process(COMMAND ${command} OUTPUT_FILE "${partial}" RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    file(REMOVE "${partial}")
    fail("${status}")
  endif()
  file(RENAME "${partial}" "${STDOUT}" RESULT rename_status)
  if(NOT rename_status EQUAL 0)
    file(REMOVE "${partial}")
    message(FATAL_ERROR "cannot replace ${STDOUT}: ${rename_status}")
  endif()
else()
  execute_process(COMMAND ${command} RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    fail("${status}")
  endif()
endif()

if(DEFINED DEPFILE)
  file(READ "${DEPFILE_FROM}" text)
  # One logical line per rule; "\ " and "\#" keep a blank or a hash inside a
  # name, and "$$" is a dollar sign. Markers hold them while the text is
  # split at blanks. A relative name is relative to the folder the step runs
# in, which a script sees as its current source folder.
  string(ASCII 1 blank)
  string(ASCII 2 hash)
  string(ASCII 3 dollar)
  string(REGEX REPLACE "\\\\\r?\n" " " text "${text}")
  string(REPLACE "\\ " "${blank}" text "${text}")
  string(REPLACE "\\#" "${hash}" text "${text}")
  string(REPLACE "$$" "${dollar}" text "${text}")
  string(REGEX REPLACE "\r?\n" ";" lines "${text}")
  set(rules "")
  foreach(line IN LISTS lines)
    string(REGEX MATCHALL "[^ \t]+" words "${line}")
    if(words STREQUAL "")
      continue()
    endif()
    set(rule "")
    foreach(word IN LISTS words)
      set(colon "")
      if(word MATCHES "^(.*):$")
        set(word "${CMAKE_MATCH_1}")
        set(colon ":")
      endif()
      if(NOT word STREQUAL "")
        string(REPLACE "${blank}" " " word "${word}")
        string(REPLACE "${hash}" "#" word "${word}")
        string(REPLACE "${dollar}" "$" word "${word}")
        cmake_path(ABSOLUTE_PATH word BASE_DIRECTORY "${CMAKE_CURRENT_SOURCE_DIR}" NORMALIZE)
        string(REPLACE "$" "$$" word "${word}")
        string(REPLACE "#" "\\#" word "${word}")
        string(REPLACE " " "\\ " word "${word}")
      endif()
      string(APPEND rule " ${word}${colon}")
    endforeach()
    string(STRIP "${rule}" rule)
    string(APPEND rules "${rule}\n")
  endforeach()
  file(WRITE "${DEPFILE}" "${rules}")
  file(REMOVE "${DEPFILE_FROM}")
endif()
