// The fast reader: one page evaluation gathers, for every element of the
// requested groups, the answers the rules may ask for; the rules then read
// them here as they would read them from the driver. The answer's format:
// answer_format.md, beside this file.
#include <map>
#include <stdexcept>

#include "driver/isolated_world.hpp"
#include "exact_reads.hpp"
#include "page_harvester.hpp"
#include "scripts.hpp"

namespace plainstep::harvest {

namespace {

// Raised when a rule asks what the gathering did not collect: a fault of
// the fast reader, never a property of the page, so no guard swallows it.
[[noreturn]] void _not_gathered(const char* what, const std::string& xpath) {
  throw std::logic_error(std::string("fast extraction did not gather ") + what + " of " + xpath);
}

// What the gathering answered for one element. It answers only what the
// rules of the element's groups will ask; a read of anything else is a
// fault of the fast reader and says so.
struct _Node {
  bool has_visible = false, visible = false;
  std::optional<std::string> tag;
  std::optional<bool> direct, enabled, phrase;
  bool has_text = false;
  std::optional<std::string> text;  // nullopt with has_text: not an HTML element
  bool has_box = false;
  std::optional<Box> box;
  bool has_attributes = false;
  std::vector<std::pair<std::string, std::string>> attributes;
  bool has_xpath = false;
  std::optional<std::string> xpath;  // nullopt with has_xpath: no valid path
  bool has_labels = false;
  LabelTexts labels;
  std::optional<std::string> preceding, parent;
  bool has_icon = false;
  std::optional<std::string> icon;
};

// The answer did not have the agreed shape: what was wrong, for the
// message that names the page.
struct BadShape {
  std::string what;
};

// A path sent as the number of steps it shares with the path sent before
// and the rest.
std::string _path_after(const std::string& before, size_t steps, const std::string& rest) {
  size_t cut = 0, seen = 0;
  for (; cut < before.size(); ++cut)
    if (before[cut] == '/' && seen++ == steps) break;
  return before.substr(0, cut) + rest;
}


// Reads the records line event by event straight into nodes, checking
// every key and the kind of its value on the way.
class _NodeReader : public nlohmann::json_sax<json> {
 public:
  explicit _NodeReader(std::vector<_Node>& nodes) : nodes_(nodes) {}

  bool null() override {
    if (depth_ == 2) return _scalar_null();
    return _bad("null");
  }
  bool boolean(bool v) override {
    if (depth_ != 2) return _bad("true or false");
    if (key_ == "v") {
      node_.has_visible = true;
      node_.visible = v;
    } else if (key_ == "d") {
      node_.direct = v;
    } else if (key_ == "e") {
      node_.enabled = v;
    } else if (key_ == "p") {
      node_.phrase = v;
    } else {
      return _bad("true or false");
    }
    return true;
  }
  bool number_integer(number_integer_t v) override { return _number(static_cast<double>(v)); }
  bool number_unsigned(number_unsigned_t v) override { return _number(static_cast<double>(v)); }
  bool number_float(number_float_t v, const string_t&) override { return _number(v); }
  bool string(string_t& v) override {
    if (depth_ == 4 && array_ == ListKind::attribute) {
      if (pair_ == 0) attribute_.first = std::move(v);
      else if (pair_ == 1) attribute_.second = std::move(v);
      else return _bad("an attribute of three parts");
      ++pair_;
      return true;
    }
    if (depth_ == 3 && array_ == ListKind::path) {
      if (numbers_.size() != 1 || node_.has_xpath) return _bad("a path that is not [steps, rest]");
      node_.has_xpath = true;
      path_ = _path_after(path_, static_cast<size_t>(numbers_[0]), v);
      node_.xpath = path_;
      return true;
    }
    if (depth_ == 3 && array_ == ListKind::labelled_by) {
      node_.labels.labelled_by.push_back(std::move(v));
      return true;
    }
    if (depth_ != 2) return _bad("a string");
    if (key_ == "t") {
      node_.tag = std::move(v);
    } else if (key_ == "i") {
      node_.has_text = true;
      node_.text = std::move(v);
    } else if (key_ == "ic") {
      node_.has_icon = true;
      node_.icon = std::move(v);
    } else if (auto* slot = _label_slot()) {
      node_.has_labels = true;
      *slot = std::move(v);
    } else {
      return _bad("a string");
    }
    return true;
  }
  bool binary(binary_t&) override { return _bad("binary data"); }
  bool start_object(std::size_t) override {
    if (depth_ != 1) return _bad("an object");
    node_ = _Node();
    depth_ = 2;
    return true;
  }
  bool key(string_t& k) override {
    key_ = std::move(k);
    return true;
  }
  bool end_object() override {
    if (!node_.has_visible) return _bad_record("has no visibility");
    nodes_.push_back(std::move(node_));
    depth_ = 1;
    return true;
  }
  bool start_array(std::size_t) override {
    if (depth_ == 0) {
      depth_ = 1;
      return true;
    }
    if (depth_ == 3 && array_ == ListKind::attributes) {
      depth_ = 4;
      array_ = ListKind::attribute;
      pair_ = 0;
      return true;
    }
    if (depth_ != 2) return _bad("a list");
    numbers_.clear();
    if (key_ == "b") array_ = ListKind::box;
    else if (key_ == "x") array_ = ListKind::path;
    else if (key_ == "a") array_ = ListKind::attributes, node_.has_attributes = true;
    else if (key_ == "lb") array_ = ListKind::labelled_by, node_.has_labels = true;
    else return _bad("a list");
    depth_ = 3;
    return true;
  }
  bool end_array() override {
    if (depth_ == 4) {
      if (pair_ != 2) return _bad_record("has an attribute without a value");
      node_.attributes.push_back(std::move(attribute_));
      array_ = ListKind::attributes;
    } else if (depth_ == 3 && array_ == ListKind::box) {
      if (numbers_.size() != 4)
        return _bad_record("has a box of " + std::to_string(numbers_.size()) + " numbers");
      node_.has_box = true;
      node_.box = Box{numbers_[0], numbers_[1], numbers_[2], numbers_[3]};
    } else if (depth_ == 3 && array_ == ListKind::path && !node_.has_xpath) {
      return _bad_record("has a path without its steps");
    } else if (depth_ == 1) {
      depth_ = 0;
      return true;
    }
    if (depth_ == 3) array_ = ListKind::none;
    --depth_;
    return true;
  }
  bool parse_error(std::size_t at, const std::string&, const nlohmann::detail::exception&) override {
    throw BadShape{"is not JSON at byte " + std::to_string(at) + " of its records"};
  }

 private:
  enum class ListKind { none, box, path, attributes, attribute, labelled_by };

  bool _number(double v) {
    if (depth_ != 3 || (array_ != ListKind::box && array_ != ListKind::path)) return _bad("a number");
    numbers_.push_back(v);
    return true;
  }
  bool _scalar_null() {
    if (key_ == "i") {
      node_.has_text = true;
    } else if (key_ == "b") {
      node_.has_box = true;
    } else if (key_ == "x") {
      node_.has_xpath = true;
    } else if (key_ == "ic") {
      node_.has_icon = true;
    } else if (_label_slot()) {
      node_.has_labels = true;
    } else {
      return _bad("null");
    }
    return true;
  }
  std::optional<std::string>* _label_slot() {
    if (key_ == "lf") return &node_.labels.label_for;
    if (key_ == "lw") return &node_.labels.wrapping;
    if (key_ == "ls") return &node_.labels.beside;
    if (key_ == "ln") return &node_.labels.following;
    if (key_ == "ps") return &node_.preceding;
    if (key_ == "pc") return &node_.parent;
    return nullptr;
  }
  [[noreturn]] bool _bad(const std::string& what) {
    if (depth_ < 2) throw BadShape{"has " + what + " where its list of records belongs"};
    _bad_record("has " + what + " under '" + key_ + "'");
  }
  [[noreturn]] bool _bad_record(const std::string& what) {
    throw BadShape{"in record " + std::to_string(nodes_.size()) + " " + what};
  }

  std::vector<_Node>& nodes_;
  _Node node_;
  int depth_ = 0;  // 1: the list, 2: a record, 3: a box, path or list, 4: an attribute
  ListKind array_ = ListKind::none;
  std::string key_, path_;
  std::vector<double> numbers_;
  std::pair<std::string, std::string> attribute_;
  int pair_ = 0;
};

// The attributes the gathering collects: the captured ones and every data-
// attribute, all the rules ever read.
bool _gathered_attribute(const std::string& name) {
  if (name.starts_with("data-")) return true;
  for (const char* c : CAPTURED_ATTRIBUTES)
    if (name == c) return true;
  return false;
}

class _FastElement : public ElementReads {
 public:
  explicit _FastElement(const _Node& n) : n_(n) {}
  bool is_visible() override { return n_.visible; }
  bool is_enabled() override {
    if (!n_.enabled) _not_gathered("the enabled state", _where());
    return *n_.enabled;
  }
  std::string tag_name() override {
    if (!n_.tag) _not_gathered("the tag name", _where());
    return *n_.tag;
  }
  std::string inner_text() override {
    if (!n_.has_text) _not_gathered("the inner text", _where());
    if (!n_.text) throw ReadFailure("Node is not an HTMLElement");
    return *n_.text;
  }
  std::optional<std::string> attribute(const std::string& name) override {
    if (!n_.has_attributes || !_gathered_attribute(name)) _not_gathered(("the attribute " + name).c_str(), _where());
    for (const auto& [k, v] : n_.attributes)
      if (k == name) return v;
    return std::nullopt;
  }
  std::optional<Box> bounding_box() override {
    if (!n_.has_box) _not_gathered("the bounding box", _where());
    return n_.box;
  }
  DataAttributes data_attributes() override {
    if (!n_.has_attributes) _not_gathered("the data attributes", _where());
    DataAttributes out;
    for (const auto& a : n_.attributes)
      if (a.first.starts_with("data-")) out.push_back(a);
    return out;
  }
  std::string xpath() override {
    if (!n_.has_xpath) _not_gathered("the path", _where());
    if (!n_.xpath) throw ReadFailure("the element's name makes no path step");
    return *n_.xpath;
  }
  bool has_direct_text() override {
    if (!n_.direct) _not_gathered("the direct-text test", _where());
    return *n_.direct;
  }
  bool is_phrase() override {
    if (!n_.phrase) _not_gathered("the phrase test", _where());
    return *n_.phrase;
  }
  LabelTexts label_texts() override {
    if (!n_.has_labels) _not_gathered("the label sources", _where());
    return n_.labels;
  }
  std::optional<std::string> preceding_sibling_text() override {
    if (!n_.has_labels) _not_gathered("the sibling label", _where());
    return n_.preceding;
  }
  std::optional<std::string> parent_children_text() override {
    if (!n_.has_labels) _not_gathered("the parent label", _where());
    return n_.parent;
  }
  std::optional<std::string> icon_name() override {
    if (!n_.has_icon) _not_gathered("the icon name", _where());
    return n_.icon;
  }

 private:
  std::string _where() const {
    if (n_.xpath) return *n_.xpath;
    return n_.tag ? "a " + *n_.tag : "an element";
  }
  const _Node& n_;
};

// The gathering script knows each group by name: what it collects for an
// element depends on the groups the element is in.
std::string _group_name(const std::string& selector) {
  if (selector == INTERACTABLE_SELECTOR) return "interactable";
  if (selector == _CUSTOM_INPUT_SELECTOR) return "custom";
  if (selector == _LABEL_CANDIDATE_SELECTOR) return "label";
  if (selector == TEXT_CANDIDATE_SELECTOR) return "text";
  throw std::logic_error("fast extraction has no group for the selector " + selector);
}

template <size_t N>
std::vector<std::string> _names(const std::array<const char*, N>& table) {
  return std::vector<std::string>(table.begin(), table.end());
}

class _FastPage : public PageReads {
 public:
  // Reads the page's answer to the gathering of these groups; AnswerError
  // naming the page at `url` when it has another shape.
  _FastPage(std::shared_ptr<pw::Page> page, std::string url, const std::vector<std::string>& selectors,
            bool pointer, const json& answer)
      : page_(std::move(page)), url_(std::move(url)), pointer_(pointer) {
    try {
      _read(answer, selectors);
    } catch (const BadShape& bad) {
      throw AnswerError(url_, bad.what);
    }
  }

  ElementList query_all(const std::string& selector) override {
    auto it = groups_.find(selector);
    if (it == groups_.end())
      throw std::logic_error("fast extraction did not gather the group " + selector);
    ElementList out;
    out.reserve(it->second.size());
    for (size_t i : it->second) out.push_back(std::make_unique<_FastElement>(nodes_[i]));
    return out;
  }
  std::vector<PointerItem> pointer_items() override {
    if (!pointer_) throw std::logic_error("fast extraction did not gather the pointer items");
    if (!pointer_items_) throw ReadFailure("cursor-pointer script failed in the page");
    return *pointer_items_;
  }
  std::string url() override { return page_ ? page_->url() : url_; }

 private:
  void _read(const json& answer, const std::vector<std::string>& selectors) {
    if (!answer.is_string()) throw BadShape{"is not a string"};
    const std::string& text = answer.get_ref<const std::string&>();
    size_t line = text.find('\n');
    if (line == std::string::npos) throw BadShape{"has no second line"};
    _NodeReader reader(nodes_);
    json::sax_parse(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(line), &reader);
    json rest = json::parse(text.begin() + static_cast<std::ptrdiff_t>(line) + 1, text.end(), nullptr, false);
    if (rest.is_discarded() || !rest.is_object()) throw BadShape{"has a second line that is not a JSON object"};
    const json* got = rest.contains("groups") ? &rest["groups"] : nullptr;
    if (!got || !got->is_object()) throw BadShape{"has no groups"};
    for (const auto& sel : selectors) {
      std::string name = _group_name(sel);
      if (!got->contains(name) || !(*got)[name].is_array()) throw BadShape{"has no group '" + name + "'"};
      auto& members = groups_[sel];
      for (const auto& i : (*got)[name]) {
        if (!i.is_number_integer() || i.get<long long>() < 0 || i.get<unsigned long long>() >= nodes_.size())
          throw BadShape{"has a group '" + name + "' naming " + i.dump() + " of " + std::to_string(nodes_.size()) +
                       " records"};
        members.push_back(i.get<size_t>());
      }
    }
    if (pointer_) {
      if (!rest.contains("pointer")) throw BadShape{"has no pointer items"};
      if (!rest["pointer"].is_null()) pointer_items_ = pointer_items_from(rest["pointer"], url_);
    }
  }

  std::shared_ptr<pw::Page> page_;  // none for an answer read on its own
  std::string url_;
  bool pointer_;
  std::vector<_Node> nodes_;
  std::map<std::string, std::vector<size_t>> groups_;
  std::optional<std::vector<PointerItem>> pointer_items_;
};

}  // namespace

json gathering_argument(const std::vector<std::string>& selectors, bool pointer) {
  json groups = json::object();
  for (const auto& sel : selectors) groups[_group_name(sel)] = sel;
  return {{"groups", groups},
          {"pointer", pointer},
          {"attributes", _names(CAPTURED_ATTRIBUTES)},
          {"text", {{"tags", _names(_TEXT_TAGS)}, {"never", _names(NEVER_TEXT_TAGS)}}}};
}

std::unique_ptr<PageReads> fast_reads(std::shared_ptr<pw::Page> page,
                                      const std::vector<std::string>& selectors, bool pointer) {
  json arg = gathering_argument(selectors, pointer);
  // In the page's isolated world where the browser has one (the page's
  // scripts cannot reach it), else in the page's own world. A navigation
  // that destroys the page's context mid-evaluation is met again on the
  // page that replaced it; other failures propagate.
  auto world = pw::IsolatedWorld::of(*page);
  json answer =
      across_navigation([&] { return world ? world->call(_GATHER_JS, arg) : page->evaluate(_GATHER_JS, arg); });
  std::string url = page->url();
  return std::make_unique<_FastPage>(std::move(page), std::move(url), selectors, pointer, answer);
}

std::unique_ptr<PageReads> fast_reads_from(const json& answer, const std::vector<std::string>& selectors,
                                           bool pointer, std::string url) {
  return std::make_unique<_FastPage>(nullptr, std::move(url), selectors, pointer, answer);
}

}  // namespace plainstep::harvest
