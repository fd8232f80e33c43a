#pragma once
// Where the cursor goes: the arrow and paging keys, the jumps to the next difference, the
// jump between blocks of differing records, and the pace of the auto-scroll while a
// selection is dragged outside the grid.

#include <functional>
#include <optional>

namespace korvel {

// Read access to the shown rows for the jumps. Both callables are only asked about rows in
// [0, rowCount) and fields in [0, fieldCount).
struct NavigationSource {
  int rowCount = 0;
  int fieldCount = 0;
  std::function<int(int row)> status;  // Status of the row's pair
  // The pair's two cells of `field` differ (CellsDiffer with the field's IgnoreSpaces; a
  // missing side reads as "").
  std::function<bool(int row, int field)> cellsDiffer;
};

// kFirstCell (Ctrl+Home) and kLastCell (Ctrl+End) go to the grid's first cell (row 0, field
// 0) and its last (the last row, the last field).
enum class NavKey {
  kUp,
  kPageUp,
  kDown,
  kPageDown,
  kRight,
  kEnd,
  kLeft,
  kHome,
  kFirstCell,
  kLastCell
};
enum class Direction { kUp, kDown, kLeft, kRight };

// Ctrl with an arrow: the row (up, down) or field (left, right) to jump to from the cursor.
int NextChange(const NavigationSource& source, int curCol, int curRow, Direction direction);

// The cursor after a key, or nothing when the key's condition fails. `visibleRows` is V.
struct CursorCell {
  int col = 0;
  int row = 0;
  bool operator==(const CursorCell&) const = default;
};
std::optional<CursorCell> MoveByKey(const NavigationSource& source, CursorCell cursor, NavKey key,
                                    bool ctrl, int visibleRows);

// The first shown row after a key moved the cursor row, or -1 when the row is shown.
int RowScrollAfterKey(NavKey key, int curRow, int firstRow, int visibleRows);

// The toolbar's block jump: the first row of the next (downward) or previous (upward) block
// of records whose Status is not 0, or -1 when there is none.
int JumpToDiffTarget(const NavigationSource& source, int curRow, Direction direction);

// One tick of the auto-scroll timer of a selection drag.
struct AutoScrollTick {
  int vertical = 0;    // -1 one row up, 1 one row down, 0 none
  int horizontal = 0;  // -1 one field left, 1 one field right, 0 none
  int interval = 700;  // the timer's next interval in ms
};
// `autoV` and `autoH` as recorded by the drag; `y`, `x` the last mouse position and
// `prevY`, `prevX` the one before (the caller substitutes the last one when none was kept).
AutoScrollTick PlanAutoScroll(int autoV, int autoH, int x, int y, int prevX, int prevY,
                              int interval);

}  // namespace korvel
