#pragma once
// A browser context's trace recorder, and the files the driver hands back
// (artifacts read through streams). A trace is the archive Playwright's
// trace viewer opens: the calls made, the page's DOM around each action,
// and screencast frames.
#include <optional>
#include <string>

#include "driver/remote_object.hpp"

namespace pw {

struct TracingOptions {
  bool screenshots = true;  // screencast frames, the viewer's film strip
  bool snapshots = true;    // the DOM before and after each action
  std::optional<std::string> title;  // shown by the viewer for the trace
};

class Artifact : public RemoteObject {
 public:
  using RemoteObject::RemoteObject;
  // The file's bytes, read through a stream of the driver.
  std::string read_all();
  // Removes the driver's copy; nothing to do when it is gone already.
  void remove();
};

class Tracing : public RemoteObject {
 public:
  using RemoteObject::RemoteObject;
  // Starts recording the context's calls, pages and network.
  void start(const TracingOptions& options = {});
  // Calls until group_end() show under `name` in the viewer; `file` and
  // `line` (when given) are where the viewer says the group comes from.
  void group(const std::string& name, const std::optional<std::string>& file = std::nullopt,
             std::optional<int> line = std::nullopt);
  void group_end();
  // Stops recording: the archive's bytes (a zip), or nothing with
  // `keep` false, when the trace is dropped.
  std::optional<std::string> stop(bool keep = true);
};

}  // namespace pw
