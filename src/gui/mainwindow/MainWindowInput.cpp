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
    if (y <= rows_.headerHeight) ShowHeaderPopup(x, y);
    return;
  }
  if (event->button() != Qt::LeftButton) return;
  timer_->stop();
  if (y >= GridBottom()) return;

  BorderHit border = HitBorder(Frame(), x, y, GridBottom(), rows_.headerHeight);
  if (border.hit) {
    resizeTarget_ = border.target;
    resizeMinX_ = border.minX;
    resizeX_ = x;
    MoveDragLine(x);
    return;
  }
  const int n = model_ != nullptr ? model_->RowCount() : 0;
  const int row =
      y <= rows_.headerHeight ? -1 : (y - rows_.headerHeight) / rows_.rowHeight + FirstRow();
  if (row >= n) return;
  HeaderHit hit = HitHeader(Frame(), x);
  if (!hit.hit) return;
  hitColumn_ = hit.column;
  hitSide_ = hit.side;
  if (row != -1) curRow_ = row;
  curCol_ = hit.column;
  if (hit.side != 0) curSide_ = hit.side;

  PaintDetailOnScreen();
  selSide_ = curSide_;
  const int fields = model_ != nullptr ? model_->FieldCount() : 0;
  if (row == -1) {
    dragMode_ = 2;
    selAnchorRow_ = -1;
    selEndRow_ = n - 1;
    selAnchorCol_ = selEndCol_ = curCol_;
  } else if (x >= kRowHeaderWidth) {
    dragMode_ = 1;
    selAnchorRow_ = selEndRow_ = curRow_;
    selAnchorCol_ = selEndCol_ = curCol_;
  } else {
    dragMode_ = 3;
    selAnchorRow_ = selEndRow_ = curRow_;
    selAnchorCol_ = 0;
    selEndCol_ = std::max(0, fields - 1);
  }
  ShowSelection(true, selSide_, selAnchorCol_, selAnchorRow_, selEndCol_, selEndRow_);
  ShowCursor(true, curCol_, curRow_, curSide_);
}

void MainWindow::paiMainMouseMove(QMouseEvent* event) {
  const int x = event->position().toPoint().x();
  const int y = event->position().toPoint().y();
  if (resizeTarget_ != -2) {
    MoveDragLine(x);
    return;
  }
  if (HitBorder(Frame(), x, y, GridBottom(), rows_.headerHeight).hit) {
    paiMain_->setCursor(Qt::SplitHCursor);
    return;
  }
  paiMain_->setCursor(Qt::ArrowCursor);
  if (dragMode_ != 0) DragSelection(x, y);
}

void MainWindow::DragSelection(int x, int y) {
  const int n = model_ != nullptr ? model_->RowCount() : 0;
  const int gridBottom = GridBottom();
  const bool outside = y < 0 || y > gridBottom;
  auto startAutoScroll = [&](int row, int horizontal) {
    autoScrollV_ = y < 0 ? -1 : (y > gridBottom ? 1 : 0);
    autoScrollH_ = horizontal;
    lastMouseRow_ = row;
    lastMouse_ = QPoint(x, y);
    if (!timer_->isActive()) timer_->start();
  };
  const int rowUnder = (y - rows_.headerHeight) / rows_.rowHeight + FirstRow();
  if (dragMode_ == 3) {
    if (outside) {
      startAutoScroll(rowUnder, 0);  // a row drag never scrolls sideways
      return;
    }
    if (rowUnder < 0 || rowUnder >= n) return;
    selEndRow_ = rowUnder;
  } else {
    const int r = dragMode_ == 2 ? 0 : rowUnder;
    const int f = ColumnAtX(Frame(), x, selSide_);
    if (f < 0 || outside) {
      startAutoScroll(r, f);
      return;
    }
    if (r < 0 || r >= n) return;
    selEndCol_ = f;
    if (dragMode_ == 1) selEndRow_ = r;
  }
  ShowSelection(true, selSide_, selAnchorCol_, selAnchorRow_, selEndCol_, selEndRow_);
  timer_->stop();
  prevMouse_ = QPoint(0, 0);
}

void MainWindow::paiMainMouseUp(QMouseEvent*) {
  dragMode_ = 0;
  if (resizeTarget_ == -2) return;
  if (resizeTarget_ == -1) {
    splitX_ = resizeX_;
    preferredSplit_ = splitX_;
  } else if (model_ != nullptr && resizeTarget_ < model_->FieldCount()) {
    columns_.SetWidth(resizeTarget_, DraggedWidth(resizeX_, resizeMinX_));
  }
  resizeTarget_ = -2;
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
  bool ctrl = event->modifiers() & Qt::ControlModifier;
  bool shift = event->modifiers() & Qt::ShiftModifier;
  NavKey key;
  switch (event->key()) {
    case Qt::Key_Escape:
      ReleaseExtraction();
      return;
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
      SwitchPane();
      return;
    case Qt::Key_F7:
      // The difference keys of other comparison programs: Ctrl+Down, and with Shift Ctrl+Up
      // (Shift here chooses the direction, it does not extend the selection).
      key = shift ? NavKey::kUp : NavKey::kDown;
      ctrl = true;
      shift = false;
      break;
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
      key = ctrl ? NavKey::kLastCell : NavKey::kEnd;
      break;
    case Qt::Key_Left:
      key = NavKey::kLeft;
      break;
    case Qt::Key_Home:
      key = ctrl ? NavKey::kFirstCell : NavKey::kHome;
      break;
    default:
      return;
  }
  std::optional<CursorCell> next =
      MoveByKey(Navigation(), {curCol_, curRow_}, key, ctrl, VisibleRowCount());
  if (!next) return;
  curCol_ = next->col;
  curRow_ = next->row;
  AfterKeyMove(key, shift);
}

void MainWindow::AfterKeyMove(NavKey key, bool shift) {
  auto scrollRows = [&] {
    const int first = RowScrollAfterKey(key, curRow_, FirstRow(), VisibleRowCount());
    return first >= 0 && SetRowPosition(first);
  };
  auto scrollRight = [&] {
    const int hpos = ScrollRightTarget(Frame(), curCol_, curSide_);
    return hpos >= 0 && SetColumnPosition(hpos);
  };
  auto scrollLeft = [&] {
    const int hpos = ScrollLeftTarget(Frame(), curCol_, curSide_);
    return hpos >= 0 && SetColumnPosition(hpos);
  };
  bool moved = false;
  switch (key) {
    case NavKey::kUp:
    case NavKey::kPageUp:
    case NavKey::kDown:
    case NavKey::kPageDown:
      moved = scrollRows();
      break;
    case NavKey::kRight:
    case NavKey::kEnd:
      moved = scrollRight();
      break;
    case NavKey::kLeft:
    case NavKey::kHome:
      moved = scrollLeft();
      break;
    case NavKey::kFirstCell:
      moved = scrollRows();
      moved = scrollLeft() || moved;
      break;
    case NavKey::kLastCell:
      moved = scrollRows();
      moved = scrollRight() || moved;
      break;
  }
  ShowMovedCursor(shift, moved);
}

void MainWindow::SwitchPane() {
  // After a failed run there is no cursor to move (side 0).
  if (curSide_ != 1 && curSide_ != 2) return;
  curSide_ = 3 - curSide_;
  // The panes scroll together but need not be as wide: keep the cell shown in its new pane.
  const int hpos = FindScrollTarget(Frame(), curCol_, curSide_, false);
  ShowMovedCursor(false, hpos >= 0 && SetColumnPosition(hpos));
}

void MainWindow::ShowMovedCursor(bool shift, bool moved) {
  if (!shift) {
    selSide_ = curSide_;
    selAnchorCol_ = curCol_;
    selAnchorRow_ = curRow_;
  }
  selEndCol_ = curCol_;
  selEndRow_ = curRow_;
  ShowSelection(true, selSide_, selAnchorCol_, selAnchorRow_, selEndCol_, selEndRow_);
  if (moved) {
    FullRepaint();
  } else {
    PaintDetailOnScreen();
    ShowCursor(true, curCol_, curRow_, curSide_);
  }
}

bool MainWindow::SetRowPosition(int position) {
  const int before = scrRight_->value();
  paintLock_ = true;
  scrRight_->setValue(position);
  paintLock_ = false;
  return scrRight_->value() != before;
}

bool MainWindow::SetColumnPosition(int position) {
  const int before = scrBottom_->value();
  paintLock_ = true;
  scrBottom_->setValue(position);
  paintLock_ = false;
  return scrBottom_->value() != before;
}

void MainWindow::JumpToDiff(Direction direction) {
  if (!scrRight_->isEnabled()) return;
  const int target = JumpToDiffTarget(Navigation(), curRow_, direction);
  if (target < 0) {
    Beep();
    return;
  }
  curRow_ = target;
  if (!SetRowPosition(target)) {
    // The bar did not move (it stands there already, or cannot go further), so no repaint
    // follows: move the cursor by itself.
    PaintDetailOnScreen();
    ShowCursor(true, curCol_, curRow_, curSide_);
    return;
  }
  FullRepaint();
}

// ---- Auto-scroll ----------------------------------------------------------------------------

void MainWindow::Timer1Timer() {
  if (prevMouse_ == QPoint(0, 0)) prevMouse_ = lastMouse_;
  AutoScrollTick tick = PlanAutoScroll(autoScrollV_, autoScrollH_, lastMouse_.x(), lastMouse_.y(),
                                       prevMouse_.x(), prevMouse_.y(), timer_->interval());
  if (tick.vertical != 0) AutoScrollStep(tick.vertical < 0 ? kStepUp : kStepDown);
  if (tick.horizontal != 0) AutoScrollStep(tick.horizontal < 0 ? kStepLeft : kStepRight);
  timer_->setInterval(tick.interval);
  prevMouse_ = lastMouse_;
}

void MainWindow::AutoScrollStep(int kind) {
  if (dragMode_ == 0 || model_ == nullptr) return;
  const int n = model_->RowCount();
  const int fields = model_->FieldCount();
  const int v = VisibleRowCount();
  if (kind == kStepUp) {
    if (selEndRow_ > 0) {
      --selEndRow_;
      if (selEndRow_ < FirstRow() && SetRowPosition(selEndRow_)) FullRepaint();
    }
  } else if (kind == kStepDown) {
    if (selEndRow_ < n - 1) {
      ++selEndRow_;
      if (selEndRow_ >= FirstRow() + v) {
        const int first = std::clamp(selEndRow_ - v + 1, 0, scrRight_->maximum());
        if (SetRowPosition(first)) FullRepaint();
      }
    }
  } else if (kind == kStepLeft) {
    const int hpos = scrBottom_->value();
    if (n > 0 && hpos > 0) {
      const int keys = model_->KeyCount();
      if (selEndCol_ > keys) selEndCol_ = hpos + keys - 1;
      SetColumnPosition(hpos - 1);
      shownSel_.col2 = selEndCol_;
      FullRepaint();
      return;
    }
  } else if (kind == kStepRight) {
    if (n > 0 && selEndCol_ < fields - 1) {
      ++selEndCol_;
      int hpos = ScrollRightTarget(Frame(), selEndCol_, selSide_);
      if (hpos >= 0) hpos = std::min(hpos, scrBottom_->maximum());
      if (hpos >= 0 && SetColumnPosition(hpos)) {
        shownSel_.col2 = selEndCol_;
        FullRepaint();
        return;
      }
    }
  }
  PaintDetailOnScreen();
  ShowSelection(true, selSide_, selAnchorCol_, selAnchorRow_, selEndCol_, selEndRow_);
  ShowCursor(true, curCol_, curRow_, curSide_);
}

}  // namespace korvel
