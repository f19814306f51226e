# Runs parser on a rich description and compiles the C it writes.
file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK})
configure_file(${DATA}/rich.res ${WORK}/rich.res COPYONLY)
configure_file(${DATA}/rich_blob.txt ${WORK}/rich_blob.txt COPYONLY)
execute_process(COMMAND ${PARSER} -o rich.c rich.res WORKING_DIRECTORY ${WORK} RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "parser failed: ${status}")
endif()
execute_process(COMMAND ${CC} -std=c99 -pedantic-errors -Wall -Wextra -Werror -Wno-missing-braces
                        -Wno-missing-field-initializers -I${KIT_HEADER_DIR} -c rich.c -o rich.o
                WORKING_DIRECTORY ${WORK} RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "the generated C does not compile")
endif()
