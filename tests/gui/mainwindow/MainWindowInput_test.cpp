// Moving through a result: keys, block jumps, mouse selections, border drags, the wheel,
// the auto-scroll of a selection drag, extraction and its release, the header popup.

#include <QAction>
#include <QClipboard>
#include <QGuiApplication>
#include <QMenu>
#include <QTimer>
#include <QtTest>

#include "gui/GridTestUtil.h"
#include "platform/Notifier.h"
#include "qt/QtText.h"

using korvel::MainWindow;
using korvel::Q;
using namespace korvel::test;

namespace {

// 60 records keyed 001..060 with the fields key, A, B. Key 020 is left only and 030 right
// only; 010 differs in A, 011 in B, 045 in A and B. Row i of the result is key i + 1.
void MakeFiles(std::string& left, std::string& right) {
  std::vector<std::string> l, r;
  for (int key = 1; key <= 60; ++key) {
    char k[8];
    std::snprintf(k, sizeof k, "%03d", key);
    const std::string a = key == 10 || key == 45 ? "a2" : "a";
    const std::string b = key == 11 || key == 45 ? "b2" : "b";
    if (key != 30) l.push_back(std::string(k) + ",a,b");
    if (key != 20) r.push_back(std::string(k) + "," + a + "," + b);
  }
  left = Lines(l);
  right = Lines(r);
}

}  // namespace

class GridNavigationTest : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void initTestCase() { scope_.Begin(notifier_); }
  void cleanupTestCase() { scope_.End(); }
  void init();
  void cleanup() { window_.reset(); }
  void ArrowAndPagingKeys();
  void CtrlArrowsJumpToChanges();
  void F7AndShiftF7JumpAsCtrlDownAndCtrlUp();
  void TabMovesTheCursorToTheSameCellOfTheOtherPane();
  void CtrlHomeAndCtrlEndGoToTheFirstAndLastCell();
  void ShiftExtendsTheSelection();
  void BlockJumpsBeepAtTheEnd();
  void HeaderClickSelectsWholeColumns();
  void RowHeaderClickSelectsWholeRows();
  void ClickBelowTheLastRowChangesNothing();
  void BorderDrags();
  void WheelScrollsRows();
  void DragBelowTheGridAutoScrolls();
  void ExtractionAndEscape();
  void HeaderPopupPerColumn();
  void BordersGoExactlyToTheirLeftLimit();
  void SelectionInvertsTheRowHeadersOfItsTopAndBottomRows();
  void CancelledReGridKeepsCursorScrollAndWidths();
  void FreshListsStartAtTheFirstCellWithItsAnchor();

 private:
  void Key(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    QTest::keyClick(window_->scr_Tab(), static_cast<Qt::Key>(key), modifiers);
  }
  int X(int field, int pane) { return FieldX(*window_, field, pane); }
  int Width(int field) { return FieldWidth(*window_, field); }

  WindowTestScope scope_;
  TempDir dir_;
  korvel::RecordingNotifier notifier_;
  std::unique_ptr<MainWindow> window_;
};

void GridNavigationTest::init() {
  notifier_.Clear();
  QVERIFY(ShowNewWindow(window_));
  std::string left, right;
  MakeFiles(left, right);
  QVERIFY(CompareInWindow(*window_, dir_, left, right, {{1}, {}, {}}));
  QCOMPARE(ShownRows(*window_), 60);
  QCOMPARE(Status(*window_, 19), -2);
  QCOMPARE(Status(*window_, 29), -1);
  QCOMPARE(Status(*window_, 44), 2);
}

void GridNavigationTest::ArrowAndPagingKeys() {
  MainWindow& w = *window_;
  const int v = w.View().visibleRows;
  QVERIFY(v > 5 && v < 59);
  QVERIFY(w.scr_Right()->isEnabled());
  QVERIFY(w.scr_Bottom()->isEnabled());
  QCOMPARE(w.scr_Bottom()->maximum(), 2);
  Key(Qt::Key_Up);  // at row 0: nothing
  QCOMPARE(w.View().curRow, 0);
  Key(Qt::Key_PageUp);
  QCOMPARE(w.View().curRow, 0);
  Key(Qt::Key_Down);
  QCOMPARE(w.View().curRow, 1);
  Key(Qt::Key_PageDown);
  QCOMPARE(w.View().curRow, v);
  // The cursor left the page: the grid scrolls so that it is the last shown row.
  QCOMPARE(w.View().firstRow, 1);
  Key(Qt::Key_PageDown);
  Key(Qt::Key_PageDown);
  Key(Qt::Key_PageDown);
  Key(Qt::Key_PageDown);
  QCOMPARE(w.View().curRow, 59);  // stops at the last row
  QCOMPARE(w.View().firstRow, 60 - v);
  Key(Qt::Key_PageDown);
  Key(Qt::Key_Down);
  QCOMPARE(w.View().curRow, 59);
  Key(Qt::Key_PageUp);
  QCOMPARE(w.View().curRow, 59 - (v - 1));
  QCOMPARE(w.View().firstRow, 60 - v);  // still shown: no scrolling
  Key(Qt::Key_Up);
  QCOMPARE(w.View().firstRow, w.View().curRow);  // scrolled up to it
  // Sideways.
  Key(Qt::Key_Right);
  QCOMPARE(w.View().curCol, 1);
  Key(Qt::Key_End);
  QCOMPARE(w.View().curCol, 2);
  Key(Qt::Key_Right);
  QCOMPARE(w.View().curCol, 2);
  Key(Qt::Key_Left);
  QCOMPARE(w.View().curCol, 1);
  Key(Qt::Key_Home);
  QCOMPARE(w.View().curCol, 0);
  Key(Qt::Key_Left);
  QCOMPARE(w.View().curCol, 0);
  // Other keys are ignored.
  Key(Qt::Key_A);
  QCOMPARE(w.View().curCol, 0);
}

void GridNavigationTest::CtrlArrowsJumpToChanges() {
  MainWindow& w = *window_;
  Key(Qt::Key_Right);  // field A
  Key(Qt::Key_Down, Qt::ControlModifier);
  QCOMPARE(w.View().curRow, 9);  // 010 differs in A
  Key(Qt::Key_Down, Qt::ControlModifier);
  QCOMPARE(w.View().curRow, 19);  // the left-only record stops every column
  Key(Qt::Key_Down, Qt::ControlModifier);
  QCOMPARE(w.View().curRow, 29);
  Key(Qt::Key_Down, Qt::ControlModifier);
  QCOMPARE(w.View().curRow, 44);
  QVERIFY(w.View().firstRow > 0);  // scrolled to show it
  Key(Qt::Key_Down, Qt::ControlModifier);
  QCOMPARE(w.View().curRow, 59);  // nothing further: the last row
  Key(Qt::Key_Up, Qt::ControlModifier);
  QCOMPARE(w.View().curRow, 44);
  // Sideways within row 44: from the key, A differs, then B.
  Key(Qt::Key_Home);
  Key(Qt::Key_Right, Qt::ControlModifier);
  QCOMPARE(w.View().curCol, 1);
  Key(Qt::Key_Right, Qt::ControlModifier);
  QCOMPARE(w.View().curCol, 2);
  Key(Qt::Key_Left, Qt::ControlModifier);
  QCOMPARE(w.View().curCol, 1);
  // Row 10 (011) differs only in B: Ctrl+Right from the key goes straight there.
  Key(Qt::Key_Up, Qt::ControlModifier);
  QCOMPARE(w.View().curRow, 29);
  Key(Qt::Key_PageUp);
  Key(Qt::Key_PageUp);
  Key(Qt::Key_PageUp);
  Key(Qt::Key_PageUp);
  QCOMPARE(w.View().curRow, 0);
  for (int i = 0; i < 10; ++i) Key(Qt::Key_Down);
  Key(Qt::Key_Home);
  Key(Qt::Key_Right, Qt::ControlModifier);
  QCOMPARE(w.View().curCol, 2);
}

void GridNavigationTest::F7AndShiftF7JumpAsCtrlDownAndCtrlUp() {
  MainWindow& w = *window_;
  // In field A the changes are rows 9 (010), 19 (left only), 29 (right only), 44 (045).
  struct Step {
    int key;
    Qt::KeyboardModifiers modifiers;
    int col, row;
  };
  const Step steps[] = {
      {Qt::Key_Right, Qt::NoModifier, 1, 0},
      {Qt::Key_F7, Qt::NoModifier, 1, 9},
      {Qt::Key_F7, Qt::NoModifier, 1, 19},
      {Qt::Key_F7, Qt::NoModifier, 1, 29},
      {Qt::Key_F7, Qt::NoModifier, 1, 44},
      {Qt::Key_F7, Qt::NoModifier, 1, 59},
      {Qt::Key_F7, Qt::NoModifier, 1, 59},
      {Qt::Key_F7, Qt::ShiftModifier, 1, 44},
      {Qt::Key_F7, Qt::ShiftModifier, 1, 29},
      {Qt::Key_Right, Qt::NoModifier, 2, 29},
      // Field B: 011 (row 10) differs; from 29 upwards the left-only 19 comes first.
      {Qt::Key_F7, Qt::ShiftModifier, 2, 19},
      {Qt::Key_F7, Qt::ShiftModifier, 2, 10},
      {Qt::Key_F7, Qt::ShiftModifier, 2, 0},
      {Qt::Key_F7, Qt::ShiftModifier, 2, 0},
  };
  for (const Step& s : steps) {
    Key(s.key, s.modifiers);
    QCOMPARE(w.View().curCol, s.col);
    QCOMPARE(w.View().curRow, s.row);
    // Shift+F7 chooses the direction; it never extends a selection.
    QCOMPARE(w.View().shownSel.pane, -1);
    QCOMPARE(w.View().selAnchorRow, s.row);
  }
  // And it goes where Ctrl+Down goes, scrolling alike.
  Key(Qt::Key_F7);
  const MainWindow::ViewState byF7 = w.View();
  Key(Qt::Key_Up, Qt::ControlModifier);
  Key(Qt::Key_Down, Qt::ControlModifier);
  QCOMPARE(w.View().curRow, byF7.curRow);
  QCOMPARE(w.View().firstRow, byF7.firstRow);
}

void GridNavigationTest::TabMovesTheCursorToTheSameCellOfTheOtherPane() {
  MainWindow& w = *window_;
  const QColor headerInverse(30, 30, 30);
  Key(Qt::Key_Right);
  Key(Qt::Key_Down);
  Key(Qt::Key_Down);
  QCOMPARE(w.View().curSide, 1);
  struct Step {
    int key;
    Qt::KeyboardModifiers modifiers;
    int side;
  };
  const Step steps[] = {{Qt::Key_Tab, Qt::NoModifier, 2},
                        {Qt::Key_Tab, Qt::NoModifier, 1},
                        {Qt::Key_Backtab, Qt::ShiftModifier, 2},
                        {Qt::Key_Backtab, Qt::ShiftModifier, 1},
                        {Qt::Key_Tab, Qt::ShiftModifier, 2}};
  for (const Step& s : steps) {
    Key(s.key, s.modifiers);
    const MainWindow::ViewState v = w.View();
    QCOMPARE(v.curSide, s.side);
    QCOMPARE(v.curCol, 1);
    QCOMPARE(v.curRow, 2);
    QCOMPARE(v.selSide, s.side);
    // The keyboard focus stays on the grid.
    QVERIFY(w.scr_Tab()->hasFocus());
    // The cursor's header is inverted in its own pane only.
    QVERIFY(XoredWith(w, X(1, s.side) + 10, 10, headerInverse));
    QVERIFY(Untouched(w, X(1, 3 - s.side) + 10, 10));
  }
  // An arrow then moves in the new pane.
  Key(Qt::Key_Right);
  QCOMPARE(w.View().curSide, 2);
  QCOMPARE(w.View().curCol, 2);
}

void GridNavigationTest::CtrlHomeAndCtrlEndGoToTheFirstAndLastCell() {
  MainWindow& w = *window_;
  const int v = w.View().visibleRows;
  struct Step {
    int key;
    Qt::KeyboardModifiers modifiers;
    int col, row, firstRow;
  };
  const Step steps[] = {
      {Qt::Key_End, Qt::ControlModifier, 2, 59, 60 - v},
      {Qt::Key_Home, Qt::ControlModifier, 0, 0, 0},
      {Qt::Key_Down, Qt::NoModifier, 0, 1, 0},
      {Qt::Key_End, Qt::NoModifier, 2, 1, 0},  // End alone keeps its row
      {Qt::Key_Home, Qt::NoModifier, 0, 1, 0},
      {Qt::Key_End, Qt::ControlModifier, 2, 59, 60 - v},
      {Qt::Key_Home, Qt::NoModifier, 0, 59, 60 - v},  // Home alone too
      {Qt::Key_Home, Qt::ControlModifier, 0, 0, 0},
  };
  for (const Step& s : steps) {
    Key(s.key, s.modifiers);
    QCOMPARE(w.View().curCol, s.col);
    QCOMPARE(w.View().curRow, s.row);
    QCOMPARE(w.View().firstRow, s.firstRow);
  }
  // The last cell is painted where the grid now shows it: its row's header is inverted.
  Key(Qt::Key_End, Qt::ControlModifier);
  QVERIFY(XoredWith(w, 20, RowTop(w, 59 - w.View().firstRow) + 8, QColor(30, 30, 30)));
  // With Shift, Ctrl+Home selects from the last cell to the first.
  Key(Qt::Key_Home, Qt::ControlModifier | Qt::ShiftModifier);
  QCOMPARE(w.View().selAnchorRow, 59);
  QCOMPARE(w.View().selAnchorCol, 2);
  QCOMPARE(w.View().selEndRow, 0);
  QCOMPARE(w.View().selEndCol, 0);
}

void GridNavigationTest::ShiftExtendsTheSelection() {
  MainWindow& w = *window_;
  Key(Qt::Key_Right);
  Key(Qt::Key_Down, Qt::ShiftModifier);
  Key(Qt::Key_Down, Qt::ShiftModifier);
  Key(Qt::Key_Right, Qt::ShiftModifier);
  QCOMPARE(w.View().selAnchorCol, 1);
  QCOMPARE(w.View().selAnchorRow, 0);
  QCOMPARE(w.View().selEndCol, 2);
  QCOMPARE(w.View().selEndRow, 2);
  QCOMPARE(w.View().shownSel.pane, 1);
  // The selected range is inverted on the screen, not in the back buffer.
  const int x = X(1, 1) + 20;
  QVERIFY(XoredWith(w, x, RowTop(w, 1) + 8, QColor(57, 50, 5)));
  QVERIFY(XoredWith(w, X(2, 1) + 20, RowTop(w, 2) + 8, QColor(57, 50, 5)));
  QVERIFY(Untouched(w, x, RowTop(w, 3) + 8));
  QVERIFY(Untouched(w, X(1, 2) + 20, RowTop(w, 1) + 8));  // only the cursor's pane
  // A plain move collapses it onto the cursor: nothing stays inverted.
  Key(Qt::Key_Down);
  QCOMPARE(w.View().shownSel.pane, -1);
  QVERIFY(Untouched(w, x, RowTop(w, 1) + 8));
}

void GridNavigationTest::BlockJumpsBeepAtTheEnd() {
  MainWindow& w = *window_;
  QAction* down = w.Action("tb_FindDown");
  QAction* up = w.Action("tb_FindUp");
  down->trigger();
  QCOMPARE(w.View().curRow, 9);
  QCOMPARE(w.View().firstRow, 9);
  down->trigger();
  QCOMPARE(w.View().curRow, 19);
  down->trigger();
  QCOMPARE(w.View().curRow, 29);
  down->trigger();
  QCOMPARE(w.View().curRow, 44);
  QCOMPARE(notifier_.BeepCount(), 0);
  down->trigger();  // the last block: a beep, the cursor stays
  QCOMPARE(notifier_.BeepCount(), 1);
  QCOMPARE(w.View().curRow, 44);
  up->trigger();
  QCOMPARE(w.View().curRow, 29);
  up->trigger();
  QCOMPARE(w.View().curRow, 19);
  up->trigger();
  QCOMPARE(w.View().curRow, 9);  // the first row of the block 9-10
  up->trigger();
  QCOMPARE(notifier_.BeepCount(), 2);
  QCOMPARE(w.View().curRow, 9);
  QVERIFY(notifier_.Texts().empty());
  // The cursor box follows the jump.
  QVERIFY(XoredWith(w, 100, 10, QColor(30, 30, 30)));
}

void GridNavigationTest::HeaderClickSelectsWholeColumns() {
  MainWindow& w = *window_;
  const int x = X(1, 1) + 10;
  QTest::mousePress(w.paiMain(), Qt::LeftButton, Qt::NoModifier, QPoint(x, 10));
  QCOMPARE(w.View().dragMode, 2);
  QCOMPARE(w.View().curCol, 1);
  QCOMPARE(w.View().curSide, 1);
  QCOMPARE(w.View().curRow, 0);
  QCOMPARE(w.View().selAnchorRow, -1);
  QCOMPARE(w.View().selEndRow, 59);
  QCOMPARE(w.View().selAnchorCol, 1);
  QCOMPARE(w.View().selEndCol, 1);
  // The whole column is inverted from the header down, with the row-header strip; in the
  // header the cursor's header inversion lies over it.
  QVERIFY(XoredWith(w, x + 20, 10, QColor(57 ^ 30, 50 ^ 30, 5 ^ 30)));
  QVERIFY(XoredWith(w, x + 20, RowTop(w, 5) + 8, QColor(57, 50, 5)));
  QVERIFY(XoredWith(w, 60, RowTop(w, 5) + 8, QColor(57, 50, 5)));
  QVERIFY(Untouched(w, X(2, 1) + 20, RowTop(w, 5) + 8));
  // Dragging across the headers extends it.
  QTest::mouseMove(w.paiMain(), QPoint(X(2, 1) + 10, 10));
  QCOMPARE(w.View().selEndCol, 2);
  QVERIFY(XoredWith(w, X(2, 1) + 20, RowTop(w, 5) + 8, QColor(57, 50, 5)));
  QTest::mouseRelease(w.paiMain(), Qt::LeftButton, Qt::NoModifier, QPoint(X(2, 1) + 10, 10));
  QCOMPARE(w.View().dragMode, 0);
  // The same in the right pane selects there.
  QTest::mouseClick(w.paiMain(), Qt::LeftButton, Qt::NoModifier, QPoint(X(2, 2) + 5, 10));
  QCOMPARE(w.View().curSide, 2);
  QCOMPARE(w.View().shownSel.pane, 2);
  QVERIFY(XoredWith(w, X(2, 2) + 20, RowTop(w, 3) + 8, QColor(57, 50, 5)));
  QVERIFY(Untouched(w, X(2, 1) + 20, RowTop(w, 3) + 8));
}

void GridNavigationTest::RowHeaderClickSelectsWholeRows() {
  MainWindow& w = *window_;
  QTest::mouseClick(w.paiMain(), Qt::LeftButton, Qt::NoModifier, QPoint(20, RowTop(w, 3) + 5));
  QCOMPARE(w.View().curRow, 3);
  QCOMPARE(w.View().curCol, -1);  // no cursor cell
  QCOMPARE(w.View().selAnchorCol, 0);
  QCOMPARE(w.View().selEndCol, 2);
  QCOMPARE(w.View().selAnchorRow, 3);
  // Inverted over every field of the pane; no cursor box is drawn.
  for (int j = 0; j < 3; ++j) {
    QVERIFY(XoredWith(w, X(j, 1) + 20, RowTop(w, 3) + 8, QColor(57, 50, 5)));
    QVERIFY(XoredWith(w, X(j, 1) + 20, RowTop(w, 3), QColor(57, 50, 5)));
  }
  QVERIFY(Untouched(w, 100, RowTop(w, 2) + 8));
  // Dragging down the strip extends the rows.
  QTest::mousePress(w.paiMain(), Qt::LeftButton, Qt::NoModifier, QPoint(20, RowTop(w, 3) + 5));
  QTest::mouseMove(w.paiMain(), QPoint(20, RowTop(w, 6) + 5));
  QCOMPARE(w.View().selEndRow, 6);
  QVERIFY(XoredWith(w, X(1, 1) + 20, RowTop(w, 6) + 8, QColor(57, 50, 5)));
  QTest::mouseRelease(w.paiMain(), Qt::LeftButton, Qt::NoModifier, QPoint(20, RowTop(w, 6) + 5));
  QCOMPARE(w.View().dragMode, 0);
}

void GridNavigationTest::ClickBelowTheLastRowChangesNothing() {
  MainWindow& w = *window_;
  w.Action("mnuFindSelDf")->trigger();  // three rows remain
  QCOMPARE(ShownRows(w), 3);
  Key(Qt::Key_Down);
  QCOMPARE(w.View().curRow, 1);
  QTest::mouseClick(w.paiMain(), Qt::LeftButton, Qt::NoModifier,
                    QPoint(X(1, 1) + 10, RowTop(w, 5) + 5));
  QCOMPARE(w.View().curRow, 1);
  QCOMPARE(w.View().curCol, 0);
  QCOMPARE(w.View().dragMode, 0);
}

void GridNavigationTest::BorderDrags() {
  MainWindow& w = *window_;
  // The right border of field A in the header row: narrower than 3 pixels gives 3.
  const int e = X(1, 1) + Width(1) - 1;
  QTest::mousePress(w.paiMain(), Qt::LeftButton, Qt::NoModifier, QPoint(e, 10));
  QCOMPARE(w.View().resizeTarget, 1);
  QCOMPARE(w.View().resizeMinX, e - Width(1));
  // The drag line is drawn by exclusive-or over the grid only.
  QVERIFY(XoredWith(w, e, RowTop(w, 4) + 8, QColor(125, 125, 125)));
  QTest::mouseMove(w.paiMain(), QPoint(w.View().resizeMinX - 5, 10));  // left of its left edge
  QCOMPARE(w.View().resizeX, e);
  QTest::mouseMove(w.paiMain(), QPoint(w.View().resizeMinX + 1, 10));
  QCOMPARE(w.View().resizeX, w.View().resizeMinX + 1);
  QVERIFY(Untouched(w, e, RowTop(w, 4) + 8));
  QTest::mouseRelease(w.paiMain(), Qt::LeftButton, Qt::NoModifier,
                      QPoint(w.View().resizeMinX + 1, 10));
  QCOMPARE(Width(1), 3);
  QCOMPARE(w.View().resizeTarget, -2);
  QCOMPARE(X(2, 1), X(1, 1) + 3);

  // The splitter, at any height: not left of the keys plus 10.
  const int split = w.View().splitX;
  QTest::mousePress(w.paiMain(), Qt::LeftButton, Qt::NoModifier, QPoint(split, RowTop(w, 8)));
  QCOMPARE(w.View().resizeTarget, -1);
  QCOMPARE(w.View().resizeMinX, w.View().keyEndX + 10);
  QTest::mouseMove(w.paiMain(), QPoint(w.View().keyEndX + 5, RowTop(w, 8)));
  QCOMPARE(w.View().resizeX, split);
  QTest::mouseMove(w.paiMain(), QPoint(w.paiMain()->width() + 3, RowTop(w, 8)));  // beyond
  QCOMPARE(w.View().resizeX, split);
  QTest::mouseMove(w.paiMain(), QPoint(w.View().keyEndX + 40, RowTop(w, 8)));
  QTest::mouseRelease(w.paiMain(), Qt::LeftButton, Qt::NoModifier,
                      QPoint(w.View().keyEndX + 40, 0));
  QCOMPARE(w.View().splitX, w.View().keyEndX + 40);
  QCOMPARE(X(1, 2), w.View().splitX);

  // The key block's border: the last key becomes the release position minus (its left
  // edge + 10).
  QTest::mousePress(w.paiMain(), Qt::LeftButton, Qt::NoModifier,
                    QPoint(w.View().keyEndX, RowTop(w, 2)));
  QCOMPARE(w.View().resizeTarget, 0);
  QCOMPARE(w.View().resizeMinX, 95);
  QTest::mouseMove(w.paiMain(), QPoint(200, RowTop(w, 2)));
  QTest::mouseRelease(w.paiMain(), Qt::LeftButton, Qt::NoModifier, QPoint(200, RowTop(w, 2)));
  QCOMPARE(Width(0), 200 - (85 + 10));
  QCOMPARE(w.View().keyEndX, 84 + 105);

  // A resize puts the splitter back in the middle and the rows back to the first.
  Key(Qt::Key_PageDown);
  Key(Qt::Key_PageDown);
  QVERIFY(w.View().firstRow > 0);
  w.resize(900, 600);
  QTRY_COMPARE(w.View().splitX, 105 + (w.paiMain()->width() - 105) / 2);
  QCOMPARE(w.View().firstRow, 0);
}

void GridNavigationTest::WheelScrollsRows() {
  MainWindow& w = *window_;
  auto wheel = [&](int delta) {
    QWheelEvent e(QPointF(200, 100), w.paiMain()->mapToGlobal(QPointF(200, 100)), QPoint(),
                  QPoint(0, delta), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(w.paiMain(), &e);
  };
  const QImage numbers = w.BackBuffer().copy(0, RowTop(w, 0), 40, 16);
  wheel(-120);
  QCOMPARE(w.View().firstRow, 1);
  QVERIFY(w.BackBuffer().copy(0, RowTop(w, 0), 40, 16) != numbers);  // painted again
  wheel(-120);
  QCOMPARE(w.View().firstRow, 2);
  wheel(120);
  wheel(120);
  wheel(120);
  QCOMPARE(w.View().firstRow, 0);
  QCOMPARE(w.BackBuffer().copy(0, RowTop(w, 0), 40, 16), numbers);
}

void GridNavigationTest::DragBelowTheGridAutoScrolls() {
  MainWindow& w = *window_;
  const int x = X(1, 1) + 10;
  QTest::mousePress(w.paiMain(), Qt::LeftButton, Qt::NoModifier, QPoint(x, RowTop(w, 2) + 5));
  QCOMPARE(w.View().dragMode, 1);
  // The drag reaches the last shown row, then leaves the grid below it.
  const int v = w.View().visibleRows;
  QTest::mouseMove(w.paiMain(), QPoint(x, RowTop(w, v - 1) + 5));
  QCOMPARE(w.View().selEndRow, v - 1);
  QVERIFY(!w.Timer1()->isActive());
  const int below = w.View().gridBottom + 5;
  QTest::mouseMove(w.paiMain(), QPoint(x, below));
  QVERIFY(w.Timer1()->isActive());
  QCOMPARE(w.View().autoScrollV, 1);
  QCOMPARE(w.Timer1()->interval(), 700);
  Tick(w.Timer1());
  QCOMPARE(w.View().selEndRow, v);
  QCOMPARE(w.View().firstRow, 1);  // scrolled one row to show it
  QCOMPARE(w.Timer1()->interval(), 670);
  Tick(w.Timer1());
  QCOMPARE(w.View().selEndRow, v + 1);
  QCOMPARE(w.Timer1()->interval(), 640);
  // Moving further away speeds it up more.
  QTest::mouseMove(w.paiMain(), QPoint(x, below + 20));
  Tick(w.Timer1());
  QCOMPARE(w.Timer1()->interval(), 490);
  QCOMPARE(w.View().shownSel.pane, 1);
  QVERIFY(XoredWith(w, x + 10, RowTop(w, v - 1) + 8, QColor(57, 50, 5)) ||
          XoredWith(w, x + 10, RowTop(w, v - 2) + 8, QColor(57, 50, 5)));
  // Back inside the grid: the timer stops.
  QTest::mouseMove(w.paiMain(), QPoint(x, RowTop(w, 3) + 5));
  QVERIFY(!w.Timer1()->isActive());
  QTest::mouseRelease(w.paiMain(), Qt::LeftButton, Qt::NoModifier, QPoint(x, RowTop(w, 3) + 5));
  QCOMPARE(w.View().dragMode, 0);
  // A drag released outside the grid leaves the timer running, but its steps do nothing
  // once the drag is over.
  QTest::mousePress(w.paiMain(), Qt::LeftButton, Qt::NoModifier, QPoint(x, RowTop(w, 2) + 5));
  QTest::mouseMove(w.paiMain(), QPoint(x, below));
  QTest::mouseRelease(w.paiMain(), Qt::LeftButton, Qt::NoModifier, QPoint(x, below));
  QVERIFY(w.Timer1()->isActive());
  const MainWindow::ViewState before = w.View();
  Tick(w.Timer1());
  QCOMPARE(w.View().selEndRow, before.selEndRow);
  QCOMPARE(w.View().firstRow, before.firstRow);
}

void GridNavigationTest::ExtractionAndEscape() {
  MainWindow& w = *window_;
  const QString caption = w.windowTitle();
  QVERIFY(caption.startsWith(Q("KORVEL【左】left.csv")));
  Key(Qt::Key_Down);
  Key(Qt::Key_Down);
  w.Action("mnuFindSelDfAll")->trigger();
  QVERIFY(w.Session().ExtractActive());
  QCOMPARE(ShownRows(w), 5);  // 010, 011, 020, 030, 045
  QCOMPARE(w.View().curRow, 0);
  QCOMPARE(w.View().curCol, 0);
  QCOMPARE(w.windowTitle().left(30),
           Q("KORVEL(相違分(『左のみ』、『右のみ』含む）抽出中...5件)").left(30));
  QVERIFY(w.windowTitle().contains(Q("...5件)")));
  QCOMPARE(w.scr_Right()->value(), 0);
  // Row numbers restart at 1; the left-only record is the third shown row.
  QCOMPARE(Status(w, 2), -2);
  // "相違なし分を抽出" always takes the equal records, whatever header was clicked before.
  QTest::mousePress(w.paiMain(), Qt::RightButton, Qt::NoModifier, QPoint(X(1, 1) + 5, 5));
  w.PopupMenu()->hide();
  QCOMPARE(w.View().hitColumn, 1);
  w.Action("mnuFindSelDfNon")->trigger();
  QCOMPARE(ShownRows(w), 55);
  QCOMPARE(w.View().hitColumn, -2);
  // Esc shows all rows again.
  Key(Qt::Key_Escape);
  QVERIFY(!w.Session().ExtractActive());
  QCOMPARE(ShownRows(w), 60);
  QCOMPARE(w.windowTitle(), caption);
  // A second Esc does nothing.
  Key(Qt::Key_Escape);
  QCOMPARE(ShownRows(w), 60);
}

void GridNavigationTest::HeaderPopupPerColumn() {
  MainWindow& w = *window_;
  QTest::mousePress(w.paiMain(), Qt::RightButton, Qt::NoModifier, QPoint(X(2, 2) + 5, 8));
  QTRY_VERIFY(w.PopupMenu()->isVisible());
  QCOMPARE(w.View().hitColumn, 2);
  QCOMPARE(w.View().hitSide, 2);
  QCOMPARE(w.Action("mnusDfSel")->text(), Q("『FD003』の相違分を抽出"));
  QCOMPARE(w.Action("mnusDfNon")->text(), Q("『FD003』の相違なし分を抽出"));
  QVERIFY(!w.Action("mnusDfSelOut")->isEnabled());
  w.PopupMenu()->hide();
  w.Action("mnusDfSel")->trigger();
  QVERIFY(w.Session().ExtractActive());
  QCOMPARE(ShownRows(w), 2);  // 011 and 045; one-sided records never count
  QVERIFY(w.windowTitle().startsWith(Q("KORVEL(『FD003』の相違分抽出中...2件)")));
  // The key's header: the field popup too; then the left-only item.
  QTest::mousePress(w.paiMain(), Qt::RightButton, Qt::NoModifier, QPoint(90, 8));
  QTRY_VERIFY(w.PopupMenu()->isVisible());
  QCOMPARE(w.Action("mnusDfSel")->text(), Q("『FD001』の相違分を抽出"));
  QVERIFY(w.Action("mnusDfSelOut")->isEnabled());
  w.PopupMenu()->hide();
  w.Action("mnusDfSelL")->trigger();
  QCOMPARE(ShownRows(w), 1);
  QCOMPARE(Status(w, 0), -2);
  w.Action("mnusDfSelR")->trigger();
  QCOMPARE(ShownRows(w), 1);
  QCOMPARE(Status(w, 0), -1);
  w.Action("mnusDfSelOut")->trigger();
  QVERIFY(!w.Session().ExtractActive());
}

// A drag line may stand exactly on its left limit (only left of it is refused): a column
// border released there gives the narrowest width, 3, and the splitter rests there.
void GridNavigationTest::BordersGoExactlyToTheirLeftLimit() {
  MainWindow& w = *window_;
  const int e = X(1, 1) + Width(1) - 1;
  QTest::mousePress(w.paiMain(), Qt::LeftButton, Qt::NoModifier, QPoint(e, 10));
  const int limit = w.View().resizeMinX;
  QCOMPARE(limit, X(1, 1) - 1);
  QTest::mouseMove(w.paiMain(), QPoint(limit, 10));
  QCOMPARE(w.View().resizeX, limit);
  QVERIFY(XoredWith(w, limit, RowTop(w, 4) + 8, QColor(125, 125, 125)));
  QTest::mouseRelease(w.paiMain(), Qt::LeftButton, Qt::NoModifier, QPoint(limit, 10));
  QCOMPARE(Width(1), 3);

  const int split = w.View().splitX;
  const int splitLimit = w.View().keyEndX + 10;
  QVERIFY(split > splitLimit);
  QTest::mousePress(w.paiMain(), Qt::LeftButton, Qt::NoModifier, QPoint(split, RowTop(w, 6)));
  QCOMPARE(w.View().resizeMinX, splitLimit);
  QTest::mouseMove(w.paiMain(), QPoint(splitLimit, RowTop(w, 6)));
  QCOMPARE(w.View().resizeX, splitLimit);
  QTest::mouseRelease(w.paiMain(), Qt::LeftButton, Qt::NoModifier,
                      QPoint(splitLimit, RowTop(w, 6)));
  QCOMPARE(w.View().splitX, splitLimit);
  QCOMPARE(X(1, 2), splitLimit);  // the right pane starts there
}

// A selection inverts the row-number and difference strip exactly over its rows, from the
// first pixel row of its top row to the last of its bottom row, and the header over its
// columns; where the cursor's own inversions lie on top, both show.
void GridNavigationTest::SelectionInvertsTheRowHeadersOfItsTopAndBottomRows() {
  MainWindow& w = *window_;
  Key(Qt::Key_Right);
  Key(Qt::Key_Down);
  Key(Qt::Key_Down);  // the anchor: field A, row 2
  for (int i = 0; i < 3; ++i) Key(Qt::Key_Down, Qt::ShiftModifier);
  Key(Qt::Key_Right, Qt::ShiftModifier);  // the end and the cursor: field B, row 5
  QCOMPARE(w.View().shownSel, (MainWindow::Selection{1, 1, 2, 2, 5}));
  const QColor brush(57, 50, 5);
  const QColor both(57 ^ 30, 50 ^ 30, 5 ^ 30);  // with the cursor's inversion
  for (int x : {5, 60}) {
    QVERIFY(Untouched(w, x, RowTop(w, 2) - 1));
    QVERIFY(XoredWith(w, x, RowTop(w, 2), brush));
    QVERIFY(XoredWith(w, x, RowTop(w, 3) - 1, brush));
    QVERIFY(XoredWith(w, x, RowTop(w, 4) + 8, brush));
    QVERIFY(XoredWith(w, x, RowTop(w, 5), both));
    QVERIFY(XoredWith(w, x, RowTop(w, 6) - 1, both));
    QVERIFY(Untouched(w, x, RowTop(w, 6)));
  }
  // The header: over field A the selection alone, over field B the cursor's column too;
  // nothing over the key or in the other pane.
  QVERIFY(XoredWith(w, X(1, 1) + 10, 10, brush));
  QVERIFY(XoredWith(w, X(2, 1) + 10, 10, both));
  QVERIFY(Untouched(w, X(0, 1) + 10, 10));
  QVERIFY(Untouched(w, X(1, 2) + 10, 10));
  // Upward from its anchor the same selection turns over: row 2 is now its bottom row.
  Key(Qt::Key_Up);
  Key(Qt::Key_Up);  // collapsed onto row 3
  Key(Qt::Key_Up, Qt::ShiftModifier);
  Key(Qt::Key_Up, Qt::ShiftModifier);  // from row 3 up to row 1
  QCOMPARE(w.View().shownSel, (MainWindow::Selection{1, 2, 3, 2, 1}));
  QVERIFY(Untouched(w, 60, RowTop(w, 1) - 1));
  QVERIFY(XoredWith(w, 60, RowTop(w, 1), both));
  QVERIFY(XoredWith(w, 60, RowTop(w, 4) - 1, brush));
  QVERIFY(Untouched(w, 60, RowTop(w, 4)));
}

// A re-setting left with "キャンセル" changes nothing the user sees: not the cursor, the
// selection, the scroll positions, the dragged splitter or the column widths.
void GridNavigationTest::CancelledReGridKeepsCursorScrollAndWidths() {
  MainWindow& w = *window_;
  // Field A widened so that B leaves the left pane; the cursor on B scrolls the panes.
  const int e = X(1, 1) + Width(1) - 1;
  const int wide = w.View().splitX - 20;
  QTest::mousePress(w.paiMain(), Qt::LeftButton, Qt::NoModifier, QPoint(e, 10));
  QTest::mouseMove(w.paiMain(), QPoint(wide, 10));
  QTest::mouseRelease(w.paiMain(), Qt::LeftButton, Qt::NoModifier, QPoint(wide, 10));
  // The splitter dragged 10 pixels right.
  const int split = w.View().splitX;
  QTest::mousePress(w.paiMain(), Qt::LeftButton, Qt::NoModifier, QPoint(split, RowTop(w, 3)));
  QTest::mouseMove(w.paiMain(), QPoint(split + 10, RowTop(w, 3)));
  QTest::mouseRelease(w.paiMain(), Qt::LeftButton, Qt::NoModifier,
                      QPoint(split + 10, RowTop(w, 3)));
  QCOMPARE(w.View().splitX, split + 10);
  Key(Qt::Key_End);
  Key(Qt::Key_PageDown);
  Key(Qt::Key_PageDown);
  Key(Qt::Key_Up, Qt::ShiftModifier);
  const MainWindow::ViewState before = w.View();
  QVERIFY(before.hpos > 0);
  QVERIFY(before.firstRow > 0);
  QVERIFY(before.curRow > 0 && before.curCol == 2);
  QVERIFY(before.shownSel.pane != -1);
  const QImage screen = w.ScreenImage().copy();
  const int showings = ReGridInWindow(w, [](korvel::FieldGrid& grid) {
    grid.Toggle(2, korvel::FieldGrid::kNotCompared);  // changed, then cancelled
    return 0;
  });
  QCOMPARE(showings, 1);
  const MainWindow::ViewState after = w.View();
  QCOMPARE(QPoint(after.curCol, after.curRow), QPoint(before.curCol, before.curRow));
  QCOMPARE(after.firstRow, before.firstRow);
  QCOMPARE(after.hpos, before.hpos);
  QCOMPARE(after.splitX, before.splitX);
  QCOMPARE(after.widths, before.widths);
  QVERIFY(after == before);
  QCOMPARE(w.ScreenImage(), screen);
  QCOMPARE(w.Session().Fields()[1].NotCompared, 0);
}

// Every new list the grid shows (a run, completed or failed, a re-classification, an
// extraction and its release) puts the cursor on the first cell of the left pane with the
// selection anchored there: Shift and an arrow select from that cell at once, and the copy
// takes the left file's cells, whatever the cursor and the selection were before.
void GridNavigationTest::FreshListsStartAtTheFirstCellWithItsAnchor() {
  MainWindow& w = *window_;
  std::string left, right;
  MakeFiles(left, right);
  const std::string wide(501, 'w');
  struct Case {
    const char* name;
    std::function<void()> act;
  };
  const Case cases[] = {
      {"first run", [] {}},
      {"second run",
       [&] {
         QVERIFY(CompareInWindow(w, dir_, left, right, {{1}, {}, {}}));
       }},
      {"re-classification",
       [&] { QCOMPARE(ReGridInWindow(w, [](korvel::FieldGrid&) { return 1; }), 1); }},
      {"extraction", [&] { w.Action("mnuFindSelDfAll")->trigger(); }},
      {"release", [&] { Key(Qt::Key_Escape); }},
      {"failed run",
       [&] {
         QVERIFY(
             !CompareInWindow(w, dir_, Lines({Cat("1,", wide)}), Lines({"1,a"}), {{1}, {}, {}}));
       }},
      {"run after a failed run",
       [&] {
         QVERIFY(CompareInWindow(w, dir_, left, right, {{1}, {}, {}}));
       }},
  };
  for (const Case& c : cases) {
    // Away from the first cell: the cursor in the right pane, a selection anchored lower
    // (the first run, done by init, is checked as it left the window).
    if (&c != &cases[0] && ShownRows(w) > 5) {
      QTest::mouseClick(w.paiMain(), Qt::LeftButton, Qt::NoModifier,
                        QPoint(X(2, 2) + 5, RowTop(w, 3) + 5));
      Key(Qt::Key_Down, Qt::ShiftModifier);
      QCOMPARE(w.View().curSide, 2);
      QCOMPARE(w.View().shownSel.pane, 2);
    }
    c.act();
    if (QTest::currentTestFailed()) QFAIL(c.name);
    notifier_.Clear();
    const MainWindow::ViewState v = w.View();
    QVERIFY2(v.curSide == 1 && v.curCol == 0 && v.curRow == 0, c.name);
    QVERIFY2(v.selSide == 1 && v.selAnchorCol == 0 && v.selAnchorRow == 0, c.name);
    QVERIFY2(v.selEndCol == 0 && v.selEndRow == 0, c.name);
    QVERIFY2(v.shownSel.pane == -1, c.name);
    if (ShownRows(w) == 0) continue;

    // Shift and an arrow select from the first cell; the copy takes those cells of the left
    // file.
    Key(Qt::Key_Right, Qt::ShiftModifier);
    QVERIFY2((w.View().shownSel == MainWindow::Selection{1, 0, 0, 1, 0}), c.name);
    QGuiApplication::clipboard()->clear();
    QTest::keyClick(w.scr_Tab(), Qt::Key_C, Qt::ControlModifier);
    QVERIFY2(notifier_.Texts().empty(), c.name);
    const korvel::RecordPair first = w.Session().ViewPairs()[0];
    QVERIFY(first.LeftRow != -1);
    QString expected;
    for (int j = 0; j < 2; ++j) {
      const korvel::ResultField& f = w.Session().Fields()[static_cast<std::size_t>(j)];
      if (j > 0) expected += QLatin1Char('\t');
      expected += korvel::ToQString(
          w.Session().CellText(korvel::Side::kLeft, first.LeftRow, f.FieldNoLeft));
    }
    QVERIFY2(QGuiApplication::clipboard()->text().startsWith(expected),
             qPrintable(QGuiApplication::clipboard()->text()));
  }
}

QTEST_MAIN(GridNavigationTest)
#include "MainWindowInput_test.moc"
