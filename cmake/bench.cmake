# Native benchmark programs (bench/, `make bench`), built in build/bench with
# optimisation; the native preset's Debug build is too slow to say anything.
find_package(benchmark QUIET)
if(NOT benchmark_FOUND)
  message(STATUS "Google Benchmark not found (libbenchmark-dev): no hotfix_sim_bench")
else()
  add_executable(hotfix_sim_bench bench/sim_bench.cpp)
  target_link_libraries(hotfix_sim_bench PRIVATE hotfix_simulator benchmark::benchmark)
  target_compile_definitions(hotfix_sim_bench PRIVATE HOTFIX_SOURCE_DIR="${CMAKE_SOURCE_DIR}")
endif()

add_executable(make_export bench/make_export.cpp)
