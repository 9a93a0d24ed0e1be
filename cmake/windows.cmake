# Windows build: Hotfix.exe and the small Win32 programs the Wine tests use.
include(${CMAKE_SOURCE_DIR}/cmake/payload.cmake)
add_library(hotfix_win32 STATIC
  ${CMAKE_BINARY_DIR}/generated/pinned_installers.cpp
  src/platform/win32/win32_platform.cpp
  src/platform/win32/win32_services.cpp
  src/platform/win32/ansi.cpp
  src/platform/win32/form_window.cpp
  src/platform/win32/progress_window.cpp
  src/platform/win32/restart_countdown.cpp
)
target_link_libraries(hotfix_win32 PUBLIC hotfix_core)
# Size: the files of one concern that were one file before are compiled as
# one unit again, so that the compiler inlines the library's string and
# vector code across them as it did, instead of emitting out-of-line copies
# for each file.
set_target_properties(hotfix_core hotfix_win32 PROPERTIES UNITY_BUILD ON UNITY_BUILD_MODE GROUP)
set_source_files_properties(src/deployment/layer_start.cpp src/deployment/layer_boxes.cpp
  src/deployment/layer_installers.cpp src/deployment/layer_end.cpp src/deployment/layer_pinned.cpp
  PROPERTIES UNITY_GROUP deployment_layer)
set_source_files_properties(src/platform/win32/win32_platform.cpp
  src/platform/win32/win32_services.cpp PROPERTIES UNITY_GROUP win32_platform)
# Window and dialog procedures: Windows calls them, and no exception may
# cross its frames, so they need no unwind tables.
set_source_files_properties(src/platform/win32/progress_window.cpp
  src/platform/win32/restart_countdown.cpp PROPERTIES
  COMPILE_OPTIONS "-fno-exceptions;-fno-asynchronous-unwind-tables")
target_compile_definitions(hotfix_win32 PUBLIC UNICODE _UNICODE WINVER=0x0501 _WIN32_WINNT=0x0501)

# Everything static: the program must run as one file on a bare Windows XP.
set(HOTFIX_STATIC_LINK -static -static-libgcc -static-libstdc++)
if(CMAKE_SIZEOF_VOID_P EQUAL 4)
  set(HOTFIX_SUBSYSTEM_VERSION 5.01)
else()
  set(HOTFIX_SUBSYSTEM_VERSION 5.02)
endif()

# Hotfix.exe, and for the Wine tests the same program pinned to the stub
# installer under both names (Hotfix-pinned.exe, never shipped). Its record,
# defined in its own sources, keeps the library's empty one out of the link.
set(HOTFIX_PROGRAMS Hotfix Hotfix-pinned)
foreach(program ${HOTFIX_PROGRAMS})
  add_executable(${program} WIN32 src/platform/win32/win_main.cpp src/platform/win32/terminate.cpp
    src/platform/win32/throw_helpers.cpp src/platform/win32/crt_startup.cpp
    src/platform/win32/hotfix.rc)
  target_link_libraries(${program} PRIVATE hotfix_win32)
endforeach()
add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/generated/pinned_stub_installers.cpp
  COMMAND ${CMAKE_COMMAND} -DFIRST=$<TARGET_FILE:stub> -DSECOND=$<TARGET_FILE:stub>
    -DOUT=${CMAKE_BINARY_DIR}/generated/pinned_stub_installers.cpp -P ${CMAKE_SOURCE_DIR}/cmake/payload.cmake
  DEPENDS stub ${CMAKE_SOURCE_DIR}/cmake/payload.cmake ${CMAKE_SOURCE_DIR}/cmake/pinned_installers.cpp.in
  VERBATIM)
target_sources(Hotfix-pinned PRIVATE ${CMAKE_BINARY_DIR}/generated/pinned_stub_installers.cpp)
target_compile_options(hotfix_core PRIVATE -ffunction-sections -fdata-sections)
target_compile_options(hotfix_win32 PRIVATE -ffunction-sections -fdata-sections)
# Size: the program asks no type its name or dynamic type (the handlers'
# type data is made all the same), and one copy of each library template is
# enough: no per-file clones specialised on a constant argument, and no
# per-file "unified" constructor or destructor, which PE has no alias to share.
foreach(target hotfix_core hotfix_win32 ${HOTFIX_PROGRAMS})
  target_compile_options(${target} PRIVATE -fno-rtti -fno-ipa-cp -fno-ipa-cp-clone -fno-ipa-sra
    -fno-declone-ctor-dtor)
endforeach()
# The same bytes from every build of the same source and toolchain: no link
# time in the PE header (0 instead), no build folder in anything compiled.
foreach(target hotfix_core hotfix_win32 ${HOTFIX_PROGRAMS})
  target_compile_options(${target} PRIVATE -ffile-prefix-map=${CMAKE_SOURCE_DIR}=.
    -ffile-prefix-map=${CMAKE_BINARY_DIR}=build)
endforeach()
foreach(program ${HOTFIX_PROGRAMS})
  target_link_options(${program} PRIVATE -Wl,--no-insert-timestamp
    -Wl,-Map=${CMAKE_BINARY_DIR}/${program}.map)  # which object each byte came from
endforeach()

# Windows XP runs on Pentium-class processors (K6, VIA C3, Vortex86, Geode)
# that lack CMOV, FCMOV, FCOMI and the multi-byte NOP: the 32-bit program's
# own code is compiled, and padded by the assembler, for the i586. Its stack
# is kept to the 4-byte alignment Win32 guarantees: no i586 code needs more.
if(CMAKE_SIZEOF_VOID_P EQUAL 4)
  foreach(target hotfix_core hotfix_win32 ${HOTFIX_PROGRAMS})
    target_compile_options(${target} PRIVATE -march=i586 -mtune=generic -Wa,-march=i586 -malign-data=abi
      -mpreferred-stack-boundary=2)
  endforeach()
  # The runtime objects it links (unwinder, libsupc++, crt), rebuilt for the
  # i586 from Debian's sources of this very toolchain, ahead of Debian's i686
  # builds: -B for crt2u.o, -L for the archives (scripts/runtime/build.sh).
  execute_process(COMMAND ${CMAKE_SOURCE_DIR}/scripts/runtime/build.sh
    OUTPUT_VARIABLE HOTFIX_I586_RUNTIME OUTPUT_STRIP_TRAILING_WHITESPACE RESULT_VARIABLE status)
  if(NOT status EQUAL 0 OR NOT EXISTS "${HOTFIX_I586_RUNTIME}/ready")
    message(FATAL_ERROR "the i586 runtime could not be built (scripts/runtime/build.sh, above)")
  endif()
  foreach(program ${HOTFIX_PROGRAMS})
    # Windows XP always loads a program at its preferred base: relocations
    # would be 4 KB never read.
    target_link_options(${program} PRIVATE -Wl,--disable-reloc-section)
    # The imports, data, .CRT and .tls in one section: 1.5 KB fewer (cmake/hotfix-i686.ld).
    target_link_options(${program} PRIVATE -Wl,-T,${CMAKE_SOURCE_DIR}/cmake/hotfix-i686.ld)
    set_property(TARGET ${program} APPEND PROPERTY LINK_DEPENDS ${CMAKE_SOURCE_DIR}/cmake/hotfix-i686.ld)
    target_link_options(${program} PRIVATE -B${HOTFIX_I586_RUNTIME}/ -L${HOTFIX_I586_RUNTIME})
    target_sources(${program} PRIVATE src/platform/win32/exception_memory.cpp
      src/platform/win32/exception_globals.cpp)
    # One copy of each CIE in the unwind tables, as ld does for ELF and not
    # for PE: a sixth of them were copies.
    add_custom_command(TARGET ${program} POST_BUILD
      COMMAND python3 ${CMAKE_SOURCE_DIR}/scripts/pe/merge_eh_cies.py $<TARGET_FILE:${program}> --build
      VERBATIM)
    set_property(TARGET ${program} APPEND PROPERTY LINK_DEPENDS
      ${CMAKE_SOURCE_DIR}/scripts/pe/merge_eh_cies.py)
  endforeach()
  # The instruction check's own case (tests/pe/pentium_check.py); never shipped.
  add_executable(cmov_canary tests/pe/cmov_canary.cpp)
  target_link_options(cmov_canary PRIVATE ${HOTFIX_STATIC_LINK}
    -Wl,-Map=${CMAKE_BINARY_DIR}/cmov_canary.map)
endif()
foreach(program ${HOTFIX_PROGRAMS})
  target_link_options(${program} PRIVATE ${HOTFIX_STATIC_LINK} -municode -Wl,--gc-sections
    -Wl,--disable-auto-import,--disable-runtime-pseudo-reloc  # crt_startup.cpp relies on it
    $<$<CONFIG:MinSizeRel,Release>:-s>
    -Wl,--subsystem,windows:${HOTFIX_SUBSYSTEM_VERSION}
    -Wl,--major-os-version,5 -Wl,--minor-os-version,1)
  set_target_properties(${program} PROPERTIES OUTPUT_NAME ${program} SUFFIX .exe)
endforeach()
# windres reads the icon; CMake does not see that on its own.
set_source_files_properties(src/platform/win32/hotfix.rc PROPERTIES
  OBJECT_DEPENDS ${CMAKE_SOURCE_DIR}/src/platform/win32/hotfix.ico)

# Test programs for the Wine suite; never shipped. latebox shows boxbot a
# box that cannot be read at once; desktop starts Wine's desktop before the
# programs under test need it.
foreach(tool boxbot stub latebox desktop tamper)
  if(NOT EXISTS ${CMAKE_SOURCE_DIR}/tests/wine/win/${tool}.cpp)
    continue()
  endif()
  add_executable(${tool} tests/wine/win/${tool}.cpp)
  target_compile_definitions(${tool} PRIVATE UNICODE _UNICODE WINVER=0x0501 _WIN32_WINNT=0x0501)
  target_link_options(${tool} PRIVATE ${HOTFIX_STATIC_LINK} -municode)
endforeach()
if(TARGET stub)
  set_target_properties(stub PROPERTIES WIN32_EXECUTABLE ON)
endif()

# Photographs windows for the README (scripts/pictures/make.sh); never shipped.
add_executable(shot scripts/pictures/shot.cpp)
target_compile_definitions(shot PRIVATE UNICODE _UNICODE WINVER=0x0501 _WIN32_WINNT=0x0501)
target_link_options(shot PRIVATE ${HOTFIX_STATIC_LINK} -municode)

# Sets registry values byte for byte (the differential Wine test).
if(EXISTS ${CMAKE_SOURCE_DIR}/tests/wine/win/regset.cpp)
  add_executable(regset tests/wine/win/regset.cpp)
  target_compile_definitions(regset PRIVATE UNICODE _UNICODE WINVER=0x0501 _WIN32_WINNT=0x0501)
  target_link_options(regset PRIVATE ${HOTFIX_STATIC_LINK} -municode)
endif()

# Benchmark programs (bench/, `make bench`); never shipped. floor is the
# least program with Hotfix's visible behaviour, built like Hotfix.exe.
foreach(tool floor busy benchrun)
  if(NOT EXISTS ${CMAKE_SOURCE_DIR}/bench/${tool}.cpp)
    continue()
  endif()
  add_executable(${tool} bench/${tool}.cpp)
  target_compile_definitions(${tool} PRIVATE UNICODE _UNICODE WINVER=0x0501 _WIN32_WINNT=0x0501)
  target_link_options(${tool} PRIVATE ${HOTFIX_STATIC_LINK} -municode)
endforeach()
if(TARGET floor)
  # The floor again with Hotfix's hidden window, then also with its polling wait.
  add_executable(floor_form bench/floor.cpp)
  target_compile_definitions(floor_form PRIVATE FLOOR_FORM=1)
  add_executable(floor_form_poll bench/floor.cpp)
  target_compile_definitions(floor_form_poll PRIVATE FLOOR_FORM=1 FLOOR_POLL=1)
  foreach(tool floor floor_form floor_form_poll)
    target_compile_definitions(${tool} PRIVATE UNICODE _UNICODE WINVER=0x0501 _WIN32_WINNT=0x0501)
    target_link_options(${tool} PRIVATE ${HOTFIX_STATIC_LINK} -municode -Wl,--gc-sections
      $<$<CONFIG:MinSizeRel,Release>:-s> -Wl,--subsystem,windows:${HOTFIX_SUBSYSTEM_VERSION})
    set_target_properties(${tool} PROPERTIES WIN32_EXECUTABLE ON)
  endforeach()
  set_target_properties(busy PROPERTIES WIN32_EXECUTABLE ON)
endif()

# Canaries for the Wine tests: a version.dll that records its callers, a
# program that uses it, and a program that must never be started.
foreach(tool version_probe marker)
  add_executable(${tool} tests/wine/win/${tool}.cpp)
  target_compile_definitions(${tool} PRIVATE UNICODE _UNICODE WINVER=0x0501 _WIN32_WINNT=0x0501)
  target_link_options(${tool} PRIVATE ${HOTFIX_STATIC_LINK} -municode)
endforeach()
target_link_libraries(version_probe PRIVATE version)
set_target_properties(marker PROPERTIES WIN32_EXECUTABLE ON)
add_library(version_canary SHARED tests/wine/win/version_canary.cpp
  tests/wine/win/version_canary.def)
target_compile_definitions(version_canary PRIVATE UNICODE _UNICODE WINVER=0x0501 _WIN32_WINNT=0x0501)
target_link_options(version_canary PRIVATE ${HOTFIX_STATIC_LINK})
set_target_properties(version_canary PROPERTIES PREFIX "" OUTPUT_NAME version_canary)

# Runs the platform's calls for the Wine probe suite (the real platform's
# answers, held against the simulated one's).
if(EXISTS ${CMAKE_SOURCE_DIR}/tests/wine/win/platform_probe.cpp)
  add_executable(platform_probe tests/wine/win/platform_probe.cpp tests/wine/probe/probe_answers.cpp)
  target_include_directories(platform_probe PRIVATE tests/wine/probe)
  target_link_libraries(platform_probe PRIVATE hotfix_win32)
  target_link_options(platform_probe PRIVATE ${HOTFIX_STATIC_LINK} -municode)
endif()

# hotfix-sim.exe: the simulator for support engineers at Windows desktops,
# 64-bit and static like Hotfix.exe. Its header-only libraries (toml++,
# CLI11) are the host's: the toolchain file looks for headers under the
# MinGW root only, so those two folders are linked into one of their own.
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  find_path(HOTFIX_TOMLPP_DIR toml++/toml.h PATHS /usr/include NO_CMAKE_FIND_ROOT_PATH REQUIRED)
  find_path(HOTFIX_CLI11_DIR CLI/CLI.hpp PATHS /usr/include NO_CMAKE_FIND_ROOT_PATH REQUIRED)
  set(HOTFIX_HOST_HEADERS ${CMAKE_BINARY_DIR}/host-headers)
  file(MAKE_DIRECTORY ${HOTFIX_HOST_HEADERS})
  file(CREATE_LINK ${HOTFIX_TOMLPP_DIR}/toml++ ${HOTFIX_HOST_HEADERS}/toml++ SYMBOLIC)
  file(CREATE_LINK ${HOTFIX_CLI11_DIR}/CLI ${HOTFIX_HOST_HEADERS}/CLI SYMBOLIC)
  add_library(hotfix_sim STATIC ${HOTFIX_SIM_SOURCES})
  target_link_libraries(hotfix_sim PUBLIC hotfix_core)
  add_executable(hotfix-sim src/simulator/main.cpp src/simulator/scenario.cpp
    src/simulator/machine_inputs.cpp
    src/simulator/report.cpp src/simulator/explain.cpp src/fleet/fleet_log.cpp src/fleet/fleet_report.cpp
    src/platform/win32/utf8_console.cpp)
  target_include_directories(hotfix-sim SYSTEM PRIVATE ${HOTFIX_HOST_HEADERS})
  target_compile_definitions(hotfix-sim PRIVATE UNICODE _UNICODE)
  target_link_libraries(hotfix-sim PRIVATE hotfix_sim)
  # wmain: the command line in UTF-16.
  target_link_options(hotfix-sim PRIVATE ${HOTFIX_STATIC_LINK} -municode)
endif()
