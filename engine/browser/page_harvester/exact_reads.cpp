// The exact reader: every question is one driver call on the element.
#include <cstdio>

#include "driver/element_handle.hpp"
#include "exact_reads.hpp"
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
  return j.get<std::string>();
}

class _ExactElement : public ElementReads {
 public:
  explicit _ExactElement(std::shared_ptr<pw::ElementHandle> h, bool release = true)
      : guard_{std::move(h), release} {}
  bool is_visible() override { return h().is_visible(); }
  bool is_enabled() override { return h().is_enabled(); }
  std::string tag_name() override { return h().evaluate(_TAG_NAME_JS).get<std::string>(); }
  std::string inner_text() override { return h().inner_text(); }
  std::optional<std::string> attribute(const std::string& name) override {
    return h().get_attribute(name);
  }
  std::optional<Box> bounding_box() override {
    auto r = h().bounding_box();
    if (!r) return std::nullopt;
    return Box{r->x, r->y, r->width, r->height};
  }
  DataAttributes data_attributes() override {
    DataAttributes out;
    json m = h().evaluate(_DATA_ATTRIBUTES_JS);
    for (auto it = m.begin(); it != m.end(); ++it) out.emplace_back(it.key(), it.value().get<std::string>());
    return out;
  }
  std::string xpath() override { return h().evaluate(_XPATH_JS).get<std::string>(); }
  bool has_direct_text() override { return h().evaluate(_DIRECT_TEXT_JS).get<bool>(); }
  std::optional<std::string> preceding_sibling_text() override {
    return _string_or_null(h().evaluate(_PRECEDING_SIBLING_JS));
  }
  std::optional<std::string> parent_children_text() override {
    return _string_or_null(h().evaluate(_PARENT_CHILDREN_JS));
  }

 private:
  pw::ElementHandle& h() { return *guard_.handle; }
  _HandleGuard guard_;
};

class _ExactPage : public PageReads {
 public:
  explicit _ExactPage(std::shared_ptr<pw::Page> page) : page_(std::move(page)) {}

  ElementList query_all(const std::string& selector) override {
    auto handles = page_->query_selector_all(selector);
    ElementList out;
    out.reserve(handles.size());
    for (auto& h : handles) out.push_back(std::make_unique<_ExactElement>(std::move(h)));
    return out;
  }
  std::optional<std::string> text_of_id(const std::string& id) override {
    return _first_text("#" + css_identifier(id));
  }
  std::optional<std::string> text_of_label_for(const std::string& id) override {
    return _first_text("label[for=" + css_string(id) + "]");
  }
  json pointer_items() override { return page_->evaluate(_CURSOR_POINTER_JS); }
  std::string url() override { return page_->url(); }

 private:
  std::optional<std::string> _first_text(const std::string& selector) {
    _HandleGuard found{page_->query_selector(selector)};
    if (!found.handle) return std::nullopt;
    return found.handle->inner_text();
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
