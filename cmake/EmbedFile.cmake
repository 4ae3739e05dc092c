# Turns a file into a C++ source that holds its bytes as `const unsigned char SYMBOL[]` and
# `const std::size_t SYMBOL_Size`, regenerated whenever the file changes.

if(CMAKE_SCRIPT_MODE_FILE)
  # Script mode: INPUT, OUTPUT and SYMBOL come from -D.
  file(READ "${INPUT}" hex HEX)
  string(LENGTH "${hex}" hex_length)
  math(EXPR size "${hex_length} / 2")
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
  file(WRITE "${OUTPUT}.tmp"
    "// Generated from ${INPUT}; do not edit.\n"
    "#include <cstddef>\n\n"
    "extern const unsigned char ${SYMBOL}[];\n"
    "extern const std::size_t ${SYMBOL}_Size;\n\n"
    "const unsigned char ${SYMBOL}[] = {\n    ${bytes}0x00};\n"
    "const std::size_t ${SYMBOL}_Size = ${size};\n")
  file(COPY_FILE "${OUTPUT}.tmp" "${OUTPUT}" ONLY_IF_DIFFERENT)
  file(REMOVE "${OUTPUT}.tmp")
  return()
endif()

set(TARVELIN_EMBED_SCRIPT ${CMAKE_CURRENT_LIST_FILE})

function(tarvelin_embed_file target input symbol)
  get_filename_component(name ${input} NAME_WE)
  set(output ${CMAKE_CURRENT_BINARY_DIR}/generated/${name}Embedded.cpp)
  add_custom_command(
    OUTPUT ${output}
    COMMAND ${CMAKE_COMMAND} -DINPUT=${input} -DOUTPUT=${output} -DSYMBOL=${symbol}
            -P ${TARVELIN_EMBED_SCRIPT}
    DEPENDS ${input} ${TARVELIN_EMBED_SCRIPT}
    COMMENT "Embedding ${name}"
    VERBATIM)
  target_sources(${target} PRIVATE ${output})
endfunction()
