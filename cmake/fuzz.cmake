# libFuzzer targets for the readers of untrusted input (clang only). Each
# target is also a corpus replay test: run with -runs=0 over its seeds.
set(HOTFIX_FUZZ_FLAGS -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined)
add_library(hotfix_fuzz_sim STATIC ${HOTFIX_SIM_SOURCES})
target_link_libraries(hotfix_fuzz_sim PUBLIC hotfix_core)
foreach(lib hotfix_core hotfix_fuzz_sim)
  target_compile_options(${lib} PRIVATE -fsanitize=fuzzer-no-link,address,undefined)
endforeach()

enable_testing()
foreach(target reg_file pe_version ver_info)
  add_executable(${target}_fuzz fuzz/${target}_fuzz.cpp)
  target_link_libraries(${target}_fuzz PRIVATE hotfix_fuzz_sim)
  target_compile_options(${target}_fuzz PRIVATE ${HOTFIX_FUZZ_FLAGS})
  target_link_options(${target}_fuzz PRIVATE ${HOTFIX_FUZZ_FLAGS})
  add_test(NAME fuzz_corpus_${target}
    COMMAND ${target}_fuzz -runs=0 ${CMAKE_SOURCE_DIR}/fuzz/corpus/${target})
endforeach()
