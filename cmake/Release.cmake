# The release: the Windows programs of both architectures, built for release without tests,
# each packed into its zip by CPack: fxinstall-VERSION-win64.zip and -win32.zip in this build
# directory. One CMake build holds one toolchain, so each architecture is a build of this
# project of its own (ExternalProject), and this one only drives them and tests their zips.
include(ExternalProject)
enable_testing()

foreach(arch IN ITEMS win64 win32)
  if(arch STREQUAL "win64")
    set(toolchain mingw-x86_64)
    set(objdump x86_64-w64-mingw32-objdump)
  else()
    set(toolchain mingw-i686)
    set(objdump i686-w64-mingw32-objdump)
  endif()
  # Builds, then packs through the build's "package" target. Each build is serial (it gets no
  # share of this build's make job server), and both run side by side.
  ExternalProject_Add(release_${arch}
    SOURCE_DIR ${CMAKE_SOURCE_DIR}
    BINARY_DIR ${CMAKE_BINARY_DIR}/${arch}
    CMAKE_ARGS -DCMAKE_TOOLCHAIN_FILE=${CMAKE_SOURCE_DIR}/cmake/${toolchain}.cmake
               -DCMAKE_BUILD_TYPE=Release
               -DFX_BUILD_TESTS=OFF
               -DCPACK_PACKAGE_DIRECTORY=${CMAKE_BINARY_DIR}
    BUILD_COMMAND ${CMAKE_COMMAND} -E env --unset=MAKEFLAGS
                  ${CMAKE_COMMAND} --build <BINARY_DIR> --target package
    INSTALL_COMMAND ""
    BUILD_ALWAYS ON)

  find_program(FX_OBJDUMP_${arch} ${objdump} REQUIRED)
  add_test(NAME release_zip_${arch}
           COMMAND ${CMAKE_SOURCE_DIR}/tests/release/check_zip.sh ${arch}
                   ${CMAKE_BINARY_DIR}/fxinstall-${PROJECT_VERSION}-${arch}.zip
                   ${PROJECT_VERSION} ${FX_OBJDUMP_${arch}})
  set_tests_properties(release_zip_${arch} PROPERTIES SKIP_RETURN_CODE 77)
endforeach()
