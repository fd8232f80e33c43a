#include "grid/ColumnGeometry.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "TestUtil.h"
#include "compare/FieldLayout.h"
#include "compare/RowTable.h"

namespace korvel {
namespace {

using test::S;

// Fields 1 .. n of a layout without keys.
std::vector<ResultField> PlainFields(int n) {
  std::vector<ResultField> fields(static_cast<std::size_t>(n));
  for (int i = 0; i < n; ++i) {
    fields[static_cast<std::size_t>(i)].FieldNoLeft = i + 1;
    fields[static_cast<std::size_t>(i)].FieldNoRight = i + 1;
  }
  return fields;
}

// A left table of 120 rows over the columns 区分 and FD001 .. FD003.
void FillTable(RowTable& table) {
  ColumnDefs def;
  ASSERT_EQ(def.Add(S("区分"), 10), 0);
  for (int k = 1; k <= 3; ++k) ASSERT_EQ(def.Add(FieldColumnName(k), 500), 0);
  ASSERT_EQ(table.SetDefinition(def), 0);
  const std::string x10(10, 'x'), y300(300, 'y'), z40(40, 'z');
  for (int r = 0; r < 120; ++r) {
    table.NewRow();
    ASSERT_EQ(table.SetCell(1, r == 5 ? std::string_view(x10) : "ab"), 0);
    ASSERT_EQ(table.SetCell(2, r == 100 ? std::string_view(y300) : ""), 0);  // row 100: not read
    ASSERT_EQ(table.SetCell(3, r == 99 ? std::string_view(z40) : "z"), 0);
    ASSERT_EQ(table.CommitRow(), 0);
  }
}

TEST(ColumnGeometryTest, WidthsFromTheFirstHundredLeftRows) {
  RowTable table;
  FillTable(table);
  ColumnGeometry columns;
  columns.Measure(PlainFields(4), table, 7);
  ASSERT_EQ(columns.FieldCount(), 4);
  EXPECT_EQ(columns.Width(0), 77);   // (10 + 1) x 7
  EXPECT_EQ(columns.Width(1), 48);   // empty: at least 48
  EXPECT_EQ(columns.Width(2), 200);  // (40 + 1) x 7 = 287: at most 200
  EXPECT_EQ(columns.Width(3), 48);   // a field beyond the table's columns
  // Measured afresh, nothing is shown yet.
  EXPECT_EQ(columns.PaneX(0, 1), 0);
  EXPECT_EQ(columns.PaneX(0, 2), 0);

  // A one-character cell with "W" 8 pixels wide is (1 + 1) x 8 = 16: at least 48.
  RowTable one;
  ColumnDefs def;
  ASSERT_EQ(def.Add(S("区分"), 10), 0);
  ASSERT_EQ(def.Add(FieldColumnName(1), 500), 0);
  ASSERT_EQ(one.SetDefinition(def), 0);
  one.NewRow();
  ASSERT_EQ(one.SetCell(1, "1"), 0);
  ASSERT_EQ(one.CommitRow(), 0);
  columns.Measure(PlainFields(1), one, 8);
  EXPECT_EQ(columns.FieldCount(), 1);
  EXPECT_EQ(columns.Width(0), 48);

  RowTable empty;
  columns.Measure(PlainFields(2), empty, 7);
  EXPECT_EQ(columns.Width(0), 48);
  EXPECT_EQ(columns.Width(1), 48);
  columns.Clear();
  EXPECT_EQ(columns.FieldCount(), 0);
}

// Fields paired by name: a field the left file lacks is measured in the right file, a field
// the right file lacks in the left one, a shared field in the left one only.
TEST(ColumnGeometryTest, FieldsTheLeftFileLacksAreMeasuredOnTheRight) {
  RowTable left;
  FillTable(left);
  RowTable right;
  ColumnDefs def;
  ASSERT_EQ(def.Add(S("区分"), 10), 0);
  ASSERT_EQ(def.Add(FieldColumnName(1), 500), 0);
  ASSERT_EQ(right.SetDefinition(def), 0);
  right.NewRow();
  const std::string r20(20, 'r');
  ASSERT_EQ(right.SetCell(1, r20), 0);
  ASSERT_EQ(right.CommitRow(), 0);
  struct Case {
    int leftNo, rightNo, width;
  };
  const Case cases[] = {
      {kNoFieldNo, 1, 147},  // (20 + 1) x 7, from the right file
      {1, kNoFieldNo, 77},   // the left file's (10 + 1) x 7
      {1, 1, 77},            // shared: the left file decides
      {2, 1, 48},            // shared: the left file's empty cells, whatever the right holds
  };
  for (const Case& c : cases) {
    ResultField f;
    f.FieldNoLeft = c.leftNo;
    f.FieldNoRight = c.rightNo;
    ColumnGeometry columns;
    columns.Measure({f}, left, 7, &right);
    EXPECT_EQ(columns.Width(0), c.width) << c.leftNo << " " << c.rightNo;
    // Without the right table, as before: the left file alone.
    columns.Measure({f}, left, 7);
    EXPECT_EQ(columns.Width(0), c.leftNo == kNoFieldNo ? 48 : c.width);
  }
}

TEST(ColumnGeometryTest, HeaderNamesWidenTheirColumns) {
  RowTable table;
  FillTable(table);  // cells of 10, 0 (300 only past row 99) and up to 40 bytes
  struct Case {
    const char* what;
    int field;
    std::string name;
    int width;
  };
  const Case cases[] = {
      {"a name shorter than the cells", 0, "ab", 77},
      {"a name longer than the cells", 0, std::string(14, 'n'), 105},        // (14 + 1) x 7
      {"a double-byte name over empty cells", 1, S("社員番号コード"), 105},  // 14 bytes
      {"a short name over empty cells", 1, "ID", 48},
      {"a long name: still at most 200", 1, std::string(60, 'n'), 200},
      {"no name", 1, "", 48},
  };
  for (const Case& c : cases) {
    std::vector<ResultField> fields = PlainFields(3);
    fields[static_cast<std::size_t>(c.field)].SetName(c.name);
    ColumnGeometry columns;
    columns.Measure(fields, table, 7);
    EXPECT_EQ(columns.Width(c.field), c.width) << c.what;
  }
}

TEST(ColumnGeometryTest, DraggedWidthsAndPaintedPositions) {
  RowTable table;
  FillTable(table);
  ColumnGeometry columns;
  columns.Measure(PlainFields(3), table, 7);
  columns.SetWidth(1, 3);
  columns.SetWidth(3, 90);  // no such field
  columns.SetWidth(-1, 90);
  EXPECT_EQ(columns.Width(1), 3);
  EXPECT_EQ(columns.FieldCount(), 3);
  EXPECT_EQ(columns.Width(3), ColumnGeometry::kUnmeasuredWidth);

  // One key, two fields in each pane: the painting's places are kept per pane.
  GridFrame frame;
  frame.keyCount = 1;
  frame.width = 700;
  columns.FillFrame(frame, 3);
  EXPECT_EQ(frame.widths, (std::vector<int>{77, 3, 200}));
  EXPECT_EQ(frame.leftX, (std::vector<int>{0, 0, 0}));
  frame.splitX = 400;
  const ColumnPlan plan = LayoutColumns(frame);
  columns.SetPainted(plan);
  EXPECT_EQ(columns.PaneX(0, 1), 85);
  EXPECT_EQ(columns.PaneX(0, 2), 85);
  EXPECT_EQ(columns.PaneX(1, 1), 85 + 77);
  EXPECT_EQ(columns.PaneX(2, 1), 85 + 77 + 3);
  EXPECT_EQ(columns.PaneX(1, 2), 400);
  EXPECT_EQ(columns.PaneX(2, 2), 403);
  EXPECT_EQ(columns.PaneX(7, 1), 0);

  // A frame of more fields than were measured: the others at the unmeasured width, unshown.
  GridFrame wider;
  columns.FillFrame(wider, 4);
  EXPECT_EQ(wider.widths, (std::vector<int>{77, 3, 200, 64}));
  EXPECT_EQ(wider.leftX, (std::vector<int>{85, 162, 165, 0}));
  EXPECT_EQ(wider.rightX, (std::vector<int>{85, 400, 403, 0}));
}

}  // namespace
}  // namespace korvel

namespace korvel {
namespace {

// While some fields are shown, indexes count in the shown list and widths stay each field's.
TEST(ColumnGeometryShownTest, IndexesCountInTheShownFields) {
  RowTable left;
  FillTable(left);
  ColumnGeometry geometry;
  geometry.Measure(PlainFields(4), left, 7);
  const std::vector<int> widths{geometry.Width(0), geometry.Width(1), geometry.Width(2),
                                geometry.Width(3)};
  geometry.ShowFields({0, 3});
  EXPECT_EQ(geometry.Width(0), widths[0]);
  EXPECT_EQ(geometry.Width(1), widths[3]);
  EXPECT_EQ(geometry.Width(2), ColumnGeometry::kUnmeasuredWidth);  // beyond the shown ones
  geometry.SetWidth(1, 150);
  GridFrame frame;
  geometry.FillFrame(frame, 2);
  EXPECT_EQ(frame.widths, (std::vector<int>{widths[0], 150}));
  EXPECT_EQ(frame.leftX, (std::vector<int>{0, 0}));
  geometry.ShowFields({});
  EXPECT_EQ(geometry.Width(1), widths[1]);
  EXPECT_EQ(geometry.Width(3), 150);  // the drag changed field 3's own width
}

}  // namespace
}  // namespace korvel
