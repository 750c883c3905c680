// Variables of a run: where a value comes from, how it takes its place in a
// step, and how secret values are hidden.
#include <gtest/gtest.h>

#include <cstdlib>

#include "run_variables.hpp"

using namespace plainstep;
using namespace plainstep::host;

namespace {

TEST(Variables, NamesInAStepInOrderEachOnce) {
  EXPECT_EQ(variables_in("type ${USER} into ${FIELD} and ${USER}"),
            (std::vector<std::string>{"USER", "FIELD"}));
  // not names: a space, a leading digit, nothing, an escaped one, unclosed
  EXPECT_TRUE(variables_in("cost $5 ${ X} ${1A} ${} $${USER} ${USER").empty());
}

TEST(Variables, RememberedThenGivenThenTheEnvironment) {
  ::setenv("PLAINSTEP_TEST_FROM_ENV", "env", 1);
  Variables v({{"GIVEN", "given"}, {"BOTH", "given"}}, {});
  EXPECT_EQ(v.value_of("PLAINSTEP_TEST_FROM_ENV"), "env");
  EXPECT_EQ(v.value_of("BOTH"), "given");
  v.remember("BOTH", "remembered");
  EXPECT_EQ(v.value_of("BOTH"), "remembered");
  EXPECT_EQ(v.value_of("NOT_SET_ANYWHERE_AT_ALL"), std::nullopt);
  ::unsetenv("PLAINSTEP_TEST_FROM_ENV");
}

TEST(Variables, AValueTakesItsPlaceWhole) {
  Variables v({{"NOTE", "a into b \"quoted\""}, {"N", "2"}}, {});
  ParsedInstruction p{"type", "Notes ${N}", "${NOTE}", std::nullopt, false};
  ParsedInstruction e = v.expand(p);
  EXPECT_EQ(e.value, "a into b \"quoted\"");
  EXPECT_EQ(e.target, "Notes 2");
  EXPECT_EQ(v.expand("cost $${N} is ${N}"), "cost ${N} is 2");
  try {
    v.expand("type ${MISSING_ONE} into X");
    FAIL() << "an unknown variable must fail";
  } catch (const std::invalid_argument& err) {
    EXPECT_EQ(std::string(err.what()),
              "unknown variable ${MISSING_ONE}: no step before it remembers it (remember text ... as "
              "MISSING_ONE), and no --var MISSING_ONE=... or environment variable MISSING_ONE sets it");
  }
}

TEST(Variables, SecretValuesAreMaskedLongestFirst) {
  for (const char* name : {"PASSWORD", "db_password", "API_SECRET", "TOKEN_2", "key"})
    EXPECT_TRUE(secret_name(name)) << name;
  for (const char* name : {"USER", "EMAIL", "PASS"}) EXPECT_FALSE(secret_name(name)) << name;
  Variables v({{"USER_PASSWORD", "hunter"}, {"PIN", "hunter22"}, {"USER", "ada"}}, {"PIN"});
  EXPECT_TRUE(v.has_secrets());
  EXPECT_EQ(v.mask("typed hunter22 then hunter for ada"), "typed **** then **** for ada");
  v.remember("SESSION_TOKEN", "t0k");
  EXPECT_EQ(v.mask("t0k"), "****");
  Variables none({{"USER", "ada"}}, {});
  EXPECT_FALSE(none.has_secrets());
  EXPECT_EQ(none.mask("ada"), "ada");
}

TEST(Variables, VarArguments) {
  EXPECT_EQ(parse_var_argument("A_1=x=y"), (std::pair<std::string, std::string>{"A_1", "x=y"}));
  EXPECT_EQ(parse_var_argument("EMPTY="), (std::pair<std::string, std::string>{"EMPTY", ""}));
  EXPECT_THROW(parse_var_argument("noequals"), std::invalid_argument);
  EXPECT_THROW(parse_var_argument("1A=x"), std::invalid_argument);
  EXPECT_THROW(parse_var_argument("=x"), std::invalid_argument);
}

}  // namespace
