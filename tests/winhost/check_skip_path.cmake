# Runs the Wine test with QUAVIX_NO_32BIT=1 through CTest and requires CTest
# to report it as skipped, with the reason in its output, and not as passed.
# Inputs: CTEST, BUILD.
set(ENV{QUAVIX_NO_32BIT} 1)
execute_process(
  COMMAND ${CTEST} --test-dir ${BUILD} -R "^winhost\\.module$" -V
  OUTPUT_VARIABLE out ERROR_VARIABLE err RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "ctest failed (${rc}):\n${out}${err}")
endif()
if(NOT out MATCHES "winhost\\.module \\(Skipped\\)")
  message(FATAL_ERROR "winhost.module was not reported as skipped:\n${out}")
endif()
if(NOT out MATCHES "wine-run: skipped: QUAVIX_NO_32BIT=1")
  message(FATAL_ERROR "the skip gives no reason:\n${out}")
endif()
if(out MATCHES "winhost\\.module[ .]*Passed")
  message(FATAL_ERROR "winhost.module was reported as passed:\n${out}")
endif()
message(STATUS "winhost.module is skipped, with its reason, when forced")
