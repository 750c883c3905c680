// The in-page scripts, as the page receives them: the js/ files, embedded
// at build time, and the gathering script with the functions it uses.
#include "scripts.hpp"

#include "page_scripts.hpp"

namespace plainstep {

namespace {

// A script that uses functions of its own: an expression that defines
// them, then gives the script's function.
std::string _with(std::initializer_list<std::pair<const char*, std::string_view>> names,
                  std::string_view script) {
  std::string out = "(() => {\n";
  for (const auto& [name, source] : names) out.append("const ").append(name).append(" = ").append(source).append(";\n");
  out.append("return ").append(script).append(";\n})()");
  return out;
}

}  // namespace

const std::string _XPATH_JS(harvest::js::element_path);
const std::string _TAG_NAME_JS(harvest::js::tag_name);
const std::string _DATA_ATTRIBUTES_JS(harvest::js::data_attributes);
const std::string _DIRECT_TEXT_JS(harvest::js::direct_text);
const std::string _PRECEDING_SIBLING_JS(harvest::js::preceding_sibling);
const std::string _PARENT_CHILDREN_JS(harvest::js::parent_children);
const std::string _CURSOR_POINTER_JS(harvest::js::cursor_pointer);
const std::string _GATHER_JS = _with({{"tagOf", harvest::js::tag_name},
                                      {"precedingSibling", harvest::js::preceding_sibling},
                                      {"parentChildren", harvest::js::parent_children},
                                      {"pointerItems", harvest::js::cursor_pointer}},
                                     harvest::js::gather);

}  // namespace plainstep
