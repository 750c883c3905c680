// plainstep explain --url URL STEP...: runs the steps on a live page and
// shows, for each, the parsed instruction, the route, the result and the
// candidates it chose among: the tool for "why did it click that".
#include <filesystem>
#include <iostream>
#include <set>
#include <sstream>

#include "command.hpp"
#include "file_write.hpp"
#include "config.hpp"
#include "run_address.hpp"
#include "run_step.hpp"
#include "run_variables.hpp"
#include "step_file.hpp"
#include "text/text.hpp"

namespace plainstep::host {

namespace {

constexpr size_t _CANDIDATES_SHOWN = 5;

struct ExplainFlags {
  std::string url;
  std::vector<std::string> steps;
  std::optional<std::string> screenshot, base_url;
  std::vector<std::string> vars, masked;
  int timeout_ms = 5000;
};

// What an action does, in the words of the vocabulary: how explain tells a
// check from an action.
std::string _does(const std::string& action) {
  const auto a = action_named(action);
  if (!a) return "an action the language does not have";
  std::string what;
  switch (info(*a).effect) {
    case Effect::acts: what = "acts on "; break;
    case Effect::checks: what = "checks "; break;
    case Effect::reads: what = "reads "; break;
  }
  switch (info(*a).target) {
    case TargetKind::element: return what + "an element";
    case TargetKind::text: return what + "text on the page";
    case TargetKind::page: return what + "the page itself (its address, title or tabs)";
    case TargetKind::dialog: return what + "the dialog";
    case TargetKind::keys: return what + "the focused element with keys";
    case TargetKind::none: return what + "no element (a pause, or the steps of another file)";
  }
  return what;
}

void _explain_result(std::ostream& out, const StepEvidence& ev) {
  if (!ev.routed) {
    out << "  route:      none (acts without reading the page)\n";
    return;
  }
  const RoutedResult& rr = *ev.routed;
  out << "  route:      " << route_name(rr.route);
  if (rr.route == Route::spatial) out << (rr.fell_back ? " (grid found nothing; text matching answered)" : " (grid)");
  if (rr.by_label)
    out << (rr.label_over_words
                ? " (the field they label; its label answers them better than any element's words)"
                : " (no element shows the words; the field they label)");
  if (rr.by_text) out << " (no element shows the words; the text itself)";
  out << "\n";
  const ResolutionResult& r = rr.result;
  out << "  resolved:   " << (r.resolved ? "yes" : "no");
  if (r.verified) out << ", check " << (*r.verified ? "holds" : "does not hold");
  out << "\n";
  if (r.element) out << "  element:    " << describe_element(*r.element) << "  " << r.element->xpath << "\n";
  if (r.extracted) out << "  extracted:  " << text::quoted_literal(*r.extracted) << "\n";
  if (r.state) out << "  state:      " << to_json(*r.state).dump() << "\n";
  if (r.spatial)
    out << "  anchor:     " << text::quoted_literal(r.spatial->anchor_text) << ", ordinal "
        << r.spatial->ordinal << (r.spatial->type_relaxed ? ", type relaxed to " : ", type ")
        << r.spatial->actual_type.value_or("any") << "\n";
  out << "  candidates: " << r.candidates.size() << (r.candidates.empty() ? "\n" : "\n");
  for (size_t i = 0; i < r.candidates.size() && i < _CANDIDATES_SHOWN; ++i)
    out << "    " << i + 1 << ". " << describe_element(*r.candidates[i]) << "\n";
  if (r.candidates.size() > _CANDIDATES_SHOWN)
    out << "    ... and " << r.candidates.size() - _CANDIDATES_SHOWN << " more\n";
}

int _explain(const ExplainFlags& f) {
  std::string url = resolve_start_url(f.url, std::filesystem::current_path().string());
  std::vector<std::string> steps = steps_from_arguments(f.steps, std::cin);
  RunSettings settings{f.timeout_ms, std::nullopt, f.base_url, {},
                       std::set<std::string>(f.masked.begin(), f.masked.end())};
  // The runner writes the snapshots (masked), not the harvester.
  if (settings::SAVE_SNAPSHOTS) settings.snapshots = settings::LOG_PATH;
  settings::SAVE_SNAPSHOTS = false;
  for (const auto& arg : f.vars) {
    try {
      auto [name, value] = parse_var_argument(arg);
      settings.vars.insert_or_assign(name, value);
    } catch (const std::invalid_argument& e) {
      std::cerr << "plainstep explain: " << e.what() << "\n";
      return EXIT_USAGE;
    }
  }
  // Where the screenshot goes is checked before the browser starts.
  if (f.screenshot) {
    std::error_code ec;
    auto folder = std::filesystem::path(*f.screenshot).parent_path();
    std::optional<std::string> why;
    if (std::filesystem::is_directory(*f.screenshot, ec)) why = "it is a folder";
    else why = folder_problem(folder.empty() ? "." : folder.string());
    if (why) {
      std::cerr << "plainstep explain: --screenshot " << text::quoted_literal(*f.screenshot) << ": " << *why
                << "\n";
      return EXIT_USAGE;
    }
  }
  SessionKeeper keeper;
  keeper.open(url);
  StepRunner runner(keeper, settings);
  // Relative paths (go to, upload, run) are taken from the working folder.
  runner.set_source((std::filesystem::current_path() / "explain").string());
  runner.on_run_started = [](const StepReport& s) { print_step_start(std::cout, s); };
  runner.on_nested_done = [](const StepReport& s) { print_step(std::cout, s); };
  std::string shot_error;
  bool shot = false;
  if (f.screenshot)
    runner.before_act = [&](const ElementRef& el) {
      shot = framed_screenshot(keeper, el, *f.screenshot, &shot_error);
    };
  StepReader reader;
  bool all_passed = true;
  int n = 0;
  for (const auto& step : steps) {
    if (text::trim(step).empty()) continue;
    ++n;
    std::cout << terminal_safe(runner.variables().mask("step " + std::to_string(n) + ": " + step)) << "\n";
    try {
      ParsedInstruction p = reader.parse(step);
      std::cout << "  parsed:     " << to_json(p).dump() << "\n";
      std::cout << "  action:     " << _does(p.action) << "\n";
    } catch (const std::exception& e) {
      std::cout << "  parsed:     (" << e.what() << ")\n";
    }
    StepReport r = runner.run(n, n, step);
    std::ostringstream shown;
    if (auto plan = runner.evidence().routed; plan && plan->route == Route::spatial) {
      try {
        ParsedInstruction p = runner.variables().expand(reader.parse(step));
        shown << "  grid given: "
              << text::quoted_literal(plan_route(p, step).spatial_instruction.target.value_or(""))
              << "\n";
      } catch (const std::invalid_argument&) {
        // the step's own report says what it could not read
      }
    }
    _explain_result(shown, runner.evidence());
    std::istringstream lines(runner.variables().mask(shown.str()));
    for (std::string line; std::getline(lines, line);) std::cout << terminal_safe(line) << "\n";
    std::cout << "  outcome:    " << status_word(r.status) << "  " << terminal_safe(r.outcome) << "\n";
    for (const auto& d : r.details) std::cout << "              " << terminal_safe(d) << "\n";
    std::cout << std::flush;
    all_passed = all_passed && r.status == StepStatus::pass;
  }
  if (f.screenshot && !shot) {
    // Nothing was chosen: show the page as it is.
    shot = framed_screenshot(keeper, runner.evidence().outline, *f.screenshot, &shot_error);
  }
  if (f.screenshot) {
    if (shot) std::cout << "screenshot: " << *f.screenshot << "\n";
    else std::cerr << "plainstep explain: " << shot_error << "\n";
  }
  keeper.close();
  if (f.screenshot && !shot) return EXIT_USAGE;  // asked for, not saved
  return all_passed ? EXIT_OK : EXIT_FAILED;
}

const RegisterCommand _explain_command(
    "explain", "Show how each step is read, routed and resolved on a live page", 11,
    [](CLI::App& app) {
      auto f = std::make_shared<ExplainFlags>();
      app.add_option("--url", f->url, "The page to open (a web address or a file)")
          ->required()->envname("PLAINSTEP_URL")->type_name("URL");
      app.add_option("steps", f->steps, "Steps to explain, in order; - reads them from standard input")
          ->required()->type_name("STEP");
      app.add_option("--screenshot", f->screenshot,
                     "Save a PNG with the last chosen element framed")->type_name("FILE");
      app.add_option("--timeout", f->timeout_ms, "Auto-wait per step in milliseconds (default 5000)")
          ->envname("PLAINSTEP_TIMEOUT")->type_name("MS")->check(CLI::Range(1, 3600000));
      app.add_option("--var", f->vars, "Set a variable steps use as ${NAME} (repeatable)")
          ->type_name("NAME=VALUE")->allow_extra_args(false);
      app.add_option("--mask", f->masked, "Show this variable's value as **** (repeatable)")
          ->type_name("NAME")->allow_extra_args(false);
      app.add_option("--base-url", f->base_url,
                     "What relative go to and verify url addresses are taken from")
          ->envname("PLAINSTEP_BASE_URL")->type_name("URL");
      app.footer("Steps run in order, so later steps see what earlier ones did.\n"
                 "Exit status: 0 every step passed, 1 a step failed, 2 usage errors.");
      return [f] { return _explain(*f); };
    });

}  // namespace
}  // namespace plainstep::host
