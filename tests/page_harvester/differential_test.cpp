// The fast reading must give exactly the records of the exact reading, on
// every fixture page, the demo site and a generated mixed page.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>

#include "browser.hpp"
#include "browser/page_harvester/page_harvester.hpp"
#include "generated_page.hpp"

namespace plainstep {
namespace {

namespace fs = std::filesystem;
using testing::BrowserTest;

// The first record where the two sequences part, for a readable failure.
std::string first_difference(const json& exact, const json& fast) {
  for (size_t i = 0; i < std::max(exact.size(), fast.size()); ++i) {
    json a = i < exact.size() ? exact[i] : json(), b = i < fast.size() ? fast[i] : json();
    if (a != b) return "record " + std::to_string(i) + "\n exact: " + a.dump() + "\n  fast: " + b.dump();
  }
  return "none";
}

void expect_same(const std::shared_ptr<pw::Page>& page, const std::string& what) {
  auto exact = PageHarvester(page, Extraction::exact).extract_interactable_elements();
  auto fast = PageHarvester(page, Extraction::fast).extract_interactable_elements();
  json ee = to_json(exact.first), fe = to_json(fast.first);
  json et = to_json(exact.second), ft = to_json(fast.second);
  EXPECT_EQ(ee.dump(), fe.dump()) << what << ": descriptors differ at " << first_difference(ee, fe);
  EXPECT_EQ(et.dump(), ft.dump()) << what << ": text elements differ at " << first_difference(et, ft);
  EXPECT_FALSE(exact.first.empty() && exact.second.empty()) << what << " gave nothing to compare";
}

std::vector<std::string> pages_in(const fs::path& dir) {
  std::vector<std::string> out;
  if (!fs::is_directory(dir)) return out;
  for (const auto& e : fs::directory_iterator(dir))
    if (e.path().extension() == ".html") out.push_back(e.path().string());
  std::sort(out.begin(), out.end());
  return out;
}

// Demo pages that fill in part of their content after the load event,
// with the condition that tells it has arrived.
const std::map<std::string, std::string> _LATE_CONTENT = {
    {"order.html", "document.getElementById('track')"},
};

class SamePaths : public BrowserTest {};

TEST_F(SamePaths, OnEveryFixturePage) {
  auto pages = pages_in(fs::path(PLAINSTEP_FIXTURES) / "harvest");
  ASSERT_GE(pages.size(), 5u);
  for (const auto& p : pages) {
    page->navigate("file://" + p);
    expect_same(page, p);
  }
}

TEST_F(SamePaths, OnTheDemoSite) {
  auto pages = pages_in(fs::path(PLAINSTEP_SOURCE_DIR) / "examples" / "site");
  if (pages.empty()) GTEST_SKIP() << "no demo site in examples/site";
  for (const auto& p : pages) {
    page->navigate("file://" + p);
    // Both paths must read the same settled page: wait for what arrives late.
    std::string name = fs::path(p).filename().string();
    if (auto late = _LATE_CONTENT.find(name); late != _LATE_CONTENT.end()) {
      ASSERT_TRUE(testing::wait_for(*page, late->second)) << name << " never showed its late content";
    }
    expect_same(page, p);
  }
}

TEST_F(SamePaths, OnAGeneratedMixedPage) {
  fs::path file = fs::temp_directory_path() / ("plainstep_generated_" + std::to_string(getpid()) + ".html");
  std::ofstream(file) << testing::generated_page(40);
  page->navigate("file://" + file.string());
  expect_same(page, "generated page");
  // Scrolled, so boxes lie partly above the viewport.
  page->evaluate("() => window.scrollTo(0, 300)");
  expect_same(page, "generated page, scrolled");
  fs::remove(file);
}

}  // namespace
}  // namespace plainstep
