#pragma once
// Reading and writing the records of one page state: a snapshot file
// {"url", "elements", "text_elements"}, or JSON arrays of records.
#include <optional>
#include <string>

#include "records/records.hpp"

namespace plainstep::host {

struct PageRecords {
  std::string url;
  Elements elements;
  Elements text_elements;
};

// Throws std::invalid_argument naming the file and what is wrong with it.
json read_json_file(const std::string& path);
PageRecords read_snapshot(const std::string& path);
Elements read_element_list(const std::string& path);

// From --snapshot FILE, or --elements FILE [--texts FILE]; exactly one of
// the two forms must be given.
PageRecords load_page_records(const std::optional<std::string>& snapshot,
                              const std::optional<std::string>& elements,
                              const std::optional<std::string>& texts);

json snapshot_json(const PageRecords& page);

}  // namespace plainstep::host
