# Runs a Qt Test program of the Windows build under wine and prints its log. A Windows
# program without a console writes Qt Test's log as debug messages, so it goes to a file.
#   cmake -DEMULATOR=wine64 -DPROGRAM=Test.exe -DLOG=Test.txt [-DARGUMENTS=a\;b] -P RunQtTest.cmake
file(REMOVE ${LOG})
execute_process(COMMAND ${EMULATOR} ${PROGRAM} ${ARGUMENTS} -o ${LOG},txt RESULT_VARIABLE result)
if(EXISTS ${LOG})
  file(READ ${LOG} log)
  message("${log}")
endif()
if(NOT result EQUAL 0)
  message(FATAL_ERROR "${PROGRAM} ended with ${result}")
endif()
