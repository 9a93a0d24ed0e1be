# Native build: the simulated platform, its tests and the simulator.
add_library(hotfix_sim STATIC ${HOTFIX_SIM_SOURCES})
target_link_libraries(hotfix_sim PUBLIC hotfix_core)

# hotfix-sim: the support engineers' simulator.
find_package(tomlplusplus REQUIRED)
find_package(CLI11 REQUIRED)
add_library(hotfix_simulator STATIC
  src/simulator/scenario.cpp
  src/simulator/machine_inputs.cpp
  src/simulator/report.cpp
  src/simulator/explain.cpp
)
target_link_libraries(hotfix_simulator PUBLIC hotfix_sim tomlplusplus::tomlplusplus)
# The fleet report reads logs, not machines: a library of its own.
add_library(hotfix_fleet STATIC src/fleet/fleet_log.cpp src/fleet/fleet_report.cpp)
target_include_directories(hotfix_fleet PUBLIC src)
target_link_libraries(hotfix_fleet PUBLIC hotfix_core CLI11::CLI11)
add_executable(hotfix-sim src/simulator/main.cpp)
target_link_libraries(hotfix-sim PRIVATE hotfix_simulator hotfix_fleet CLI11::CLI11)

enable_testing()
find_package(GTest REQUIRED)
include(GoogleTest)

file(GLOB HOTFIX_UNIT_TESTS CONFIGURE_DEPENDS tests/unit/*.cpp)
add_executable(hotfix_tests ${HOTFIX_UNIT_TESTS})
target_link_libraries(hotfix_tests PRIVATE hotfix_simulator hotfix_fleet GTest::gtest GTest::gtest_main)
target_compile_definitions(hotfix_tests PRIVATE HOTFIX_SOURCE_DIR="${CMAKE_SOURCE_DIR}")
gtest_discover_tests(hotfix_tests DISCOVERY_TIMEOUT 60)

option(HOTFIX_UNIT_TESTS_ONLY "Only the unit tests (the sanitizer build)" OFF)
if(HOTFIX_UNIT_TESTS_ONLY)
  return()
endif()

# hotfix-sim as support staff call it.
add_test(NAME hotfix_sim_cli
  COMMAND ${CMAKE_SOURCE_DIR}/tests/sim/cli_test.sh $<TARGET_FILE:hotfix-sim>)

# Every bundled scenario's platform calls, as recorded (tests/sim/traces/).
add_test(NAME hotfix_sim_traces
  COMMAND ${CMAKE_SOURCE_DIR}/tests/sim/trace_test.sh $<TARGET_FILE:hotfix-sim>)

# hotfix-sim.exe, the Windows build, under Wine: the same checks and reports.
add_test(NAME hotfix_sim_windows
  COMMAND ${CMAKE_SOURCE_DIR}/tests/sim/windows_test.sh
    ${CMAKE_SOURCE_DIR}/build/mingw-x86_64/hotfix-sim.exe $<TARGET_FILE:hotfix-sim>)

# Where the 32-bit lane's guest gets Debian from.
add_test(NAME lane_archive COMMAND ${CMAKE_SOURCE_DIR}/tests/lane/archive_test.sh)

# End-to-end tests drive the cross-built Hotfix.exe under Wine.
file(GLOB HOTFIX_WINE_TESTS CONFIGURE_DEPENDS tests/wine/host/*.cpp)
list(APPEND HOTFIX_WINE_TESTS tests/wine/probe/probe_answers.cpp)
if(HOTFIX_WINE_TESTS)
add_executable(hotfix_wine_tests ${HOTFIX_WINE_TESTS})
target_link_libraries(hotfix_wine_tests PRIVATE hotfix_simulator GTest::gtest GTest::gtest_main)
target_include_directories(hotfix_wine_tests PRIVATE tests/wine/probe)
target_compile_definitions(hotfix_wine_tests PRIVATE
  HOTFIX_SOURCE_DIR="${CMAKE_SOURCE_DIR}"
  HOTFIX_BINARY_DIR="${CMAKE_BINARY_DIR}")
# One test per architecture, not one per case: the cases share a Wine prefix
# and its wineserver. The i686 build runs here where this kernel runs 32-bit
# code, otherwise in the lane's guest (scripts/lane/), all in one boot.
add_test(NAME hotfix_wine_tests_x86_64 COMMAND hotfix_wine_tests --gtest_filter=*x86_64)
add_test(NAME hotfix_wine_tests_i686
  COMMAND ${CMAKE_SOURCE_DIR}/scripts/lane/i686.sh --shards 2 $<TARGET_FILE:hotfix_wine_tests>
    --gtest_filter=*i686)
set_tests_properties(hotfix_wine_tests_x86_64 hotfix_wine_tests_i686 PROPERTIES
  TIMEOUT 3600 RUN_SERIAL TRUE SKIP_RETURN_CODE 77)

# make release's signing path, with a throwaway certificate (scripts/release.sh).
add_test(NAME release_signing
  COMMAND ${CMAKE_SOURCE_DIR}/tests/pe/signing_test.sh ${CMAKE_SOURCE_DIR}
    $<TARGET_FILE:hotfix_wine_tests>)
set_tests_properties(release_signing PROPERTIES TIMEOUT 3600 RUN_SERIAL TRUE)

# `make run`: Hotfix.exe under Wine on a bundled demo machine.
add_executable(hotfix_demo tests/wine/demo/hotfix_demo.cpp
  tests/wine/host/hotfix_case.cpp tests/wine/host/wine_prefix.cpp tests/wine/host/process.cpp
  tests/wine/host/records.cpp tests/wine/host/relay.cpp tests/wine/host/trk_variant.cpp
  tests/wine/host/pace.cpp tests/wine/host/progress_line.cpp)
target_include_directories(hotfix_demo PRIVATE tests/wine/host)
target_link_libraries(hotfix_demo PRIVATE hotfix_core)
target_compile_definitions(hotfix_demo PRIVATE HOTFIX_SOURCE_DIR="${CMAKE_SOURCE_DIR}")
endif()

# Load checks on the Windows builds (built by the mingw presets beforehand).
set(HOTFIX_XP_EXPORTS "${CMAKE_SOURCE_DIR}/tests/pe/xp-exports" CACHE PATH
    "Export lists of the Windows XP system DLLs")
add_test(NAME pe_loads_on_xp_i686
  COMMAND ${CMAKE_SOURCE_DIR}/tests/pe/check_imports.sh
    ${CMAKE_SOURCE_DIR}/build/mingw-i686/Hotfix.exe ${HOTFIX_XP_EXPORTS}/nt51-x86 5.1)
add_test(NAME pe_loads_on_xp_x86_64
  COMMAND ${CMAKE_SOURCE_DIR}/tests/pe/check_imports.sh
    ${CMAKE_SOURCE_DIR}/build/mingw-x86_64/Hotfix.exe ${HOTFIX_XP_EXPORTS}/nt52-x64 5.2)

# No instruction a Pentium lacks in the i686 Hotfix.exe; and the check finds
# the CMOV of its own case.
find_program(HOTFIX_PYTHON python3 REQUIRED)
add_test(NAME pe_pentium_i686
  COMMAND ${HOTFIX_PYTHON} ${CMAKE_SOURCE_DIR}/tests/pe/pentium_check.py
    ${CMAKE_SOURCE_DIR}/build/mingw-i686/Hotfix.exe ${CMAKE_SOURCE_DIR}/build/mingw-i686/Hotfix.map
    --pending ${CMAKE_SOURCE_DIR}/tests/pe/pentium-pending.txt)
add_test(NAME pe_pentium_check_finds_a_cmov
  COMMAND ${HOTFIX_PYTHON} ${CMAKE_SOURCE_DIR}/tests/pe/pentium_check.py
    ${CMAKE_SOURCE_DIR}/build/mingw-i686/cmov_canary.exe
    ${CMAKE_SOURCE_DIR}/build/mingw-i686/cmov_canary.map
    --pending ${CMAKE_SOURCE_DIR}/tests/pe/pentium-pending.txt)
set_tests_properties(pe_pentium_check_finds_a_cmov PROPERTIES
  PASS_REGULAR_EXPRESSION "FAIL: 1 x cmovne in [^ ]*cmov_canary\\.cpp\\.obj")

# One copy of each CIE in the i686 file, and a merge that refuses what it
# cannot read back the same.
add_test(NAME pe_eh_merge_i686
  COMMAND ${CMAKE_SOURCE_DIR}/tests/pe/eh_merge_test.sh
    ${CMAKE_SOURCE_DIR}/build/mingw-i686/Hotfix.exe ${CMAKE_SOURCE_DIR}/scripts/pe/merge_eh_cies.py)

# The i686 program's exception header, libsupc++'s own size.
add_test(NAME pe_exception_header_i686
  COMMAND ${CMAKE_SOURCE_DIR}/tests/pe/exception_header_test.sh ${CMAKE_SOURCE_DIR}
    ${CMAKE_SOURCE_DIR}/build/mingw-i686/Hotfix.map)

# The i686 Hotfix.exe no larger than its limit, which may only fall.
add_test(NAME pe_size_i686
  COMMAND ${CMAKE_SOURCE_DIR}/tests/pe/size_check.sh
    ${CMAKE_SOURCE_DIR}/build/mingw-i686/Hotfix.exe ${CMAKE_SOURCE_DIR}/tests/pe/size-limit.txt)

# The same bytes from a build of the same sources in another folder.
add_test(NAME pe_reproducible_i686
  COMMAND ${CMAKE_SOURCE_DIR}/tests/pe/reproducible_test.sh ${CMAKE_SOURCE_DIR}
    ${CMAKE_SOURCE_DIR}/build/mingw-i686/Hotfix.exe mingw-i686)

# Benchmarks (`make bench`); not in the sanitizer build.
include(cmake/bench.cmake)
