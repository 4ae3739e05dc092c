# The Windows build: cross-built with MinGW-w64 (cmake/toolchains/mingw-w64-x86_64.cmake), tested
# under Wine by scripts/test-windows.sh. So far it holds the part of the core that builds without
# POSIX, update/ with its win32/ folder, and their unit tests. The transports, the procedure, the command line and the
# simulator's tests follow once their platform code sits behind its headers; until then the
# files below that still use POSIX directly stay out, each with what keeps it out.

include(${CMAKE_CURRENT_LIST_DIR}/windows/WineRunner.cmake)
include(${CMAKE_CURRENT_LIST_DIR}/windows/GoogleTest.cmake)
include(${CMAKE_CURRENT_LIST_DIR}/windows/TinyXml.cmake)

find_package(Threads REQUIRED)

set(tarvelin_posix_sources
  transport/DescriptorIO.cpp           # poll()
  transport/ManualResetEvent.cpp       # eventfd, poll()
  transport/OpenFailure.cpp            # errno names Windows lacks (EHOSTDOWN)
  transport/PortHolders.cpp            # /proc, sys/sysmacros.h
  transport/SIO_ConnectionParams.cpp   # termios speeds
  transport/SerialPorts.cpp            # /dev and sysfs, linux/serial.h
  transport/Serial_UECP_IO_2.cpp       # termios, ioctl, flock, grp
  transport/TCP_UECP_IO_2.cpp          # BSD sockets
)

add_library(tarvelin_core STATIC)
target_include_directories(tarvelin_core PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
target_link_libraries(tarvelin_core PUBLIC Threads::Threads tarvelin_tinyxml)
# update/win32: the known folders (shell32, ole32, uuid).
target_link_libraries(tarvelin_core PUBLIC shell32 ole32 uuid)
foreach(layer uecp transport protocol update)
  file(GLOB layer_sources CONFIGURE_DEPENDS RELATIVE ${CMAKE_CURRENT_SOURCE_DIR}
    ${CMAKE_CURRENT_SOURCE_DIR}/${layer}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/${layer}/win32/*.cpp)
  list(REMOVE_ITEM layer_sources ${tarvelin_posix_sources})
  list(TRANSFORM layer_sources PREPEND ${CMAKE_CURRENT_SOURCE_DIR}/)
  target_sources(tarvelin_core PRIVATE ${layer_sources})
endforeach()
include(cmake/EmbedFile.cmake)
tarvelin_embed_file(tarvelin_core ${CMAKE_CURRENT_SOURCE_DIR}/resources/StringTable.xml
  kStringTableXml)

# Header-only Debian libraries, seen through a folder of links to just them: all of
# /usr/include would put Linux's system headers before MinGW's.
set(TARVELIN_HOST_HEADERS ${CMAKE_BINARY_DIR}/host-headers)
file(MAKE_DIRECTORY ${TARVELIN_HOST_HEADERS})
foreach(header_dir boost CLI nlohmann)
  if(EXISTS /usr/include/${header_dir})
    file(CREATE_LINK /usr/include/${header_dir} ${TARVELIN_HOST_HEADERS}/${header_dir} SYMBOLIC)
  endif()
endforeach()

enable_testing()

# The unit tests of what is built above; the others test code that is not built yet, or use POSIX
# themselves (temporary folders, environment, memory-mapped files).
set(tarvelin_windows_unit_tests
  AutoFrameBufferTest
  CZelkorToolsTest
  FilePatternTest
  FirmwareBlocksTest
  FirmwareFilesTest
  FlashPlanTest
  FrameCodecTest
  FrameListTest
  FrameLogTest
  IOHookTest
  IniSettingsTextTest
  LogLocationTest
  ProcedureTextsTest
  ProcedureVerdictsTest
  ResultCodesTest
  RingBufferTest
  SettingsTest
  StopwatchTest
  StringManagerTest
  SystemErrorTextTest
  UpdateLogTest
)
list(TRANSFORM tarvelin_windows_unit_tests PREPEND ${CMAKE_CURRENT_SOURCE_DIR}/tests/unit/)
list(TRANSFORM tarvelin_windows_unit_tests APPEND .cpp)
add_executable(tarvelin_unit_tests ${tarvelin_windows_unit_tests})
target_link_libraries(tarvelin_unit_tests PRIVATE tarvelin_core GTest::gtest GTest::gmock
  GTest::gtest_main)
target_include_directories(tarvelin_unit_tests PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/tests
  ${CMAKE_CURRENT_SOURCE_DIR}/tests/support/win32)
target_include_directories(tarvelin_unit_tests SYSTEM PRIVATE ${TARVELIN_HOST_HEADERS})
target_compile_definitions(tarvelin_unit_tests PRIVATE
  TARVELIN_PROJECT_VERSION="${PROJECT_VERSION}")
# Listed at test time, not after linking: the build needs no Wine.
gtest_discover_tests(tarvelin_unit_tests
  DISCOVERY_MODE PRE_TEST
  DISCOVERY_TIMEOUT 120
  PROPERTIES LABELS unit TIMEOUT 300)
