// The 差分レポート command of the ファイル menu: the save dialog's types decide the format,
// an existing file is replaced only after the question, and the completion is announced.

#include <QApplication>
#include <QMenu>
#include <QMenuBar>
#include <QtTest>

#include "TestUtil.h"
#include "gui/GridTestUtil.h"
#include "gui/GuiTest.h"
#include "mainwindow/MainWindow.h"
#include "platform/Notifier.h"
#include "qt/QtText.h"

using korvel::MainWindow;
using korvel::Q;

namespace {

// Answers the save dialog with a path and the type the user picked, and keeps what it was
// offered.
class TypedChooser : public korvel::FileChooser {
 public:
  QString path;
  int type = 1;
  std::vector<korvel::FileFilter> offered;
  int calls = 0;
  QString ChooseSaveFileOfType(QWidget*, const std::vector<korvel::FileFilter>& filters, int,
                               int* chosen) override {
    ++calls;
    offered = filters;
    if (!path.isEmpty()) *chosen = type;
    return path;
  }
};

// Opens the ファイル menu with Alt+F and picks 差分レポート by its access key, as a user would.
void ChooseReportFromMenu(MainWindow& w) {
  QTest::keyClick(&w, Qt::Key_F, Qt::AltModifier);
  QTRY_VERIFY(QApplication::activePopupWidget() != nullptr);
  QTest::keyClick(QApplication::activePopupWidget(), Qt::Key_R);
  QTRY_VERIFY(QApplication::activePopupWidget() == nullptr);
}

}  // namespace

class MainWindowReportTest : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void TheChosenTypeDecidesTheFormatAndReplacingIsAsked();

 private:
  korvel::test::HomeDir home_;  // KORVEL_HOME
};

void MainWindowReportTest::TheChosenTypeDecidesTheFormatAndReplacingIsAsked() {
  korvel::RecordingNotifier notes;
  korvel::ScopedNotifier scopedNotes(&notes);
  TypedChooser chooser;
  korvel::ScopedFileChooser scopedChooser(&chooser);
  korvel::test::TempDir dir;
  MainWindow w;
  w.show();
  w.activateWindow();
  QVERIFY(QTest::qWaitForWindowActive(&w));
  QVERIFY(korvel::test::CompareInWindow(w, dir, "id,v\r\n1,a\r\n2,b\r\n",
                                        "id,v\r\n1,a\r\n2,\"c,d\"\r\n3,e\r\n", {{1}, {}, {}},
                                        true));
  notes.Clear();

  // JSON Lines, the first type; the extension is added to a bare name.
  chooser.path = QString::fromStdString(dir.File("report"));
  chooser.type = 1;
  ChooseReportFromMenu(w);
  QCOMPARE(chooser.calls, 1);
  QCOMPARE(chooser.offered.size(), std::size_t{2});
  QCOMPARE(chooser.offered[0].pattern, Q("*.jsonl"));
  QCOMPARE(chooser.offered[1].pattern, Q("*.csv"));
  QCOMPARE(notes.Texts(), std::vector<std::string>{"出力を完了しました。"});
  const std::string jsonl = korvel::test::ReadFileBytes(dir.File("report.jsonl"));
  QVERIFY(jsonl.rfind("{\"summary\":{\"left_total\":2,\"right_total\":3,\"differing\":1,", 0) == 0);
  QVERIFY(jsonl.find("{\"status\":\"differs\",\"left_row\":1,\"right_row\":1,\"key\":[{\"field\":1,"
                     "\"name\":\"id\",\"text\":\"2\"}],\"fields\":[{\"field\":2,\"name\":\"v\","
                     "\"left\":\"b\",\"right\":\"c,d\",\"differs\":true}]}\n") !=
          std::string::npos);

  // CSV, the second type, over an existing file: answered no, the file stays.
  const std::string csvPath = dir.Write("r.csv", "old");
  chooser.path = QString::fromStdString(csvPath);
  chooser.type = 2;
  notes.Clear();
  notes.QueueAnswer(false);
  ChooseReportFromMenu(w);
  QCOMPARE(notes.Texts(),
           std::vector<std::string>{"既にファイルが存在します。上書きしてよろしいですか？"});
  QCOMPARE(korvel::test::ReadFileBytes(csvPath), std::string("old"));

  // Answered yes: replaced by the CSV report.
  notes.Clear();
  notes.QueueAnswer(true);
  ChooseReportFromMenu(w);
  QCOMPARE(notes.Texts(),
           (std::vector<std::string>{"既にファイルが存在します。上書きしてよろしいですか？",
                                     "出力を完了しました。"}));
  QCOMPARE(korvel::test::ReadFileBytes(csvPath),
           std::string("\xEF\xBB\xBFstatus,left_row,right_row,id,field,name,left,right\r\n"
                       "differs,1,1,2,2,v,b,\"c,d\"\r\n"
                       "right-only,,2,3,,,,\r\n"));

  // Cancelled: nothing is written and nothing is said.
  chooser.path.clear();
  notes.Clear();
  ChooseReportFromMenu(w);
  QVERIFY(notes.Texts().empty());
  QCOMPARE(korvel::test::FolderEntries(dir.Path()),
           (std::vector<std::string>{"left.csv", "r.csv", "report.jsonl", "right.csv"}));
}

QTEST_MAIN(MainWindowReportTest)
#include "MainWindowReport_test.moc"
