// The grown step forms the runner carries out: checks of the page and of a
// control's live state, double and right clicks, ticking boxes, clearing,
// uploading, dragging, scrolling, addresses, tabs and shared step files.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <iostream>

#include "browser/page_harvester/page_harvester.hpp"
#include "driver/browser.hpp"
#include "records_io.hpp"
#include "run_address.hpp"
#include "run_step.hpp"
#include "step_file.hpp"
#include "text/text.hpp"

namespace plainstep::host {

namespace fs = std::filesystem;

namespace {

constexpr int _POLL_MS = 100;

std::string _q(const std::string& s) { return text::quoted_literal(s); }

bool _is_url_check(const ParsedInstruction& p) {
  return is_action(p, Action::verify_url) || is_action(p, Action::verify_url_contains);
}

// Lower case, white space runs as one space, trimmed.
std::string _normalised(const std::string& s) { return text::join(text::split_ws(text::lower(s)), " "); }

// "http://x/" and "http://x" are the same address.
std::string _without_trailing_slash(std::string url) {
  if (url.size() > 1 && url.back() == '/') url.pop_back();
  return url;
}

// The checkbox or radio button an element is, holds or labels, and whether
// it is ticked; null when it is none.
constexpr const char* _BOX_STATE = R"js((el) => {
  const boxes = 'input[type=checkbox],input[type=radio]';
  const roles = '[role=checkbox],[role=switch],[role=radio],[role=menuitemcheckbox],[role=menuitemradio]';
  let box = el.matches(boxes) ? el : null;
  if (!box && el.control && el.control.matches && el.control.matches(boxes)) box = el.control;
  if (!box && !el.matches(roles)) box = el.querySelector(boxes);
  if (box) return {checked: box.checked, radio: box.type === 'radio'};
  const r = el.matches(roles) || el.hasAttribute('aria-checked') ? el
      : el.closest(roles) || el.querySelector(roles);
  if (!r) return null;
  return {checked: r.getAttribute('aria-checked') === 'true',
          radio: /radio/.test(r.getAttribute('role') || '')};
})js";

// A field's current value (a drop-down's chosen option), or an element's
// text, for value and contains checks.
constexpr const char* _VALUE = R"js((el) => {
  const fields = 'input,textarea,select';
  let f = el.matches(fields) ? el : null;
  if (!f && el.control && el.control.matches && el.control.matches(fields)) f = el.control;
  if (f && f.tagName === 'SELECT') {
    const o = f.selectedOptions[0];
    return {field: true, value: f.value, shown: o ? o.text.trim() : ''};
  }
  if (f) return {field: true, value: f.value, shown: f.value};
  const t = el.isContentEditable ? el.innerText : (el.innerText ?? el.textContent ?? '');
  return {field: el.isContentEditable, value: t, shown: t};
})js";

// The file field an element is, or the one it labels or holds.
constexpr const char* _FILE_FIELD = R"js((el) => {
  const file = 'input[type=file]';
  if (el.matches(file)) return el;
  if (el.control && el.control.matches && el.control.matches(file)) return el.control;
  const inside = el.querySelector(file);
  if (inside) return inside;
  const around = el.closest('label,form,fieldset,div,section');
  return around ? around.querySelector(file) : null;
})js";

// What a snapshot file is named after, as the harvester names its own.
std::string _url_slug(std::string_view url) {
  std::string s = text::replace_all(text::replace_all(url, "://", "_"), "/", "_");
  return text::substr(s, 0, 60);
}

std::string _timestamp() {
  std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  char buf[32];
  std::strftime(buf, sizeof buf, "%Y%m%d_%H%M%S", &local);
  return buf;
}

// Writes `content` under the first free name of stem.json, stem_2.json, ...
std::string _write_new(const fs::path& dir, const std::string& stem, const std::string& content) {
  // Written whole into a temporary file, then linked under the first free
  // name: a snapshot is there complete or not at all, and never replaces
  // another.
  std::string tmp = (dir / ("." + stem + ".XXXXXX")).string();
  int fd = mkstemp(tmp.data());
  if (fd < 0) throw std::runtime_error("cannot create a snapshot file in " + _q(dir.string()) + ": " + std::strerror(errno));
  size_t done = 0;
  while (done < content.size()) {
    ssize_t w = write(fd, content.data() + done, content.size() - done);
    if (w < 0 && errno == EINTR) continue;
    if (w <= 0 || (done += static_cast<size_t>(w), false)) {
      std::string why = w == 0 ? "nothing written" : std::strerror(errno);
      close(fd);
      unlink(tmp.c_str());
      throw std::runtime_error("cannot write a snapshot file in " + _q(dir.string()) + ": " + why);
    }
  }
  fchmod(fd, 0644);
  bool synced = fsync(fd) == 0;
  close(fd);
  for (int n = 1; synced; ++n) {
    fs::path path = dir / (stem + (n == 1 ? "" : "_" + std::to_string(n)) + ".json");
    if (link(tmp.c_str(), path.c_str()) == 0) {
      unlink(tmp.c_str());
      return path.string();
    }
    if (errno != EEXIST) break;
  }
  std::string why = std::strerror(errno);
  unlink(tmp.c_str());
  throw std::runtime_error("cannot save a snapshot file in " + _q(dir.string()) + ": " + why);
}

}  // namespace

void StepRunner::set_source(const std::string& path) {
  source_path_ = path;
  source_label_ = path;
}

void StepRunner::_mask(StepReport& r) const {
  if (!variables_.has_secrets()) return;
  r.text = variables_.mask(r.text);
  r.outcome = variables_.mask(r.outcome);
  for (auto& d : r.details) d = variables_.mask(d);
}

std::pair<Elements, Elements> StepRunner::_read_page(const std::shared_ptr<pw::Page>& page) {
  // The harvester writes no snapshot of its own during a run (the run turns
  // settings::SAVE_SNAPSHOTS off): it is written here, masked when a secret
  // may stand in the address or on the page, and one that cannot be written
  // is a warning on the step, never its failure.
  std::pair<Elements, Elements> read = PageHarvester(page).extract_interactable_elements();
  if (!settings_.snapshots) return read;
  try {
    const std::string url = variables_.mask(page->url());
    fs::path dir(*settings_.snapshots);
    if (!dir.empty()) fs::create_directories(dir);
    PageRecords records{url, read.first, read.second};
    std::string content = variables_.mask(snapshot_json(records).dump(2, ' ', true)) + "\n";
    std::string path = _write_new(dir, _timestamp() + "_" + _url_slug(url), content);
    const std::string line = "  [DOM snapshot saved \u2192 " + path + "]";
    if (on_note) on_note(line);
    else std::cout << line << std::endl;
  } catch (const pw::ConnectionError&) {
    throw;
  } catch (const std::exception& e) {
    snapshot_warning_ = "warning: the page's snapshot was not saved: " + std::string(e.what());
  }
  return read;
}

bool StepRunner::_run_grown(const ParsedInstruction& p, const std::string& step, StepReport& r,
                            Clock::time_point deadline) {
  const std::optional<Action> a = action_of(p);
  if (!a) return false;
  switch (*a) {
    case Action::verify_url:
    case Action::verify_url_contains:
    case Action::verify_title:
    case Action::verify_title_contains: _check_page(p, r, deadline); return true;
    case Action::verify_checked:
    case Action::verify_not_checked:
    case Action::verify_value:
    case Action::verify_contains: _check_live(p, step, r, deadline); return true;
    case Action::go_to: _go_to(p, r, deadline); return true;
    case Action::switch_to_new_tab:
    case Action::switch_to_tab:
    case Action::close_tab: _tab(p, r, deadline); return true;
    case Action::drag: _drag(p, step, r, deadline); return true;
    case Action::run_file: _run_steps(p, r); return true;
    // The rest find a target and act on it or check it (_run_parsed), or
    // answer dialogs, press keys and wait there.
    case Action::click:
    case Action::type:
    case Action::hover:
    case Action::select:
    case Action::press_key:
    case Action::sendkeys:
    case Action::extract_text:
    case Action::extract_text_spatial:
    case Action::find_text:
    case Action::find_exact_text:
    case Action::verify_present:
    case Action::verify_visible:
    case Action::verify_enabled:
    case Action::verify_disabled:
    case Action::verify_text_present:
    case Action::verify_text_visible:
    case Action::verify_spatial_text:
    case Action::accept_dialog:
    case Action::dismiss_dialog:
    case Action::verify_dialog:
    case Action::wait:
    case Action::verify_not_present:
    case Action::verify_not_visible:
    case Action::verify_not_enabled:
    case Action::verify_count:
    case Action::verify_text_not_present:
    case Action::verify_text_not_visible:
    case Action::verify_spatial_text_not:
    case Action::verify_spatial_text_exact:
    case Action::verify_spatial_text_not_exact:
    case Action::double_click:
    case Action::right_click:
    case Action::check:
    case Action::uncheck:
    case Action::clear:
    case Action::upload:
    case Action::scroll_to:
    case Action::remember_text:
    case Action::remember_text_spatial: return false;
  }
  return false;
}

// ---- the page itself ---------------------------------------------------------

std::string StepRunner::_address(const std::string& written) {
  if (has_scheme(written)) return written;
  if (settings_.base_url)
    return keeper_.get_page()
        ->evaluate("([a, b]) => new URL(a, b).href", json::array({written, *settings_.base_url}))
        .get<std::string>();
  std::string dir = fs::path(source_path_).parent_path().string();
  try {
    return resolve_start_url(written, dir.empty() ? "." : dir);
  } catch (const std::invalid_argument&) {
    fs::path file = fs::path(dir.empty() ? "." : dir) / written;
    std::error_code ec;
    throw StepFailure{"no page at " + _q(written) + ": the file " +
                          _q(fs::weakly_canonical(fs::absolute(file, ec), ec).string()) +
                          " does not exist (a path is taken from the step file's folder; for a "
                          "site, give its web address or --base-url)",
                      {}};
  }
}

void StepRunner::_check_page(const ParsedInstruction& p, StepReport& r, Clock::time_point deadline) {
  const std::string want = p.value.value_or("");
  const bool url_check = _is_url_check(p);
  const std::string address = is_action(p, Action::verify_url) ? _address(want) : want;
  std::string seen;
  for (;;) {
    _refuse_if_dialog_open("read the page");
    bool holds = false;
    try {
      auto page = keeper_.get_page();
      seen = url_check ? page->url() : page->title();
      if (is_action(p, Action::verify_url))
        holds = _without_trailing_slash(seen) == _without_trailing_slash(address);
      else if (is_action(p, Action::verify_url_contains))
        holds = seen.find(want) != std::string::npos;
      else if (is_action(p, Action::verify_title))
        holds = _normalised(seen) == _normalised(want);
      else
        holds = text::contains(_normalised(seen), _normalised(want));
    } catch (const pw::ConnectionError&) {
      throw;
    } catch (const pw::Error&) {
      // mid-navigation: read again
    }
    if (holds) {
      r.outcome = (url_check ? "the address is " : "the title is ") + _q(seen);
      return;
    }
    int left = remaining_ms(deadline);
    if (left <= 0) break;
    _pause(std::min(left, _POLL_MS));
  }
  const std::string what = url_check ? "the page's address is " : "the page's title is ";
  const bool whole = is_action(p, Action::verify_url) || is_action(p, Action::verify_title);
  throw StepFailure{what + _q(seen) + (whole ? ", not " + _q(url_check ? address : want)
                                             : ", which does not contain " + _q(want)) +
                        " (waited " + std::to_string(settings_.timeout_ms) + " ms)",
                    {}};
}

void StepRunner::_go_to(const ParsedInstruction& p, StepReport& r, Clock::time_point deadline) {
  _refuse_if_dialog_open("go to another address");
  const std::string url = _address(p.target.value_or(""));
  auto page = keeper_.get_page();
  auto bound = _action_timeout(deadline);
  try {
    page->navigate(url, "load");
  } catch (const pw::ConnectionError&) {
    throw;
  } catch (const pw::Error& e) {
    throw StepFailure{"could not go to " + _q(url) + ": " + first_line(e.what()), {}};
  }
  r.outcome = "now at " + page->url();
}

// ---- tabs ----------------------------------------------------------------------

void StepRunner::_note_current_page() {
  auto page = keeper_.get_page();
  visited_.erase(std::remove_if(visited_.begin(), visited_.end(),
                                [&](const auto& w) { return w.lock() == page || w.expired(); }),
                 visited_.end());
  visited_.push_back(page);
}

void StepRunner::_tab(const ParsedInstruction& p, StepReport& r, Clock::time_point deadline) {
  _refuse_if_dialog_open("change tabs");
  if (visited_.empty()) _note_current_page();
  const auto was_shown = [&](const std::shared_ptr<pw::Page>& page) {
    return std::any_of(visited_.begin(), visited_.end(),
                       [&](const auto& w) { return w.lock() == page; });
  };
  const auto tab_line = [&](const std::shared_ptr<pw::Page>& page) {
    auto pages = keeper_.pages();
    size_t n = std::find(pages.begin(), pages.end(), page) - pages.begin() + 1;
    return "tab " + std::to_string(n) + " of " + std::to_string(pages.size()) + ", " + page->url();
  };
  std::shared_ptr<pw::Page> next;
  if (is_action(p, Action::close_tab)) {
    auto current = keeper_.get_page();
    if (keeper_.pages().size() <= 1)
      throw StepFailure{"cannot close the only tab: the test needs a page to go on with", {}};
    auto bound = _action_timeout(deadline);
    current->close();
    // Back to the tab shown before it, as a browser does.
    for (auto it = visited_.rbegin(); it != visited_.rend() && !next; ++it)
      if (auto page = it->lock(); page && page != current && !page->is_closed()) next = page;
    if (!next) next = keeper_.pages().back();
    keeper_.switch_to(next);
    _note_current_page();
    r.outcome = "closed the tab; now on " + tab_line(next);
    return;
  }
  int number = 0;
  if (is_action(p, Action::switch_to_tab)) {
    const std::string n = text::trim(p.target.value_or(""));
    if (n.empty() || n.size() > 6 || !std::all_of(n.begin(), n.end(), [](char c) { return c >= '0' && c <= '9'; }) ||
        std::stoi(n) < 1)
      throw StepFailure{"switch to tab needs a tab number from 1, got " + _q(n), {}};
    number = std::stoi(n);
  }
  for (;;) {
    auto pages = keeper_.pages();
    if (number > 0 && static_cast<size_t>(number) <= pages.size()) next = pages[static_cast<size_t>(number - 1)];
    if (number == 0)  // the newest tab never shown yet
      for (auto it = pages.rbegin(); it != pages.rend() && !next; ++it)
        if (!was_shown(*it)) next = *it;
    if (next) break;
    int left = remaining_ms(deadline);
    if (left <= 0)
      throw StepFailure{(number > 0 ? "there is no tab " + std::to_string(number)
                                    : std::string("no new tab opened")) +
                            " within " + std::to_string(settings_.timeout_ms) + " ms (" +
                            std::to_string(pages.size()) + (pages.size() == 1 ? " tab" : " tabs") +
                            " open)",
                        {}};
    _pause(std::min(left, _POLL_MS));
  }
  keeper_.switch_to(next);
  try {
    next->bring_to_front();
  } catch (const pw::ConnectionError&) {
    throw;
  } catch (const pw::Error&) {
    // a tab that cannot come forward is still the one steps act on
  }
  _note_current_page();
  r.outcome = "now on " + tab_line(next);
}

// ---- checks of a control's live state ------------------------------------------

void StepRunner::_check_live(const ParsedInstruction& p, const std::string& step, StepReport& r,
                             Clock::time_point deadline) {
  const std::string want = p.value.value_or("");
  // `has value ""` asks for an empty field: the pair of quotes stays in
  // the step as written.
  const std::string want_value = want == "\"\"" ? "" : text::trim(want);
  std::string seen, how;
  for (;;) {
    RoutedResult rr = _resolve_waiting(p, step, deadline);
    const ElementRef el = rr.result.element;
    evidence_.outline = el;
    if (before_act) before_act(el);
    bool holds = false;
    auto h = _locate(el);
    try {
      if (h && (is_action(p, Action::verify_checked) || is_action(p, Action::verify_not_checked))) {
        json state = h->evaluate(_BOX_STATE);
        if (state.is_null())
          throw StepFailure{describe_element(*el) + " is no checkbox or radio button, so it is neither checked nor unchecked", {}};
        const bool checked = state.value("checked", false);
        seen = checked ? "checked" : "not checked";
        holds = checked == is_action(p, Action::verify_checked);
      } else if (h) {
        json v = h->evaluate(_VALUE);
        const std::string value = v.value("value", ""), shown = v.value("shown", "");
        seen = v.value("field", false) ? "has value " + _q(shown) : "reads " + _q(text::trim(shown));
        if (is_action(p, Action::verify_value))
          holds = text::trim(value) == want_value || text::trim(shown) == want_value;
        else
          holds = text::contains(_normalised(shown), _normalised(want)) ||
                  text::contains(_normalised(value), _normalised(want));
      }
    } catch (const pw::ConnectionError&) {
      throw;
    } catch (const pw::Error&) {
      // the element went while it was read: read the page again
    }
    if (holds) {
      r.outcome = describe_element(*el) + " " + seen;
      return;
    }
    int left = remaining_ms(deadline);
    if (left <= 0) {
      const std::string asked = is_action(p, Action::verify_checked)       ? "be checked"
                                : is_action(p, Action::verify_not_checked) ? "be unchecked"
                                : is_action(p, Action::verify_value)       ? "have the value " + _q(want_value)
                                                                     : "contain " + _q(want);
      const std::string found = seen.empty()              ? "could not be read"
                                : seen.starts_with("has") ? seen
                                : seen.starts_with("reads") ? seen
                                                            : "is " + seen;
      throw StepFailure{"expected " + describe_element(*el) + " to " + asked + ", but it " + found +
                            " (waited " + std::to_string(settings_.timeout_ms) + " ms)",
                        {}};
    }
    _pause(std::min(left, _POLL_MS));
  }
}

// ---- the grown actions on one element ------------------------------------------

bool StepRunner::_act_more(const ParsedInstruction& p, const ElementRef& el, StepReport& r,
                           Clock::time_point deadline) {
  const std::optional<Action> a = action_of(p);
  if (!a) return false;
  switch (*a) {
    case Action::double_click:
    case Action::right_click:
    case Action::check:
    case Action::uncheck:
    case Action::clear:
    case Action::upload:
    case Action::scroll_to: break;
    default: return false;
  }
  auto h = _locate(el);
  if (!h) throw _Gone{};
  auto bound = _action_timeout(deadline);
  std::string through;
  try {
    switch (*a) {
      case Action::double_click:
      case Action::right_click: {
        // Reached as a person reaches it: through what stands at its place.
        auto target = h;
        if (auto other = _stand_in(*h, through)) target = std::move(other);
        if (*a == Action::double_click)
          _call_watching_dialog(target->guid(), "dblclick", json::object(), deadline);
        else
          _call_watching_dialog(target->guid(), "click", {{"button", "right"}}, deadline);
        r.outcome = (*a == Action::double_click ? "double-clicked " : "right-clicked ") +
                    describe_element(*el) + (through.empty() ? "" : " through " + through);
        return true;
      }
      case Action::check:
      case Action::uncheck: _check_box(p, el, *h, r, deadline); return true;
      case Action::clear: {
        const bool native = (el->tag == "input" || el->tag == "textarea") &&
                            !el->is_editable_field.value_or(false);
        if (native) {
          h->fill("");
        } else {
          h->click();
          auto page = keeper_.get_page();
          page->keyboard().press("ControlOrMeta+A");
          page->keyboard().press("Delete");
        }
        r.outcome = "cleared " + describe_element(*el);
        return true;
      }
      case Action::upload: {
        const std::string written = p.value.value_or("");
        fs::path file(written);
        if (file.is_relative()) file = fs::path(source_path_).parent_path() / file;
        std::error_code ec;
        fs::path absolute = fs::weakly_canonical(fs::absolute(file, ec), ec);
        if (ec || !fs::is_regular_file(absolute))
          throw StepFailure{"no file to upload: " + _q(written) + " names " + _q(absolute.string()) +
                                ", which does not exist (a relative path is taken from the step "
                                "file's folder)",
                            {}};
        auto field = h->evaluate_element(_FILE_FIELD);
        if (!field)
          throw StepFailure{describe_element(*el) + " is no file field, and none belongs to it", {}};
        field->set_input_files({absolute.string()});
        r.outcome = "uploaded " + _q(absolute.filename().string()) + " to " + describe_element(*el);
        return true;
      }
      case Action::scroll_to:
        h->scroll_into_view_if_needed();
        r.outcome = "scrolled to " + describe_element(*el);
        return true;
      default: return false;
    }
  } catch (const pw::ConnectionError&) {
    throw;
  } catch (const pw::Error& e) {
    throw StepFailure{"could not " + std::string(action_name(*a)) + " " + describe_element(*el) +
                          ": " + first_line(e.what()),
                      {}};
  }
}

void StepRunner::_check_box(const ParsedInstruction& p, const ElementRef& el, pw::ElementHandle& h,
                            StepReport& r, Clock::time_point deadline) {
  const bool want = is_action(p, Action::check);
  auto state = [&]() {
    json s = h.evaluate(_BOX_STATE);
    if (s.is_null())
      throw StepFailure{describe_element(*el) + " is no checkbox or radio button, so it cannot be " +
                            (want ? "checked" : "unchecked"),
                        {}};
    return s;
  };
  json now = state();
  // A box already as asked is left alone: the step only says how it ends.
  if (now.value("checked", false) == want) {
    r.outcome = describe_element(*el) + (want ? " was checked already" : " was unchecked already");
    return;
  }
  if (!want && now.value("radio", false))
    throw StepFailure{"cannot uncheck the radio button " + describe_element(*el) +
                          ": a radio button is unchecked by checking another of its group",
                      {}};
  std::string through;
  std::shared_ptr<pw::ElementHandle> target = _stand_in(h, through);
  _call_watching_dialog(target ? target->guid() : h.guid(), "click", json::object(), deadline);
  for (;;) {
    if (state().value("checked", false) == want) break;
    int left = remaining_ms(deadline);
    if (left <= 0)
      throw StepFailure{"clicked " + describe_element(*el) + ", but it is still " +
                            (want ? "unchecked" : "checked"),
                        {}};
    _pause(std::min(left, 50));
  }
  r.outcome = (want ? "checked " : "unchecked ") + describe_element(*el) +
              (through.empty() ? "" : " through " + through);
}

void StepRunner::_drag(const ParsedInstruction& p, const std::string& step, StepReport& r,
                       Clock::time_point deadline) {
  // Where it goes reads like the target of a click: "the Done column".
  ParsedInstruction to;
  try {
    to = reader_.parse("click " + p.value.value_or(""));
  } catch (const std::invalid_argument& e) {
    throw StepFailure{"cannot read where to drag to: " + std::string(e.what()), {}};
  }
  to.action = std::string(action_name(Action::drag));
  for (;;) {
    RoutedResult from = _resolve_waiting(p, step, deadline);
    const ElementRef source = from.result.element;
    RoutedResult at = _resolve_waiting(to, "drag " + p.value.value_or(""), deadline);
    const ElementRef place = at.result.element;
    evidence_.outline = source;
    if (before_act) before_act(source);
    auto h = _locate(source);
    auto d = _locate(place);
    if (!h || !d) {
      if (remaining_ms(deadline) <= 0)
        throw StepFailure{describe_element(*(h ? place : source)) + " left the page before the drag", {}};
      continue;
    }
    auto bound = _action_timeout(deadline);
    try {
      // As a hand drags: press on the element, move over in steps, let go.
      auto page = keeper_.get_page();
      h->hover();
      page->mouse().down();
      d->scroll_into_view_if_needed();
      if (auto box = d->bounding_box())
        page->mouse().move(box->x + box->width / 2, box->y + box->height / 2, 10);
      d->hover();
      page->mouse().up();
    } catch (const pw::ConnectionError&) {
      throw;
    } catch (const pw::Error& e) {
      try {
        keeper_.get_page()->mouse().up();
      } catch (const pw::Error&) {
      }
      throw StepFailure{"could not drag " + describe_element(*source) + " to " +
                            describe_element(*place) + ": " + first_line(e.what()),
                        {}};
    }
    r.outcome = "dragged " + describe_element(*source) + " to " + describe_element(*place);
    return;
  }
}

// ---- shared steps ----------------------------------------------------------------

void StepRunner::_run_steps(const ParsedInstruction& p, StepReport& r) {
  const std::string written = p.target.value_or("");
  fs::path path(written);
  if (path.is_relative()) path = fs::path(source_path_).parent_path() / path;
  std::error_code ec;
  const std::string canonical = fs::weakly_canonical(fs::absolute(path, ec), ec).string();
  if (std::find(running_.begin(), running_.end(), canonical) != running_.end())
    throw StepFailure{"run " + written + " runs a file already running: the steps would never end",
                      {}};
  StepFile file;
  try {
    file = read_step_file(path.string());
  } catch (const std::invalid_argument& e) {
    throw StepFailure{e.what(), {}};
  }
  if (file.steps.empty()) throw StepFailure{path.string() + ": no steps to run", {}};

  if (on_run_started) on_run_started(r);
  const std::string saved_path = source_path_, saved_label = source_label_;
  source_path_ = path.string();
  source_label_ = written;
  running_.push_back(canonical);
  ++depth_;
  std::optional<std::string> failed;
  for (size_t i = 0; i < file.steps.size(); ++i) {
    const StepLine& line = file.steps[i];
    StepReport n;
    if (failed) {
      n.number = static_cast<int>(i + 1);
      n.line = line.line;
      n.text = line.text;
      n.depth = depth_;
      n.where = source_label_ + ":" + std::to_string(line.line);
      n.status = StepStatus::skip;
      _mask(n);
    } else {
      try {
        n = run(static_cast<int>(i + 1), line.line, line.text);
      } catch (...) {
        --depth_;
        running_.pop_back();
        source_path_ = saved_path;
        source_label_ = saved_label;
        throw;
      }
      if (n.status == StepStatus::fail)
        failed = n.where + " failed: " + n.text + (n.details.empty() ? "" : ": " + n.details.front());
    }
    if (on_nested_done) on_nested_done(n);
    r.nested.push_back(std::move(n));
  }
  --depth_;
  running_.pop_back();
  source_path_ = saved_path;
  source_label_ = saved_label;
  if (failed) throw StepFailure{*failed, {}};
  r.outcome = "ran " + std::to_string(file.steps.size()) + " steps of " + written;
}

}  // namespace plainstep::host
