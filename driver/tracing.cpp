#include "driver/tracing.hpp"

#include "driver/connection.hpp"
#include "driver/serializer.hpp"

namespace pw {

namespace {
constexpr int _CHUNK = 1 << 20;  // bytes asked of a stream per read
}  // namespace

std::string Artifact::read_all() {
  auto connection = _connection();
  json opened = _call("stream");
  std::string stream = opened.at("stream").at("guid").get<std::string>();
  std::string bytes;
  for (;;) {
    json chunk = connection->call(stream, "read", {{"size", _CHUNK}});
    std::string part = base64_decode(chunk.value("binary", ""));
    if (part.empty()) break;
    bytes += part;
  }
  connection->call(stream, "close");
  return bytes;
}

void Artifact::remove() {
  if (is_disposed()) return;
  _call("delete");
}

void Tracing::start(const TracingOptions& options) {
  _call("tracingStart", {{"snapshotDom", options.snapshots}, {"screencast", options.screenshots}});
  json chunk = json::object();
  if (options.title) chunk["title"] = *options.title;
  _call("tracingStartChunk", std::move(chunk));
}

void Tracing::group(const std::string& name, const std::optional<std::string>& file,
                    std::optional<int> line) {
  json params = {{"name", name}};
  if (file) {
    params["location"] = {{"file", *file}};
    if (line) params["location"]["line"] = *line;
  }
  _call("tracingGroup", std::move(params));
}

void Tracing::group_end() { _call("tracingGroupEnd"); }

std::optional<std::string> Tracing::stop(bool keep) {
  std::optional<std::string> bytes;
  if (keep) {
    // "archive": the driver zips the trace itself, so this works the same
    // with a browser on another machine.
    json result = _call("tracingStopChunk", {{"mode", "archive"}});
    auto artifact = _connection()->object_as<Artifact>(result.value("artifact", json()));
    if (artifact) {
      bytes = artifact->read_all();
      artifact->remove();
    }
  } else {
    _call("tracingStopChunk", {{"mode", "discard"}});
  }
  _call("tracingStop");
  return bytes;
}

}  // namespace pw
