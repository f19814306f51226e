# Builds the example game project against the kit and checks what a game's
# build relies on. CHECK selects the part:
#   install       the kit into KIT_PREFIX (the other parts' fixture);
#   incremental   Ninja against the installed kit: a clean build, a second
#                 build that runs nothing, a touched PNG that reruns only its
#                 texture step and what uses it, a changed BINARY file that
#                 rebuilds the table, a second build folder with the same
#                 bytes; then make with halvorne.mk: the same bytes, nothing
#                 to do the second time, the changed BINARY file seen;
#   reproducible  two checkouts at different paths, built at different times
#                 into folders inside and outside them, with Ninja -j1 against
#                 the installed kit and with make files -j8 against the kit's
#                 build folder: the same bytes, and no path of either machine
#                 layout in any output.
# Inputs: CHECK KIT_BUILD KIT_SOURCE KIT_PREFIX WORK_DIR EXAMPLE NINJA MAKE CC.

cmake_minimum_required(VERSION 3.20)

# The kit's outputs of the example (the compiled library aside).
set(outputs
  hero.tex hero.pal hero.preview.ppm sky.tex sky.pal sky.pidx sky.preview.png
  logo.tex logo.pal logo.preview.ppm hero_map.c logo_tiles.c icon_colours.inc
  arm9_BLZ.bin arm9_code.c settings.c game_args.srl zyr_args.srl)

include(${CMAKE_CURRENT_LIST_DIR}/../cmake/RunStep.cmake)

# A fresh copy of the example at `where`.
function(checkout where)
  file(REMOVE_RECURSE "${where}")
  file(MAKE_DIRECTORY "${where}")
  file(COPY "${EXAMPLE}/" DESTINATION "${where}")
endfunction()

function(configure source build generator)
  run_step("configure ${build}" ${CMAKE_COMMAND} -S "${source}" -B "${build}" -G "${generator}"
    "-DCMAKE_MAKE_PROGRAM=${${generator}_program}" "-DCMAKE_C_COMPILER=${CC}"
    "-DDRAVO_SDK_INCLUDE_DIR=${KIT_SOURCE}/demo"
    -DCMAKE_FIND_USE_PACKAGE_REGISTRY=OFF -DCMAKE_FIND_USE_SYSTEM_PACKAGE_REGISTRY=OFF ${ARGN})
endfunction()
set(Ninja_program "${NINJA}")
set("Unix Makefiles_program" "${MAKE}")

# matching_lines(<var> <text> <regex>): the first group of each line of the
# text that the regular expression matches from the line's start, sorted.
function(matching_lines var text regex)
  string(REGEX MATCHALL "(^|\n)${regex}" lines "${text}")
  set(found "")
  foreach(line IN LISTS lines)
    string(REGEX REPLACE "^\n?${regex}" "\\1" line "${line}")
    list(APPEND found "${line}")
  endforeach()
  list(SORT found)
  set(${var} "${found}" PARENT_SCOPE)
endfunction()

# build(<folder> [args]): the build's step lines in `steps`, without their
# counters.
function(build folder)
  run_step("build ${folder}" ${CMAKE_COMMAND} --build "${folder}" ${ARGN})
  matching_lines(found "${step_output}" "\\[[0-9]+/[0-9]+\\] ([^\n]*)")
  set(steps "${found}" PARENT_SCOPE)
  set(build_output "${step_output}" PARENT_SCOPE)
endfunction()

function(expect_steps what)
  set(expected ${ARGN})
  list(SORT expected)
  if(NOT steps STREQUAL expected)
    string(REPLACE ";" "\n  " steps "${steps}")
    string(REPLACE ";" "\n  " expected "${expected}")
    message(FATAL_ERROR "${what}: the build ran\n  ${steps}\nnot\n  ${expected}")
  endif()
endfunction()

function(expect_same_outputs what first second)
  foreach(file IN LISTS outputs)
    if(NOT EXISTS "${first}/${file}" OR NOT EXISTS "${second}/${file}")
      message(FATAL_ERROR "${what}: ${file} is missing in ${first} or ${second}")
    endif()
    execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files "${first}/${file}" "${second}/${file}"
      RESULT_VARIABLE different)
    if(different)
      message(FATAL_ERROR "${what}: ${file} differs between ${first} and ${second}")
    endif()
  endforeach()
endfunction()

if(CHECK STREQUAL "install")
  file(REMOVE_RECURSE "${KIT_PREFIX}")
  run_step("install the kit" ${CMAKE_COMMAND} --install "${KIT_BUILD}" --prefix "${KIT_PREFIX}")
  return()
endif()

file(REMOVE_RECURSE "${WORK_DIR}")
set(installed "-DCMAKE_PREFIX_PATH=${KIT_PREFIX}")
set(tree "-Dhalvorne-tools_DIR=${KIT_BUILD}")

if(CHECK STREQUAL "incremental")
  set(source "${WORK_DIR}/game")
  set(first "${WORK_DIR}/build-1")
  checkout("${source}")
  configure("${source}" "${first}" Ninja "${installed}")
  build("${first}")
  file(READ "${first}/CMakeCache.txt" cache)
  if(NOT cache MATCHES "halvorne-tools_DIR:PATH=${KIT_PREFIX}/")
    message(FATAL_ERROR "find_package did not take halvorne-tools from ${KIT_PREFIX}")
  endif()
  file(MAKE_DIRECTORY "${WORK_DIR}/before")
  foreach(file IN LISTS outputs)
    file(COPY "${first}/${file}" DESTINATION "${WORK_DIR}/before")
  endforeach()

  build("${first}")
  if(NOT build_output MATCHES "ninja: no work to do")
    message(FATAL_ERROR "the second build ran steps:\n${build_output}")
  endif()

  file(TOUCH "${source}/assets/hero.png")
  build("${first}")
  expect_steps("hero.png touched"
    "Converting assets/hero.png to texture hero (palette256)"
    "Writing C array hero_map.c with huemap"
    "Building C object CMakeFiles/game_assets.dir/hero_map.c.o"
    "Linking C static library libgame_assets.a")
  expect_same_outputs("hero.png touched" "${WORK_DIR}/before" "${first}")

  file(WRITE "${source}/assets/strings/greeting.txt" "Greetings from the second build")
  build("${first}")
  expect_steps("a BINARY file changed"
    "Compiling resource table settings.c"
    "Building C object CMakeFiles/game_assets.dir/settings.c.o"
    "Linking C static library libgame_assets.a")
  file(READ "${first}/settings.c" table)
  if(NOT table MATCHES "\"Greetings from the second build\"")
    message(FATAL_ERROR "settings.c does not hold the changed file:\n${table}")
  endif()

  set(second "${WORK_DIR}/build-2")
  configure("${source}" "${second}" Ninja "${installed}")
  build("${second}")
  expect_same_outputs("a second build folder" "${first}" "${second}")

  # The same with make and halvorne.mk, in a copy of the changed checkout.
  set(made "${WORK_DIR}/make")
  file(COPY "${source}/" DESTINATION "${made}")
  set(make ${CMAKE_COMMAND} -E chdir "${made}" "${MAKE}"
    "HALVORNE_MK=${KIT_PREFIX}/share/halvorne-tools/halvorne.mk")
  run_step("make" ${make})
  expect_same_outputs("make against CMake" "${first}" "${made}")
  execute_process(COMMAND ${make} -q RESULT_VARIABLE status OUTPUT_QUIET ERROR_QUIET)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "a second make would run steps (make -q: ${status})")
  endif()
  # make echoes each step: the program it runs begins the line.
  function(expect_made what)
    run_step("make, ${what}" ${make})
    matching_lines(steps "${step_output}" "/[^ \n]*/([^/ \n]+) ")
    expect_steps("make, ${what}" ${ARGN})
  endfunction()
  file(TOUCH "${made}/assets/hero.png")
  expect_made("hero.png touched" huemap kelvane_convert)
  file(WRITE "${made}/assets/strings/serial.txt" "fedcba9876543210")
  expect_made("a BINARY file changed" parser)
  file(READ "${made}/settings.c" table)
  if(NOT table MATCHES "\"fedcba9876543210\"")
    message(FATAL_ERROR "make's settings.c does not hold the changed file:\n${table}")
  endif()
  return()
endif()

if(CHECK STREQUAL "reproducible")
  set(checkout_a "${WORK_DIR}/a")
  set(checkout_b "${WORK_DIR}/elsewhere/a much longer path/game")
  set(build_a "${checkout_a}/build")
  set(build_b "${WORK_DIR}/b-build")
  checkout("${checkout_a}")
  configure("${checkout_a}" "${build_a}" Ninja "${installed}")
  build("${build_a}" -j 1)
  # Later, and with the inputs' times those of a new copy.
  execute_process(COMMAND ${CMAKE_COMMAND} -E sleep 1)
  checkout("${checkout_b}")
  configure("${checkout_b}" "${build_b}" "Unix Makefiles" ${tree})
  build("${build_b}" -j 8)
  file(READ "${build_b}/CMakeCache.txt" cache)
  if(NOT cache MATCHES "halvorne-tools_DIR:[A-Z]+=${KIT_BUILD}\n")
    message(FATAL_ERROR "find_package did not take halvorne-tools from the kit's build folder")
  endif()
  expect_same_outputs("two checkouts" "${build_a}" "${build_b}")
  # The folders of this run (the kit's source folder holds all of them).
  foreach(file IN LISTS outputs)
    file(READ "${build_b}/${file}" bytes HEX)
    foreach(path IN ITEMS "${KIT_SOURCE}" "${KIT_BUILD}" "${WORK_DIR}")
      string(HEX "${path}" hex)
      string(REGEX MATCH "^(..)*${hex}" found "${bytes}")
      if(found)
        message(FATAL_ERROR "${file} holds the path ${path}")
      endif()
    endforeach()
  endforeach()
  return()
endif()

message(FATAL_ERROR "unknown CHECK ${CHECK}")
