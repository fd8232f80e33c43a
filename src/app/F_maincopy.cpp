// TfrmMain: the Edit menu's copies to the clipboard.

#include <QClipboard>
#include <QGuiApplication>
#include <string>

#include "app/F_main.h"
#include "app/QtText.h"
#include "view/CopyText.h"

namespace korvel {
namespace {

CopyViewState CopyViewOf(const TfrmMain& w) {
  CopyViewState view;
  const TfrmMain::Selection& sel = w.ShownSel();
  view.shownSel = CopyRect{sel.pane, sel.col1, sel.row1, sel.col2, sel.row2};
  view.curSide = w.CurSide;
  view.curCol = w.CurCol;
  view.curRow = w.CurRow;
  view.withHeader = w.CopyWithHeader;
  view.withMarks = w.CopyWithMarks;
  return view;
}

}  // namespace

void TfrmMain::mnuEditCopyClick() { CopyRange(false); }

void TfrmMain::mnuEditCopyGyakuClick() { CopyRange(true); }

void TfrmMain::mnuEditCopyRowClick() {
  std::string text;
  if (CopyRowCompareText(session_, CurRow, text) == kCopyDone) PutOnClipboard(text);
}

void TfrmMain::CopyRange(bool otherSide) {
  // The cursor cell stands in for a selection that is not shown, without becoming one: the
  // cursor, the selection and the result stay as they are.
  std::string text;
  if (CopySelectionText(session_, CopyViewOf(*this), otherSide, text) == kCopyDone) {
    PutOnClipboard(text);
  }
}

void TfrmMain::PutOnClipboard(const std::string& cp932) {
  if (QClipboard* clipboard = QGuiApplication::clipboard()) clipboard->setText(ToQString(cp932));
}

}  // namespace korvel
