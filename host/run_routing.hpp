#pragma once
// Which resolver a step goes to. Spatial phrases (a relation keyword as a
// whole word, or an ordinal with a type word and no anchor) go to the grid
// first and fall back to text matching; everything else, a quoted target
// included, is text matching.
#include <optional>
#include <string>
#include <string_view>

#include "records/records.hpp"

namespace plainstep::host {

enum class Route {
  none,     // acts without resolving anything: press, sendkeys, wait, dialogs
  lexical,  // LexicalFinder only
  spatial,  // GridLocator over a fresh matrix, then LexicalFinder when it finds nothing
};

struct RoutePlan {
  Route route = Route::none;
  // What the spatial resolver is given: the parsed instruction with an
  // ordinal the step reader moved out of the phrase put back in front.
  ParsedInstruction spatial_instruction;
};

// `step` is the step as written, when known: it tells an explicit "first"
// from the default ordinal. Without it only ordinals above 1 are put back.
RoutePlan plan_route(const ParsedInstruction& parsed, std::optional<std::string_view> step = {});

// Whole-word tests on a target phrase ("Thunderbird" holds no "under").
bool holds_relation(std::string_view phrase);
bool holds_ordinal(std::string_view phrase);
bool holds_type_word(std::string_view phrase);

// True when the step needs a target but its target is empty or blank
// ("click fifth", "verify text  is present").
bool names_nothing(const ParsedInstruction& parsed);

// "lexical", "spatial" or "none", for explain and JSON output.
std::string route_name(Route route);

}  // namespace plainstep::host
