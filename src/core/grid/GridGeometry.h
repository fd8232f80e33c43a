#pragma once
// Geometry of the result grid: where columns are placed, which column or border a mouse
// position hits, the splitter's resting place and the scroll ranges. Pure arithmetic over
// the field widths and the view state; the window feeds it and draws.
//
// x runs over the paint box from 0; the header row is y 0 to RowMetrics::headerHeight (20
// with a font that fits 16-pixel rows); the row-number column is x 0 to 40, the difference
// column 40 to 85, the key fields start at 85. Non-key fields appear twice, in the left pane
// (up to SplitX) and in the right pane (from SplitX on), both from the field KeyCount +
// horizontal position.

#include <vector>

namespace korvel {

inline constexpr int kRowNumberWidth = 40;
inline constexpr int kRowHeaderWidth = 85;  // row-number and difference columns together

// The grid's heights, all from the one row height. A row's text is drawn 2 pixels below the
// row's top and must clear the row line at its bottom, so a row is the grid font's ascent
// plus descent plus 3 pixels high, and never lower than 16. The header row holds its names 4
// pixels down; the detail area below the grid is three bands of a row's height (the status
// band and the two texts) and 2 pixels. With 16-pixel rows this is the grid as first drawn:
// header 20, detail area 50.
struct RowMetrics {
  static constexpr int kMinRowHeight = 16;
  int rowHeight = kMinRowHeight;
  int headerHeight = kMinRowHeight + 4;
  int detailHeight = 3 * kMinRowHeight + 2;
  // The top of shown row k (k from 0).
  int RowTop(int k) const { return headerHeight + k * rowHeight; }
  bool operator==(const RowMetrics&) const = default;
};
// The metrics for a grid font of this ascent and descent (pixels).
RowMetrics RowMetricsFor(int ascent, int descent);

// Column codes besides field indexes.
inline constexpr int kRowNumberColumn = -1;
inline constexpr int kDiffColumn = -2;

// The grid's horizontal state at one moment.
struct GridFrame {
  std::vector<int> widths;  // Width of every field, in Fields order (keys first)
  int keyCount = 0;
  int splitX = 0;
  int width = 0;                   // paint box width
  int hpos = 0;                    // non-key fields scrolled out of both panes
  int keyEndX = 0;                 // x just right of the keys, as last painted
  std::vector<int> leftX, rightX;  // as last painted; 0 = not shown in that pane

  int FieldCount() const { return static_cast<int>(widths.size()); }
  int KeyWidths() const;  // sum of the keys' widths
  int FirstPaneField() const { return keyCount + hpos; }
  // The field's x in pane 1 (left) or 2 (right); 0 when not shown or out of range.
  int PaneX(int field, int pane) const;
};

// One column as the painting places it. pane 0: a key field (same x in both panes).
struct PlacedColumn {
  int field = 0;
  int pane = 0;
  int x = 0;
};

struct ColumnPlan {
  std::vector<PlacedColumn> columns;  // in painting order
  std::vector<int> leftX, rightX;     // per field, 0 = not shown
  int keysDrawn = 0;
};

// The painting's column walk: keys from x 85, then the left pane until x reaches SplitX or
// the fields end, then the right pane from SplitX. Everything stops once a column's right
// edge reaches the width (that column is still placed) or a field is missing.
ColumnPlan LayoutColumns(const GridFrame& frame);

// The painting's header walk that yields KeyEndX: 84 plus the keys' widths.
int KeyEndAfterPaint(const GridFrame& frame);

// SplitX that centres the panes in the room right of the keys (never left of them).
int ResetSplitX(const std::vector<int>& widths, int keyCount, int paintWidth);

struct HeaderHit {
  bool hit = false;
  int column = 0;  // -1 row numbers, -2 differences, else a field index
  int side = 0;    // 0 key or fixed area, 1 left pane, 2 right pane
};
HeaderHit HitHeader(const GridFrame& frame, int x);

// The column under x while a selection is dragged in `pane`: a field index, or -3 (x <= 0),
// -1 (row numbers), -2 (differences), -4 (left of the right pane), -10 (beyond the pane's
// right edge), -5 (anything else).
int ColumnAtX(const GridFrame& frame, int x, int pane);

struct BorderHit {
  bool hit = false;
  int target = -2;  // -1 the splitter, else the field whose right border it is
  int minX = 0;     // the drag may not go left of this
};
// The border a press at (x, y) would drag. The key block's right border and the splitter
// are hit at any height of the grid, the other column borders only in the header row (y up
// to `headerHeight`).
BorderHit HitBorder(const GridFrame& frame, int x, int y, int gridBottom, int headerHeight);

// The width a field gets from a border drag released at `resizeX`: never below 3.
int DraggedWidth(int resizeX, int minX);

// Rows that fit between the header and the detail area.
int VisibleRows(int paintHeight, const RowMetrics& rows);

// The vertical scroll bar for n rows, in the program's terms: the largest value is
// `maximum`, a page shows `pageSize` rows, and the first shown row can go up to
// maximum - pageSize + 1.
struct RowScrollRange {
  bool enabled = false;
  int pageSize = 0;
  int maximum = 0;
  int LastPosition() const { return enabled ? maximum - pageSize + 1 : 0; }
};
RowScrollRange RowScrollFor(int rowCount, int paintHeight, const RowMetrics& rows);

// Horizontal position that brings field `col` into view in `pane` after a move rightwards,
// or -1 when it is shown whole already. Keys bring the position back to 0 (-1 when it is 0).
int ScrollRightTarget(const GridFrame& frame, int col, int pane);
// The same after a move leftwards: only a field not shown at all scrolls.
int ScrollLeftTarget(const GridFrame& frame, int col, int pane);

// The horizontal position that shows non-key field `col` at the right end of `pane`, with
// as many fields before it as fit in the pane's room (the field alone when it is wider);
// -1 for a key or a column that is not a field.
int RightEndPosition(const GridFrame& frame, int col, int pane);

// Horizontal position that brings the cell a search found, in field `col`, into view in
// `pane`, or -1 to stay. A key, or a field left of the first field shown, moves the panes
// only when it is not shown in `pane`: it then becomes the first field shown. Another field
// moves them as after the Right key, and also whenever the rows were scrolled to reach the
// hit (`rowsScrolled`), so that a hit on another page shows its field at the pane's right
// end.
int FindScrollTarget(const GridFrame& frame, int col, int pane, bool rowsScrolled);

}  // namespace korvel
