#include "driver/browser_env.hpp"

// Registered before main runs; gtest owns and deletes it.
static ::testing::Environment* const _browser_env =
    ::testing::AddGlobalTestEnvironment(new plainstep::testing::BrowserEnv);
