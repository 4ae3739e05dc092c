# TinyXML for MinGW: Debian builds it for Linux only, so its own source package (with Debian's
# patches, among them the one that makes TIXML_USE_STL the default) is fetched once into the
# build folder and built here from the sources Debian's rules compile. The version of the Linux
# package (libtinyxml-dev) is asked for first, so both builds parse with the same code.

set(tinyxml_deps ${CMAKE_BINARY_DIR}/_deps)
file(GLOB tinyxml_stamps ${tinyxml_deps}/tinyxml-*/.debian-version)
if(tinyxml_stamps)
  list(GET tinyxml_stamps 0 tinyxml_stamp)
  get_filename_component(TARVELIN_TINYXML_SOURCE ${tinyxml_stamp} DIRECTORY)
else()
  execute_process(COMMAND dpkg-query -W -f=\${source:Version} libtinyxml-dev
    OUTPUT_VARIABLE tinyxml_linux_version ERROR_QUIET)
  message(STATUS "Fetching Debian's tinyxml sources ${tinyxml_linux_version}")
  execute_process(
    COMMAND ${CMAKE_CURRENT_LIST_DIR}/fetch-debian-source.sh tinyxml ${tinyxml_deps}
            ${tinyxml_linux_version}
    OUTPUT_VARIABLE TARVELIN_TINYXML_SOURCE
    OUTPUT_STRIP_TRAILING_WHITESPACE
    RESULT_VARIABLE tinyxml_fetch_result)
  if(NOT tinyxml_fetch_result EQUAL 0)
    message(FATAL_ERROR "Debian's tinyxml sources could not be fetched (see above)")
  endif()
endif()
file(READ ${TARVELIN_TINYXML_SOURCE}/.debian-version tinyxml_version)
string(STRIP "${tinyxml_version}" tinyxml_version)
message(STATUS "TinyXML ${tinyxml_version} from ${TARVELIN_TINYXML_SOURCE}")

add_library(tarvelin_tinyxml STATIC
  ${TARVELIN_TINYXML_SOURCE}/tinyxml.cpp
  ${TARVELIN_TINYXML_SOURCE}/tinyxmlparser.cpp
  ${TARVELIN_TINYXML_SOURCE}/tinyxmlerror.cpp)
target_compile_definitions(tarvelin_tinyxml PUBLIC TIXML_USE_STL)
target_include_directories(tarvelin_tinyxml SYSTEM PUBLIC ${TARVELIN_TINYXML_SOURCE})
target_compile_options(tarvelin_tinyxml PRIVATE -w)
