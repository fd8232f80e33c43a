// MainWindow: the mouse, the wheel, the keys and the auto-scroll timer.

#include <QKeyEvent>
#include <QMouseEvent>
#include <QTimer>
#include <QWheelEvent>
#include <algorithm>

#include "grid/GridGeometry.h"
#include "mainwindow/MainWindow.h"

namespace korvel {
namespace {

constexpr int kStepUp = 0, kStepDown = 1, kStepLeft = 2, kStepRight = 3;

}  // namespace

// ---- Mouse --------------------------------------------------------------------------------

void MainWindow::paiMainMouseDown(QMouseEvent* event) {
  const int x = event->position().toPoint().x();
  const int y = event->position().toPoint().y();
  if (event->button() == Qt::RightButton) {
    if (y <= kHeaderHeight) ShowHeaderPopup(x, y);
    return;
  }
  if (event->button() != Qt::LeftButton) return;
  timer_->stop();
  if (y >= GridBottom()) return;

  BorderHit border = HitBorder(Frame(), x, y, GridBottom());
  if (border.hit) {
    ResizeTarget = border.target;
    ResizeMinX = border.minX;
    ResizeX = x;
    MoveDragLine(x);
    return;
  }
  const int n = model_ != nullptr ? model_->RowCount() : 0;
  const int row = y <= kHeaderHeight ? -1 : (y - kHeaderHeight) / RowHeight + FirstRow();
  if (row >= n) return;
  HeaderHit hit = HitHeader(Frame(), x);
  if (!hit.hit) return;
  HitColumn = hit.column;
  HitSide = hit.side;
  if (row != -1) CurRow = row;
  CurCol = hit.column;
  if (hit.side != 0) CurSide = hit.side;

  PaintDetailOnScreen();
  SelSide = CurSide;
  const int fields = model_ != nullptr ? model_->FieldCount() : 0;
  if (row == -1) {
    DragMode = 2;
    SelAnchorRow = -1;
    SelEndRow = n - 1;
    SelAnchorCol = SelEndCol = CurCol;
  } else if (x >= kRowHeaderWidth) {
    DragMode = 1;
    SelAnchorRow = SelEndRow = CurRow;
    SelAnchorCol = SelEndCol = CurCol;
  } else {
    DragMode = 3;
    SelAnchorRow = SelEndRow = CurRow;
    SelAnchorCol = 0;
    SelEndCol = std::max(0, fields - 1);
  }
  ShowSelection(true, SelSide, SelAnchorCol, SelAnchorRow, SelEndCol, SelEndRow);
  ShowCursor(true, CurCol, CurRow, CurSide);
}

void MainWindow::paiMainMouseMove(QMouseEvent* event) {
  const int x = event->position().toPoint().x();
  const int y = event->position().toPoint().y();
  if (ResizeTarget != -2) {
    MoveDragLine(x);
    return;
  }
  if (HitBorder(Frame(), x, y, GridBottom()).hit) {
    paiMain_->setCursor(Qt::SplitHCursor);
    return;
  }
  paiMain_->setCursor(Qt::ArrowCursor);
  if (DragMode != 0) DragSelection(x, y);
}

void MainWindow::DragSelection(int x, int y) {
  const int n = model_ != nullptr ? model_->RowCount() : 0;
  const int gridBottom = GridBottom();
  const bool outside = y < 0 || y > gridBottom;
  auto startAutoScroll = [&](int row, int horizontal) {
    AutoScrollV = y < 0 ? -1 : (y > gridBottom ? 1 : 0);
    AutoScrollH = horizontal;
    lastMouseRow_ = row;
    lastMouse_ = QPoint(x, y);
    if (!timer_->isActive()) timer_->start();
  };
  const int rowUnder = (y - kHeaderHeight) / RowHeight + FirstRow();
  if (DragMode == 3) {
    if (outside) {
      startAutoScroll(rowUnder, 0);  // a row drag never scrolls sideways
      return;
    }
    if (rowUnder < 0 || rowUnder >= n) return;
    SelEndRow = rowUnder;
  } else {
    const int r = DragMode == 2 ? 0 : rowUnder;
    const int f = ColumnAtX(Frame(), x, SelSide);
    if (f < 0 || outside) {
      startAutoScroll(r, f);
      return;
    }
    if (r < 0 || r >= n) return;
    SelEndCol = f;
    if (DragMode == 1) SelEndRow = r;
  }
  ShowSelection(true, SelSide, SelAnchorCol, SelAnchorRow, SelEndCol, SelEndRow);
  timer_->stop();
  prevMouse_ = QPoint(0, 0);
}

void MainWindow::paiMainMouseUp(QMouseEvent*) {
  DragMode = 0;
  if (ResizeTarget == -2) return;
  if (ResizeTarget == -1) {
    SplitX = ResizeX;
  } else if (model_ != nullptr && ResizeTarget < model_->FieldCount()) {
    model_->SetFieldWidth(ResizeTarget, DraggedWidth(ResizeX, ResizeMinX));
  }
  ResizeTarget = -2;
  FullRepaint();
}

void MainWindow::wheelEvent(QWheelEvent* event) {
  event->accept();
  if (!scrRight_->isEnabled()) return;
  const int delta = event->angleDelta().y();
  if (delta < 0 && scrRight_->value() < scrRight_->maximum()) {
    scrRight_->setValue(scrRight_->value() + 1);
  } else if (delta > 0 && scrRight_->value() > 0) {
    scrRight_->setValue(scrRight_->value() - 1);
  }
}

// ---- Keys ---------------------------------------------------------------------------------

void MainWindow::scr_TabKeyDown(QKeyEvent* event) {
  const bool ctrl = event->modifiers() & Qt::ControlModifier;
  const bool shift = event->modifiers() & Qt::ShiftModifier;
  NavKey key;
  switch (event->key()) {
    case Qt::Key_Escape:
      ReleaseExtraction();
      return;
    case Qt::Key_Up:
      key = NavKey::kUp;
      break;
    case Qt::Key_PageUp:
      key = NavKey::kPageUp;
      break;
    case Qt::Key_Down:
      key = NavKey::kDown;
      break;
    case Qt::Key_PageDown:
      key = NavKey::kPageDown;
      break;
    case Qt::Key_Right:
      key = NavKey::kRight;
      break;
    case Qt::Key_End:
      key = NavKey::kEnd;
      break;
    case Qt::Key_Left:
      key = NavKey::kLeft;
      break;
    case Qt::Key_Home:
      key = NavKey::kHome;
      break;
    default:
      return;
  }
  std::optional<CursorCell> next =
      MoveByKey(Navigation(), {CurCol, CurRow}, key, ctrl, VisibleRowCount());
  if (!next) return;
  CurCol = next->col;
  CurRow = next->row;
  AfterKeyMove(key, shift);
}

void MainWindow::AfterKeyMove(NavKey key, bool shift) {
  if (!shift) {
    SelSide = CurSide;
    SelAnchorCol = CurCol;
    SelAnchorRow = CurRow;
  }
  SelEndCol = CurCol;
  SelEndRow = CurRow;
  ShowSelection(true, SelSide, SelAnchorCol, SelAnchorRow, SelEndCol, SelEndRow);

  bool moved = false;
  switch (key) {
    case NavKey::kUp:
    case NavKey::kPageUp:
    case NavKey::kDown:
    case NavKey::kPageDown: {
      const int first = RowScrollAfterKey(key, CurRow, FirstRow(), VisibleRowCount());
      if (first >= 0) moved = SetRowPosition(first);
      break;
    }
    case NavKey::kRight:
    case NavKey::kEnd: {
      const int hpos = ScrollRightTarget(Frame(), CurCol, CurSide);
      if (hpos >= 0) moved = SetColumnPosition(hpos);
      break;
    }
    case NavKey::kLeft:
    case NavKey::kHome: {
      const int hpos = ScrollLeftTarget(Frame(), CurCol, CurSide);
      if (hpos >= 0) moved = SetColumnPosition(hpos);
      break;
    }
  }
  if (moved) {
    FullRepaint();
  } else {
    PaintDetailOnScreen();
    ShowCursor(true, CurCol, CurRow, CurSide);
  }
}

bool MainWindow::SetRowPosition(int position) {
  const int before = scrRight_->value();
  PaintLock = true;
  scrRight_->setValue(position);
  PaintLock = false;
  return scrRight_->value() != before;
}

bool MainWindow::SetColumnPosition(int position) {
  const int before = scrBottom_->value();
  PaintLock = true;
  scrBottom_->setValue(position);
  PaintLock = false;
  return scrBottom_->value() != before;
}

void MainWindow::JumpToDiff(Direction direction) {
  if (!scrRight_->isEnabled()) return;
  const int target = JumpToDiffTarget(Navigation(), CurRow, direction);
  if (target < 0) {
    Beep();
    return;
  }
  CurRow = target;
  if (!SetRowPosition(target)) {
    // The bar did not move (it stands there already, or cannot go further), so no repaint
    // follows: move the cursor by itself.
    PaintDetailOnScreen();
    ShowCursor(true, CurCol, CurRow, CurSide);
    return;
  }
  FullRepaint();
}

// ---- Auto-scroll ----------------------------------------------------------------------------

void MainWindow::Timer1Timer() {
  if (prevMouse_ == QPoint(0, 0)) prevMouse_ = lastMouse_;
  AutoScrollTick tick = PlanAutoScroll(AutoScrollV, AutoScrollH, lastMouse_.x(), lastMouse_.y(),
                                       prevMouse_.x(), prevMouse_.y(), timer_->interval());
  if (tick.vertical != 0) AutoScrollStep(tick.vertical < 0 ? kStepUp : kStepDown);
  if (tick.horizontal != 0) AutoScrollStep(tick.horizontal < 0 ? kStepLeft : kStepRight);
  timer_->setInterval(tick.interval);
  prevMouse_ = lastMouse_;
}

void MainWindow::AutoScrollStep(int kind) {
  if (DragMode == 0 || model_ == nullptr) return;
  const int n = model_->RowCount();
  const int fields = model_->FieldCount();
  const int v = VisibleRowCount();
  if (kind == kStepUp) {
    if (SelEndRow > 0) {
      --SelEndRow;
      if (SelEndRow < FirstRow() && SetRowPosition(SelEndRow)) FullRepaint();
    }
  } else if (kind == kStepDown) {
    if (SelEndRow < n - 1) {
      ++SelEndRow;
      if (SelEndRow >= FirstRow() + v) {
        const int first = std::clamp(SelEndRow - v + 1, 0, scrRight_->maximum());
        if (SetRowPosition(first)) FullRepaint();
      }
    }
  } else if (kind == kStepLeft) {
    const int hpos = scrBottom_->value();
    if (n > 0 && hpos > 0) {
      const int keys = model_->KeyCount();
      if (SelEndCol > keys) SelEndCol = hpos + keys - 1;
      SetColumnPosition(hpos - 1);
      shownSel_.col2 = SelEndCol;
      FullRepaint();
      return;
    }
  } else if (kind == kStepRight) {
    if (n > 0 && SelEndCol < fields - 1) {
      ++SelEndCol;
      int hpos = ScrollRightTarget(Frame(), SelEndCol, SelSide);
      if (hpos >= 0) hpos = std::min(hpos, scrBottom_->maximum());
      if (hpos >= 0 && SetColumnPosition(hpos)) {
        shownSel_.col2 = SelEndCol;
        FullRepaint();
        return;
      }
    }
  }
  PaintDetailOnScreen();
  ShowSelection(true, SelSide, SelAnchorCol, SelAnchorRow, SelEndCol, SelEndRow);
  ShowCursor(true, CurCol, CurRow, CurSide);
}

}  // namespace korvel
