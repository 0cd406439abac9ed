# Fails unless every dynamic symbol that LIBRARY defines is a quavix_ function (20 at least).
#   cmake -DNM=nm -DLIBRARY=libquavix.so -P check_exports.cmake
execute_process(COMMAND ${NM} -D --defined-only ${LIBRARY} OUTPUT_VARIABLE listing RESULT_VARIABLE status)
string(REGEX REPLACE "[^\n]* ([^ \n]+)\n" "\\1;" symbols "${listing}")
string(REGEX REPLACE ";$" "" symbols "${symbols}")
list(LENGTH symbols count)
list(FILTER symbols EXCLUDE REGEX "^quavix_[a-z0-9_]+$")
if(NOT status EQUAL 0 OR symbols OR count LESS 20)
  message(FATAL_ERROR "${LIBRARY} (status ${status}, ${count} symbols) exports others: ${symbols}")
endif()
message(STATUS "${count} symbols, all quavix_")
