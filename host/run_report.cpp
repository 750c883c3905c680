#include "run_report.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <sstream>
#include <stdexcept>

#include "text/text.hpp"

namespace plainstep::host {

namespace {
constexpr size_t _TEXT_SHOWN = 40;  // code points of an element's text shown in a line

std::string _short(const std::string& s) {
  std::string one = text::join(text::split_ws(s), " ");
  if (text::length(one) <= _TEXT_SHOWN) return one;
  return text::substr(one, 0, _TEXT_SHOWN - 3) + "...";
}

std::string _seconds(double s) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.2fs", s);
  return buf;
}

// Decodes UTF-8 leniently: a byte that starts no well-formed sequence
// gives U+FFFD and decoding goes on at the next byte.
template <class F>
void _each_code_point(std::string_view s, F&& f) {
  size_t i = 0;
  while (i < s.size()) {
    auto b = static_cast<unsigned char>(s[i]);
    int len = b < 0x80 ? 1 : (b >> 5) == 6 ? 2 : (b >> 4) == 14 ? 3 : (b >> 3) == 30 ? 4 : 0;
    char32_t c = len == 1 ? b : len == 2 ? (b & 0x1F) : len == 3 ? (b & 0x0F) : (b & 0x07);
    bool ok = len > 0 && i + static_cast<size_t>(len) <= s.size();
    for (int k = 1; ok && k < len; ++k) {
      auto n = static_cast<unsigned char>(s[i + static_cast<size_t>(k)]);
      ok = (n & 0xC0) == 0x80;
      c = (c << 6) | (n & 0x3F);
    }
    static constexpr char32_t least[] = {0, 0, 0x80, 0x800, 0x10000};
    ok = ok && c >= least[len] && c <= 0x10FFFF && !(c >= 0xD800 && c <= 0xDFFF);
    f(ok ? c : 0xFFFD, ok ? s.substr(i, static_cast<size_t>(len)) : std::string_view{});
    i += ok ? static_cast<size_t>(len) : 1;
  }
}

// Where a step's line starts, and what names it.
std::string _head(const StepReport& s) {
  if (s.depth == 0) return "  " + std::to_string(s.number);
  return std::string(2 + 4 * static_cast<size_t>(s.depth), ' ') + s.where;
}
}  // namespace

std::string terminal_safe(std::string_view s) {
  static const char* hex = "0123456789abcdef";
  std::string out;
  out.reserve(s.size());
  _each_code_point(s, [&](char32_t c, std::string_view bytes) {
    if (c == '\t') {
      out += '\t';
    } else if (c < 0x20 || (c >= 0x7F && c < 0xA0)) {
      out += c == '\n' ? "\\n" : c == '\r' ? "\\r" : "\\x";
      if (c != '\n' && c != '\r') {
        out += hex[(c >> 4) & 0xF];
        out += hex[c & 0xF];
      }
    } else if (bytes.empty()) {
      out += "\uFFFD";
    } else {
      out += bytes;
    }
  });
  return out;
}

std::string xml_safe(std::string_view s) {
  std::string out;
  out.reserve(s.size());
  _each_code_point(s, [&](char32_t c, std::string_view bytes) {
    if (c < 0x20 && c != '\t' && c != '\n' && c != '\r')
      out += text::from_cp(0x2400 + c);  // the control's picture: \x01 shows as U+2401
    else if (c == 0xFFFE || c == 0xFFFF || bytes.empty())
      out += "\uFFFD";
    else
      out += bytes;
  });
  return out;
}

double seconds_since(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

const char* status_word(StepStatus s) {
  switch (s) {
    case StepStatus::pass: return "PASS";
    case StepStatus::fail: return "FAIL";
    case StepStatus::skip: break;
  }
  return "SKIP";
}

namespace {
const StepReport* _first_failure(const std::vector<StepReport>& steps) {
  for (const auto& s : steps)
    if (s.status == StepStatus::fail) return &s;
  return nullptr;
}

std::string _failure_message(const std::vector<StepReport>& steps, const std::optional<std::string>& error) {
  if (error) return *error;
  const StepReport* f = _first_failure(steps);
  if (!f) return "";
  std::string msg = "step " + std::to_string(f->number) + " (line " + std::to_string(f->line) +
                    ") failed: " + f->text;
  if (!f->details.empty()) msg += ": " + f->details.front();
  return msg;
}
}  // namespace

bool FileAttempt::passed() const { return !error && !_first_failure(steps); }
const StepReport* FileAttempt::first_failure() const { return _first_failure(steps); }
std::string FileAttempt::failure_message() const { return _failure_message(steps, error); }

const char* file_status_word(FileStatus s) {
  switch (s) {
    case FileStatus::passed: return "passed";
    case FileStatus::flaky: return "flaky";
    case FileStatus::failed: return "failed";
    case FileStatus::not_run: return "not run";
    case FileStatus::skipped: return "skipped";
    case FileStatus::invalid: break;
  }
  return "error";
}

FileStatus FileReport::status() const {
  if (invalid) return FileStatus::invalid;
  if (skipped) return FileStatus::skipped;
  if (not_run) return FileStatus::not_run;
  if (error || _first_failure(steps)) return FileStatus::failed;
  return retried.empty() ? FileStatus::passed : FileStatus::flaky;
}

bool FileReport::passed() const {
  FileStatus s = status();
  return s == FileStatus::passed || s == FileStatus::flaky;
}

const StepReport* FileReport::first_failure() const { return _first_failure(steps); }

std::string FileReport::failure_message() const {
  if (skipped) return *skipped;
  if (not_run && !error) return *not_run;
  return _failure_message(steps, error);
}

FileAttempt FileReport::attempt() const { return FileAttempt{steps, error, seconds, started, false, trace}; }

std::string describe_element(const Element& e) {
  std::string d = e.tag.empty() ? "element" : e.tag;
  std::string name = _short(e.text);
  if (name.empty()) {
    for (const char* a : {"aria-label", "_label", "placeholder", "_icon", "name", "id"})
      if (const std::string* v = e.attributes.get(a); v && !text::trim(*v).empty()) {
        name = std::string(a) + "=" + _short(*v);
        break;
      }
    if (!name.empty()) d += " [" + name + "]";
  } else {
    d += " " + text::quoted_literal(name);
  }
  if (e.bounding_box)
    d += " at (" + std::to_string(std::lround(e.bounding_box->x)) + ", " +
         std::to_string(std::lround(e.bounding_box->y)) + ")";
  return d;
}

void print_step(std::ostream& out, const StepReport& s) {
  out << _head(s) << "  " << terminal_safe(s.text) << "  " << status_word(s.status);
  if (s.status != StepStatus::skip) out << "  " << _seconds(s.seconds);
  if (!s.outcome.empty()) out << "  " << terminal_safe(s.outcome);
  out << "\n";
  const std::string indent(7 + 4 * static_cast<size_t>(s.depth), ' ');
  for (const auto& d : s.details) out << indent << terminal_safe(d) << "\n";
}

void print_step_start(std::ostream& out, const StepReport& s) {
  out << _head(s) << "  " << terminal_safe(s.text) << "\n";
}

void print_step_block(std::ostream& out, const StepReport& s) {
  if (!s.nested.empty()) {
    print_step_start(out, s);
    for (const auto& n : s.nested) print_step_block(out, n);
  }
  print_step(out, s);
}

void print_summary(std::ostream& out, const std::vector<FileReport>& files, double seconds) {
  size_t count[6] = {};
  for (const auto& f : files) ++count[static_cast<size_t>(f.status())];
  auto n = [&](FileStatus s) { return count[static_cast<size_t>(s)]; };
  out << n(FileStatus::passed) << " passed, " << n(FileStatus::failed) << " failed";
  if (n(FileStatus::flaky)) out << ", " << n(FileStatus::flaky) << " flaky";
  if (n(FileStatus::not_run)) out << ", " << n(FileStatus::not_run) << " not run";
  if (n(FileStatus::skipped)) out << ", " << n(FileStatus::skipped) << " skipped";
  if (size_t e = n(FileStatus::invalid)) out << ", " << e << (e == 1 ? " error" : " errors");
  out << "\n";
  out << "total " << _seconds(seconds) << "\n";
}

void print_outcomes(std::ostream& out, const std::vector<FileReport>& files) {
  for (const auto& f : files) {
    const FileStatus s = f.status();
    if (s == FileStatus::passed) continue;
    std::string why;
    if (s == FileStatus::flaky) {
      why = "passed on attempt " + std::to_string(f.retried.size() + 1) + " after " +
            f.retried.front().failure_message();
    } else {
      why = f.failure_message();
    }
    // An error of many lines (wording issues) shows its first and a count.
    size_t lines = static_cast<size_t>(std::count(why.begin(), why.end(), '\n'));
    if (lines) why = why.substr(0, why.find('\n')) + " (and " + std::to_string(lines) + " more)";
    std::string word = file_status_word(s);
    out << word << std::string(9 - std::min<size_t>(word.size(), 8), ' ');
    // An invalid path's error names the path (and line) itself.
    if (s != FileStatus::invalid) out << terminal_safe(f.path) << ": ";
    out << terminal_safe(why) << "\n";
  }
}

}  // namespace plainstep::host
