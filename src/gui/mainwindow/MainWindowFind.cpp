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
  if ((direction == 0 || findText_.empty()) && !AskFind(direction)) return;
  const std::optional<FindPosition> found =
      FindCell(*session_, PaneSide(curSide_), curCol_, curRow_, direction, findText_, findMode_,
               ShownFields());
  if (!found) {
    Beep();
    return;
  }
  curCol_ = found->col;
  curRow_ = found->row;
  selSide_ = curSide_;
  selAnchorCol_ = selEndCol_ = curCol_;
  selAnchorRow_ = selEndRow_ = curRow_;
  ShowSelection(true, selSide_, selAnchorCol_, selAnchorRow_, selEndCol_, selEndRow_);
  ShowFoundCell(direction);
}

bool MainWindow::AskFind(int& direction) {
  FindDialog dialog(this);
  dialog.SetKeyword(findText_);
  dialog.SetMode(findMode_);
  dialog.exec();
  if (dialog.Direction() == 0) return false;
  direction = dialog.Direction();
  findText_ = dialog.Keyword();
  findMode_ = dialog.Mode();
  return true;
}

void MainWindow::ShowFoundCell(int direction) {
  const int v = VisibleRowCount();
  const int first = FirstRow();
  bool rowsMoved = false;
  if (curRow_ < first || curRow_ >= first + v) {
    // Upward the hit becomes the first row shown, downward the last.
    rowsMoved = SetRowPosition(direction < 0 ? curRow_ : std::max(0, curRow_ - v + 1));
  }
  const int hpos = FindScrollTarget(Frame(), curCol_, curSide_, rowsMoved);
  const bool fieldsMoved = hpos >= 0 && SetColumnPosition(hpos);
  if (rowsMoved || fieldsMoved) {
    FullRepaint();
  } else {
    PaintDetailOnScreen();
    ShowCursor(true, curCol_, curRow_, curSide_);
  }
}

}  // namespace korvel
