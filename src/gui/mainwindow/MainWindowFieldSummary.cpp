// MainWindow: the 項目別相違件数 panel, its menu item and toolbar button, and what its clicks
// do to the grid; and 相違のない項目を隠す, which shows the grid's fields through a model of
// the shown ones.

#include <QAction>
#include <QLabel>
#include <QStatusBar>
#include <algorithm>

#include "grid/FieldSummary.h"
#include "grid/GridModel.h"
#include "mainwindow/FieldSummaryPanel.h"
#include "mainwindow/MainWindow.h"
#include "qt/QtNotifier.h"
#include "qt/QtText.h"

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

  for (const char* name : {"mnuViewHideSame", "tb_HideSame"}) {
    QAction* action = Action(name);
    action->setEnabled(false);
    connect(action, &QAction::triggered, this, &MainWindow::HideSameClick);
  }
  hiddenPanel_ = new QLabel(statusBar());
  hiddenPanel_->setObjectName(QStringLiteral("HiddenFieldsPanel"));
  statusBar()->addPermanentWidget(hiddenPanel_);
}

// ---- Hiding the fields without differences ----------------------------------------------------

const std::vector<int>* MainWindow::ShownFields() const {
  return shownModel_ ? &shownModel_->Shown() : nullptr;
}

int MainWindow::SessionField(int col) const {
  if (col < 0 || !shownModel_) return col;
  return shownModel_->BaseField(col);
}

int MainWindow::GridColumn(int sessionField) const {
  if (sessionField < 0 || !shownModel_) return sessionField;
  return shownModel_->ShownField(sessionField);
}

bool MainWindow::ApplyHiding(int keepField) {
  const std::vector<ResultField>& fields = session_->Fields();
  const bool compared = std::any_of(fields.begin(), fields.end(), IsComparedField);
  for (const char* name : {"mnuViewHideSame", "tb_HideSame"}) {
    Action(name)->setEnabled(compared);
    Action(name)->setChecked(hideSame_);
  }
  const std::vector<int> before = shownModel_ ? shownModel_->Shown() : std::vector<int>();
  std::vector<int> shown;
  if (hideSame_ && compared) shown = FieldsShownWhenHiding(fields, keepField);
  const int hidden = shown.empty() ? 0 : static_cast<int>(fields.size() - shown.size());
  if (hidden == 0) shown.clear();  // nothing to hide: the grid reads the session's fields
  if (shown.empty()) {
    shownModel_.reset();
    model_ = gridModel_.get();
  } else if (shown != before) {
    shownModel_ = std::make_unique<ShownFieldsModel>(*gridModel_, shown);
    model_ = shownModel_.get();
  }
  if (hiddenPanel_ != nullptr) {
    hiddenPanel_->setText(hidden > 0 ? QString::number(hidden) + Q("項目非表示") : QString());
  }
  if (shown == before) return false;
  columns_.ShowFields(shown);
  ResetColumnScroll();
  return true;
}

void MainWindow::HideSameClick(bool on) {
  const int keep = SessionField(curCol_);
  hideSame_ = on;
  (void)ApplyHiding(keep >= 0 ? keep : 0);
  if (curCol_ >= 0) curCol_ = std::max(0, GridColumn(keep));
  selSide_ = curSide_;
  selAnchorCol_ = selEndCol_ = curCol_;
  selAnchorRow_ = selEndRow_ = curRow_;
  ClearShownSel();
  const int hpos = FindScrollTarget(Frame(), curCol_, curSide_, false);
  if (hpos >= 0) SetColumnPosition(hpos);
  FullRepaint();
  // Painted once, the cursor's field may still lie right of the pane: bring it in.
  const int again = FindScrollTarget(Frame(), curCol_, curSide_, false);
  if (again >= 0 && SetColumnPosition(again)) FullRepaint();
}

void MainWindow::RefreshFieldSummary() {
  // A hidden panel is filled when it is shown: a run need not pay for it.
  if (fieldSummary_ == nullptr || !fieldSummary_->isVisible()) return;
  fieldSummary_->ShowResult(session_->Fields(),
                            ExtractActive() ? session_->ExtractStatusText() : std::string());
}

void MainWindow::FieldSummaryClicked(int field) {
  if (model_ == nullptr || field < 0 || field >= static_cast<int>(session_->Fields().size())) {
    return;
  }
  // A hidden field is shown again as the cursor's.
  const bool reshown = GridColumn(field) < 0 && ApplyHiding(field);
  const int col = GridColumn(field);
  const int row = FirstDifferenceRow(Navigation(), col);
  if (curSide_ != 1 && curSide_ != 2) curSide_ = 1;
  curCol_ = col;
  if (row >= 0) {
    curRow_ = row;
  } else {
    Beep();
  }
  selSide_ = curSide_;
  selAnchorCol_ = selEndCol_ = curCol_;
  selAnchorRow_ = selEndRow_ = curRow_;
  if (reshown) {
    ClearShownSel();
    FullRepaint();
  } else {
    ShowSelection(true, selSide_, selAnchorCol_, selAnchorRow_, selEndCol_, selEndRow_);
  }
  // Shown as a downward search shows its hit: on another page it becomes the last row.
  ShowFoundCell(1);
}

void MainWindow::FieldSummaryDoubleClicked(int field) {
  if (gridModel_ == nullptr || field < 0 || field >= gridModel_->FieldCount()) return;
  // The extraction reads the session's fields, whatever the grid shows.
  if (ShowOutcome(gridModel_->ExtractColumn(field, true))) ShowExtractedRows();
}

}  // namespace korvel
