# Runs two programs and fails unless both succeed and print the same.
#   cmake -DFIRST=<program> -DSECOND=<program> -P compare_outputs.cmake
foreach(program IN ITEMS FIRST SECOND)
  execute_process(COMMAND ${${program}} OUTPUT_VARIABLE ${program}_output
                  RESULT_VARIABLE ${program}_result)
  if(NOT ${program}_result EQUAL 0)
    message(FATAL_ERROR "${${program}} failed (${${program}_result}):\n${${program}_output}")
  endif()
endforeach()
if(NOT FIRST_output STREQUAL SECOND_output)
  message(FATAL_ERROR "The outputs differ.\n--- ${FIRST}\n${FIRST_output}\n--- ${SECOND}\n${SECOND_output}")
endif()
message(STATUS "Same output:\n${FIRST_output}")
