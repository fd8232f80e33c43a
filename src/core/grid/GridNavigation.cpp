#include "grid/GridNavigation.h"

#include <algorithm>

namespace korvel {
namespace {

bool Differs(const NavigationSource& source, int row, int field) {
  if (row < 0 || row >= source.rowCount || field < 0 || field >= source.fieldCount) return false;
  return source.cellsDiffer(row, field);
}

int NextChangeRow(const NavigationSource& source, int curCol, int curRow, int step) {
  const int n = source.rowCount;
  if (n <= 0) return 0;
  int r = curRow + step;
  while (r >= 0 && r < n) {
    if (source.status(r) < 0 || Differs(source, r, curCol)) break;
    r += step;
  }
  return std::clamp(r, 0, n - 1);
}

int NextChangeField(const NavigationSource& source, int curCol, int curRow, int step) {
  const int fields = source.fieldCount;
  if (fields <= 0 || curRow < 0 || curRow >= source.rowCount) return 0;
  if (source.status(curRow) < 0) return std::clamp(curCol + step, 0, fields - 1);
  int f = curCol + step;
  while (f >= 0 && f < fields && !Differs(source, curRow, f)) f += step;
  return std::clamp(f, 0, fields - 1);
}

// Adjustment of the timer for a mouse that stood still, moved away from the grid or moved
// back towards it.
int Pace(int moved, int still, int away, int back, bool movedAway) {
  if (moved == 0) return still;
  return movedAway ? away : back;
}

}  // namespace

int NextChange(const NavigationSource& source, int curCol, int curRow, Direction direction) {
  switch (direction) {
    case Direction::kUp:
      return NextChangeRow(source, curCol, curRow, -1);
    case Direction::kDown:
      return NextChangeRow(source, curCol, curRow, 1);
    case Direction::kLeft:
      return NextChangeField(source, curCol, curRow, -1);
    case Direction::kRight:
      return NextChangeField(source, curCol, curRow, 1);
  }
  return 0;
}

std::optional<CursorCell> MoveByKey(const NavigationSource& source, CursorCell cursor, NavKey key,
                                    bool ctrl, int visibleRows) {
  const int lastRow = source.rowCount - 1;
  const int lastField = source.fieldCount - 1;
  const bool rows = source.rowCount > 0;
  CursorCell next = cursor;
  switch (key) {
    case NavKey::kUp:
      if (cursor.row <= 0) return std::nullopt;
      next.row = ctrl ? NextChange(source, cursor.col, cursor.row, Direction::kUp) : cursor.row - 1;
      break;
    case NavKey::kPageUp:
      if (cursor.row <= 0) return std::nullopt;
      next.row = std::max(0, cursor.row - (visibleRows - 1));
      break;
    case NavKey::kDown:
      if (cursor.row >= lastRow) return std::nullopt;
      next.row =
          ctrl ? NextChange(source, cursor.col, cursor.row, Direction::kDown) : cursor.row + 1;
      break;
    case NavKey::kPageDown:
      if (cursor.row >= lastRow) return std::nullopt;
      next.row = std::max(0, std::min(lastRow, cursor.row + (visibleRows - 1)));
      break;
    case NavKey::kRight:
      if (!rows || cursor.col >= lastField) return std::nullopt;
      next.col =
          ctrl ? NextChange(source, cursor.col, cursor.row, Direction::kRight) : cursor.col + 1;
      break;
    case NavKey::kEnd:
      if (!rows || cursor.col >= lastField) return std::nullopt;
      next.col = std::max(0, lastField);
      break;
    case NavKey::kLeft:
      if (!rows || cursor.col <= 0) return std::nullopt;
      next.col =
          ctrl ? NextChange(source, cursor.col, cursor.row, Direction::kLeft) : cursor.col - 1;
      break;
    case NavKey::kHome:
      if (!rows || cursor.col <= 0) return std::nullopt;
      next.col = 0;
      break;
    case NavKey::kFirstCell:
      if (!rows || (cursor.col == 0 && cursor.row == 0)) return std::nullopt;
      next = {0, 0};
      break;
    case NavKey::kLastCell:
      if (!rows || (cursor.col == lastField && cursor.row == lastRow)) return std::nullopt;
      next = {std::max(0, lastField), lastRow};
      break;
  }
  return next;
}

int RowScrollAfterKey(NavKey key, int curRow, int firstRow, int visibleRows) {
  switch (key) {
    case NavKey::kUp:
    case NavKey::kPageUp:
    case NavKey::kFirstCell:
      if (curRow < firstRow || curRow >= firstRow + visibleRows) return curRow;
      return -1;
    case NavKey::kDown:
    case NavKey::kPageDown:
    case NavKey::kLastCell:
      if (curRow - firstRow < 0 || curRow - firstRow >= visibleRows) {
        return std::max(0, curRow - visibleRows + 1);
      }
      return -1;
    default:
      return -1;
  }
}

int JumpToDiffTarget(const NavigationSource& source, int curRow, Direction direction) {
  const int n = source.rowCount;
  auto differs = [&](int r) { return source.status(r) != 0; };
  int r = curRow;
  if (direction == Direction::kDown) {
    if (r < 0 || r >= n) return -1;
    while (r < n && differs(r)) ++r;
    while (r < n && !differs(r)) ++r;
    return r < n ? r : -1;
  }
  if (r <= 0 || r >= n) return -1;
  while (r > 0 && differs(r)) --r;
  if (r <= 0) return -1;
  while (r >= 0 && !differs(r)) --r;
  if (r < 0) return -1;
  while (r > 0 && differs(r - 1)) --r;
  return r;
}

AutoScrollTick PlanAutoScroll(int autoV, int autoH, int x, int y, int prevX, int prevY,
                              int interval) {
  AutoScrollTick tick;
  int a = 0;
  const int dy = y - prevY;
  const int dx = x - prevX;
  if (autoV < 0) {
    tick.vertical = -1;
    a = Pace(dy, -30, -150, 200, dy < 0);
  } else if (autoV > 0) {
    tick.vertical = 1;
    a = Pace(dy, -30, -150, 200, dy > 0);
  }
  if (autoH == -10) {
    tick.horizontal = 1;
    a = Pace(dx, -15, -55, 150, dx > 0);
  } else if (autoH >= -9 && autoH <= -1) {
    tick.horizontal = -1;
    a = Pace(dx, -15, -55, 150, dx < 0);
  }
  tick.interval = a == 0 ? 700 : std::clamp(interval + a, 10, 700);
  return tick;
}

}  // namespace korvel
