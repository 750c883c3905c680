// The fast reader: one page evaluation gathers, for every element of the
// requested groups, the answers the rules may ask for; the rules then read
// them here as they would read them from the driver.
#include <map>
#include <stdexcept>
#include <unordered_map>

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
  std::string tag, xpath;
  bool has_tag = false, has_xpath = false, has_box = false, has_attributes = false;
  bool visible = false;
  std::optional<bool> enabled;
  std::optional<Box> box;
  std::vector<std::pair<std::string, std::string>> attributes;
  bool has_text = false;
  std::optional<std::string> text;  // nullopt with has_text: not an HTML element
  std::optional<bool> direct;
  bool has_labels = false;
  std::optional<std::string> preceding, parent;
};

// The gathered answer: the elements' records, one line, then the rest
// (groups, look-ups, pointer items), which is small. The records are read
// event by event straight into nodes, without building a document first.
using _Answer = nlohmann::json;

// A path sent as the number of steps it shares with the path sent before
// and the rest.
std::string _path_after(const std::string& before, size_t steps, const std::string& rest) {
  size_t cut = 0, seen = 0;
  for (; cut < before.size(); ++cut)
    if (before[cut] == '/' && seen++ == steps) break;
  return before.substr(0, cut) + rest;
}

class _NodeReader : public nlohmann::json_sax<_Answer> {
 public:
  explicit _NodeReader(std::vector<_Node>& nodes) : nodes_(nodes) {}

  bool null() override {
    if (depth_ != 2) return _bad("null");
    if (key_ == "i") node_.has_text = true;
    else if (key_ == "b") node_.has_box = true;
    else if (key_ == "ps" || key_ == "pc") node_.has_labels = true;
    else return _bad("null for " + key_);
    return true;
  }
  bool boolean(bool v) override {
    if (depth_ != 2) return _bad("a boolean");
    if (key_ == "v") node_.visible = v;
    else if (key_ == "e") node_.enabled = v;
    else if (key_ == "d") node_.direct = v;
    else return _bad("a boolean for " + key_);
    return true;
  }
  bool number_integer(number_integer_t v) override { return _number(static_cast<double>(v)); }
  bool number_unsigned(number_unsigned_t v) override { return _number(static_cast<double>(v)); }
  bool number_float(number_float_t v, const string_t&) override { return _number(v); }
  bool string(string_t& v) override {
    if (depth_ == 4) {
      if (pair_ == 0) attribute_.first = std::move(v);
      else if (pair_ == 1) attribute_.second = std::move(v);
      else return _bad("a third part of an attribute");
      ++pair_;
      return true;
    }
    if (depth_ == 3 && key_ == "x" && numbers_.size() == 1) {
      node_.has_xpath = true;
      path_ = node_.xpath = _path_after(path_, static_cast<size_t>(numbers_[0]), v);
      return true;
    }
    if (depth_ != 2) return _bad("a string");
    if (key_ == "t") {
      node_.has_tag = node_.has_attributes = true;  // no "a" with a tag: it has no attributes
      node_.tag = std::move(v);
    } else if (key_ == "i") {
      node_.has_text = true;
      node_.text = std::move(v);
    } else if (key_ == "ps") {
      node_.has_labels = true;
      node_.preceding = std::move(v);
    } else if (key_ == "pc") {
      node_.has_labels = true;
      node_.parent = std::move(v);
    } else {
      return _bad("a string for " + key_);
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
    nodes_.push_back(std::move(node_));
    depth_ = 1;
    return true;
  }
  bool start_array(std::size_t) override {
    if (depth_ == 0 || depth_ == 3) {
      pair_ = 0;
      ++depth_;
      return depth_ != 4 || key_ == "a" || _bad("an array in " + key_);
    }
    if (depth_ != 2 || (key_ != "b" && key_ != "x" && key_ != "a")) return _bad("an array for " + key_);
    numbers_.clear();
    depth_ = 3;
    return true;
  }
  bool end_array() override {
    if (depth_ == 4) {
      if (pair_ != 2) return _bad("an attribute without a value");
      node_.attributes.push_back(std::move(attribute_));
    } else if (depth_ == 3 && key_ == "b") {
      if (numbers_.size() != 4) return _bad("a box of " + std::to_string(numbers_.size()) + " numbers");
      node_.has_box = true;
      node_.box = Box{numbers_[0], numbers_[1], numbers_[2], numbers_[3]};
    } else if (depth_ == 3 && key_ == "x" && !node_.has_xpath) {
      return _bad("a path without its steps");
    }
    --depth_;
    return true;
  }
  bool parse_error(std::size_t at, const std::string&, const nlohmann::detail::exception& e) override {
    throw std::logic_error("fast extraction's answer is not JSON at byte " + std::to_string(at) + ": " + e.what());
  }

 private:
  bool _number(double v) {
    if (depth_ != 3 || key_ == "a") return _bad("a number");
    numbers_.push_back(v);
    return true;
  }
  [[noreturn]] bool _bad(const std::string& what) {
    throw std::logic_error("fast extraction's answer has " + what + " where it was not expected (element " +
                           std::to_string(nodes_.size()) + ")");
  }

  std::vector<_Node>& nodes_;
  _Node node_;
  int depth_ = 0;  // 1: the list, 2: a record, 3: a box, path or attribute list, 4: an attribute
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
    if (!n_.has_tag) _not_gathered("the tag name", _where());
    return n_.tag;
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
    return n_.xpath;
  }
  bool has_direct_text() override {
    if (!n_.direct) _not_gathered("the direct-text test", _where());
    return *n_.direct;
  }
  std::optional<std::string> preceding_sibling_text() override {
    if (!n_.has_labels) _not_gathered("the sibling label", _where());
    return n_.preceding;
  }
  std::optional<std::string> parent_children_text() override {
    if (!n_.has_labels) _not_gathered("the parent label", _where());
    return n_.parent;
  }

 private:
  std::string _where() const { return n_.has_xpath ? n_.xpath : n_.has_tag ? "a " + n_.tag : "an element"; }
  const _Node& n_;
};

// A looked-up element's text: found and read, found but unreadable (not
// an HTML element), or not found.
struct _Lookup {
  bool found = false;
  std::optional<std::string> text;
};

std::unordered_map<std::string, _Lookup> _lookups(const _Answer& pairs) {
  std::unordered_map<std::string, _Lookup> out;
  for (const auto& p : pairs) {
    const _Answer& v = p.at(1);
    _Lookup l;
    if (v.is_string()) l = {true, v.get<std::string>()};
    else if (v.is_boolean()) l = {true, std::nullopt};
    out.emplace(p.at(0).get<std::string>(), std::move(l));
  }
  return out;
}

// The gathering script knows each group by name: what it collects for an
// element depends on the groups the element is in.
std::string _group_name(const std::string& selector) {
  if (selector == INTERACTABLE_SELECTOR) return "interactable";
  if (selector == _CUSTOM_INPUT_SELECTOR) return "custom";
  if (selector == _LABEL_CANDIDATE_SELECTOR) return "label";
  if (selector == TEXT_SELECTOR) return "text";
  throw std::logic_error("fast extraction has no group for the selector " + selector);
}

class _FastPage : public PageReads {
 public:
  _FastPage(std::shared_ptr<pw::Page> page, const std::vector<std::string>& selectors, bool pointer)
      : page_(std::move(page)), pointer_(pointer) {
    json groups = json::object();
    for (const auto& sel : selectors) groups[_group_name(sel)] = sel;
    json arg = {{"groups", groups}, {"pointer", pointer},
                {"attributes", std::vector<std::string>(CAPTURED_ATTRIBUTES.begin(), CAPTURED_ATTRIBUTES.end())}};
    json answer = _gather(arg);
    const std::string& text = answer.get_ref<const std::string&>();
    size_t line = text.find('\n');
    if (line == std::string::npos) throw std::logic_error("fast extraction's answer has no second line");
    _NodeReader reader(nodes_);
    _Answer::sax_parse(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(line), &reader);
    _Answer got = _Answer::parse(text.begin() + static_cast<std::ptrdiff_t>(line) + 1, text.end());
    for (const auto& sel : selectors)
      groups_[sel] = got.at("groups").at(_group_name(sel)).get<std::vector<size_t>>();
    ids_ = _lookups(got.at("ids"));
    fors_ = _lookups(got.at("fors"));
    if (pointer) pointer_items_ = json::parse(got.value("pointer", _Answer()).dump());
  }

  ElementList query_all(const std::string& selector) override {
    auto it = groups_.find(selector);
    if (it == groups_.end())
      throw std::logic_error("fast extraction did not gather the group " + selector);
    ElementList out;
    out.reserve(it->second.size());
    for (size_t i : it->second) out.push_back(std::make_unique<_FastElement>(nodes_.at(i)));
    return out;
  }
  std::optional<std::string> text_of_id(const std::string& id) override { return _text(ids_, id); }
  std::optional<std::string> text_of_label_for(const std::string& id) override {
    return _text(fors_, id);
  }
  json pointer_items() override {
    if (!pointer_) throw std::logic_error("fast extraction did not gather the pointer items");
    if (pointer_items_.is_null()) throw ReadFailure("cursor-pointer script failed in the page");
    return pointer_items_;
  }
  std::string url() override { return page_->url(); }

 private:
  static std::optional<std::string> _text(const std::unordered_map<std::string, _Lookup>& m,
                                          const std::string& id) {
    auto it = m.find(id);
    if (it == m.end()) throw std::logic_error("fast extraction did not look up '" + id + "'");
    if (!it->second.found) return std::nullopt;
    if (!it->second.text) throw ReadFailure("Node is not an HTMLElement");
    return it->second.text;
  }

  // A navigation that destroys the page's context mid-evaluation is met
  // again on the page that replaced it; other failures propagate.
  json _gather(const json& arg) {
    return across_navigation([&] { return page_->evaluate(_GATHER_JS, arg); });
  }

  std::shared_ptr<pw::Page> page_;
  bool pointer_;
  std::vector<_Node> nodes_;
  std::map<std::string, std::vector<size_t>> groups_;
  std::unordered_map<std::string, _Lookup> ids_, fors_;
  json pointer_items_;
};

}  // namespace

std::unique_ptr<PageReads> fast_reads(std::shared_ptr<pw::Page> page,
                                      const std::vector<std::string>& selectors, bool pointer) {
  return std::make_unique<_FastPage>(std::move(page), selectors, pointer);
}

}  // namespace plainstep::harvest
