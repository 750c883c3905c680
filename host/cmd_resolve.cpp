// plainstep resolve: one step against saved page records, without a browser.
// Shows which element the step chose and every candidate it weighed.
#include <iostream>
#include <memory>
#include <optional>

#include "agent/step_reader/step_reader.hpp"
#include "command.hpp"
#include "records_io.hpp"
#include "strategy.hpp"
#include "text/text.hpp"

namespace plainstep::host {
namespace {

struct ResolveArgs {
  std::string step;
  std::optional<std::string> snapshot, elements, texts;
  std::string strategy = "auto";  // the runner's routing
};

std::string _known_strategies() {
  std::string names;
  for (const auto& [name, s] : strategies()) names += (names.empty() ? "" : ", ") + name;
  return names;
}

int _fail(const std::string& message) {
  std::cerr << "plainstep resolve: " << message << "\n";
  return EXIT_USAGE;
}

int _resolve(const ResolveArgs& a) {
  const Strategy* strategy = find_strategy(a.strategy);
  if (!strategy)
    return _fail("unknown strategy " + text::quoted_literal(a.strategy) + "; known: " +
                 _known_strategies());
  ParsedInstruction parsed;
  try {
    parsed = StepReader().parse(a.step);
  } catch (const std::invalid_argument& e) {
    return _fail(e.what());
  }
  const auto action = action_of(parsed);
  const bool on_page = action && (info(*action).target == TargetKind::element ||
                                  info(*action).target == TargetKind::text);
  if (!parsed.target || (action && !on_page && info(*action).target != TargetKind::keys))
    return _fail("the step " + text::quoted_literal(a.step) + " (" + parsed.action +
                 ") names no element or text to resolve");
  PageRecords page;
  try {
    page = load_page_records(a.snapshot, a.elements, a.texts);
  } catch (const std::invalid_argument& e) {
    return _fail(e.what());
  }
  const ResolutionResult result = (*strategy)(parsed, page.elements, page.text_elements);
  std::cout << to_json(result).dump(2, ' ', false, json::error_handler_t::replace) << std::endl;
  return EXIT_OK;
}

const RegisterCommand _resolve_command(
    "resolve", "Resolve one step against saved page records and print the result as JSON", 40,
    [](CLI::App& app) -> Runner {
      auto a = std::make_shared<ResolveArgs>();
      app.add_option("--step", a->step, "The step, as written in a step file")->required();
      auto* snap = app.add_option("--snapshot", a->snapshot,
                                  "Snapshot file: {\"url\", \"elements\", \"text_elements\"}");
      auto* els = app.add_option("--elements", a->elements, "JSON array of element descriptors");
      auto* txt = app.add_option("--texts", a->texts, "JSON array of text elements")->needs(els);
      snap->excludes(els)->excludes(txt);
      app.add_option("--strategy", a->strategy,
                     "auto (as plainstep run routes the step), lexical or spatial")
          ->default_str("auto");
      app.footer(
          "Give --snapshot FILE, or --elements FILE with optional --texts FILE.\n"
          "Exit status: 0 when the step was resolved or not (see \"resolved\"), 2 when the step\n"
          "does not parse, a file cannot be read or holds malformed records, or the strategy\n"
          "is unknown.");
      return [a] { return _resolve(*a); };
    });

}  // namespace
}  // namespace plainstep::host
