# Installs libquavix from BUILD_DIR under WORK_DIR/prefix, then runs one binding's test:
#   BINDING=python  the package in a virtual environment and its pytest tests
#   BINDING=sdl2    the SDL2 example built over the installed library, played to a file
#   BINDING=love    the LÖVE example and its test in LÖVE without window or sound card
cmake_minimum_required(VERSION 3.25)
set(prefix ${WORK_DIR}/prefix)
file(REMOVE_RECURSE ${WORK_DIR})
function(run)
  execute_process(COMMAND ${ARGN} COMMAND_ERROR_IS_FATAL ANY)
endfunction()
run(${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${prefix})
set(library ${prefix}/lib/libquavix.so.1)

if(BINDING STREQUAL "python")
  # As the README says: a virtual environment that sees Debian's NumPy, then pip without build isolation.
  run(${PYTHON} -m venv --system-site-packages ${WORK_DIR}/venv)
  # From a copy, so that the build's files stay out of the source tree.
  file(COPY ${SOURCE_DIR}/python DESTINATION ${WORK_DIR} PATTERN __pycache__ EXCLUDE)
  run(${WORK_DIR}/venv/bin/python -m pip install --quiet --no-index --no-build-isolation
      ${WORK_DIR}/python)
  run(${CMAKE_COMMAND} -E env QUAVIX_LIBRARY=${library} QUAVIX_CLI=${REFERENCE_CLI}
      QUAVIX_REFERENCE_SOUNDS=${SOURCE_DIR}/tests/reference_sounds.txt
      ${WORK_DIR}/venv/bin/python -m pytest -q -p no:cacheprovider ${WORK_DIR}/python/tests)
  # The README's example, run as a game would run it, from the installed package.
  run(${CMAKE_COMMAND} -E chdir ${WORK_DIR} ${CMAKE_COMMAND} -E env QUAVIX_LIBRARY=${library}
      ${WORK_DIR}/venv/bin/python ${SOURCE_DIR}/examples/python/coin.py)
  run(${REFERENCE_CLI} render --preset coin --seed 1 -o ${WORK_DIR}/expected.wav)
  run(${CMAKE_COMMAND} -E compare_files ${WORK_DIR}/expected.wav ${WORK_DIR}/coin.wav)
elseif(BINDING STREQUAL "sdl2")
  run(${CMAKE_COMMAND} -S ${SOURCE_DIR}/examples/sdl2 -B ${WORK_DIR}/build -G Ninja
      -DCMAKE_PREFIX_PATH=${prefix} -DCMAKE_BUILD_TYPE=Release)
  run(${CMAKE_COMMAND} --build ${WORK_DIR}/build)
  run(${PYTHON} ${SOURCE_DIR}/tests/bindings/sdl2_check.py ${WORK_DIR}/build/quavix-sdl2
      ${REFERENCE_CLI} ${WORK_DIR})
elseif(BINDING STREQUAL "love")
  run(${CMAKE_COMMAND} -E env QUAVIX_LIBRARY=${library} ALSOFT_DRIVERS=null
      ${PYTHON} ${SOURCE_DIR}/tests/bindings/love_check.py ${SOURCE_DIR} ${REFERENCE_CLI} ${WORK_DIR})
else()
  message(FATAL_ERROR "unknown BINDING ${BINDING}")
endif()
