file(REMOVE_RECURSE "${WORK}")
file(MAKE_DIRECTORY "${WORK}")
execute_process(
  COMMAND "${XVFB_RUN}" -a -s "-screen 0 1024x768x24" "${PROGRAM}" --device=sim --demo 3 --grab "${WORK}/window.png"
  RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err TIMEOUT 90)
if(NOT rc EQUAL 0 OR NOT out MATCHES "client 729x402")
  message(FATAL_ERROR "program: ${rc}\n${out}\n${err}")
endif()
execute_process(COMMAND "${CHECK}" "${WORK}/window.png" 729 00FF00 200 RESULT_VARIABLE rc OUTPUT_VARIABLE out)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "picture: ${out}")
endif()
