# The installers' record compiled into Hotfix.exe: pinned when
# HOTFIX_PAYLOAD_DIR names the folder holding 40517.exe and 40517-2.exe,
# empty otherwise. The same payload gives the same bytes.
#
# Also a script: cmake -DFIRST=A -DSECOND=B -DOUT=FILE -P payload.cmake
# writes the record pinning A and B (the Wine tests' pinned build, whose
# installers are built with it).

# Writes OUT, a record pinning FIRST (40517.exe) and SECOND (40517-2.exe),
# or the empty record when FIRST is empty.
function(hotfix_pinned_record first second out)
  set(HOTFIX_PINNED 0)
  set(HOTFIX_PINNED_SIZE_1 0)
  set(HOTFIX_PINNED_SIZE_2 0)
  set(HOTFIX_PINNED_SHA_1 0)
  set(HOTFIX_PINNED_SHA_2 0)
  if(first)
    set(HOTFIX_PINNED 1)
    set(index 1)
    foreach(file "${first}" "${second}")
      if(NOT EXISTS "${file}" OR IS_DIRECTORY "${file}")
        message(FATAL_ERROR "installer to pin: ${file} is missing")
      endif()
      file(SIZE "${file}" size)
      file(SHA256 "${file}" sha)
      string(REGEX REPLACE "(..)" "0x\\1, " bytes "${sha}")
      set(HOTFIX_PINNED_SIZE_${index} "${size}u")
      set(HOTFIX_PINNED_SHA_${index} "${bytes}")
      set(HOTFIX_PINNED_SHA256_${index} "${sha}" PARENT_SCOPE)
      math(EXPR index "${index} + 1")
    endforeach()
  endif()
  configure_file(${CMAKE_CURRENT_FUNCTION_LIST_DIR}/pinned_installers.cpp.in "${out}" @ONLY)
endfunction()

if(CMAKE_SCRIPT_MODE_FILE)
  hotfix_pinned_record("${FIRST}" "${SECOND}" "${OUT}")
  return()
endif()

set(HOTFIX_PAYLOAD_DIR "" CACHE PATH "Folder of 40517.exe and 40517-2.exe to pin in Hotfix.exe")
if(HOTFIX_PAYLOAD_DIR)
  foreach(installer 40517.exe 40517-2.exe)
    if(NOT EXISTS "${HOTFIX_PAYLOAD_DIR}/${installer}" OR IS_DIRECTORY "${HOTFIX_PAYLOAD_DIR}/${installer}")
      message(FATAL_ERROR "HOTFIX_PAYLOAD_DIR: ${HOTFIX_PAYLOAD_DIR}/${installer} is missing")
    endif()
    # The record is made again when an installer changes.
    set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${HOTFIX_PAYLOAD_DIR}/${installer}")
  endforeach()
  hotfix_pinned_record("${HOTFIX_PAYLOAD_DIR}/40517.exe" "${HOTFIX_PAYLOAD_DIR}/40517-2.exe"
    ${CMAKE_BINARY_DIR}/generated/pinned_installers.cpp)
  message(STATUS "Installers pinned: 40517.exe ${HOTFIX_PINNED_SHA256_1}, 40517-2.exe ${HOTFIX_PINNED_SHA256_2}")
else()
  hotfix_pinned_record("" "" ${CMAKE_BINARY_DIR}/generated/pinned_installers.cpp)
endif()
