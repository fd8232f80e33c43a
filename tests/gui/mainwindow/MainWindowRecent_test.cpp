// What the window keeps of its last use: the recently compared pairs (the ファイル menu's
// 最近使ったファイル) and its place and splitter, saved in korvel.ini when it closes and
// brought back by the next window.

#include <QAction>
#include <QGuiApplication>
#include <QMenu>
#include <QScreen>
#include <QtTest>

#include "dialogs/DialogKit.h"
#include "gui/GridTestUtil.h"
#include "platform/Notifier.h"
#include "qt/QtText.h"

using korvel::MainWindow;
using korvel::Q;
using namespace korvel::test;

namespace {

QMenu* RecentMenu(MainWindow& w) { return w.findChild<QMenu*>(QStringLiteral("mnuFileRecent")); }

// The left paths the menu offers, in its order (its items read "&n 【左】left - 【右】right").
QStringList OfferedLeftPaths(MainWindow& w) {
  QStringList paths;
  for (QAction* item : RecentMenu(w)->actions()) {
    const QString text = item->text();
    const int from = text.indexOf(Q("【左】")) + 3;
    paths << text.mid(from, text.indexOf(Q(" - 【右】")) - from);
  }
  return paths;
}

}  // namespace

class RecentTest : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void init() {
    home_.reset();  // the last test's folder gives KORVEL_HOME back first
    home_ = std::make_unique<HomeDir>();
    notifier_.Clear();
    scoped_ = std::make_unique<korvel::ScopedNotifier>(&notifier_);
  }
  void cleanup() { scoped_.reset(); }
  void ComparedPairsAreOfferedNewestFirstAndKeptAtClose();
  void DamagedEntriesAreSkippedQuietly();
  void TwoWindowsClosingKeepEachOthersPairs();
  void ThePlaceAndSplitterComeBack();
  void APlaceOnNoScreenOrADamagedOneIsNotTaken();

 private:
  std::string Ini() const { return ReadFileBytes(home_->File("korvel.ini")); }
  // Compares `left` and `right` (written into the test folder) through the window's file-open
  // command, changing the file selection by `choose`.
  bool Compare(MainWindow& w, const std::string& left, const std::string& right,
               std::function<void(korvel::CompareSettings&)> choose = nullptr) {
    const std::string pathL = dir_.Write(left, "1,a\r\n2,b\r\n");
    const std::string pathR = dir_.Write(right, "1,a\r\n2,c\r\n");
    auto dialogs = std::make_unique<ScriptedChainDialogs>();
    dialogs->selectFiles = [=](korvel::CompareSettings& s) {
      s.FileKind = korvel::kFileKindCsv;
      s.Delimiter = '\t';
      s.TopRowNames = false;
      s.Encoding = 0;
      s.PathL = pathL;
      s.PathR = pathR;
      s.FromClipboard = false;
      if (choose) choose(s);
      return true;
    };
    dialogs->controlFields = [](korvel::FieldGrid& grid) {
      grid.Toggle(1, korvel::FieldGrid::kKey);
      return 1;
    };
    ScriptedChainDialogs& script = InstallScript(w, std::move(dialogs));
    w.Action("mnuFileOpen")->trigger();
    return script.controlShowings == 1 && ShownRows(w) > 0;
  }

  std::unique_ptr<HomeDir> home_;
  TempDir dir_;
  korvel::RecordingNotifier notifier_;
  std::unique_ptr<korvel::ScopedNotifier> scoped_;
};

void RecentTest::ComparedPairsAreOfferedNewestFirstAndKeptAtClose() {
  {
    MainWindow w;
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    // Nothing yet: the submenu is there but disabled.
    QVERIFY(RecentMenu(w)->actions().isEmpty());
    QVERIFY(!w.Action("mnuFileRecent")->isEnabled());
    QVERIFY(Compare(w, "a.csv", "b.csv"));
    QVERIFY(Compare(w, "c.csv", "d.csv", [](korvel::CompareSettings& s) {
      s.FileKind = korvel::kFileKindDelimited;
      s.Delimiter = '|';
      s.TopRowNames = true;
      s.Encoding = 15;
    }));
    QVERIFY(w.Action("mnuFileRecent")->isEnabled());
    // Clipboard captures are not offered; a run that fails is not either.
    QVERIFY(Compare(w, "tmpA.dat", "tmpB.dat",
                    [](korvel::CompareSettings& s) { s.FromClipboard = true; }));
    QVERIFY(!Compare(w, "e.csv", "f.csv",
                     [this](korvel::CompareSettings& s) { s.PathL = dir_.File("missing.csv"); }));
    QCOMPARE(notifier_.Entries().size(), std::size_t{1});  // the missing file, said once
    notifier_.Clear();
    // The same pair again moves up instead of being offered twice.
    QVERIFY(Compare(w, "a.csv", "b.csv"));
    QCOMPARE(OfferedLeftPaths(w), QStringList({korvel::PathToQString(dir_.File("a.csv")),
                                               korvel::PathToQString(dir_.File("c.csv"))}));
    QVERIFY(Ini().find("[RECENT]") == std::string::npos);  // kept when the window closes
    w.Action("mnuFileExit")->trigger();
  }
  const std::string ini = Ini();
  const std::string expected = Cat("[RECENT]\r\n1=", dir_.File("a.csv"), "\t", dir_.File("b.csv"),
                                   "\t0\t9\t0\t0\r\n2=", dir_.File("c.csv"), "\t",
                                   dir_.File("d.csv"), "\t1\t124\t1\t15\r\n");
  QVERIFY2(ini.find(expected) != std::string::npos, ini.c_str());
  // The next window offers them again.
  MainWindow again;
  QCOMPARE(OfferedLeftPaths(again), QStringList({korvel::PathToQString(dir_.File("a.csv")),
                                                 korvel::PathToQString(dir_.File("c.csv"))}));
  QVERIFY(notifier_.Entries().empty());
}

void RecentTest::DamagedEntriesAreSkippedQuietly() {
  home_->Write("korvel.ini",
               "[RECENT]\r\n1=/only/one/field\r\n2=/x/l.csv\t/x/r.csv\t0\t9\t0\t0\r\n"
               "3=/x/l2.csv\t/x/r2.csv\t7\t9\t0\t0\r\n4=/x/l3.csv\t/x/r3.csv\t2\t9\t1\t10\r\n");
  MainWindow w;
  w.show();
  QVERIFY(QTest::qWaitForWindowExposed(&w));
  QCOMPARE(OfferedLeftPaths(w), QStringList({Q("/x/l.csv"), Q("/x/l3.csv")}));
  // Keys are numbered by their place, not the file's keys.
  QCOMPARE(RecentMenu(w)->actions()[1]->objectName(), QStringLiteral("mnuFileRecent2"));
  // The entry presets the file selection (the scripted one cancels).
  auto& script = InstallScript(w, std::make_unique<ScriptedChainDialogs>());
  RecentMenu(w)->actions()[1]->trigger();
  QCOMPARE(script.shownSettings.size(), std::size_t{1});
  const korvel::CompareSettings& shown = script.shownSettings[0];
  QCOMPARE(shown.PathL, std::string("/x/l3.csv"));
  QCOMPARE(shown.PathR, std::string("/x/r3.csv"));
  QCOMPARE(shown.FileKind, korvel::kFileKindFixed);
  QVERIFY(shown.TopRowNames);
  QCOMPARE(shown.Encoding, 10);
  QVERIFY(notifier_.Entries().empty());
}

void RecentTest::TwoWindowsClosingKeepEachOthersPairs() {
  home_->Write("korvel.ini", "[RECENT]\r\n1=/old/l\t/old/r\t0\t9\t0\t0\r\n");
  MainWindow first;
  MainWindow second;
  for (MainWindow* w : {&first, &second}) {
    w->show();
    QVERIFY(QTest::qWaitForWindowExposed(w));
  }
  QVERIFY(Compare(first, "1a.csv", "1b.csv"));
  QVERIFY(Compare(second, "2a.csv", "2b.csv"));
  first.close();
  second.close();
  MainWindow third;
  // The last to close first, then the other's, then the older list.
  QCOMPARE(OfferedLeftPaths(third),
           QStringList({korvel::PathToQString(dir_.File("2a.csv")),
                        korvel::PathToQString(dir_.File("1a.csv")), Q("/old/l")}));
}

void RecentTest::ThePlaceAndSplitterComeBack() {
  const QRect screen = QGuiApplication::primaryScreen()->geometry();
  const int width = std::min(700, screen.width() - 40);
  const int height = std::min(500, screen.height() - 40);
  {
    MainWindow w;
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    w.resize(width, height);
    w.move(screen.x() + 13, screen.y() + 17);
    QTRY_COMPARE(w.size(), QSize(width, height));
    QVERIFY(Compare(w, "a.csv", "b.csv"));
    // The splitter dragged to 150.
    const int split = w.View().splitX;
    QTest::mousePress(w.paiMain(), Qt::LeftButton, Qt::NoModifier, QPoint(split, 100));
    QTest::mouseMove(w.paiMain(), QPoint(150, 100));
    QTest::mouseRelease(w.paiMain(), Qt::LeftButton, Qt::NoModifier, QPoint(150, 100));
    QCOMPARE(w.View().splitX, 150);
    w.close();
  }
  const std::string ini = Ini();
  const std::string place =
      Cat("[WINDOW]\r\nX=", std::to_string(screen.x() + 13),
          "\r\nY=", std::to_string(screen.y() + 17), "\r\nWIDTH=", std::to_string(width),
          "\r\nHEIGHT=", std::to_string(height), "\r\nSPLIT=150\r\n");
  QVERIFY2(ini.find(place) != std::string::npos, ini.c_str());

  MainWindow w;
  QCOMPARE(w.size(), QSize(width, height));
  QCOMPARE(w.pos(), QPoint(screen.x() + 13, screen.y() + 17));
  w.show();
  QVERIFY(QTest::qWaitForWindowExposed(&w));
  // The splitter stands where it was left, also after a run, and is painted there.
  QCOMPARE(w.View().splitX, 150);
  QVERIFY(Compare(w, "a.csv", "b.csv"));
  QCOMPARE(w.View().splitX, 150);
  QCOMPARE(w.View().rightX[1], 150);
  // A resize puts it back by the grid's rule, and the next close keeps none.
  w.resize(width - 20, height);
  QTRY_VERIFY(w.View().splitX != 150);
  w.close();
  QVERIFY(Ini().find("SPLIT=0\r\n") != std::string::npos);
}

void RecentTest::APlaceOnNoScreenOrADamagedOneIsNotTaken() {
  MainWindow plain;
  const QPoint centred = plain.pos();
  struct Case {
    const char* what;
    const char* window;
    QSize size;
  };
  const Case cases[] = {
      {"right of every screen: the size only",
       "[WINDOW]\r\nX=60000\r\nY=10\r\nWIDTH=640\r\nHEIGHT=480\r\nSPLIT=0\r\n", QSize(640, 480)},
      {"above every screen", "[WINDOW]\r\nX=0\r\nY=-5000\r\nWIDTH=640\r\nHEIGHT=480\r\nSPLIT=0\r\n",
       QSize(640, 480)},
      {"damaged: nothing", "[WINDOW]\r\nX=1\r\nY=1\r\nWIDTH=wide\r\nHEIGHT=480\r\nSPLIT=0\r\n",
       QSize(MainWindow::kWindowWidth, MainWindow::kWindowHeight)},
      {"missing keys: nothing", "[WINDOW]\r\nX=1\r\nY=1\r\n",
       QSize(MainWindow::kWindowWidth, MainWindow::kWindowHeight)},
  };
  for (const Case& c : cases) {
    home_->Write("korvel.ini", c.window);
    MainWindow w;
    QVERIFY2(w.size() == c.size, c.what);
    // Not on the stored place: where a new window goes.
    const QScreen* screen = QGuiApplication::primaryScreen();
    QVERIFY2(screen->geometry().intersects(QRect(w.pos(), w.size())), c.what);
    if (c.size == QSize(MainWindow::kWindowWidth, MainWindow::kWindowHeight)) {
      QVERIFY2(w.pos() == centred, c.what);
    }
  }
  QVERIFY(notifier_.Entries().empty());
}

QTEST_MAIN(RecentTest)
#include "MainWindowRecent_test.moc"
