// Failure artifacts: a screenshot with the element in question framed, or
// the closest candidates framed and numbered, and the records of the page
// as the step last read it.
#include <filesystem>

#include "file_write.hpp"
#include "records_io.hpp"
#include "run_step.hpp"
#include "text/text.hpp"

namespace plainstep::host {

namespace fs = std::filesystem;

namespace {
// Draws a frame over each box (viewport coordinates), numbered when it has
// a label, without touching the elements themselves, so a hidden overflow
// or a transform cannot hide them.
const char* _FRAME_JS = R"JS((frames) => {
  const layer = document.createElement('div');
  layer.id = '__plainstep_frames';
  layer.style.cssText = 'position:fixed;left:0;top:0;width:0;height:0;pointer-events:none;z-index:2147483647';
  for (const f of frames) {
    const d = document.createElement('div');
    d.style.cssText = 'position:fixed;box-sizing:border-box;border:3px solid #e4002b;' +
      'left:' + (f.x - 4) + 'px;top:' + (f.y - 4) + 'px;' +
      'width:' + (f.width + 8) + 'px;height:' + (f.height + 8) + 'px';
    if (f.label) {
      const n = document.createElement('span');
      n.textContent = f.label;
      n.style.cssText = 'position:absolute;left:-3px;top:' + (f.y < 24 ? 'calc(100% - 3px)' : '-22px') + ';' +
        'background:#e4002b;color:#fff;font:bold 13px/19px sans-serif;padding:0 6px;border-radius:3px';
      d.appendChild(n);
    }
    layer.appendChild(d);
  }
  document.documentElement.appendChild(layer);
  return true;
})JS";
const char* _UNFRAME_JS =
    "() => { const d = document.getElementById('__plainstep_frames'); if (d) d.remove(); }";
}  // namespace

bool outlined_screenshot(SessionKeeper& keeper, const std::vector<Outline>& outlines, const std::string& path,
                         std::string* error) {
  // A page behind an open dialog cannot be drawn.
  auto dialog = keeper.get_dialog();
  if (dialog && !dialog->is_handled()) {
    if (error) *error = "no screenshot: a dialog is open";
    return false;
  }
  try {
    auto page = keeper.get_page();
    json frames = json::array();
    for (const auto& o : outlines)
      frames.push_back({{"x", o.box.x}, {"y", o.box.y}, {"width", o.box.width}, {"height", o.box.height},
                        {"label", o.label}});
    if (!frames.empty()) page->evaluate(_FRAME_JS, frames);
    std::string png = page->screenshot();
    if (!frames.empty()) page->evaluate(_UNFRAME_JS);
    write_file_whole(path, png);
    return true;
  } catch (const std::exception& e) {
    if (error) *error = "cannot take a screenshot: " + std::string(e.what()).substr(0, 200);
    return false;
  }
}

bool framed_screenshot(SessionKeeper& keeper, const ElementRef& outline, const std::string& path,
                       std::string* error) {
  std::vector<Outline> outlines;
  if (outline && outline->bounding_box) outlines.push_back({*outline->bounding_box, ""});
  return outlined_screenshot(keeper, outlines, path, error);
}

bool save_snapshot(const StepEvidence& evidence, const std::string& path, const Variables* variables,
                   std::string* error) {
  if (!evidence.url) return false;
  PageRecords page{*evidence.url, evidence.elements, evidence.text_elements};
  std::string content = snapshot_json(page).dump(2) + "\n";
  try {
    write_file_whole(path, variables ? variables->mask(std::move(content)) : content);
    return true;
  } catch (const std::exception& e) {
    if (error) *error = e.what();
    return false;
  }
}

std::vector<std::string> save_artifacts(SessionKeeper& keeper, const StepEvidence& evidence,
                                        const std::string& base, const Variables* variables) {
  std::vector<std::string> written;
  std::error_code ec;
  fs::path dir = fs::path(base).parent_path();
  if (!dir.empty()) fs::create_directories(dir, ec);
  if (ec) return {"cannot create the artifacts folder " + text::quoted_literal(dir.string()) + ": " + ec.message()};
  std::string error;
  if (save_snapshot(evidence, base + ".json", variables, &error)) written.push_back(base + ".json");
  else if (!error.empty()) written.push_back(error);
  // The closest candidates, numbered as the step's details list them; else
  // the element the step chose or expected.
  std::vector<Outline> outlines;
  for (size_t i = 0; i < evidence.candidates.size(); ++i)
    if (evidence.candidates[i]->bounding_box)
      outlines.push_back({*evidence.candidates[i]->bounding_box, std::to_string(i + 1)});
  if (evidence.candidates.empty() && evidence.outline && evidence.outline->bounding_box)
    outlines.push_back({*evidence.outline->bounding_box, ""});
  error.clear();
  if (outlined_screenshot(keeper, outlines, base + ".png", &error)) written.push_back(base + ".png");
  else written.push_back(error);
  return written;
}

}  // namespace plainstep::host
