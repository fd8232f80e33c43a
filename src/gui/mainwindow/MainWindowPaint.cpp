// MainWindow: painting of the grid and the detail line, and the overlays drawn over them.

#include <QFontMetrics>
#include <QPainter>
#include <algorithm>
#include <cstdio>

#include "grid/DetailLine.h"
#include "grid/StatusTexts.h"
#include "mainwindow/MainWindow.h"
#include "platform/Codepage.h"
#include "qt/QtText.h"

namespace korvel {
namespace {

const QColor kWhite(255, 255, 255);
const QColor kBlack(0, 0, 0);
const QColor kDark(50, 50, 50);
const QColor kPlainLine(192, 192, 192);
const QColor kSeparatorGrey(150, 150, 150);
const QColor kStatusPlain(250, 250, 250);
const QColor kStatusDiffering(255, 180, 180);
const QColor kSelectionBrush(57, 50, 5);
const QColor kHeaderInverse(30, 30, 30);
const QColor kOwnPaneCursor(0, 255, 0);
const QColor kOtherPaneCursor(240, 240, 0);
const QColor kDragLine(125, 125, 125);

std::string RowNumberText(int row) {
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "%6d", row + 1);
  return buffer;
}

std::string DiffColumnText(int status) {
  if (status == -1) return Sjis("右のみ");
  if (status == -2) return Sjis("左のみ");
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, " %3d", status);
  return buffer;
}

}  // namespace

// ---- Primitives ---------------------------------------------------------------------------

void MainWindow::FillBox(QPainter& p, int x, int y, int width, int height, const QColor& color) {
  if (width > 0 && height > 0) p.fillRect(x, y, width, height, color);
}

void MainWindow::FitHeaderWidths() {
  if (model_ == nullptr) return;
  // Bytes say too little for a header: a double-byte glyph may be wider than two "W", and
  // the last key column also holds the double line that ends the keys. A column is at least
  // as wide as its name's glyphs, a pixel either side and its line need.
  const QFontMetrics metrics(gridFont_);
  const int keys = std::min(model_->KeyCount(), model_->FieldCount());
  for (int j = 0; j < model_->FieldCount(); ++j) {
    const int text = metrics.horizontalAdvance(ToQString(model_->Field(j).Name));
    const int need = text + 3 + (j + 1 == keys ? kKeyEndLineWidth : 0);
    if (need > columns_.Width(j)) {
      columns_.SetWidth(j, std::min(need, ColumnGeometry::kMaxWidth + kKeyEndLineWidth));
    }
  }
}

void MainWindow::DrawSeparator(QPainter& p, int kind, int x, int fromY, int toY) {
  const int h = toY - fromY;
  switch (kind) {
    case 1:
    case 2:
      FillBox(p, x - 4, fromY, 1, h, kWhite);
      FillBox(p, x - 3, fromY, 3, h, kSeparatorGrey);
      FillBox(p, x, fromY, 1, h, kBlack);
      break;
    case 3:
      FillBox(p, x, fromY, 1, h, kBlack);
      break;
    case 4:
      FillBox(p, x, fromY, 1, h, kBlack);
      FillBox(p, x + 1, fromY + 1, 1, h - 1, kWhite);
      break;
    default:
      FillBox(p, x, fromY, 1, h, kPlainLine);
      break;
  }
}

void MainWindow::DrawText(QPainter& p, int x, int y, std::string_view cp932) {
  if (cp932.empty()) return;
  p.drawText(x, y + gridAscent_, ToQString(cp932));
}

void MainWindow::DrawClippedText(QPainter& p, int x, int y, std::string_view cp932,
                                 const QRect& clip) {
  if (cp932.empty() || clip.isEmpty()) return;
  p.setClipRect(clip);
  DrawText(p, x, y, cp932);
  p.setClipping(false);
}

int MainWindow::ShownRowCount(int gridBottom) const {
  const int n = model_ != nullptr ? model_->RowCount() : 0;
  const int first = FirstRow();
  int k = 0;
  while (first + k < n && rows_.RowTop(k) < gridBottom) ++k;
  return k;
}

// ---- The grid -----------------------------------------------------------------------------

void MainWindow::FullRepaint() {
  if (backBuffer_.isNull()) return;
  PaintGrid(backBuffer_);
  if (model_ != nullptr && model_->KeyCount() > 0 && splitX_ <= keyEndX_) {
    // The keys reach the splitter: give the left pane room and paint again.
    splitX_ = keyEndX_ + 10;
    PaintGrid(backBuffer_);
  }
  {
    QPainter p(&screen_);
    p.setCompositionMode(QPainter::CompositionMode_Source);
    p.drawImage(QPoint(0, 0), backBuffer_, QRect(0, 0, paiMain_->width(), paiMain_->height()));
  }
  shownSelRects_.clear();
  shownCursor_ = CursorMark{};
  dragLineShown_ = false;
  if (shownSel_.pane != -1) {
    Selection sel = shownSel_;
    shownSel_ = Selection{};
    ShowSelection(false, sel.pane, sel.col1, sel.row1, sel.col2, sel.row2);
  }
  ShowCursor(false, curCol_, curRow_, curSide_);
  paiMain_->update();
}

void MainWindow::PaintGrid(QImage& image) {
  const int w = paiMain_->width();
  const int h = paiMain_->height();
  const int gridBottom = h - rows_.detailHeight;
  QPainter p(&image);
  p.setFont(gridFont_);
  p.setPen(kBlack);
  FillBox(p, 0, 0, w, h, kWhite);
  FillBox(p, 0, 0, kRowHeaderWidth, gridBottom, HeaderColor);

  const int shown = ShownRowCount(gridBottom);
  const int first = FirstRow();
  for (int k = 0; k < shown; ++k) {
    const int top = rows_.RowTop(k);
    DrawClippedText(p, 0, top + 2, RowNumberText(first + k),
                    QRect(0, top, kRowNumberWidth, rows_.rowHeight));
    DrawClippedText(
        p, kRowNumberWidth, top + 2, DiffColumnText(model_->Pair(first + k).Status),
        QRect(kRowNumberWidth, top, kRowHeaderWidth - kRowNumberWidth, rows_.rowHeight));
  }

  ColumnPlan plan;
  if (model_ != nullptr) {
    plan = LayoutColumns(Frame());
    columns_.SetPainted(plan);
    PaintColumns(p, plan, shown, gridBottom, h);
  }

  // Row lines, darker over the row-header strip.
  for (int k = 0; k < shown; ++k) FillBox(p, 0, rows_.RowTop(k + 1), w, 1, kPlainLine);
  for (int k = 0; k < shown; ++k) FillBox(p, 0, rows_.RowTop(k + 1), kRowHeaderWidth, 1, kDark);
  const int bottomB = rows_.RowTop(shown);

  FillBox(p, 0, 0, w, rows_.headerHeight, HeaderColor);
  FillBox(p, 0, 0, w, 1, kDark);
  FillBox(p, 0, rows_.headerHeight, w, 1, kDark);
  PaintHeader(p, bottomB, w);
  p.end();
  PaintDetail(image);
}

std::pair<int, int> MainWindow::PaneArea(int pane, const ColumnPlan& plan) const {
  int keysEnd = kRowHeaderWidth;
  for (int j = 0; j < plan.keysDrawn; ++j) keysEnd += columns_.Width(j);
  if (pane == 0) return {kRowHeaderWidth, keysEnd};
  if (pane == 1) return {keysEnd, splitX_};
  return {splitX_, paiMain_->width()};
}

void MainWindow::PaintColumns(QPainter& p, const ColumnPlan& plan, int shownRows, int gridBottom,
                              int h) {
  // A long text runs on under the next column, whose white fill covers it; but nothing may
  // cover it beyond a pane's last column, so each pane's columns paint only on their pane.
  const int first = FirstRow();
  for (const PlacedColumn& column : plan.columns) {
    const ResultField& field = model_->Field(column.field);
    const auto [paneLeft, paneRight] = PaneArea(column.pane, plan);
    const int right = std::min(column.x + columns_.Width(column.field), paneRight);
    FillBox(p, std::max(column.x, paneLeft), 0, right - std::max(column.x, paneLeft), h, kWhite);
    for (int k = 0; k < shownRows; ++k) {
      const int top = rows_.RowTop(k);
      if (top >= gridBottom) break;
      PaintCell(p, column, field, model_->Pair(first + k), top, paneRight);
    }
  }
}

void MainWindow::PaintCell(QPainter& p, const PlacedColumn& column, const ResultField& field,
                           const RecordPair& pair, int top, int paneRight) {
  const QRect clip(column.x, top, paneRight - column.x, rows_.rowHeight);
  if (column.pane == 0) {
    // Key cells are never coloured; a right-only record shows the right file's key.
    const Side keySide = pair.LeftRow == -1 ? Side::kRight : Side::kLeft;
    DrawClippedText(p, column.x, top + 2, model_->Cell(keySide, column.field, pair.Row(keySide)),
                    clip);
    return;
  }
  const Side side = PaneSide(column.pane);
  const int width = std::min(columns_.Width(column.field), paneRight - column.x);
  const int row = pair.Row(side);
  // The side that lacks a one-sided field is an empty grey column, as a field not compared.
  if (field.NotCompared || field.FieldNo(side) == kNoFieldNo) {
    FillBox(p, column.x, top, width, rows_.rowHeight, NotComparedColor);
  } else if (row == -1) {
    FillBox(p, column.x, top, width, rows_.rowHeight, MissingColor);
  } else if (model_->CellsDiffer(pair, column.field)) {
    FillBox(p, column.x, top, width, rows_.rowHeight,
            side == Side::kLeft ? LeftDiffColor : RightDiffColor);
  }
  DrawClippedText(p, column.x, top + 2, model_->Cell(side, column.field, row), clip);
}

void MainWindow::PaintHeader(QPainter& p, int bottomB, int w) {
  // A name is centred in its column and clipped to it, as cells are: a name wider than its
  // column shows its beginning, and never a fragment in the next column or pane.
  const QFontMetrics metrics(gridFont_);
  auto name = [&](int x, int width, std::string_view text) {
    const QString shown = ToQString(text);
    const Qt::Alignment across =
        metrics.horizontalAdvance(shown) <= width ? Qt::AlignHCenter : Qt::AlignLeft;
    p.drawText(QRect(x, 4, width, rows_.rowHeight), across | Qt::AlignTop | Qt::TextSingleLine,
               shown);
  };
  name(0, kRowNumberWidth, "NO");
  DrawSeparator(p, 3, 39, rows_.headerHeight, bottomB);
  DrawSeparator(p, 4, 39, 0, rows_.headerHeight);
  name(kRowNumberWidth, kRowHeaderWidth - kRowNumberWidth, Sjis("相違"));
  DrawSeparator(p, 3, 84, rows_.headerHeight, bottomB);
  DrawSeparator(p, 4, 84, 0, rows_.headerHeight);
  const int n = model_ != nullptr ? model_->FieldCount() : 0;
  const int keys = model_ != nullptr ? std::min(model_->KeyCount(), n) : 0;
  int e = kRowHeaderWidth - 1;
  for (int j = 0; j < keys; ++j) {
    const int width = columns_.Width(j);
    // The last key's name keeps clear of the double line that ends the keys.
    name(e + 1, j + 1 == keys ? width - kKeyEndLineWidth : width, model_->Field(j).Name);
    e += width;
    DrawSeparator(p, 0, e, rows_.headerHeight, bottomB);
    DrawSeparator(p, 4, e, 0, rows_.headerHeight);
  }
  if (keys > 0) {
    DrawSeparator(p, 2, e - 1, 0, bottomB);
    keyEndX_ = e;
  }
  const int firstField = keys + scrBottom_->value();
  for (int j = firstField; j < n; ++j) {
    const int width = columns_.Width(j);
    name(e + 1, width, model_->Field(j).Name);
    e += width;
    if (e >= splitX_) break;
    DrawSeparator(p, 0, e, rows_.headerHeight, bottomB);
    DrawSeparator(p, 4, e, 0, rows_.headerHeight);
  }
  FillBox(p, splitX_, 4, w - splitX_, rows_.headerHeight - 4, HeaderColor);
  DrawSeparator(p, 2, splitX_ - 2, 0, bottomB);
  e = splitX_ - 1;
  for (int j = firstField; j < n; ++j) {
    const int width = columns_.Width(j);
    name(e + 1, width, model_->Field(j).Name);
    e += width;
    if (e > w) break;
    DrawSeparator(p, 0, e, rows_.headerHeight, bottomB);
    DrawSeparator(p, 4, e, 0, rows_.headerHeight);
  }
}

// ---- The detail line ----------------------------------------------------------------------

void MainWindow::PaintDetail(QImage& image) {
  const int w = paiMain_->width();
  const int t = paiMain_->height() - rows_.detailHeight;
  // The status band and the two text bands, each a row high, each text clipped to its band.
  const int band = rows_.rowHeight;
  const QRect status(0, t, w, band), leftBand(0, t + band, w, band),
      rightBand(0, t + 2 * band, w, band);
  QPainter p(&image);
  p.setFont(gridFont_);
  FillBox(p, 0, t, w, band, kDark);
  FillBox(p, 0, t + band, w, rows_.detailHeight - band, kWhite);

  const bool hasPair = model_ != nullptr && curRow_ >= 0 && curRow_ < model_->RowCount();
  const bool hasField = model_ != nullptr && curCol_ >= 0 && curCol_ < model_->FieldCount();
  if (hasField) {
    const ResultField& field = model_->Field(curCol_);
    p.setPen(field.DiffCount > 0 ? kStatusDiffering : kStatusPlain);
    DrawClippedText(p, 10, t + 2, DetailStatusText(field.Name, curRow_, field.DiffCount), status);
  } else {
    p.setPen(kStatusPlain);
    DrawClippedText(p, 10, t + 2, DetailStatusTextNoField(curCol_, curRow_), status);
  }
  if (!hasPair || !hasField) return;

  const RecordPair pair = model_->Pair(curRow_);
  const std::string_view left = model_->Cell(Side::kLeft, curCol_, pair.LeftRow);
  const std::string_view right = model_->Cell(Side::kRight, curCol_, pair.RightRow);
  p.setPen(kBlack);
  DrawClippedText(p, 10, t + band, Sjis("左:"), leftBand);
  DrawClippedText(p, 10, t + 2 * band, Sjis("右:"), rightBand);
  // Scrolled so that the first difference shows near the left edge, however long the texts.
  const std::vector<DiffBand> diffs = DetailDiffBands(left, right);
  const int scroll = DetailScrollColumns(diffs);
  for (const DiffBand& diff : diffs) {
    const int start = std::max(diff.start, scroll);
    if (diff.end <= start) continue;
    const int x = 50 + (start - scroll) * charWidth_;
    const int width = (diff.end - start) * charWidth_;
    FillBox(p, x, t + band, width, band, LeftDiffColor);
    FillBox(p, x, t + 2 * band, width, band, RightDiffColor);
  }
  const DetailPiece shownL = DetailTextFrom(left, scroll);
  const DetailPiece shownR = DetailTextFrom(right, scroll);
  DrawClippedText(p, 50 + (shownL.column - scroll) * charWidth_, t + band, shownL.text, leftBand);
  DrawClippedText(p, 50 + (shownR.column - scroll) * charWidth_, t + 2 * band, shownR.text,
                  rightBand);
  const std::string difference = DetailDifferenceText(model_->Field(curCol_), left, right);
  if (!difference.empty()) DrawClippedText(p, 40 * charWidth_, t + band, difference, leftBand);
}

void MainWindow::PaintDetailOnScreen() {
  PaintDetail(screen_);
  paiMain_->update(0, GridBottom(), paiMain_->width(), rows_.detailHeight);
}

// ---- Overlays -----------------------------------------------------------------------------

void MainWindow::XorRects(const std::vector<QRect>& rects, const QColor& color) {
  if (rects.empty()) return;
  // Overlays stay inside the grid, so that the detail line never holds half of one.
  const QRect grid(0, 0, paiMain_->width(), GridBottom());
  QPainter p(&screen_);
  p.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
  for (const QRect& r : rects) {
    const QRect clipped = r.intersected(grid);
    if (clipped.isEmpty()) continue;
    p.fillRect(clipped, color);
    paiMain_->update(clipped);
  }
}

std::vector<QRect> MainWindow::SelectionRects(const Selection& sel) const {
  std::vector<QRect> rects;
  if (model_ == nullptr || sel.col1 == -1) return rects;
  if (sel.col1 == sel.col2 && sel.row1 == sel.row2) return rects;
  const int c1 = std::min(sel.col1, sel.col2), c2 = std::max(sel.col1, sel.col2);
  const int r1 = std::min(sel.row1, sel.row2), r2 = std::max(sel.row1, sel.row2);
  const int first = FirstRow();
  const int gridBottom = GridBottom();
  const int y = (sel.row1 == -1 || r1 < first) ? rows_.headerHeight : rows_.RowTop(r1 - first);
  if (y >= gridBottom || r2 < 0 || r2 >= model_->RowCount() || r2 < first) return rects;
  const int bottom = std::min(rows_.RowTop(r2 - first + 1), gridBottom);
  const GridFrame frame = Frame();
  const int keys = std::min(frame.keyCount, frame.FieldCount());
  auto span = [&](int x1, int x2) {
    rects.emplace_back(x1, y, x2 - x1, bottom - y);
    rects.emplace_back(x1, 0, x2 - x1, rows_.headerHeight);
  };
  bool stripDone = false;
  if (c1 >= 0 && c1 < keys) {
    const int lastKey = std::min(c2, keys - 1);
    span(frame.leftX[c1], frame.leftX[lastKey] + frame.widths[lastKey]);
    rects.emplace_back(0, y, kRowHeaderWidth, bottom - y);
    stripDone = true;
  }
  if (c2 < keys || c2 >= frame.FieldCount() || c2 < frame.FirstPaneField()) return rects;
  const bool c1Out = c1 < frame.FirstPaneField();
  int from = 0, to = 0;
  if (sel.pane == 1) {
    from = c1Out ? kRowHeaderWidth + frame.KeyWidths() : frame.leftX[c1];
    to = frame.leftX[c2] != 0 ? frame.leftX[c2] + frame.widths[c2] : splitX_;
    to = std::min(to, splitX_);
  } else if (sel.pane == 2) {
    from = c1Out ? splitX_ : frame.rightX[c1];
    to = frame.rightX[c2] != 0 ? frame.rightX[c2] + frame.widths[c2] : frame.width;
  }
  if (from == 0 || to <= from) return rects;
  span(from, to);
  if (!stripDone) rects.emplace_back(0, y, kRowHeaderWidth, bottom - y);
  return rects;
}

void MainWindow::ShowSelection(bool eraseFirst, int pane, int anchorCol, int anchorRow, int endCol,
                               int endRow) {
  const Selection wanted{pane, anchorCol, anchorRow, endCol, endRow};
  if (eraseFirst && shownSel_.pane != -1) {
    if (shownSel_ == wanted) return;
    XorRects(shownSelRects_, kSelectionBrush);
    shownSelRects_.clear();
    shownSel_ = Selection{};
  }
  if (anchorCol == endCol && anchorRow == endRow) return;
  shownSelRects_ = SelectionRects(wanted);
  XorRects(shownSelRects_, kSelectionBrush);
  shownSel_ = wanted;
}

void MainWindow::CursorRects(int col, int row, int side, int pane, std::vector<QRect>& pen,
                             std::vector<QRect>& inverse) const {
  if (model_ == nullptr || row < 0 || row >= model_->RowCount() || row < FirstRow()) return;
  if (col < 0 || col >= model_->FieldCount()) return;
  const int top = rows_.RowTop(row - FirstRow());
  if (top >= GridBottom()) return;
  const int x = columns_.PaneX(col, pane);
  if (x == 0) return;
  const int left = x - 2;
  int right = x - 2 + columns_.Width(col) + 1;
  bool open = false;
  if (pane == 1 && right > splitX_ - 5) {
    right = splitX_ - 5;
    open = true;
  }
  const int width = right - left + 1;
  const int bottom = top + rows_.rowHeight;
  if (width > 0) {
    pen.emplace_back(left, top, width, 2);
    pen.emplace_back(left, bottom - 1, width, 2);
    pen.emplace_back(left, top + 2, 2, bottom - 1 - (top + 2));
    if (!open) pen.emplace_back(right - 1, top + 2, 2, bottom - 1 - (top + 2));
  }
  if (pane == side) {
    if (width > 0) inverse.emplace_back(left, 0, width, rows_.headerHeight);
    inverse.emplace_back(0, top, kRowHeaderWidth, rows_.rowHeight);
  }
}

void MainWindow::ShowCursor(bool eraseFirst, int col, int row, int side) {
  if (eraseFirst) {
    for (int pane = 1; pane <= 2; ++pane) {
      if (!shownCursor_.drawn[pane]) continue;
      XorRects(shownCursor_.pen[pane],
               pane == shownCursor_.side ? kOwnPaneCursor : kOtherPaneCursor);
      XorRects(shownCursor_.inverse[pane], kHeaderInverse);
    }
  }
  shownCursor_ = CursorMark{};
  shownCursor_.col = col;
  shownCursor_.row = row;
  shownCursor_.side = side;
  for (int pane = 1; pane <= 2; ++pane) {
    CursorRects(col, row, side, pane, shownCursor_.pen[pane], shownCursor_.inverse[pane]);
    if (shownCursor_.pen[pane].empty() && shownCursor_.inverse[pane].empty()) continue;
    XorRects(shownCursor_.pen[pane], pane == side ? kOwnPaneCursor : kOtherPaneCursor);
    XorRects(shownCursor_.inverse[pane], kHeaderInverse);
    shownCursor_.drawn[pane] = true;
  }
}

void MainWindow::MoveDragLine(int x) {
  if (x >= paiMain_->width() || x < resizeMinX_) return;
  const int gridBottom = GridBottom();
  if (dragLineShown_) XorRects({QRect(dragLineX_ - 1, 0, 3, gridBottom)}, kDragLine);
  XorRects({QRect(x - 1, 0, 3, gridBottom)}, kDragLine);
  dragLineShown_ = true;
  dragLineX_ = x;
  resizeX_ = x;
}

}  // namespace korvel
