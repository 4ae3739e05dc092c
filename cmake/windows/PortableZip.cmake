# The portable zip packages/tarvelin-VERSION-win64.zip: one folder with the wizard tarvelin.exe
# and tarvelin-cli.exe (stripped, MinGW-w64's C and C++ runtime linked in, so they need only
# Windows' own DLLs), the README, and in licenses/ the licence texts of everything linked into
# them. Built with the rest; the installer takes its files from the same folder.

# Each licence text as SOURCE=NAME in licenses/. The GCC runtime (libgcc, libstdc++) comes under
# the GPL-3 with the GCC Runtime Library Exception, which Debian's copyright file of the
# compiler holds; MinGW-w64's (its C runtime and winpthreads) under the ZPL and expat licences.
set(tarvelin_zip_licenses
  ${CMAKE_SOURCE_DIR}/packaging/windows/licenses-README.txt=README.txt
  ${CMAKE_SOURCE_DIR}/packaging/licenses/Tarvelin.txt=Tarvelin.txt
  ${CMAKE_SOURCE_DIR}/packaging/licenses/TinyXML.txt=TinyXML.txt
  ${CMAKE_SOURCE_DIR}/packaging/licenses/CLI11.txt=CLI11.txt
  ${CMAKE_SOURCE_DIR}/packaging/licenses/nlohmann-json.txt=nlohmann-json.txt
  /usr/share/doc/mingw-w64-x86-64-dev/copyright=MinGW-w64.txt
  /usr/share/doc/gcc-mingw-w64-base/copyright=GCC.txt
  /usr/share/common-licenses/GPL-3=GPL-3.txt)

function(tarvelin_portable_zip)
  if(NOT TARGET tarvelin-cli)
    return()
  endif()
  set(folder tarvelin-${PROJECT_VERSION}-win64)
  set(stage ${CMAKE_BINARY_DIR}/portable)
  set(zip ${CMAKE_BINARY_DIR}/packages/${folder}.zip)
  set(copies)
  set(sources)
  set(programs tarvelin-cli)
  if(TARGET tarvelin)
    list(APPEND programs tarvelin)
  endif()
  foreach(program IN LISTS programs)
    list(APPEND copies COMMAND ${CMAKE_STRIP} -o ${folder}/${program}.exe
      $<TARGET_FILE:${program}>)
  endforeach()
  foreach(entry IN LISTS tarvelin_zip_licenses)
    string(REPLACE "=" ";" entry ${entry})
    list(GET entry 0 source)
    list(GET entry 1 name)
    if(NOT EXISTS ${source})
      message(FATAL_ERROR "${source} not found: the zip needs it as licenses/${name}")
    endif()
    list(APPEND sources ${source})
    list(APPEND copies COMMAND ${CMAKE_COMMAND} -E copy ${source} ${folder}/licenses/${name})
  endforeach()
  add_custom_command(OUTPUT ${zip}
    COMMAND ${CMAKE_COMMAND} -E rm -rf ${folder} ${zip}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${folder}/licenses ${CMAKE_BINARY_DIR}/packages
    COMMAND ${CMAKE_COMMAND} -E copy ${CMAKE_SOURCE_DIR}/README.md ${folder}/README.md
    ${copies}
    COMMAND ${CMAKE_COMMAND} -E tar cf ${zip} --format=zip ${folder}
    WORKING_DIRECTORY ${stage}
    DEPENDS ${programs} ${CMAKE_SOURCE_DIR}/README.md ${sources}
    COMMENT "Packing ${folder}.zip"
    VERBATIM)
  file(MAKE_DIRECTORY ${stage})
  add_custom_target(portable-zip ALL DEPENDS ${zip})
endfunction()
cmake_language(DEFER CALL tarvelin_portable_zip)
