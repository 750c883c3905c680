#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

#include "agent/step_reader/step_reader.hpp"
#include "step_reader/cases.hpp"

using plainstep::StepReader;

namespace {

class Parses : public ::testing::TestWithParam<ParseCase> {};

TEST_P(Parses, ToTheRecord) {
  EXPECT_EQ(to_json(reader.parse(GetParam().step)).dump(), GetParam().record);
}

// The step forms, one or more worked examples each.
INSTANTIATE_TEST_SUITE_P(StepForms, Parses, ::testing::Values(
    ParseCase{R"(click "Save")", R"({"action":"click","target":"Save","value":null,"ordinal":1,"_literal_target":true})"},
    ParseCase{R"(click second "Add to cart")", R"({"action":"click","target":"Add to cart","value":null,"ordinal":2,"_literal_target":true})"},
    ParseCase{"click the Login button", R"({"action":"click","target":"Login button","value":null,"ordinal":1,"_literal_target":false})"},
    ParseCase{R"(type "New York" into the City field)", R"({"action":"type","target":"City field","value":"New York","_literal_target":false})"},
    ParseCase{R"(type hello into "Email")", R"({"action":"type","target":"Email","value":"hello","_literal_target":true})"},
    ParseCase{R"(type hello into the "Email")", R"({"action":"type","target":"Email","value":"hello","_literal_target":true})"},
    ParseCase{"select Red from Colour", R"({"action":"select","target":"Colour","value":"Red","_literal_target":false})"},
    ParseCase{"extract text from third Price", R"({"action":"extract_text","target":"Price","value":null,"ordinal":3,"_literal_target":false})"},
    ParseCase{"extract_text second price", R"({"action":"extract_text","target":"price","value":null,"ordinal":2,"_literal_target":false})"},
    ParseCase{R"(extract text below "Total")", R"({"action":"extract_text_spatial","target":"below Total","value":null,"_literal_target":false})"},
    ParseCase{R"(verify text right of "Price" is "9.99")", R"({"action":"verify_spatial_text","target":"right of Price","value":"9.99","_literal_target":false})"},
    ParseCase{R"(verify text "Welcome" is visible)", R"({"action":"verify_text_visible","target":"Welcome","value":null,"_literal_target":true})"},
    ParseCase{"verify text Order placed is present", R"({"action":"verify_text_present","target":"Order placed","value":null,"_literal_target":false})"},
    ParseCase{"verify the Submit button is disabled", R"({"action":"verify_disabled","target":"Submit button","value":null,"_literal_target":false})"},
    ParseCase{"verify Checkout is enabled", R"({"action":"verify_enabled","target":"Checkout","value":null,"_literal_target":false})"},
    ParseCase{"verify the Cart is present", R"({"action":"verify_present","target":"Cart","value":null,"_literal_target":false})"},
    ParseCase{"hover the Help", R"({"action":"hover","target":"Help","value":null,"_literal_target":false})"},
    ParseCase{"find text Order placed", R"({"action":"find_text","target":"Order placed","value":null,"_literal_target":false})"},
    ParseCase{"find exact text Total", R"({"action":"find_exact_text","target":"Total","value":null,"_literal_target":false})"},
    ParseCase{"press Enter", R"({"action":"press_key","target":"Enter","value":null,"_literal_target":false})"},
    ParseCase{"sendkeys Control+A", R"({"action":"sendkeys","target":"Control+A","value":"Control+A","_literal_target":false})"},
    ParseCase{"wait 500", R"({"action":"wait","target":"500","value":null,"_literal_target":false})"},
    ParseCase{"accept dialog", R"({"action":"accept_dialog","target":null,"value":null,"_literal_target":false})"},
    ParseCase{"dismiss dialog", R"({"action":"dismiss_dialog","target":null,"value":null,"_literal_target":false})"},
    ParseCase{"verify dialog says Are you sure?", R"({"action":"verify_dialog","target":null,"value":"Are you sure?","_literal_target":false})"}));

// Where the rules meet, and what quoting, spacing and case do.
INSTANTIATE_TEST_SUITE_P(EdgeCases, Parses, ::testing::Values(
    // a keyword inside quotes still splits: quotes are removed first
    ParseCase{R"(type "a into b" into Email)", R"({"action":"type","target":"b into Email","value":"a","_literal_target":false})"},
    // the typed value is kept exactly, spaces included
    ParseCase{"type  two spaces  into Notes", R"({"action":"type","target":"Notes","value":" two spaces ","_literal_target":false})"},
    ParseCase{"verify text below Total is present", R"({"action":"verify_spatial_text","target":"below Total","value":"present","_literal_target":false})"},
    ParseCase{"verify text under Price is Total", R"({"action":"verify_spatial_text","target":"under Price","value":"Total","_literal_target":false})"},
    // the last " is " splits a spatial check
    ParseCase{"verify text next to Status is is open", R"({"action":"verify_spatial_text","target":"next to Status is","value":"open","_literal_target":false})"},
    ParseCase{"verify text Foo is enabled", R"({"action":"verify_enabled","target":"text Foo","value":null,"_literal_target":false})"},
    ParseCase{"verify text is present", R"({"action":"verify_text_present","target":"","value":null,"_literal_target":false})"},
    ParseCase{R"(verify "Welcome is visible")", R"({"action":"verify_visible","target":"Welcome","value":null,"_literal_target":false})"},
    // the leading space makes the raw phrase no literal; cleaned, it is one
    ParseCase{R"(find text  "X")", R"({"action":"find_text","target":"X","value":null,"_literal_target":true})"},
    ParseCase{"find exact text  Hello", R"({"action":"find_exact_text","target":" Hello","value":null,"_literal_target":false})"},
    ParseCase{"click fifth", R"({"action":"click","target":"","value":null,"ordinal":5,"_literal_target":false})"},
    ParseCase{"click sixth Save", R"({"action":"click","target":"sixth Save","value":null,"ordinal":1,"_literal_target":false})"},
    ParseCase{"click 2nd Save", R"({"action":"click","target":"2nd Save","value":null,"ordinal":1,"_literal_target":false})"},
    ParseCase{"click the", R"({"action":"click","target":"","value":null,"ordinal":1,"_literal_target":false})"},
    ParseCase{"click  SECOND   Add  to cart", R"({"action":"click","target":"Add to cart","value":null,"ordinal":2,"_literal_target":false})"},
    ParseCase{R"(extract text from first "Price")", R"({"action":"extract_text","target":"Price","value":null,"ordinal":1,"_literal_target":true})"},
    ParseCase{"sendkeys 'abc'", R"({"action":"sendkeys","target":"abc","value":"abc","_literal_target":false})"},
    ParseCase{R"(wait "500")", R"({"action":"wait","target":"500","value":null,"_literal_target":false})"},
    ParseCase{"wait x", R"({"action":"wait","target":"x","value":null,"_literal_target":false})"},
    ParseCase{"press  Shift+Tab ", R"({"action":"press_key","target":"Shift+Tab","value":null,"_literal_target":false})"},
    // an empty pair of quotes is no literal and stays in the text
    ParseCase{R"(click "" Save)", R"({"action":"click","target":"\"\" Save","value":null,"ordinal":1,"_literal_target":false})"},
    // forms match in any case; pieces keep the user's case
    ParseCase{"CLICK The Login", R"({"action":"click","target":"Login","value":null,"ordinal":1,"_literal_target":false})"},
    ParseCase{"Select RED From Colour", R"({"action":"select","target":"Colour","value":"RED","_literal_target":false})"},
    ParseCase{"ACCEPT DIALOG", R"({"action":"accept_dialog","target":null,"value":null,"_literal_target":false})"},
    // Unicode white space is trimmed
    ParseCase{"\u3000click Save\u00A0", R"({"action":"click","target":"Save","value":null,"ordinal":1,"_literal_target":false})"}));

// 'İ' lower-cases to two code points: pieces must still be cut where the
// user's words are, not one place later for every 'İ' before the cut.
INSTANTIATE_TEST_SUITE_P(LengthChangingCase, Parses, ::testing::Values(
    ParseCase{"type İzmir into City", R"({"action":"type","target":"City","value":"İzmir","_literal_target":false})"},
    ParseCase{"select İİ from Şehir", R"({"action":"select","target":"Şehir","value":"İİ","_literal_target":false})"},
    ParseCase{"verify text İİ is visible", R"({"action":"verify_text_visible","target":"İİ","value":null,"_literal_target":false})"},
    ParseCase{"verify İstanbul İzmir link is present", R"({"action":"verify_present","target":"İstanbul İzmir link","value":null,"_literal_target":false})"},
    ParseCase{"verify text right of İİİ is İ", R"({"action":"verify_spatial_text","target":"right of İİİ","value":"İ","_literal_target":false})"},
    ParseCase{"click second İstanbul", R"({"action":"click","target":"İstanbul","value":null,"ordinal":2,"_literal_target":false})"}));

const std::string SUPPORTED =
    ". Supported actions: ['click', 'type', 'hover', 'select', 'press_key', 'sendkeys', "
    "'extract_text', 'extract_text_spatial', 'find_text', 'find_exact_text', 'verify_present', "
    "'verify_visible', 'verify_enabled', 'verify_disabled', 'verify_text_present', "
    "'verify_text_visible', 'verify_spatial_text', 'accept_dialog', 'dismiss_dialog', "
    "'verify_dialog']";

std::string parse_error(const std::string& step) {
  try {
    reader.parse(step);
  } catch (const std::invalid_argument& e) {
    return e.what();
  }
  return "(parsed)";
}

TEST(ParseFailure, NamesTheStepAsReceivedAndTheSupportedActions) {
  struct Case { std::string step, quoted; };
  for (const Case& c : std::vector<Case>{
           {"jump", "'jump'"},
           {"back", "'back'"},
           {"refresh", "'refresh'"},
           {"", "''"},
           {"  \t ", "'  \\t '"},
           {"  jump ", "'  jump '"},
           {"click", "'click'"},
           {"verify text under Price", "'verify text under Price'"},
           {"verify text right of Price is", "'verify text right of Price is'"},
           {"verify dialog", "'verify dialog'"},
           {"type a into", "'type a into'"},
           // the only " into " / " from " overlaps the prefix: no text, no form
           {"type into X", "'type into X'"},
           {"select from Colour", "'select from Colour'"},
           {"click\u00A0Save", "'click\u00A0Save'"},
           {"it's", "\"it's\""},
           {"say \"it's\"", "'say \"it\\'s\"'"},
           {"go\nhome", "'go\\nhome'"},
           {"İ", "'İ'"}}) {
    EXPECT_EQ(parse_error(c.step), "Unrecognised instruction: " + c.quoted + SUPPORTED) << c.step;
  }
}

TEST(ParseFailure, StepThatIsNotUtf8IsRejectedAsSuch) {
  for (std::string step : {"click \xff", "type \xC3 into Email", "verify \xED\xA0\x80 is visible"}) {
    std::string message = parse_error(step);
    EXPECT_NE(message.find("not valid UTF-8"), std::string::npos) << message;
    EXPECT_EQ(message.find("Unrecognised"), std::string::npos) << message;
  }
  EXPECT_NE(parse_error("click \xff").find("at byte offset 6"), std::string::npos);
}

TEST(Unquote, ReplacesEachQuotedPartByItsContent) {
  struct Case { const char* in; const char* out; std::vector<std::string> literals; };
  for (const Case& c : std::vector<Case>{
           {R"(type "a b" into "Email")", "type a b into Email", {"a b", "Email"}},
           {R"(click "" Save)", R"(click "" Save)", {}},
           {R"(""abc")", R"("abc)", {"abc"}},
           {R"("a""b")", "ab", {"a", "b"}},
           {R"(click "Save)", R"(click "Save)", {}},
           {"click 'Save'", "click 'Save'", {}},
           {R"(x "é ü" y)", "x é ü y", {"é ü"}},
           {"", "", {}}}) {
    auto [unquoted, literals] = reader._unquote(c.in);
    EXPECT_EQ(unquoted, c.out) << c.in;
    EXPECT_EQ(literals, c.literals) << c.in;
  }
}

TEST(CleanTarget, DropsOnlyLeadingFillerWords) {
  struct Case { const char* in; const char* out; };
  for (const Case& c : std::vector<Case>{{"the Save on the left", "Save on the left"},
                                         {"the", ""},
                                         {"The AN Save", "Save"},
                                         {"INTO the box", "box"},
                                         {"  Save \u00A0 button  ", "Save button"},
                                         {"then Save", "then Save"},
                                         {"", ""}}) {
    EXPECT_EQ(reader._clean_target(c.in), c.out) << c.in;
  }
}

TEST(ExtractOrdinal, TakesOnlyALeadingOrdinalWord) {
  struct Case { const char* in; int ordinal; const char* rest; };
  for (const Case& c : std::vector<Case>{{"second Save", 2, "Save"},
                                         {"Fifth", 5, ""},
                                         {"THIRD  big  box ", 3, "big  box "},
                                         {"  fourth x", 4, "x"},
                                         {"sixth Save", 1, "sixth Save"},
                                         {"secondary Save", 1, "secondary Save"},
                                         {"1st Save", 1, "1st Save"},
                                         {" Save", 1, " Save"},
                                         {"", 1, ""}}) {
    auto [ordinal, rest] = plainstep::_extract_ordinal(c.in);
    EXPECT_EQ(ordinal, c.ordinal) << c.in;
    EXPECT_EQ(rest, c.rest) << c.in;
  }
}

}  // namespace
