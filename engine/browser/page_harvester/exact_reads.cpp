// The exact reader: every question is one driver call on the element.
#include <chrono>
#include <cstdio>
#include <thread>

#include "driver/batch.hpp"
#include "driver/element_handle.hpp"
#include "driver/frame.hpp"
#include "exact_reads.hpp"
#include "page_harvester.hpp"
#include "scripts.hpp"
#include "text/text.hpp"

namespace plainstep::harvest {

namespace {

std::string _hex_escape(char32_t c) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "\\%x ", static_cast<unsigned>(c));
  return buf;
}

// Releases the driver's handle when the reader is done with the element.
struct _HandleGuard {
  std::shared_ptr<pw::ElementHandle> handle;
  bool release = true;
  ~_HandleGuard() {
    if (!handle || !release) return;
    try {
      handle->dispose();
    } catch (...) {
      // Gone already (navigation) or driver stopped: nothing left to release.
    }
  }
};

std::optional<std::string> _string_or_null(const json& j) {
  if (j.is_null()) return std::nullopt;
  if (!j.is_string()) throw ReadFailure("the page answered " + j.dump() + " where a text or null belongs");
  return j.get<std::string>();
}

// A page-world script's answer of the expected kind; any other answer (a
// page that bent the script's tools) is an inspection failure.
std::string _string(const json& j, const char* what) {
  if (!j.is_string()) throw ReadFailure(std::string("the page answered ") + j.dump() + " for " + what);
  return j.get<std::string>();
}

bool _bool(const json& j, const char* what) {
  if (!j.is_boolean()) throw ReadFailure(std::string("the page answered ") + j.dump() + " for " + what);
  return j.get<bool>();
}

LabelTexts _label_texts(const json& j) {
  if (!j.is_object()) throw ReadFailure("the page answered " + j.dump() + " for a field's label sources");
  LabelTexts out;
  if (j.contains("by") && j["by"].is_array())
    for (const auto& t : j["by"])
      if (t.is_string()) out.labelled_by.push_back(t.get<std::string>());
  auto text = [&](const char* key) { return j.contains(key) ? _string_or_null(j[key]) : std::nullopt; };
  out.label_for = text("f");
  out.wrapping = text("w");
  out.beside = text("s");
  out.following = text("n");
  return out;
}

// The reads the rules of a group will ask of each of its elements, sent
// together as one batch of individual driver calls. Reads a rule turns out
// not to need cost nothing but their answer; a read not in the plan is
// asked when the rule asks.
struct _Plan {
  bool visible = false, enabled = false, tag = false, text = false, box = false, data = false,
       xpath = false, direct = false, icon = false;
  std::vector<std::string> attributes;
};

_Plan _plan_for(const std::string& selector) {
  std::vector<std::string> captured(CAPTURED_ATTRIBUTES.begin(), CAPTURED_ATTRIBUTES.end());
  if (selector == INTERACTABLE_SELECTOR)
    return {true, true, true, true, true, true, true, false, true, captured};
  if (selector == _CUSTOM_INPUT_SELECTOR)
    return {true, false, true, true, true, false, true, false, false, captured};
  if (selector == _LABEL_CANDIDATE_SELECTOR) return {true, false, false, true, true, false, false, false, false, {}};
  if (selector == TEXT_CANDIDATE_SELECTOR)
    return {true, false, true, true, true, true, true, true, false, {"id", "class", "href", "aria-label"}};
  return {};
}

class _ExactElement : public ElementReads {
 public:
  explicit _ExactElement(std::shared_ptr<pw::ElementHandle> h, bool release = true)
      : guard_{std::move(h), release} {}

  void queue(pw::Batch& batch, const _Plan& plan) {
    pw::ElementHandle& e = h();
    if (plan.visible) visible_.emplace(batch.is_visible(e));
    if (plan.enabled) enabled_.emplace(batch.is_enabled(e));
    if (plan.tag) tag_.emplace(batch.evaluate(e, _TAG_NAME_JS));
    if (plan.text) text_.emplace(batch.inner_text(e));
    if (plan.box) box_.emplace(batch.bounding_box(e));
    if (plan.data) data_.emplace(batch.evaluate(e, _DATA_ATTRIBUTES_JS));
    if (plan.xpath) xpath_.emplace(batch.evaluate(e, _XPATH_JS));
    if (plan.direct) direct_.emplace(batch.evaluate(e, _DIRECT_TEXT_JS));
    if (plan.icon) icon_.emplace(batch.evaluate(e, ICON_NAME_JS, INTERACTABLE_SELECTOR));
    for (const auto& name : plan.attributes) attributes_.emplace_back(name, batch.get_attribute(e, name));
  }

  bool is_visible() override { return visible_ ? visible_->get() : h().is_visible(); }
  bool is_enabled() override { return enabled_ ? enabled_->get() : h().is_enabled(); }
  std::string tag_name() override { return _string(tag_ ? tag_->get() : h().evaluate(_TAG_NAME_JS), "a tag name"); }
  std::string inner_text() override { return text_ ? text_->get() : h().inner_text(); }
  std::optional<std::string> attribute(const std::string& name) override {
    for (auto& [n, pending] : attributes_)
      if (n == name) return pending.get();
    return h().get_attribute(name);
  }
  std::optional<Box> bounding_box() override {
    auto r = box_ ? box_->get() : h().bounding_box();
    if (!r) return std::nullopt;
    return Box{r->x, r->y, r->width, r->height};
  }
  DataAttributes data_attributes() override {
    DataAttributes out;
    json m = data_ ? data_->get() : h().evaluate(_DATA_ATTRIBUTES_JS);
    if (!m.is_object()) throw ReadFailure("the page answered " + m.dump() + " for the data attributes");
    for (auto it = m.begin(); it != m.end(); ++it) out.emplace_back(it.key(), _string(it.value(), "a data attribute"));
    return out;
  }
  std::string xpath() override {
    json p = xpath_ ? xpath_->get() : h().evaluate(_XPATH_JS);
    if (!p.is_string()) throw ReadFailure("the element's name makes no path step");
    return p.get<std::string>();
  }
  bool has_direct_text() override {
    return _bool(direct_ ? direct_->get() : h().evaluate(_DIRECT_TEXT_JS), "the direct-text test");
  }
  bool is_phrase() override { return _bool(h().evaluate(PHRASE_JS), "the phrase test"); }
  LabelTexts label_texts() override { return _label_texts(h().evaluate(LABEL_TEXTS_JS)); }
  std::optional<std::string> preceding_sibling_text() override {
    return _string_or_null(h().evaluate(_PRECEDING_SIBLING_JS));
  }
  std::optional<std::string> parent_children_text() override {
    return _string_or_null(h().evaluate(_PARENT_CHILDREN_JS));
  }
  std::optional<std::string> icon_name() override {
    return _string_or_null(icon_ ? icon_->get() : h().evaluate(ICON_NAME_JS, INTERACTABLE_SELECTOR));
  }

 private:
  pw::ElementHandle& h() { return *guard_.handle; }
  _HandleGuard guard_;
  std::optional<pw::Pending<bool>> visible_, enabled_;
  std::optional<pw::Pending<json>> tag_, data_, xpath_, direct_, icon_;
  std::optional<pw::Pending<std::string>> text_;
  std::optional<pw::Pending<std::optional<pw::Rect>>> box_;
  std::vector<std::pair<std::string, pw::Pending<std::optional<std::string>>>> attributes_;
};

// Frames inside frames are read this deep, no deeper.
constexpr int max_frame_depth = 8;

class _ExactPage : public PageReads {
 public:
  explicit _ExactPage(std::shared_ptr<pw::Page> page) : page_(std::move(page)) {}

  ElementList query_all(const std::string& selector) override {
    std::vector<std::shared_ptr<pw::ElementHandle>> handles;
    across_navigation([&] {
      handles = _query(*page_->main_frame(), selector, 0);
      return json();
    });
    ElementList out;
    out.reserve(handles.size());
    _Plan plan = _plan_for(selector);
    pw::Batch batch(*page_);
    for (auto& h : handles) {
      auto el = std::make_unique<_ExactElement>(std::move(h));
      el->queue(batch, plan);
      out.push_back(std::move(el));
    }
    batch.wait();
    return out;
  }
  std::vector<PointerItem> pointer_items() override {
    return pointer_items_from(page_->evaluate(_CURSOR_POINTER_JS), page_->url());
  }
  std::string url() override { return page_->url(); }

 private:
  // The frame's elements matching the selector (through its open shadow
  // trees), each readable frame's own elements right after its frame
  // element. A frame that goes away meanwhile is left out.
  std::vector<std::shared_ptr<pw::ElementHandle>> _query(pw::Frame& frame, const std::string& selector, int depth) {
    auto found = frame.query_selector_all(selector);
    if (depth >= max_frame_depth) return found;
    std::vector<std::pair<size_t, std::vector<std::shared_ptr<pw::ElementHandle>>>> inserts;
    for (auto& frame_element : frame.query_selector_all("iframe, frame")) {
      _HandleGuard guard{frame_element};
      guarded([&] {
        json where = frame_element->evaluate(FRAME_POSITION_JS, selector);
        if (!where.is_object() || !where.value("read", false) || !where.contains("through") ||
            !where["through"].is_number_integer() || where["through"].get<long long>() < 0)
          return;
        auto inner = frame_element->content_frame();
        if (!inner) return;
        inserts.emplace_back(where["through"].get<size_t>(), _query(*inner, selector, depth + 1));
      });
    }
    if (inserts.empty()) return found;
    std::vector<std::shared_ptr<pw::ElementHandle>> out;
    size_t next = 0;
    for (auto& [through, elements] : inserts) {
      for (; next < through && next < found.size(); ++next) out.push_back(std::move(found[next]));
      for (auto& e : elements) out.push_back(std::move(e));
    }
    for (; next < found.size(); ++next) out.push_back(std::move(found[next]));
    return out;
  }

  std::shared_ptr<pw::Page> page_;
};

}  // namespace

std::unique_ptr<PageReads> exact_reads(std::shared_ptr<pw::Page> page) {
  return std::make_unique<_ExactPage>(std::move(page));
}

std::unique_ptr<ElementReads> exact_element(std::shared_ptr<pw::ElementHandle> handle, bool release) {
  return std::make_unique<_ExactElement>(std::move(handle), release);
}

namespace {
// The driver's word for a call whose document went away under it.
constexpr std::string_view _CONTEXT_DESTROYED = "Execution context was destroyed";
constexpr int _NAVIGATION_ATTEMPTS = 5;
// Before the second attempt; doubled before each further one (750 ms in all).
constexpr int _FIRST_PAUSE_MS = 50;
}  // namespace

json across_navigation(const std::function<json()>& call) {
  for (int attempt = 1;; ++attempt) {
    try {
      return call();
    } catch (const pw::ConnectionError&) {
      throw;
    } catch (const pw::TimeoutError&) {
      throw;
    } catch (const pw::Error& e) {
      // Until the new document has a context, a call fails at once as the
      // old one's did, so the next attempt waits a little longer each time;
      // only a page that keeps navigating runs out of attempts.
      if (attempt == _NAVIGATION_ATTEMPTS || std::string_view(e.what()).find(_CONTEXT_DESTROYED) ==
                                                     std::string_view::npos)
        throw;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(_FIRST_PAUSE_MS << (attempt - 1)));
  }
}

namespace {

std::string _field_text(const json& item, const char* key, size_t index, std::string_view url) {
  if (!item.contains(key) || !item[key].is_string())
    throw AnswerError(url, "has a pointer item " + std::to_string(index) + " without a text '" + key + "'");
  return item[key].get<std::string>();
}

double _field_number(const json& item, const char* key, size_t index, std::string_view url) {
  if (!item.contains(key) || !item[key].is_number())
    throw AnswerError(url, "has a pointer item " + std::to_string(index) + " without a number '" + key + "'");
  return item[key].get<double>();
}

}  // namespace

std::vector<PointerItem> pointer_items_from(const json& answer, std::string_view url) {
  std::vector<PointerItem> out;
  if (answer.is_null()) return out;
  if (!answer.is_array()) throw AnswerError(url, "gives pointer items that are no list");
  for (size_t i = 0; i < answer.size(); ++i) {
    const json& item = answer[i];
    if (!item.is_object()) throw AnswerError(url, "has a pointer item " + std::to_string(i) + " that is no object");
    out.push_back(PointerItem{_field_text(item, "tag", i, url), _field_text(item, "text", i, url),
                              _field_text(item, "xpath", i, url), _field_number(item, "x", i, url),
                              _field_number(item, "y", i, url), _field_number(item, "w", i, url),
                              _field_number(item, "h", i, url), _field_text(item, "cls", i, url),
                              _field_text(item, "aria", i, url)});
  }
  return out;
}

std::string css_identifier(std::string_view id) {
  std::u32string cps = text::to_u32(id);
  std::string out;
  for (size_t i = 0; i < cps.size(); ++i) {
    char32_t c = cps[i];
    bool digit = c >= '0' && c <= '9';
    if (c == 0) out += "\xEF\xBF\xBD";
    else if ((c >= 0x1 && c <= 0x1F) || c == 0x7F) out += _hex_escape(c);
    else if (digit && (i == 0 || (i == 1 && cps[0] == '-'))) out += _hex_escape(c);
    else if (i == 0 && c == '-' && cps.size() == 1) out += "\\-";
    else if (c >= 0x80 || c == '-' || c == '_' || digit || (c >= 'a' && c <= 'z') ||
             (c >= 'A' && c <= 'Z'))
      out += text::from_cp(c);
    else
      out += "\\" + text::from_cp(c);
  }
  return out;
}

std::string css_string(std::string_view s) {
  std::string out = "\"";
  for (char32_t c : text::to_u32(s)) {
    if (c == 0) out += "\xEF\xBF\xBD";
    else if ((c >= 0x1 && c <= 0x1F) || c == 0x7F) out += _hex_escape(c);
    else if (c == '"' || c == '\\') out += "\\" + text::from_cp(c);
    else out += text::from_cp(c);
  }
  return out + "\"";
}

}  // namespace plainstep::harvest
