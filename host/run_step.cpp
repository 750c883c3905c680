#include "run_step.hpp"

#include <algorithm>
#include <thread>

#include "browser/page_harvester/page_harvester.hpp"
#include "run_closest.hpp"
#include "text/text.hpp"

namespace plainstep::host {

namespace {

constexpr int _POLL_MS = 100;        // pause between two readings of the page
constexpr int _CANDIDATES_SHOWN = 3;
constexpr int _DIALOG_POLL_MS = 20;  // how often an action looks for a dialog it opened

// The element left the page between reading and acting: read again.
struct _Gone {};

bool _is_check(const std::string& a) { return a.rfind("verify_", 0) == 0; }

int _remaining_ms(Clock::time_point deadline) {
  auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
  return static_cast<int>(std::max<long long>(0, left));
}

std::string _q(const std::string& s) { return text::quoted_literal(s); }

std::string _first_line(const std::string& s) {
  auto nl = s.find('\n');
  return text::trim(nl == std::string::npos ? s : s.substr(0, nl));
}

// Whether a resolution settles the step, or the page should be read again.
bool _settled(const ParsedInstruction& p, const ResolutionResult& r) {
  if (!r.resolved) return false;
  if (p.action == "extract_text_spatial")
    return !r.candidates.empty();  // an empty side gives back the anchor itself
  if (r.verified) return *r.verified;
  return r.element != nullptr;
}

std::string _wanted(const ParsedInstruction& p) {
  std::string t = p.target.value_or("");
  if (p.action == "verify_spatial_text") return "text " + t + " reading " + _q(p.value.value_or(""));
  if (p.action == "extract_text_spatial") return "text " + t;
  if (p.action.find("text") != std::string::npos) return "text " + _q(t);
  return _q(t);
}

std::string _state_word(const std::string& action) {
  if (action == "verify_visible" || action == "verify_text_visible") return "visible";
  if (action == "verify_enabled") return "enabled";
  if (action == "verify_disabled") return "disabled";
  return "present";
}

std::string _dialog_text(const pw::Dialog& d) { return d.type() + " " + _q(d.message()); }

// Lower case, white space runs as one space, trimmed: how a text check
// compares what a dialog says.
std::string _normalised(const std::string& s) {
  return text::join(text::split_ws(text::lower(s)), " ");
}

// What a person clicking the element at its place would reach, when that
// is not the element itself: a control drawn over by its label (Bootstrap's
// custom checkboxes) or by a helper standing for it (iCheck's <ins>), or
// one with no place at all but a label. null when the element takes the
// click itself, or nothing related covers it (the driver then says what
// does).
constexpr const char* _STAND_IN = R"js((el) => {
  const doc = el.ownerDocument, win = doc.defaultView;
  const labels = Array.from(el.labels || []).filter((l) => {
    const b = l.getBoundingClientRect();
    return b.width > 0 && b.height > 0;
  });
  let r = el.getBoundingClientRect();
  if (!(r.width > 0 && r.height > 0)) return labels[0] || null;
  if (r.bottom < 0 || r.right < 0 || r.top > win.innerHeight || r.left > win.innerWidth) {
    el.scrollIntoView({block: 'center', inline: 'center'});
    r = el.getBoundingClientRect();
  }
  const root = el.getRootNode();
  const at = (root.elementFromPoint ? root : doc).elementFromPoint(r.left + r.width / 2,
                                                                   r.top + r.height / 2);
  if (!at || at === el || el.contains(at)) return null;
  if (labels.some((l) => l === at || l.contains(at))) return at;
  const parent = el.parentElement;
  if (parent && parent.contains(at) && !at.contains(el)) {
    const a = at.getBoundingClientRect();
    if (a.width <= Math.max(2 * r.width, 48) && a.height <= Math.max(2 * r.height, 48)) return at;
  }
  return labels[0] || null;
})js";

}  // namespace

StepReport StepRunner::run(int number, int line, const std::string& step) {
  StepReport r;
  r.number = number;
  r.line = line;
  r.text = step;
  auto start = Clock::now();
  auto deadline = start + std::chrono::milliseconds(settings_.timeout_ms);
  evidence_ = {};
  try {
    std::string lower = text::lower(text::trim(step));
    if (lower == "back" || lower == "refresh") {
      _refuse_if_dialog_open(lower);
      auto page = keeper_.get_page();
      auto bound = _action_timeout(deadline);
      if (lower == "back") page->go_back();
      else page->reload();
      r.outcome = "now at " + page->url();
    } else {
      ParsedInstruction p;
      try {
        p = reader_.parse(step);
      } catch (const std::invalid_argument& e) {
        throw StepFailure{e.what(), {}};
      }
      _run_parsed(p, step, r, deadline);
    }
    r.status = StepStatus::pass;
  } catch (const StepFailure& f) {
    r.status = StepStatus::fail;
    r.details.push_back(f.message);
    r.details.insert(r.details.end(), f.details.begin(), f.details.end());
  } catch (const pw::ConnectionError&) {
    throw;  // the browser is gone: the file cannot go on
  } catch (const std::exception& e) {
    r.status = StepStatus::fail;
    r.details.push_back(_first_line(e.what()));
  }
  r.seconds = seconds_since(start);
  return r;
}

void StepRunner::_refuse_if_dialog_open(const std::string& what) {
  auto d = keeper_.get_dialog();
  if (d && !d->is_handled())
    throw StepFailure{"cannot " + what + " while a dialog is open (" + _dialog_text(*d) +
                          "); answer it first with accept dialog or dismiss dialog",
                      {}};
}

void StepRunner::_pause(int ms) { keeper_.get_page()->wait_for_timeout(ms); }

std::shared_ptr<void> StepRunner::_action_timeout(Clock::time_point deadline) {
  auto pw = keeper_.playwright();
  if (!pw) return nullptr;
  std::shared_ptr<pw::Connection> c = pw->connection();
  double old = c->default_timeout_ms;
  c->default_timeout_ms = std::max(1, _remaining_ms(deadline));
  return std::shared_ptr<void>(nullptr, [c, old](void*) { c->default_timeout_ms = old; });
}

std::shared_ptr<pw::Dialog> StepRunner::_wait_for_dialog(Clock::time_point deadline) {
  for (;;) {
    auto d = keeper_.get_dialog();
    if (d && !d->is_handled()) return d;
    int left = _remaining_ms(deadline);
    if (left <= 0)
      throw StepFailure{"no dialog opened within " + std::to_string(settings_.timeout_ms) + " ms",
                        {}};
    _pause(std::min(left, _POLL_MS));
  }
}

void StepRunner::_run_parsed(const ParsedInstruction& p, const std::string& step, StepReport& r,
                             Clock::time_point deadline) {
  const std::string& a = p.action;
  if (names_nothing(p)) throw StepFailure{names_nothing_message(step), {}};
  if (a == "accept_dialog" || a == "dismiss_dialog") {
    auto d = _wait_for_dialog(deadline);
    std::string what = _dialog_text(*d);
    if (a == "accept_dialog") d->accept();
    else d->dismiss();
    keeper_.clear_dialog();
    r.outcome = (a == "accept_dialog" ? "accepted " : "dismissed ") + what;
    return;
  }
  if (a == "verify_dialog") {
    // Like other text checks: the words anywhere in the message, in any
    // case and line breaking, so a long or two-line message can be checked.
    std::string want = _normalised(p.value.value_or(""));
    if (want.empty()) throw StepFailure{"verify dialog says needs the words the dialog shows", {}};
    auto d = _wait_for_dialog(deadline);
    if (!text::contains(_normalised(d->message()), want))
      throw StepFailure{"the dialog says " + _q(text::trim(d->message())) + ", which does not contain " +
                            _q(text::trim(p.value.value_or(""))),
                        {}};
    r.outcome = _dialog_text(*d) + " (still open)";
    return;
  }
  if (a == "wait") {
    std::string ms = p.target.value_or("");
    std::optional<long> wait = StepReader::wait_milliseconds(ms);
    if (!wait)
      throw StepFailure{"wait needs a number of milliseconds from 0 to " +
                            std::to_string(StepReader::WAIT_MAX_MS) + ", got " + _q(ms),
                        {}};
    _pause(static_cast<int>(*wait));
    r.outcome = "waited " + std::to_string(*wait) + " ms";
    return;
  }
  if (a == "press_key" || a == "sendkeys") {
    _refuse_if_dialog_open(a == "press_key" ? "press a key" : "send keys");
    auto page = keeper_.get_page();
    auto bound = _action_timeout(deadline);
    try {
      if (a == "press_key")
        _call_watching_dialog(page->guid(), "keyboardPress", {{"key", *p.target}}, deadline);
      else
        page->keyboard().type(*p.target);
    } catch (const pw::Error& e) {
      if (dynamic_cast<const pw::ConnectionError*>(&e)) throw;
      throw StepFailure{"could not " + std::string(a == "press_key" ? "press " : "send ") +
                            _q(*p.target) + ": " + _first_line(e.what()),
                        {}};
    }
    r.outcome = a == "press_key" ? "pressed " + *p.target : "typed " + _q(*p.target);
    return;
  }
  bool acts = a == "click" || a == "type" || a == "select" || a == "hover";
  for (;;) {
    RoutedResult rr = _resolve_waiting(p, step, deadline);
    const ElementRef& el = rr.result.element;
    evidence_.outline = el;
    if (before_act) before_act(el);
    if (!acts) {
      if (a == "extract_text_spatial") {
        r.outcome = "extracted " + _q(rr.result.extracted.value_or(""));
      } else if (a == "extract_text") {
        std::string value = text::trim(el->text);
        if (value.empty() && (el->tag == "input" || el->tag == "textarea" || el->tag == "select"))
          if (auto h = _locate(el)) value = h->input_value();
        r.outcome = "extracted " + _q(value) + " from " + describe_element(*el);
      } else {
        r.outcome = describe_element(*el);
      }
      return;
    }
    try {
      if (a == "select") _select(p, el, step, r, deadline);
      else _act(p, el, r, deadline);
      return;
    } catch (const _Gone&) {
      if (_remaining_ms(deadline) <= 0)
        throw StepFailure{describe_element(*el) + " left the page before it could be used",
                          {"nothing stands at " + el->xpath + " any more"}};
    }
  }
}

void StepRunner::_call_watching_dialog(const std::string& guid, const std::string& method,
                                       const json& params, Clock::time_point deadline) {
  auto pw = keeper_.playwright();
  if (!pw) throw pw::ConnectionError("the browser session is closed");
  std::shared_ptr<pw::Connection> c = pw->connection();
  auto call = c->queue(guid, method, params, std::max(1, _remaining_ms(deadline)));
  // The driver answers the action by its own timeout; this bound only
  // guards against an answer that never comes.
  auto give_up = deadline + std::chrono::seconds(5);
  while (!call->done) {
    auto d = keeper_.get_dialog();
    if (d && !d->is_handled()) return;
    if (Clock::now() > give_up)
      throw StepFailure{"the browser gave no answer to " + call->what + " within " +
                            std::to_string(settings_.timeout_ms) + " ms",
                        {}};
    _pause(_DIALOG_POLL_MS);  // sends the queued action and reads events
  }
  if (call->error) std::rethrow_exception(call->error);
}

std::shared_ptr<pw::ElementHandle> StepRunner::_locate(const ElementRef& el) {
  if (!el || el->xpath.empty()) return nullptr;
  std::shared_ptr<pw::ElementHandle> h;
  try {
    h = keeper_.get_page()->locate_path(el->xpath);
  } catch (const std::invalid_argument& e) {
    throw StepFailure{"cannot act on " + describe_element(*el) + ": " + e.what(), {}};
  }
  // A path that does not start at the page's root cannot lead back to the
  // element, however long the step waits.
  if (!h && !el->xpath.starts_with("/html["))
    throw StepFailure{"cannot find " + describe_element(*el) + " on the page again: its path " +
                          _q(el->xpath) + " does not start at the page's root element",
                      {}};
  return h;
}

std::shared_ptr<pw::ElementHandle> StepRunner::_stand_in(pw::ElementHandle& h, std::string& how) {
  std::shared_ptr<pw::ElementHandle> other;
  try {
    other = h.evaluate_element(_STAND_IN);
    if (other)
      how = other->evaluate("(e) => e.closest('label') ? 'its label' : 'the ' + e.localName + "
                            "' drawn over it'")
                .get<std::string>();
  } catch (const pw::ConnectionError&) {
    throw;
  } catch (const pw::Error&) {
    return nullptr;  // the driver's own action says what is wrong
  }
  return other;
}

void StepRunner::_act(const ParsedInstruction& p, const ElementRef& el, StepReport& r,
                      Clock::time_point deadline) {
  auto h = _locate(el);
  if (!h) throw _Gone{};
  auto bound = _action_timeout(deadline);
  const std::string& a = p.action;
  // A control drawn over by its label or a helper is reached as a person
  // reaches it: through what stands at its place.
  std::string through;
  if (a == "click" || a == "hover")
    if (auto other = _stand_in(*h, through)) h = std::move(other);
  try {
    if (a == "click") {
      _call_watching_dialog(h->guid(), "click", json::object(), deadline);
    } else if (a == "hover") {
      h->hover();
    } else if (a == "type") {
      bool native = (el->tag == "input" || el->tag == "textarea") && !el->is_editable_field.value_or(false);
      if (native) {
        h->fill(p.value.value_or(""));
      } else {
        h->click();
        keeper_.get_page()->keyboard().type(p.value.value_or(""));
      }
    }
  } catch (const pw::ConnectionError&) {
    throw;
  } catch (const pw::Error& e) {
    throw StepFailure{"could not " + a + " " + describe_element(*el) + ": " + _first_line(e.what()),
                      {}};
  }
  r.outcome = describe_element(*el);
  if (!through.empty()) r.outcome += " through " + through;
  if (a == "type") r.outcome = "typed " + _q(p.value.value_or("")) + " into " + r.outcome;
}

void StepRunner::_select(const ParsedInstruction& p, const ElementRef& el, const std::string&,
                         StepReport& r, Clock::time_point deadline) {
  std::string want = p.value.value_or("");
  auto h = _locate(el);
  if (!h) throw _Gone{};
  if (el->tag != "select") {
    // A dropdown built from divs: open it, then click the option by its text.
    _act(ParsedInstruction{"click", el->text, std::nullopt, 1, false}, el, r, deadline);
    ParsedInstruction option{"click", text::trim(want), std::nullopt, 1, false};
    RoutedResult rr = _resolve_waiting(option, "click " + want, deadline);
    _act(option, rr.result.element, r, deadline);
    r.outcome = "chose " + describe_element(*rr.result.element) + " from " + describe_element(*el);
    return;
  }
  json options = h->evaluate(
      "el => Array.from(el.options).map(o => ({text: o.text.trim(), value: o.value}))");
  std::optional<std::string> value;
  std::string t = text::trim(want);
  for (const auto& o : options)  // by visible text first, then by value
    if (o["text"] == t) { value = o["value"].get<std::string>(); break; }
  if (!value)
    for (const auto& o : options)
      if (o["value"] == want || o["value"] == t) { value = o["value"].get<std::string>(); break; }
  if (!value) {
    std::vector<std::string> shown;
    for (const auto& o : options) shown.push_back(_q(o["text"].get<std::string>()));
    throw StepFailure{describe_element(*el) + " has no option " + _q(t),
                      {"its options: " + text::join(shown, ", ")}};
  }
  auto bound = _action_timeout(deadline);
  try {
    pw::SelectOption o;
    o.value = *value;
    h->select_option(std::vector<pw::SelectOption>{o});
  } catch (const pw::ConnectionError&) {
    throw;
  } catch (const pw::Error& e) {
    throw StepFailure{"could not select " + _q(t) + " in " + describe_element(*el) + ": " +
                          _first_line(e.what()),
                      {}};
  }
  r.outcome = "selected " + _q(t) + " in " + describe_element(*el);
}

RoutedResult StepRunner::_resolve_waiting(const ParsedInstruction& p, const std::string& step,
                                          Clock::time_point deadline) {
  evidence_.wanted = _wanted(p);
  std::optional<std::string> last_error;
  for (;;) {
    _refuse_if_dialog_open("read the page");
    auto page = keeper_.get_page();
    try {
      auto [els, texts] = PageHarvester(page).extract_interactable_elements();
      evidence_.url = page->url();
      evidence_.elements = std::move(els);
      evidence_.text_elements = std::move(texts);
      RoutedResult rr = resolve_routed(p, evidence_.elements, evidence_.text_elements, step);
      evidence_.routed = rr;
      if (_settled(p, rr.result)) return rr;
      last_error.reset();
    } catch (const pw::ConnectionError&) {
      throw;
    } catch (const pw::Error& e) {
      last_error = _first_line(e.what());  // mid-navigation: read again
    }
    int left = _remaining_ms(deadline);
    if (left <= 0) break;
    _pause(std::min(left, _POLL_MS));
  }
  // Out of time: say what was looked for and what came closest.
  StepFailure f;
  const ResolutionResult* res = evidence_.routed ? &evidence_.routed->result : nullptr;
  std::string route = evidence_.routed ? route_name(evidence_.routed->route) : "none";
  if (evidence_.routed && evidence_.routed->fell_back) route += ", then lexical";
  if (evidence_.routed && !evidence_.routed->result.resolved && looks_up_field_labels(p.action))
    route += ", then field labels";
  std::string within = " within " + std::to_string(settings_.timeout_ms) + " ms";
  if (res && res->resolved && res->element) {
    evidence_.outline = res->element;
    const Element& el = *res->element;
    if (p.action == "verify_spatial_text" && res->state) {
      f.message = "expected " + _q(p.value.value_or("")) + " " + p.target.value_or("") +
                  ", found " + _q(res->state->actual.value_or(""));
    } else if (p.action == "extract_text_spatial") {
      f.message = "found nothing " + p.target.value_or("") + within;
    } else if (_is_check(p.action)) {
      f.message = "found " + describe_element(el) + ", but it is not " + _state_word(p.action) + within;
    } else {
      f.message = "found " + describe_element(el) + ", but it did not settle" + within;
    }
  } else {
    f.message = "found no " + evidence_.wanted + within + " (" + p.action + ", " + route + ")";
    if (last_error) f.details.push_back("the page could not be read: " + *last_error);
  }
  Elements near = res && !res->candidates.empty()
                      ? res->candidates
                      : closest_candidates(p.target.value_or(""), evidence_.elements,
                                           evidence_.text_elements, _CANDIDATES_SHOWN);
  if (!res || !res->resolved) {
    if (near.empty()) f.details.push_back("nothing on the page comes close");
    else f.details.push_back("closest candidates:");
    for (size_t i = 0; i < near.size() && i < static_cast<size_t>(_CANDIDATES_SHOWN); ++i)
      f.details.push_back("  " + describe_element(*near[i]));
    if (!near.empty() && !evidence_.outline) evidence_.outline = near.front();
  }
  throw f;
}

}  // namespace plainstep::host
