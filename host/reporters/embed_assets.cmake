# Writes OUT, a C++ source defining report_assets() with the bytes of each
# file in FILES (a |-separated list), so the viewer ships inside the binary.
string(REPLACE "|" ";" FILES "${FILES}")
set(body "")
set(entries "")
set(i 0)
foreach(file ${FILES})
  file(READ ${file} hex HEX)
  string(LENGTH "${hex}" length)
  math(EXPR size "${length} / 2")
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "'\\\\x\\1'," bytes "${hex}")
  get_filename_component(name ${file} NAME)
  string(APPEND body "const char _asset${i}[] = {${bytes} 0};\n")
  string(APPEND entries "      {\"${name}\", std::string_view(_asset${i}, ${size})},\n")
  math(EXPR i "${i} + 1")
endforeach()
file(WRITE ${OUT}.tmp "// Generated from host/report/ by embed_assets.cmake; do not edit.
#include \"reporters/report_assets.hpp\"

namespace plainstep::host {
namespace {
${body}}  // namespace

const std::vector<std::pair<std::string_view, std::string_view>>& report_assets() {
  static const std::vector<std::pair<std::string_view, std::string_view>> assets{
${entries}  };
  return assets;
}

}  // namespace plainstep::host
")
# Unchanged content keeps its time stamp, so nothing rebuilds needlessly.
configure_file(${OUT}.tmp ${OUT} COPYONLY)
file(REMOVE ${OUT}.tmp)
