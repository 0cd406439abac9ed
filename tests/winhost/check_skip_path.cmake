# Runs the Wine test with QUAVIX_NO_32BIT=1 through CTest: it must be reported as skipped, with
# its reason, and not as passed. Inputs: CTEST, BUILD.
set(ENV{QUAVIX_NO_32BIT} 1)
execute_process(COMMAND ${CTEST} --test-dir ${BUILD} -R "^winhost\\.module$" -V
  OUTPUT_VARIABLE out ERROR_VARIABLE err RESULT_VARIABLE rc)
if(NOT rc EQUAL 0 OR NOT out MATCHES "winhost\\.module \\(Skipped\\)"
   OR NOT out MATCHES "wine-run: skipped: QUAVIX_NO_32BIT=1" OR out MATCHES "winhost\\.module[ .]*Passed")
  message(FATAL_ERROR "winhost.module was not skipped with its reason (ctest ${rc}):\n${out}${err}")
endif()
