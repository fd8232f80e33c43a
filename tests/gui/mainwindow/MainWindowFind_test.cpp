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
  void initTestCase() {
    qputenv("KORVEL_HOME", QByteArray::fromStdString(home_.Path()));
    scoped_ = std::make_unique<korvel::ScopedNotifier>(&notifier_);
  }
  void cleanupTestCase() { scoped_.reset(); }
  void init();
  void cleanup() { window_.reset(); }
  void F3WithoutTextOpensTheDialog();
  void CaseFoldingIsForAsciiLettersOnly();
  void NoMatchInsideADoubleByteCharacter();
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
    korvel::ResultField field = window_->Model()->Field(col);
    const int x = (pane == 2 ? field.RightX : field.LeftX) + 5;
    QTest::mouseClick(window_->paiMain(), Qt::LeftButton, Qt::NoModifier,
                      QPoint(x, RowTop(row - window_->FirstRow()) + 5));
    QCOMPARE(window_->CurCol, col);
    QCOMPARE(window_->CurRow, row);
  }
  QPoint Cursor() const { return {window_->CurCol, window_->CurRow}; }

  TempDir home_;
  TempDir dir_;
  korvel::RecordingNotifier notifier_;
  std::unique_ptr<korvel::ScopedNotifier> scoped_;
  std::unique_ptr<MainWindow> window_;
  bool dialogShown_ = false;
  QString shownText_;
  bool shownCase_ = false;
};

void MainFindTest::init() {
  notifier_.Clear();
  window_ = std::make_unique<MainWindow>();
  window_->show();
  QVERIFY(QTest::qWaitForWindowExposed(window_.get()));
  QCOMPARE(CompareInWindow(*window_, dir_, FindFile(false), FindFile(true), {{1}, {}, {}}), 0);
  QCOMPARE(window_->Model()->RowCount(), kRows);
  QCOMPARE(window_->Model()->FieldCount(), kFields);
  notifier_.Clear();
}

void MainFindTest::F3WithoutTextOpensTheDialog() {
  MainWindow& w = *window_;
  QVERIFY(w.FindText.empty());
  QCOMPARE(w.FindMode, 3);
  ClickCell(1, 8, 1);
  // F3 asks first; the direction chosen there (upward) is the one used.
  AnswerDialog(QStringLiteral("abc"), false, -1);
  Key(Qt::Key_F3);
  QVERIFY(dialogShown_);
  QVERIFY(shownText_.isEmpty());
  QCOMPARE(Cursor(), QPoint(2, 7));
  QCOMPARE(w.FindText, std::string("abc"));
  QCOMPARE(w.FindMode, 3);
  // Now F3 repeats without the dialog, downward: nothing after row 7 holds abc.
  dialogShown_ = false;
  Key(Qt::Key_F3);
  QCOMPARE(notifier_.BeepCount(), 1);
  QCOMPARE(Cursor(), QPoint(2, 7));
  Key(Qt::Key_F3, Qt::ShiftModifier);
  QCOMPARE(Cursor(), QPoint(3, 5));
  QVERIFY(!dialogShown_);
  // Shift+F3 without a text asks too.
  w.FindText.clear();
  AnswerDialog(QStringLiteral("0000000000"), false, 1);
  Key(Qt::Key_F3, Qt::ShiftModifier);
  QVERIFY(dialogShown_);
  QCOMPARE(Cursor(), QPoint(4, 5));
  QVERIFY(notifier_.Texts().empty());
}

void MainFindTest::CaseFoldingIsForAsciiLettersOnly() {
  MainWindow& w = *window_;
  // A selection made before the search collapses onto the hit.
  QTest::mousePress(w.paiMain(), Qt::LeftButton, Qt::NoModifier,
                    QPoint(w.Model()->Field(1).LeftX + 5, RowTop(0) + 5));
  QTest::mouseMove(w.paiMain(), QPoint(w.Model()->Field(2).LeftX + 5, RowTop(2) + 5));
  QTest::mouseRelease(w.paiMain(), Qt::LeftButton, Qt::NoModifier,
                      QPoint(w.Model()->Field(2).LeftX + 5, RowTop(2) + 5));
  QCOMPARE(w.ShownSel().pane, 1);
  Search(QStringLiteral("abc"), 1);
  QCOMPARE(Cursor(), QPoint(3, 5));  // ABC
  QCOMPARE(w.ShownSel().pane, -1);
  QCOMPARE(w.SelAnchorCol, 3);
  QCOMPARE(w.SelAnchorRow, 5);
  QCOMPARE(w.SelEndCol, 3);
  QCOMPARE(w.SelEndRow, 5);
  Key(Qt::Key_F3);
  QCOMPARE(Cursor(), QPoint(2, 7));  // zaBcz
  // The full-width ＡＢＣ of row 9 is not the same letters.
  Key(Qt::Key_F3);
  QCOMPARE(Cursor(), QPoint(2, 7));
  QCOMPARE(notifier_.BeepCount(), 1);
  // With case distinguished, only the exact spelling is found.
  ClickCell(0, 0, 1);
  Search(QStringLiteral("aBc"), 1, true);
  QCOMPARE(w.FindMode, 7);
  QCOMPARE(Cursor(), QPoint(2, 7));
  ClickCell(0, 0, 1);
  Search(QStringLiteral("abc"), 1, true);
  QCOMPARE(Cursor(), QPoint(0, 0));
  QCOMPARE(notifier_.BeepCount(), 2);
}

void MainFindTest::NoMatchInsideADoubleByteCharacter() {
  // Row 12's カ ends in the byte of J; only row 40's J1 is a J.
  Search(QStringLiteral("j"), 1);
  QCOMPARE(Cursor(), QPoint(1, 40));
  Key(Qt::Key_F3, Qt::ShiftModifier);
  QCOMPARE(Cursor(), QPoint(1, 40));
  QCOMPARE(notifier_.BeepCount(), 1);
}

void MainFindTest::NoWrapAroundAtEitherEnd() {
  MainWindow& w = *window_;
  // From the last cell of the last record downward: nothing, and never the first record.
  Key(Qt::Key_End);
  for (int i = 0; i < 10 && w.CurRow < kRows - 1; ++i) Key(Qt::Key_PageDown);
  QCOMPARE(Cursor(), QPoint(kFields - 1, kRows - 1));
  const int first = w.FirstRow();
  Search(QStringLiteral("0000000000"), 1);
  QCOMPARE(notifier_.BeepCount(), 1);
  QCOMPARE(Cursor(), QPoint(kFields - 1, kRows - 1));
  QCOMPARE(w.FirstRow(), first);
  // Upward the cell before it is found.
  Key(Qt::Key_F3, Qt::ShiftModifier);
  QCOMPARE(Cursor(), QPoint(kFields - 2, kRows - 1));
  // From the first cell upward: nothing, and never the last record.
  Key(Qt::Key_Home);
  for (int i = 0; i < 10 && w.CurRow > 0; ++i) Key(Qt::Key_PageUp);
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
  QCOMPARE(w.CurSide, 2);
  Key(Qt::Key_F3);
  QCOMPARE(Cursor(), QPoint(5, 20));
  QCOMPARE(w.CurSide, 2);
}

void MainFindTest::OnlyExtractedRecordsAreSearched() {
  MainWindow& w = *window_;
  w.Action("mnuFindSelDf")->trigger();  // only row 20 differs
  QCOMPARE(w.Model()->RowCount(), 1);
  Search(QStringLiteral("abc"), 1);
  QCOMPARE(notifier_.BeepCount(), 1);
  Search(QStringLiteral("021"), -1);
  QCOMPARE(notifier_.BeepCount(), 2);  // the key is the cursor cell
  Search(QStringLiteral("0000000000"), 1);
  QCOMPARE(Cursor(), QPoint(1, 0));
}

void MainFindTest::HitIsScrolledIntoView() {
  MainWindow& w = *window_;
  const int v = w.VisibleRowCount();
  QVERIFY(v < 50);
  korvel::ResultField far = w.Model()->Field(10);
  QCOMPARE(far.LeftX, 0);  // not in the left pane at the start
  QCOMPARE(w.scr_Bottom()->value(), 0);
  Search(QStringLiteral("FAR"), 1);
  QCOMPARE(Cursor(), QPoint(10, 50));
  // Downward: the hit's row is the last one shown; its field is the last in the left pane.
  QCOMPARE(w.FirstRow(), 50 - v + 1);
  QVERIFY(w.scr_Bottom()->value() > 0);
  far = w.Model()->Field(10);
  QVERIFY(far.LeftX != 0);
  QVERIFY(far.LeftX + far.Width <= w.SplitX);
  QVERIFY(w.Model()->Field(9).LeftX != 0);  // with the fields before it that fit
  // The cursor box is drawn around the hit.
  const int top = RowTop(50 - w.FirstRow());
  QVERIFY(!Untouched(w, far.LeftX - 2, top + 8));
  QVERIFY(Untouched(w, far.LeftX + 10, top + 8));
  // Upward from there to a row above the page: the hit becomes the first row shown, and
  // its field comes back into view.
  Search(QStringLiteral("abc"), -1);
  QCOMPARE(Cursor(), QPoint(2, 7));
  QCOMPARE(w.FirstRow(), 7);
  QCOMPARE(w.scr_Bottom()->value(), 1);  // field 2, scrolled out to the left, comes first
  korvel::ResultField hit = w.Model()->Field(2);
  QVERIFY(hit.LeftX != 0);
  QVERIFY(hit.LeftX + hit.Width <= w.SplitX);
  QVERIFY(!Untouched(w, hit.LeftX - 2, RowTop(0) + 8));
  // Upward again to the row above the page: it becomes the first row shown, and as the
  // rows moved, its field is put at the right end of the pane.
  Key(Qt::Key_F3, Qt::ShiftModifier);
  QCOMPARE(Cursor(), QPoint(3, 5));
  QCOMPARE(w.FirstRow(), 5);
  // Field 3 was shown whole (field 2 first, position 1), yet the rows moved: field 3 goes
  // to the pane's right end with the fields before it that fit, here all of them.
  QCOMPARE(w.scr_Bottom()->value(), 0);
  hit = w.Model()->Field(3);
  QVERIFY(hit.LeftX != 0);
  QVERIFY(hit.LeftX + hit.Width <= w.SplitX);
  // A hit on the page shown moves nothing.
  const int hpos = w.scr_Bottom()->value();
  QVERIFY(w.Model()->Field(2).LeftX != 0);
  Key(Qt::Key_F3);
  QCOMPARE(Cursor(), QPoint(2, 7));
  QCOMPARE(w.FirstRow(), 5);
  QCOMPARE(w.scr_Bottom()->value(), hpos);
  QVERIFY(!Untouched(w, w.Model()->Field(2).LeftX - 2, RowTop(2) + 8));
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
  QCOMPARE(w.FindText, std::string("aBc"));
  QCOMPARE(w.FindMode, 7);
  // The menu's "下検索" repeats it.
  ClickCell(0, 0, 1);
  w.Action("mnuFindFindDown")->trigger();
  QCOMPARE(Cursor(), QPoint(2, 7));
}

QTEST_MAIN(MainFindTest)
#include "MainWindowFind_test.moc"
