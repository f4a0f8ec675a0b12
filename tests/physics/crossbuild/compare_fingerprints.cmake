# Runs every fingerprint program and compares each output with the recorded one, byte for byte.
# After a deliberate change to the physics, copy the baseline's output (the .out file beside the
# build's test folder) over recorded_fingerprint.txt.
file(READ ${RECORDED} recorded)
foreach(run ${RUNS})
  get_filename_component(name ${run} NAME)
  execute_process(COMMAND ${run} OUTPUT_VARIABLE output RESULT_VARIABLE rc)
  file(WRITE ${OUT}/${name}.out "${output}")
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "${name} failed with ${rc}")
  endif()
  if(NOT output STREQUAL recorded)
    message(FATAL_ERROR "${name} differs from the recorded result: diff ${RECORDED} ${OUT}/${name}.out")
  endif()
  message(STATUS "${name}: identical to the recorded result")
endforeach()
