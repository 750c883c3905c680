// The JUnit XML report of a run: one testcase per file, in the order the
// run lists them, read by CI servers (Jenkins, GitLab, GitHub actions).
#include <ctime>
#include <sstream>
#include <stdexcept>

#include <pugixml.hpp>

#include "file_write.hpp"
#include "run_report.hpp"

namespace plainstep::host {

namespace {

std::string _steps_text(const std::vector<StepReport>& steps) {
  std::ostringstream o;
  for (const auto& s : steps) print_step_block(o, s);
  return o.str();
}

// ISO 8601 in UTC, as JUnit readers expect the suite's timestamp.
std::string _iso_utc(std::chrono::system_clock::time_point t) {
  std::time_t secs = std::chrono::system_clock::to_time_t(t);
  std::tm utc{};
  gmtime_r(&secs, &utc);
  char buf[32];
  std::strftime(buf, sizeof buf, "%Y-%m-%dT%H:%M:%S", &utc);
  return buf;
}

void _text(pugi::xml_node node, const std::string& text) {
  node.append_child(pugi::node_pcdata).set_value(xml_safe(text).c_str());
}

// An attempt that failed, under `name` (failure, rerunFailure, flakyFailure).
void _failed_attempt(pugi::xml_node tc, const char* name, const FileAttempt& a) {
  auto node = tc.append_child(name);
  node.append_attribute("message") = xml_safe(a.failure_message()).c_str();
  if (name == std::string("failure")) {
    if (const StepReport* s = a.first_failure()) _text(node, _steps_text({*s}));
    return;
  }
  node.append_attribute("type") = "plainstep";
  _text(node.append_child("system-out"), _steps_text(a.steps));
}

}  // namespace

void write_junit(const std::string& path, const std::vector<FileReport>& files, double seconds) {
  pugi::xml_document doc;
  auto decl = doc.append_child(pugi::node_declaration);
  decl.append_attribute("version") = "1.0";
  decl.append_attribute("encoding") = "UTF-8";
  auto suite = doc.append_child("testsuite");
  unsigned long long failures = 0, errors = 0, skipped = 0;
  std::optional<std::chrono::system_clock::time_point> first;
  for (const auto& f : files) {
    FileStatus s = f.status();
    failures += s == FileStatus::failed;
    errors += s == FileStatus::invalid;
    skipped += s == FileStatus::not_run;
    auto started = f.retried.empty() ? f.started : f.retried.front().started;
    if (started.time_since_epoch().count() && (!first || started < *first)) first = started;
  }
  suite.append_attribute("name") = "plainstep";
  suite.append_attribute("tests") = static_cast<unsigned long long>(files.size());
  suite.append_attribute("failures") = failures;
  suite.append_attribute("errors") = errors;
  suite.append_attribute("skipped") = skipped;
  suite.append_attribute("time") = seconds;
  if (first) suite.append_attribute("timestamp") = _iso_utc(*first).c_str();
  for (const auto& f : files) {
    auto tc = suite.append_child("testcase");
    tc.append_attribute("name") = xml_safe(f.path).c_str();
    tc.append_attribute("classname") = "plainstep";
    tc.append_attribute("time") = f.seconds;
    switch (f.status()) {
      case FileStatus::passed: break;
      case FileStatus::flaky:
        for (const auto& a : f.retried) _failed_attempt(tc, "flakyFailure", a);
        break;
      case FileStatus::failed:
        _failed_attempt(tc, "failure", f.attempt());
        for (const auto& a : f.retried) _failed_attempt(tc, "rerunFailure", a);
        break;
      case FileStatus::not_run:
        tc.append_child("skipped").append_attribute("message") = xml_safe(*f.not_run).c_str();
        break;
      case FileStatus::invalid:
        tc.append_child("error").append_attribute("message") = xml_safe(f.error.value_or("")).c_str();
        break;
    }
    _text(tc.append_child("system-out"), _steps_text(f.steps));
  }
  std::ostringstream xml;
  doc.save(xml, "  ");
  // Written whole: a full disk leaves the previous report as it was.
  try {
    write_file_whole(path, xml.str());
  } catch (const std::exception& e) {
    throw std::runtime_error("cannot write the JUnit file: " + std::string(e.what()));
  }
}

}  // namespace plainstep::host
