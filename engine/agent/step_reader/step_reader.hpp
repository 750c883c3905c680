#pragma once
// The step language: one plain-English test step in, one parsed instruction
// out; and the wording check of whole tests before they run.
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_set>
#include <utility>
#include <vector>

#include "records/parsed_instruction.hpp"

namespace plainstep {

// Turns one plain-English test step into a parsed instruction.
// Stateless; one object may serve any number of threads.
class StepReader {
 public:
  // The action names a parse can produce, in the order users are shown them.
  static const std::vector<std::string> SUPPORTED_ACTIONS;
  // Filler words dropped from the front of an element phrase.
  static const std::unordered_set<std::string> _STOP_WORDS;
  // State suffix to action, in the order they are tried.
  static const std::vector<std::pair<std::string, std::string>> _VERIFY_STATES;
  static const std::vector<std::pair<std::string, std::string>> _VERIFY_TEXT_STATES;
  // First words the wording check accepts.
  static const std::unordered_set<std::string> _KNOWN_ACTIONS;

  // The instruction the step means. Throws std::invalid_argument
  // ("Unrecognised instruction: '...'. Supported actions: [...]") when no
  // step form matches, and when the step is not valid UTF-8.
  ParsedInstruction parse(std::string_view instruction) const;

  // Wording problems of one step, in the order found; empty when none.
  // Never throws: a step that is not UTF-8 is reported as such.
  std::vector<std::string> validate(std::string_view instruction) const;

  // Problems of every faulty step, keyed by step number (first step is 1);
  // steps without problems have no entry.
  std::map<int, std::vector<std::string>> validate_all(
      const std::vector<std::string>& instructions) const;

  // The longest pause a wait step may ask for, in milliseconds (one hour).
  static constexpr long WAIT_MAX_MS = 3600000;

  // The milliseconds of a wait step's target ("500"): ASCII digits from 0
  // to WAIT_MAX_MS; nullopt for anything else. The runner and the wording
  // check both ask here, so they never disagree.
  static std::optional<long> wait_milliseconds(std::string_view target);

  // The step with every "quoted" part replaced by its content, and those
  // contents, left to right. An empty pair of quotes is not a literal.
  std::pair<std::string, std::vector<std::string>> _unquote(std::string_view instruction) const;

  // The phrase with leading filler words ("the", "on", ...) removed and
  // runs of white space collapsed to single spaces.
  std::string _clean_target(std::string_view target) const;
};

// A leading ordinal word ("second Save") as its number and the rest;
// (1, text unchanged) when the first word is no ordinal.
std::pair<int, std::string> _extract_ordinal(std::string_view text);

}  // namespace plainstep
