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

CopyViewState CopyViewOf(const MainWindow& w) {
  CopyViewState view;
  const MainWindow::Selection& sel = w.ShownSel();
  view.shownSel = CopyRect{sel.pane, sel.col1, sel.row1, sel.col2, sel.row2};
  view.curSide = w.CurSide;
  view.curCol = w.CurCol;
  view.curRow = w.CurRow;
  view.withHeader = w.CopyWithHeader;
  view.withMarks = w.CopyWithMarks;
  return view;
}

}  // namespace

void MainWindow::mnuEditCopyClick() { CopyRange(false); }

void MainWindow::mnuEditCopyGyakuClick() { CopyRange(true); }

void MainWindow::mnuEditCopyRowClick() {
  std::string text;
  if (ShowOutcome(CopyRowCompareText(session_, CurRow, text))) PutOnClipboard(text);
}

void MainWindow::CopyRange(bool otherSide) {
  // The cursor cell stands in for a selection that is not shown, without becoming one: the
  // cursor, the selection and the result stay as they are.
  std::string text;
  if (ShowOutcome(CopySelectionText(session_, CopyViewOf(*this), otherSide, text))) {
    PutOnClipboard(text);
  }
}

void MainWindow::PutOnClipboard(const std::string& cp932) {
  if (QClipboard* clipboard = QGuiApplication::clipboard()) clipboard->setText(ToQString(cp932));
}

}  // namespace korvel
