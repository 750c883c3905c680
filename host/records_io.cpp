#include "records_io.hpp"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace plainstep::host {

namespace {
// The library's words without its "[json.exception.parse_error.101] " tag.
std::string _reason(const json::exception& e) {
  std::string what = e.what();
  if (what.starts_with("[json.exception.")) {
    size_t close = what.find("] ");
    if (close != std::string::npos) what.erase(0, close + 2);
  }
  return what;
}
}  // namespace

json read_json_file(const std::string& path) {
  std::error_code ec;
  if (std::filesystem::is_directory(path, ec))
    throw std::invalid_argument("cannot read " + path + ": it is a folder, not a JSON file");
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::invalid_argument("cannot read " + path + ": " + std::strerror(errno));
  std::stringstream buf;
  buf << in.rdbuf();
  if (in.bad()) throw std::invalid_argument("cannot read " + path + ": read failed");
  try {
    return json::parse(buf.str());
  } catch (const json::parse_error& e) {
    throw std::invalid_argument(path + ": not valid JSON: " + _reason(e));
  } catch (const json::exception& e) {
    // A number beyond what a double holds, say: still this file's fault.
    throw std::invalid_argument(path + ": cannot be read as JSON: " + _reason(e));
  }
}

PageRecords read_snapshot(const std::string& path) {
  json j = read_json_file(path);
  if (!j.is_object())
    throw std::invalid_argument(path + ": a snapshot must be a JSON object with \"url\", "
                                "\"elements\" and \"text_elements\"");
  PageRecords page;
  try {
    if (auto it = j.find("url"); it != j.end() && it->is_string()) page.url = *it;
    auto el = j.find("elements");
    if (el == j.end()) throw TypeError("snapshot has no \"elements\" member");
    page.elements = elements_from_json(*el);
    if (auto tx = j.find("text_elements"); tx != j.end()) {
      try {
        page.text_elements = elements_from_json(*tx);
      } catch (const TypeError& e) {
        throw TypeError(std::string("text_elements: ") + e.what());
      }
    }
  } catch (const TypeError& e) {
    throw std::invalid_argument(path + ": " + e.what());
  }
  return page;
}

Elements read_element_list(const std::string& path) {
  json j = read_json_file(path);
  try {
    return elements_from_json(j);
  } catch (const TypeError& e) {
    throw std::invalid_argument(path + ": " + e.what());
  }
}

PageRecords load_page_records(const std::optional<std::string>& snapshot,
                              const std::optional<std::string>& elements,
                              const std::optional<std::string>& texts) {
  if (snapshot && (elements || texts))
    throw std::invalid_argument("give either --snapshot or --elements/--texts, not both");
  if (snapshot) return read_snapshot(*snapshot);
  if (!elements) throw std::invalid_argument("give --snapshot FILE or --elements FILE");
  PageRecords page;
  page.elements = read_element_list(*elements);
  if (texts) page.text_elements = read_element_list(*texts);
  return page;
}

json snapshot_json(const PageRecords& page) {
  json j = json::object();
  j["url"] = page.url;
  j["elements"] = to_json(page.elements);
  j["text_elements"] = to_json(page.text_elements);
  return j;
}

}  // namespace plainstep::host
