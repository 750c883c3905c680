#include <gtest/gtest.h>

#include "key_names.hpp"

using plainstep::host::driver_key;

namespace {

TEST(Keys, WrittenAsTheDriverSpellsThem) {
  struct Case {
    const char* written;
    std::optional<std::string> key;
  };
  for (const Case& c : {
           Case{"Enter", "Enter"}, Case{"enter", "Enter"}, Case{"ARROWDOWN", "ArrowDown"},
           Case{"f5", "F5"}, Case{"Control+a", "Control+a"}, Case{"control+shift+K", "Control+Shift+K"},
           Case{"Control++", "Control++"},  // the plus key itself
           Case{"a", "a"}, Case{"A", "A"}, Case{"?", "?"}, Case{"space", "Space"},
           Case{"ControlOrMeta+c", "ControlOrMeta+c"},
           Case{"Foo", std::nullopt}, Case{"Control+Foo", std::nullopt}, Case{"", std::nullopt},
           Case{"Control+", std::nullopt}, Case{"\xc3\xa9", std::nullopt}, Case{"Enter Tab", std::nullopt},
       }) {
    EXPECT_EQ(driver_key(c.written), c.key) << c.written;
  }
}

}  // namespace
