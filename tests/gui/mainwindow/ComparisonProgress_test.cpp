// A comparison that takes long shows the progress dialog; its 中止 drops the run and leaves
// the result on screen as it was, and a run let through replaces that result. The files are
// slowed by the file-system seam: their reads wait, past their first block, until the test
// lets them go, so nothing here depends on how fast the machine is.

#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QtTest>

#include "FaultyFileSystem.h"
#include "dialogs/ProgressDialog.h"
#include "gui/GridTestUtil.h"
#include "gui/GuiTest.h"
#include "platform/Notifier.h"
#include "qt/QtText.h"

using korvel::MainWindow;
using korvel::Q;
using namespace korvel::test;

namespace {

// `rows` records of 20 bytes: "k000001,value-00001\r\n" less its last digit of the value.
std::string SlowRecords(int rows, char mark) {
  std::string text;
  char line[32];
  for (int i = 0; i < rows; ++i) {
    std::snprintf(line, sizeof line, "k%06d,val%c%06d\r\n", i, mark, i % 1000);
    text += line;
  }
  return text;
}

struct OnScreen {
  QString caption, panel0, panel1;
  QImage screen;
  std::string pathL;  // the shown result's left file
  int rows = 0;
};

OnScreen WhatShows(const MainWindow& w) {
  return {w.windowTitle(),
          w.StatusPanel(0)->text(),
          w.StatusPanel(1)->text(),
          w.ScreenImage().copy(),
          w.Session().ResultPath(korvel::Side::kLeft),
          ShownRows(w)};
}

}  // namespace

class ComparisonProgressTest : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void initTestCase() { scope_.Begin(notifier_); }
  void cleanupTestCase() { scope_.End(); }
  void StopDropsTheRunAndKeepsTheShownResult();

 private:
  WindowTestScope scope_;
  TempDir dir_;
  korvel::RecordingNotifier notifier_;
};

void ComparisonProgressTest::StopDropsTheRunAndKeepsTheShownResult() {
  MainWindow w;
  w.show();
  QVERIFY(QTest::qWaitForWindowExposed(&w));
  QVERIFY(
      CompareInWindow(w, dir_, Lines({"1,a", "2,b", "3,c"}), Lines({"1,a", "2,x"}), {{1}, {}, {}}));
  const OnScreen before = WhatShows(w);
  QCOMPARE(before.rows, 3);

  // 8000 records a side, 160,000 bytes: the first 64 KiB block of each comes at once, the
  // rest waits.
  constexpr int kRows = 8000;
  const std::string slowL = dir_.Write("slow_l.csv", SlowRecords(kRows, 'a'));
  const std::string slowR = dir_.Write("slow_r.csv", SlowRecords(kRows, 'b'));
  FaultyFileSystem fs;
  ScopedFaultyFileSystem installed(&fs);

  struct Seen {
    bool shown = false;
    QString objectName, left, right, stop;
    int bar = -1, barMax = -1;
  };
  // Looks at the dialog once both sides wait for their second block: each has read exactly
  // one block, and has delivered every record of it but those the reader's look-ahead still
  // holds back (fewer than 60 of its 3276), told in batches of 1024: 3072.
  auto look = [&fs](QWidget* modal, Seen& seen) {
    fs.WaitUntilHeld(2);
    seen.shown = true;
    seen.objectName = modal->objectName();
    if (auto* dialog = qobject_cast<korvel::ProgressDialog*>(modal)) dialog->Refresh();
    seen.left = Child<QLabel>(modal, "lbl_Left")->text();
    seen.right = Child<QLabel>(modal, "lbl_Right")->text();
    seen.stop = Child<QPushButton>(modal, "cmd_Stop")->text();
    seen.bar = Child<QProgressBar>(modal, "bar_Bytes")->value();
    seen.barMax = Child<QProgressBar>(modal, "bar_Bytes")->maximum();
  };
  const int expectedBar =
      static_cast<int>(2 * 65536LL * korvel::ProgressDialog::kBarSteps / (2 * kRows * 20LL));

  // 中止 with a real click: the run is dropped without a word.
  fs.HoldReads("slow_", 1);
  Seen stopped;
  WhenModalShown([&](QWidget* modal) {
    look(modal, stopped);
    Click(Child<QPushButton>(modal, "cmd_Stop"));
    fs.Release();
  });
  QVERIFY(ComparePathsInWindow(w, slowL, slowR, {{1}, {}, {}}));
  QVERIFY(stopped.shown);
  QCOMPARE(stopped.objectName, Q("ProgressDialog"));
  QCOMPARE(stopped.stop, Q("中止"));
  QCOMPARE(stopped.left, Q("左読込:3072件"));
  QCOMPARE(stopped.right, Q("右読込:3072件"));
  QCOMPARE(stopped.barMax, korvel::ProgressDialog::kBarSteps);
  QCOMPARE(stopped.bar, expectedBar);
  QVERIFY(notifier_.Entries().empty());
  const OnScreen after = WhatShows(w);
  QCOMPARE(after.caption, before.caption);
  QCOMPARE(after.panel0, before.panel0);
  QCOMPARE(after.panel1, before.panel1);
  QCOMPARE(after.pathL, before.pathL);
  QCOMPARE(after.rows, before.rows);
  QVERIFY(after.screen == before.screen);

  // Esc stops it as well.
  fs.HoldReads("slow_", 1);
  Seen escaped;
  WhenModalShown([&](QWidget* modal) {
    look(modal, escaped);
    QTest::keyClick(modal, Qt::Key_Escape);
    fs.Release();
  });
  QVERIFY(ComparePathsInWindow(w, slowL, slowR, {{1}, {}, {}}));
  QVERIFY(escaped.shown);
  QCOMPARE(w.StatusPanel(1)->text(), before.panel1);
  QCOMPARE(ShownRows(w), before.rows);

  // Let through, the run replaces what was shown and the dialog goes by itself.
  fs.HoldReads("slow_", 1);
  Seen waited;
  WhenModalShown([&](QWidget* modal) {
    look(modal, waited);
    fs.Release();
  });
  QVERIFY(ComparePathsInWindow(w, slowL, slowR, {{1}, {}, {}}));
  QVERIFY(waited.shown);
  QVERIFY(QApplication::activeModalWidget() == nullptr);
  QVERIFY(notifier_.Entries().empty());
  QCOMPARE(ShownRows(w), kRows);
  QCOMPARE(w.Session().Settings().PathL, slowL);
  QCOMPARE(w.StatusPanel(1)->text(),
           Q("左総数:8000件 右総数:8000件 相違レコード数:8000件 左のみ:0件 右のみ:0件"));
  QVERIFY(w.windowTitle() != before.caption);
}

QTEST_MAIN(ComparisonProgressTest)
#include "ComparisonProgress_test.moc"
