// The 差分レポート command of the ファイル menu: the save dialog's types decide the format,
// an existing file is replaced only after the question, and the completion is announced.

#include <QApplication>
#include <QComboBox>
#include <QFileDialog>
#include <QLineEdit>
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
  QString ChooseSaveFileOfType(QWidget*, const korvel::SaveFileRequest& request,
                               int* chosen) override {
    ++calls;
    offered = request.filters;
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

// The fields of each line of a CSV text read by RFC 4180 (quotes double inside quoted
// fields; line breaks end records only outside quotes), one vector a record.
std::vector<std::vector<std::string>> ReadCsv(const std::string& text) {
  std::vector<std::vector<std::string>> records(1, std::vector<std::string>(1));
  bool quoted = false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (quoted && c == '"' && i + 1 < text.size() && text[i + 1] == '"') {
      records.back().back() += '"';
      ++i;
    } else if (c == '"') {
      quoted = !quoted;
    } else if (!quoted && c == ',') {
      records.back().emplace_back();
    } else if (!quoted && c == '\r') {
    } else if (!quoted && c == '\n') {
      records.emplace_back(1);
    } else {
      records.back().back() += c;
    }
  }
  if (records.back() == std::vector<std::string>(1)) records.pop_back();
  return records;
}

// The window shown and active, with the pair the report tests write compared in it.
bool ShowComparedPair(MainWindow& w, const korvel::test::TempDir& dir) {
  w.show();
  w.activateWindow();
  return QTest::qWaitForWindowActive(&w) &&
         korvel::test::CompareInWindow(w, dir, "id,v\r\n1,a\r\n2,b\r\n",
                                       "id,v\r\n1,a\r\n2,\"c,d\"\r\n3,e\r\n", {{1}, {}, {}}, true);
}

}  // namespace

class MainWindowReportTest : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void TheChosenTypeDecidesTheFormatAndReplacingIsAsked();
  void TheSaveDialogsTypeDecidesTheFormat();

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
  QVERIFY(ShowComparedPair(w, dir));
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

// Qt's own save dialog, answered with the keyboard: the type picked in its list decides the
// format, and a name typed without an extension gets that type's.
void MainWindowReportTest::TheSaveDialogsTypeDecidesTheFormat() {
  korvel::RecordingNotifier notes;
  korvel::ScopedNotifier scopedNotes(&notes);
  korvel::test::TempDir dir;
  MainWindow w;
  QVERIFY(ShowComparedPair(w, dir));
  const struct {
    const char* typed;
    int typeSteps;  // Down presses in the type list from its first entry
    const char* written;
    bool csv;
  } cases[] = {
      {"rep.csv", 1, "rep.csv", true},
      {"bare", 1, "bare.csv", true},
      {"lines", 0, "lines.jsonl", false},
  };
  for (const auto& c : cases) {
    notes.Clear();
    w.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&w));
    bool seen = false;
    QString title, folder;
    korvel::test::WhenModalShown([&](QWidget* modal) {
      auto* dialog = qobject_cast<QFileDialog*>(modal);
      if (!dialog) {
        modal->close();
        return;
      }
      seen = true;
      title = dialog->windowTitle();
      folder = dialog->directory().absolutePath();
      auto* types = korvel::test::Child<QComboBox>(dialog, "fileTypeCombo");
      types->setFocus();
      for (int i = 0; i < c.typeSteps; ++i) QTest::keyClick(types, Qt::Key_Down);
      auto* name = korvel::test::Child<QLineEdit>(dialog, "fileNameEdit");
      name->setFocus();
      name->clear();
      QTest::keyClicks(name, QString::fromStdString(dir.File(c.typed)));
      // The name box's completer takes a Return while its list is open (the list comes up
      // as the folder is read): Esc closes the list, and Return then accepts the name.
      for (int tries = 0; tries < 3 && dialog->isVisible(); ++tries) {
        QCoreApplication::processEvents();
        if (QWidget* list = QApplication::activePopupWidget())
          QTest::keyClick(list, Qt::Key_Escape);
        QTest::keyClick(name, Qt::Key_Return);
      }
      if (dialog->isVisible()) dialog->reject();
    });
    ChooseReportFromMenu(w);
    QVERIFY2(seen, c.typed);
    QCOMPARE(title, Q("差分レポートの保存"));
    // After the first save, the dialog opens where it went.
    if (&c != &cases[0]) QCOMPARE(folder, QString::fromStdString(dir.Path()));
    QCOMPARE(notes.Texts(), std::vector<std::string>{"出力を完了しました。"});
    const std::string text = korvel::test::ReadFileBytes(dir.File(c.written));
    if (!c.csv) {
      QVERIFY2(text.rfind("{\"summary\":", 0) == 0, text.c_str());
      continue;
    }
    QVERIFY2(text.rfind("\xEF\xBB\xBF", 0) == 0, text.c_str());
    const std::vector<std::vector<std::string>> records = ReadCsv(text.substr(3));
    QCOMPARE(records.size(), std::size_t{3});
    QCOMPARE(records[0], (std::vector<std::string>{"status", "left_row", "right_row", "id", "field",
                                                   "name", "left", "right"}));
    QCOMPARE(records[1],
             (std::vector<std::string>{"differs", "1", "1", "2", "2", "v", "b", "c,d"}));
    QCOMPARE(records[2].size(), std::size_t{8});
  }
  QCOMPARE(
      korvel::test::FolderEntries(dir.Path()),
      (std::vector<std::string>{"bare.csv", "left.csv", "lines.jsonl", "rep.csv", "right.csv"}));
}

QTEST_MAIN(MainWindowReportTest)
#include "MainWindowReport_test.moc"
