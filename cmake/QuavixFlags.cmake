# Compiler settings shared by every target of the project.
#
# quavix_exact_math(<target> [PRIVATE]) puts the floating-point flags on a
# target, as PUBLIC usage requirements unless PRIVATE is given (the installed
# libraries keep them to themselves): the synthesis is specified bit for bit,
# so no FMA contraction, no fast-math, and SSE2 arithmetic instead of x87 on
# 32-bit x86 (x87 extended precision changes where results are rounded).

if(CMAKE_CXX_COMPILER_ID MATCHES "GNU|Clang")
  set(QUAVIX_WARNINGS -Wall -Wextra -Wpedantic -Wshadow -Wfloat-conversion -Wcast-align)
  if(QUAVIX_WERROR)
    list(APPEND QUAVIX_WARNINGS -Werror)
  endif()
endif()

set(QUAVIX_IS_X86_32 OFF)
if(CMAKE_SYSTEM_PROCESSOR MATCHES "^(i[3-6]86|x86)$" OR (CMAKE_SIZEOF_VOID_P EQUAL 4 AND CMAKE_SYSTEM_PROCESSOR MATCHES "86"))
  set(QUAVIX_IS_X86_32 ON)
endif()

function(quavix_exact_math target)
  set(scope PUBLIC)
  if(ARGV1 STREQUAL "PRIVATE")
    set(scope PRIVATE)
  endif()
  target_compile_options(${target} ${scope} -ffp-contract=off -fno-fast-math)
  if(QUAVIX_IS_X86_32)
    target_compile_options(${target} ${scope} -msse2 -mfpmath=sse)
  endif()
endfunction()

function(quavix_warnings target)
  target_compile_options(${target} PRIVATE ${QUAVIX_WARNINGS})
endfunction()

if(QUAVIX_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
endif()

if(QUAVIX_FUZZ)
  # Coverage instrumentation for every target, so that the fuzzers see the
  # branches of the core and not only their own.
  add_compile_options(-fsanitize=fuzzer-no-link)
endif()
