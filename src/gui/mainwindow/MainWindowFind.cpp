// MainWindow: the text search (Ctrl+F, F3, Shift+F3) and the find dialog behind it.

#include <algorithm>
#include <optional>

#include "dialogs/FindDialog.h"
#include "grid/FindText.h"
#include "grid/GridGeometry.h"
#include "grid/GridModel.h"
#include "mainwindow/MainWindow.h"

namespace korvel {

void MainWindow::FindNext(int direction) {
  if ((direction == 0 || FindText.empty()) && !AskFind(direction)) return;
  const std::optional<FindPosition> found =
      FindCell(session_, PaneSide(CurSide), CurCol, CurRow, direction, FindText, FindMode);
  if (!found) {
    Beep();
    return;
  }
  CurCol = found->col;
  CurRow = found->row;
  SelSide = CurSide;
  SelAnchorCol = SelEndCol = CurCol;
  SelAnchorRow = SelEndRow = CurRow;
  ShowSelection(true, SelSide, SelAnchorCol, SelAnchorRow, SelEndCol, SelEndRow);
  ShowFoundCell(direction);
}

bool MainWindow::AskFind(int& direction) {
  FindDialog dialog(this);
  dialog.SetKeyword(FindText);
  dialog.SetMode(FindMode);
  dialog.exec();
  if (dialog.Direction() == 0) return false;
  direction = dialog.Direction();
  FindText = dialog.Keyword();
  FindMode = dialog.Mode();
  return true;
}

void MainWindow::ShowFoundCell(int direction) {
  const int v = VisibleRowCount();
  const int first = FirstRow();
  bool rowsMoved = false;
  if (CurRow < first || CurRow >= first + v) {
    // Upward the hit becomes the first row shown, downward the last.
    rowsMoved = SetRowPosition(direction < 0 ? CurRow : std::max(0, CurRow - v + 1));
  }
  const int hpos = FindScrollTarget(Frame(), CurCol, CurSide, rowsMoved);
  const bool fieldsMoved = hpos >= 0 && SetColumnPosition(hpos);
  if (rowsMoved || fieldsMoved) {
    FullRepaint();
  } else {
    PaintDetailOnScreen();
    ShowCursor(true, CurCol, CurRow, CurSide);
  }
}

}  // namespace korvel
