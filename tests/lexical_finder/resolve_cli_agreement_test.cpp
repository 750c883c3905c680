// `plainstep resolve` on a snapshot prints what the library call returns.
#include <gtest/gtest.h>

#include <fstream>

#include "agent/step_reader/step_reader.hpp"
#include "strategies/lexical_finder/lexical_finder.hpp"
#include "support/run_cli.hpp"

using namespace plainstep;

namespace {

const std::string SHOP = std::string(PLAINSTEP_FIXTURES) + "/snapshots/shop.json";

struct Snapshot {
  Elements elements, text_elements;
};

Snapshot load_shop() {
  std::ifstream in(SHOP);
  json j = json::parse(in);
  return {elements_from_json(j["elements"]), elements_from_json(j["text_elements"])};
}

class ResolveAgreesWithTheLibrary : public ::testing::TestWithParam<const char*> {};

TEST_P(ResolveAgreesWithTheLibrary, SameResultAsJson) {
  const std::string step = GetParam();
  const Snapshot page = load_shop();
  const ResolutionResult lib =
      LexicalFinder().resolve(StepReader().parse(step), page.elements, &page.text_elements);
  auto cli = plainstep::testing::run_cli({"resolve", "--step", step, "--snapshot", SHOP});
  ASSERT_EQ(cli.status, 0) << cli.err;
  EXPECT_EQ(json::parse(cli.out), to_json(lib)) << step;
}

// One step per kind of result, resolved or not.
INSTANTIATE_TEST_SUITE_P(
    Steps, ResolveAgreesWithTheLibrary,
    ::testing::Values("click Save", "click third Add to cart", "click fifth Add to cart",
                      "type ada@example.com into the Email field", "select Red from Colour",
                      "click Promo code", "verify Checkout is disabled",
                      "verify Search button is visible", "verify text demo shop is visible",
                      "verify text right of Price is 4.50", "verify text right of Price is 4",
                      "extract text below Total", "extract text right of Total",
                      "find text total", "find exact text Total", "find exact text Tot",
                      "extract text order total", "hover Sign in", "click Nothing like it"));

}  // namespace
