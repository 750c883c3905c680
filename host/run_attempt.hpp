#pragma once
// One attempt of one step file: a fresh browser context on the worker's
// browser, the steps one by one until the first failure, the rest skipped.
#include <functional>
#include <string>

#include "browser/session_keeper/session_keeper.hpp"
#include "run_capture.hpp"
#include "run_files.hpp"
#include "run_report.hpp"
#include "run_step.hpp"

namespace plainstep::host {

struct AttemptHooks {
  // The context is open, the first step about to run.
  std::function<void()> opened{};
  std::function<void(const StepReport&)> run_step_started{};
  std::function<void(const StepReport&)> step_done{};
  std::function<void(const std::string&)> note{};
  // Asked after every step: true ends the attempt there (the run is being
  // stopped; the step that was running is reported as stopped).
  std::function<bool()> stopping{};
};

// Opens `file`'s start address in a fresh context of `keeper` (launching
// the browser when it has none, or its browser died) and runs the steps.
// What the attempt leaves for the reports (screenshots, snapshots, its
// trace, --artifacts) is named after `rel`, the file's path below the run's
// common folder, and `attempt` (1 for the first). A browser that cannot
// open the page, or dies under the file, is the attempt's error. Never throws.
FileAttempt run_attempt(SessionKeeper& keeper, const ReadyFile& file, const RunSettings& settings,
                        const CaptureSettings& capture, const std::string& rel, int attempt,
                        const AttemptHooks& hooks);

}  // namespace plainstep::host
