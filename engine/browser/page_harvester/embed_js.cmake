# Embeds the in-page scripts (js/*.js) as string constants:
#   cmake -DOUT_DIR=<dir> -DSOURCES=<a.js|b.js> -P embed_js.cmake
# writes <dir>/page_scripts.hpp and <dir>/page_scripts.cpp, one constant
# per file, named after the file (js/element_path.js -> js::element_path),
# holding the file's text without its final line break.
string(REPLACE "|" ";" SOURCES "${SOURCES}")
set(delimiter "plainstep_js")
set(header "#pragma once\n// Generated from engine/browser/page_harvester/js by embed_js.cmake.\n#include <string_view>\n\nnamespace plainstep::harvest::js {\n")
set(body "// Generated from engine/browser/page_harvester/js by embed_js.cmake.\n#include \"page_scripts.hpp\"\n\nnamespace plainstep::harvest::js {\n")
foreach(source IN LISTS SOURCES)
  get_filename_component(name "${source}" NAME_WE)
  string(MAKE_C_IDENTIFIER "${name}" name)
  file(READ "${source}" text)
  string(REGEX REPLACE "\n$" "" text "${text}")
  string(FIND "${text}" ")${delimiter}\"" clash)
  if(NOT clash EQUAL -1)
    message(FATAL_ERROR "${source} holds the text )${delimiter}\", which ends the embedded string early")
  endif()
  string(APPEND header "extern const std::string_view ${name};\n")
  string(APPEND body "const std::string_view ${name} = R\"${delimiter}(${text})${delimiter}\";\n")
endforeach()
string(APPEND header "\n}  // namespace plainstep::harvest::js\n")
string(APPEND body "\n}  // namespace plainstep::harvest::js\n")
# Replaced only when changed, so an untouched script rebuilds nothing.
foreach(out hpp cpp)
  if(out STREQUAL "hpp")
    file(WRITE "${OUT_DIR}/page_scripts.hpp.new" "${header}")
  else()
    file(WRITE "${OUT_DIR}/page_scripts.cpp.new" "${body}")
  endif()
  file(COPY_FILE "${OUT_DIR}/page_scripts.${out}.new" "${OUT_DIR}/page_scripts.${out}" ONLY_IF_DIFFERENT)
  file(REMOVE "${OUT_DIR}/page_scripts.${out}.new")
endforeach()
