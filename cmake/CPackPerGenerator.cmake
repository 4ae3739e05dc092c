# Read by cpack once per generator: each package packs its own install component.
if(CPACK_GENERATOR STREQUAL "DEB")
  set(CPACK_INSTALL_CMAKE_PROJECTS "${CPACK_TARVELIN_BUILD_DIR};Tarvelin;system;/")
  # The package's version must have its entry in the Debian changelog.
  set(version "${CPACK_PACKAGE_VERSION}-${CPACK_DEBIAN_PACKAGE_RELEASE}")
  file(READ "${CPACK_TARVELIN_CHANGELOG}" head LIMIT 200)
  string(REGEX MATCH "^tarvelin \\(([^)]*)\\)" first_entry "${head}")
  if(NOT CMAKE_MATCH_1 STREQUAL version)
    message(FATAL_ERROR "The first entry of ${CPACK_TARVELIN_CHANGELOG} is for version "
      "\"${CMAKE_MATCH_1}\", not ${version}: add an entry for ${version} at its top.")
  endif()
elseif(CPACK_GENERATOR STREQUAL "TGZ")
  set(CPACK_INSTALL_CMAKE_PROJECTS "${CPACK_TARVELIN_BUILD_DIR};Tarvelin;portable;/")
  set(CPACK_PACKAGE_FILE_NAME
    "tarvelin-${CPACK_PACKAGE_VERSION}-portable-${CPACK_TARVELIN_PROCESSOR}")
  set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
endif()
