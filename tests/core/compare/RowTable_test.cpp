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
  const std::string kanji = S("漢字");
  EXPECT_EQ(table.SetCell(3, kanji), 0);
  EXPECT_EQ(table.CommitRow(), 0);

  ASSERT_EQ(table.RowCount(), 2);
  EXPECT_EQ(table.CellView(0, 0), "");
  EXPECT_EQ(table.CellView(1, 0), "12345");
  EXPECT_EQ(table.CellView(2, 0), "ab");
  EXPECT_EQ(table.CellView(3, 0), "");
  EXPECT_EQ(table.CellView(1, 1), "");  // NewRow emptied the working row
  EXPECT_EQ(table.CellView(3, 1), S("漢字"));
  // An empty cell is a cell all the same: only a missing one has no data.
  EXPECT_NE(table.CellView(0, 0).data(), nullptr);
  EXPECT_NE(table.CellView(3, 0).data(), nullptr);
  EXPECT_EQ(table.CellView(4, 0).data(), nullptr);
  EXPECT_EQ(table.CellView(-1, 0).data(), nullptr);
  EXPECT_EQ(table.CellView(1, 2).data(), nullptr);
  EXPECT_EQ(table.CellView(1, -1).data(), nullptr);
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

// The bytes of cell `col` of row `row`: every byte tells where it belongs, so a cell read
// from a neighbour's place or shifted by a byte never matches.
std::string CellText(int row, int col, std::size_t size) {
  std::string text(size, '\0');
  for (std::size_t i = 0; i < size; ++i) {
    text[i] = static_cast<char>(
        (static_cast<std::size_t>(row) * 131 + static_cast<std::size_t>(col) * 17 + i * 7) % 256);
  }
  return text;
}

// Rows whose offsets need 32 bits, among rows whose offsets fit in 16, each read back
// whole; a row's packed size shows which width it was given.
TEST(RowTableTest, RowsOfEveryWidthReadBackExactly) {
  struct Case {
    const char* what;
    std::vector<std::size_t> sizes;  // by column from FD001
    std::size_t width;               // of the offsets: the least that holds the texts' size
  };
  auto repeat = [](int n, std::size_t size) {
    return std::vector<std::size_t>(static_cast<std::size_t>(n), size);
  };
  auto with = [](std::vector<std::size_t> sizes, std::size_t at, std::size_t size) {
    sizes[at] = size;
    return sizes;
  };
  std::vector<std::size_t> boundary = repeat(14, 5000);
  boundary[13] = 535;  // 13 x 5000 + 535 = 65535
  const Case cases[] = {
      {"all cells empty", repeat(1000, 0), 1},
      {"one short cell", {3}, 1},
      {"exactly 255 bytes", {200, 55}, 1},
      {"exactly 255 bytes in the last cell", with(repeat(1000, 0), 999, 255), 1},
      {"256 bytes", {200, 56}, 2},
      {"256 bytes, then empty cells", with(repeat(7, 0), 3, 256), 2},
      {"255 x 500", repeat(255, 500), 4},
      {"255 x 500 with empty first, middle and last cells",
       with(with(with(repeat(255, 500), 0, 0), 127, 0), 254, 0), 4},
      {"14 x 5000", repeat(14, 5000), 4},
      {"13 x 5000", repeat(13, 5000), 2},
      {"exactly 65535 bytes", boundary, 2},
      {"65536 bytes", with(boundary, 13, 536), 4},
      {"65536 bytes over 40 cells", with(with(repeat(40, 1500), 0, 5000), 39, 3536), 4},
      {"exactly 65535 bytes, then an empty cell", with(with(repeat(15, 5000), 13, 535), 14, 0), 2},
      {"1000 x 5000", repeat(1000, 5000), 4},
  };
  RowTable table;
  Define(table, 1000, 5000);
  const std::size_t n = 1001;  // 区分 and FD001 .. FD1000
  std::vector<std::vector<std::string>> expected;
  for (const Case& c : cases) {
    // Each case's row follows a short one, so that rows of different widths take turns.
    for (bool isCase : {false, true}) {
      const int row = table.RowCount();
      std::vector<std::string> cells(n);
      if (isCase) {
        for (std::size_t k = 0; k < c.sizes.size(); ++k)
          cells[k + 1] = CellText(row, static_cast<int>(k + 1), c.sizes[k]);
      } else {
        cells[1] = CellText(row, 1, 9);
      }
      std::size_t texts = 0;
      for (const std::string& cell : cells) texts += cell.size();
      const std::size_t width = isCase ? c.width : 1;
      const std::size_t before = table.RowBytes();
      table.NewRow();
      for (std::size_t k = 1; k < n; ++k)
        ASSERT_EQ(table.SetCell(static_cast<int>(k), cells[k]), 0) << c.what;
      ASSERT_EQ(table.CommitRow(), 0) << c.what;
      EXPECT_EQ(table.RowBytes() - before, width * n + texts)
          << c.what << ", " << texts << " bytes";
      expected.push_back(std::move(cells));
    }
  }
  // Read back after every row is in: no row spilled into the next.
  ASSERT_EQ(table.RowCount(), static_cast<int>(expected.size()));
  for (std::size_t r = 0; r < expected.size(); ++r) {
    const RowView row = table.Row(static_cast<int>(r));
    for (std::size_t k = 0; k < n; ++k) {
      ASSERT_EQ(row.Cell(static_cast<int>(k)), expected[r][k])
          << cases[r / 2].what << ", row " << r << ", column " << k;
    }
    EXPECT_EQ(row.Cell(static_cast<int>(n)).data(), nullptr);
  }
}

// The table views the caller's texts only until CommitRow: what the caller does with them
// afterwards never reaches a stored row.
TEST(RowTableTest, TheCallersTextsAreCopiedByCommitRow) {
  RowTable table;
  Define(table, 3, 20);
  std::string buffer = "alpha|beta|gamma";
  const std::string_view all(buffer);
  table.NewRow();
  ASSERT_EQ(table.SetCell(1, all.substr(0, 5)), 0);
  ASSERT_EQ(table.SetCell(2, all.substr(6, 4)), 0);
  ASSERT_EQ(table.SetCell(3, all.substr(11)), 0);
  // A refused text leaves the cell on the caller's earlier text.
  const std::string tooLong(21, 'x');
  ASSERT_EQ(table.SetCell(3, tooLong), RowTable::kTooLong);
  ASSERT_EQ(table.CommitRow(), 0);
  // The buffer is overwritten for the next record, and then freed.
  buffer.replace(0, buffer.size(), "ALPHA|BETA|GAMMA");
  table.NewRow();
  ASSERT_EQ(table.SetCell(2, all.substr(6, 4)), 0);
  ASSERT_EQ(table.CommitRow(), 0);
  buffer.assign(100, '#');
  buffer.shrink_to_fit();
  buffer.clear();

  const std::vector<std::vector<std::string>> expected = {{"", "alpha", "beta", "gamma"},
                                                          {"", "", "BETA", ""}};
  for (int r = 0; r < 2; ++r) {
    for (int k = 0; k < 4; ++k) {
      EXPECT_EQ(table.CellView(k, r),
                expected[static_cast<std::size_t>(r)][static_cast<std::size_t>(k)])
          << "row " << r << ", column " << k;
    }
  }
}

// Marks live beside the rows' places: setting and clearing them never disturbs a cell or
// another row's mark.
TEST(RowTableTest, MarksAreKeptByRowAndLeaveTheCellsAlone) {
  RowTable table;
  Define(table, 14, 5000);
  const std::string wide(5000, 'w');
  const std::string medium(30, 'm');
  std::vector<std::vector<std::string>> expected;
  for (int r = 0; r < 20000; ++r) {
    // Rows of every offset width: every 1000th needs 32 bits (14 cells of 5000 bytes do not
    // fit 16), every 777th 16 bits, the others 8.
    std::vector<std::string> cells(14, r % 1000 == 0 ? wide : (r % 777 == 0 ? medium : "x"));
    cells[0] = std::to_string(r);
    AddRow(table, cells);
    expected.push_back(cells);
  }
  auto marked = [](int r) { return r % 3 == 0 || r == 19999; };
  for (int r = 0; r < 20000; ++r) {
    if (marked(r)) table.SetMarked(r, true);
  }
  table.SetMarked(20000, true);  // no such row: ignored
  table.SetMarked(-1, true);
  table.SetMarked(6, false);
  for (int r = 0; r < 20000; ++r) {
    ASSERT_EQ(table.IsMarked(r), marked(r) && r != 6) << r;
    for (int k = 0; k < 14; ++k) {
      ASSERT_EQ(table.CellView(k + 1, r),
                expected[static_cast<std::size_t>(r)][static_cast<std::size_t>(k)])
          << r;
    }
  }
  EXPECT_FALSE(table.IsMarked(20000));
  EXPECT_FALSE(table.IsMarked(-1));
}

}  // namespace
}  // namespace korvel
