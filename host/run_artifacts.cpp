// Failure artifacts: a screenshot with the element in question framed, and
// the records of the page as the step last read it.
#include <filesystem>

#include "file_write.hpp"
#include "records_io.hpp"
#include "run_step.hpp"
#include "text/text.hpp"

namespace plainstep::host {

namespace fs = std::filesystem;

namespace {
// Draws a frame over the box (viewport coordinates) without touching the
// element itself, so a hidden overflow or a transform cannot hide it.
const char* _FRAME_JS = R"JS((b) => {
  const d = document.createElement('div');
  d.id = '__plainstep_frame';
  d.style.cssText = 'position:fixed;pointer-events:none;z-index:2147483647;' +
    'border:3px solid #e4002b;box-sizing:border-box;' +
    'left:' + (b.x - 4) + 'px;top:' + (b.y - 4) + 'px;' +
    'width:' + (b.width + 8) + 'px;height:' + (b.height + 8) + 'px';
  document.documentElement.appendChild(d);
  return true;
})JS";
const char* _UNFRAME_JS = "() => { const d = document.getElementById('__plainstep_frame'); if (d) d.remove(); }";
}  // namespace

bool framed_screenshot(SessionKeeper& keeper, const ElementRef& outline, const std::string& path,
                       std::string* error) {
  // A page behind an open dialog cannot be drawn.
  auto dialog = keeper.get_dialog();
  if (dialog && !dialog->is_handled()) {
    if (error) *error = "no screenshot: a dialog is open";
    return false;
  }
  try {
    auto page = keeper.get_page();
    bool framed = false;
    if (outline && outline->bounding_box) {
      const Box& b = *outline->bounding_box;
      page->evaluate(_FRAME_JS, json{{"x", b.x}, {"y", b.y}, {"width", b.width}, {"height", b.height}});
      framed = true;
    }
    std::string png = page->screenshot();
    if (framed) page->evaluate(_UNFRAME_JS);
    write_file_whole(path, png);
    return true;
  } catch (const std::exception& e) {
    if (error) *error = "cannot take a screenshot: " + std::string(e.what()).substr(0, 200);
    return false;
  }
}

std::vector<std::string> save_artifacts(SessionKeeper& keeper, const StepEvidence& evidence,
                                        const std::string& dir, const std::string& stem,
                                        int step_number, const Variables* variables) {
  std::vector<std::string> written;
  std::error_code ec;
  fs::create_directories(dir, ec);
  if (ec) return {"cannot create the artifacts folder " + text::quoted_literal(dir) + ": " + ec.message()};
  std::string base = (fs::path(dir) / (stem + "-step" + std::to_string(step_number))).string();

  if (evidence.url) {
    PageRecords page{*evidence.url, evidence.elements, evidence.text_elements};
    std::string content = snapshot_json(page).dump(2) + "\n";
    try {
      write_file_whole(base + ".json", variables ? variables->mask(std::move(content)) : content);
      written.push_back(base + ".json");
    } catch (const std::exception& e) {
      written.push_back(e.what());
    }
  }
  std::string error;
  if (framed_screenshot(keeper, evidence.outline, base + ".png", &error)) written.push_back(base + ".png");
  else written.push_back(error);
  return written;
}

}  // namespace plainstep::host
