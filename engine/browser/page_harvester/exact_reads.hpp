#pragma once
// Readers of the page: element by element through the driver (exact), or
// from one evaluation that gathers what the rules will ask (fast).
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "driver/element_handle.hpp"
#include "driver/page.hpp"
#include "reads.hpp"

namespace plainstep::harvest {

// Every handle a reader hands out is disposed when its ElementReads goes.
std::unique_ptr<PageReads> exact_reads(std::shared_ptr<pw::Page> page);
// One element the caller holds; `release` disposes its handle afterwards.
std::unique_ptr<ElementReads> exact_element(std::shared_ptr<pw::ElementHandle> handle, bool release);

// Gathers the groups of these selectors (and the pointer items when asked)
// in one page evaluation; query_all of another selector is a logic error.
std::unique_ptr<PageReads> fast_reads(std::shared_ptr<pw::Page> page,
                                      const std::vector<std::string>& selectors, bool pointer);

// The gathering script's argument for these groups.
json gathering_argument(const std::vector<std::string>& selectors, bool pointer);
// A fast reader over an answer the gathering gave (AnswerError naming the
// page at `url` when it has another shape).
std::unique_ptr<PageReads> fast_reads_from(const json& answer, const std::vector<std::string>& selectors,
                                           bool pointer, std::string url);

// Runs a whole-page call, met again on the document that replaced the page
// when a navigation destroyed its context mid-call (a few times, for
// redirects and chains of navigations). Any other failure propagates.
json across_navigation(const std::function<json()>& call);

// CSS serialisation of an identifier (as CSS.escape) and of a string (in
// double quotes), so page values cannot break or bend a selector.
std::string css_identifier(std::string_view id);
std::string css_string(std::string_view s);

}  // namespace plainstep::harvest
