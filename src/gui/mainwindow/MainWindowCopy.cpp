// MainWindow: the Edit menu's copies to the clipboard.

#include <QClipboard>
#include <QGuiApplication>
#include <string>

#include "grid/CopyText.h"
#include "mainwindow/MainWindow.h"
#include "qt/QtNotifier.h"
#include "qt/QtText.h"

namespace korvel {
namespace {

CopyViewState CopyViewOf(const MainWindow::ViewState& w) {
  CopyViewState view;
  const MainWindow::Selection& sel = w.shownSel;
  view.shownSel = CopyRect{sel.pane, sel.col1, sel.row1, sel.col2, sel.row2};
  view.curSide = w.curSide;
  view.curCol = w.curCol;
  view.curRow = w.curRow;
  view.withHeader = w.copyWithHeader;
  view.withMarks = w.copyWithMarks;
  return view;
}

}  // namespace

void MainWindow::mnuEditCopyClick() { CopyRange(false); }

void MainWindow::mnuEditCopyGyakuClick() { CopyRange(true); }

void MainWindow::mnuEditCopyRowClick() {
  std::string text;
  if (ShowOutcome(CopyRowCompareText(*session_, curRow_, text))) PutOnClipboard(text);
}

void MainWindow::CopyRange(bool otherSide) {
  // The cursor cell stands in for a selection that is not shown, without becoming one: the
  // cursor, the selection and the result stay as they are.
  std::string text;
  if (ShowOutcome(
          CopySelectionText(*session_, CopyViewOf(View()), otherSide, text, ShownFields()))) {
    PutOnClipboard(text);
  }
}

void MainWindow::PutOnClipboard(const std::string& cp932) {
  if (QClipboard* clipboard = QGuiApplication::clipboard()) clipboard->setText(ToQString(cp932));
}

}  // namespace korvel
