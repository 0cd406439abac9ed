# Installs libquavix from BUILD_DIR under WORK_DIR/prefix, then runs one binding's test:
#   BINDING=c       tests/consumer/coin.c built against it through find_package, pkg-config and
#                   the static library, each writing the bytes of REFERENCE_CLI's coin of seed 1;
#                   a plug-in, the consumer's own flags, and the README's library example
#   BINDING=python  the package built and installed as its README says, its pytest tests, the
#                   README's blocks, the examples and the table of agreement_cases.json
#   BINDING=sdl2    the SDL2 example built over the installed library, played to a file
#   BINDING=love    the LÖVE module's test, its example and README block in LÖVE without
#                   window or sound card, and its answers to the cross-binding cases
cmake_minimum_required(VERSION 3.25)
set(prefix ${WORK_DIR}/prefix)
file(REMOVE_RECURSE ${WORK_DIR})
function(run)
  execute_process(COMMAND ${ARGN} COMMAND_ERROR_IS_FATAL ANY)
endfunction()
run(${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${prefix})
set(library ${prefix}/lib/libquavix.so.1)

if(BINDING STREQUAL "c")
  set(consumer ${SOURCE_DIR}/tests/consumer)
  run(${REFERENCE_CLI} render --preset coin --seed 1 -o ${WORK_DIR}/expected.wav)
  run(${CMAKE_COMMAND} -S ${consumer} -B ${WORK_DIR}/build -G Ninja
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
  run(${C_COMPILER} -std=c99 ${consumer}/coin.c ${pc_flags} -Wl,-rpath,${pc_libdir}
      -o ${WORK_DIR}/build/coin-pc-line)
  unset(ENV{LD_LIBRARY_PATH})
  # A plain C program links the static library with the line the README gives.
  run(${C_COMPILER} -std=c99 -I${prefix}/include ${consumer}/coin.c
      ${prefix}/lib/libquavix.a -lstdc++ -lm -o ${WORK_DIR}/build/coin-static)
  # A plug-in linking it statically exports none of its functions.
  run(${C_COMPILER} -std=c99 -shared -fPIC -I${prefix}/include ${consumer}/plugin.c
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
  file(READ ${SOURCE_DIR}/README.md readme)
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

  # The README's pkg-config lines, as written but for the installation's place: quavix needs
  # libquavix.so.1 at run time, quavix-static stands alone and prints the same.
  string(REGEX MATCH "\n    export PKG_CONFIG_PATH=[^\n]*(\n    cc [^\n]*)+" pc_block "${readme}")
  if(NOT pc_block)
    message(FATAL_ERROR "README.md: no pkg-config lines")
  endif()
  string(REPLACE "\n    " "\n" pc_block "${pc_block}")
  string(REPLACE "/opt/quavix" "${prefix}" pc_block "${pc_block}")
  file(WRITE ${WORK_DIR}/build/pc_lines.sh "set -e${pc_block}\n")
  file(COPY_FILE ${WORK_DIR}/readme_example.c ${WORK_DIR}/build/laser.c)
  unset(ENV{PKG_CONFIG_PATH})
  run(${CMAKE_COMMAND} -E chdir ${WORK_DIR}/build sh pc_lines.sh)
  foreach(program laser laser-static)
    execute_process(COMMAND readelf -d ${WORK_DIR}/build/${program} OUTPUT_VARIABLE dynamic
                    COMMAND_ERROR_IS_FATAL ANY)
    string(FIND "${dynamic}" "libquavix.so.1" at)
    if(program STREQUAL "laser" AND at LESS 0)
      message(FATAL_ERROR "laser does not link the shared library:\n${dynamic}")
    elseif(program STREQUAL "laser-static" AND at GREATER_EQUAL 0)
      message(FATAL_ERROR "laser-static links the shared library:\n${dynamic}")
    endif()
  endforeach()
  execute_process(COMMAND ${WORK_DIR}/build/laser-static OUTPUT_VARIABLE output COMMAND_ERROR_IS_FATAL ANY)
  string(STRIP "${output}" output)
  if(NOT output STREQUAL printed)
    message(FATAL_ERROR "the statically linked README example prints\n${output}")
  endif()
elseif(BINDING STREQUAL "python")
  # As python/README.md says: its install lines, as written, in the top folder of a copy of the
  # sources (so that the build's files stay out of the tree), python3 being Debian's Python,
  # without a network and without QUAVIX_LIBRARY: the package builds and carries its library.
  set(copy ${WORK_DIR}/source)
  set(venv ${copy}/venv)
  file(COPY ${SOURCE_DIR}/ DESTINATION ${copy} PATTERN .git EXCLUDE PATTERN build EXCLUDE
       PATTERN node_modules EXCLUDE PATTERN __pycache__ EXCLUDE)
  file(WRITE ${WORK_DIR}/bin/python3 "#!/bin/sh\nexec ${PYTHON} \"$@\"\n")
  file(CHMOD ${WORK_DIR}/bin/python3 PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE)
  set(ENV{PATH} "${WORK_DIR}/bin:$ENV{PATH}")
  set(ENV{PIP_NO_INDEX} 1)
  unset(ENV{QUAVIX_LIBRARY})
  set(readme ${SOURCE_DIR}/tests/bindings/readme_examples.py run ${copy}/python/README.md)
  run(${CMAKE_COMMAND} -E chdir ${copy} ${PYTHON} ${readme} sh sh -e)
  run(${CMAKE_COMMAND} -E env QUAVIX_CLI=${REFERENCE_CLI}
      QUAVIX_REFERENCE_SOUNDS=${SOURCE_DIR}/tests/reference_sounds.txt
      ${venv}/bin/python -m pytest -q -p no:cacheprovider ${copy}/python/tests)
  # The README's Python blocks, then its example, run as a game would run them; the example's
  # coin.wav is the tool's.
  file(MAKE_DIRECTORY ${WORK_DIR}/readme)
  run(${CMAKE_COMMAND} -E chdir ${WORK_DIR}/readme ${CMAKE_COMMAND} -E env SDL_AUDIODRIVER=dummy
      ${PYTHON} ${readme} python ${venv}/bin/python)
  run(${CMAKE_COMMAND} -E chdir ${WORK_DIR} ${venv}/bin/python ${SOURCE_DIR}/examples/python/coin.py)
  run(${REFERENCE_CLI} render --preset coin --seed 1 -o ${WORK_DIR}/expected.wav)
  run(${CMAKE_COMMAND} -E compare_files ${WORK_DIR}/expected.wav ${WORK_DIR}/coin.wav)
  # The pygame example, to SDL's disk audio driver: the tool's samples, with silence between.
  run(${CMAKE_COMMAND} -E env PATH=${venv}/bin:$ENV{PATH} ${PYTHON} ${SOURCE_DIR}/tests/bindings/players.py
      sdl2 ${SOURCE_DIR}/examples/python/pygame_demo.py ${REFERENCE_CLI} ${WORK_DIR}/pygame)
  # The table every binding answers as the tool does.
  run(${PYTHON} ${SOURCE_DIR}/tests/bindings/agreement.py ${REFERENCE_CLI} ${venv}/bin/python
      ${SOURCE_DIR}/tests/bindings/agree_python.py {cases})
elseif(BINDING STREQUAL "sdl2")
  run(${CMAKE_COMMAND} -S ${SOURCE_DIR}/examples/sdl2 -B ${WORK_DIR}/build -G Ninja
      -DCMAKE_PREFIX_PATH=${prefix} -DCMAKE_BUILD_TYPE=Release)
  run(${CMAKE_COMMAND} --build ${WORK_DIR}/build)
  run(${PYTHON} ${SOURCE_DIR}/tests/bindings/players.py sdl2 ${WORK_DIR}/build/quavix-sdl2
      ${REFERENCE_CLI} ${WORK_DIR})
elseif(BINDING STREQUAL "love")
  set(love_env QUAVIX_LIBRARY=${library} ALSOFT_DRIVERS=null XDG_RUNTIME_DIR=${WORK_DIR} HOME=${WORK_DIR}
      XDG_DATA_HOME=${WORK_DIR}/data)
  run(${CMAKE_COMMAND} -E env ${love_env}
      ${PYTHON} ${SOURCE_DIR}/tests/bindings/players.py love ${SOURCE_DIR} ${REFERENCE_CLI} ${WORK_DIR})
  # The cross-binding cases, answered by the module as the tool answers them; LÖVE killed
  # after 120 s, as its error screen outlives SIGTERM.
  run(${CMAKE_COMMAND} -E env ${love_env} ${PYTHON} ${SOURCE_DIR}/tests/bindings/agreement.py ${REFERENCE_CLI}
      timeout -s KILL 120 love ${SOURCE_DIR}/tests/bindings/love/agree {cases} {out})
else()
  message(FATAL_ERROR "unknown BINDING ${BINDING}")
endif()
