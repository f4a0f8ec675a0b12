# Runs every fingerprint program, once as it is and once with the C library told to use its code for
# processors without fused multiply-add, and compares each output with the recorded one, byte for
# byte. After a deliberate change to the physics, copy the baseline's output (the .out file in the
# build's test folder) over recorded_fingerprint.txt.
file(READ ${RECORDED} recorded)
foreach(run ${RUNS})
  get_filename_component(name ${run} NAME)
  foreach(variant plain older-cpu)
    if(variant STREQUAL "older-cpu")
      set(ENV{GLIBC_TUNABLES} "glibc.cpu.hwcaps=-AVX2,-FMA,-AVX2_Usable,-FMA_Usable")
    else()
      unset(ENV{GLIBC_TUNABLES})
    endif()
    execute_process(COMMAND ${run} OUTPUT_VARIABLE output RESULT_VARIABLE rc)
    file(WRITE ${OUT}/${name}.${variant}.out "${output}")
    if(NOT rc EQUAL 0)
      message(FATAL_ERROR "${name} (${variant}) failed with ${rc}")
    endif()
    if(NOT output STREQUAL recorded)
      message(FATAL_ERROR "${name} (${variant}) differs from the recorded result: "
                          "diff ${RECORDED} ${OUT}/${name}.${variant}.out")
    endif()
    message(STATUS "${name} (${variant}): identical to the recorded result")
  endforeach()
endforeach()
