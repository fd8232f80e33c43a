// The Edit menu's copies from the main window: what reaches the clipboard after real clicks
// and keys, the two toggles, the size limit and the refusals.

#include <QAction>
#include <QClipboard>
#include <QGuiApplication>
#include <QMenu>
#include <QMenuBar>
#include <QToolBar>
#include <QToolButton>
#include <QtTest>

#include "gui/GridTestUtil.h"
#include "platform/Notifier.h"
#include "qt/QtText.h"

using korvel::MainWindow;
using korvel::Q;
using namespace korvel::test;

namespace {

const char kNoData[] = "コピーするデータがありません。";
const char kTooLarge[] = "サイズをオーバーしました。640Kバイト以上のコピーはできません。";

QString Clipboard() { return QGuiApplication::clipboard()->text(); }

// code (key), name, qty with a line of names. A01 equal, B02 differing in qty, C03 left
// only, D04 right only.
std::string LeftFruit() {
  return S(Lines({"code,name,qty", "A01,りんご,10", "B02,バナナ,25", "C03,さくらんぼ,5"}));
}
std::string RightFruit() {
  return S(Lines({"code,name,qty", "A01,りんご,10", "B02,バナナ,30", "D04,なつめ,8"}));
}

// `rows` lines of one 498-byte field, each different; the last line `lastExtra` bytes longer.
std::string LongLines(int rows, int lastExtra) {
  std::string text;
  for (int i = 0; i < rows; ++i) {
    char head[16];
    std::snprintf(head, sizeof head, "%05d", i);
    const int size = 498 + (i == rows - 1 ? lastExtra : 0);
    text += std::string(head) + std::string(size - 5, 'x') + "\r\n";
  }
  return text;
}

}  // namespace

class MainCopyTest : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void initTestCase() { scope_.Begin(notifier_); }
  void cleanupTestCase() { scope_.End(); }
  void init();
  void cleanup() { window_.reset(); }
  void NothingToCopyBeforeAComparison();
  void SingleCellByCtrlC();
  void WholeColumnDuringAnExtraction();
  void OtherSideOfASelection();
  void LeftOnlyRecordWithMarks();
  void RowComparison();
  void SizeLimit();

 private:
  void CompareFruit() {
    QVERIFY(CompareInWindow(*window_, dir_, LeftFruit(), RightFruit(), {{1}, {}, {}}, true));
    QCOMPARE(ShownRows(*window_), 4);
    notifier_.Clear();
  }
  int X(int field, int pane) { return FieldX(*window_, field, pane); }
  void ClickCell(int col, int row, int pane) {
    const int x = X(col, pane) + 5;
    QTest::mouseClick(window_->paiMain(), Qt::LeftButton, Qt::NoModifier,
                      QPoint(x, RowTop(*window_, row) + 5));
  }
  void CtrlC() { QTest::keyClick(window_->scr_Tab(), Qt::Key_C, Qt::ControlModifier); }
  void ClickToolButton(const char* name) {
    auto* button =
        qobject_cast<QToolButton*>(window_->ToolBar1()->widgetForAction(window_->Action(name)));
    QVERIFY(button != nullptr);
    QTest::mouseClick(button, Qt::LeftButton);
  }
  // Opens the top menu `menuName` and clicks its item `itemName`, as a user would.
  void ClickMenuItem(const char* menuName, const char* itemName) {
    korvel::test::ClickMenuItem(*window_, menuName, itemName);
  }

  WindowTestScope scope_;
  TempDir dir_;
  korvel::RecordingNotifier notifier_;
  std::unique_ptr<MainWindow> window_;
};

void MainCopyTest::init() {
  notifier_.Clear();
  QGuiApplication::clipboard()->setText(QStringLiteral("before"));
  QVERIFY(ShowNewWindow(window_));
}

void MainCopyTest::NothingToCopyBeforeAComparison() {
  CtrlC();
  ClickMenuItem("mnuEdit", "mnuEditCopyGyaku");
  // The cursor cell of an empty result is no cell: a beep, then the message, each time.
  QCOMPARE(notifier_.Texts(), (std::vector<std::string>{kNoData, kNoData}));
  QCOMPARE(notifier_.BeepCount(), 2);
  QCOMPARE(notifier_.Entries()[1].box.caption, S("注意"));
  // The row comparison of no row: a beep, then the same message.
  notifier_.Clear();
  ClickMenuItem("mnuEdit", "mnuEditCopyRow");
  QCOMPARE(notifier_.BeepCount(), 1);
  QCOMPARE(notifier_.Texts(), (std::vector<std::string>{kNoData}));
  QCOMPARE(Clipboard(), QStringLiteral("before"));
}

void MainCopyTest::SingleCellByCtrlC() {
  CompareFruit();
  ClickCell(1, 1, 1);
  QCOMPARE(window_->View().curRow, 1);
  QCOMPARE(window_->View().curCol, 1);
  QCOMPARE(window_->View().shownSel.pane, -1);  // one cell is not a shown rectangle
  CtrlC();
  QCOMPARE(Clipboard(), Q("バナナ\r\n"));
  // The differing cell of the right pane, with both toggles on from the toolbar; the menu
  // items follow the buttons.
  ClickCell(2, 1, 2);
  ClickToolButton("tb_CopyHead");
  ClickToolButton("tb_CopyMark");
  QVERIFY(window_->View().copyWithHeader && window_->View().copyWithMarks);
  QVERIFY(window_->Action("mnuEditCopyHead")->isChecked());
  QVERIFY(window_->Action("mnuEditCopyMark")->isChecked());
  CtrlC();
  QCOMPARE(Clipboard(), Q("qty\r\n30(*)\r\n"));
  // Copying changes neither the cursor nor the selection shown.
  QCOMPARE(window_->View().shownSel.pane, -1);
  QCOMPARE(window_->View().curSide, 2);
  QCOMPARE(window_->View().curCol, 2);
  // The header toggle from the menu: the button follows.
  ClickMenuItem("mnuEdit", "mnuEditCopyHead");
  QVERIFY(!window_->View().copyWithHeader);
  QVERIFY(!window_->Action("tb_CopyHead")->isChecked());
  CtrlC();
  QCOMPARE(Clipboard(), Q("30(*)\r\n"));
  QVERIFY(notifier_.Entries().empty());
}

void MainCopyTest::WholeColumnDuringAnExtraction() {
  CompareFruit();
  ClickMenuItem("mnuFind", "mnuFindSelDfAll");  // B02, C03, D04
  QVERIFY(window_->Session().ExtractActive());
  QCOMPARE(ShownRows(*window_), 3);
  // A click on the qty header of the left pane selects the whole column.
  QTest::mouseClick(window_->paiMain(), Qt::LeftButton, Qt::NoModifier, QPoint(X(2, 1) + 5, 10));
  QCOMPARE(window_->View().shownSel.pane, 1);
  QCOMPARE(window_->View().shownSel.row1, -1);
  ClickToolButton("tb_CopyHead");
  CtrlC();
  QCOMPARE(Clipboard(), Q("qty\r\n25\r\n5\r\n\r\n"));
  ClickToolButton("tb_CopyMark");
  CtrlC();
  QCOMPARE(Clipboard(), Q("qty\r\n25(*)\r\n5(*)\r\n(*)\r\n"));
  // Released, the same column copies every record.
  QTest::keyClick(window_->scr_Tab(), Qt::Key_Escape);
  QVERIFY(!window_->Session().ExtractActive());
  QTest::mouseClick(window_->paiMain(), Qt::LeftButton, Qt::NoModifier, QPoint(X(2, 1) + 5, 10));
  CtrlC();
  QCOMPARE(Clipboard(), Q("qty\r\n10\r\n25(*)\r\n5(*)\r\n(*)\r\n"));
}

void MainCopyTest::OtherSideOfASelection() {
  CompareFruit();
  // Drag from name of A01 to qty of B02 in the left pane.
  QTest::mousePress(window_->paiMain(), Qt::LeftButton, Qt::NoModifier,
                    QPoint(X(1, 1) + 5, RowTop(*window_, 0) + 5));
  QTest::mouseMove(window_->paiMain(), QPoint(X(2, 1) + 5, RowTop(*window_, 1) + 5));
  QTest::mouseRelease(window_->paiMain(), Qt::LeftButton, Qt::NoModifier,
                      QPoint(X(2, 1) + 5, RowTop(*window_, 1) + 5));
  const MainWindow::Selection shown{1, 1, 0, 2, 1};
  QCOMPARE(window_->View().shownSel, shown);
  CtrlC();
  QCOMPARE(Clipboard(), Q("りんご\t10\r\nバナナ\t25\r\n"));
  ClickMenuItem("mnuEdit", "mnuEditCopyGyaku");
  QCOMPARE(Clipboard(), Q("りんご\t10\r\nバナナ\t30\r\n"));
  // The pane is flipped only for the copy.
  QCOMPARE(window_->View().shownSel, shown);
  CtrlC();
  QCOMPARE(Clipboard(), Q("りんご\t10\r\nバナナ\t25\r\n"));
  // From the right pane the other side is the left file; the key column takes the left
  // file's key, or the right one's where the left record is missing.
  QTest::mousePress(window_->paiMain(), Qt::LeftButton, Qt::NoModifier,
                    QPoint(X(1, 2) + 5, RowTop(*window_, 1) + 5));
  QTest::mouseMove(window_->paiMain(), QPoint(X(2, 2) + 5, RowTop(*window_, 3) + 5));
  QTest::mouseRelease(window_->paiMain(), Qt::LeftButton, Qt::NoModifier,
                      QPoint(X(2, 2) + 5, RowTop(*window_, 3) + 5));
  QCOMPARE(window_->View().shownSel.pane, 2);
  CtrlC();
  QCOMPARE(Clipboard(), Q("バナナ\t30\r\n\t\r\nなつめ\t8\r\n"));
  ClickMenuItem("mnuEdit", "mnuEditCopyGyaku");
  QCOMPARE(Clipboard(), Q("バナナ\t25\r\nさくらんぼ\t5\r\n\t\r\n"));
  QVERIFY(notifier_.Entries().empty());
}

void MainCopyTest::LeftOnlyRecordWithMarks() {
  CompareFruit();
  // The right pane first, then the row-number strip of C03 selects the whole record there.
  ClickCell(1, 0, 2);
  QTest::mouseClick(window_->paiMain(), Qt::LeftButton, Qt::NoModifier,
                    QPoint(20, RowTop(*window_, 2) + 5));
  QCOMPARE(window_->View().shownSel, (MainWindow::Selection{2, 0, 2, 2, 2}));
  CtrlC();
  QCOMPARE(Clipboard(), Q("C03\t\t\r\n"));
  ClickToolButton("tb_CopyMark");
  ClickToolButton("tb_CopyHead");
  CtrlC();
  QCOMPARE(Clipboard(), Q("code\tname\tqty\r\nC03\t(*)\t(*)\r\n"));
  // Its own side: the values, marked.
  ClickMenuItem("mnuEdit", "mnuEditCopyGyaku");
  QCOMPARE(Clipboard(), Q("code\tname\tqty\r\nC03\tさくらんぼ(*)\t5(*)\r\n"));
}

void MainCopyTest::RowComparison() {
  CompareFruit();
  ClickCell(1, 1, 1);
  // The toggles do not apply to the row comparison.
  ClickToolButton("tb_CopyMark");
  ClickMenuItem("mnuEdit", "mnuEditCopyRow");
  QCOMPARE(Clipboard(), Q("code\tname\tqty\r\nB02\tバナナ\t25\r\nB02\tバナナ\t30\r\n\t\t*\r\n"));
  ClickCell(1, 3, 2);
  ClickMenuItem("mnuEdit", "mnuEditCopyRow");
  QCOMPARE(Clipboard(), Q("code\tname\tqty\r\n\t\t\r\nD04\tなつめ\t8\r\n*\t*\t*\r\n"));
  QVERIFY(notifier_.Entries().empty());
}

void MainCopyTest::SizeLimit() {
  // 1280 lines of 500 bytes (a 498-byte cell and CR LF) on the left: 640,000 bytes. The
  // right file's last cell is one byte longer: 640,001 bytes.
  QVERIFY(CompareInWindow(*window_, dir_, LongLines(1280, 0), LongLines(1280, 1), {}));
  QCOMPARE(ShownRows(*window_), 1280);
  notifier_.Clear();
  QTest::mouseClick(window_->paiMain(), Qt::LeftButton, Qt::NoModifier, QPoint(X(0, 1) + 5, 10));
  QCOMPARE(window_->View().shownSel.row1, -1);
  CtrlC();
  QVERIFY(notifier_.Entries().empty());
  const QString copied = Clipboard();
  QCOMPARE(copied.size(), 640000);
  QVERIFY(copied.startsWith(QStringLiteral("00000xxx")));
  QVERIFY(copied.endsWith(QStringLiteral("xxx\r\n")));
  QCOMPARE(korvel::ToCp932(copied), LongLines(1280, 0));
  // One byte more is refused, and the clipboard keeps what it had.
  ClickMenuItem("mnuEdit", "mnuEditCopyGyaku");
  QCOMPARE(notifier_.Texts(), (std::vector<std::string>{kTooLarge}));
  QCOMPARE(notifier_.Entries()[0].box.caption, S("注意"));
  QCOMPARE(notifier_.Entries()[0].box.icon, korvel::MessageIcon::kWarning);
  QCOMPARE(Clipboard().size(), 640000);
}

QTEST_MAIN(MainCopyTest)
#include "MainWindowCopy_test.moc"
