#pragma once
// The field layout of a comparison: the fields both sides share (ResultField,
// compare/ResultModel.h), in the order they are shown (the key fields first), with the
// per-field choices of the field-control grid and the per-field results.

#include <string>
#include <string_view>
#include <vector>

#include "compare/FieldGrid.h"
#include "compare/ResultModel.h"

namespace korvel {

class RowTable;

class FieldLayout {
 public:
  static constexpr int kMaxNotLoaded = 10;  // not-loaded field numbers kept
  static constexpr int kBuiltWidth = 64;
  static constexpr int kMinWidth = 48;
  static constexpr int kMaxWidth = 200;
  static constexpr int kMeasuredRows = 100;

  // Rebuilds Fields, KeyCount and NotLoadedList from the grid's rows 1 .. last: first the
  // rows marked 連携 (keys), then the others, each in ascending field number. Names are
  // the A項目 text, else the B項目 text, for fixed-length files or with top-row names;
  // otherwise FD001, FD002, ... Returns the key list for SortedSelection::SetSortKeys,
  // e.g. "FD001,FD003 NU".
  std::string BuildFieldList(const FieldGrid& grid, bool topRowNames, int fileKind);
  // True when field number `fieldNo` is in NotLoadedList.
  bool IsNotLoaded(int fieldNo) const;
  // Width of every field from the longest cell of the field in the first 100 rows of
  // `left`: (bytes + 1) x charWidth, kept within 48 .. 200.
  void MeasureColumns(const RowTable& left, int charWidth);
  // Empties the layout.
  void Clear();

  std::vector<ResultField> Fields;
  int KeyCount = 0;                // the first KeyCount fields are the keys
  std::vector<int> NotLoadedList;  // field numbers marked 未取込, at most 10
};

// "FD%03d" of a field number: the column name of that field in a row table.
std::string FieldColumnName(int fieldNo);

}  // namespace korvel
