# libFuzzer targets, built with clang and run briefly by the tests. Coverage-guided fuzzing
# needs the code under test built with the fuzzer's instrumentation, so each target compiles
# its sources again with clang; without clang its test reports itself skipped.
#
#   qb_fuzzer(<name> MAX_LEN <n> SOURCES <files...> [HEADERS <files...>]
#             [INCLUDES <dirs...>] [CORPUS <seed folder>])
#
# A crashing input is kept in build/fuzz/ for replay (<fuzzer> <file>). With CORPUS the runs
# start from the seeds, and what the fuzzer finds goes to the build's own corpus folder,
# never into the sources.
find_program(QB_CLANGXX NAMES clang++ clang++-14)

function(qb_fuzzer name)
  cmake_parse_arguments(PARSE_ARGV 1 arg "" "MAX_LEN;CORPUS" "SOURCES;HEADERS;INCLUDES")
  if(NOT QB_CLANGXX)
    add_test(NAME ${name} COMMAND ${CMAKE_COMMAND} -E echo "clang++ not found: fuzzing skipped")
    set_tests_properties(${name} PROPERTIES LABELS fuzz SKIP_REGULAR_EXPRESSION "fuzzing skipped")
    return()
  endif()
  set(fuzzer ${CMAKE_BINARY_DIR}/bin/${name})
  list(TRANSFORM arg_INCLUDES PREPEND "-I")
  add_custom_command(OUTPUT ${fuzzer}
    COMMAND ${QB_CLANGXX} -std=c++20 -g -O1 -fPIC
            -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined
            -I${CMAKE_SOURCE_DIR}/src ${arg_INCLUDES}
            "-I$<JOIN:$<TARGET_PROPERTY:Qt6::Core,INTERFACE_INCLUDE_DIRECTORIES>,;-I>"
            ${arg_SOURCES} $<TARGET_LINKER_FILE:Qt6::Core> -o ${fuzzer}
    DEPENDS ${arg_SOURCES} ${arg_HEADERS}
    COMMENT "Building ${name} with clang"
    COMMAND_EXPAND_LISTS VERBATIM)
  add_custom_target(qb_${name} ALL DEPENDS ${fuzzer})
  add_dependencies(qb_test_deps qb_${name})
  file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/fuzz)
  set(corpus)
  if(arg_CORPUS)
    file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/fuzz/${name}-corpus)
    set(corpus ${CMAKE_BINARY_DIR}/fuzz/${name}-corpus ${arg_CORPUS})
  endif()
  # Bounded by a number of runs; the time limit only guards a very slow machine.
  add_test(NAME ${name} COMMAND ${fuzzer} -runs=200000 -max_total_time=30 -max_len=${arg_MAX_LEN}
           -artifact_prefix=${CMAKE_BINARY_DIR}/fuzz/ ${corpus}
           WORKING_DIRECTORY ${CMAKE_BINARY_DIR}/fuzz)
  set_tests_properties(${name} PROPERTIES LABELS fuzz TIMEOUT 300)
endfunction()
