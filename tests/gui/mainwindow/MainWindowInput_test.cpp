// Moving through a result: keys, block jumps, mouse selections, border drags, the wheel,
// the auto-scroll of a selection drag, extraction and its release, the header popup.

#include <QAction>
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
  void initTestCase() {
    qputenv("KORVEL_HOME", QByteArray::fromStdString(home_.Path()));
    scoped_ = std::make_unique<korvel::ScopedNotifier>(&notifier_);
  }
  void cleanupTestCase() { scoped_.reset(); }
  void init();
  void cleanup() { window_.reset(); }
  void ArrowAndPagingKeys();
  void CtrlArrowsJumpToChanges();
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

 private:
  void Key(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    QTest::keyClick(window_->scr_Tab(), static_cast<Qt::Key>(key), modifiers);
  }
  korvel::ResultField Field(int j) { return window_->Model()->Field(j); }

  TempDir home_;
  TempDir dir_;
  korvel::RecordingNotifier notifier_;
  std::unique_ptr<korvel::ScopedNotifier> scoped_;
  std::unique_ptr<MainWindow> window_;
};

void GridNavigationTest::init() {
  notifier_.Clear();
  window_ = std::make_unique<MainWindow>();
  window_->show();
  QVERIFY(QTest::qWaitForWindowExposed(window_.get()));
  std::string left, right;
  MakeFiles(left, right);
  QCOMPARE(CompareInWindow(*window_, dir_, left, right, {{1}, {}, {}}), 0);
  QCOMPARE(window_->Model()->RowCount(), 60);
  QCOMPARE(window_->Model()->Pair(19).Status, -2);
  QCOMPARE(window_->Model()->Pair(29).Status, -1);
  QCOMPARE(window_->Model()->Pair(44).Status, 2);
}

void GridNavigationTest::ArrowAndPagingKeys() {
  MainWindow& w = *window_;
  const int v = w.VisibleRowCount();
  QVERIFY(v > 5 && v < 59);
  QVERIFY(w.scr_Right()->isEnabled());
  QVERIFY(w.scr_Bottom()->isEnabled());
  QCOMPARE(w.scr_Bottom()->maximum(), 2);
  Key(Qt::Key_Up);  // at row 0: nothing
  QCOMPARE(w.CurRow, 0);
  Key(Qt::Key_PageUp);
  QCOMPARE(w.CurRow, 0);
  Key(Qt::Key_Down);
  QCOMPARE(w.CurRow, 1);
  Key(Qt::Key_PageDown);
  QCOMPARE(w.CurRow, v);
  // The cursor left the page: the grid scrolls so that it is the last shown row.
  QCOMPARE(w.FirstRow(), 1);
  Key(Qt::Key_PageDown);
  Key(Qt::Key_PageDown);
  Key(Qt::Key_PageDown);
  Key(Qt::Key_PageDown);
  QCOMPARE(w.CurRow, 59);  // stops at the last row
  QCOMPARE(w.FirstRow(), 60 - v);
  Key(Qt::Key_PageDown);
  Key(Qt::Key_Down);
  QCOMPARE(w.CurRow, 59);
  Key(Qt::Key_PageUp);
  QCOMPARE(w.CurRow, 59 - (v - 1));
  QCOMPARE(w.FirstRow(), 60 - v);  // still shown: no scrolling
  Key(Qt::Key_Up);
  QCOMPARE(w.FirstRow(), w.CurRow);  // scrolled up to it
  // Sideways.
  Key(Qt::Key_Right);
  QCOMPARE(w.CurCol, 1);
  Key(Qt::Key_End);
  QCOMPARE(w.CurCol, 2);
  Key(Qt::Key_Right);
  QCOMPARE(w.CurCol, 2);
  Key(Qt::Key_Left);
  QCOMPARE(w.CurCol, 1);
  Key(Qt::Key_Home);
  QCOMPARE(w.CurCol, 0);
  Key(Qt::Key_Left);
  QCOMPARE(w.CurCol, 0);
  // Other keys are ignored.
  Key(Qt::Key_A);
  QCOMPARE(w.CurCol, 0);
}

void GridNavigationTest::CtrlArrowsJumpToChanges() {
  MainWindow& w = *window_;
  Key(Qt::Key_Right);  // field A
  Key(Qt::Key_Down, Qt::ControlModifier);
  QCOMPARE(w.CurRow, 9);  // 010 differs in A
  Key(Qt::Key_Down, Qt::ControlModifier);
  QCOMPARE(w.CurRow, 19);  // the left-only record stops every column
  Key(Qt::Key_Down, Qt::ControlModifier);
  QCOMPARE(w.CurRow, 29);
  Key(Qt::Key_Down, Qt::ControlModifier);
  QCOMPARE(w.CurRow, 44);
  QVERIFY(w.FirstRow() > 0);  // scrolled to show it
  Key(Qt::Key_Down, Qt::ControlModifier);
  QCOMPARE(w.CurRow, 59);  // nothing further: the last row
  Key(Qt::Key_Up, Qt::ControlModifier);
  QCOMPARE(w.CurRow, 44);
  // Sideways within row 44: from the key, A differs, then B.
  Key(Qt::Key_Home);
  Key(Qt::Key_Right, Qt::ControlModifier);
  QCOMPARE(w.CurCol, 1);
  Key(Qt::Key_Right, Qt::ControlModifier);
  QCOMPARE(w.CurCol, 2);
  Key(Qt::Key_Left, Qt::ControlModifier);
  QCOMPARE(w.CurCol, 1);
  // Row 10 (011) differs only in B: Ctrl+Right from the key goes straight there.
  Key(Qt::Key_Up, Qt::ControlModifier);
  QCOMPARE(w.CurRow, 29);
  Key(Qt::Key_PageUp);
  Key(Qt::Key_PageUp);
  Key(Qt::Key_PageUp);
  Key(Qt::Key_PageUp);
  QCOMPARE(w.CurRow, 0);
  for (int i = 0; i < 10; ++i) Key(Qt::Key_Down);
  Key(Qt::Key_Home);
  Key(Qt::Key_Right, Qt::ControlModifier);
  QCOMPARE(w.CurCol, 2);
}

void GridNavigationTest::ShiftExtendsTheSelection() {
  MainWindow& w = *window_;
  Key(Qt::Key_Right);
  Key(Qt::Key_Down, Qt::ShiftModifier);
  Key(Qt::Key_Down, Qt::ShiftModifier);
  Key(Qt::Key_Right, Qt::ShiftModifier);
  QCOMPARE(w.SelAnchorCol, 1);
  QCOMPARE(w.SelAnchorRow, 0);
  QCOMPARE(w.SelEndCol, 2);
  QCOMPARE(w.SelEndRow, 2);
  QCOMPARE(w.ShownSel().pane, 1);
  // The selected range is inverted on the screen, not in the back buffer.
  const int x = Field(1).LeftX + 20;
  QVERIFY(XoredWith(w, x, RowTop(1) + 8, QColor(57, 50, 5)));
  QVERIFY(XoredWith(w, Field(2).LeftX + 20, RowTop(2) + 8, QColor(57, 50, 5)));
  QVERIFY(Untouched(w, x, RowTop(3) + 8));
  QVERIFY(Untouched(w, Field(1).RightX + 20, RowTop(1) + 8));  // only the cursor's pane
  // A plain move collapses it onto the cursor: nothing stays inverted.
  Key(Qt::Key_Down);
  QCOMPARE(w.ShownSel().pane, -1);
  QVERIFY(Untouched(w, x, RowTop(1) + 8));
}

void GridNavigationTest::BlockJumpsBeepAtTheEnd() {
  MainWindow& w = *window_;
  QAction* down = w.Action("tb_FindDown");
  QAction* up = w.Action("tb_FindUp");
  down->trigger();
  QCOMPARE(w.CurRow, 9);
  QCOMPARE(w.FirstRow(), 9);
  down->trigger();
  QCOMPARE(w.CurRow, 19);
  down->trigger();
  QCOMPARE(w.CurRow, 29);
  down->trigger();
  QCOMPARE(w.CurRow, 44);
  QCOMPARE(notifier_.BeepCount(), 0);
  down->trigger();  // the last block: a beep, the cursor stays
  QCOMPARE(notifier_.BeepCount(), 1);
  QCOMPARE(w.CurRow, 44);
  up->trigger();
  QCOMPARE(w.CurRow, 29);
  up->trigger();
  QCOMPARE(w.CurRow, 19);
  up->trigger();
  QCOMPARE(w.CurRow, 9);  // the first row of the block 9-10
  up->trigger();
  QCOMPARE(notifier_.BeepCount(), 2);
  QCOMPARE(w.CurRow, 9);
  QVERIFY(notifier_.Texts().empty());
  // The cursor box follows the jump.
  QVERIFY(XoredWith(w, 100, 10, QColor(30, 30, 30)));
}

void GridNavigationTest::HeaderClickSelectsWholeColumns() {
  MainWindow& w = *window_;
  const int x = Field(1).LeftX + 10;
  QTest::mousePress(w.paiMain(), Qt::LeftButton, Qt::NoModifier, QPoint(x, 10));
  QCOMPARE(w.DragMode, 2);
  QCOMPARE(w.CurCol, 1);
  QCOMPARE(w.CurSide, 1);
  QCOMPARE(w.CurRow, 0);
  QCOMPARE(w.SelAnchorRow, -1);
  QCOMPARE(w.SelEndRow, 59);
  QCOMPARE(w.SelAnchorCol, 1);
  QCOMPARE(w.SelEndCol, 1);
  // The whole column is inverted from the header down, with the row-header strip; in the
  // header the cursor's header inversion lies over it.
  QVERIFY(XoredWith(w, x + 20, 10, QColor(57 ^ 30, 50 ^ 30, 5 ^ 30)));
  QVERIFY(XoredWith(w, x + 20, RowTop(5) + 8, QColor(57, 50, 5)));
  QVERIFY(XoredWith(w, 60, RowTop(5) + 8, QColor(57, 50, 5)));
  QVERIFY(Untouched(w, Field(2).LeftX + 20, RowTop(5) + 8));
  // Dragging across the headers extends it.
  QTest::mouseMove(w.paiMain(), QPoint(Field(2).LeftX + 10, 10));
  QCOMPARE(w.SelEndCol, 2);
  QVERIFY(XoredWith(w, Field(2).LeftX + 20, RowTop(5) + 8, QColor(57, 50, 5)));
  QTest::mouseRelease(w.paiMain(), Qt::LeftButton, Qt::NoModifier, QPoint(Field(2).LeftX + 10, 10));
  QCOMPARE(w.DragMode, 0);
  // The same in the right pane selects there.
  QTest::mouseClick(w.paiMain(), Qt::LeftButton, Qt::NoModifier, QPoint(Field(2).RightX + 5, 10));
  QCOMPARE(w.CurSide, 2);
  QCOMPARE(w.ShownSel().pane, 2);
  QVERIFY(XoredWith(w, Field(2).RightX + 20, RowTop(3) + 8, QColor(57, 50, 5)));
  QVERIFY(Untouched(w, Field(2).LeftX + 20, RowTop(3) + 8));
}

void GridNavigationTest::RowHeaderClickSelectsWholeRows() {
  MainWindow& w = *window_;
  QTest::mouseClick(w.paiMain(), Qt::LeftButton, Qt::NoModifier, QPoint(20, RowTop(3) + 5));
  QCOMPARE(w.CurRow, 3);
  QCOMPARE(w.CurCol, -1);  // no cursor cell
  QCOMPARE(w.SelAnchorCol, 0);
  QCOMPARE(w.SelEndCol, 2);
  QCOMPARE(w.SelAnchorRow, 3);
  // Inverted over every field of the pane; no cursor box is drawn.
  for (int j = 0; j < 3; ++j) {
    QVERIFY(XoredWith(w, Field(j).LeftX + 20, RowTop(3) + 8, QColor(57, 50, 5)));
    QVERIFY(XoredWith(w, Field(j).LeftX + 20, RowTop(3), QColor(57, 50, 5)));
  }
  QVERIFY(Untouched(w, 100, RowTop(2) + 8));
  // Dragging down the strip extends the rows.
  QTest::mousePress(w.paiMain(), Qt::LeftButton, Qt::NoModifier, QPoint(20, RowTop(3) + 5));
  QTest::mouseMove(w.paiMain(), QPoint(20, RowTop(6) + 5));
  QCOMPARE(w.SelEndRow, 6);
  QVERIFY(XoredWith(w, Field(1).LeftX + 20, RowTop(6) + 8, QColor(57, 50, 5)));
  QTest::mouseRelease(w.paiMain(), Qt::LeftButton, Qt::NoModifier, QPoint(20, RowTop(6) + 5));
  QCOMPARE(w.DragMode, 0);
}

void GridNavigationTest::ClickBelowTheLastRowChangesNothing() {
  MainWindow& w = *window_;
  w.Action("mnuFindSelDf")->trigger();  // three rows remain
  QCOMPARE(w.Model()->RowCount(), 3);
  Key(Qt::Key_Down);
  QCOMPARE(w.CurRow, 1);
  QTest::mouseClick(w.paiMain(), Qt::LeftButton, Qt::NoModifier,
                    QPoint(Field(1).LeftX + 10, RowTop(5) + 5));
  QCOMPARE(w.CurRow, 1);
  QCOMPARE(w.CurCol, 0);
  QCOMPARE(w.DragMode, 0);
}

void GridNavigationTest::BorderDrags() {
  MainWindow& w = *window_;
  // The right border of field A in the header row: narrower than 3 pixels gives 3.
  const int e = Field(1).LeftX + Field(1).Width - 1;
  QTest::mousePress(w.paiMain(), Qt::LeftButton, Qt::NoModifier, QPoint(e, 10));
  QCOMPARE(w.ResizeTarget, 1);
  QCOMPARE(w.ResizeMinX, e - Field(1).Width);
  // The drag line is drawn by exclusive-or over the grid only.
  QVERIFY(XoredWith(w, e, RowTop(4) + 8, QColor(125, 125, 125)));
  QTest::mouseMove(w.paiMain(), QPoint(w.ResizeMinX - 5, 10));  // left of its left edge
  QCOMPARE(w.ResizeX, e);
  QTest::mouseMove(w.paiMain(), QPoint(w.ResizeMinX + 1, 10));
  QCOMPARE(w.ResizeX, w.ResizeMinX + 1);
  QVERIFY(Untouched(w, e, RowTop(4) + 8));
  QTest::mouseRelease(w.paiMain(), Qt::LeftButton, Qt::NoModifier, QPoint(w.ResizeMinX + 1, 10));
  QCOMPARE(Field(1).Width, 3);
  QCOMPARE(w.ResizeTarget, -2);
  QCOMPARE(Field(2).LeftX, Field(1).LeftX + 3);

  // The splitter, at any height: not left of the keys plus 10.
  const int split = w.SplitX;
  QTest::mousePress(w.paiMain(), Qt::LeftButton, Qt::NoModifier, QPoint(split, RowTop(8)));
  QCOMPARE(w.ResizeTarget, -1);
  QCOMPARE(w.ResizeMinX, w.KeyEndX + 10);
  QTest::mouseMove(w.paiMain(), QPoint(w.KeyEndX + 5, RowTop(8)));
  QCOMPARE(w.ResizeX, split);
  QTest::mouseMove(w.paiMain(), QPoint(w.paiMain()->width() + 3, RowTop(8)));  // beyond
  QCOMPARE(w.ResizeX, split);
  QTest::mouseMove(w.paiMain(), QPoint(w.KeyEndX + 40, RowTop(8)));
  QTest::mouseRelease(w.paiMain(), Qt::LeftButton, Qt::NoModifier, QPoint(w.KeyEndX + 40, 0));
  QCOMPARE(w.SplitX, w.KeyEndX + 40);
  QCOMPARE(Field(1).RightX, w.SplitX);

  // The key block's border: the last key becomes the release position minus (its left
  // edge + 10).
  QTest::mousePress(w.paiMain(), Qt::LeftButton, Qt::NoModifier, QPoint(w.KeyEndX, RowTop(2)));
  QCOMPARE(w.ResizeTarget, 0);
  QCOMPARE(w.ResizeMinX, 95);
  QTest::mouseMove(w.paiMain(), QPoint(200, RowTop(2)));
  QTest::mouseRelease(w.paiMain(), Qt::LeftButton, Qt::NoModifier, QPoint(200, RowTop(2)));
  QCOMPARE(Field(0).Width, 200 - (85 + 10));
  QCOMPARE(w.KeyEndX, 84 + 105);

  // A resize puts the splitter back in the middle and the rows back to the first.
  Key(Qt::Key_PageDown);
  Key(Qt::Key_PageDown);
  QVERIFY(w.FirstRow() > 0);
  w.resize(900, 600);
  QTRY_COMPARE(w.SplitX, 105 + (w.paiMain()->width() - 105) / 2);
  QCOMPARE(w.FirstRow(), 0);
}

void GridNavigationTest::WheelScrollsRows() {
  MainWindow& w = *window_;
  auto wheel = [&](int delta) {
    QWheelEvent e(QPointF(200, 100), w.paiMain()->mapToGlobal(QPointF(200, 100)), QPoint(),
                  QPoint(0, delta), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(w.paiMain(), &e);
  };
  const QImage numbers = w.BackBuffer().copy(0, RowTop(0), 40, 16);
  wheel(-120);
  QCOMPARE(w.FirstRow(), 1);
  QVERIFY(w.BackBuffer().copy(0, RowTop(0), 40, 16) != numbers);  // painted again
  wheel(-120);
  QCOMPARE(w.FirstRow(), 2);
  wheel(120);
  wheel(120);
  wheel(120);
  QCOMPARE(w.FirstRow(), 0);
  QCOMPARE(w.BackBuffer().copy(0, RowTop(0), 40, 16), numbers);
}

void GridNavigationTest::DragBelowTheGridAutoScrolls() {
  MainWindow& w = *window_;
  const int x = Field(1).LeftX + 10;
  QTest::mousePress(w.paiMain(), Qt::LeftButton, Qt::NoModifier, QPoint(x, RowTop(2) + 5));
  QCOMPARE(w.DragMode, 1);
  const int below = w.GridBottom() + 5;
  QTest::mouseMove(w.paiMain(), QPoint(x, below));
  QVERIFY(w.Timer1()->isActive());
  QCOMPARE(w.AutoScrollV, 1);
  QCOMPARE(w.Timer1()->interval(), 700);
  const int v = w.VisibleRowCount();
  w.SelEndRow = v - 1;  // the drag reached the last shown row
  w.Timer1Timer();
  QCOMPARE(w.SelEndRow, v);
  QCOMPARE(w.FirstRow(), 1);  // scrolled one row to show it
  QCOMPARE(w.Timer1()->interval(), 670);
  w.Timer1Timer();
  QCOMPARE(w.SelEndRow, v + 1);
  QCOMPARE(w.Timer1()->interval(), 640);
  // Moving further away speeds it up more.
  QTest::mouseMove(w.paiMain(), QPoint(x, below + 20));
  w.Timer1Timer();
  QCOMPARE(w.Timer1()->interval(), 490);
  QCOMPARE(w.ShownSel().pane, 1);
  QVERIFY(XoredWith(w, x + 10, RowTop(v - 1) + 8, QColor(57, 50, 5)) ||
          XoredWith(w, x + 10, RowTop(v - 2) + 8, QColor(57, 50, 5)));
  // Back inside the grid: the timer stops.
  QTest::mouseMove(w.paiMain(), QPoint(x, RowTop(3) + 5));
  QVERIFY(!w.Timer1()->isActive());
  QTest::mouseRelease(w.paiMain(), Qt::LeftButton, Qt::NoModifier, QPoint(x, RowTop(3) + 5));
  QCOMPARE(w.DragMode, 0);
  // Without a drag the timer's steps do nothing.
  const int end = w.SelEndRow;
  w.Timer1Timer();
  QCOMPARE(w.SelEndRow, end);
}

void GridNavigationTest::ExtractionAndEscape() {
  MainWindow& w = *window_;
  const QString caption = w.windowTitle();
  QVERIFY(caption.startsWith(Q("KORVEL【左】left.csv")));
  Key(Qt::Key_Down);
  Key(Qt::Key_Down);
  w.Action("mnuFindSelDfAll")->trigger();
  QVERIFY(w.ExtractActive());
  QCOMPARE(w.Model()->RowCount(), 5);  // 010, 011, 020, 030, 045
  QCOMPARE(w.CurRow, 0);
  QCOMPARE(w.CurCol, 0);
  QCOMPARE(w.windowTitle().left(30),
           Q("KORVEL(相違分(『左のみ』、『右のみ』含む）抽出中...5件)").left(30));
  QVERIFY(w.windowTitle().contains(Q("...5件)")));
  QCOMPARE(w.scr_Right()->value(), 0);
  // Row numbers restart at 1; the left-only record is the third shown row.
  QCOMPARE(w.Model()->Pair(2).Status, -2);
  // "相違なし分を抽出" always takes the equal records, whatever header was clicked before.
  QTest::mousePress(w.paiMain(), Qt::RightButton, Qt::NoModifier, QPoint(Field(1).LeftX + 5, 5));
  w.PopupMenu()->hide();
  QCOMPARE(w.HitColumn, 1);
  w.Action("mnuFindSelDfNon")->trigger();
  QCOMPARE(w.Model()->RowCount(), 55);
  QCOMPARE(w.HitColumn, -2);
  // Esc shows all rows again.
  Key(Qt::Key_Escape);
  QVERIFY(!w.ExtractActive());
  QCOMPARE(w.Model()->RowCount(), 60);
  QCOMPARE(w.windowTitle(), caption);
  // A second Esc does nothing.
  Key(Qt::Key_Escape);
  QCOMPARE(w.Model()->RowCount(), 60);
}

void GridNavigationTest::HeaderPopupPerColumn() {
  MainWindow& w = *window_;
  QTest::mousePress(w.paiMain(), Qt::RightButton, Qt::NoModifier, QPoint(Field(2).RightX + 5, 8));
  QTRY_VERIFY(w.PopupMenu()->isVisible());
  QCOMPARE(w.HitColumn, 2);
  QCOMPARE(w.HitSide, 2);
  QCOMPARE(w.Action("mnusDfSel")->text(), Q("『FD003』の相違分を抽出"));
  QCOMPARE(w.Action("mnusDfNon")->text(), Q("『FD003』の相違なし分を抽出"));
  QVERIFY(!w.Action("mnusDfSelOut")->isEnabled());
  w.PopupMenu()->hide();
  w.Action("mnusDfSel")->trigger();
  QVERIFY(w.ExtractActive());
  QCOMPARE(w.Model()->RowCount(), 2);  // 011 and 045; one-sided records never count
  QVERIFY(w.windowTitle().startsWith(Q("KORVEL(『FD003』の相違分抽出中...2件)")));
  // The key's header: the field popup too; then the left-only item.
  QTest::mousePress(w.paiMain(), Qt::RightButton, Qt::NoModifier, QPoint(90, 8));
  QTRY_VERIFY(w.PopupMenu()->isVisible());
  QCOMPARE(w.Action("mnusDfSel")->text(), Q("『FD001』の相違分を抽出"));
  QVERIFY(w.Action("mnusDfSelOut")->isEnabled());
  w.PopupMenu()->hide();
  w.Action("mnusDfSelL")->trigger();
  QCOMPARE(w.Model()->RowCount(), 1);
  QCOMPARE(w.Model()->Pair(0).Status, -2);
  w.Action("mnusDfSelR")->trigger();
  QCOMPARE(w.Model()->RowCount(), 1);
  QCOMPARE(w.Model()->Pair(0).Status, -1);
  w.Action("mnusDfSelOut")->trigger();
  QVERIFY(!w.ExtractActive());
}

QTEST_MAIN(GridNavigationTest)
#include "MainWindowInput_test.moc"
