// plainstep matrix: the spatial matrix of saved page records, as JSON, so a
// user can see the reading order, types and numbers a spatial step sees.
#include <iostream>
#include <memory>
#include <optional>

#include "command.hpp"
#include "records_io.hpp"
#include "spatial/grid_assembler/grid_assembler.hpp"

namespace plainstep::host {
namespace {

struct MatrixArgs {
  std::optional<std::string> snapshot, elements, texts;
};

int _matrix(const MatrixArgs& a) {
  PageRecords page;
  try {
    page = load_page_records(a.snapshot, a.elements, a.texts);
  } catch (const std::invalid_argument& e) {
    std::cerr << "plainstep matrix: " << e.what() << "\n";
    return EXIT_USAGE;
  }
  const Matrix matrix = GridAssembler(page.elements, page.text_elements).build();
  std::cout << to_json(matrix).dump(2, ' ', false, json::error_handler_t::replace) << std::endl;
  return EXIT_OK;
}

const RegisterCommand _matrix_command(
    "matrix", "Print the spatial matrix of saved page records as JSON, in reading order", 45,
    [](CLI::App& app) -> Runner {
      auto a = std::make_shared<MatrixArgs>();
      auto* snap = app.add_option("--snapshot", a->snapshot,
                                  "Snapshot file: {\"url\", \"elements\", \"text_elements\"}");
      auto* els = app.add_option("--elements", a->elements, "JSON array of element descriptors");
      auto* txt = app.add_option("--texts", a->texts, "JSON array of text elements")->needs(els);
      snap->excludes(els)->excludes(txt);
      app.footer(
          "Give --snapshot FILE, or --elements FILE with optional --texts FILE.\n"
          "Records without a bounding box take no place in the matrix.\n"
          "Exit status: 0 on success, 2 when a file cannot be read or holds malformed records.");
      return [a] { return _matrix(*a); };
    });

}  // namespace
}  // namespace plainstep::host
