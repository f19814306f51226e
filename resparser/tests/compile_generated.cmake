# Runs parser on a rich description and on an empty one, and compiles the C
# each writes, as a game's build would.
file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK})
configure_file(${DATA}/rich.res ${WORK}/rich.res COPYONLY)
configure_file(${DATA}/rich_blob.txt ${WORK}/rich_blob.txt COPYONLY)
file(WRITE ${WORK}/empty.res "")
foreach(name rich empty)
  execute_process(COMMAND ${PARSER} -o ${name}.c ${name}.res WORKING_DIRECTORY ${WORK} RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "parser failed on ${name}.res: ${status}")
  endif()
  execute_process(COMMAND ${CC} -std=c99 -pedantic-errors -Wall -Wextra -Werror -Wno-missing-braces
                          -Wno-missing-field-initializers -I${KIT_HEADER_DIR} -c ${name}.c -o ${name}.o
                  WORKING_DIRECTORY ${WORK} RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "the C generated from ${name}.res does not compile")
  endif()
endforeach()
