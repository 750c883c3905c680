#pragma once
// Resolving one parsed step on one page state along its route, through the
// registered "lexical" and "spatial" strategies.
#include <optional>
#include <string_view>

#include "records/records.hpp"
#include "run_routing.hpp"

namespace plainstep::host {

struct RoutedResult {
  ResolutionResult result;
  Route route = Route::none;   // the route planned for the step
  bool fell_back = false;      // spatial found nothing; text matching answered
  bool by_label = false;       // found as a form field named by its label
  bool label_over_words = false;  // ... whose label answered better than the words some element shows
  bool by_text = false;        // hovered over plain text, no element matched
};

// Throws std::invalid_argument when the step names nothing, and
// std::logic_error when a strategy the route needs is not built in.
RoutedResult resolve_routed(const ParsedInstruction& parsed, const Elements& elements,
                            const Elements& text_elements,
                            std::optional<std::string_view> step = {});

// An element check answered from a spatially chosen element's own record.
void verify_from_record(const std::string& action, ResolutionResult& r);

// Whether an unresolved step of this action is looked up again as the form
// field its words label (click, hover and the element checks).
bool looks_up_field_labels(const std::string& action);

// The message for a step whose target is empty.
std::string names_nothing_message(std::string_view step);

}  // namespace plainstep::host
