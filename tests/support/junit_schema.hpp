#pragma once
// Validates a JUnit XML file against the common JUnit schema in
// tests/report/junit.xsd, with xmllint (scripts/bootstrap installs it).
#include <string>

#include "support/run_cli.hpp"

namespace plainstep::testing {

// Empty when `file` is valid; else what xmllint says is wrong with it.
inline std::string junit_problems(const std::string& file) {
  const std::string schema = (repo_root() / "tests/report/junit.xsd").string();
  CliResult r = run_program({"xmllint", "--noout", "--schema", schema, file});
  if (r.status < 0 || r.status == 127) return "xmllint did not run: scripts/bootstrap installs it (libxml2-utils)";
  return r.status == 0 ? "" : r.err + r.out;
}

}  // namespace plainstep::testing
