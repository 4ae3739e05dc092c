# Windows programs of this build run under Wine through wine-run.sh in the build folder, with
# the build's own prefix, so that nothing of the user's ~/.wine is made or used. CTest calls it
# as the emulator of every test executable (test discovery too).

set(TARVELIN_WINEPREFIX ${CMAKE_BINARY_DIR}/wineprefix)
set(TARVELIN_WINESERVER_LOG ${CMAKE_BINARY_DIR}/wineserver.log)
configure_file(${CMAKE_CURRENT_LIST_DIR}/wine-run.sh.in ${CMAKE_BINARY_DIR}/wine-run.sh
  @ONLY FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
  WORLD_READ WORLD_EXECUTE)
if(NOT CMAKE_CROSSCOMPILING_EMULATOR)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_BINARY_DIR}/wine-run.sh)
endif()
