#include "compare/FieldLayout.h"

#include <algorithm>
#include <cstdio>

#include "compare/RowTable.h"
#include "platform/Codepage.h"

namespace korvel {

std::string FieldColumnName(int fieldNo) {
  char name[24];
  std::snprintf(name, sizeof name, "FD%03d", fieldNo);
  return name;
}

void FieldLayout::Clear() {
  Fields.clear();
  KeyCount = 0;
  NotLoadedList.clear();
}

std::string FieldLayout::BuildFieldList(const FieldGrid& grid, bool topRowNames, int fileKind) {
  Clear();
  std::string keyList;
  const bool namesFromGrid = fileKind == kFileKindFixed || topRowNames;
  auto makeField = [&](int j, bool isKey) {
    ResultField f;
    f.IsKey = isKey;
    // Row j of the grid is field number j of both files.
    f.FieldNoLeft = j;
    f.FieldNoRight = j;
    f.Numeric = isKey && grid.IsMarked(j, FieldGrid::kNumeric);
    f.Compare = grid.IsMarked(j, FieldGrid::kIgnoreSpaces) ? FieldCompare::kIgnoreSpaces
                                                           : FieldCompare::kText;
    f.NotCompared = grid.IsMarked(j, FieldGrid::kNotCompared);
    f.NotLoaded = grid.IsMarked(j, FieldGrid::kNotLoaded);
    f.Width = kBuiltWidth;
    if (namesFromGrid) {
      const std::string& left = grid.Cell(j, FieldGrid::kNameA);
      f.SetName(left.empty() ? grid.Cell(j, FieldGrid::kNameB) : left);
    } else {
      f.SetName(FieldColumnName(j));
    }
    if (f.NotLoaded && static_cast<int>(NotLoadedList.size()) < kMaxNotLoaded) {
      NotLoadedList.push_back(j);
    }
    Fields.push_back(f);
  };
  for (int j = 1; j < grid.RowCount(); ++j) {
    if (!grid.IsMarked(j, FieldGrid::kKey)) continue;
    makeField(j, true);
    if (!keyList.empty()) keyList += ',';
    keyList += FieldColumnName(j);
    if (grid.IsMarked(j, FieldGrid::kNumeric)) keyList += " NU";
  }
  KeyCount = static_cast<int>(Fields.size());
  for (int j = 1; j < grid.RowCount(); ++j) {
    if (!grid.IsMarked(j, FieldGrid::kKey)) makeField(j, false);
  }
  return keyList;
}

bool FieldLayout::IsNotLoaded(int fieldNo) const {
  return std::find(NotLoadedList.begin(), NotLoadedList.end(), fieldNo) != NotLoadedList.end();
}

void FieldLayout::MeasureColumns(const RowTable& left, int charWidth) {
  const int rows = std::min(left.RowCount(), kMeasuredRows);
  for (ResultField& f : Fields) {
    std::size_t longest = 0;
    for (int r = 0; r < rows; ++r) {
      longest = std::max(longest, left.CellView(f.FieldNoLeft, r).size());
    }
    long width = (static_cast<long>(longest) + 1) * charWidth;
    f.Width = static_cast<std::int32_t>(std::clamp<long>(width, kMinWidth, kMaxWidth));
  }
}

}  // namespace korvel
