// The JUnit XML report CI servers read: a testsuite per file, a testcase
// per step, screenshots and traces named as attachments.
#include <unistd.h>

#include <climits>
#include <ctime>
#include <filesystem>
#include <sstream>

#include <pugixml.hpp>

#include "file_write.hpp"
#include "reporters/reporters.hpp"
#include "reporters/run_document.hpp"

namespace plainstep::host {

namespace {

// Seconds with millisecond precision: "15.522".
std::string _time(double seconds) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.3f", seconds < 0 ? 0.0 : seconds);
  return buf;
}

// "2026-12-09T06:00:00" in UTC: the common schema's timestamps carry no zone.
std::string _timestamp(WallClock::time_point t) { return iso_utc(t).substr(0, 19); }

std::string _hostname() {
  char buf[HOST_NAME_MAX + 1] = {};
  if (gethostname(buf, sizeof buf - 1) != 0 || !buf[0]) return "localhost";
  return buf;
}

void _attr(pugi::xml_node node, const char* name, const std::string& value) {
  node.append_attribute(name) = xml_safe(value).c_str();
}

void _text(pugi::xml_node node, const std::string& value) {
  node.append_child(pugi::node_pcdata).set_value(xml_safe(value).c_str());
}

std::string _join_lines(const std::vector<std::string>& lines) {
  std::string out;
  for (const auto& l : lines) out += l + "\n";
  return out;
}

struct Tally {
  unsigned tests = 0, failures = 0, errors = 0, skipped = 0;
  void add(const Tally& o) {
    tests += o.tests;
    failures += o.failures;
    errors += o.errors;
    skipped += o.skipped;
  }
  void put(pugi::xml_node node, double seconds) const {
    node.append_attribute("tests") = tests;
    node.append_attribute("failures") = failures;
    node.append_attribute("errors") = errors;
    node.append_attribute("skipped") = skipped;
    node.append_attribute("time") = _time(seconds).c_str();
  }
};

class JunitReporter : public FileDocument {
 public:
  JunitReporter(std::string file, std::string folder)
      : FileDocument("JUnit report", std::move(file)), folder_(std::move(folder)) {}

 protected:
  void write_files() override {
    pugi::xml_document doc;
    auto decl = doc.append_child(pugi::node_declaration);
    decl.append_attribute("version") = "1.0";
    decl.append_attribute("encoding") = "UTF-8";
    auto suites = doc.append_child("testsuites");
    suites.append_attribute("name") = "plainstep";
    Tally total;
    std::string host = _hostname();
    for (const auto& f : files()) total.add(_suite(suites.append_child("testsuite"), f, host));
    // Attributes follow the name whenever they are added; children are apart.
    total.put(suites, end().seconds);
    std::ostringstream xml;
    doc.save(xml, "  ");
    write_file_whole(path(), xml.str());
  }

 private:
  std::string _attachment(const std::string& in_folder) const {
    return "[[ATTACHMENT|" + (std::filesystem::path(folder_) / in_folder).string() + "]]\n";
  }

  // The file as a whole, as a testcase named by its path, with `outcome`
  // (skipped, error or failure) saying `message`.
  Tally _file_case(pugi::xml_node suite, const FileRecord& f, const std::string& outcome,
                   const std::string& message, const char* type) {
    auto tc = suite.append_child("testcase");
    _attr(tc, "name", f.planned.path);
    _attr(tc, "classname", f.planned.path);
    tc.append_attribute("time") = _time(outcome == "skipped" ? 0 : f.end.seconds).c_str();
    auto o = tc.append_child(outcome.c_str());
    if (!message.empty()) _attr(o, "message", message);
    if (type) o.append_attribute("type") = type;
    return {1, outcome == "failure", outcome == "error", outcome == "skipped"};
  }

  Tally _suite(pugi::xml_node suite, const FileRecord& f, const std::string& host) {
    const bool started = f.end.started.time_since_epoch().count() != 0;
    _attr(suite, "name", f.planned.path);
    auto props = suite.append_child("properties");
    auto prop = [&](const char* name, const std::string& value) {
      auto p = props.append_child("property");
      p.append_attribute("name") = name;
      _attr(p, "value", value);
    };
    prop("browser", start().options.browser);
    prop("url", f.planned.url);
    if (!f.planned.tags.empty()) {
      std::string tags;
      for (const auto& t : f.planned.tags) tags += (tags.empty() ? "" : " ") + t;
      prop("tags", tags);
    }
    if (f.attempts.size() > 1) prop("attempts", std::to_string(f.attempts.size()));
    if (f.end.status == FileOutcome::flaky) prop("flaky", "true");

    Tally t;
    std::string out;
    const bool ran = !f.attempts.empty() && f.end.status != FileOutcome::error;
    if (!ran) {
      if (f.end.status == FileOutcome::error)
        t = _file_case(suite, f, "error", f.end.error.value_or("the file could not run"), "could not run");
      else
        t = _file_case(suite, f, "skipped", f.end.reason.value_or(""), nullptr);
    } else {
      const AttemptRecord& last = f.attempts.back();
      bool stepped = false;  // a step of it passed or failed
      for (const auto& l : listed_steps(last.steps)) {
        t.add(_case(suite, f, l));
        stepped = stepped || l.step->status != StepStatus::skip;
      }
      if (!last.end || f.end.status == FileOutcome::not_run) {
        // stopped while it ran: the rest of it was not run
        t.add(_file_case(suite, f, "skipped", f.end.reason.value_or(*last.error()), nullptr));
      } else if (last.error() && !last.passed()) {
        // A failure outside any step: a file that could not run at all (the
        // browser would not start, the start address did not load) is an
        // error; a browser that went away between steps fails it.
        if (stepped) t.add(_file_case(suite, f, "failure", *last.error(), "attempt failed"));
        else t.add(_file_case(suite, f, "error", *last.error(), "could not run"));
      }
      for (const auto& a : f.attempts) out += _attempt_lines(a);
    }
    t.put(suite, f.end.seconds);
    suite.append_attribute("timestamp") = _timestamp(started ? f.end.started : start().started).c_str();
    _attr(suite, "hostname", host);
    if (!out.empty()) _text(suite.append_child("system-out"), out);
    return t;
  }

  Tally _case(pugi::xml_node suite, const FileRecord& f, const ListedStep& l) {
    const StepReport& s = *l.step;
    auto tc = suite.append_child("testcase");
    _attr(tc, "name", l.source.value_or(std::to_string(l.line)) + ": " + s.text);
    _attr(tc, "classname", f.planned.path);
    tc.append_attribute("time") = _time(s.status == StepStatus::skip ? 0 : s.seconds).c_str();
    Tally t{1, 0, 0, 0};
    if (s.status == StepStatus::fail) {
      auto fail = tc.append_child("failure");
      _attr(fail, "message", s.details.empty() ? "the step failed" : s.details.front());
      fail.append_attribute("type") = "step failed";
      _text(fail, _join_lines(s.details));
      t.failures = 1;
    } else if (s.status == StepStatus::skip) {
      tc.append_child("skipped");
      t.skipped = 1;
    }
    std::string attached;
    if (!s.screenshot.empty()) attached += _attachment(s.screenshot);
    if (!s.snapshot.empty()) attached += _attachment(s.snapshot);
    if (!attached.empty()) _text(tc.append_child("system-out"), attached);
    return t;
  }

  // An attempt as the terminal showed it, under a line naming it.
  std::string _attempt_lines(const AttemptRecord& a) {
    std::ostringstream o;
    o << "attempt " << a.attempt << ": " << (a.passed() ? "passed" : "failed") << "\n";
    for (const auto& s : a.steps) print_step_block(o, s);
    if (a.error()) o << "  " << *a.error() << "\n";
    if (a.end && a.end->trace) o << _attachment(*a.end->trace);
    return o.str();
  }

  std::string folder_;
};

}  // namespace

std::unique_ptr<Reporter> make_junit_reporter(const std::string& file, const std::string& folder) {
  return std::make_unique<JunitReporter>(file, folder);
}

}  // namespace plainstep::host
