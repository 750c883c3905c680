// What a finished step settled on, kept in its report for the reports that
// show why a step went the way it did.
#include "run_step.hpp"

namespace plainstep::host {

namespace {

std::string _route_words(const RoutedResult& rr) {
  std::string w = route_name(rr.route);
  if (rr.fell_back) w += ", then lexical";
  if (rr.by_label) w += ", then field labels";
  if (rr.by_text) w += ", then page text";
  return w;
}

// A copy whose texts show secrets as ****: the record itself is shared
// with the page's other readings.
ElementRef _masked(const ElementRef& e, const Variables& variables) {
  if (!e || !variables.has_secrets()) return e;
  Element copy = *e;
  copy.text = variables.mask(copy.text);
  AttributeMap attributes;
  for (const auto& [name, value] : copy.attributes) attributes.set(name, variables.mask(value));
  copy.attributes = std::move(attributes);
  return make_element(std::move(copy));
}

}  // namespace

void note_choice(StepReport& r, const StepEvidence& evidence, const Variables& variables) {
  if (!r.nested.empty() || !evidence.routed) return;
  const RoutedResult& rr = *evidence.routed;
  r.route = evidence.route.empty() ? _route_words(rr) : evidence.route;
  if (rr.result.resolved) r.element = _masked(rr.result.element, variables);
  for (const auto& c : evidence.candidates) r.candidates.push_back(_masked(c, variables));
}

}  // namespace plainstep::host
