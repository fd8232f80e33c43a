#pragma once
// Builders of small row tables shared by the tests of RowTable and SortedSelection.

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "TestUtil.h"
#include "compare/RowTable.h"

namespace korvel::test {

inline std::string ColumnName(int k) {
  char name[16];
  std::snprintf(name, sizeof name, "FD%03d", k);
  return name;
}

// A table with columns 区分, FD001 .. FDn, each up to `maxSize` bytes.
inline void Define(RowTable& table, int n, int maxSize = 500) {
  ColumnDefs def;
  ASSERT_EQ(def.Add(S("区分"), 10), 0);
  for (int k = 1; k <= n; ++k) ASSERT_EQ(def.Add(ColumnName(k), maxSize), 0);
  ASSERT_EQ(table.SetDefinition(def), 0);
}

inline void AddRow(RowTable& table, const std::vector<std::string>& cells) {
  table.NewRow();
  for (std::size_t k = 0; k < cells.size(); ++k) {
    ASSERT_EQ(table.SetCell(static_cast<int>(k) + 1, cells[k]), 0);
  }
  ASSERT_EQ(table.CommitRow(), 0);
}

}  // namespace korvel::test
