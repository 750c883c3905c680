#pragma once
// Spatial resolution over the matrix of one page state: "the field right of
// Email", "the second button below Total", "the link near Home", "the third
// button". Nothing here touches the page.
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "records/matrix_entry.hpp"
#include "records/parsed_instruction.hpp"
#include "records/resolution_result.hpp"

namespace plainstep {

// Slack, in pixels, of the same-row and same-column tests.
constexpr double SPATIAL_TOLERANCE = 40;
// "near": largest centre-to-centre distance in pixels, and largest distance
// in element-path steps.
constexpr double NEAR_MAX_PIXELS = 300;
constexpr int NEAR_MAX_DOM_STEPS = 10;

// Relation keyword to strategy, in table order.
extern const std::vector<std::pair<std::string, std::string>> _RELATIONS;
// Ordinal word to number, in table order ("first" .. "fifth", "1st" .. "5th").
extern const std::vector<std::pair<std::string, int>> _ORDINALS;
// Type word to element type, in table order.
extern const std::vector<std::pair<std::string, std::string>> _TYPE_KEYWORDS;

// A target phrase split into its parts; all text in lower case.
struct ParsedTarget {
  std::optional<std::string> anchor_text;   // after the relation keyword; "" when nothing follows
  std::optional<std::string> rel_strategy;  // from _RELATIONS
  std::optional<std::string> type_filter;   // from _TYPE_KEYWORDS
  std::optional<int> ordinal;               // from _ORDINALS
  std::optional<std::string> search_text;   // words of an ordinal phrase without an anchor
  std::optional<std::string> target_text;   // words before the keyword describing the target

  bool operator==(const ParsedTarget&) const = default;
};

// Splits a target phrase. Keywords are found as substrings ("thunder"
// holds "under"); the longest relation keyword wins, and table order
// decides between ordinals and between type words. Pure; never throws on
// valid UTF-8 (std::invalid_argument otherwise).
ParsedTarget _parse_target(std::string_view target);

// Resolves target phrases over one matrix, which it keeps unchanged.
// Holds no state between calls.
class GridLocator {
 public:
  explicit GridLocator(Matrix matrix);

  // The element the step's target phrase places. On the spatial path a
  // success carries the spatial details; an ordinal-only phrase gives the
  // plain four-field result. Not finding anything is a result with
  // `resolved` false, never an error.
  ResolutionResult resolve(const ParsedInstruction& parsed_instruction) const;

  // The entry the anchor text means, or nullptr: exact text, then
  // aria-label/_label/placeholder, then text prefix, then attribute prefix;
  // interactable entries preferred, then the smallest box. The first of
  // _find_anchors for an unquoted anchor.
  const MatrixEntry* _find_anchor(std::string_view anchor_text) const;

  // Every entry of the first pass that finds any, likeliest first (the
  // first is _find_anchor's). Unless `literal`, the anchor text without its
  // type words ("email field" -> "email") is tried after the whole text at
  // each strictness. A field label's or label's trailing colon does not
  // count ("email" finds the label "Email:").
  std::vector<const MatrixEntry*> _find_anchors(std::string_view anchor_text,
                                                bool literal) const;

  // Interactable entries other than the anchor, of type `tf` when given,
  // narrowed to those whose searchable text holds `target_text` when any do.
  std::vector<const MatrixEntry*> _get_candidates(const MatrixEntry& anchor,
                                                  const std::optional<std::string>& target_text,
                                                  const std::optional<std::string>& tf) const;

  // The candidates that stand in `strategy` to the anchor, nearest first;
  // with an ordinal only the n-th of them ("next_to" keeps one at most).
  // Along a row (next_to, left, right) the entries that share the anchor's
  // band without the slack rank ahead of those the slack lets in.
  // An unknown or absent strategy keeps nothing.
  static std::vector<const MatrixEntry*> _rank(const std::vector<const MatrixEntry*>& candidates,
                                               const MatrixEntry& anchor,
                                               const std::optional<std::string>& strategy,
                                               std::optional<int> ordinal);

  // The ordinal-th interactable entry of the type in reading order, among
  // those whose text equals the search words (when enough do), else those
  // that contain them normalised (when any do), else all.
  ResolutionResult _resolve_ordinal(int ordinal, const std::optional<std::string>& type_filter,
                                    const std::optional<std::string>& search_text =
                                        std::nullopt) const;

  const Matrix& matrix() const { return matrix_; }

 private:
  // Entries whose own text (or, `by_attribute`, an anchor attribute)
  // equals the lower-case anchor text; in matrix order.
  std::vector<const MatrixEntry*> _exact_anchors(const std::string& anchor_lower,
                                                 bool by_attribute) const;
  // Entries whose text (or anchor attribute) starts with the anchor text
  // and a space (text also: a parenthesis).
  std::vector<const MatrixEntry*> _prefix_anchors(const std::string& anchor_lower,
                                                  bool by_attribute) const;

  Matrix matrix_;
};

// Same row: the boxes share a horizontal band, with a gap under
// SPATIAL_TOLERANCE allowed.
bool _overlaps_vertically(const MatrixEntry& a, const MatrixEntry& b);
// Same column, with the same slack.
bool _overlaps_horizontally(const MatrixEntry& a, const MatrixEntry& b);
// Euclidean distance between the centres.
double _centre_distance(const MatrixEntry& a, const MatrixEntry& b);
// Lower case with every U+0020 space and every "-" removed.
std::string _normalize(std::string_view text);
// Path steps apart: segments of each path not equal at the same position
// in the other, counting every position.
int _dom_distance(std::string_view xpath_a, std::string_view xpath_b);

}  // namespace plainstep
