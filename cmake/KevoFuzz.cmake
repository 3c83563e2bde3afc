# kevo_add_fuzz_target(NAME SOURCES... LIBS ...)
# One libFuzzer entry point (LLVMFuzzerTestOneInput) for a parser of outside input, with its
# corpus in tests/fuzz/corpus/NAME/. The executable is fuzz_NAME.
#  - With KEVO_FUZZ (clang) it is a libFuzzer fuzzer with ASan and UBSan; scripts/fuzz runs it.
#  - Otherwise it is linked with a small main that replays the corpus.
# Either way ctest replays the checked-in corpus, so every input that once failed stays a
# regression test.
add_custom_target(kevo_fuzzers)

function(kevo_add_fuzz_target name)
  cmake_parse_arguments(KF "" "" "SOURCES;LIBS" ${ARGN})
  set(_corpus ${PROJECT_SOURCE_DIR}/tests/fuzz/corpus/${name})
  set(_exe fuzz_${name})
  add_executable(${_exe} ${KF_SOURCES})
  set_target_properties(${_exe} PROPERTIES AUTOMOC OFF)
  target_link_libraries(${_exe} PRIVATE ${KF_LIBS} Threads::Threads)
  target_include_directories(${_exe} PRIVATE ${PROJECT_SOURCE_DIR}/tests/fuzz ${PROJECT_SOURCE_DIR}/tests/support)
  if(KEVO_FUZZ)
    # The entry point's own code (input decoding, the checks of invariants that always hold) is
    # no coverage worth steering by and costs time on every byte: only the code under test is
    # instrumented for the fuzzer. ASan and UBSan stay on.
    set_source_files_properties(${KF_SOURCES} TARGET_DIRECTORY ${_exe} PROPERTIES COMPILE_OPTIONS
                                -fno-sanitize=fuzzer-no-link)
    target_link_options(${_exe} PRIVATE -fsanitize=fuzzer)
    kevo_register_test(${_exe} 300 $<TARGET_FILE:${_exe}> -runs=0 ${_corpus})
  else()
    target_sources(${_exe} PRIVATE ${PROJECT_SOURCE_DIR}/tests/fuzz/replaymain.cpp)
    target_compile_definitions(${_exe} PRIVATE KEVO_FUZZ_REPLAY)
    kevo_register_test(${_exe} 300 $<TARGET_FILE:${_exe}> ${_corpus})
  endif()
  add_dependencies(kevo_fuzzers ${_exe})
endfunction()
