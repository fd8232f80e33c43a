#include "compare/RowTable.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "TestUtil.h"
#include "compare/Collation.h"
#include "core/compare/RowTableTestUtil.h"
namespace korvel {
namespace {

using test::AddRow;
using test::Cat;
using test::Define;
using test::S;

TEST(ColumnDefsTest, AddRefusesOversizeAndDuplicateNames) {
  ColumnDefs def;
  EXPECT_EQ(def.Add("FD001", 5000), 0);
  EXPECT_EQ(def.Add("FD002", 5001), ColumnDefs::kTooLarge);
  EXPECT_EQ(def.Add("fd001", 10), ColumnDefs::kDuplicate);
  EXPECT_EQ(def.Add(S("区分"), 10), 0);
  EXPECT_EQ(def.Count(), 2);
  EXPECT_EQ(def.Get(1)->Name, S("区分"));
  EXPECT_EQ(def.Get(0)->MaxSize, 5000);
  EXPECT_EQ(def.Get(2), nullptr);
  EXPECT_EQ(def.Get(-1), nullptr);
  // Names are cut to 30 bytes without splitting a double-byte character.
  EXPECT_EQ(def.Add(std::string(29, 'x') + S("あ"), 1), 0);
  EXPECT_EQ(def.Get(2)->Name, std::string(29, 'x'));
  def.Clear();
  EXPECT_EQ(def.Count(), 0);
}

// A name keeps at most 30 bytes; a double-byte character that would end past byte 30 is
// dropped whole, never halved.
TEST(ColumnDefsTest, NamesAreCutAtThirtyBytes) {
  const std::string hyo = S("表");  // 0x95 0x5C: its trail byte looks like a backslash
  const std::string kanji15 = S("あいうえおかきくけこさしすせそ");
  struct Case {
    std::string name;
    std::string kept;
  };
  const Case cases[] = {
      {std::string(30, 'x'), std::string(30, 'x')},
      {std::string(31, 'x'), std::string(30, 'x')},
      {std::string(40, 'x'), std::string(30, 'x')},
      {Cat(std::string(28, 'x'), hyo), Cat(std::string(28, 'x'), hyo)},
      {Cat(std::string(29, 'x'), hyo), std::string(29, 'x')},
      {Cat(std::string(29, 'x'), hyo, "y"), std::string(29, 'x')},
      {Cat(std::string(28, 'x'), hyo, "y"), Cat(std::string(28, 'x'), hyo)},
      {Cat(kanji15, "x"), kanji15},
      {Cat("x", kanji15), Cat("x", kanji15.substr(0, 28))},
      {std::string(31, '\xB1'), std::string(30, '\xB1')},  // half-width katakana: one byte each
  };
  for (const Case& c : cases) {
    ColumnDefs def;
    ASSERT_EQ(def.Add(c.name, 1), 0) << c.name.size() << " bytes";
    EXPECT_EQ(def.Get(0)->Name, c.kept) << c.name.size() << " bytes";
  }
  // The cut name is the one that must be unique.
  ColumnDefs def;
  EXPECT_EQ(def.Add(Cat(std::string(30, 'n'), "a"), 1), 0);
  EXPECT_EQ(def.Add(Cat(std::string(30, 'N'), "b"), 1), ColumnDefs::kDuplicate);
  EXPECT_EQ(def.Add(Cat(std::string(29, 'n'), hyo), 1), 0);
  EXPECT_EQ(def.Count(), 2);
}

TEST(RowTableTest, CellsAreStoredAndReadInPlace) {
  RowTable table;
  ColumnDefs empty;
  EXPECT_EQ(table.SetDefinition(empty), RowTable::kNoColumn);
  EXPECT_EQ(table.ColumnCount(), 0);

  Define(table, 3, 5);
  EXPECT_EQ(table.ColumnCount(), 4);
  table.NewRow();
  EXPECT_EQ(table.SetCell(-1, "x"), RowTable::kBadColumn);
  EXPECT_EQ(table.SetCell(4, "x"), RowTable::kNoColumn);
  EXPECT_EQ(table.SetCell(1, "12345"), 0);  // exactly MaxSize
  EXPECT_EQ(table.SetCell(2, "ab"), 0);
  EXPECT_EQ(table.SetCell(2, "123456"), RowTable::kTooLong);  // keeps "ab"
  EXPECT_EQ(table.CommitRow(), 0);
  table.NewRow();
  EXPECT_EQ(table.SetCell(3, S("漢字")), 0);
  EXPECT_EQ(table.CommitRow(), 0);

  ASSERT_EQ(table.RowCount(), 2);
  EXPECT_STREQ(table.GetCell(0, 0), "");
  EXPECT_STREQ(table.GetCell(1, 0), "12345");
  EXPECT_STREQ(table.GetCell(2, 0), "ab");
  EXPECT_STREQ(table.GetCell(3, 0), "");
  EXPECT_STREQ(table.GetCell(1, 1), "");  // NewRow emptied the working row
  EXPECT_EQ(table.CellView(3, 1), S("漢字"));
  EXPECT_EQ(table.GetCell(4, 0), nullptr);
  EXPECT_EQ(table.GetCell(-1, 0), nullptr);
  EXPECT_EQ(table.GetCell(1, 2), nullptr);
  EXPECT_EQ(table.CellView(4, 0).data(), nullptr);
  EXPECT_FALSE(table.Row(-1).Exists());
  EXPECT_TRUE(table.Row(1).Exists());

  // A new definition removes the rows; Clear removes them and keeps the columns.
  Define(table, 1);
  EXPECT_EQ(table.RowCount(), 0);
  AddRow(table, {"a"});
  table.Clear();
  EXPECT_EQ(table.RowCount(), 0);
  EXPECT_EQ(table.ColumnCount(), 2);
}

TEST(RowTableTest, RowsAboveSixtyFourKilobytesStayWhole) {
  RowTable table;
  Define(table, 255);
  std::vector<std::string> cells;
  for (int k = 1; k <= 255; ++k) cells.push_back(std::string(500, static_cast<char>('A' + k % 26)));
  AddRow(table, cells);
  AddRow(table, {"second"});
  for (int k = 1; k <= 255; ++k) {
    ASSERT_EQ(table.CellView(k, 0), cells[static_cast<std::size_t>(k - 1)]) << k;
  }
  EXPECT_EQ(table.CellView(1, 1), "second");
  EXPECT_EQ(table.CellView(255, 1), "");
}

TEST(RowTableTest, ManyRowsAcrossBlocksReadBack) {
  RowTable table;
  Define(table, 3);
  std::mt19937 rng(7);
  std::vector<std::vector<std::string>> expected;
  for (int r = 0; r < 20000; ++r) {
    std::vector<std::string> cells;
    for (int k = 0; k < 3; ++k) {
      cells.push_back(std::to_string(r) + std::string(rng() % 40, 'x'));
    }
    AddRow(table, cells);
    expected.push_back(cells);
  }
  // Views taken early stay valid while more rows arrive.
  std::string_view early = table.CellView(1, 0);
  AddRow(table, {std::string(300, 'z')});
  EXPECT_EQ(early, expected[0][0]);
  for (int r = 0; r < 20000; ++r) {
    for (int k = 0; k < 3; ++k) {
      ASSERT_EQ(table.CellView(k + 1, r),
                expected[static_cast<std::size_t>(r)][static_cast<std::size_t>(k)]);
    }
  }
}

}  // namespace
}  // namespace korvel
