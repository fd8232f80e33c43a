#pragma once
// The detail line under the grid: which columns of the cursor cell's two texts differ, and
// whether the texts are numbers whose difference is shown.

#include <string_view>
#include <vector>

namespace korvel {

// True for a text that reads as a number: not empty; one optional leading '-'; then only
// single-byte digits and '.', at most one '.', at most 10 digits. A lone '-' or '.' counts
// (as 0); a double-byte character never does.
bool IsNumericText(std::string_view text);

// The value of a text for which IsNumericText holds (0 for a lone sign or point).
double NumericValue(std::string_view text);

// A run of display columns [start, end) where the two texts differ.
struct DiffBand {
  int start = 0;
  int end = 0;
  bool operator==(const DiffBand&) const = default;
};

// Walks the two CP932 texts together in display columns (a double-byte character takes two,
// any other one) and returns the runs in which they differ, in order. A text that has ended
// keeps growing by one column per step while the other goes on, so a longer text's tail is
// one run.
std::vector<DiffBand> DetailDiffBands(std::string_view left, std::string_view right);

// How far the detail line is scrolled, in display columns: so that the first differing
// column stands at most kDetailLead columns from the line's left edge (0 when the texts are
// the same or differ early enough). Without it a difference past the line's width could not
// be seen.
inline constexpr int kDetailLead = 10;
int DetailScrollColumns(const std::vector<DiffBand>& bands);

// The part of a CP932 text shown when the line is scrolled by `columns`, and the display
// column where it starts: `columns` itself, or one more when a double-byte character
// straddles the edge (it is left out whole, never cut in half).
struct DetailPiece {
  std::string_view text;
  int column = 0;
  bool operator==(const DetailPiece&) const = default;
};
DetailPiece DetailTextFrom(std::string_view text, int columns);

}  // namespace korvel
