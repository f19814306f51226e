# Renders one manual page as plain text for the Windows kit, which has no man:
#   cmake -DGROFF=groff -DPAGE=man1/tool.1 -DOUT=tool.1.txt -P man_to_text.cmake
get_filename_component(folder "${OUT}" DIRECTORY)
file(MAKE_DIRECTORY "${folder}")
execute_process(COMMAND ${GROFF} -man -Tascii -P-cbou "${PAGE}"
  OUTPUT_FILE "${OUT}" RESULT_VARIABLE status ERROR_VARIABLE err)
if(NOT status EQUAL 0 OR err)
  file(REMOVE "${OUT}")
  message(FATAL_ERROR "groff could not render ${PAGE} (${status}): ${err}")
endif()
