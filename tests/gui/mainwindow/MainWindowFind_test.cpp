// The main window's text search: Ctrl+F with the find dialog, F3 and Shift+F3, the order
// of the cells searched, the beep at the end, and the hit brought into view.

#include <QAction>
#include <QCheckBox>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QScrollBar>
#include <QtTest>

#include "dialogs/FindDialog.h"
#include "gui/GridTestUtil.h"
#include "gui/GuiTest.h"
#include "platform/Notifier.h"
#include "qt/QtText.h"

using korvel::FindDialog;
using korvel::MainWindow;
using korvel::Q;
using namespace korvel::test;

namespace {

constexpr int kRows = 60;
constexpr int kFields = 11;  // the key id and f1 to f10

// Row r (0-based) is id r + 1; every other cell is "0000000000" except:
//   row 5 f3 "ABC", row 7 f2 "zaBcz", row 9 f4 "ＡＢＣ" (full-width),
//   row 12 f1 "カ" (its trail byte is the code of J), row 40 f1 "J1",
//   row 20 f5 "Rval" on the right only, row 50 f10 "far".
std::string FindFile(bool right) {
  std::vector<std::string> lines;
  for (int r = 0; r < kRows; ++r) {
    char id[8];
    std::snprintf(id, sizeof id, "%03d", r + 1);
    std::vector<std::string> cells(kFields, "0000000000");
    cells[0] = id;
    if (r == 5) cells[3] = "ABC";
    if (r == 7) cells[2] = "zaBcz";
    if (r == 9) cells[4] = "ＡＢＣ";
    if (r == 12) cells[1] = "カ";
    if (r == 40) cells[1] = "J1";
    if (r == 20 && right) cells[5] = "Rval";
    if (r == 50) cells[10] = "far";
    std::string line;
    for (const std::string& cell : cells) line += (line.empty() ? "" : ",") + cell;
    lines.push_back(line);
  }
  return S(Lines(lines));
}

}  // namespace

class MainFindTest : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void initTestCase() { scope_.Begin(notifier_); }
  void cleanupTestCase() { scope_.End(); }
  void init();
  void cleanup() { window_.reset(); }
  void F3WithoutTextOpensTheDialog_data();
  void F3WithoutTextOpensTheDialog();
  void HitTakesTheCursorAndTheCaseBoxSetsTheMode();
  void AMissBeepsAndLeavesTheViewAsItWas();
  void NoWrapAroundAtEitherEnd();
  void CursorSideDecidesTheFileSearched();
  void OnlyExtractedRecordsAreSearched();
  void HitIsScrolledIntoView();
  void CtrlFShowsTheLastSearchAndCancelChangesNothing();

 private:
  // A key pressed in the window. Shortcuts reach only the active window, and the offscreen
  // platform does not give the activation back when a dialog closes, as a desktop does.
  void Key(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    if (!window_->isActiveWindow()) {
      window_->activateWindow();
      QVERIFY(QTest::qWaitForWindowActive(window_.get()));
    }
    QTest::keyClick(window_->scr_Tab(), key, modifiers);
  }
  // Answers the next find dialog: types `text` over what it shows, sets the case check
  // box, and clicks "上検索" (direction -1) or "下検索".
  void AnswerDialog(const QString& text, bool distinguishCase, int direction) {
    dialogShown_ = false;
    WhenModalShown([=, this](QWidget* modal) {
      auto* dialog = qobject_cast<FindDialog*>(modal);
      if (!dialog) {
        modal->close();
        return;
      }
      dialogShown_ = true;
      shownText_ = dialog->txt_Keyword->text();
      shownCase_ = dialog->chk_ABS->isChecked();
      dialog->txt_Keyword->clear();
      QTest::keyClicks(dialog->txt_Keyword, text);
      if (dialog->chk_ABS->isChecked() != distinguishCase) Click(dialog->chk_ABS);
      Click(direction < 0 ? dialog->cmd_FindUp : dialog->cmd_FindDown);
    });
  }
  void Search(const QString& text, int direction, bool distinguishCase = false) {
    AnswerDialog(text, distinguishCase, direction);
    Key(Qt::Key_F, Qt::ControlModifier);
    QVERIFY(dialogShown_);
  }
  void ClickCell(int col, int row, int pane) {
    const int x = FieldX(*window_, col, pane) + 5;
    QTest::mouseClick(window_->paiMain(), Qt::LeftButton, Qt::NoModifier,
                      QPoint(x, RowTop(*window_, row - window_->View().firstRow) + 5));
    QCOMPARE(window_->View().curCol, col);
    QCOMPARE(window_->View().curRow, row);
  }
  QPoint Cursor() const { return {window_->View().curCol, window_->View().curRow}; }

  WindowTestScope scope_;
  TempDir dir_;
  korvel::RecordingNotifier notifier_;
  std::unique_ptr<MainWindow> window_;
  bool dialogShown_ = false;
  QString shownText_;
  bool shownCase_ = false;
};

void MainFindTest::init() {
  notifier_.Clear();
  QVERIFY(ShowNewWindow(window_));
  QVERIFY(CompareInWindow(*window_, dir_, FindFile(false), FindFile(true), {{1}, {}, {}}));
  QCOMPARE(ShownRows(*window_), kRows);
  QCOMPARE(FieldCount(*window_), kFields);
  notifier_.Clear();
}

void MainFindTest::F3WithoutTextOpensTheDialog_data() {
  QTest::addColumn<int>("modifiers");
  QTest::addColumn<QString>("text");
  QTest::addColumn<int>("direction");  // chosen in the dialog
  QTest::addColumn<QPoint>("found");
  QTest::addColumn<QPoint>("upAgain");    // Shift+F3 then, without the dialog
  QTest::addColumn<QPoint>("downAgain");  // F3 after that
  QTest::addColumn<int>("beeps");
  // F3 asks; the direction chosen there (upward) is the one used. Repeated downward nothing
  // after row 7 holds abc.
  QTest::newRow("F3") << int(Qt::NoModifier) << QStringLiteral("abc") << -1 << QPoint(2, 7)
                      << QPoint(3, 5) << QPoint(2, 7) << 0;
  QTest::newRow("Shift+F3") << int(Qt::ShiftModifier) << QStringLiteral("0000000000") << 1
                            << QPoint(2, 8) << QPoint(1, 8) << QPoint(2, 8) << 0;
}

void MainFindTest::F3WithoutTextOpensTheDialog() {
  QFETCH(int, modifiers);
  QFETCH(QString, text);
  QFETCH(int, direction);
  QFETCH(QPoint, found);
  QFETCH(QPoint, upAgain);
  QFETCH(QPoint, downAgain);
  QFETCH(int, beeps);
  MainWindow& w = *window_;
  QVERIFY(w.View().findText.empty());
  QCOMPARE(w.View().findMode, 3);
  ClickCell(1, 8, 1);
  AnswerDialog(text, false, direction);
  Key(Qt::Key_F3, Qt::KeyboardModifiers(modifiers));
  QVERIFY(dialogShown_);
  QVERIFY(shownText_.isEmpty());
  QCOMPARE(Cursor(), found);
  QCOMPARE(w.View().findText, text.toStdString());
  QCOMPARE(w.View().findMode, 3);
  // Now both keys repeat the search without the dialog.
  dialogShown_ = false;
  Key(Qt::Key_F3, Qt::ShiftModifier);
  QCOMPARE(Cursor(), upAgain);
  Key(Qt::Key_F3);
  QCOMPARE(Cursor(), downAgain);
  QVERIFY(!dialogShown_);
  QCOMPARE(notifier_.BeepCount(), beeps);
  QVERIFY(notifier_.Texts().empty());
}

// The hit takes the cursor and collapses the selection onto it; the dialog's case box
// decides how the search text is matched. (The matching rules themselves are the engine's,
// tested there.)
void MainFindTest::HitTakesTheCursorAndTheCaseBoxSetsTheMode() {
  MainWindow& w = *window_;
  // A selection made before the search collapses onto the hit.
  QTest::mousePress(w.paiMain(), Qt::LeftButton, Qt::NoModifier,
                    QPoint(FieldX(w, 1, 1) + 5, RowTop(w, 0) + 5));
  QTest::mouseMove(w.paiMain(), QPoint(FieldX(w, 2, 1) + 5, RowTop(w, 2) + 5));
  QTest::mouseRelease(w.paiMain(), Qt::LeftButton, Qt::NoModifier,
                      QPoint(FieldX(w, 2, 1) + 5, RowTop(w, 2) + 5));
  QCOMPARE(w.View().shownSel.pane, 1);
  Search(QStringLiteral("abc"), 1);
  QCOMPARE(Cursor(), QPoint(3, 5));  // ABC
  QCOMPARE(w.View().shownSel.pane, -1);
  QCOMPARE(w.View().selAnchorCol, 3);
  QCOMPARE(w.View().selAnchorRow, 5);
  QCOMPARE(w.View().selEndCol, 3);
  QCOMPARE(w.View().selEndRow, 5);
  Key(Qt::Key_F3);
  QCOMPARE(Cursor(), QPoint(2, 7));  // zaBcz
  QCOMPARE(notifier_.BeepCount(), 0);
  // With case distinguished, only the exact spelling is found.
  ClickCell(0, 0, 1);
  Search(QStringLiteral("aBc"), 1, true);
  QCOMPARE(w.View().findMode, 7);
  QCOMPARE(Cursor(), QPoint(2, 7));
  ClickCell(0, 0, 1);
  Search(QStringLiteral("abc"), 1, true);
  QCOMPARE(Cursor(), QPoint(0, 0));
  QCOMPARE(notifier_.BeepCount(), 1);
}

// A search that finds nothing beeps and leaves the view exactly as it was: the cursor, the
// selection shown, both scroll positions and the screen.
void MainFindTest::AMissBeepsAndLeavesTheViewAsItWas() {
  MainWindow& w = *window_;
  Key(Qt::Key_End);
  Key(Qt::Key_PageDown);
  Key(Qt::Key_Down, Qt::ShiftModifier);
  Key(Qt::Key_Left, Qt::ShiftModifier);
  const MainWindow::ViewState before = w.View();
  QVERIFY(before.firstRow > 0);
  QVERIFY(before.hpos > 0);
  QVERIFY(before.shownSel.pane != -1);
  const QImage screen = w.ScreenImage().copy();
  Search(QStringLiteral("nowhere"), -1);
  QCOMPARE(notifier_.BeepCount(), 1);
  QVERIFY(notifier_.Texts().empty());
  const MainWindow::ViewState after = w.View();
  QCOMPARE(QPoint(after.curCol, after.curRow), QPoint(before.curCol, before.curRow));
  QCOMPARE(after.shownSel, before.shownSel);
  QCOMPARE(after.firstRow, before.firstRow);
  QCOMPARE(after.hpos, before.hpos);
  QCOMPARE(w.ScreenImage(), screen);
  // F3 repeats the miss the same way.
  Key(Qt::Key_F3);
  QCOMPARE(notifier_.BeepCount(), 2);
  QCOMPARE(w.ScreenImage(), screen);
}

void MainFindTest::NoWrapAroundAtEitherEnd() {
  MainWindow& w = *window_;
  // From the last cell of the last record downward: nothing, and never the first record.
  Key(Qt::Key_End);
  for (int i = 0; i < 10 && w.View().curRow < kRows - 1; ++i) Key(Qt::Key_PageDown);
  QCOMPARE(Cursor(), QPoint(kFields - 1, kRows - 1));
  const int first = w.View().firstRow;
  Search(QStringLiteral("0000000000"), 1);
  QCOMPARE(notifier_.BeepCount(), 1);
  QCOMPARE(Cursor(), QPoint(kFields - 1, kRows - 1));
  QCOMPARE(w.View().firstRow, first);
  // Upward the cell before it is found.
  Key(Qt::Key_F3, Qt::ShiftModifier);
  QCOMPARE(Cursor(), QPoint(kFields - 2, kRows - 1));
  // From the first cell upward: nothing, and never the last record.
  Key(Qt::Key_Home);
  for (int i = 0; i < 10 && w.View().curRow > 0; ++i) Key(Qt::Key_PageUp);
  QCOMPARE(Cursor(), QPoint(0, 0));
  Key(Qt::Key_F3, Qt::ShiftModifier);
  QCOMPARE(notifier_.BeepCount(), 2);
  QCOMPARE(Cursor(), QPoint(0, 0));
  // The cursor cell itself is not examined: the ids are found after it.
  Search(QStringLiteral("00"), 1);
  QCOMPARE(Cursor(), QPoint(1, 0));
}

void MainFindTest::CursorSideDecidesTheFileSearched() {
  MainWindow& w = *window_;
  Search(QStringLiteral("rval"), 1);
  QCOMPARE(notifier_.BeepCount(), 1);
  QCOMPARE(Cursor(), QPoint(0, 0));
  ClickCell(1, 0, 2);
  QCOMPARE(w.View().curSide, 2);
  Key(Qt::Key_F3);
  QCOMPARE(Cursor(), QPoint(5, 20));
  QCOMPARE(w.View().curSide, 2);
}

void MainFindTest::OnlyExtractedRecordsAreSearched() {
  MainWindow& w = *window_;
  w.Action("mnuFindSelDf")->trigger();  // only row 20 differs
  QCOMPARE(ShownRows(w), 1);
  Search(QStringLiteral("abc"), 1);
  QCOMPARE(notifier_.BeepCount(), 1);
  Search(QStringLiteral("021"), -1);
  QCOMPARE(notifier_.BeepCount(), 2);  // the key is the cursor cell
  Search(QStringLiteral("0000000000"), 1);
  QCOMPARE(Cursor(), QPoint(1, 0));
}

void MainFindTest::HitIsScrolledIntoView() {
  MainWindow& w = *window_;
  const int v = w.View().visibleRows;
  QVERIFY(v < 50);
  QCOMPARE(FieldX(w, 10, 1), 0);  // not in the left pane at the start
  QCOMPARE(w.scr_Bottom()->value(), 0);
  Search(QStringLiteral("FAR"), 1);
  QCOMPARE(Cursor(), QPoint(10, 50));
  // Downward: the hit's row is the last one shown; its field is the last in the left pane.
  QCOMPARE(w.View().firstRow, 50 - v + 1);
  QVERIFY(w.scr_Bottom()->value() > 0);
  const int farX = FieldX(w, 10, 1);
  QVERIFY(farX != 0);
  QVERIFY(farX + FieldWidth(w, 10) <= w.View().splitX);
  QVERIFY(FieldX(w, 9, 1) != 0);  // with the fields before it that fit
  // The cursor box is drawn around the hit.
  const int top = RowTop(w, 50 - w.View().firstRow);
  QVERIFY(!Untouched(w, farX - 2, top + 8));
  QVERIFY(Untouched(w, farX + 10, top + 8));
  // Upward from there to a row above the page: the hit becomes the first row shown, and
  // its field comes back into view.
  Search(QStringLiteral("abc"), -1);
  QCOMPARE(Cursor(), QPoint(2, 7));
  QCOMPARE(w.View().firstRow, 7);
  QCOMPARE(w.scr_Bottom()->value(), 1);  // field 2, scrolled out to the left, comes first
  QVERIFY(FieldX(w, 2, 1) != 0);
  QVERIFY(FieldX(w, 2, 1) + FieldWidth(w, 2) <= w.View().splitX);
  QVERIFY(!Untouched(w, FieldX(w, 2, 1) - 2, RowTop(w, 0) + 8));
  // Upward again to the row above the page: it becomes the first row shown, and as the
  // rows moved, its field is put at the right end of the pane.
  Key(Qt::Key_F3, Qt::ShiftModifier);
  QCOMPARE(Cursor(), QPoint(3, 5));
  QCOMPARE(w.View().firstRow, 5);
  // Field 3 was shown whole (field 2 first, position 1), yet the rows moved: field 3 goes
  // to the pane's right end with the fields before it that fit, here all of them.
  QCOMPARE(w.scr_Bottom()->value(), 0);
  QVERIFY(FieldX(w, 3, 1) != 0);
  QVERIFY(FieldX(w, 3, 1) + FieldWidth(w, 3) <= w.View().splitX);
  // A hit on the page shown moves nothing.
  const int hpos = w.scr_Bottom()->value();
  QVERIFY(FieldX(w, 2, 1) != 0);
  Key(Qt::Key_F3);
  QCOMPARE(Cursor(), QPoint(2, 7));
  QCOMPARE(w.View().firstRow, 5);
  QCOMPARE(w.scr_Bottom()->value(), hpos);
  QVERIFY(!Untouched(w, FieldX(w, 2, 1) - 2, RowTop(w, 2) + 8));
}

void MainFindTest::CtrlFShowsTheLastSearchAndCancelChangesNothing() {
  MainWindow& w = *window_;
  Search(QStringLiteral("aBc"), 1, true);
  QCOMPARE(Cursor(), QPoint(2, 7));
  // Ctrl+F asks even with a text: the dialog shows the last text and mode.
  WhenModalShown([this](QWidget* modal) {
    auto* dialog = qobject_cast<FindDialog*>(modal);
    dialogShown_ = dialog != nullptr;
    if (dialog) {
      shownText_ = dialog->txt_Keyword->text();
      shownCase_ = dialog->chk_ABS->isChecked();
      Click(dialog->cmd_Cancel);
    } else {
      modal->close();
    }
  });
  dialogShown_ = false;
  Key(Qt::Key_F, Qt::ControlModifier);
  QVERIFY(dialogShown_);
  QCOMPARE(shownText_, QStringLiteral("aBc"));
  QVERIFY(shownCase_);
  // Cancelled: no search, no beep, the text stays.
  QCOMPARE(Cursor(), QPoint(2, 7));
  QCOMPARE(notifier_.BeepCount(), 0);
  QCOMPARE(w.View().findText, std::string("aBc"));
  QCOMPARE(w.View().findMode, 7);
  // The menu's "下検索" repeats it.
  ClickCell(0, 0, 1);
  w.Action("mnuFindFindDown")->trigger();
  QCOMPARE(Cursor(), QPoint(2, 7));
}

QTEST_MAIN(MainFindTest)
#include "MainWindowFind_test.moc"
