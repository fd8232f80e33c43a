#include "grid/GridGeometry.h"

#include <gtest/gtest.h>

namespace korvel {
namespace {

// Two keys of 50 and 60 pixels, then four fields of 100, 70, 80 and 90, on a 700-pixel box.
GridFrame TwoKeysFrame() {
  GridFrame f;
  f.widths = {50, 60, 100, 70, 80, 90};
  f.keyCount = 2;
  f.width = 700;
  f.splitX = ResetSplitX(f.widths, f.keyCount, f.width);
  f.keyEndX = KeyEndAfterPaint(f);
  ColumnPlan plan = LayoutColumns(f);
  f.leftX = plan.leftX;
  f.rightX = plan.rightX;
  return f;
}

TEST(GridGeometry, SplitAndColumnPlacement) {
  GridFrame f = TwoKeysFrame();
  EXPECT_EQ(f.splitX, 110 + (700 - 110) / 2);  // 405
  EXPECT_EQ(f.keyEndX, 84 + 110);
  ColumnPlan plan = LayoutColumns(f);
  // Keys at 85 and 135; left pane 195 (field 2), 295 (field 3), 365 (field 4 crosses 405);
  // right pane from 405: 405, 505, 575, 655 (the last reaches the right edge).
  EXPECT_EQ(plan.leftX, (std::vector<int>{85, 135, 195, 295, 365, 0}));
  EXPECT_EQ(plan.rightX, (std::vector<int>{85, 135, 405, 505, 575, 655}));
  EXPECT_EQ(plan.keysDrawn, 2);
  ASSERT_EQ(plan.columns.size(), 9u);
  EXPECT_EQ(plan.columns[2].pane, 1);
  EXPECT_EQ(plan.columns[5].pane, 2);

  // Scrolled by two fields: both panes start at field 4.
  f.hpos = 2;
  plan = LayoutColumns(f);
  EXPECT_EQ(plan.leftX, (std::vector<int>{85, 135, 0, 0, 195, 275}));
  EXPECT_EQ(plan.rightX, (std::vector<int>{85, 135, 0, 0, 405, 485}));

  // Scrolled past the last field: only the keys.
  f.hpos = 4;
  plan = LayoutColumns(f);
  EXPECT_EQ(plan.columns.size(), 2u);

  // Keys wider than the box stop the walk at the key that reaches the edge.
  GridFrame wide;
  wide.widths = {400, 400, 50};
  wide.keyCount = 2;
  wide.width = 600;
  wide.splitX = 300;
  plan = LayoutColumns(wide);
  EXPECT_EQ(plan.columns.size(), 2u);
  // The splitter never rests left of the keys.
  EXPECT_EQ(ResetSplitX(wide.widths, 2, 600), 800);
  EXPECT_EQ(ResetSplitX({}, 0, 811), 405);
}

TEST(GridGeometry, HeaderHits) {
  GridFrame f = TwoKeysFrame();
  auto hit = [&](int x) { return HitHeader(f, x); };
  EXPECT_EQ(hit(0).column, -1);
  EXPECT_EQ(hit(39).column, -1);
  EXPECT_EQ(hit(40).column, -2);
  EXPECT_EQ(hit(84).column, -2);
  EXPECT_EQ(hit(85).column, 0);
  EXPECT_EQ(hit(134).column, 0);
  EXPECT_EQ(hit(135).column, 1);
  EXPECT_EQ(hit(135).side, 0);
  EXPECT_EQ(hit(200).column, 2);
  EXPECT_EQ(hit(200).side, 1);
  EXPECT_EQ(hit(404).column, 4);  // the column running under the splitter
  EXPECT_FALSE(hit(405).hit);     // exactly on the splitter
  EXPECT_EQ(hit(406).column, 2);
  EXPECT_EQ(hit(406).side, 2);
  EXPECT_EQ(hit(504).column, 2);
  EXPECT_EQ(hit(505).column, 3);
  EXPECT_EQ(hit(699).column, 5);
  // Past the last field of the right pane.
  GridFrame few = f;
  few.widths = {50, 60, 100};
  EXPECT_FALSE(HitHeader(few, 600).hit);
}

TEST(GridGeometry, ColumnsWhileDragging) {
  GridFrame f = TwoKeysFrame();
  EXPECT_EQ(ColumnAtX(f, 0, 1), -3);
  EXPECT_EQ(ColumnAtX(f, 40, 1), -1);
  EXPECT_EQ(ColumnAtX(f, 85, 1), -2);
  EXPECT_EQ(ColumnAtX(f, 86, 1), 0);
  EXPECT_EQ(ColumnAtX(f, 135, 2), 0);  // keys answer for both panes
  EXPECT_EQ(ColumnAtX(f, 136, 2), 1);
  EXPECT_EQ(ColumnAtX(f, 300, 1), 3);
  EXPECT_EQ(ColumnAtX(f, 405, 1), -10);  // beyond the left pane
  EXPECT_EQ(ColumnAtX(f, 300, 2), -4);   // left of the right pane
  EXPECT_EQ(ColumnAtX(f, 450, 2), 2);
  EXPECT_EQ(ColumnAtX(f, 701, 2), -10);
  EXPECT_EQ(ColumnAtX(f, 300, 0), -5);
  GridFrame few = f;
  few.widths = {50, 60, 100};
  EXPECT_EQ(ColumnAtX(few, 390, 1), -5);  // past the last field, still left of the split
  EXPECT_EQ(ColumnAtX(few, 600, 2), -5);
}

TEST(GridGeometry, BordersAndDraggedWidths) {
  GridFrame f = TwoKeysFrame();
  const int bottom = 400;
  // The key block's border, at any height: the last key, limited to 10 px past its left edge.
  BorderHit key = HitBorder(f, f.keyEndX - 5, 300, bottom, 20);
  ASSERT_TRUE(key.hit);
  EXPECT_EQ(key.target, 1);
  EXPECT_EQ(key.minX, 95 + 50);
  EXPECT_FALSE(HitBorder(f, f.keyEndX + 2, 300, bottom, 20).hit);
  // The splitter, at any height: not left of the keys plus 10.
  BorderHit split = HitBorder(f, f.splitX + 1, 300, bottom, 20);
  ASSERT_TRUE(split.hit);
  EXPECT_EQ(split.target, -1);
  EXPECT_EQ(split.minX, f.keyEndX + 10);
  // Nothing below the grid.
  EXPECT_FALSE(HitBorder(f, f.splitX, bottom + 1, bottom, 20).hit);
  // The first key's border only in the header row, limited by its own left edge.
  BorderHit first = HitBorder(f, 134, 10, bottom, 20);
  ASSERT_TRUE(first.hit);
  EXPECT_EQ(first.target, 0);
  EXPECT_EQ(first.minX, 84);
  EXPECT_FALSE(HitBorder(f, 134, 30, bottom, 20).hit);
  // Left pane field 2 ends at 294; right pane field 2 at 504.
  EXPECT_EQ(HitBorder(f, 295, 5, bottom, 20).target, 2);
  EXPECT_EQ(HitBorder(f, 295, 5, bottom, 20).minX, 194);
  EXPECT_EQ(HitBorder(f, 503, 5, bottom, 20).target, 2);
  EXPECT_EQ(HitBorder(f, 503, 5, bottom, 20).minX, 404);
  // Without keys the splitter's limit is 95.
  GridFrame none;
  none.widths = {100, 100};
  none.width = 600;
  none.splitX = 300;
  EXPECT_EQ(HitBorder(none, 300, 100, bottom, 20).minX, 95);

  EXPECT_EQ(DraggedWidth(200, 150), 50);
  EXPECT_EQ(DraggedWidth(153, 150), 3);
  EXPECT_EQ(DraggedWidth(152, 150), 3);
  EXPECT_EQ(DraggedWidth(150, 150), 3);
}

TEST(GridGeometry, RowScrollRange) {
  // 548-pixel window content: a paint box of 400 shows (400 - 20 - 50) / 16 = 20 rows.
  EXPECT_EQ(VisibleRows(400, RowMetrics{}), 20);
  RowScrollRange none = RowScrollFor(0, 400, RowMetrics{});
  EXPECT_FALSE(none.enabled);
  RowScrollRange many = RowScrollFor(100, 400, RowMetrics{});
  EXPECT_TRUE(many.enabled);
  EXPECT_EQ(many.pageSize, 20);
  EXPECT_EQ(many.maximum, 100);
  EXPECT_EQ(many.LastPosition(), 81);
  RowScrollRange few = RowScrollFor(5, 400, RowMetrics{});
  EXPECT_TRUE(few.enabled);
  EXPECT_EQ(few.pageSize, 5);
  EXPECT_EQ(few.maximum, 5);
  // A box too low for any row counts as one row.
  RowScrollRange tiny = RowScrollFor(3, 30, RowMetrics{});
  EXPECT_EQ(tiny.pageSize, 1);
}

// A row is as high as the font's ascent and descent plus 3 (text at top + 2 clears the row
// line at the bottom), never below 16; the header and the detail area follow the row.
TEST(GridGeometry, RowMetricsFollowTheGridFont) {
  struct Case {
    int ascent, descent;
    int row, header, detail;
  } const cases[] = {
      {10, 2, 16, 20, 50},                       // a font that fits: the first geometry exactly
      {11, 2, 16, 20, 50},                       // 11 + 2 + 3 = 16
      {11, 3, 17, 21, 53}, {14, 3, 20, 24, 62},  // the program's CJK face at 12 pixels
      {0, 0, 16, 20, 50},
  };
  for (const Case& c : cases) {
    const RowMetrics rows = RowMetricsFor(c.ascent, c.descent);
    EXPECT_EQ(rows.rowHeight, c.row) << c.ascent << "+" << c.descent;
    EXPECT_EQ(rows.headerHeight, c.header) << c.ascent << "+" << c.descent;
    EXPECT_EQ(rows.detailHeight, c.detail) << c.ascent << "+" << c.descent;
    // Text drawn at a row's top + 2 ends above the row line.
    EXPECT_LT(rows.RowTop(3) + 2 + c.ascent + c.descent, rows.RowTop(4)) << c.ascent;
  }
  EXPECT_EQ(RowMetrics{}, RowMetricsFor(10, 2));
  EXPECT_EQ(RowMetricsFor(14, 3).RowTop(2), 24 + 2 * 20);
}

// Rows that fit and the header's border hits use the same heights as the painting.
TEST(GridGeometry, TallRowsChangeRowCountsAndHeaderHits) {
  const RowMetrics tall = RowMetricsFor(14, 3);
  // (400 - 24 - 62) / 20 = 15 rows, against 20 with 16-pixel rows.
  EXPECT_EQ(VisibleRows(400, tall), 15);
  EXPECT_EQ(RowScrollFor(100, 400, tall).pageSize, 15);
  GridFrame f;
  f.widths = {50, 100};
  f.keyCount = 0;
  f.width = 600;
  f.splitX = 300;
  // The first field's border at 134 is hit in the header only: up to 24 in the tall header.
  for (int y : {0, 20, 24}) EXPECT_TRUE(HitBorder(f, 134, y, 400, tall.headerHeight).hit) << y;
  EXPECT_FALSE(HitBorder(f, 134, 25, 400, tall.headerHeight).hit);
  EXPECT_FALSE(HitBorder(f, 134, 21, 400, RowMetrics{}.headerHeight).hit);
}

TEST(GridGeometry, HorizontalScrollTargets) {
  GridFrame f = TwoKeysFrame();
  // Field 4 runs past the left pane's edge (365 + 80 > 405): it becomes the rightmost field
  // that fits with its left neighbours in 405 - 195 = 210 pixels: 70 + 80 = 150, +100 > 210.
  EXPECT_EQ(ScrollRightTarget(f, 4, 1), 3 - 2);
  // Shown whole: no scrolling.
  EXPECT_EQ(ScrollRightTarget(f, 3, 1), -1);
  EXPECT_EQ(ScrollRightTarget(f, 3, 2), -1);
  // Field 5 runs past the box's right edge: 295 pixels of room take fields 3 to 5.
  EXPECT_EQ(ScrollRightTarget(f, 5, 2), 3 - 2);
  // Field 5 is not in the left pane at all: 80 + 90 = 170 fits, +70 does not.
  EXPECT_EQ(ScrollRightTarget(f, 5, 1), 4 - 2);
  // A field wider than the pane's room stands alone.
  GridFrame narrow = f;
  narrow.widths[5] = 300;
  narrow.leftX[5] = 0;
  EXPECT_EQ(ScrollRightTarget(narrow, 5, 1), 5 - 2);
  // Keys bring the position back to the start.
  f.hpos = 2;
  EXPECT_EQ(ScrollRightTarget(f, 1, 1), 0);
  f.hpos = 0;
  EXPECT_EQ(ScrollRightTarget(f, 1, 1), -1);
  // Leftwards only a field that is not shown scrolls, to put it first.
  GridFrame scrolled = f;
  scrolled.hpos = 2;
  ColumnPlan plan = LayoutColumns(scrolled);
  scrolled.leftX = plan.leftX;
  scrolled.rightX = plan.rightX;
  EXPECT_EQ(ScrollLeftTarget(scrolled, 3, 1), 1);
  EXPECT_EQ(ScrollLeftTarget(scrolled, 4, 1), -1);
  EXPECT_EQ(ScrollLeftTarget(scrolled, 0, 2), -1);
}

TEST(GridGeometry, FoundCellScrollTargets) {
  GridFrame f = TwoKeysFrame();
  // Shown whole and on the same page: the panes stay; after a row scroll the field is put
  // at the pane's right end with as many fields before it as fit (210 pixels on the left:
  // 70 + 100 fit for field 3, 295 on the right: 100 + 70 fit, + the keys never).
  EXPECT_EQ(FindScrollTarget(f, 3, 1, false), -1);
  EXPECT_EQ(FindScrollTarget(f, 3, 1, true), 0);
  EXPECT_EQ(FindScrollTarget(f, 4, 1, true), 1);
  EXPECT_EQ(FindScrollTarget(f, 4, 2, false), -1);
  EXPECT_EQ(FindScrollTarget(f, 5, 2, true), 1);
  EXPECT_EQ(RightEndPosition(f, 5, 1), 2);
  // Running past the pane's edge or not shown: as the Right key.
  EXPECT_EQ(FindScrollTarget(f, 4, 1, false), ScrollRightTarget(f, 4, 1));
  EXPECT_EQ(FindScrollTarget(f, 5, 1, false), 2);
  // Keys never move a row-scrolled page sideways while they are shown.
  EXPECT_EQ(FindScrollTarget(f, 0, 1, true), -1);
  EXPECT_EQ(FindScrollTarget(f, 1, 2, false), -1);
  EXPECT_EQ(RightEndPosition(f, 1, 1), -1);
  // A field scrolled out to the left becomes the first one shown, whatever the rows did.
  GridFrame scrolled = f;
  scrolled.hpos = 3;
  ColumnPlan plan = LayoutColumns(scrolled);
  scrolled.leftX = plan.leftX;
  scrolled.rightX = plan.rightX;
  EXPECT_EQ(FindScrollTarget(scrolled, 2, 1, false), 0);
  EXPECT_EQ(FindScrollTarget(scrolled, 3, 2, true), 1);
  EXPECT_EQ(FindScrollTarget(scrolled, 6, 1, false), -1);
  EXPECT_EQ(FindScrollTarget(scrolled, -1, 1, false), -1);
}

}  // namespace
}  // namespace korvel
