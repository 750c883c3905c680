#include "rules.hpp"

#include <limits>
#include <unordered_set>

#include "text/text.hpp"

namespace plainstep {

// summary opens its details section: a person clicks its words.
const std::array<const char*, 6> _NATIVE_TAGS = {"button", "input", "a", "select", "textarea", "summary"};
const std::array<const char*, 13> _ARIA_ROLES = {
    "button", "link",     "textbox",    "checkbox",   "menuitem", "menuitemcheckbox", "menuitemradio",
    "option", "combobox", "searchbox",  "spinbutton", "switch",   "tab"};
const std::array<const char*, 13> CAPTURED_ATTRIBUTES = {
    "id",   "name", "type",  "placeholder", "aria-label", "aria-labelledby", "title",
    "role", "href", "value", "class",       "data-testid", "alt"};
const std::array<const char*, 15> _TEXT_TAGS = {"h1", "h2", "h3", "h4",    "h5", "h6", "p",     "span",
                                                "label", "li", "td", "th", "a",  "button", "div"};
// Scripts, styles and templates hold code or markup; the head and title
// are the document's metadata; a textarea's text is its value (read as a
// descriptor's); options and option groups are the choices of a list that
// is closed on the page.
const std::array<const char*, 9> NEVER_TEXT_TAGS = {"script", "style",    "noscript", "template", "head",
                                                     "title",  "textarea", "option",   "optgroup"};

namespace {
std::string _interactable_selector() {
  std::vector<std::string> parts(_NATIVE_TAGS.begin(), _NATIVE_TAGS.end());
  for (const char* role : _ARIA_ROLES) parts.push_back(std::string("[role=\"") + role + "\"]");
  for (const char* s : {"img[alt]", "img[data-testid]", "[data-testid]"}) parts.emplace_back(s);
  return text::join(parts, ", ");
}
}  // namespace

const std::string INTERACTABLE_SELECTOR = _interactable_selector();
const std::string TEXT_SELECTOR =
    text::join(std::vector<std::string>(_TEXT_TAGS.begin(), _TEXT_TAGS.end()), ", ");
// Every element, written as a list: the driver lists a selector list in
// document order through shadow trees, a lone "*" its shadow trees last.
const std::string TEXT_CANDIDATE_SELECTOR = TEXT_SELECTOR + ", *";
const std::string _LABEL_CANDIDATE_SELECTOR = "h1, h2, h3, h4, h5, h6, label, div, span, p";
const std::string _CUSTOM_INPUT_SELECTOR =
    "span[class*='editable'], div[class*='editable'], span[class*='input'], div[class*='input']";

bool _is_custom_input(std::string_view tag, std::string_view classes) {
  if (tag == "input" || tag == "textarea" || tag == "select") return false;
  std::string lowered = text::lower(classes);
  return text::contains(lowered, "editable") || text::contains(lowered, "input");
}

namespace harvest {
namespace {

constexpr size_t _LABEL_CANDIDATE_MAX_CHARS = 60;
constexpr double _LABEL_CANDIDATE_MAX_HEIGHT = 40;

bool _positive(const std::optional<Box>& bb) { return bb && bb->width > 0 && bb->height > 0; }

void _captured_attributes(ElementReads& el, AttributeMap& map) {
  for (const char* name : CAPTURED_ATTRIBUTES)
    if (auto v = el.attribute(name)) map.set(name, std::move(*v));
}

void _merge_data_attributes(ElementReads& el, AttributeMap& map) {
  for (auto& [name, value] : el.data_attributes()) map.set(name, std::move(value));
}

// One native or role element; false when it is skipped.
bool _native_element(ElementReads& el, Element& out) {
  bool visible = el.is_visible();
  bool enabled = el.is_enabled();
  std::string tag = el.tag_name();
  std::string txt = text::trim(el.inner_text());
  if (txt.empty()) txt = text::trim(el.attribute("value").value_or(""));
  std::optional<Box> bb = el.bounding_box();
  if (!_positive(bb)) return false;
  if (!visible && el.attribute("aria-label").value_or("").empty() &&
      el.attribute("title").value_or("").empty())
    return false;
  AttributeMap attrs;
  _captured_attributes(el, attrs);
  _merge_data_attributes(el, attrs);
  std::string xpath = el.xpath();
  if (tag == "input" || tag == "textarea" || tag == "select") {
    std::string label = field_label(el);
    if (!label.empty()) attrs.set("_label", std::move(label));
  }
  // A control that shows only an icon is named by the icon, as a person
  // names it; a failed read only leaves it unnamed.
  std::optional<std::string> icon;
  guarded([&] { icon = el.icon_name(); });
  if (icon && !icon->empty()) attrs.set("_icon", std::move(*icon));
  out = Element{tag, txt, std::nullopt, std::move(attrs), bb, visible, enabled, std::nullopt, xpath};
  return true;
}

std::string _trimmed(const std::optional<std::string>& s) { return s ? text::trim(*s) : std::string(); }

bool _one_of(std::string_view tag, const auto& tags) {
  for (const char* t : tags)
    if (tag == t) return true;
  return false;
}

}  // namespace

std::string field_label(ElementReads& el) {
  LabelTexts found;
  guarded([&] { found = el.label_texts(); });
  std::vector<std::string> by;
  for (const auto& t : found.labelled_by)
    if (std::string s = text::trim(t); !s.empty()) by.push_back(std::move(s));
  if (!by.empty()) return text::join(by, " ");
  if (auto s = text::trim(el.attribute("aria-label").value_or("")); !s.empty()) return s;
  for (const auto* source : {&found.label_for, &found.wrapping, &found.following, &found.beside})
    if (auto s = _trimmed(*source); !s.empty()) return s;
  if (auto s = text::trim(el.attribute("placeholder").value_or("")); !s.empty()) return s;
  if (auto s = text::trim(el.attribute("title").value_or("")); !s.empty()) return s;
  std::string s;
  guarded([&] { s = _trimmed(el.preceding_sibling_text()); });
  if (!s.empty()) return s;
  guarded([&] { s = _trimmed(el.parent_children_text()); });
  return s;
}

Elements native_elements(PageReads& page) {
  Elements out;
  for (auto& el : page.query_all(INTERACTABLE_SELECTOR)) {
    Element e;
    bool kept = false;
    guarded([&] { kept = _native_element(*el, e); });
    if (kept) out.push_back(make_element(std::move(e)));
  }
  return out;
}

Elements custom_inputs(PageReads& page) {
  Elements out;
  std::unordered_set<std::string> seen;
  for (auto& el : page.query_all(_CUSTOM_INPUT_SELECTOR)) {
    guarded([&] {
      std::string tag = el->tag_name();
      if (!_is_custom_input(tag, el->attribute("class").value_or(""))) return;
      std::optional<Box> bb = el->bounding_box();
      if (!_positive(bb) || !el->is_visible()) return;
      std::string xpath = el->xpath();
      if (!seen.insert(xpath).second) return;
      std::string txt = text::trim(el->inner_text());
      std::string label = field_label(*el);
      AttributeMap attrs;
      _captured_attributes(*el, attrs);
      if (!label.empty()) attrs.set("_label", std::move(label));
      out.push_back(make_element(
          Element{tag, txt, std::nullopt, std::move(attrs), bb, true, true, true, xpath}));
    });
  }
  return out;
}

Elements pointer_elements(PageReads& page) {
  std::vector<PointerItem> items;
  try {
    items = page.pointer_items();
  } catch (const pw::ConnectionError&) {
    throw;
  } catch (const pw::Error&) {
    return {};  // a refused evaluation (navigation, script error) is an empty group
  } catch (const ReadFailure&) {
    return {};
  }
  Elements out;
  std::unordered_set<std::string> seen;
  for (auto& item : items) {
    if (!seen.insert(item.xpath).second) continue;
    AttributeMap attrs;
    if (!item.cls.empty()) attrs.set("class", item.cls);
    if (!item.aria.empty()) attrs.set("aria-label", item.aria);
    Box bb{item.x, item.y, item.w, item.h};
    out.push_back(make_element(Element{"button", std::move(item.text), std::nullopt, std::move(attrs), bb, true,
                                       true, std::nullopt, item.xpath}));
  }
  return out;
}

std::vector<LabelCandidate> label_candidates(PageReads& page) {
  std::vector<LabelCandidate> out;
  std::unordered_set<std::string> seen;
  for (auto& el : page.query_all(_LABEL_CANDIDATE_SELECTOR)) {
    guarded([&] {
      if (!el->is_visible()) return;
      std::string txt = text::trim(el->inner_text());
      std::optional<Box> bb = el->bounding_box();
      if (txt.empty() || !bb) return;
      if (text::length(txt) > _LABEL_CANDIDATE_MAX_CHARS || bb->height > _LABEL_CANDIDATE_MAX_HEIGHT)
        return;
      if (!seen.insert(txt).second) return;
      out.push_back({txt, *bb});
    });
  }
  return out;
}

Elements text_candidates(PageReads& page) {
  Elements out;
  for (auto& el : page.query_all(TEXT_CANDIDATE_SELECTOR)) {
    guarded([&] {
      if (!el->is_visible()) return;
      std::string tag = el->tag_name();
      if (_one_of(tag, NEVER_TEXT_TAGS)) return;
      bool direct = el->has_direct_text();
      if (!direct && !_one_of(tag, _TEXT_TAGS)) return;
      std::string txt = text::trim(el->inner_text());
      if (txt.empty()) return;
      std::optional<Box> bb = el->bounding_box();
      if (!bb) return;
      std::string xpath = el->xpath();
      AttributeMap attrs;
      for (const char* name : {"id", "class", "href", "aria-label"})
        if (auto v = el->attribute(name)) attrs.set(name, std::move(*v));
      _merge_data_attributes(*el, attrs);
      // An inline phrase shows its whole text as its own: it survives the
      // wrapper elimination like an element with a text node of its own.
      bool own = direct || el->is_phrase();
      out.push_back(make_element(
          Element{tag, txt, own, std::move(attrs), bb, true, true, std::nullopt, xpath}));
    });
  }
  return out;
}

std::string url_slug(std::string_view url) {
  std::string s = text::replace_all(text::replace_all(url, "://", "_"), "/", "_");
  return text::substr(s, 0, 60);
}

}  // namespace harvest
}  // namespace plainstep
