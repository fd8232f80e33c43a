// MainWindow: the 項目別相違件数 panel, its menu item and toolbar button, and what its clicks
// do to the grid.

#include <QAction>

#include "grid/FieldSummary.h"
#include "grid/GridModel.h"
#include "mainwindow/FieldSummaryPanel.h"
#include "mainwindow/MainWindow.h"

namespace korvel {

void MainWindow::CreateFieldSummary() {
  fieldSummary_ = new FieldSummaryPanel(this, LeftDiffColor);
  addDockWidget(Qt::RightDockWidgetArea, fieldSummary_);
  fieldSummary_->hide();
  QAction* item = Action("mnuViewFieldSummary");
  QAction* button = Action("tb_FieldSummary");
  // The menu item, the button and the panel's own close box are one switch.
  for (QAction* action : {item, button}) {
    connect(action, &QAction::triggered, this,
            [this](bool shown) { fieldSummary_->setVisible(shown); });
  }
  connect(fieldSummary_, &QDockWidget::visibilityChanged, this, [this, item, button] {
    const bool shown = fieldSummary_->isVisible();
    item->setChecked(shown);
    button->setChecked(shown);
    if (shown) RefreshFieldSummary();
  });
  connect(fieldSummary_, &FieldSummaryPanel::FieldClicked, this, &MainWindow::FieldSummaryClicked);
  connect(fieldSummary_, &FieldSummaryPanel::FieldDoubleClicked, this,
          &MainWindow::FieldSummaryDoubleClicked);
}

void MainWindow::RefreshFieldSummary() {
  // A hidden panel is filled when it is shown: a run need not pay for it.
  if (fieldSummary_ == nullptr || !fieldSummary_->isVisible()) return;
  fieldSummary_->ShowResult(session_->Fields(),
                            ExtractActive() ? session_->ExtractStatusText() : std::string());
}

void MainWindow::FieldSummaryClicked(int field) {
  if (model_ == nullptr || field < 0 || field >= model_->FieldCount()) return;
  const int row = FirstDifferenceRow(Navigation(), field);
  if (curSide_ != 1 && curSide_ != 2) curSide_ = 1;
  curCol_ = field;
  if (row >= 0) {
    curRow_ = row;
  } else {
    Beep();
  }
  selSide_ = curSide_;
  selAnchorCol_ = selEndCol_ = curCol_;
  selAnchorRow_ = selEndRow_ = curRow_;
  ShowSelection(true, selSide_, selAnchorCol_, selAnchorRow_, selEndCol_, selEndRow_);
  // Shown as a downward search shows its hit: on another page it becomes the last row.
  ShowFoundCell(1);
}

void MainWindow::FieldSummaryDoubleClicked(int field) {
  if (model_ == nullptr || field < 0 || field >= model_->FieldCount()) return;
  hitColumn_ = field;
  RunExtraction(1);
}

}  // namespace korvel
