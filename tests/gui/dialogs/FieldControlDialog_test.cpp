// The field-control dialog: toggling marks by mouse only, the column hints, the key and
// not-loaded checks, the results, and the re-setting mode.

#include "dialogs/FieldControlDialog.h"

#include <QApplication>
#include <QHeaderView>
#include <QPushButton>
#include <QScrollBar>
#include <QStatusBar>
#include <QStyle>
#include <QTableWidget>
#include <QTest>
#include <string>

#include "TestUtil.h"
#include "compare/CompareSession.h"
#include "compare/FieldGrid.h"
#include "gui/GuiTest.h"
#include "platform/Notifier.h"
#include "qt/QtNotifier.h"
#include "qt/QtText.h"

using korvel::FieldControlDialog;
using korvel::FieldGrid;
using korvel::Q;
using korvel::test::Child;
using korvel::test::Click;
using korvel::test::S;

namespace {

QTableWidget* Grid(FieldControlDialog& dialog) { return Child<QTableWidget>(&dialog, "griMain"); }

// Fills `rows` field rows as the set-up chain does: number, "－" in 数値, both names.
void Fill(FieldGrid& grid, int rows) {
  grid.GrowRows(rows + 1);
  for (int i = 1; i <= rows; ++i) {
    char number[16];
    std::snprintf(number, sizeof number, "%4d", i);
    grid.SetCell(i, FieldGrid::kNumber, number);
    grid.SetCell(i, FieldGrid::kNumeric, S("－"));
    grid.SetCell(i, FieldGrid::kNameA, korvel::test::Cat("L", std::to_string(i)));
    grid.SetCell(i, FieldGrid::kNameB, korvel::test::Cat("R", std::to_string(i)));
  }
}

// Clicks the cell of field row `row` (from 1) in `column`.
void ClickCell(FieldControlDialog& dialog, int row, int column,
               Qt::MouseButton button = Qt::LeftButton) {
  QTableWidget* grid = Grid(dialog);
  grid->scrollTo(grid->model()->index(row - 1, column));
  QRect rect = grid->visualRect(grid->model()->index(row - 1, column));
  QTest::mouseClick(grid->viewport(), button, Qt::NoModifier, rect.center());
}

// The shown texts of columns 1 to 4 of field row `row`.
QStringList Marks(FieldControlDialog& dialog, int row) {
  QStringList texts;
  for (int c = 1; c <= 4; ++c) texts.append(Grid(dialog)->item(row - 1, c)->text());
  return texts;
}

const QString kMark = QString::fromUtf8("●");
const QString kDash = QString::fromUtf8("－");

QStringList Texts(const korvel::RecordingNotifier& notifier) {
  QStringList texts;
  for (const std::string& t : notifier.Texts()) texts.append(QString::fromStdString(t));
  return texts;
}

}  // namespace

class FieldControlDialogTest : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void init() { notifier_.Clear(); }

  void ShowsTheFilledGrid() {
    FieldControlDialog dialog;
    Fill(dialog.Grid(), 3);
    dialog.show();
    QTableWidget* grid = Grid(dialog);
    QCOMPARE(grid->columnCount(), 9);
    QCOMPARE(grid->rowCount(), 3);
    const QStringList headers = {QString(),  Q("連携"),  Q("数値"),   Q("SPC除く"), Q("不要"),
                                 Q("A項目"), Q("B項目"), Q("未取込"), Q("数値比較")};
    const int widths[] = {35, 27, 28, 31, 33, 143, 130, 46, 52};
    QHeaderView* header = grid->horizontalHeader();
    const int margin = header->style()->pixelMetric(QStyle::PM_HeaderMargin, nullptr, header);
    int total = 0;
    for (int c = 0; c < 9; ++c) {
      QVERIFY(!grid->isColumnHidden(c));
      QCOMPARE(grid->horizontalHeaderItem(c)->text(), headers[c]);
      // Every header's text fits its column; a column whose header fits keeps its width,
      // except the two name columns, which give back what the others took.
      const int need = header->fontMetrics().horizontalAdvance(headers[c]) + 2 * margin;
      QVERIFY2(grid->columnWidth(c) >= need, qPrintable(headers[c]));
      if (c != 5 && c != 6 && need + 2 <= widths[c]) QCOMPARE(grid->columnWidth(c), widths[c]);
      total += grid->columnWidth(c);
    }
    QCOMPARE(total, 35 + 27 + 28 + 31 + 33 + 143 + 130 + 46 + 52);
    // The whole grid shows without a horizontal scroll bar.
    QVERIFY(!grid->horizontalScrollBar()->isVisible());
    QCOMPARE(grid->item(2, 0)->text(), Q("   3"));
    QCOMPARE(grid->item(2, 5)->text(), Q("L3"));
    QCOMPARE(grid->item(2, 6)->text(), Q("R3"));
    QCOMPARE(Marks(dialog, 1), QStringList({QString(), kDash, QString(), QString()}));
    QVERIFY(Child<QPushButton>(&dialog, "cmd_Back")->isVisible());
    QCOMPARE(dialog.windowTitle(), Q("項目単位制御"));
  }

  void ClicksToggleByTheRules() {
    FieldControlDialog dialog;
    Fill(dialog.Grid(), 3);
    dialog.show();

    // 数値 on a row that is not a key changes nothing.
    ClickCell(dialog, 1, 2);
    QCOMPARE(Marks(dialog, 1), QStringList({QString(), kDash, QString(), QString()}));
    // SPC除く and 不要 flip.
    ClickCell(dialog, 1, 3);
    ClickCell(dialog, 1, 4);
    QCOMPARE(Marks(dialog, 1), QStringList({QString(), kDash, kMark, kMark}));
    ClickCell(dialog, 1, 4);  // the cell already current is clicked again
    QCOMPARE(Marks(dialog, 1), QStringList({QString(), kDash, kMark, QString()}));

    // Making it a key frees 数値 and blocks SPC除く and 不要.
    ClickCell(dialog, 1, 1);
    QCOMPARE(Marks(dialog, 1), QStringList({kMark, QString(), kDash, kDash}));
    ClickCell(dialog, 1, 3);
    QCOMPARE(Marks(dialog, 1), QStringList({kMark, QString(), kDash, kDash}));
    ClickCell(dialog, 1, 2);
    QCOMPARE(Marks(dialog, 1), QStringList({kMark, kMark, kDash, kDash}));
    // Removing the key: 数値 back to "－", SPC除く empty (not its earlier mark).
    ClickCell(dialog, 1, 1);
    QCOMPARE(Marks(dialog, 1), QStringList({QString(), kDash, QString(), QString()}));

    // 未取込 flips on any row, keys included; numbers and names never change.
    ClickCell(dialog, 2, 1);
    ClickCell(dialog, 2, 7);
    QCOMPARE(Grid(dialog)->item(1, 7)->text(), kMark);
    ClickCell(dialog, 2, 7);
    QCOMPARE(Grid(dialog)->item(1, 7)->text(), QString());
    ClickCell(dialog, 2, 0);
    ClickCell(dialog, 2, 5);
    ClickCell(dialog, 2, 6);
    QCOMPARE(Grid(dialog)->item(1, 0)->text(), Q("   2"));
    QCOMPARE(Grid(dialog)->item(1, 5)->text(), Q("L2"));
    QCOMPARE(Grid(dialog)->item(1, 6)->text(), Q("R2"));
    // The model holds what the grid shows.
    QVERIFY(dialog.Grid().IsMarked(2, FieldGrid::kKey));
    QVERIFY(!dialog.Grid().IsMarked(1, FieldGrid::kKey));

    // A right click toggles nothing.
    ClickCell(dialog, 3, 3, Qt::RightButton);
    QCOMPARE(Marks(dialog, 3), QStringList({QString(), kDash, QString(), QString()}));
  }

  void KeysMoveAndShowHintsButToggleNothing() {
    FieldControlDialog dialog;
    Fill(dialog.Grid(), 3);
    dialog.show();
    QTableWidget* grid = Grid(dialog);
    ClickCell(dialog, 1, 3);  // a mark, and the status hint of SPC除く
    QCOMPARE(dialog.StatusText(), Q("●を付けるとスペース(全角,半角)を除いて相違比較します。"));
    // A mouse button goes down outside a cell click; then the keys move.
    QTest::mousePress(grid->viewport(), Qt::RightButton, Qt::NoModifier,
                      grid->visualRect(grid->model()->index(2, 6)).center());
    const QStringList hints = {
        Q("●を付けると相違比較しません。"),
        QString(),
        QString(),
        Q("●を付けると取込しません。（サイズが大きすぎて取り込めない項目など）"),
        Q("●を付けると数値として比較し、差が許容差以内なら相違としません。"),
    };
    grid->setCurrentCell(0, 3);
    for (int i = 0; i < 5; ++i) {
      QTest::keyClick(grid, Qt::Key_Right);
      QCOMPARE(grid->currentColumn(), 4 + i);
      QCOMPARE(dialog.StatusText(), hints[i]);
    }
    QTest::keyClick(grid, Qt::Key_Down);
    QTest::keyClick(grid, Qt::Key_Space);
    for (int c = 0; c < 4; ++c) QTest::keyClick(grid, Qt::Key_Left);
    QCOMPARE(dialog.StatusText(), Q("●を付けると相違比較しません。"));
    QTest::keyClick(grid, Qt::Key_Left);
    QCOMPARE(dialog.StatusText(), Q("●を付けるとスペース(全角,半角)を除いて相違比較します。"));
    QTest::keyClick(grid, Qt::Key_Left);
    QCOMPARE(dialog.StatusText(), Q("連携項目にのみ指定可能で数値として並び替えします。"));
    QTest::keyClick(grid, Qt::Key_Left);
    QCOMPARE(dialog.StatusText(), Q("●を付けると比較対象の同じ値のレコードで比較をします。"));
    // The number column is fixed: the current cell stays on 連携.
    QTest::keyClick(grid, Qt::Key_Left);
    QCOMPARE(grid->currentColumn(), 1);
    QCOMPARE(Marks(dialog, 1), QStringList({QString(), kDash, kMark, QString()}));
    QCOMPARE(Marks(dialog, 2), QStringList({QString(), kDash, QString(), QString()}));
    QCOMPARE(grid->item(1, 7)->text(), QString());
  }

  void ConfirmationCountsKeysThenNotLoaded() {
    korvel::ScopedNotifier scoped(&notifier_);
    FieldControlDialog dialog;
    Fill(dialog.Grid(), 8);
    dialog.show();
    for (int row = 1; row <= 6; ++row) ClickCell(dialog, row, 1);
    for (int row = 1; row <= 4; ++row) ClickCell(dialog, row + 3, 7);
    auto* run = Child<QPushButton>(&dialog, "cmd_Run");

    // A seventh key and a fifth not-loaded field: the key check comes first.
    ClickCell(dialog, 7, 1);
    ClickCell(dialog, 8, 7);
    Click(run);
    QCOMPARE(Texts(notifier_), QStringList{Q("連携の指定は７個以上出来ません。")});
    QCOMPARE(notifier_.Entries()[0].box.caption, S("注意"));
    QVERIFY(notifier_.Entries()[0].box.icon == korvel::MessageIcon::kWarning);
    QVERIFY(dialog.isVisible());
    QCOMPARE(dialog.Result(), FieldControlDialog::kCancel);

    ClickCell(dialog, 7, 1);
    notifier_.Clear();
    Click(run);
    QCOMPARE(Texts(notifier_), QStringList{Q("未取込の指定は５個以上出来ません。")});
    QVERIFY(dialog.isVisible());

    // Six keys and four not-loaded fields pass.
    ClickCell(dialog, 8, 7);
    notifier_.Clear();
    Click(run);
    QVERIFY(notifier_.Entries().empty());
    QCOMPARE(dialog.Result(), FieldControlDialog::kRun);
    QVERIFY(!dialog.isVisible());
  }

  // Fields paired by name: the name cell of the side that lacks a row's field is grey,
  // SPC除く and 不要 show "－", and a key there is refused before the run.
  void OneSidedRowsAreMarked() {
    korvel::ScopedNotifier scoped(&notifier_);
    FieldControlDialog dialog;
    korvel::GridFillState names;
    names.NamesA = {"k", "a"};
    names.NamesB = {"b", "k"};
    korvel::PairGridByName(dialog.Grid(), names);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    QTableWidget* grid = Grid(dialog);
    QCOMPARE(grid->rowCount(), 3);
    const QImage shown = grid->viewport()->grab().toImage();
    auto background = [&](int row, int column) {
      const QRect cell = grid->visualRect(grid->model()->index(row, column));
      return shown.pixel(cell.topLeft() + QPoint(3, 3)) & 0xFFFFFFu;
    };
    const QRgb grey = qRgb(200, 200, 200) & 0xFFFFFFu;
    // Rows: k on both sides, a on the left only, b on the right only.
    const bool missingA[] = {false, false, true};
    const bool missingB[] = {false, true, false};
    for (int row = 0; row < 3; ++row) {
      QCOMPARE(background(row, FieldGrid::kNameA) == grey, missingA[row]);
      QCOMPARE(background(row, FieldGrid::kNameB) == grey, missingB[row]);
    }
    QCOMPARE(grid->item(1, FieldGrid::kNameA)->text(), Q("a"));
    QCOMPARE(grid->item(1, FieldGrid::kNameB)->text(), QString());
    QCOMPARE(Marks(dialog, 2), QStringList({QString(), kDash, kDash, kDash}));
    QCOMPARE(Marks(dialog, 1), QStringList({QString(), kDash, QString(), QString()}));

    ClickCell(dialog, 3, FieldGrid::kKey);
    Click(Child<QPushButton>(&dialog, "cmd_Run"));
    QCOMPARE(Texts(notifier_), QStringList{Q("キー項目が両方のファイルにありません。(b)")});
    QVERIFY(dialog.isVisible());
    // Taken back, the row's SPC除く and 不要 stay unavailable; the shared key runs.
    ClickCell(dialog, 3, FieldGrid::kKey);
    QCOMPARE(Marks(dialog, 3), QStringList({QString(), kDash, kDash, kDash}));
    ClickCell(dialog, 1, FieldGrid::kKey);
    notifier_.Clear();
    Click(Child<QPushButton>(&dialog, "cmd_Run"));
    QVERIFY(notifier_.Entries().empty());
    QCOMPARE(dialog.Result(), FieldControlDialog::kRun);
  }

  void StepButtonsGiveTheirResults() {
    struct Way {
      const char* button;
      int result;
    };
    for (const Way& way :
         {Way{"cmd_Run", FieldControlDialog::kRun}, Way{"cmd_Back", FieldControlDialog::kBack},
          Way{"cmd_Cancel", FieldControlDialog::kCancel},
          Way{nullptr, FieldControlDialog::kCancel}}) {
      FieldControlDialog dialog;
      Fill(dialog.Grid(), 2);  // no key at all is accepted
      korvel::test::WhenModalShown([&way](QWidget* modal) {
        if (way.button) {
          Click(Child<QPushButton>(modal, way.button));
        } else {
          modal->close();
        }
      });
      QCOMPARE(dialog.exec(), way.result);
      QCOMPARE(dialog.Result(), way.result);
    }
  }

  void ReGridModeFixesTheKeyColumns() {
    korvel::ScopedNotifier scoped(&notifier_);
    FieldControlDialog dialog(FieldControlDialog::Mode::kReGrid);
    FieldGrid& model = dialog.Grid();
    model.GrowRows(9);
    for (int i = 1; i <= 8; ++i) {
      model.SetCell(i, FieldGrid::kNumber, "   " + std::to_string(i));
      const bool key = i <= 2;
      model.SetCell(i, FieldGrid::kKey, key ? S("●") : "");
      model.SetCell(i, FieldGrid::kIgnoreSpaces, key ? S("－") : "");
      model.SetCell(i, FieldGrid::kNotCompared, key ? S("－") : (i == 3 ? S("●") : ""));
      model.SetCell(i, FieldGrid::kNameA, korvel::test::Cat("F", std::to_string(i)));
      model.SetCell(i, FieldGrid::kNameB, korvel::test::Cat("F", std::to_string(i)));
    }
    dialog.show();
    QTableWidget* grid = Grid(dialog);
    // 未取込 is held but not shown: 数値比較 is the last column shown.
    QCOMPARE(grid->columnCount(), 9);
    for (int c = 0; c < 9; ++c) QCOMPARE(grid->isColumnHidden(c), c == FieldGrid::kNotLoaded);
    QVERIFY(!Child<QPushButton>(&dialog, "cmd_Back")->isVisible());

    ClickCell(dialog, 1, 1);  // fixed: no change, no hint
    ClickCell(dialog, 3, 2);
    QCOMPARE(Marks(dialog, 1), QStringList({kMark, QString(), kDash, kDash}));
    QCOMPARE(dialog.StatusText(), QString());
    ClickCell(dialog, 1, 3);  // "－" stays
    ClickCell(dialog, 3, 4);
    ClickCell(dialog, 4, 3);
    QCOMPARE(dialog.StatusText(), Q("●を付けるとスペース(全角,半角)を除いて相違比較します。"));
    QCOMPARE(Marks(dialog, 1), QStringList({kMark, QString(), kDash, kDash}));
    QCOMPARE(Marks(dialog, 3), QStringList({QString(), QString(), QString(), QString()}));
    QCOMPARE(Marks(dialog, 4), QStringList({QString(), QString(), kMark, QString()}));

    // The number, 連携 and 数値 cells are painted as fixed cells, and the arrow keys and Home
    // stop at SPC除く.
    const QImage shownGrid = grid->viewport()->grab().toImage();
    auto background = [&](int row, int column) {
      const QRect cell = grid->visualRect(grid->model()->index(row, column));
      return shownGrid.pixel(cell.topLeft() + QPoint(3, 3)) & 0xFFFFFFu;
    };
    for (int row : {0, 3}) {
      for (int column : {1, 2}) {
        QCOMPARE(background(row, column), background(row, 0));
      }
      QVERIFY(background(row, 3) != background(row, 0));
    }
    grid->setFocus();
    grid->setCurrentCell(3, 3);
    for (Qt::Key key : {Qt::Key_Left, Qt::Key_Home}) {
      QTest::keyClick(grid, key);
      QCOMPARE(grid->currentColumn(), 3);
    }
    QCOMPARE(Marks(dialog, 4), QStringList({QString(), QString(), kMark, QString()}));

    // No not-loaded column, so no not-loaded check; the key check still runs.
    Click(Child<QPushButton>(&dialog, "cmd_Run"));
    QVERIFY(notifier_.Entries().empty());
    QCOMPARE(dialog.Result(), FieldControlDialog::kRun);
    QVERIFY(dialog.Grid().IsMarked(4, FieldGrid::kIgnoreSpaces));
    QVERIFY(!dialog.Grid().IsMarked(3, FieldGrid::kNotCompared));
  }

  void ClickedMarksDriveTheComparisonAndTheReSetting() {
    korvel::test::TempDir files;
    korvel::CompareSession session;
    session.EditSettings().TopRowNames = true;
    session.EditSettings().PathL =
        files.Write("l.csv", "id,name,city\r\n1,a,x\r\n2,b,y\r\n3,c,z\r\n");
    session.EditSettings().PathR =
        files.Write("r.csv", "id,name,city\r\n2,B,y\r\n1,a,X\r\n4,d,w\r\n");
    session.StartSetUp();

    FieldControlDialog dialog;
    QVERIFY(korvel::ShowOutcome(session.FillFieldGrids(dialog.Grid(), korvel::WindowPrompter())));
    dialog.show();
    QCOMPARE(Grid(dialog)->rowCount(), 3);
    QCOMPARE(Grid(dialog)->item(2, 5)->text(), Q("city"));
    QCOMPARE(Grid(dialog)->item(2, 6)->text(), Q("city"));
    ClickCell(dialog, 1, 1);
    Click(Child<QPushButton>(&dialog, "cmd_Run"));
    QCOMPARE(dialog.Result(), FieldControlDialog::kRun);
    QVERIFY(korvel::ShowOutcome(session.CompareSides(dialog.Grid())));
    QCOMPARE(session.KeyCount(), 1);
    QCOMPARE(session.DiffRecordCount(), 2);
    QCOMPARE(session.LeftOnlyCount(), 1);
    QCOMPARE(session.RightOnlyCount(), 1);

    // The re-setting shows the layout (key first) and hands back SPC除く and 不要.
    FieldControlDialog regrid(FieldControlDialog::Mode::kReGrid);
    regrid.Grid() = session.MakeReGridGrid();
    regrid.show();
    QCOMPARE(Marks(regrid, 1), QStringList({kMark, QString(), kDash, kDash}));
    QCOMPARE(Grid(regrid)->item(1, 5)->text(), Q("name"));
    ClickCell(regrid, 2, 4);  // name is no longer compared
    Click(Child<QPushButton>(&regrid, "cmd_Run"));
    QCOMPARE(regrid.Result(), FieldControlDialog::kRun);
    session.ApplyReGrid(regrid.Grid());
    QCOMPARE(session.DiffRecordCount(), 1);  // only the city of id 1 still differs
    QVERIFY(session.Fields()[1].NotCompared);
  }

  // 数値比較, the last column: clicked like the others, "－" on key, 不要 and 未取込 rows;
  // in the re-setting it is the last column shown and can be clicked there too.
  void NumberCompareColumnByClicks() {
    FieldControlDialog dialog;
    Fill(dialog.Grid(), 4);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    auto number = [&](int row) { return Grid(dialog)->item(row - 1, 8)->text(); };
    QTableWidget* grid = Grid(dialog);
    // The rightmost column, shown whole.
    for (int c = 0; c < 8; ++c) {
      QVERIFY(grid->columnViewportPosition(c) < grid->columnViewportPosition(8));
    }
    QVERIFY(grid->columnViewportPosition(8) + grid->columnWidth(8) <= grid->viewport()->width());
    ClickCell(dialog, 1, 8);
    QCOMPARE(number(1), kMark);
    QCOMPARE(dialog.StatusText(),
             Q("●を付けると数値として比較し、差が許容差以内なら相違としません。"));
    ClickCell(dialog, 1, 8);
    QCOMPARE(number(1), QString());
    ClickCell(dialog, 1, 8);
    ClickCell(dialog, 1, 1);  // a key: "－", the mark gone
    QCOMPARE(number(1), kDash);
    ClickCell(dialog, 1, 8);
    QCOMPARE(number(1), kDash);
    ClickCell(dialog, 1, 1);
    QCOMPARE(number(1), QString());
    ClickCell(dialog, 2, 8);
    ClickCell(dialog, 2, 4);  // 不要
    QCOMPARE(number(2), kDash);
    ClickCell(dialog, 2, 4);
    QCOMPARE(number(2), QString());
    ClickCell(dialog, 3, 7);  // 未取込
    QCOMPARE(number(3), kDash);
    ClickCell(dialog, 3, 8);
    QCOMPARE(number(3), kDash);
    ClickCell(dialog, 4, 8);
    QCOMPARE(number(4), kMark);
    // The mark is painted: the marked cell's pixels differ from the empty one's (with the
    // current cell and the selection elsewhere).
    grid->setCurrentCell(1, 5);
    grid->clearSelection();
    auto cellImage = [&](int row) {
      const QImage shown = grid->viewport()->grab().toImage();
      return shown.copy(grid->visualRect(grid->model()->index(row - 1, 8)).adjusted(2, 2, -2, -2));
    };
    QVERIFY(cellImage(4) != cellImage(1));
    QCOMPARE(cellImage(1), cellImage(2));
    // The keyboard moves onto the column without changing a mark.
    grid->setFocus();
    grid->setCurrentCell(3, 7);
    QTest::keyClick(grid, Qt::Key_Right);
    QCOMPARE(grid->currentColumn(), 8);
    QCOMPARE(number(4), kMark);
    Click(Child<QPushButton>(&dialog, "cmd_Run"));
    QCOMPARE(dialog.Result(), FieldControlDialog::kRun);
    QVERIFY(dialog.Grid().IsMarked(4, FieldGrid::kNumberCompare));
    QVERIFY(!dialog.Grid().IsMarked(1, FieldGrid::kNumberCompare));

    // The re-setting of a run with field 2 compared as numbers and field 3 not loaded.
    korvel::test::TempDir files;
    korvel::CompareSession session;
    session.EditSettings().PathL = files.Write("l.csv", "1,1.0,a,x\r\n2,5,b,y\r\n");
    session.EditSettings().PathR = files.Write("r.csv", "1,1.00,a,X\r\n2,6,c,y\r\n");
    session.StartSetUp();
    FieldGrid marks;
    QVERIFY(korvel::ShowOutcome(session.FillFieldGrids(marks, korvel::WindowPrompter())));
    marks.Toggle(1, FieldGrid::kKey);
    marks.Toggle(2, FieldGrid::kNumberCompare);
    marks.Toggle(3, FieldGrid::kNotLoaded);
    QVERIFY(korvel::ShowOutcome(session.CompareSides(marks)));
    QCOMPARE(session.DiffRecordCount(), 2);  // 5 / 6, and x / X
    FieldControlDialog regrid(FieldControlDialog::Mode::kReGrid);
    regrid.Grid() = session.MakeReGridGrid();
    regrid.show();
    QVERIFY(QTest::qWaitForWindowExposed(&regrid));
    auto reNumber = [&](int row) { return Grid(regrid)->item(row - 1, 8)->text(); };
    QCOMPARE(reNumber(1), kDash);
    QCOMPARE(reNumber(2), kMark);
    QCOMPARE(reNumber(3), kDash);  // not loaded
    QCOMPARE(reNumber(4), QString());
    ClickCell(regrid, 2, 8);  // field 2 as text again
    ClickCell(regrid, 3, 8);  // "－" stays
    ClickCell(regrid, 4, 8);  // field 4 as numbers: x / X are no numbers
    QCOMPARE(reNumber(2), QString());
    QCOMPARE(reNumber(3), kDash);
    QCOMPARE(reNumber(4), kMark);
    Click(Child<QPushButton>(&regrid, "cmd_Run"));
    session.ApplyReGrid(regrid.Grid());
    QCOMPARE(session.Fields()[1].DiffCount, 2);  // 1.0 / 1.00 and 5 / 6 as text
    QCOMPARE(session.Fields()[3].DiffCount, 1);
    QVERIFY(korvel::IsNumberCompare(session.Fields()[3].Compare));
  }

 private:
  korvel::RecordingNotifier notifier_;
};

QTEST_MAIN(FieldControlDialogTest)
#include "FieldControlDialog_test.moc"
