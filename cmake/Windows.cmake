# The Windows build: cross-built with MinGW-w64 (cmake/toolchains/mingw-w64-x86_64.cmake), tested
# under Wine by scripts/test-windows.sh. So far it holds the protocol, the transports, the
# update procedure and console/ with their platform code in win32/ folders, tarvelin-cli.exe
# (cli/ and fleet/), and their tests.

include(${CMAKE_CURRENT_LIST_DIR}/windows/WineRunner.cmake)
include(${CMAKE_CURRENT_LIST_DIR}/windows/GoogleTest.cmake)
include(${CMAKE_CURRENT_LIST_DIR}/windows/TinyXml.cmake)
include(${CMAKE_CURRENT_LIST_DIR}/windows/EndToEnd.cmake)
include(${CMAKE_CURRENT_LIST_DIR}/windows/PortableZip.cmake)

find_package(Threads REQUIRED)

# The Windows headers without their rarely used parts (and without winsock.h, which would clash
# with winsock2.h), and without the min and max macros.
add_compile_definitions(WIN32_LEAN_AND_MEAN NOMINMAX)

add_library(tarvelin_core STATIC)
target_include_directories(tarvelin_core PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
target_link_libraries(tarvelin_core PUBLIC Threads::Threads tarvelin_tinyxml)
# A layer's platform code lies in its win32/ folder; the Linux build takes posix/ instead.
# update/win32: the known folders (shell32, ole32, uuid).
target_link_libraries(tarvelin_core PUBLIC shell32 ole32 uuid)
foreach(layer uecp transport protocol update)
  file(GLOB layer_sources CONFIGURE_DEPENDS RELATIVE ${CMAKE_CURRENT_SOURCE_DIR}
    ${CMAKE_CURRENT_SOURCE_DIR}/${layer}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/${layer}/win32/*.cpp)
  list(TRANSFORM layer_sources PREPEND ${CMAKE_CURRENT_SOURCE_DIR}/)
  target_sources(tarvelin_core PRIVATE ${layer_sources})
endforeach()
# transport/: Winsock, SetupAPI and the configuration manager (CM_Get_Parent) for the port list.
target_link_libraries(tarvelin_core PUBLIC ws2_32 setupapi cfgmgr32)
include(cmake/EmbedFile.cmake)
tarvelin_embed_file(tarvelin_core ${CMAKE_CURRENT_SOURCE_DIR}/resources/StringTable.xml
  kStringTableXml)

# console/: what the command line and its fleet share, with its win32/ half.
add_subdirectory(console)

# Header-only Debian libraries, seen through a folder of links to just them: all of
# /usr/include would put Linux's system headers before MinGW's.
set(TARVELIN_HOST_HEADERS ${CMAKE_BINARY_DIR}/host-headers)
file(MAKE_DIRECTORY ${TARVELIN_HOST_HEADERS})
foreach(header_dir boost CLI nlohmann)
  if(EXISTS /usr/include/${header_dir})
    file(CREATE_LINK /usr/include/${header_dir} ${TARVELIN_HOST_HEADERS}/${header_dir} SYMBOLIC)
  endif()
endforeach()

# fleet/ and cli/: tarvelin-cli.exe. CLI11 and nlohmann-json are the host's headers above.
file(GLOB fleet_sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/fleet/*.cpp)
add_library(tarvelin_fleet STATIC ${fleet_sources})
target_link_libraries(tarvelin_fleet PUBLIC tarvelin_console)
target_include_directories(tarvelin_fleet SYSTEM PUBLIC ${TARVELIN_HOST_HEADERS})

file(GLOB cli_sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/cli/*.cpp)
list(REMOVE_ITEM cli_sources ${CMAKE_CURRENT_SOURCE_DIR}/cli/main.cpp)
add_library(tarvelin_cli_core STATIC ${cli_sources})
target_link_libraries(tarvelin_cli_core PUBLIC tarvelin_fleet)
target_compile_definitions(tarvelin_cli_core PRIVATE TARVELIN_VERSION="${PROJECT_VERSION}")

# The manifest (UTF-8 as the ANSI code page, Windows 10 and later) and the version resource.
string(REPLACE "." "," TARVELIN_VERSION_COMMAS "${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR}.0.0")
set(TARVELIN_FILE_VERSION "${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR}.0.0")
set(TARVELIN_MANIFEST ${CMAKE_CURRENT_BINARY_DIR}/tarvelin-cli.manifest)
configure_file(cli/win32/tarvelin-cli.manifest ${TARVELIN_MANIFEST} @ONLY)
configure_file(cli/win32/tarvelin-cli.rc.in ${CMAKE_CURRENT_BINARY_DIR}/tarvelin-cli.rc @ONLY)
enable_language(RC)
add_executable(tarvelin-cli cli/main.cpp ${CMAKE_CURRENT_BINARY_DIR}/tarvelin-cli.rc)
target_link_libraries(tarvelin-cli PRIVATE tarvelin_cli_core)
set_source_files_properties(${CMAKE_CURRENT_BINARY_DIR}/tarvelin-cli.rc PROPERTIES
  OBJECT_DEPENDS ${TARVELIN_MANIFEST})

enable_testing()

# The tests of what is built above; the others test code that is not built yet, or use POSIX
# themselves (temporary folders, environment, memory-mapped files). tests/win32/ holds what only
# Windows has.
# FrameList and MessageHandler stay Linux-only: their wake-up tests read a thread's state from
# /proc, and what they pin is portable code.
set(tarvelin_windows_unit_tests
  unit/AutoFrameBufferTest
  unit/CommandSetTest
  unit/ConsoleStreamsTest
  unit/FrameCodecTest
  unit/FrameLogTest
  unit/IOHookTest
  unit/ResultCodesTest
  unit/RingBufferTest
  unit/StopwatchTest
  unit/UECP_IOTest
  unit/CZelkorToolsTest
  unit/CommandLineConventionsTest
  unit/CommandLineTest
  unit/DisplayWidthTest
  unit/FilePatternTest
  unit/FirmwareBlocksTest
  unit/FirmwareFilesTest
  unit/FlashPlanTest
  unit/FleetInventoryTest
  unit/FleetReportTest
  unit/FleetSchedulerTest
  unit/IniSettingsTextTest
  unit/LogLocationTest
  unit/ProcedureTextsTest
  unit/ProcedureVerdictsTest
  unit/SettingsTest
  unit/SignalPipeTest
  unit/StringManagerTest
  unit/SystemErrorTextTest
  unit/TerminalLinesTest
  unit/UpdateLogTest
  win32/CommandLineQuotingTest
  win32/ConsoleControlTest
  win32/ConsoleOnWindowsTest
  win32/OpenFailureHintsTest
  win32/OpenFailureKindsTest
  win32/PortIdsTest
  win32/SerialSetupTest
)
# Real loopback sockets; real children.
set(tarvelin_windows_integration_tests
  win32/ChildProcessWindowsTest
  win32/WinsockTransportTest
)

# The Windows tests' child, beside them in the build folder: it does on request what the tests
# need of a child.
add_executable(tarvelin_test_child tests/win32/TestChild.cpp)
target_link_libraries(tarvelin_test_child PRIVATE tarvelin_console)
# Its arguments as the C runtime split them, as UTF-16 (wmain).
target_link_options(tarvelin_test_child PRIVATE -municode)

# One executable per label, as on Linux.
function(tarvelin_windows_test_suite label)
  set(target tarvelin_${label}_tests)
  set(sources ${ARGN})
  list(TRANSFORM sources PREPEND ${CMAKE_CURRENT_SOURCE_DIR}/tests/)
  list(TRANSFORM sources APPEND .cpp)
  add_executable(${target} ${sources})
  target_link_libraries(${target} PRIVATE tarvelin_core tarvelin_console tarvelin_cli_core GTest::gtest
    GTest::gmock GTest::gtest_main)
  target_include_directories(${target} PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/tests
    ${CMAKE_CURRENT_SOURCE_DIR}/tests/support/win32)
  target_include_directories(${target} SYSTEM PRIVATE ${TARVELIN_HOST_HEADERS})
  target_compile_definitions(${target} PRIVATE TARVELIN_PROJECT_VERSION="${PROJECT_VERSION}")
  add_dependencies(${target} tarvelin_test_child)
  # Listed at test time, not after linking: the build needs no Wine.
  gtest_discover_tests(${target}
    DISCOVERY_MODE PRE_TEST
    DISCOVERY_TIMEOUT 120
    PROPERTIES LABELS ${label} TIMEOUT 300)
endfunction()

tarvelin_windows_test_suite(unit ${tarvelin_windows_unit_tests})
tarvelin_windows_test_suite(integration ${tarvelin_windows_integration_tests})

# The wizard logic (wizard/): what the native wizard draws and forwards its events to, over the
# core. Its tests join the unit suite above.
file(GLOB wizard_sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/wizard/*.cpp)
add_library(tarvelin_wizard STATIC ${wizard_sources})
target_link_libraries(tarvelin_wizard PUBLIC tarvelin_core)
target_sources(tarvelin_unit_tests PRIVATE
  ${CMAKE_CURRENT_SOURCE_DIR}/tests/unit/ConnectPageLogicTest.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/tests/unit/StartArgumentsTest.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/tests/unit/WizardSheetLogicTest.cpp)
target_link_libraries(tarvelin_unit_tests PRIVATE tarvelin_wizard)
include(${CMAKE_CURRENT_LIST_DIR}/windows/Wizard.cmake)
