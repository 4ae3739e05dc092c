# The Windows wizard, tarvelin.exe (ui-win32/), and its test program (tests/win32/wizard/), run
# by scripts/test-windows-wizard.sh against the Linux simulator. Its icon and header picture are
# made from packaging/ and resources/ with Debian's tools: rsvg-convert (librsvg2-bin), icotool
# (icoutils) and netpbm.

enable_language(RC)

set(wizard_generated ${CMAKE_BINARY_DIR}/ui-win32)
file(MAKE_DIRECTORY ${wizard_generated})

foreach(tool rsvg-convert icotool pngtopnm ppmtobmp)
  string(MAKE_C_IDENTIFIER ${tool} tool_var)
  find_program(TARVELIN_${tool_var} ${tool})
  if(NOT TARVELIN_${tool_var})
    message(FATAL_ERROR "${tool} is missing: scripts/setup.sh installs it "
      "(librsvg2-bin, icoutils, netpbm)")
  endif()
endforeach()

set(icon_sizes 16 24 32 48 256)
set(icon_pngs)
foreach(size ${icon_sizes})
  set(png ${wizard_generated}/tarvelin-${size}.png)
  add_custom_command(OUTPUT ${png}
    COMMAND ${TARVELIN_rsvg_convert} -w ${size} -h ${size} -o ${png}
            ${CMAKE_SOURCE_DIR}/packaging/tarvelin.svg
    DEPENDS ${CMAKE_SOURCE_DIR}/packaging/tarvelin.svg VERBATIM)
  list(APPEND icon_pngs ${png})
endforeach()
add_custom_command(OUTPUT ${wizard_generated}/tarvelin.ico
  COMMAND ${TARVELIN_icotool} -c -o ${wizard_generated}/tarvelin.ico ${icon_pngs}
  DEPENDS ${icon_pngs} VERBATIM)
# The header picture as the 24-bit bitmap the resource takes.
add_custom_command(OUTPUT ${wizard_generated}/WizardHeader.bmp
  COMMAND sh -c "\"$0\" \"$1\" | \"$2\" -bpp 24 > \"$3\"" ${TARVELIN_pngtopnm}
          ${CMAKE_SOURCE_DIR}/resources/WizardHeader.png ${TARVELIN_ppmtobmp}
          ${wizard_generated}/WizardHeader.bmp
  DEPENDS ${CMAKE_SOURCE_DIR}/resources/WizardHeader.png VERBATIM)
configure_file(${CMAKE_SOURCE_DIR}/ui-win32/Tarvelin.manifest.in
  ${wizard_generated}/Tarvelin.manifest @ONLY)
file(CONFIGURE OUTPUT ${wizard_generated}/TarvelinVersion.h CONTENT
  "#define TARVELIN_VERSION_MAJOR ${PROJECT_VERSION_MAJOR}\n#define TARVELIN_VERSION_MINOR ${PROJECT_VERSION_MINOR}\n#define TARVELIN_FILE_VERSION \"${PROJECT_VERSION}\"\n")
add_custom_target(tarvelin_wizard_resources DEPENDS ${wizard_generated}/tarvelin.ico
  ${wizard_generated}/WizardHeader.bmp)
set(wizard_rc ${CMAKE_SOURCE_DIR}/ui-win32/Tarvelin.rc)
set_source_files_properties(${wizard_rc} PROPERTIES OBJECT_DEPENDS
  "${wizard_generated}/tarvelin.ico;${wizard_generated}/WizardHeader.bmp;${wizard_generated}/Tarvelin.manifest;${CMAKE_SOURCE_DIR}/ui-win32/resource.h")

file(GLOB wizard_ui_sources CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/ui-win32/*.cpp)
list(REMOVE_ITEM wizard_ui_sources ${CMAKE_SOURCE_DIR}/ui-win32/main.cpp)
add_library(tarvelin_win32_ui STATIC ${wizard_ui_sources})
target_link_libraries(tarvelin_win32_ui PUBLIC tarvelin_wizard comctl32 version shell32 ole32 uuid
  gdi32)
target_compile_definitions(tarvelin_win32_ui PUBLIC _WIN32_WINNT=0x0A00 WINVER=0x0A00 UNICODE
  _UNICODE)

# Every program that shows the sheet carries the templates and the manifest itself.
function(tarvelin_wizard_program target)
  target_sources(${target} PRIVATE ${wizard_rc})
  target_include_directories(${target} PRIVATE ${wizard_generated}
    ${CMAKE_SOURCE_DIR}/ui-win32)
  target_link_libraries(${target} PRIVATE tarvelin_win32_ui)
  add_dependencies(${target} tarvelin_wizard_resources)
endfunction()

add_executable(tarvelin WIN32 ${CMAKE_SOURCE_DIR}/ui-win32/main.cpp)
tarvelin_wizard_program(tarvelin)

file(GLOB wizard_test_sources CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/win32/wizard/*.cpp)
if(wizard_test_sources)
  add_executable(tarvelin_wizard_tests ${wizard_test_sources} ${CMAKE_SOURCE_DIR}/sim/Sha256.cpp)
  tarvelin_wizard_program(tarvelin_wizard_tests)
  target_link_libraries(tarvelin_wizard_tests PRIVATE GTest::gtest GTest::gtest_main)
  target_compile_definitions(tarvelin_wizard_tests PRIVATE
    TARVELIN_PROJECT_VERSION="${PROJECT_VERSION}")
  target_include_directories(tarvelin_wizard_tests PRIVATE ${CMAKE_SOURCE_DIR}/tests
    ${CMAKE_SOURCE_DIR}/tests/e2e ${CMAKE_SOURCE_DIR}/tests/support/win32)
endif()

# The installer, when Debian's nsis is there (scripts/test-windows-wizard.sh installs it): the
# files of the portable zip's folder (cmake/windows/PortableZip.cmake), stripped there.
find_program(TARVELIN_MAKENSIS makensis)
if(TARVELIN_MAKENSIS)
  set(TARVELIN_PORTABLE_FOLDER ${CMAKE_BINARY_DIR}/portable/tarvelin-${PROJECT_VERSION}-win64)
  set(TARVELIN_INSTALLER ${CMAKE_BINARY_DIR}/tarvelin-${PROJECT_VERSION}-setup.exe)
  configure_file(${CMAKE_SOURCE_DIR}/packaging/windows/tarvelin.nsi.in
    ${CMAKE_BINARY_DIR}/installer/tarvelin.nsi @ONLY)
  add_custom_command(OUTPUT ${TARVELIN_INSTALLER}
    COMMAND ${TARVELIN_MAKENSIS} -V2 ${CMAKE_BINARY_DIR}/installer/tarvelin.nsi
    DEPENDS ${CMAKE_BINARY_DIR}/packages/tarvelin-${PROJECT_VERSION}-win64.zip
      ${CMAKE_BINARY_DIR}/installer/tarvelin.nsi
    VERBATIM)
  add_custom_target(tarvelin_installer DEPENDS ${TARVELIN_INSTALLER})
  add_dependencies(tarvelin_installer portable-zip)
endif()
