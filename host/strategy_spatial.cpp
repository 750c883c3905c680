// The "spatial" route: the matrix of the page's records, then the grid
// locator over it.
#include "spatial/grid_assembler/grid_assembler.hpp"
#include "spatial/grid_locator/grid_locator.hpp"
#include "strategy.hpp"

namespace plainstep::host {
namespace {
const RegisterStrategy _spatial("spatial", [](const ParsedInstruction& parsed,
                                              const Elements& elements,
                                              const Elements& text_elements) {
  return GridLocator(GridAssembler(elements, text_elements).build()).resolve(parsed);
});
}  // namespace
}  // namespace plainstep::host
