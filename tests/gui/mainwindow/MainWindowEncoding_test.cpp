// Files of different encodings in the window under 自動判定: the status bar names each
// side's detected encoding, equal content paints no difference, and characters without a
// Shift-JIS form are told once and painted as differing.

#include <QLabel>
#include <QtTest>
#include <functional>

#include "TestUtil.h"
#include "gui/GridTestUtil.h"
#include "gui/GuiTest.h"
#include "mainwindow/MainWindow.h"
#include "platform/Codepage.h"
#include "platform/Notifier.h"
#include "qt/QtText.h"

using korvel::MainWindow;
using korvel::Q;
using namespace korvel::test;

namespace {

// Pixels of the two difference colours in the painted grid.
int DifferencePixels(MainWindow& w) {
  const QImage image = w.paiMain()->grab().toImage().convertToFormat(QImage::Format_RGB32);
  const QRgb left = MainWindow::LeftDiffColor.rgb() & 0xFFFFFF;
  const QRgb right = MainWindow::RightDiffColor.rgb() & 0xFFFFFF;
  int n = 0;
  for (int y = 0; y < image.height(); ++y) {
    for (int x = 0; x < image.width(); ++x) {
      const QRgb p = image.pixel(x, y) & 0xFFFFFF;
      n += p == left || p == right;
    }
  }
  return n;
}

// Runs `onShow` whenever a box is shown, before recording it: what the window shows then.
class SnapshotNotifier : public korvel::RecordingNotifier {
 public:
  std::function<void()> onShow;
  bool Show(const korvel::MessageBoxSpec& box) override {
    if (onShow) onShow();
    return RecordingNotifier::Show(box);
  }
};

// Compares two files as CSV with a name line, key on field 1, read with `encoding`.
bool CompareWith(MainWindow& w, const std::string& left, const std::string& right, int encoding) {
  auto dialogs = std::make_unique<ScriptedChainDialogs>();
  dialogs->selectFiles = [=](korvel::CompareSettings& s) {
    s.FileKind = korvel::kFileKindCsv;
    s.TopRowNames = true;
    s.Encoding = encoding;
    s.PathL = left;
    s.PathR = right;
    return true;
  };
  dialogs->controlFields = [](korvel::FieldGrid& grid) {
    grid.Toggle(1, korvel::FieldGrid::kKey);
    return 1;
  };
  ScriptedChainDialogs& script = InstallScript(w, std::move(dialogs));
  w.Action("mnuFileOpen")->trigger();
  return script.controlShowings == 1 && !w.Session().Fields().empty();
}

}  // namespace

class EncodingWindowTest : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void ShiftJisAgainstUtf8WithoutMarkShowsNoDifference();
  void LostCharactersAreToldOnceAndPaintedAsDiffering();

 private:
  HomeDir home_;  // KORVEL_HOME
  TempDir dir_;
};

void EncodingWindowTest::ShiftJisAgainstUtf8WithoutMarkShowsNoDifference() {
  korvel::RecordingNotifier notifier;
  korvel::ScopedNotifier scoped(&notifier);
  MainWindow w;
  w.resize(900, 400);
  w.show();
  QVERIFY(QTest::qWaitForWindowExposed(&w));
  const std::string utf8 = "番号,氏名,カナ\r\n1,山田太郎,ﾔﾏﾀﾞ\r\n2,佐藤花子,ｻﾄｳ\r\n";
  const std::string left = dir_.Write("old.csv", korvel::Utf8ToCp932(utf8));
  const std::string right = dir_.Write("new.csv", utf8);

  // One encoding for both: the UTF-8 side is read as Shift-JIS and differs everywhere.
  QVERIFY(CompareWith(w, left, right, korvel::kEncodingSjis));
  QCOMPARE(w.StatusPanel(0)->text(), Q("SHIFT-JIS"));
  QVERIFY(DifferencePixels(w) > 0);

  QVERIFY(CompareWith(w, left, right, korvel::kEncodingAuto));
  QCOMPARE(w.StatusPanel(0)->text(), Q("SJS/U8"));
  QCOMPARE(w.StatusPanel(1)->text(),
           Q("左総数:2件 右総数:2件 相違レコード数:0件 左のみ:0件 右のみ:0件"));
  QCOMPARE(DifferencePixels(w), 0);
  QVERIFY(notifier.Entries().empty());
  QCOMPARE(korvel::Cp932ToUtf8(w.Session().Fields()[1].Name), std::string("氏名"));
}

void EncodingWindowTest::LostCharactersAreToldOnceAndPaintedAsDiffering() {
  SnapshotNotifier notifier;
  korvel::ScopedNotifier scoped(&notifier);
  MainWindow w;
  w.resize(900, 400);
  w.show();
  QVERIFY(QTest::qWaitForWindowExposed(&w));
  QString summaryAtBox;
  int pixelsAtBox = -1;
  notifier.onShow = [&] {
    summaryAtBox = w.StatusPanel(1)->text();
    pixelsAtBox = DifferencePixels(w);
  };
  // あ and an emoji on the left (UTF-8); あ and a JIS X 0212 kanji that CP932 lacks on the
  // right (EUC-JP): both cells read "あ?". The left's second record has a field too many.
  const std::string left = dir_.Write("l.csv", "no,x\r\n1,あ\xF0\x9F\x98\x80\r\n2,b,c\r\n");
  const std::string right = dir_.Write("r.csv", "no,x\r\n1,\xA4\xA2\x8F\xB0\xA1\r\n2,b\r\n");

  // 自動判定: each side as what it is; the two '?' stood for different characters. Both
  // warnings come in one box, once the result is painted and counted in the status bar.
  QVERIFY(CompareWith(w, left, right, korvel::kEncodingAuto));
  QCOMPARE(w.StatusPanel(0)->text(), Q("U8/EUC"));
  QCOMPARE(notifier.Texts(),
           std::vector<std::string>{"項目数を超えるデータを読み込みませんでした。(左:1件 右:0件)\n"
                                    "変換できない文字があります。(左:1件 右:1件)"});
  QCOMPARE(summaryAtBox,
           Q("左総数:2件 右総数:2件 相違レコード数:1件 左のみ:0件 右のみ:0件  警告 2"));
  QVERIFY(pixelsAtBox > 0);
  QCOMPARE(w.Session().DiffRecordCount(), 1);
}

QTEST_MAIN(EncodingWindowTest)
#include "MainWindowEncoding_test.moc"
