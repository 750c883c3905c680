// Every step form the language began with reads as it did before the
// language grew. golden/today_forms.jsonl holds 3000 random steps of those
// forms, well and badly worded (golden/generate.js, seed 15), with the
// parsed instruction and the wording issues the reader gave them at the
// time (golden/record.js). Each is read again here. The one kind of step
// that now reads differently is a spatial text check whose expected text
// starts with "not", "exactly" or "not exactly" (unquoted): it is the
// negative or exact check those words ask for. A step no form read before
// may now be a grown form.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>

#include <nlohmann/json.hpp>

#include "agent/step_reader/step_reader.hpp"
#include "step_reader/cases.hpp"
#include "text/text.hpp"

using plainstep::StepReader;
using ojson = nlohmann::ordered_json;

namespace {

const std::filesystem::path GOLDEN =
    std::filesystem::path(PLAINSTEP_FIXTURES).parent_path() / "step_reader" / "golden" /
    "today_forms.jsonl";

std::vector<ojson> golden() {
  std::vector<ojson> out;
  std::ifstream in(GOLDEN);
  for (std::string line; std::getline(in, line);)
    if (!line.empty()) out.push_back(ojson::parse(line));
  return out;
}

std::string supported_list() {
  std::string out = "[";
  for (size_t i = 0; i < StepReader::SUPPORTED_ACTIONS.size(); ++i)
    out += (i ? ", '" : "'") + StepReader::SUPPORTED_ACTIONS[i] + "'";
  return out + "]";
}

ojson read_now(const std::string& step) {
  try {
    return ojson::parse(to_json(reader.parse(step)).dump());
  } catch (const std::invalid_argument& e) {
    return ojson{{"error", e.what()}};
  }
}

// The record a spatial check whose expected text opens with "not" or
// "exactly" now reads as; nullopt for every other step.
std::optional<ojson> grown_reading(const std::string& step, const ojson& before) {
  if (!before.contains("action") || before["action"] != "verify_spatial_text") return std::nullopt;
  const std::string value = before["value"];
  const auto literals = reader._unquote(plainstep::text::trim(step)).second;
  if (std::find(literals.begin(), literals.end(), value) != literals.end()) return std::nullopt;
  static const std::regex mode(R"(^(not exactly|exactly|not) +(\S.*)$)", std::regex::icase);
  std::smatch m;
  if (!std::regex_match(value, m, mode)) return std::nullopt;
  std::string words = m[1];
  std::transform(words.begin(), words.end(), words.begin(), ::tolower);
  ojson after = before;
  after["action"] = words == "not"       ? "verify_spatial_text_not"
                    : words == "exactly" ? "verify_spatial_text_exact"
                                         : "verify_spatial_text_not_exact";
  after["value"] = std::string(m[2]);
  return after;
}

TEST(TodayForms, ReadAsBeforeBothParsedAndChecked) {
  const std::vector<ojson> steps = golden();
  ASSERT_GE(steps.size(), 3000u) << GOLDEN;
  const std::string supported = supported_list();
  size_t changed = 0, parsed = 0, faulty = 0, newly_read = 0;
  for (const ojson& g : steps) {
    const std::string step = g["step"];
    ojson before = g["parsed"];
    if (before.contains("error")) {
      std::string e = before["error"];
      e.replace(e.find("SUPPORTED_MARK"), 14, supported);
      before["error"] = e;
    } else {
      ++parsed;
    }
    if (auto grown = grown_reading(step, before)) {
      before = *grown;
      ++changed;
    }
    const ojson now = read_now(step);
    const std::vector<std::string> issues = g["issues"];
    if (!issues.empty()) ++faulty;
    // A step no form read may now be one of the grown forms; any other
    // step reads and is checked exactly as before.
    if (before.contains("error") && !now.contains("error")) {
      const auto action = plainstep::action_named(now["action"].get<std::string>());
      EXPECT_TRUE(action && !plainstep::info(*action).listed) << "step: " << step << "\n" << now;
      ++newly_read;
      continue;
    }
    EXPECT_EQ(now.dump(), before.dump()) << "step: " << step;
    EXPECT_EQ(reader.validate(step), issues) << "step: " << step;
  }
  // The sample covers what it must: well-formed steps, faulty ones, and the
  // spatial checks the new forms take over.
  EXPECT_GE(parsed, 2000u);
  EXPECT_GE(faulty, 300u);
  EXPECT_GE(changed, 10u);
  EXPECT_LE(newly_read, 10u);
}

}  // namespace
