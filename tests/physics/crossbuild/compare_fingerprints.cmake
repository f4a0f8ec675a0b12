# Runs one fingerprint program (RUN) with the frame lengths FRAMES, as it is (VARIANT plain) or with
# the C library told to use its code for processors without fused multiply-add (older-cpu), and
# compares its output with the recorded one, byte for byte. After a deliberate change to the physics,
# copy the baseline's output (baseline.out in the build's test folder) over recorded_fingerprint.txt.
file(READ ${RECORDED} recorded)
if(VARIANT STREQUAL "older-cpu")
  set(ENV{GLIBC_TUNABLES} "glibc.cpu.hwcaps=-AVX2,-FMA,-AVX2_Usable,-FMA_Usable")
else()
  unset(ENV{GLIBC_TUNABLES})
endif()
execute_process(COMMAND ${RUN} ${FRAMES} OUTPUT_VARIABLE output RESULT_VARIABLE rc)
file(WRITE ${OUT} "${output}")
get_filename_component(name ${RUN} NAME)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "${name} (${VARIANT}, frames ${FRAMES}) failed with ${rc}")
endif()
if(NOT output STREQUAL recorded)
  message(FATAL_ERROR "${name} (${VARIANT}, frames ${FRAMES}) differs from the recorded result: "
                      "diff ${RECORDED} ${OUT}")
endif()
message(STATUS "${name} (${VARIANT}, frames ${FRAMES}): identical to the recorded result")
