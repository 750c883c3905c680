#include "run_step.hpp"

#include <algorithm>
#include <array>
#include <thread>

#include "browser/page_harvester/page_harvester.hpp"
#include "key_names.hpp"
#include "run_closest.hpp"
#include "text/text.hpp"

namespace plainstep::host {

namespace {

constexpr int _POLL_MS = 100;        // pause between two readings of the page
constexpr int _CANDIDATES_SHOWN = 3;

// How long past its bound a driver call may go before the browser is taken
// for stuck, and the least time any read gets before that.
constexpr int _ANSWER_MARGIN_MS = 2000;
constexpr int _READ_FLOOR_MS = 5000;
constexpr int _MIN_ACTION_MS = 250;

// Driver words for an element or document replaced under an action: the
// page re-rendered or navigated, so the step reads it again.
bool _stale(const std::string& message) {
  for (const char* sign : {"not attached to the DOM", "Execution context was destroyed",
                           "Frame was detached", "frame got detached", "Node is detached",
                           "Cannot find context with specified id", "Element is detached"})
    if (message.find(sign) != std::string::npos) return true;
  return false;
}

bool _is_check(const std::string& action) {
  const auto a = action_named(action);
  return a && is_check(*a);
}

std::string _q(const std::string& s) { return text::quoted_literal(s); }

// Text beside an anchor, read or remembered: "extract text below Total".
bool _beside_anchor(const ParsedInstruction& p) {
  return is_action(p, Action::extract_text_spatial) || is_action(p, Action::remember_text_spatial);
}

// Whether a resolution settles the step, or the page should be read again.
// A check settles when it holds, found or not: "is not present" holds once
// nothing matches.
bool _settled(const ParsedInstruction& p, const ResolutionResult& r) {
  if (r.verified) return *r.verified;
  if (!r.resolved) return false;
  if (_beside_anchor(p)) return !r.candidates.empty();  // an empty side gives back the anchor itself
  return r.element != nullptr;
}

std::string _wanted(const ParsedInstruction& p) {
  std::string t = p.target.value_or("");
  if (p.action.starts_with("verify_spatial_text"))
    return "text " + t + " reading " + _q(p.value.value_or(""));
  if (_beside_anchor(p)) return "text " + t;
  if (p.action.find("text") != std::string::npos) return "text " + _q(t);
  return _q(t);
}

std::string _state_word(const std::string& action) {
  const auto a = action_named(action);
  if (!a) return "present";
  switch (*a) {
    case Action::verify_visible:
    case Action::verify_text_visible: return "visible";
    case Action::verify_enabled: return "enabled";
    case Action::verify_disabled:
    case Action::verify_not_enabled: return "disabled";
    case Action::verify_not_visible:
    case Action::verify_text_not_visible: return "hidden";
    case Action::verify_not_present:
    case Action::verify_text_not_present: return "gone";
    default: return "present";
  }
}

// "expected exactly '0' right of Total": how a spatial check compared.
std::string _expected_words(const ParsedInstruction& p) {
  std::string v = _q(p.value.value_or(""));
  if (is_action(p, Action::verify_spatial_text_not)) return "no " + v;
  if (is_action(p, Action::verify_spatial_text_exact)) return "exactly " + v;
  if (is_action(p, Action::verify_spatial_text_not_exact)) return "anything but " + v;
  return v;
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

// Input types set through a picker, which takes no typed characters.
constexpr std::array<std::string_view, 7> _PICKER_TYPES{"date",  "time",  "datetime-local",
                                                         "month", "week",  "color", "range"};

// Types into a native field as fast as a fill, yet as a person ends it:
// what the field held is replaced by the value but for its last character,
// and that character arrives as a key press, so a page that answers keys
// (a table that filters on key-up) sees one, with the whole value in the
// field. Typing every character as a key cost a few milliseconds a key, a
// third of a short test's time. Fields set through a picker are filled
// outright.
void _type_keys(pw::ElementHandle& h, const Element& el, const std::string& value) {
  const std::string type = text::lower(el.attributes.get_or_empty("type"));
  if (std::find(_PICKER_TYPES.begin(), _PICKER_TYPES.end(), type) != _PICKER_TYPES.end()) {
    h.fill(value);
    return;
  }
  const size_t length = text::length(value);
  const size_t filled = length > 0 ? length - 1 : 0;
  h.fill(text::substr(value, 0, filled));
  if (filled < length) h.type(text::substr(value, filled));
}

}  // namespace

StepReport StepRunner::run(int number, int line, const std::string& step) {
  StepReport r;
  r.number = number;
  r.line = line;
  r.text = step;
  r.depth = depth_;
  if (depth_ > 0) r.where = source_label_ + ":" + std::to_string(line);
  auto start = Clock::now();
  auto deadline = start + std::chrono::milliseconds(settings_.timeout_ms);
  evidence_ = {};
  step_read_ms_ = 0;
  step_reads_ = 0;
  try {
    // Every driver call of the step answers by its deadline, one read and
    // an action's share, plus a margin; a browser that does not is stuck.
    auto watch = keeper_.playwright() ? _watch(deadline + std::chrono::milliseconds(
                                                   _ANSWER_MARGIN_MS + slowest_read_ms_ + _action_share_ms()),
                                               false)
                                      : nullptr;
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
        p = variables_.expand(reader_.parse(step));
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
    r.details.push_back(first_line(e.what()));
  }
  if (!snapshot_warning_.empty()) {
    r.details.push_back(snapshot_warning_);
    snapshot_warning_.clear();
  }
  r.seconds = seconds_since(start);
  _mask(r);
  note_choice(r, evidence_, variables_);
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

int StepRunner::_action_share_ms() const {
  return std::max(_MIN_ACTION_MS, std::min(settings_.timeout_ms / 4, slowest_read_ms_));
}

std::shared_ptr<void> StepRunner::_action_timeout(Clock::time_point deadline) {
  auto pw = keeper_.playwright();
  if (!pw) return nullptr;
  std::shared_ptr<pw::Connection> c = pw->connection();
  double old = c->default_timeout_ms;
  int ms = std::max(remaining_ms(deadline), _action_share_ms());
  c->default_timeout_ms = ms;
  auto old_bound = c->answer_by;
  c->answer_by = Clock::now() + std::chrono::milliseconds(ms + _ANSWER_MARGIN_MS);
  return std::shared_ptr<void>(nullptr, [c, old, old_bound](void*) {
    c->default_timeout_ms = old;
    c->answer_by = old_bound;
  });
}

std::shared_ptr<void> StepRunner::_watch(std::optional<Clock::time_point> answer_by, bool dialogs) {
  auto pw = keeper_.playwright();
  if (!pw) return nullptr;
  std::shared_ptr<pw::Connection> c = pw->connection();
  auto old_bound = c->answer_by;
  auto old_interrupt = c->interrupt;
  if (answer_by) c->answer_by = answer_by;
  if (dialogs)
    c->interrupt = [this]() -> std::optional<std::string> {
      auto d = keeper_.get_dialog();
      if (d && !d->is_handled()) return "a dialog is open (" + _dialog_text(*d) + ")";
      return std::nullopt;
    };
  return std::shared_ptr<void>(nullptr, [c, old_bound, old_interrupt](void*) {
    c->answer_by = old_bound;
    c->interrupt = old_interrupt;
  });
}

Clock::time_point StepRunner::_read_bound(Clock::time_point deadline) const {
  auto now = Clock::now();
  auto by_deadline = std::max(now, deadline) + std::chrono::milliseconds(_ANSWER_MARGIN_MS + slowest_read_ms_);
  return std::max(by_deadline, now + std::chrono::milliseconds(_READ_FLOOR_MS));
}

std::shared_ptr<pw::Dialog> StepRunner::_wait_for_dialog(Clock::time_point deadline) {
  for (;;) {
    auto d = keeper_.get_dialog();
    if (d && !d->is_handled()) return d;
    int left = remaining_ms(deadline);
    if (left <= 0)
      throw StepFailure{"no dialog opened within " + std::to_string(settings_.timeout_ms) + " ms",
                        {}};
    _pause(std::min(left, _POLL_MS));
  }
}

void StepRunner::_run_parsed(const ParsedInstruction& p, const std::string& step, StepReport& r,
                             Clock::time_point deadline) {
  if (names_nothing(p)) throw StepFailure{names_nothing_message(step), {}};
  if (_run_grown(p, step, r, deadline)) return;
  if (is_action(p, Action::accept_dialog) || is_action(p, Action::dismiss_dialog)) {
    auto d = _wait_for_dialog(deadline);
    std::string what = _dialog_text(*d);
    if (is_action(p, Action::accept_dialog)) d->accept();
    else d->dismiss();
    keeper_.clear_dialog();
    r.outcome = (is_action(p, Action::accept_dialog) ? "accepted " : "dismissed ") + what;
    return;
  }
  if (is_action(p, Action::verify_dialog)) {
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
  if (is_action(p, Action::wait)) {
    std::string ms = p.target.value_or("");
    std::optional<long> wait = StepReader::wait_milliseconds(ms);
    if (!wait)
      throw StepFailure{"wait needs a number of milliseconds from 0 to " +
                            std::to_string(StepReader::WAIT_MAX_MS) + ", got " + _q(ms),
                        {}};
    auto watch = _watch(Clock::now() + std::chrono::milliseconds(*wait + _ANSWER_MARGIN_MS), false);
    _pause(static_cast<int>(*wait));
    r.outcome = "waited " + std::to_string(*wait) + " ms";
    return;
  }
  if (is_action(p, Action::press_key) || is_action(p, Action::sendkeys)) {
    _refuse_if_dialog_open(is_action(p, Action::press_key) ? "press a key" : "send keys");
    auto page = keeper_.get_page();
    auto bound = _action_timeout(deadline);
    try {
      if (is_action(p, Action::press_key)) {
        auto key = driver_key(*p.target);
        if (!key) throw StepFailure{unknown_key_message(*p.target), {}};
        _call_watching_dialog(page->guid(), "keyboardPress", {{"key", *key}}, deadline);
      }
      else
        page->keyboard().type(*p.target);
    } catch (const pw::Error& e) {
      if (dynamic_cast<const pw::ConnectionError*>(&e)) throw;
      throw StepFailure{"could not " + std::string(is_action(p, Action::press_key) ? "press " : "send ") +
                            _q(*p.target) + ": " + first_line(e.what()),
                        {}};
    }
    r.outcome = is_action(p, Action::press_key) ? "pressed " + *p.target : "typed " + _q(*p.target);
    return;
  }
  const auto known = action_of(p);
  bool acts = known && info(*known).effect == Effect::acts;
  for (;;) {
    RoutedResult rr = _resolve_waiting(p, step, deadline);
    const ElementRef& el = rr.result.element;
    evidence_.outline = el;
    if (before_act) before_act(el);
    if (!acts) {
      if (is_action(p, Action::verify_count)) {
        r.outcome = "counted " + rr.result.state->actual.value_or("0") + " of " + evidence_.wanted;
        return;
      }
      if (!el) {  // a check that holds because nothing matches
        r.outcome = "no " + evidence_.wanted + " on the page";
        return;
      }
      if (_beside_anchor(p)) {
        r.outcome = "extracted " + _q(rr.result.extracted.value_or(""));
      } else if (is_action(p, Action::extract_text) || is_action(p, Action::remember_text)) {
        std::string value = text::trim(el->text);
        if (value.empty() && (el->tag == "input" || el->tag == "textarea" || el->tag == "select")) {
          auto watch = _watch(std::nullopt, true);
          try {
            if (auto h = _locate(el)) value = h->input_value();
          } catch (const pw::Interrupted& e) {
            throw StepFailure{"cannot read " + describe_element(*el) + ": " + e.what(), {}};
          }
        }
        r.outcome = "extracted " + _q(value) + " from " + describe_element(*el);
        if (is_action(p, Action::remember_text)) rr.result.extracted = value;
      } else {
        r.outcome = describe_element(*el);
      }
      if (is_action(p, Action::remember_text) || is_action(p, Action::remember_text_spatial)) {
        const std::string value = rr.result.extracted.value_or("");
        variables_.remember(p.value.value_or(""), value);
        r.outcome = "remembered " + _q(value) + " as " + p.value.value_or("") +
                    (is_action(p, Action::remember_text) ? " from " + describe_element(*el) : "");
      }
      return;
    }
    try {
      // A dialog the page opens on its own stops the action at once; one
      // the action opens itself is the action done (_call_watching_dialog).
      auto watch = _watch(std::nullopt, true);
      if (is_action(p, Action::select)) _select(p, el, step, r, deadline);
      else _act(p, el, r, deadline);
      return;
    } catch (const pw::Interrupted& e) {
      std::string verb = p.action;
      std::replace(verb.begin(), verb.end(), '_', ' ');
      throw StepFailure{"cannot " + verb + " " + describe_element(*el) + ": " + e.what() +
                            "; answer it first with accept dialog or dismiss dialog",
                        {}};
    } catch (const _Gone&) {
      if (remaining_ms(deadline) <= 0)
        throw StepFailure{describe_element(*el) + " left the page before it could be used",
                          {"nothing stands at " + el->xpath + " any more"}};
    }
  }
}

void StepRunner::_call_watching_dialog(const std::string& guid, const std::string& method,
                                       const json& params, Clock::time_point) {
  auto pw = keeper_.playwright();
  if (!pw) throw pw::ConnectionError("the browser session is closed");
  std::shared_ptr<pw::Connection> c = pw->connection();
  double timeout = std::max(c->default_timeout_ms, 1.0);  // the action's share, see _action_timeout
  auto watch = _watch(std::nullopt, true);
  try {
    c->call(guid, method, params, timeout);
  } catch (const pw::Interrupted&) {
    // The action opened a dialog: it is done, and the driver's answer comes
    // once a dialog step has answered the dialog.
  }
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

// Some pages reload or navigate the moment the pointer reaches a control
// (a session refreshed on activity). A click sent while the old document
// unloads is lost without an error, so the pointer goes first; when that
// starts the page leaving, the step waits for the old document to go and
// finds its element again on the new one.
void StepRunner::_point_at(pw::ElementHandle& h, Clock::time_point deadline) {
  // Watches the document for leaving and gives the element's middle when
  // it is in the top page's view; elsewhere the click moves the pointer.
  constexpr const char* WATCH = R"js(el => {
    const w = el.ownerDocument.defaultView;
    if (!w.__plainstepLeaving) {
      w.__plainstepLeaving = {now: false};
      w.addEventListener('beforeunload', () => { w.__plainstepLeaving.now = true; });
    }
    w.__plainstepLeaving.now = false;
    if (w !== w.top) return null;
    const r = el.getBoundingClientRect();
    const x = r.left + r.width / 2, y = r.top + r.height / 2;
    return r.width > 0 && r.height > 0 && x >= 0 && y >= 0 && x < w.innerWidth && y < w.innerHeight
        ? [x, y] : null;
  })js";
  constexpr const char* LEAVING = "el => el.ownerDocument.defaultView.__plainstepLeaving?.now === true";
  try {
    json at = h.evaluate(WATCH);
    if (!at.is_array()) return;
    keeper_.get_page()->mouse().move(at[0].get<double>(), at[1].get<double>());
    if (!h.evaluate(LEAVING).get<bool>()) return;
    // Until the old document is gone; a navigation the page drops (a
    // download, a 204) leaves it in place, so the wait is short.
    auto until = std::min(deadline, Clock::now() + std::chrono::milliseconds(2000));
    while (Clock::now() < until) {
      h.evaluate("el => el.isConnected");
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
  } catch (const pw::ConnectionError&) {
    throw;
  } catch (const pw::Error& e) {
    if (_stale(e.what())) throw _Gone{};
    return;  // the click says what is wrong, if anything is
  }
  throw _Gone{};
}

void StepRunner::_act(const ParsedInstruction& p, const ElementRef& el, StepReport& r,
                      Clock::time_point deadline) {
  if (_act_more(p, el, r, deadline)) return;
  auto h = _locate(el);
  if (!h) throw _Gone{};
  auto bound = _action_timeout(deadline);
  const std::string& a = p.action;
  // A control drawn over by its label or a helper is reached as a person
  // reaches it: through what stands at its place.
  std::string through;
  if (is_action(p, Action::click) || is_action(p, Action::hover))
    if (auto other = _stand_in(*h, through)) h = std::move(other);
  try {
    if (is_action(p, Action::click)) {
      _point_at(*h, deadline);
      _call_watching_dialog(h->guid(), "click", json::object(), deadline);
    } else if (is_action(p, Action::hover)) {
      h->hover();
    } else if (is_action(p, Action::type)) {
      bool native = (el->tag == "input" || el->tag == "textarea") && !el->is_editable_field.value_or(false);
      if (native) {
        _type_keys(*h, *el, p.value.value_or(""));
      } else {
        h->click();
        keeper_.get_page()->keyboard().type(p.value.value_or(""));
      }
    }
  } catch (const pw::ConnectionError&) {
    throw;
  } catch (const pw::Error& e) {
    if (_stale(e.what())) throw _Gone{};  // re-rendered or navigated: read the page again
    throw StepFailure{"could not " + a + " " + describe_element(*el) + ": " + first_line(e.what()),
                      {}};
  }
  r.outcome = describe_element(*el);
  if (!through.empty()) r.outcome += " through " + through;
  if (is_action(p, Action::type)) r.outcome = "typed " + _q(p.value.value_or("")) + " into " + r.outcome;
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
    if (_stale(e.what())) throw _Gone{};
    throw StepFailure{"could not select " + _q(t) + " in " + describe_element(*el) + ": " +
                          first_line(e.what()),
                      {}};
  }
  r.outcome = "selected " + _q(t) + " in " + describe_element(*el);
}

void StepRunner::_name_unreadable_frames(StepFailure& f) {
  // What the step looked for may stand in a frame this page may not read.
  try {
    auto watch = _watch(Clock::now() + std::chrono::milliseconds(_READ_FLOOR_MS), true);
    for (const auto& frame : PageHarvester(keeper_.get_page()).unreadable_frames())
      f.details.push_back("cannot look inside " + frame + ": it comes from another origin");
  } catch (const pw::ConnectionError&) {
    throw;
  } catch (const std::exception&) {
    // the failure stands without them
  }
}

RoutedResult StepRunner::_resolve_waiting(const ParsedInstruction& p, const std::string& step,
                                          Clock::time_point deadline) {
  evidence_.wanted = _wanted(p);
  std::optional<std::string> last_error;
  for (;;) {
    _refuse_if_dialog_open("read the page");
    auto page = keeper_.get_page();
    auto read_start = Clock::now();
    try {
      auto watch = _watch(_read_bound(deadline), true);
      auto [els, texts] = _read_page(page);
      int took = static_cast<int>(
          std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - read_start).count());
      slowest_read_ms_ = std::max(slowest_read_ms_, took);
      step_read_ms_ += took;
      ++step_reads_;
      evidence_.url = page->url();
      evidence_.elements = std::move(els);
      evidence_.text_elements = std::move(texts);
      RoutedResult rr = resolve_routed(p, evidence_.elements, evidence_.text_elements, step);
      evidence_.routed = rr;
      if (_settled(p, rr.result)) return rr;
      last_error.reset();
    } catch (const pw::ConnectionError&) {
      throw;
    } catch (const pw::Interrupted& e) {
      // The page opened a dialog while it was being read: it cannot be
      // read until someone answers, so say so now rather than at the timeout.
      throw StepFailure{"cannot read the page: " + std::string(e.what()) +
                            "; answer it first with accept dialog or dismiss dialog",
                        {}};
    } catch (const pw::Error& e) {
      last_error = first_line(e.what());  // mid-navigation: read again
    }
    int left = remaining_ms(deadline);
    // A read that cannot end before the deadline is not started: the step
    // runs past its timeout by one read at most.
    if (left <= 0 || (step_reads_ > 0 && left < slowest_read_ms_)) break;
    _pause(std::min(left, _POLL_MS));
  }
  // Out of time: say what was looked for and what came closest.
  StepFailure f;
  const ResolutionResult* res = evidence_.routed ? &evidence_.routed->result : nullptr;
  std::string route = evidence_.routed ? route_name(evidence_.routed->route) : "none";
  if (evidence_.routed && evidence_.routed->fell_back) route += ", then lexical";
  if (evidence_.routed && !evidence_.routed->result.resolved && looks_up_field_labels(p.action))
    route += ", then field labels";
  evidence_.route = route;
  std::string within = " within " + std::to_string(settings_.timeout_ms) + " ms";
  if (res && res->resolved && res->element) {
    evidence_.outline = res->element;
    const Element& el = *res->element;
    if (p.action.starts_with("verify_spatial_text") && res->state) {
      f.message = "expected " + _expected_words(p) + " " + p.target.value_or("") + ", found " +
                  _q(res->state->actual.value_or(""));
    } else if (is_action(p, Action::verify_count) && res->state) {
      f.message = "expected " + res->state->expected.value_or("") + " of " + evidence_.wanted +
                  ", counted " + res->state->actual.value_or("") + within;
    } else if (_beside_anchor(p)) {
      f.message = "found nothing " + p.target.value_or("") + within;
    } else if (_is_check(p.action)) {
      f.message = "found " + describe_element(el) + ", but it is not " + _state_word(p.action) + within;
    } else {
      f.message = "found " + describe_element(el) + ", but it did not settle" + within;
    }
  } else if (is_action(p, Action::verify_count) && res && res->state) {
    f.message = "expected " + res->state->expected.value_or("") + " of " + evidence_.wanted +
                ", counted " + res->state->actual.value_or("") + within;
  } else {
    f.message = "found no " + evidence_.wanted + within + " (" + p.action + ", " + route + ")";
    if (last_error) f.details.push_back("the page could not be read: " + *last_error);
    _name_unreadable_frames(f);
  }
  // Reading a big page can eat the budget: say how much of it went there.
  if (step_read_ms_ * 5 >= settings_.timeout_ms)
    f.details.push_back("reading the page took " + std::to_string(step_read_ms_) + " ms of the " +
                        std::to_string(settings_.timeout_ms) + " ms budget (" +
                        std::to_string(step_reads_) + (step_reads_ == 1 ? " read)" : " reads)"));
  Elements near = res && !res->candidates.empty()
                      ? res->candidates
                      : closest_candidates(p.target.value_or(""), evidence_.elements,
                                           evidence_.text_elements, _CANDIDATES_SHOWN);
  if (!res || !res->resolved) {
    if (near.empty()) f.details.push_back("nothing on the page comes close");
    else f.details.push_back("closest candidates:");
    for (size_t i = 0; i < near.size() && i < static_cast<size_t>(_CANDIDATES_SHOWN); ++i) {
      f.details.push_back("  " + describe_element(*near[i]));
      evidence_.candidates.push_back(near[i]);
    }
    if (!near.empty() && !evidence_.outline) evidence_.outline = near.front();
  }
  throw f;
}

int remaining_ms(Clock::time_point deadline) {
  auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
  return static_cast<int>(std::max<long long>(0, left));
}

std::string first_line(const std::string& message) {
  auto nl = message.find('\n');
  return text::trim(nl == std::string::npos ? message : message.substr(0, nl));
}

bool is_action(const ParsedInstruction& p, Action a) { return p.action == action_name(a); }

}  // namespace plainstep::host
