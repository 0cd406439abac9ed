# Installs libquavix from BUILD_DIR under WORK_DIR, builds coin.c against it through find_package
# and through pkg-config, and checks both write the bytes of REFERENCE_CLI's coin of seed 1.
cmake_minimum_required(VERSION 3.25)
set(prefix ${WORK_DIR}/prefix)
file(REMOVE_RECURSE ${WORK_DIR})
function(run)
  execute_process(COMMAND ${ARGN} COMMAND_ERROR_IS_FATAL ANY)
endfunction()

run(${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${prefix})
run(${REFERENCE_CLI} render --preset coin --seed 1 -o ${WORK_DIR}/expected.wav)
run(${CMAKE_COMMAND} -S ${CMAKE_CURRENT_LIST_DIR} -B ${WORK_DIR}/build -G Ninja
    -DCMAKE_PREFIX_PATH=${prefix} -DCMAKE_C_COMPILER=${C_COMPILER} -DCMAKE_BUILD_TYPE=Release)
run(${CMAKE_COMMAND} --build ${WORK_DIR}/build)
# The README's pkg-config line with its run path: the program runs without LD_LIBRARY_PATH.
set(ENV{PKG_CONFIG_PATH} ${prefix}/lib/pkgconfig)
foreach(query "--cflags;--libs" "--variable=libdir")
  execute_process(COMMAND pkg-config ${query} quavix OUTPUT_VARIABLE answer
                  OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
  list(APPEND pc_answers "${answer}")
endforeach()
list(GET pc_answers 0 pc_flags)
list(GET pc_answers 1 pc_libdir)
separate_arguments(pc_flags UNIX_COMMAND "${pc_flags}")
run(${C_COMPILER} -std=c99 ${CMAKE_CURRENT_LIST_DIR}/coin.c ${pc_flags} -Wl,-rpath,${pc_libdir}
    -o ${WORK_DIR}/build/coin-pc-line)
unset(ENV{LD_LIBRARY_PATH})
# A plain C program links the static library with the line the README gives.
run(${C_COMPILER} -std=c99 -I${prefix}/include ${CMAKE_CURRENT_LIST_DIR}/coin.c
    ${prefix}/lib/libquavix.a -lstdc++ -lm -o ${WORK_DIR}/build/coin-static)
# A plug-in linking it statically exports none of its functions.
run(${C_COMPILER} -std=c99 -shared -fPIC -I${prefix}/include ${CMAKE_CURRENT_LIST_DIR}/plugin.c
    ${prefix}/lib/libquavix.a -lstdc++ -lm -o ${WORK_DIR}/build/plugin.so)
execute_process(COMMAND nm -D --defined-only ${WORK_DIR}/build/plugin.so
                OUTPUT_VARIABLE exported COMMAND_ERROR_IS_FATAL ANY)
if(NOT exported MATCHES "plugin_coin_length" OR exported MATCHES "quavix_")
  message(FATAL_ERROR "the plug-in exports:\n${exported}")
endif()
run(${WORK_DIR}/build/own-flags)
foreach(program coin coin-pc coin-pc-line coin-static)
  run(${WORK_DIR}/build/${program} ${WORK_DIR}/${program}.wav)
  run(${CMAKE_COMMAND} -E compare_files ${WORK_DIR}/expected.wav ${WORK_DIR}/${program}.wav)
endforeach()

# The README's library example, as a reader copies it, prints what the README says it prints.
file(READ ${CMAKE_CURRENT_LIST_DIR}/../../README.md readme)
string(FIND "${readme}" "\n    #include <quavix/quavix.h>\n" start)
string(FIND "${readme}" "\nprints\n\n" middle)
if(start LESS 0 OR middle LESS start)
  message(FATAL_ERROR "README.md: no library example followed by what it prints")
endif()
math(EXPR length "${middle} - ${start}")
string(SUBSTRING "${readme}" ${start} ${length} example)
math(EXPR after "${middle} + 9")
string(SUBSTRING "${readme}" ${after} -1 printed)
string(FIND "${printed}" "\n\n" end)
string(SUBSTRING "${printed}" 0 ${end} printed)
string(REGEX REPLACE "\n    " "\n" example "${example}")
string(REGEX REPLACE "^    " "" printed "${printed}")
string(REGEX REPLACE "\n    " "\n" printed "${printed}")
file(WRITE ${WORK_DIR}/readme_example.c "${example}")
run(${C_COMPILER} -std=c99 -Wall -Werror ${WORK_DIR}/readme_example.c ${pc_flags} -Wl,-rpath,${pc_libdir}
    -o ${WORK_DIR}/build/readme-example)
execute_process(COMMAND ${WORK_DIR}/build/readme-example OUTPUT_VARIABLE output COMMAND_ERROR_IS_FATAL ANY)
string(STRIP "${output}" output)
string(STRIP "${printed}" printed)
if(NOT output STREQUAL printed)
  message(FATAL_ERROR "the README's library example prints\n${output}\nwhere the README says\n${printed}")
endif()
