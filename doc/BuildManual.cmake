# Converts the manual's manuscript to the export XML, then the XML to the HTML manual.
# Called with -DCONVERT -DPYTHON -DSCRIPT -DSOURCE -DXML -DOUTPUT.
execute_process(COMMAND ${CONVERT} --xml -o ${XML} ${SOURCE} RESULT_VARIABLE converted)
if(NOT converted EQUAL 0)
  message(FATAL_ERROR "quirtle-convert failed on ${SOURCE}")
endif()
execute_process(COMMAND ${PYTHON} ${SCRIPT} -o ${OUTPUT} INPUT_FILE ${XML}
  RESULT_VARIABLE rendered)
if(NOT rendered EQUAL 0)
  message(FATAL_ERROR "the HTML export script failed on the manual")
endif()
