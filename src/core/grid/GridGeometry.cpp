#include "grid/GridGeometry.h"

#include <algorithm>

namespace korvel {

int GridFrame::KeyWidths() const {
  int sum = 0;
  for (int j = 0; j < keyCount && j < FieldCount(); ++j) sum += widths[j];
  return sum;
}

int GridFrame::PaneX(int field, int pane) const {
  const std::vector<int>& xs = pane == 2 ? rightX : leftX;
  if (field < 0 || field >= static_cast<int>(xs.size())) return 0;
  return xs[field];
}

ColumnPlan LayoutColumns(const GridFrame& frame) {
  const int n = frame.FieldCount();
  ColumnPlan plan;
  plan.leftX.assign(n, 0);
  plan.rightX.assign(n, 0);
  int x = kRowHeaderWidth;
  int j = 0;
  // Keys: the same x serves both panes.
  while (j < n && j < frame.keyCount) {
    plan.columns.push_back({j, 0, x});
    plan.leftX[j] = plan.rightX[j] = x;
    x += frame.widths[j];
    ++j;
    ++plan.keysDrawn;
    if (x >= frame.width) return plan;
  }
  const int first = frame.hpos + plan.keysDrawn;
  for (j = first; j < n;) {
    plan.columns.push_back({j, 1, x});
    plan.leftX[j] = x;
    x += frame.widths[j];
    ++j;
    if (x >= frame.width) return plan;
    if (x >= frame.splitX) break;
  }
  if (first >= n) return plan;
  x = frame.splitX;
  for (j = first; j < n && x < frame.width; ++j) {
    plan.columns.push_back({j, 2, x});
    plan.rightX[j] = x;
    x += frame.widths[j];
  }
  return plan;
}

int KeyEndAfterPaint(const GridFrame& frame) { return kRowHeaderWidth - 1 + frame.KeyWidths(); }

int ResetSplitX(const std::vector<int>& widths, int keyCount, int paintWidth) {
  int keys = 0;
  for (int j = 0; j < keyCount && j < static_cast<int>(widths.size()); ++j) keys += widths[j];
  return std::max(keys, keys + (paintWidth - keys) / 2);
}

HeaderHit HitHeader(const GridFrame& frame, int x) {
  const int n = frame.FieldCount();
  if (x >= 0 && x < kRowNumberWidth) return {true, kRowNumberColumn, 0};
  if (x < kRowHeaderWidth) return {true, kDiffColumn, 0};
  int e = kRowHeaderWidth - 1;
  int j = 0;
  for (; j < frame.keyCount && j < n; ++j) {
    e += frame.widths[j];
    if (x <= e) return {true, j, 0};
  }
  if (x < frame.splitX) {
    for (j = frame.FirstPaneField(); j < n && e < frame.splitX; ++j) {
      e += frame.widths[j];
      if (x <= e) return {true, j, 1};
    }
  }
  e = frame.splitX - 1;
  for (j = frame.FirstPaneField(); j < n && e <= frame.width; ++j) {
    e += frame.widths[j];
    if (x > frame.splitX && x <= e) return {true, j, 2};
  }
  return {};
}

int ColumnAtX(const GridFrame& frame, int x, int pane) {
  const int n = frame.FieldCount();
  if (x <= 0) return -3;
  if (x <= kRowNumberWidth) return kRowNumberColumn;
  if (x <= kRowHeaderWidth) return kDiffColumn;
  int e = kRowHeaderWidth;
  int j = 0;
  for (; j < frame.keyCount && j < n; ++j) {
    e += frame.widths[j];
    if (e >= x) return j;
  }
  if (pane == 1) {
    if (x >= frame.splitX) return -10;
    for (j = frame.FirstPaneField(); j < n; ++j) {
      e += frame.widths[j];
      if (e >= x) return j;
      if (e >= frame.splitX) return -5;
    }
  } else if (pane == 2) {
    if (x < frame.splitX) return -4;
    if (x > frame.width) return -10;
    e = frame.splitX - 1;
    for (j = frame.FirstPaneField(); j < n; ++j) {
      e += frame.widths[j];
      if (x > frame.splitX && x <= e) return j;
      if (e > frame.width) return -10;
    }
  }
  return -5;
}

BorderHit HitBorder(const GridFrame& frame, int x, int y, int gridBottom, int headerHeight) {
  const int n = frame.FieldCount();
  const int keys = std::min(frame.keyCount, n);
  if (y > gridBottom) return {};
  if (keys > 0 && x >= frame.keyEndX - 5 && x <= frame.keyEndX + 1) {
    return {true, keys - 1, kRowHeaderWidth + 10 + frame.KeyWidths() - frame.widths[keys - 1]};
  }
  if (x >= frame.splitX - 5 && x <= frame.splitX + 1) {
    return {true, -1, keys > 0 ? frame.keyEndX + 10 : kRowHeaderWidth + 10};
  }
  if (y > headerHeight) return {};
  auto near = [x](int e) { return x >= e - 1 && x <= e + 1; };
  int e = kRowHeaderWidth - 1;
  int j = 0;
  for (; j < keys; ++j) {
    e += frame.widths[j];
    if (near(e)) return {true, j, e - frame.widths[j]};
  }
  for (j = frame.FirstPaneField(); j < n; ++j) {
    e += frame.widths[j];
    if (e >= frame.splitX) break;
    if (near(e)) return {true, j, e - frame.widths[j]};
  }
  e = frame.splitX - 1;
  for (j = frame.FirstPaneField(); j < n; ++j) {
    e += frame.widths[j];
    if (e > frame.width) break;
    if (near(e)) return {true, j, e - frame.widths[j]};
  }
  return {};
}

int DraggedWidth(int resizeX, int minX) { return resizeX - minX > 2 ? resizeX - minX : 3; }

RowMetrics RowMetricsFor(int ascent, int descent) {
  RowMetrics rows;
  rows.rowHeight = std::max(RowMetrics::kMinRowHeight, ascent + descent + 3);
  rows.headerHeight = rows.rowHeight + 4;
  rows.detailHeight = 3 * rows.rowHeight + 2;
  return rows;
}

int VisibleRows(int paintHeight, const RowMetrics& rows) {
  return (paintHeight - rows.headerHeight - rows.detailHeight) / rows.rowHeight;
}

RowScrollRange RowScrollFor(int rowCount, int paintHeight, const RowMetrics& rows) {
  int v = VisibleRows(paintHeight, rows);
  if (v < 0) v = 1;
  if (rowCount <= 0) return {};
  if (rowCount > v) {
    double page = static_cast<double>(rowCount) * (static_cast<double>(v) / rowCount);
    return {true, static_cast<int>(page + 0.5), rowCount};
  }
  return {true, rowCount, rowCount};
}

namespace {

bool ShownWhole(const GridFrame& frame, int col, int pane) {
  const int paneRight = pane == 2 ? frame.width : frame.splitX;
  const int x = frame.PaneX(col, pane == 2 ? 2 : 1);
  return x != 0 && x + frame.widths[col] <= paneRight;
}

}  // namespace

int RightEndPosition(const GridFrame& frame, int col, int pane) {
  if (col < frame.keyCount || col >= frame.FieldCount()) return -1;
  const int space = pane == 2 ? frame.width - frame.splitX
                              : std::max(0, frame.splitX - (kRowHeaderWidth + frame.KeyWidths()));
  int first = col;
  int sum = frame.widths[col];
  while (first - 1 >= frame.keyCount && sum + frame.widths[first - 1] <= space) {
    --first;
    sum += frame.widths[first];
  }
  return std::max(0, first - frame.keyCount);
}

int ScrollRightTarget(const GridFrame& frame, int col, int pane) {
  if (col < 0 || col >= frame.FieldCount()) return -1;
  if (col < frame.keyCount) return frame.hpos != 0 ? 0 : -1;
  if (ShownWhole(frame, col, pane)) return -1;
  return RightEndPosition(frame, col, pane);
}

int FindScrollTarget(const GridFrame& frame, int col, int pane, bool rowsScrolled) {
  if (col < 0 || col >= frame.FieldCount()) return -1;
  if (col < frame.FirstPaneField()) {
    // A key, or a field scrolled out to the left: only one that is not shown moves the
    // panes, so that it becomes the first field shown.
    if (frame.PaneX(col, pane == 2 ? 2 : 1) != 0) return -1;
    return std::max(0, col - frame.keyCount);
  }
  if (!rowsScrolled && ShownWhole(frame, col, pane)) return -1;
  return RightEndPosition(frame, col, pane);
}

int ScrollLeftTarget(const GridFrame& frame, int col, int pane) {
  if (col < 0 || col >= frame.FieldCount()) return -1;
  if (frame.PaneX(col, pane == 2 ? 2 : 1) != 0) return -1;
  return std::max(0, col - frame.keyCount);
}

}  // namespace korvel
