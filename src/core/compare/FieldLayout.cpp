#include "compare/FieldLayout.h"

#include <algorithm>
#include <cstdio>

#include "platform/Codepage.h"

namespace korvel {

std::string FieldColumnName(int fieldNo) {
  char name[24];
  std::snprintf(name, sizeof name, "FD%03d", fieldNo);
  return name;
}

void FieldLayout::Clear() {
  fields_.clear();
  tolerance_ = {};
  KeyCount = 0;
  NotLoadedList.clear();
  notLoaded_[0].clear();
  notLoaded_[1].clear();
  rightKeyList_.clear();
}

std::string FieldLayout::BuildFieldList(const FieldGrid& grid, bool topRowNames, int fileKind,
                                        const DecimalNumber& tolerance) {
  Clear();
  tolerance_ = tolerance;
  std::string keyList;
  const bool namesFromGrid = fileKind == kFileKindFixed || topRowNames;
  auto makeField = [&](int j, bool isKey) {
    ResultField f;
    f.IsKey = isKey;
    // Row j of the grid is field number j of both files, unless fields pair by name.
    f.FieldNoLeft = grid.FieldNo(j, Side::kLeft);
    f.FieldNoRight = grid.FieldNo(j, Side::kRight);
    f.ListNo = j;
    f.Numeric = isKey && grid.IsMarked(j, FieldGrid::kNumeric);
    // A key keeps its own numeric mode; 数値比較 is a choice of the other fields.
    f.Compare = MakeFieldCompare(grid.IsMarked(j, FieldGrid::kIgnoreSpaces),
                                 !isKey && grid.IsMarked(j, FieldGrid::kNumberCompare));
    if (IsNumberCompare(f.Compare)) f.Tolerance = tolerance_;
    f.NotCompared = grid.IsMarked(j, FieldGrid::kNotCompared);
    f.NotLoaded = grid.IsMarked(j, FieldGrid::kNotLoaded);
    if (namesFromGrid) {
      f.SetName(grid.RowName(j));
    } else {
      f.SetName(FieldColumnName(j));
    }
    if (f.NotLoaded && static_cast<int>(NotLoadedList.size()) < kMaxNotLoaded) {
      NotLoadedList.push_back(j);
      for (Side side : {Side::kLeft, Side::kRight}) {
        if (f.FieldNo(side) != kNoFieldNo) notLoaded_[SideIndex(side)].push_back(f.FieldNo(side));
      }
    }
    fields_.push_back(f);
  };
  for (int j = 1; j < grid.RowCount(); ++j) {
    if (!grid.IsMarked(j, FieldGrid::kKey)) continue;
    makeField(j, true);
    // A key of a one-sided row stays out of the sort; the run refuses such a grid.
    const ResultField& key = fields_.back();
    for (Side side : {Side::kLeft, Side::kRight}) {
      std::string& list = side == Side::kLeft ? keyList : rightKeyList_;
      if (key.FieldNo(side) == kNoFieldNo) continue;
      if (!list.empty()) list += ',';
      list += FieldColumnName(key.FieldNo(side));
      if (key.Numeric) list += " NU";
    }
  }
  KeyCount = static_cast<int>(fields_.size());
  for (int j = 1; j < grid.RowCount(); ++j) {
    if (!grid.IsMarked(j, FieldGrid::kKey)) makeField(j, false);
  }
  return keyList;
}

void FieldLayout::ClearDiffCounts() {
  for (ResultField& f : fields_) f.DiffCount = 0;
}

void FieldLayout::SetCompareFlags(std::size_t index, bool ignoreSpaces, bool notCompared,
                                  bool number) {
  ResultField& f = fields_[index];
  f.Compare = MakeFieldCompare(ignoreSpaces, number);
  f.Tolerance = number ? tolerance_ : DecimalNumber{};
  f.NotCompared = notCompared;
}

bool FieldLayout::IsNotLoaded(int fieldNo) const {
  return std::find(NotLoadedList.begin(), NotLoadedList.end(), fieldNo) != NotLoadedList.end();
}

bool FieldLayout::IsNotLoaded(Side side, int fieldNo) const {
  const std::vector<int>& list = notLoaded_[SideIndex(side)];
  return std::find(list.begin(), list.end(), fieldNo) != list.end();
}

}  // namespace korvel
