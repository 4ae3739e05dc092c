# End-to-end runs of tarvelin-cli.exe under Wine against the Linux simulator of the Linux build
# (build/ beside build-win/ unless TARVELIN_LINUX_BUILD says otherwise): one test per case of
# tests/win32/wine-e2e.sh, label e2e. The updates write their times to e2e-figures.txt, and the
# same updates with the Linux tarvelin-cli run beside them for comparison. The timed updates
# (the cases named *-update) run alone, as their times mean nothing under load; the COM cases
# one at a time, as they map COM7 in the shared prefix.

set(TARVELIN_LINUX_BUILD ${CMAKE_SOURCE_DIR}/build CACHE PATH
  "the Linux build whose tarvelin-sim (and tarvelin-cli, for comparison) the end-to-end runs use")
set(tarvelin_e2e_script ${CMAKE_SOURCE_DIR}/tests/win32/wine-e2e.sh)
set(TARVELIN_E2E_FIGURES ${CMAKE_BINARY_DIR}/e2e-figures.txt)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${tarvelin_e2e_script})
execute_process(COMMAND ${tarvelin_e2e_script} --list OUTPUT_VARIABLE tarvelin_e2e_cases
  RESULT_VARIABLE tarvelin_e2e_listed)
if(NOT tarvelin_e2e_listed EQUAL 0)
  message(FATAL_ERROR "${tarvelin_e2e_script} --list failed")
endif()
string(REPLACE "\n" ";" tarvelin_e2e_cases "${tarvelin_e2e_cases}")
list(FILTER tarvelin_e2e_cases EXCLUDE REGEX "^$")

function(tarvelin_e2e_test name case cli wine_run labels)
  add_test(NAME ${name} COMMAND ${tarvelin_e2e_script} ${case})
  set(environment
    TARVELIN_SIM=${TARVELIN_LINUX_BUILD}/sim/tarvelin-sim
    TARVELIN_CLI=${cli}
    TARVELIN_WINE_RUN=${wine_run}
    WINEPREFIX=${TARVELIN_WINEPREFIX}
    TARVELIN_FIGURES=${TARVELIN_E2E_FIGURES}
    TARVELIN_ZIP=${CMAKE_BINARY_DIR}/packages/tarvelin-${PROJECT_VERSION}-win64.zip)
  set_tests_properties(${name} PROPERTIES
    LABELS "${labels}" TIMEOUT 240 SKIP_RETURN_CODE 77
    ENVIRONMENT "${environment}")
  if(case MATCHES "-update$")
    set_tests_properties(${name} PROPERTIES RUN_SERIAL TRUE)
  endif()
  if(case MATCHES "^com-")
    set_tests_properties(${name} PROPERTIES RESOURCE_LOCK wine-com7)
  endif()
endfunction()

# At the end of the folder, when the command line's target is known. Without it the cases are
# listed and skipped.
function(tarvelin_e2e_tests)
  if(TARGET tarvelin-cli)
    set(cli $<TARGET_FILE:tarvelin-cli>)
  else()
    set(cli ${CMAKE_BINARY_DIR}/no-tarvelin-cli.exe-yet)
  endif()
  foreach(case IN LISTS tarvelin_e2e_cases)
    tarvelin_e2e_test(e2e.${case} ${case} ${cli} ${CMAKE_BINARY_DIR}/wine-run.sh e2e)
  endforeach()
  foreach(case tcp-update com-9600-update)
    tarvelin_e2e_test(e2e.linux.${case} ${case} ${TARVELIN_LINUX_BUILD}/cli/tarvelin-cli ""
      "e2e;linux")
  endforeach()
endfunction()
cmake_language(DEFER CALL tarvelin_e2e_tests)
