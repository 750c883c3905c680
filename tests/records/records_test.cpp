#include <gtest/gtest.h>

#include "records/records.hpp"

using namespace plainstep;

namespace {

std::vector<std::string> keys(const json& j) {
  std::vector<std::string> out;
  for (auto it = j.begin(); it != j.end(); ++it) out.push_back(it.key());
  return out;
}

Element native_button() {
  Element e;
  e.tag = "button";
  e.text = "Save";
  e.attributes.set("id", "save");
  e.attributes.set("data-row", "3");
  e.bounding_box = Box{10, 20.5, 80, 24};
  e.is_visible = true;
  e.is_enabled = false;
  e.xpath = "/html[1]/body[1]/button[1]";
  return e;
}

}  // namespace

TEST(AttributeMap, SettingAnExistingNameKeepsItsPlace) {
  AttributeMap m{{"id", "a"}, {"class", "b"}};
  m.set("id", "z");
  m.set("data-x", "1");
  std::vector<std::pair<std::string, std::string>> want{{"id", "z"}, {"class", "b"}, {"data-x", "1"}};
  EXPECT_EQ(m.entries(), want);
  EXPECT_EQ(m.get("missing"), nullptr);
  ASSERT_NE(m.get("class"), nullptr);
}

TEST(ElementJson, KeysInRecordOrderAndOnlyThosePresent) {
  struct Case {
    const char* name;
    Element element;
    std::vector<std::string> keys;
  };
  Element text_el = native_button();
  text_el.has_direct_text = true;
  Element custom = native_button();
  custom.is_editable_field = true;
  Element bare;
  std::vector<Case> cases{
      {"descriptor", native_button(),
       {"tag", "text", "attributes", "bounding_box", "is_visible", "is_enabled", "xpath"}},
      {"text element", text_el,
       {"tag", "text", "has_direct_text", "attributes", "bounding_box", "is_visible", "is_enabled",
        "xpath"}},
      {"custom input", custom,
       {"tag", "text", "attributes", "bounding_box", "is_visible", "is_enabled", "is_editable_field",
        "xpath"}},
      {"bare", bare, {"tag", "text", "attributes", "xpath"}},
  };
  for (const auto& c : cases) {
    json j = to_json(c.element);
    EXPECT_EQ(keys(j), c.keys) << c.name;
    EXPECT_EQ(element_from_json(j), c.element) << c.name;
    EXPECT_EQ(element_from_json(json::parse(j.dump())), c.element) << c.name;
  }
  EXPECT_EQ(to_json(native_button()).dump(),
            R"({"tag":"button","text":"Save","attributes":{"id":"save","data-row":"3"},)"
            R"("bounding_box":{"x":10.0,"y":20.5,"width":80.0,"height":24.0},)"
            R"("is_visible":true,"is_enabled":false,"xpath":"/html[1]/body[1]/button[1]"})");
}

TEST(ElementJson, NullAndEmptyBoxAreNoBox) {
  for (const char* box : {"null", "{}"}) {
    Element e = element_from_json(json::parse(std::string(R"({"tag":"a","bounding_box":)") + box + "}"));
    EXPECT_FALSE(e.bounding_box.has_value()) << box;
  }
}

TEST(ElementJson, WrongKindsAreTypeErrorsNamingTheKey) {
  struct Case {
    const char* json_text;
    const char* key;
  };
  std::vector<Case> cases{
      {R"({"tag": 3})", "tag"},
      {R"({"text": null})", "text"},
      {R"({"is_visible": "yes"})", "is_visible"},
      {R"({"bounding_box": {"x": "10"}})", "x"},
      {R"({"attributes": {"id": 5}})", "id"},
      {R"({"attributes": []})", "attributes"},
  };
  for (const auto& c : cases) {
    try {
      element_from_json(json::parse(c.json_text));
      ADD_FAILURE() << "no error for " << c.json_text;
    } catch (const TypeError& e) {
      EXPECT_NE(std::string(e.what()).find(c.key), std::string::npos) << e.what();
    }
  }
  EXPECT_THROW(elements_from_json(json::parse("{}")), TypeError);
}

TEST(ParsedInstructionJson, OrdinalOnlyWhenSetNullsStillWritten) {
  ParsedInstruction click{"click", "Add to cart", std::nullopt, 2, true};
  EXPECT_EQ(to_json(click).dump(),
            R"({"action":"click","target":"Add to cart","value":null,"ordinal":2,"_literal_target":true})");
  ParsedInstruction accept{"accept_dialog", std::nullopt, std::nullopt, std::nullopt, false};
  EXPECT_EQ(to_json(accept).dump(),
            R"({"action":"accept_dialog","target":null,"value":null,"_literal_target":false})");
  for (const auto& p : {click, accept}) EXPECT_EQ(parsed_instruction_from_json(to_json(p)), p);
}

TEST(ResolutionResultJson, FieldOrderAcrossShapes) {
  auto el = make_element(native_button());
  ResolutionResult miss;
  EXPECT_EQ(keys(to_json(miss)), (std::vector<std::string>{"resolved", "confidence", "element", "candidates"}));

  ResolutionResult verify;
  verify.resolved = true;
  verify.verified = false;
  verify.confidence = 1.0;
  verify.element = el;
  verify.state = State{true, false, std::nullopt, std::nullopt, std::nullopt};
  verify.candidates = {el};
  EXPECT_EQ(keys(to_json(verify)),
            (std::vector<std::string>{"resolved", "verified", "confidence", "element", "state", "candidates"}));
  EXPECT_EQ(to_json(verify)["state"].dump(), R"({"present":true,"visible":false})");

  ResolutionResult spatial;
  spatial.resolved = true;
  spatial.confidence = 1.0;
  spatial.element = el;
  spatial.spatial = SpatialDetails{"Total", 2, true, std::nullopt};
  EXPECT_EQ(keys(to_json(spatial)),
            (std::vector<std::string>{"resolved", "confidence", "element", "anchor_text", "ordinal",
                                      "type_relaxed", "actual_type", "candidates"}));
  EXPECT_TRUE(to_json(spatial)["actual_type"].is_null());

  ResolutionResult extract;
  extract.extracted = "";
  extract.state = State{};
  EXPECT_EQ(keys(to_json(extract)),
            (std::vector<std::string>{"resolved", "confidence", "element", "extracted", "state", "candidates"}));
  EXPECT_EQ(to_json(extract)["state"].dump(), "{}");

  for (const auto& r : {verify, spatial, extract}) {
    json j = to_json(r);
    EXPECT_EQ(to_json(resolution_result_from_json(j)), j);
  }
}

TEST(MatrixEntryJson, RoundTripKeepsOrderAndSharesNothingByAccident) {
  MatrixEntry m;
  m.index = 3;
  m.tag = "input";
  m.element_type = "input";
  m.searchable = "Email";
  m.order_in_type = 1;
  m.position = Position{10, 20, 5, 7, 12.5, 23.5, 15, 27};
  m.element = make_element(native_button());
  json j = to_json(m);
  EXPECT_EQ(keys(j), (std::vector<std::string>{"index", "tag", "element_type", "text", "label", "searchable",
                                               "is_enabled", "is_anchor_only", "order_in_type", "position",
                                               "element"}));
  MatrixEntry back = matrix_entry_from_json(j);
  EXPECT_EQ(to_json(back), j);
  EXPECT_EQ(back.position, m.position);
}
