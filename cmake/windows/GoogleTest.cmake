# GoogleTest for MinGW, built from Debian's sources (package googletest) into the build folder:
# Debian ships it built for Linux only. Built once per build folder, like everything else there.

set(TARVELIN_GOOGLETEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest sources to cross-build")
if(NOT EXISTS ${TARVELIN_GOOGLETEST_SOURCE}/CMakeLists.txt)
  message(FATAL_ERROR "No GoogleTest sources in ${TARVELIN_GOOGLETEST_SOURCE}: install the Debian "
    "package googletest (scripts/test-windows.sh does) or set TARVELIN_GOOGLETEST_SOURCE")
endif()

set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
add_subdirectory(${TARVELIN_GOOGLETEST_SOURCE} ${CMAKE_BINARY_DIR}/_deps/googletest EXCLUDE_FROM_ALL)
# Warnings of GoogleTest's own code are not ours to fix.
foreach(gtest_target gtest gtest_main gmock gmock_main)
  target_compile_options(${gtest_target} PRIVATE -w)
endforeach()

include(GoogleTest)
