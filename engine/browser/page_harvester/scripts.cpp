// The in-page scripts, as the page receives them: the js/ files, embedded
// at build time, each with the functions it uses defined ahead of it.
#include "scripts.hpp"

#include <initializer_list>
#include <string_view>
#include <utility>

#include "page_scripts.hpp"

namespace plainstep {

namespace {

// An expression that defines the named functions, then gives the script's
// function. Every part stands in parentheses of its own, so a script that
// opens with a comment still gives its value.
std::string _with(std::initializer_list<std::pair<const char*, std::string>> names, std::string_view script) {
  std::string out = "(() => {\n'use strict';\n";
  for (const auto& [name, source] : names) out.append("const ").append(name).append(" = (\n").append(source).append("\n);\n");
  out.append("return (\n").append(script).append("\n);\n})()");
  return out;
}

// The shared helpers, made from the element-path function.
std::string _lib() {
  return "(\n" + std::string(harvest::js::page_lib) + "\n)(\n" + std::string(harvest::js::element_path) + "\n)";
}

std::string _with_lib(std::string_view script) { return _with({{"lib", _lib()}}, script); }

}  // namespace

const std::string _XPATH_JS(harvest::js::element_path);
const std::string _TAG_NAME_JS(harvest::js::tag_name);
const std::string _DATA_ATTRIBUTES_JS(harvest::js::data_attributes);
const std::string _DIRECT_TEXT_JS(harvest::js::direct_text);
const std::string _PRECEDING_SIBLING_JS(harvest::js::preceding_sibling);
const std::string _PARENT_CHILDREN_JS(harvest::js::parent_children);
const std::string LABEL_TEXTS_JS = _with_lib(harvest::js::label_texts);
const std::string PHRASE_JS = _with_lib(harvest::js::phrase);
const std::string ICON_NAME_JS = _with_lib(harvest::js::icon_name);
const std::string FRAME_POSITION_JS = _with_lib(harvest::js::frame_position);
const std::string FRAME_DESCRIPTION_JS = _with_lib(harvest::js::frame_description);
const std::string _CURSOR_POINTER_JS = _with_lib(harvest::js::cursor_pointer);
const std::string _GATHER_JS = _with({{"lib", _lib()},
                                      {"tagOf", std::string(harvest::js::tag_name)},
                                      {"pointerItems", std::string(harvest::js::cursor_pointer)}},
                                     harvest::js::gather);

}  // namespace plainstep
