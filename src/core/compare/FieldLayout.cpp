#include "compare/FieldLayout.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "platform/Codepage.h"

namespace korvel {

void LayoutField::SetName(std::string_view name) {
  // Cut at 63 bytes without leaving half of a double-byte character behind.
  std::size_t n = 0;
  while (n < name.size()) {
    std::size_t w = IsLeadByte(name[n]) && n + 1 < name.size() ? 2 : 1;
    if (n + w > sizeof Name - 1) break;
    n += w;
  }
  std::memcpy(Name, name.data(), n);
  Name[n] = '\0';
}

std::string FieldColumnName(int fieldNo) {
  char name[24];
  std::snprintf(name, sizeof name, "FD%03d", fieldNo);
  return name;
}

void FieldLayout::Clear() {
  fields_.clear();
  KeyCount = 0;
  NotLoadedList.clear();
}

std::string FieldLayout::BuildFieldList(const FieldGrid& grid, bool topRowNames, int fileKind) {
  Clear();
  std::string keyList;
  const bool namesFromGrid = fileKind == kFileKindFixed || topRowNames;
  auto makeField = [&](int j, bool isKey) {
    LayoutField f;
    f.IsKey = isKey ? 1 : 0;
    f.FieldNo = j;
    f.Numeric = isKey && grid.IsMarked(j, FieldGrid::kNumeric) ? 1 : 0;
    f.IgnoreSpaces = grid.IsMarked(j, FieldGrid::kIgnoreSpaces) ? 1 : 0;
    f.NotCompared = grid.IsMarked(j, FieldGrid::kNotCompared) ? 1 : 0;
    f.NotLoaded = grid.IsMarked(j, FieldGrid::kNotLoaded) ? 1 : 0;
    if (namesFromGrid) {
      const std::string& left = grid.Cell(j, FieldGrid::kNameA);
      f.SetName(left.empty() ? grid.Cell(j, FieldGrid::kNameB) : left);
    } else {
      f.SetName(FieldColumnName(j));
    }
    if (f.NotLoaded && static_cast<int>(NotLoadedList.size()) < kMaxNotLoaded) {
      NotLoadedList.push_back(j);
    }
    fields_.push_back(f);
  };
  for (int j = 1; j < grid.RowCount(); ++j) {
    if (!grid.IsMarked(j, FieldGrid::kKey)) continue;
    makeField(j, true);
    if (!keyList.empty()) keyList += ',';
    keyList += FieldColumnName(j);
    if (grid.IsMarked(j, FieldGrid::kNumeric)) keyList += " NU";
  }
  KeyCount = static_cast<int>(fields_.size());
  for (int j = 1; j < grid.RowCount(); ++j) {
    if (!grid.IsMarked(j, FieldGrid::kKey)) makeField(j, false);
  }
  return keyList;
}

void FieldLayout::ClearDiffCounts() {
  for (LayoutField& f : fields_) f.DiffCount = 0;
}

void FieldLayout::SetCompareFlags(std::size_t index, bool ignoreSpaces, bool notCompared) {
  LayoutField& f = fields_[index];
  f.IgnoreSpaces = ignoreSpaces ? 1 : 0;
  f.NotCompared = notCompared ? 1 : 0;
}

bool FieldLayout::IsNotLoaded(int fieldNo) const {
  return std::find(NotLoadedList.begin(), NotLoadedList.end(), fieldNo) != NotLoadedList.end();
}

}  // namespace korvel
