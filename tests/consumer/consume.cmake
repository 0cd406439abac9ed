# Installs libquavix from BUILD_DIR into a scratch prefix under WORK_DIR, then
# builds coin.c against the installed tree twice, through find_package(Quavix)
# and through pkg-config, and checks that both write the bytes of REFERENCE_CLI
# "render --preset coin --seed 1".
#   cmake -DBUILD_DIR=... -DWORK_DIR=... -DREFERENCE_CLI=... -DC_COMPILER=... -P consume.cmake
cmake_minimum_required(VERSION 3.25)
set(source ${CMAKE_CURRENT_LIST_DIR})
set(prefix ${WORK_DIR}/prefix)
file(REMOVE_RECURSE ${WORK_DIR})

function(run)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "failed (${status}): ${ARGN}\n${out}\n${err}")
  endif()
  set(run_output "${out}" PARENT_SCOPE)
endfunction()

run(${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${prefix})
run(${REFERENCE_CLI} render --preset coin --seed 1 -o ${WORK_DIR}/expected.wav)

# 1. CMake package.
run(${CMAKE_COMMAND} -S ${source} -B ${WORK_DIR}/cmake-build -G Ninja
    -DCMAKE_PREFIX_PATH=${prefix} -DCMAKE_C_COMPILER=${C_COMPILER} -DCMAKE_BUILD_TYPE=Release)
run(${CMAKE_COMMAND} --build ${WORK_DIR}/cmake-build)
run(${WORK_DIR}/cmake-build/coin ${WORK_DIR}/cmake.wav)
message(STATUS "find_package build: ${run_output}")

# 2. pkg-config.
file(GLOB pc_dirs ${prefix}/lib*/pkgconfig ${prefix}/lib/*/pkgconfig)
set(ENV{PKG_CONFIG_PATH} "${pc_dirs}")
run(pkg-config --cflags --libs quavix)
separate_arguments(flags UNIX_COMMAND "${run_output}")
run(${C_COMPILER} -std=c99 -Wall -Wextra -Werror ${source}/coin.c ${flags} -o ${WORK_DIR}/coin-pc)
list(FILTER flags INCLUDE REGEX "^-L")
list(TRANSFORM flags REPLACE "^-L" "")
run(${CMAKE_COMMAND} -E env LD_LIBRARY_PATH=${flags} ${WORK_DIR}/coin-pc ${WORK_DIR}/pkg-config.wav)
message(STATUS "pkg-config build: ${run_output}")

foreach(wav cmake.wav pkg-config.wav)
  execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files ${WORK_DIR}/expected.wav ${WORK_DIR}/${wav}
                  RESULT_VARIABLE differ)
  if(NOT differ EQUAL 0)
    message(FATAL_ERROR "${wav} differs from the tool's render of the same sound")
  endif()
endforeach()
