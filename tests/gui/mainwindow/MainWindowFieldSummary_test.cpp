// The 項目別相違件数 panel: opened from the 表示 menu, its counts are the report's, its bars
// are as long as their counts say, a click moves the cursor to the field's first difference
// and a double-click extracts on it.

#include <QAction>
#include <QClipboard>
#include <QGuiApplication>
#include <QLabel>
#include <QProcess>
#include <QRegularExpression>
#include <QScrollBar>
#include <QToolBar>
#include <QToolButton>
#include <QtTest>
#include <map>

#include "gui/GridTestUtil.h"
#include "gui/GuiTest.h"
#include "mainwindow/FieldSummaryPanel.h"
#include "platform/Notifier.h"
#include "qt/QtText.h"

using korvel::FieldBarList;
using korvel::FieldSummaryPanel;
using korvel::MainWindow;
using korvel::Q;
using korvel::ToQString;
using namespace korvel::test;

namespace {

// 50 fields: id (the key, two digits so that the records sort by number) and f2 .. f50.
// Record r (1 .. 30) differs in field j when j divides r, so field j has 30 / j differing
// records and the fields past 30 none; record 31 is left only and 32 right only, which no
// field counts.
std::string Generated(bool right) {
  std::vector<std::string> lines;
  std::string names = "id";
  // Built by appending: the optimiser takes `"literal" + string` for overlapping copies.
  for (int j = 2; j <= 50; ++j) names.append(",f").append(std::to_string(j));
  lines.push_back(names);
  for (int r = 1; r <= 31; ++r) {
    const int record = right && r == 31 ? 32 : r;
    std::string line = record < 10 ? "0" : "";
    line += std::to_string(record);
    for (int j = 2; j <= 50; ++j) {
      line.append(",").append(std::to_string(record * 100 + j));
      if (right && record % j == 0) line.push_back('x');
    }
    lines.push_back(line);
  }
  return Lines(lines);
}

// The report's count per field number, as korvel-cli built beside this test writes it.
std::map<int, int> ReportCounts(const QStringList& args) {
  QProcess cli;
  cli.start(QCoreApplication::applicationDirPath() + Q("/korvel-cli"),
            QStringList(args) << Q("--report") << Q("-"));
  if (!cli.waitForFinished(-1)) return {};
  const QString first =
      QString::fromUtf8(cli.readAllStandardOutput()).section(QLatin1Char('\n'), 0, 0);
  std::map<int, int> counts;
  const QRegularExpression entry(
      Q("\\{\"field\":(\\d+),\"name\":\"[^\"]*\",\"differing\":(\\d+)\\}"));
  for (auto it = entry.globalMatch(first); it.hasNext();) {
    const QRegularExpressionMatch m = it.next();
    counts[m.captured(1).toInt()] = m.captured(2).toInt();
  }
  return counts;
}

// The pixels of the bar colour along the middle of the list's shown row `k`.
int BarPixels(FieldBarList* list, int k, QRgb color) {
  const QImage image = list->viewport()->grab().toImage();
  const int y = k * list->RowHeight() + list->RowHeight() / 2;
  int pixels = 0;
  for (int x = 0; x < image.width(); ++x) pixels += Rgb(image, x, y) == color ? 1 : 0;
  return pixels;
}

}  // namespace

class MainFieldSummaryTest : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void initTestCase() { scope_.Begin(notifier_); }
  void cleanupTestCase() { scope_.End(); }
  void init() { QVERIFY(ShowNewWindow(window_)); }
  void cleanup() { window_.reset(); }
  void CountsAreTheReportsAndBarsTheirLength();
  void ClickMovesTheCursorAndDoubleClickExtracts();
  void NoComparedFieldIsSaid();
  void HidingLeavesTheDifferingFieldsAndKeys();
  void CopyAcrossHiddenFieldsTakesTheShownOnes();

 private:
  FieldSummaryPanel* OpenPanel() {
    ClickMenuItem(*window_, "mnuView", "mnuViewFieldSummary");
    FieldSummaryPanel* panel = window_->FieldSummary();
    if (panel->isVisible()) (void)QTest::qWaitForWindowExposed(panel);
    return panel;
  }
  void ClickRow(int k, bool twice = false) {
    FieldBarList* list = window_->FieldSummary()->List();
    const QPoint at(FieldBarList::kMargin + 5, k * list->RowHeight() + list->RowHeight() / 2);
    QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::NoModifier, at);
    if (twice) QTest::mouseDClick(list->viewport(), Qt::LeftButton, Qt::NoModifier, at);
  }
  void ClickToolButton(const char* name) {
    auto* button =
        qobject_cast<QToolButton*>(window_->ToolBar1()->widgetForAction(window_->Action(name)));
    QVERIFY(button != nullptr);
    QTest::mouseClick(button, Qt::LeftButton);
  }
  QString HiddenText() { return Child<QLabel>(window_.get(), "HiddenFieldsPanel")->text(); }
  // Every compared field's count in the panel (in field order, by clicking the order button)
  // is the report's; every bar shown is its count's share of the full bar, to the pixel.
  void CheckAgainstReport(const std::map<int, int>& report);

  korvel::RecordingNotifier notifier_;
  WindowTestScope scope_;
  std::unique_ptr<MainWindow> window_;
  TempDir dir_;
};

void MainFieldSummaryTest::CheckAgainstReport(const std::map<int, int>& report) {
  FieldSummaryPanel* panel = OpenPanel();
  QVERIFY(window_->Action("tb_FieldSummary")->isChecked());
  Click(panel->OrderButton());
  QVERIFY(panel->InFieldOrder());
  const auto& fields = window_->Session().Fields();
  FieldBarList* list = panel->List();
  QCOMPARE(list->Rows().size(), fields.size());
  int largest = 0;
  for (std::size_t i = 0; i < fields.size(); ++i) {
    const korvel::FieldSummaryRow& row = list->Rows()[i];
    QCOMPARE(row.field, static_cast<int>(i));
    QCOMPARE(row.differing, report.at(fields[i].ListNo));
    largest = std::max(largest, row.differing);
  }
  QVERIFY(largest > 0);
  const int shown = std::min<int>(list->viewport()->height() / list->RowHeight(),
                                  static_cast<int>(fields.size()));
  for (int k = 0; k < shown; ++k) {
    const int count = list->Rows()[static_cast<std::size_t>(list->FirstRow() + k)].differing;
    const int pixels = BarPixels(list, k, Rgb(MainWindow::LeftDiffColor));
    // Within half a pixel of its share, and never nothing for a count.
    QVERIFY2(std::abs(2 * pixels * largest - 2 * count * list->FullBar()) <= largest ||
                 (count > 0 && pixels == 1),
             qPrintable(QString::number(k)));
    QCOMPARE(pixels > 0, count > 0);
  }
  // By count again: the largest first.
  Click(panel->OrderButton());
  QCOMPARE(list->Rows().front().differing, largest);
}

void MainFieldSummaryTest::CountsAreTheReportsAndBarsTheirLength() {
  const std::string left = std::string(KORVEL_SOURCE_DIR) + "/samples/staff_old_sjis.csv";
  const std::string right = std::string(KORVEL_SOURCE_DIR) + "/samples/staff_new_utf8bom.csv";
  QVERIFY(ComparePathsInWindow(*window_, left, right, {{1}, {}, {}}, true));
  CheckAgainstReport(ReportCounts({Q("--header"), Q("--key"), Q("1"), QString::fromStdString(left),
                                   QString::fromStdString(right)}));

  const std::string l = dir_.Write("l50.csv", Generated(false));
  const std::string r = dir_.Write("r50.csv", Generated(true));
  QVERIFY(ComparePathsInWindow(*window_, l, r, {{1}, {}, {}}, true));
  QCOMPARE(FieldCount(*window_), 50);
  // The panel is open still and follows the new result.
  ClickMenuItem(*window_, "mnuView", "mnuViewFieldSummary");
  QVERIFY(!window_->FieldSummary()->isVisible());
  const std::map<int, int> report = ReportCounts(
      {Q("--header"), Q("--key"), Q("1"), QString::fromStdString(l), QString::fromStdString(r)});
  QCOMPARE(report.at(2), 15);
  QCOMPARE(report.at(31), 0);
  CheckAgainstReport(report);
}

void MainFieldSummaryTest::ClickMovesTheCursorAndDoubleClickExtracts() {
  QVERIFY(CompareInWindow(*window_, dir_, Generated(false), Generated(true), {{1}, {}, {}}, true));
  FieldSummaryPanel* panel = OpenPanel();
  // By count: f2 (15), f3 (10), f4 (7), f5 (6) ...
  const std::vector<korvel::FieldSummaryRow> rows = panel->List()->Rows();
  QCOMPARE(rows[1].field, 2);
  for (int k : {0, 1, 3}) {
    const int field = rows[static_cast<std::size_t>(k)].field;
    ClickRow(k);
    QCOMPARE(window_->View().curCol, field);
    // Row r - 1 holds record r; the first record that field j + 1 differs in is j + 1.
    QCOMPARE(window_->View().curRow, field);
  }
  ClickRow(1, true);
  QCOMPARE(ShownRows(*window_), 10);
  QVERIFY(panel->Title()->text().contains(Q("10件")));
  QVERIFY(panel->windowTitle().startsWith(Q("項目別相違件数 (")));
  QCOMPARE(panel->List()->Rows().front().differing, 15);  // of the whole result still
  QTest::keyClick(window_->scr_Tab(), Qt::Key_Escape);
  QCOMPARE(ShownRows(*window_), 32);
  QCOMPARE(panel->Title()->text(), QString());
  QCOMPARE(panel->windowTitle(), Q("項目別相違件数"));
}

void MainFieldSummaryTest::NoComparedFieldIsSaid() {
  QVERIFY(CompareInWindow(*window_, dir_, "1,a\r\n", "1,b\r\n", {{}, {1, 2}, {}}));
  FieldSummaryPanel* panel = OpenPanel();
  QVERIFY(panel->EmptyText()->isVisible());
  QCOMPARE(panel->EmptyText()->text(), Q("比較する項目がありません。"));
  QVERIFY(!panel->List()->isVisible());
  QVERIFY(!panel->OrderButton()->isEnabled());
  QVERIFY(!window_->Action("tb_HideSame")->isEnabled());
}

void MainFieldSummaryTest::HidingLeavesTheDifferingFieldsAndKeys() {
  QVERIFY(CompareInWindow(*window_, dir_, Generated(false), Generated(true), {{1}, {}, {}}, true));
  ClickToolButton("tb_HideSame");
  QVERIFY(window_->Action("mnuViewHideSame")->isChecked());
  // The key and f2 .. f30, the fields with a differing record; f31 .. f50 hidden.
  const MainWindow::ViewState view = window_->View();
  QStringList shown;
  for (int field : view.shownFields) shown << ToQString(window_->Session().Fields()[field].Name);
  QStringList expected{Q("id")};
  for (int j = 2; j <= 30; ++j) expected << Q("f") + QString::number(j);
  QCOMPARE(shown, expected);
  QCOMPARE(view.widths.size(), std::size_t{30});
  QCOMPARE(HiddenText(), Q("20項目非表示"));
  // The grid scrolls over the shown fields only: End reaches f30.
  QTest::keyClick(window_->scr_Tab(), Qt::Key_End);
  QCOMPARE(window_->View().curCol, 29);
  // The cursor's field stays while the toggle goes off and on again.
  ClickToolButton("tb_HideSame");
  QCOMPARE(HiddenText(), QString());
  QVERIFY(window_->View().shownFields.empty());
  QCOMPARE(window_->View().curCol, 29);
  QTest::keyClick(window_->scr_Tab(), Qt::Key_End);
  QCOMPARE(window_->View().curCol, 49);
  ClickToolButton("tb_HideSame");
  QCOMPARE(HiddenText(), Q("19項目非表示"));
  QCOMPARE(window_->View().shownFields.back(), 49);
  QCOMPARE(window_->View().curCol, 30);
}

// id, a (differs), b, c (equal), d (differs): hidden b and c are not copied.
void MainFieldSummaryTest::CopyAcrossHiddenFieldsTakesTheShownOnes() {
  QVERIFY(CompareInWindow(*window_, dir_, Lines({"id,a,b,c,d", "1,x,s,t,p", "2,y,u,v,q"}),
                          Lines({"id,a,b,c,d", "1,X,s,t,P", "2,y,u,v,q"}), {{1}, {}, {}}, true));
  ClickMenuItem(*window_, "mnuView", "mnuViewHideSame");
  QCOMPARE(HiddenText(), Q("2項目非表示"));
  ClickToolButton("tb_CopyHead");
  // From a on, two columns and two rows: a and d; shown again, a and b.
  for (const char* expected : {"a\td\r\nx\tp\r\ny\tq\r\n", "a\tb\r\nx\ts\r\ny\tu\r\n"}) {
    QTest::keyClick(window_->scr_Tab(), Qt::Key_Home, Qt::ControlModifier);
    QTest::keyClick(window_->scr_Tab(), Qt::Key_Right);
    QTest::keyClick(window_->scr_Tab(), Qt::Key_Right, Qt::ShiftModifier);
    QTest::keyClick(window_->scr_Tab(), Qt::Key_Down, Qt::ShiftModifier);
    QTest::keyClick(window_->scr_Tab(), Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(QGuiApplication::clipboard()->text(), Q(expected));
    ClickMenuItem(*window_, "mnuView", "mnuViewHideSame");
  }
}

QTEST_MAIN(MainFieldSummaryTest)
#include "MainWindowFieldSummary_test.moc"
