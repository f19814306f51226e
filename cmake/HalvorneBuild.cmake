# Build functions over the kit's programs, for a game's own CMake project:
#
#   find_package(halvorne-tools REQUIRED)
#   halvorne_add_texture(hero INPUT art/hero.png TYPE palette16 KEY 255,0,255)
#   halvorne_add_compressed(OUTPUT arm9_BLZ.bin INPUT bin/arm9.bin)
#   halvorne_add_resource_table(OUTPUT settings.c INPUT data/settings.res)
#   halvorne_add_c_array(OUTPUT logo.c INPUT art/logo.ppm TOOL huetile ARGS -c 4)
#   halvorne_add_buried_args(OUTPUT game_args.srl IMAGE game.srl ARGS -level 3)
#
# Each function adds one custom command, like add_custom_command(OUTPUT): a
# target of the same folder builds it by naming one of its outputs, as a
# source (the C files) or in add_custom_target(... DEPENDS ...). Each step
# declares every file it reads (its inputs, the program itself and, for a
# resource table, the files the description's BINARY entries name, through a
# dependency file) and every file it writes, so that Ninja and Make rerun
# exactly the steps whose inputs changed and run independent steps in
# parallel, and so that a step can run anywhere its declared inputs are.
#
# Paths: a relative OUTPUT (or texture prefix) is relative to the current
# build folder; a relative input names a file of the current source folder,
# or, when there is none, of the current build folder (the output of another
# step). A program that writes the name of its input into its output
# (huecast, huemap) is given that name relative to the folder that holds it,
# so outputs never hold the build machine's paths: they depend only on the
# input bytes and the arguments.

include_guard(GLOBAL)
# The functions keep the policies of this file whatever the project sets:
# dependency files relative to the current build folder (CMP0116).
cmake_policy(VERSION 3.20...3.25)

# _halvorne_fail(<function> <text>...): stops the configuration with a message
# that names the function.
function(_halvorne_fail function)
  string(JOIN "" text ${ARGN})
  message(FATAL_ERROR "${function}: ${text}")
endfunction()

# _halvorne_check_arguments(<function> <prefix> <required>...): refuses
# unknown arguments, keywords without their value (ARGS and DITHER may stand
# alone) and missing required keywords of a parsed call.
function(_halvorne_check_arguments function prefix)
  if(DEFINED ${prefix}_UNPARSED_ARGUMENTS)
    string(JOIN " " unknown ${${prefix}_UNPARSED_ARGUMENTS})
    _halvorne_fail(${function} "unknown arguments: ${unknown}")
  endif()
  foreach(keyword IN LISTS ${prefix}_KEYWORDS_MISSING_VALUES)
    if(NOT keyword MATCHES "^(ARGS|DITHER)$")
      _halvorne_fail(${function} "${keyword} needs a value")
    endif()
  endforeach()
  foreach(keyword IN LISTS ARGN)
    if(NOT DEFINED ${prefix}_${keyword} OR "${${prefix}_${keyword}}" STREQUAL "")
      _halvorne_fail(${function} "${keyword} is required")
    endif()
  endforeach()
endfunction()

# _halvorne_program(<var> <function> <program>): the imported executable of a
# program of the package.
function(_halvorne_program var function program)
  string(REPLACE "." "_" name "${program}")
  if(NOT TARGET halvorne::${name})
    _halvorne_fail(${function} "the program ${program} (halvorne::${name}) is not defined here: "
      "call find_package(halvorne-tools REQUIRED) in this folder or above it")
  endif()
  set(${var} halvorne::${name} PARENT_SCOPE)
endfunction()

# _halvorne_output(<var> <path>): the absolute path of an output.
function(_halvorne_output var path)
  cmake_path(ABSOLUTE_PATH path BASE_DIRECTORY "${CMAKE_CURRENT_BINARY_DIR}" NORMALIZE
    OUTPUT_VARIABLE absolute)
  set(${var} "${absolute}" PARENT_SCOPE)
endfunction()

# _halvorne_input(<var> <path>): the absolute path of an input: a relative
# path names a file of the source folder when there is one, else a file of
# the build folder (the output of another step).
function(_halvorne_input var path)
  cmake_path(ABSOLUTE_PATH path BASE_DIRECTORY "${CMAKE_CURRENT_SOURCE_DIR}" NORMALIZE
    OUTPUT_VARIABLE absolute)
  if(NOT EXISTS "${absolute}")
    cmake_path(ABSOLUTE_PATH path BASE_DIRECTORY "${CMAKE_CURRENT_BINARY_DIR}" NORMALIZE
      OUTPUT_VARIABLE absolute)
  endif()
  set(${var} "${absolute}" PARENT_SCOPE)
endfunction()

# _halvorne_folder_of(<var> <absolute path>): the folder a step that reads the
# file works in: the deeper of the current build and source folders that
# holds it (a build folder inside the checkout holds its own outputs), else
# the current build folder.
function(_halvorne_folder_of var path)
  set(best "")
  foreach(folder IN ITEMS "${CMAKE_CURRENT_BINARY_DIR}" "${CMAKE_CURRENT_SOURCE_DIR}")
    cmake_path(IS_PREFIX folder "${path}" NORMALIZE inside)
    string(LENGTH "${folder}" length)
    string(LENGTH "${best}" best_length)
    if(inside AND length GREATER best_length)
      set(best "${folder}")
    endif()
  endforeach()
  if(best STREQUAL "")
    set(best "${CMAKE_CURRENT_BINARY_DIR}")
  endif()
  set(${var} "${best}" PARENT_SCOPE)
endfunction()

# _halvorne_argument(<var> <absolute path> <folder>): the path as a step that
# works in <folder> is given it: relative when the folder holds it.
function(_halvorne_argument var path folder)
  cmake_path(IS_PREFIX folder "${path}" NORMALIZE inside)
  if(inside)
    cmake_path(RELATIVE_PATH path BASE_DIRECTORY "${folder}" OUTPUT_VARIABLE path)
  endif()
  set(${var} "${path}" PARENT_SCOPE)
endfunction()

# _halvorne_shown(<var> <absolute path>): a short name of a file for the
# step's line in the build's output.
function(_halvorne_shown var path)
  _halvorne_folder_of(folder "${path}")
  _halvorne_argument(shown "${path}" "${folder}")
  set(${var} "${shown}" PARENT_SCOPE)
endfunction()

# halvorne_add_texture(<prefix> INPUT <png-or-ppm> TYPE <type>
#     [ALGORITHM <name>] [KEY <r,g,b>] [SHARE <r,g,b>] [NEAR] [PREVIEW <file>]
#     [QUALITY reference|refined] [DITHER [<strength>]])
# Converts an image with kelvane_convert into the texture data <prefix>.tex
# (texels), <prefix>.pal (palette; not for direct) and, for tex4x4,
# <prefix>.pidx (palette indexes). TYPE is one of palette4, a5i3, palette16,
# a3i5, palette256, tex4x4, direct; ALGORITHM chooses how tex4x4 picks block
# colours, KEY the colour that becomes transparent, SHARE lets tex4x4 blocks
# share colours within these per-channel tolerances, NEAR grows the texture
# to power-of-two sides. PREVIEW names the preview image decoded from the
# data (PNG when its name ends in .png, else binary PPM); without it the
# preview is <prefix>.preview.ppm. QUALITY refined chooses a palette type's
# palette with the library's refined processor; DITHER diffuses the error of
# a palette type's texels, with a strength of 0 to 100 (100 without one).
function(halvorne_add_texture prefix)
  cmake_parse_arguments(PARSE_ARGV 1 T "NEAR" "INPUT;TYPE;ALGORITHM;KEY;SHARE;PREVIEW;QUALITY"
    "DITHER")
  _halvorne_check_arguments(halvorne_add_texture T INPUT TYPE)
  set(types palette4 a5i3 palette16 a3i5 palette256 tex4x4 direct)
  if(NOT T_TYPE IN_LIST types)
    string(JOIN ", " types ${types})
    _halvorne_fail(halvorne_add_texture "TYPE ${T_TYPE} is none of ${types}")
  endif()
  _halvorne_program(program halvorne_add_texture kelvane_convert)
  _halvorne_output(data "${prefix}")
  _halvorne_input(input "${T_INPUT}")

  set(outputs "${data}.tex")
  if(NOT T_TYPE STREQUAL "direct")
    list(APPEND outputs "${data}.pal")
  endif()
  if(T_TYPE STREQUAL "tex4x4")
    list(APPEND outputs "${data}.pidx")
  endif()
  if(DEFINED T_PREVIEW)
    _halvorne_output(preview "${T_PREVIEW}")
  else()
    set(preview "${data}.preview.ppm")
  endif()
  list(APPEND outputs "${preview}")

  set(options "")
  foreach(option IN ITEMS ALGORITHM KEY SHARE QUALITY)
    if(DEFINED T_${option})
      string(TOLOWER "${option}" name)
      list(APPEND options --${name} "${T_${option}}")
    endif()
  endforeach()
  if(T_NEAR)
    list(APPEND options --near)
  endif()
  # The strength is always given: the converter reads a number after
  # --dither as its strength.
  if("DITHER" IN_LIST T_KEYWORDS_MISSING_VALUES)
    list(APPEND options --dither 100)
  elseif(DEFINED T_DITHER)
    list(LENGTH T_DITHER count)
    if(count GREATER 1)
      string(JOIN " " strengths ${T_DITHER})
      _halvorne_fail(halvorne_add_texture "DITHER takes one strength, not ${strengths}")
    endif()
    list(APPEND options --dither "${T_DITHER}")
  endif()

  _halvorne_shown(shown_input "${input}")
  _halvorne_shown(shown_data "${data}")
  add_custom_command(OUTPUT ${outputs}
    COMMAND ${program} --quiet ${options} --data "${data}" "${input}" ${T_TYPE} "${preview}"
    DEPENDS "${input}" "$<TARGET_FILE:${program}>"
    COMMENT "Converting ${shown_input} to texture ${shown_data} (${T_TYPE})"
    VERBATIM)
endfunction()

# halvorne_add_compressed(OUTPUT <file> INPUT <file>)
# Compresses a binary with tailpack into the backward-LZ image the console
# expands in place. An input that would not shrink fails the step.
function(halvorne_add_compressed)
  cmake_parse_arguments(PARSE_ARGV 0 C "" "OUTPUT;INPUT" "")
  _halvorne_check_arguments(halvorne_add_compressed C OUTPUT INPUT)
  _halvorne_program(program halvorne_add_compressed tailpack)
  _halvorne_output(output "${C_OUTPUT}")
  _halvorne_input(input "${C_INPUT}")
  _halvorne_shown(shown "${output}")
  # -o names the output as it is when the suffix is empty.
  add_custom_command(OUTPUT "${output}"
    COMMAND ${program} -o "${output}" -e "" "${input}"
    DEPENDS "${input}" "$<TARGET_FILE:${program}>"
    COMMENT "Compressing ${shown}"
    VERBATIM)
endfunction()

# halvorne_add_resource_table(OUTPUT <file.c> INPUT <description>
#     [WORKING_DIRECTORY <folder>])
# Compiles a resource description into C tables with parser. The file a
# BINARY entry names is opened relative to WORKING_DIRECTORY, by default the
# current source folder (the folder make runs in with halvorne.mk is the
# same for a project's top folder). parser writes a dependency file naming
# the description and every such file (--depfile); a step of this module
# rewrites its relative names against the working folder into the dependency
# file the build reads, so that a changed BINARY file reruns the step.
function(halvorne_add_resource_table)
  cmake_parse_arguments(PARSE_ARGV 0 R "" "OUTPUT;INPUT;WORKING_DIRECTORY" "")
  _halvorne_check_arguments(halvorne_add_resource_table R OUTPUT INPUT)
  _halvorne_program(program halvorne_add_resource_table parser)
  _halvorne_output(output "${R_OUTPUT}")
  _halvorne_input(input "${R_INPUT}")
  set(folder "${CMAKE_CURRENT_SOURCE_DIR}")
  if(DEFINED R_WORKING_DIRECTORY)
    cmake_path(ABSOLUTE_PATH R_WORKING_DIRECTORY BASE_DIRECTORY "${CMAKE_CURRENT_SOURCE_DIR}"
      NORMALIZE OUTPUT_VARIABLE folder)
  endif()
  _halvorne_argument(description "${input}" "${folder}")
  _halvorne_shown(shown "${output}")
  add_custom_command(OUTPUT "${output}"
    COMMAND "${CMAKE_COMMAND}" "-DDEPFILE=${output}.d" "-DDEPFILE_FROM=${output}.d.raw"
      -P "${CMAKE_CURRENT_FUNCTION_LIST_DIR}/HalvorneRun.cmake"
      -- "$<TARGET_FILE:${program}>" -o "${output}" --depfile "${output}.d.raw" "${description}"
    DEPENDS "${input}" "$<TARGET_FILE:${program}>"
    BYPRODUCTS "${output}.d"
    DEPFILE "${output}.d"
    WORKING_DIRECTORY "${folder}"
    COMMENT "Compiling resource table ${shown}"
    VERBATIM)
endfunction()

# halvorne_add_c_array(OUTPUT <file.c> INPUT <file>
#     TOOL huecast|huemap|huetile|keyedbin [NAME <identifier>] [KEY <keyfile>] [ARGS ...])
# Writes C source from a file with one of the kit's converters:
#   huecast   a PPM image's colour values as bare initialisers (no NAME);
#   huemap    a PPM image of up to 256 colours as <NAME>_Texel and <NAME>_Palette;
#   huetile   a palette and 8x8 tiles as <NAME>_Palette and <NAME>_Texel
#             (ARGS: -c 4 for 4-bit indexes, -p or -i for one part);
#   keyedbin  the file encrypted with RC4 under KEY, as an array named after
#             the output file (ARGS: -t2 or -t4 for u16 or u32 elements, -A4).
# NAME defaults to the output's file name without its extension.
function(halvorne_add_c_array)
  cmake_parse_arguments(PARSE_ARGV 0 A "" "OUTPUT;INPUT;TOOL;NAME;KEY" "ARGS")
  _halvorne_check_arguments(halvorne_add_c_array A OUTPUT INPUT TOOL)
  set(tools huecast huemap huetile keyedbin)
  if(NOT A_TOOL IN_LIST tools)
    string(JOIN ", " tools ${tools})
    _halvorne_fail(halvorne_add_c_array "TOOL ${A_TOOL} is none of ${tools}")
  endif()
  _halvorne_program(program halvorne_add_c_array ${A_TOOL})
  _halvorne_output(output "${A_OUTPUT}")
  _halvorne_input(input "${A_INPUT}")
  cmake_path(GET output STEM LAST_ONLY stem)
  if(DEFINED A_NAME AND A_TOOL STREQUAL "huecast")
    _halvorne_fail(halvorne_add_c_array "huecast writes bare initialisers: it takes no NAME")
  endif()
  if(DEFINED A_NAME AND A_TOOL STREQUAL "keyedbin" AND NOT A_NAME STREQUAL stem)
    _halvorne_fail(halvorne_add_c_array "keyedbin names its array after the output file: "
      "name the output ${A_NAME}.c instead")
  endif()
  if(NOT DEFINED A_NAME)
    set(A_NAME "${stem}")
  endif()
  if(DEFINED A_KEY AND NOT A_TOOL STREQUAL "keyedbin")
    _halvorne_fail(halvorne_add_c_array "KEY is for keyedbin, not ${A_TOOL}")
  endif()
  if(A_TOOL MATCHES "^hue(cast|map)$" AND DEFINED A_ARGS)
    _halvorne_fail(halvorne_add_c_array "${A_TOOL} takes no ARGS")
  endif()

  # The input is named relative to its folder: huecast and huemap write its
  # name into their output.
  _halvorne_folder_of(folder "${input}")
  _halvorne_argument(source "${input}" "${folder}")
  set(depends "${input}")
  if(A_TOOL STREQUAL "huecast")
    set(command "$<TARGET_FILE:${program}>" "${source}")
  elseif(A_TOOL STREQUAL "huemap")
    set(command "$<TARGET_FILE:${program}>" "${source}" "${A_NAME}")
  elseif(A_TOOL STREQUAL "huetile")
    set(command ${program} -a "${A_NAME}" ${A_ARGS} "${source}" "${output}")
  else()
    if(NOT DEFINED A_KEY)
      _halvorne_fail(halvorne_add_c_array "keyedbin needs KEY <keyfile>")
    endif()
    _halvorne_input(key "${A_KEY}")
    _halvorne_argument(key_argument "${key}" "${folder}")
    list(APPEND depends "${key}")
    # C text of u8 elements unless ARGS choose the width.
    set(width -t)
    foreach(argument IN LISTS A_ARGS)
      if(argument MATCHES "^-t")
        set(width "")
      endif()
    endforeach()
    set(command ${program} -s ${width} ${A_ARGS} -o "${output}" "${source}" "${key_argument}")
  endif()
  # The two that write to standard output go through a step that keeps
  # the output only when the program succeeds.
  if(A_TOOL MATCHES "^hue(cast|map)$")
    set(command "${CMAKE_COMMAND}" "-DSTDOUT=${output}"
      -P "${CMAKE_CURRENT_FUNCTION_LIST_DIR}/HalvorneRun.cmake" -- ${command})
  endif()

  _halvorne_shown(shown "${output}")
  add_custom_command(OUTPUT "${output}"
    COMMAND ${command}
    DEPENDS ${depends} "$<TARGET_FILE:${program}>"
    WORKING_DIRECTORY "${folder}"
    COMMENT "Writing C array ${shown} with ${A_TOOL}"
    VERBATIM)
endfunction()

# halvorne_add_buried_args(OUTPUT <srl> IMAGE <srl> [ZYR] ARGS ...)
# Writes a copy of a ROM image whose argument area holds ARGS, after the
# image's file name, with parmsink (parmsink.ZYR for a ZYR image). The image
# itself is never changed.
function(halvorne_add_buried_args)
  cmake_parse_arguments(PARSE_ARGV 0 B "ZYR" "OUTPUT;IMAGE" "ARGS")
  _halvorne_check_arguments(halvorne_add_buried_args B OUTPUT IMAGE)
  if(B_ZYR)
    _halvorne_program(program halvorne_add_buried_args parmsink.ZYR)
  else()
    _halvorne_program(program halvorne_add_buried_args parmsink)
  endif()
  _halvorne_output(output "${B_OUTPUT}")
  _halvorne_input(image "${B_IMAGE}")
  _halvorne_shown(shown "${output}")
  # The output is absolute, so it never begins with "-" (standard output).
  add_custom_command(OUTPUT "${output}"
    COMMAND ${program} -q -o "${output}" "${image}" ${B_ARGS}
    DEPENDS "${image}" "$<TARGET_FILE:${program}>"
    COMMENT "Burying arguments in ${shown}"
    VERBATIM)
endfunction()
