# What every Windows program of the project carries: an application manifest, a version
# resource, the oldest Windows it runs on in its header, static run-time libraries, no debug
# data in release builds, and a place in the release zip.
#
#   fx_windows_program(TARGET "Description shown in the file's properties")
#
# The description goes into XML and a resource script as it is: no double quotes, no < or &.
# Does nothing when the target system is not Windows. Needs enable_language(RC).

# Windows 7 (6.1): the oldest Windows the programs are built and declared for; the static
# run-time alone needs Vista (GetTickCount64). _WIN32_WINNT keeps newer API out of the headers.
set(FX_WINDOWS_MIN_MAJOR 6)
set(FX_WINDOWS_MIN_MINOR 1)
if(WIN32)
  add_compile_definitions(_WIN32_WINNT=0x0601 WINVER=0x0601)
endif()

function(fx_windows_program target description)
  if(NOT WIN32)
    return()
  endif()
  set(FX_PROGRAM_NAME ${target})
  set(FX_PROGRAM_DESCRIPTION "${description}")
  set(FX_VERSION_QUAD
      "${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR}.${PROJECT_VERSION_PATCH}.0")
  set(FX_VERSION_COMMAS
      "${PROJECT_VERSION_MAJOR},${PROJECT_VERSION_MINOR},${PROJECT_VERSION_PATCH},0")
  set(FX_MANIFEST_FILE ${CMAKE_CURRENT_BINARY_DIR}/${target}.manifest)
  configure_file(${FX_WINDOWS_PROGRAM_DIR}/windows_program.manifest.in ${FX_MANIFEST_FILE}
                 @ONLY)
  configure_file(${FX_WINDOWS_PROGRAM_DIR}/windows_program.rc.in
                 ${CMAKE_CURRENT_BINARY_DIR}/${target}.rc @ONLY)

  # A library of its own, so that the program's C++ compile options never reach windres.
  add_library(${target}_resources OBJECT ${CMAKE_CURRENT_BINARY_DIR}/${target}.rc)
  set_source_files_properties(${CMAKE_CURRENT_BINARY_DIR}/${target}.rc PROPERTIES
                              OBJECT_DEPENDS ${FX_MANIFEST_FILE})
  target_link_libraries(${target} PRIVATE ${target}_resources)

  target_link_options(
    ${target} PRIVATE -static -static-libgcc -static-libstdc++
    -Wl,--major-subsystem-version,${FX_WINDOWS_MIN_MAJOR}
    -Wl,--minor-subsystem-version,${FX_WINDOWS_MIN_MINOR}
    -Wl,--major-os-version,${FX_WINDOWS_MIN_MAJOR}
    -Wl,--minor-os-version,${FX_WINDOWS_MIN_MINOR}
    # What ships carries no symbols or debug data (over 1 MB, mostly the static run-time's).
    $<$<CONFIG:Release,MinSizeRel>:-s>)

  install(TARGETS ${target} RUNTIME DESTINATION .)
endfunction()

set(FX_WINDOWS_PROGRAM_DIR ${CMAKE_CURRENT_LIST_DIR})
