# Fails when the test binary BINARY needs the Qt Widgets library: the layers it tests
# must work without any widget.
execute_process(COMMAND ldd ${BINARY} OUTPUT_VARIABLE libraries RESULT_VARIABLE failed)
if(failed)
  message(FATAL_ERROR "ldd ${BINARY} failed")
endif()
string(FIND "${libraries}" "libQt6Widgets" found)
if(NOT found EQUAL -1)
  message(FATAL_ERROR "${BINARY} links Qt Widgets")
endif()
