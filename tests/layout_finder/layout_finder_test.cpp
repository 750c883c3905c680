// The level-2 entry point: checks the kinds of its arguments, resolves nothing.
#include <gtest/gtest.h>

#include "strategies/layout_finder/layout_finder.hpp"

using namespace plainstep;

namespace {

const LayoutFinder finder;

TEST(LayoutFinder, GivesNoResultForFullAndEmptyInput) {
  ParsedInstruction click{"click", "Save button below Total", std::nullopt, 1, false};
  json matrix = {{"entries", json::array({{{"index", 0}, {"tag", "button"}}})}};
  Elements candidates{make_element(Element{"button", "Save", {}, {}, Box{0, 0, 10, 10}, true,
                                           true, {}, "/html[1]/body[1]/button[1]"})};
  EXPECT_EQ(finder.resolve(click, matrix, candidates), std::nullopt);
  EXPECT_EQ(finder.resolve(ParsedInstruction{}, json::object(), Elements{}), std::nullopt);
  EXPECT_EQ(finder.resolve(to_json(click), matrix, json::array()), std::nullopt);
}

struct KindCase {
  json parsed, matrix, candidates;
  const char* names;
};

class LayoutFinderKinds : public ::testing::TestWithParam<KindCase> {};

TEST_P(LayoutFinderKinds, WrongKindIsATypeErrorNamingTheArgument) {
  const auto& c = GetParam();
  try {
    finder.resolve(c.parsed, c.matrix, c.candidates);
    FAIL() << "no TypeError for " << c.names;
  } catch (const TypeError& e) {
    EXPECT_EQ(std::string(e.what()).rfind(c.names, 0), 0u) << e.what();
  }
}

INSTANTIATE_TEST_SUITE_P(
    Table, LayoutFinderKinds,
    ::testing::Values(KindCase{json::object(), json::array(), json::array(), "matrix"},
                      KindCase{json::object(), json(nullptr), json::array(), "matrix"},
                      KindCase{json::object(), json("grid"), json::array(), "matrix"},
                      KindCase{json::array(), json::object(), json::array(), "parsed_instruction"},
                      KindCase{json("click Save"), json::object(), json::array(),
                               "parsed_instruction"},
                      KindCase{json::object(), json::object(), json::object(), "dom_candidates"},
                      KindCase{json::object(), json::object(), json(nullptr), "dom_candidates"}));

TEST(LayoutFinder, TypedCallRejectsTheEntrySequenceAsMatrix) {
  try {
    finder.resolve(ParsedInstruction{}, json::array({json::object()}), Elements{});
    FAIL() << "no TypeError";
  } catch (const TypeError& e) {
    EXPECT_NE(std::string(e.what()).find("got an array"), std::string::npos) << e.what();
  }
}

}  // namespace
