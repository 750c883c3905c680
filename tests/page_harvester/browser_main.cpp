// The browser test binary's entry: one Chromium for all its tests.
#include "browser.hpp"

plainstep::testing::Browser* plainstep::testing::Browser::instance = nullptr;

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  plainstep::testing::Browser::instance = new plainstep::testing::Browser();
  ::testing::AddGlobalTestEnvironment(plainstep::testing::Browser::instance);
  return RUN_ALL_TESTS();
}
