#include "compare/FieldLayout.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "TestUtil.h"

namespace korvel {
namespace {

using test::S;

FieldGrid GridWithNames(const std::vector<std::string>& left,
                        const std::vector<std::string>& right) {
  FieldGrid grid;
  int n = static_cast<int>(std::max(left.size(), right.size()));
  grid.GrowRows(n + 1);
  for (int i = 1; i <= n; ++i) {
    grid.SetCell(i, FieldGrid::kNumeric, S("－"));
    if (i <= static_cast<int>(left.size()))
      grid.SetCell(i, 5, left[static_cast<std::size_t>(i - 1)]);
    if (i <= static_cast<int>(right.size())) {
      grid.SetCell(i, 6, right[static_cast<std::size_t>(i - 1)]);
    }
  }
  return grid;
}

// The fields' numbers on one side, in layout order.
std::vector<int> FieldNumbers(const FieldLayout& layout, Side side = Side::kLeft) {
  std::vector<int> numbers;
  for (const ResultField& f : layout.Fields()) numbers.push_back(f.FieldNo(side));
  return numbers;
}

TEST(FieldLayoutTest, KeysComeFirstAndMakeTheKeyList) {
  FieldGrid grid = GridWithNames({"a", "b", "c", "d"}, {"a", "b", "c", "d"});
  grid.Toggle(3, FieldGrid::kKey);
  grid.Toggle(3, FieldGrid::kNumeric);
  grid.Toggle(1, FieldGrid::kKey);
  grid.Toggle(2, FieldGrid::kIgnoreSpaces);
  grid.Toggle(4, FieldGrid::kNotCompared);
  grid.Toggle(4, FieldGrid::kNotLoaded);
  FieldLayout layout;
  EXPECT_EQ(layout.BuildFieldList(grid, false, kFileKindCsv), "FD001,FD003 NU");
  EXPECT_EQ(layout.KeyCount, 2);
  EXPECT_EQ(FieldNumbers(layout), (std::vector<int>{1, 3, 2, 4}));
  // A grid row is the same field number in both files.
  EXPECT_EQ(FieldNumbers(layout, Side::kRight), (std::vector<int>{1, 3, 2, 4}));
  const ResultField& f3 = layout.Fields()[1];
  EXPECT_EQ(f3.IsKey, 1);
  EXPECT_EQ(f3.Numeric, 1);
  EXPECT_EQ(layout.Fields()[0].Numeric, 0);
  EXPECT_EQ(layout.Fields()[2].IsKey, 0);
  EXPECT_EQ(layout.Fields()[2].Compare, FieldCompare::kIgnoreSpaces);
  EXPECT_EQ(layout.Fields()[3].Compare, FieldCompare::kText);
  EXPECT_EQ(layout.Fields()[3].NotCompared, 1);
  EXPECT_EQ(layout.Fields()[3].NotLoaded, 1);
  EXPECT_EQ(layout.Fields()[3].DiffCount, 0);
  // Without top-row names the fields are named by number, whatever the grid shows.
  EXPECT_EQ(layout.Fields()[0].NameView(), "FD001");
  EXPECT_EQ(layout.Fields()[1].NameView(), "FD003");
  EXPECT_EQ(layout.NotLoadedList, std::vector<int>{4});
  EXPECT_TRUE(layout.IsNotLoaded(4));
  EXPECT_FALSE(layout.IsNotLoaded(3));

  // Rebuilding starts afresh: no key, empty key list.
  FieldGrid plain = GridWithNames({"a", "b"}, {});
  EXPECT_EQ(layout.BuildFieldList(plain, false, kFileKindCsv), "");
  EXPECT_EQ(layout.KeyCount, 0);
  EXPECT_EQ(FieldNumbers(layout), (std::vector<int>{1, 2}));
  EXPECT_TRUE(layout.NotLoadedList.empty());
}

TEST(FieldLayoutTest, NamesFromTheGridWithTopRowNamesOrFixedLength) {
  FieldGrid grid = GridWithNames({"A", S("名前")}, {"A", "x", "C"});
  FieldLayout layout;
  (void)layout.BuildFieldList(grid, true, kFileKindCsv);
  ASSERT_EQ(layout.Fields().size(), 3u);
  EXPECT_EQ(layout.Fields()[1].NameView(), S("名前"));
  EXPECT_EQ(layout.Fields()[2].NameView(), "C");  // the right name fills in
  (void)layout.BuildFieldList(grid, false, kFileKindFixed);
  EXPECT_EQ(layout.Fields()[2].NameView(), "C");
  (void)layout.BuildFieldList(grid, false, kFileKindDelimited);
  EXPECT_EQ(layout.Fields()[2].NameView(), "FD003");

  ResultField f;
  f.SetName(std::string(62, 'x') + S("名"));  // would end half-way at 63 bytes
  EXPECT_EQ(f.NameView(), std::string(62, 'x'));
}

TEST(FieldLayoutTest, NotLoadedListKeepsTenNumbers) {
  FieldGrid grid = GridWithNames(std::vector<std::string>(12, "n"), {});
  for (int i = 1; i <= 12; ++i) grid.Toggle(i, FieldGrid::kNotLoaded);
  FieldLayout layout;
  (void)layout.BuildFieldList(grid, false, kFileKindCsv);
  EXPECT_EQ(layout.NotLoadedList.size(), 10u);
  EXPECT_TRUE(layout.IsNotLoaded(10));
  EXPECT_FALSE(layout.IsNotLoaded(11));
  EXPECT_EQ(layout.Fields()[10].NotLoaded, 1);  // the flag stays; the field is loaded
}

}  // namespace
}  // namespace korvel
