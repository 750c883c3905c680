#pragma once
// The whole synchronous Playwright client.
#include "driver/batch.hpp"
#include "driver/browser.hpp"
#include "driver/browser_type.hpp"
#include "driver/connection.hpp"
#include "driver/dialog.hpp"
#include "driver/element_handle.hpp"
#include "driver/errors.hpp"
#include "driver/frame.hpp"
#include "driver/page.hpp"
#include "driver/playwright.hpp"
#include "driver/serializer.hpp"
#include "driver/types.hpp"
