# Installation and the two packages, made with CPack from the build folder:
#   cpack -G DEB   tarvelin_VERSION-RELEASE_ARCH.deb: the programs in /usr/bin, desktop entry, icons,
#                  manual pages, bash completion, README and copyright (component "system",
#                  also what `cmake --install` installs)
#   cpack -G TGZ   tarvelin-VERSION-portable-ARCH.tar.gz: one folder with the three programs and
#                  the README side by side, and the licence texts in licenses/ (component
#                  "portable"), so that firmware files put beside the programs are found there
#                  and the log is written there.
# The two layouts differ, so each generator packs its own component; cmake/CPackPerGenerator.cmake
# picks it when cpack runs.

include(GNUInstallDirs)

set(tarvelin_programs tarvelin tarvelin-cli tarvelin-sim)
set(tarvelin_doc_dir ${CMAKE_INSTALL_DATADIR}/doc/tarvelin)
set(tarvelin_packaging ${CMAKE_SOURCE_DIR}/packaging)
set(tarvelin_staged ${CMAKE_BINARY_DIR}/packaging)

# Files the build makes for the package: the PNG icons rendered from the SVG, and the Debian
# changelog and the wizard's manual page compressed as Debian wants them (gzip -9n: no name, no
# time stamp, so rebuilding gives the same bytes).
set(tarvelin_icon_sizes 16 22 24 32 48 64 128 256)
set(tarvelin_package_files)
find_program(RSVG_CONVERT rsvg-convert)
if(RSVG_CONVERT)
  foreach(size IN LISTS tarvelin_icon_sizes)
    set(png ${tarvelin_staged}/icons/${size}x${size}/tarvelin.png)
    add_custom_command(OUTPUT ${png}
      COMMAND ${CMAKE_COMMAND} -E make_directory ${tarvelin_staged}/icons/${size}x${size}
      COMMAND ${RSVG_CONVERT} --width=${size} --height=${size} --format=png
        --output=${png} ${tarvelin_packaging}/tarvelin.svg
      DEPENDS ${tarvelin_packaging}/tarvelin.svg
      COMMENT "Rendering the ${size}x${size} icon" VERBATIM)
    list(APPEND tarvelin_package_files ${png})
  endforeach()
else()
  message(WARNING "rsvg-convert (Debian package librsvg2-bin) not found: the packages get the "
    "SVG icon only. Run scripts/setup.sh and configure again to get the PNG sizes.")
endif()

foreach(pair "changelog;changelog.Debian.gz" "tarvelin.1;tarvelin.1.gz")
  list(GET pair 0 source)
  list(GET pair 1 compressed)
  add_custom_command(OUTPUT ${tarvelin_staged}/${compressed}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${tarvelin_staged}
    COMMAND gzip -9nc ${tarvelin_packaging}/${source} > ${tarvelin_staged}/${compressed}
    DEPENDS ${tarvelin_packaging}/${source}
    COMMENT "Compressing packaging/${source}")
  list(APPEND tarvelin_package_files ${tarvelin_staged}/${compressed})
endforeach()
add_custom_target(tarvelin_package_files ALL DEPENDS ${tarvelin_package_files})

# --- component "system": the Debian layout under the prefix (/usr in the package) ---
install(TARGETS ${tarvelin_programs} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT system)
install(FILES ${tarvelin_packaging}/tarvelin.desktop
  DESTINATION ${CMAKE_INSTALL_DATADIR}/applications COMPONENT system)
install(FILES ${tarvelin_packaging}/tarvelin.svg
  DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps COMPONENT system)
if(RSVG_CONVERT)
  foreach(size IN LISTS tarvelin_icon_sizes)
    install(FILES ${tarvelin_staged}/icons/${size}x${size}/tarvelin.png
      DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps COMPONENT system)
  endforeach()
endif()
install(FILES ${CMAKE_SOURCE_DIR}/README.md ${tarvelin_packaging}/copyright
  ${tarvelin_staged}/changelog.Debian.gz DESTINATION ${tarvelin_doc_dir} COMPONENT system)
install(FILES ${tarvelin_staged}/tarvelin.1.gz
  DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT system)

# The command line's manual pages are made by the build and its completion files lie in cli/;
# both are installed once they exist, so this file works with and without them.
set(tarvelin_built_man_pages ${CMAKE_BINARY_DIR}/cli/man/tarvelin-cli.1
  ${CMAKE_BINARY_DIR}/cli/man/tarvelin-sim.1)
install(CODE "set(tarvelin_man_pages \"${tarvelin_built_man_pages}\")
  set(tarvelin_man_dir \"${CMAKE_INSTALL_MANDIR}/man1\")" COMPONENT system)
install(SCRIPT ${CMAKE_CURRENT_LIST_DIR}/InstallManPages.cmake COMPONENT system)
file(GLOB tarvelin_completions CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/cli/completion/tarvelin-*)
if(tarvelin_completions)
  install(FILES ${tarvelin_completions}
    DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions COMPONENT system)
endif()

# --- component "portable": one flat folder, packed by the TGZ generator only ---
# Its programs are built a second time from the same sources and libraries, linked with the
# TinyXML archive (tarvelin_core reads TARVELIN_STATIC_TINYXML), so that they run wherever Qt 6
# is; an embedded copy is what Debian's rules forbid in the .deb. Only the link differs, so the
# extra cost is one compile of each main file and three links.
function(tarvelin_portable_program program)
  get_target_property(sources ${program} SOURCES)
  get_target_property(source_dir ${program} SOURCE_DIR)
  set(absolute_sources)
  foreach(source IN LISTS sources)
    cmake_path(ABSOLUTE_PATH source BASE_DIRECTORY ${source_dir})
    list(APPEND absolute_sources ${source})
  endforeach()
  add_executable(${program}-portable ${absolute_sources})
  foreach(property LINK_LIBRARIES INCLUDE_DIRECTORIES COMPILE_DEFINITIONS COMPILE_OPTIONS
      LINK_OPTIONS AUTOMOC AUTORCC AUTOUIC)
    get_target_property(value ${program} ${property})
    if(value)
      set_property(TARGET ${program}-portable PROPERTY ${property} ${value})
    endif()
  endforeach()
  # Named apart from the installed program in the build (Ninja has a short alias for every
  # output name), renamed when packed; stripped by the linker, as a release is.
  set_target_properties(${program}-portable PROPERTIES
    RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/portable TARVELIN_STATIC_TINYXML ON)
  target_link_options(${program}-portable PRIVATE -s)
  install(PROGRAMS $<TARGET_FILE:${program}-portable> DESTINATION . RENAME ${program}
    COMPONENT portable EXCLUDE_FROM_ALL)
endfunction()
# A sanitizer build packs nothing, so it spares the second link.
if(NOT TARVELIN_SANITIZE AND NOT TARVELIN_TSAN)
  foreach(program IN LISTS tarvelin_programs)
    tarvelin_portable_program(${program})
  endforeach()
endif()
install(FILES ${CMAKE_SOURCE_DIR}/README.md DESTINATION . COMPONENT portable EXCLUDE_FROM_ALL)
# The licence texts of everything linked into the portable programs, statically or not (the
# .deb has them in its copyright and its dependencies). The LGPL that Qt comes under asks for
# its text and the GPL's beside a program that uses it; Debian's base system has both.
file(GLOB tarvelin_licenses CONFIGURE_DEPENDS ${tarvelin_packaging}/licenses/*.txt)
install(FILES ${tarvelin_licenses} DESTINATION licenses COMPONENT portable EXCLUDE_FROM_ALL)
foreach(text LGPL-3 GPL-3)
  set(common /usr/share/common-licenses/${text})
  if(EXISTS ${common})
    install(FILES ${common} DESTINATION licenses RENAME ${text}.txt
      COMPONENT portable EXCLUDE_FROM_ALL)
  else()
    message(WARNING "${common} (Debian package base-files) not found: the portable folder "
      "lacks licenses/${text}.txt, which Qt's licence asks for.")
  endif()
endforeach()

# --- CPack ---
set(CPACK_PACKAGE_NAME tarvelin)
set(CPACK_PACKAGE_VENDOR Orvane)
set(CPACK_PACKAGE_CONTACT "Tarvelin developers <tarvelin@orvane.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "firmware updater for T1x RDS coders")
# Lines of at most 80 characters, as Debian wants; the DEB generator indents them.
string(JOIN "\n" CPACK_PACKAGE_DESCRIPTION
  "Tarvelin updates the firmware of T1x RDS broadcast coders in the field, over"
  "a serial port or over TCP/IP through the coder's NetPC front-end. It"
  "identifies what runs on the coder, flashes up to three firmware images,"
  "waits for the restart, reads the new version and keeps a log of every frame"
  "exchanged."
  ""
  "This package holds the wizard (tarvelin), the command line (tarvelin-cli)"
  "and a simulated coder to try both out (tarvelin-sim).")
set(CPACK_GENERATOR DEB TGZ)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR}/packages)

set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The wizard's dialog buttons come from Qt's own translations.
set(CPACK_DEBIAN_PACKAGE_DEPENDS qt6-translations-l10n)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

# Read by cmake/CPackPerGenerator.cmake when cpack runs.
set(CPACK_TARVELIN_BUILD_DIR ${CMAKE_BINARY_DIR})
set(CPACK_TARVELIN_CHANGELOG ${tarvelin_packaging}/changelog)
set(CPACK_TARVELIN_PROCESSOR ${CMAKE_SYSTEM_PROCESSOR})
set(CPACK_PROJECT_CONFIG_FILE ${CMAKE_CURRENT_LIST_DIR}/CPackPerGenerator.cmake)

include(CPack)
