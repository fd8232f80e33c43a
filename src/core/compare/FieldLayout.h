#pragma once
// The field layout of a comparison: the fields both sides share (ResultField,
// compare/ResultModel.h), in the order they are shown (the key fields first), with the
// per-field choices of the field-control grid and the per-field results. It holds no
// pixels: column widths and positions are the result grid's (grid/ColumnGeometry.h).

#include <cstddef>
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

  // Rebuilds Fields, KeyCount and NotLoadedList from the grid's rows 1 .. last: first the
  // rows marked 連携 (keys), then the others, each in ascending row number. Each field takes
  // its row's field numbers (FieldGrid::FieldNo) and the row as ListNo. Names are the
  // A項目 text, else the B項目 text, for fixed-length files or with top-row names;
  // otherwise FD001, FD002, ... Returns the left file's key list for
  // SortedSelection::SetSortKeys, e.g. "FD001,FD003 NU"; RightKeyList the right file's.
  // The fields marked 数値比較 get `tolerance`.
  std::string BuildFieldList(const FieldGrid& grid, bool topRowNames, int fileKind,
                             const DecimalNumber& tolerance = {});
  const std::string& RightKeyList() const { return rightKeyList_; }
  // True when row `fieldNo` is in NotLoadedList.
  bool IsNotLoaded(int fieldNo) const;
  // True when field number `fieldNo` of `side`'s file is one of NotLoadedList's fields.
  bool IsNotLoaded(Side side, int fieldNo) const;
  // Empties the layout.
  void Clear();

  // The fields, keys first. Valid until the next BuildFieldList or Clear.
  const std::vector<ResultField>& Fields() const { return fields_; }
  // The classification's counts: every DiffCount back to 0; one more differing record in
  // field `index` (an index into Fields).
  void ClearDiffCounts();
  void CountDifference(std::size_t index) { ++fields_[index].DiffCount; }
  void CountDifferences(std::size_t index, int records) { fields_[index].DiffCount += records; }
  // The re-setting's choices for field `index`: compared without spaces, not compared,
  // compared as numbers (within the tolerance of the last BuildFieldList).
  void SetCompareFlags(std::size_t index, bool ignoreSpaces, bool notCompared, bool number);

  int KeyCount = 0;                // the first KeyCount fields are the keys
  std::vector<int> NotLoadedList;  // rows marked 未取込, at most 10

 private:
  static std::size_t SideIndex(Side side) { return side == Side::kLeft ? 0 : 1; }

  std::vector<ResultField> fields_;
  std::vector<int> notLoaded_[2];  // NotLoadedList's field numbers in each side's file
  std::string rightKeyList_;
  DecimalNumber tolerance_;
};

// "FD%03d" of a field number: the column name of that field in a row table.
std::string FieldColumnName(int fieldNo);

}  // namespace korvel
