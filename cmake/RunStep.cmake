# run_step(<what> <command>...): runs a command of a test script; its standard
# output in step_output, or a stop with everything it printed when it fails.
function(run_step what)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "${what} failed (${status}):\n${out}\n${err}")
  endif()
  set(step_output "${out}" PARENT_SCOPE)
endfunction()

# build_host_program(<source> <build folder> <configure arguments>...):
# configures (with the caller's GENERATOR) and builds a test's host program.
function(build_host_program source build)
  run_step("configure the host program" ${CMAKE_COMMAND} -S "${source}" -B "${build}" -G "${GENERATOR}" ${ARGN})
  run_step("build the host program" ${CMAKE_COMMAND} --build "${build}")
endfunction()

# program_start(<program> <arguments variable> <text variable>): how a
# program of the kit shows that it started: the arguments to run it with and
# a text its usage or version line holds (its name; aescli has no usage and
# answers a run without options with its own line).
function(program_start program args_var text_var)
  set(args_huetile -h)
  set(args_bootcast --version)
  set(text_aescli "cipher mode not specified")
  set(${args_var} "${args_${program}}" PARENT_SCOPE)
  if(DEFINED text_${program})
    set(${text_var} "${text_${program}}" PARENT_SCOPE)
  else()
    set(${text_var} "${program}" PARENT_SCOPE)
  endif()
endfunction()

# sanitizer_flags(<variable>): the compile and link flags of a host program
# built beside a sanitizer build (SANITIZE names the sanitizers), else empty.
function(sanitizer_flags variable)
  set(flags "")
  if(SANITIZE)
    set(flags "-fsanitize=${SANITIZE}")
  endif()
  set(${variable} "${flags}" PARENT_SCOPE)
endfunction()

# require_programs(<programs> <what>): stops unless every program of the
# comma-separated REQUIRED_PROGRAMS is in the list <programs>.
function(require_programs programs what)
  string(REPLACE "," ";" required "${REQUIRED_PROGRAMS}")
  foreach(program IN LISTS required)
    if(NOT program IN_LIST programs)
      message(FATAL_ERROR "the ${what} lacks the program ${program} (it has: ${programs})")
    endif()
  endforeach()
endfunction()

# run_host_program(<what> <expected output> <command>...): runs a step as
# run_step does and stops unless it printed exactly <expected output> (a
# Windows program's CR LF read as LF).
function(run_host_program what expected)
  run_step("${what}" ${ARGN})
  string(REPLACE "\r\n" "\n" printed "${step_output}")
  if(NOT printed STREQUAL expected)
    message(FATAL_ERROR "${what}: it printed ${printed}")
  endif()
endfunction()
