// The main window's shell: layout, what its menu items and toolbar buttons do when clicked,
// the status bar, the caption, drops, resize, close, the empty grid, and the message boxes
// of the Qt notifier.

#include "mainwindow/MainWindow.h"

#include <QAction>
#include <QClipboard>
#include <QDir>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>
#include <QScreen>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QtTest>
#include <filesystem>
#include <functional>

#include "TestUtil.h"
#include "dialogs/DialogKit.h"
#include "dialogs/ExportDialog.h"
#include "dialogs/FindDialog.h"
#include "gui/GridTestUtil.h"
#include "gui/GuiTest.h"
#include "platform/Notifier.h"
#include "qt/QtNotifier.h"
#include "qt/QtText.h"

using korvel::MainWindow;
using korvel::Q;
using namespace korvel::test;

namespace {

QRgb Pixel(const QImage& image, int x, int y) { return image.pixel(x, y) & 0xFFFFFF; }

// The texts of a menu's items as the user sees them, "-" for a separator.
QStringList ShownItems(QMenu* menu) {
  QStringList texts;
  for (QAction* a : menu->actions()) texts << (a->isSeparator() ? QStringLiteral("-") : a->text());
  return texts;
}

QAction* ItemNamed(QMenu* menu, const QString& text) {
  for (QAction* a : menu->actions()) {
    if (a->text() == text) return a;
  }
  return nullptr;
}

QString Clipboard() { return QGuiApplication::clipboard()->text(); }

// Closes the next modal window and tells its class and title.
struct ModalSeen {
  QString className;
  QString title;
};
void CloseNextModal(ModalSeen& seen) {
  seen = ModalSeen{};
  WhenModalShown([&seen](QWidget* modal) {
    seen.className = QString::fromLatin1(modal->metaObject()->className());
    seen.title = modal->windowTitle();
    if (auto* box = qobject_cast<QMessageBox*>(modal)) {
      box->button(QMessageBox::Ok)->click();
    } else if (auto* dialog = qobject_cast<QDialog*>(modal)) {
      dialog->reject();
    } else {
      modal->close();
    }
  });
}

// Three records keyed on FD001: 1 differs in FD003 (x, X), 2 in FD002 (def, dEf), 3 is equal.
const char* const kLeft = "1,abc,x\r\n2,def,y\r\n3,abc,z\r\n";
const char* const kRight = "1,abc,X\r\n2,dEf,y\r\n3,abc,z\r\n";

}  // namespace

class MainWindowTest : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  // Every window of this test keeps its settings in a private folder.
  void LayoutAndCaptionAtStart();
  void MenuItemsDoWhatTheirCaptionsSay();
  void ToolBarButtonsDoWhatTheirHintsSay();
  void StatusBarShowsTheRunAndAFailedRunEmptiesIt();
  void HorizontalBarNeedsTwoFields_data();
  void HorizontalBarNeedsTwoFields();
  void CaptionNamesTheComparedFiles();
  void DroppedFilesStartTheFileOpenCommand();
  void HeaderPopupWithoutResult();
  void EmptyGridPainting();
  void AboutBoxIsWideEnoughForItsCaption();
  void ResizeGrowsTheBackBufferAndKeepsFocusBar();
  void SettingsAreLoadedAtStartAndSavedAtClose();
  void NotifierShowsBoxesByKind();
  void WithoutAProgramFolderClosingSaysSoOnce();
  void EngineOutcomesAndQuestionsBecomeBoxesInTheirOrder();

 private:
  korvel::test::HomeDir home_;  // KORVEL_HOME
  korvel::test::TempDir dir_;
};

void MainWindowTest::LayoutAndCaptionAtStart() {
  MainWindow w;
  w.show();
  QVERIFY(QTest::qWaitForWindowExposed(&w));
  QCOMPARE(w.size(), QSize(811, 548));
  QCOMPARE(w.windowTitle(), Q("KORVEL"));
  QCOMPARE(w.ToolBar1()->height(), 28);
  QCOMPARE(w.statusBar()->height(), 20);
  QCOMPARE(w.scr_Right()->width(), 16);
  QCOMPARE(w.scr_Bottom()->height(), 16);
  QVERIFY(!w.scr_Right()->isEnabled());
  QVERIFY(!w.scr_Bottom()->isEnabled());
  QCOMPARE(w.scr_Tab()->geometry(), QRect(3, 0, 54, 17));
  // The paint box fills the rest: right of it the 16-px strip, under it the bottom strip.
  QCOMPARE(w.paiMain()->width(), w.width() - 16);
  QCOMPARE(w.View().splitX, w.paiMain()->width() / 2);
  QVERIFY(!w.Timer1()->isActive());
  QCOMPARE(w.Timer1()->interval(), 700);
  // Centred on the screen.
  const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
  QVERIFY(qAbs(w.frameGeometry().center().x() - screen.center().x()) <= 3);
  QVERIFY(qAbs(w.frameGeometry().center().y() - screen.center().y()) <= 3);
  // Activation puts the focus on the key bar.
  w.activateWindow();
  QVERIFY(QTest::qWaitForWindowActive(&w));
  QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget*>(w.scr_Tab()));
}

// Each menu, opened as a user opens it, shows its items in order; each item clicked runs
// the command its caption names. The commands' own rules have their own tests: here it is
// enough that the right one runs.
void MainWindowTest::MenuItemsDoWhatTheirCaptionsSay() {
  korvel::RecordingNotifier notifier;
  korvel::ScopedNotifier scoped(&notifier);
  MainWindow w;
  w.show();
  QVERIFY(QTest::qWaitForWindowExposed(&w));
  QVERIFY(CompareInWindow(w, dir_, kLeft, kRight, {{1}, {}, {}}));
  auto& script = InstallScript(w, std::make_unique<ScriptedChainDialogs>());
  int helpOpened = 0;
  w.SetHelpOpener([&](const std::string&) { ++helpOpened; });
  // The cursor on FD003 of record 1: x on the left, X on the right.
  QTest::keyClick(w.scr_Tab(), Qt::Key_End);
  QCOMPARE(w.View().curCol, 2);
  ModalSeen modal;

  QStringList titles;
  for (QAction* a : w.menuBar()->actions()) titles << a->text();
  QCOMPARE(titles, QStringList({Q("ファイル(&F)"), Q("編集(&E)"), Q("検索(&S)"), Q("表示(&V)"),
                                Q("ヘルプ(&H)")}));

  struct Item {
    const char* caption;  // nullptr: a separator
    std::function<void()> before;
    std::function<void()> check;
  };
  auto title = [&w] { return w.windowTitle(); };
  std::size_t messagesBefore = 0;
  const std::vector<std::pair<const char*, std::vector<Item>>> menus = {
      {"mnuEdit",
       {
           {"選択範囲の内容をコピー(&C)", nullptr, [] { QCOMPARE(Clipboard(), Q("x\r\n")); }},
           {"選択範囲の相対側の内容コピー(&A)", nullptr, [] { QCOMPARE(Clipboard(), Q("X\r\n")); }},
           {nullptr, nullptr, nullptr},
           {"ヘッダ名を付けてコピー(&H)", nullptr,
            [&] {
              QVERIFY(w.View().copyWithHeader);
              QVERIFY(w.Action("tb_CopyHead")->isChecked());
            }},
           {"相違にマークを付けてコピー(&M)", nullptr,
            [&] {
              QVERIFY(w.View().copyWithMarks);
              QVERIFY(w.Action("tb_CopyMark")->isChecked());
            }},
           {nullptr, nullptr, nullptr},
           {"カーソル行の比較コピー(&D)", nullptr,
            [] {
              QCOMPARE(Clipboard(),
                       Q("FD001\tFD002\tFD003\r\n1\tabc\tx\r\n1\tabc\tX\r\n\t\t*\r\n"));
            }},
       }},
      {"mnuFind",
       {
           {"検索(&S)",
            [&] {
              WhenModalShown([](QWidget* d) {
                auto* find = qobject_cast<korvel::FindDialog*>(d);
                if (!find) {
                  d->close();
                  return;
                }
                find->txt_Keyword->setText(QStringLiteral("abc"));
                Click(find->cmd_FindDown);
              });
            },
            [&] { QCOMPARE(QPoint(w.View().curCol, w.View().curRow), QPoint(1, 2)); }},
           {"上検索(&U)", nullptr,
            [&] { QCOMPARE(QPoint(w.View().curCol, w.View().curRow), QPoint(1, 0)); }},
           {"下検索(&D)", nullptr,
            [&] { QCOMPARE(QPoint(w.View().curCol, w.View().curRow), QPoint(1, 2)); }},
           {nullptr, nullptr, nullptr},
           {"相違分を抽出(&I)", nullptr,
            [&] { QVERIFY(title().startsWith(Q("KORVEL(相違分抽出中...2件)【左】"))); }},
           {"相違分（『右のみ』『左のみ』含む）を抽出(&A)", nullptr,
            [&] {
              QVERIFY(
                  title().startsWith(Q("KORVEL(相違分(『左のみ』、『右のみ』含む）抽出中...2件)")));
            }},
           {"相違なし分を抽出(&N)", nullptr,
            [&] {
              QVERIFY(title().startsWith(Q("KORVEL(相違なし分抽出中...1件)")));
              QCOMPARE(ShownRows(w), 1);
            }},
           {nullptr, nullptr, nullptr},
           {"抽出の解除(&E)", nullptr,
            [&] {
              QVERIFY(!w.Session().ExtractActive());
              QCOMPARE(ShownRows(w), 3);
              QVERIFY(title().startsWith(Q("KORVEL【左】left.csv")));
            }},
       }},
      {"mnuHelp",
       {
           {"ヘルプ(&H)", nullptr,
            [&] {
              // No help page in the program folder: the message, and no browser.
              QCOMPARE(notifier.Texts(), std::vector<std::string>{"ファイルが見付かりません。"});
              QCOMPARE(helpOpened, 0);
            }},
           {"バージョン情報(&A)...", [&] { CloseNextModal(modal); },
            [&] { QCOMPARE(modal.title, Q("バージョン情報")); }},
       }},
      {"mnuFile",
       {
           {"比較ファイル選択(&I)...", nullptr,
            [&] {
              QCOMPARE(script.shownSettings.size(), std::size_t{1});
              QCOMPARE(ShownRows(w), 3);  // cancelled: the result stays
            }},
           {"最近使ったファイル", nullptr,
            [&] {
              // A submenu: the pair compared above, nothing opened by the item itself.
              auto* recent = w.findChild<QMenu*>(QStringLiteral("mnuFileRecent"));
              QVERIFY(recent != nullptr);
              QCOMPARE(recent->actions().size(), 1);
              QCOMPARE(recent->actions()[0]->text(),
                       Q("&1 【左】") + korvel::PathToQString(dir_.File("left.csv")) +
                           Q(" - 【右】") + korvel::PathToQString(dir_.File("right.csv")));
              QCOMPARE(script.shownSettings.size(), std::size_t{1});
            }},
           {"結果エクスポート(&E)...", [&] { CloseNextModal(modal); },
            [&] {
              QCOMPARE(modal.className, QStringLiteral("korvel::ExportDialog"));
              QCOMPARE(modal.title, Q("結果エクスポート"));
            }},
           {"差分レポート(&R)...",
            [&] {
              messagesBefore = notifier.Texts().size();
              CloseNextModal(modal);
            },
            [&] {
              // The save dialog, cancelled: nothing written, nothing said.
              QCOMPARE(modal.className, QStringLiteral("QFileDialog"));
              QCOMPARE(notifier.Texts().size(), messagesBefore);
            }},
           {nullptr, nullptr, nullptr},
           {"項目再設定(&F)...", nullptr, [&] { QCOMPARE(script.reGridShowings, 1); }},
           {nullptr, nullptr, nullptr},
           {"終了(&Q)", nullptr, [&] { QVERIFY(!w.isVisible()); }},
       }},
  };
  for (const auto& [menuName, items] : menus) {
    auto* menu = w.menuBar()->findChild<QMenu*>(QString::fromLatin1(menuName));
    QVERIFY(menu != nullptr);
    QStringList expected;
    for (const Item& item : items)
      expected << (item.caption ? Q(item.caption) : QStringLiteral("-"));
    Q_EMIT menu->aboutToShow();
    QCOMPARE(ShownItems(menu), expected);
    for (const Item& item : items) {
      if (!item.caption) continue;
      QAction* action = ItemNamed(menu, Q(item.caption));
      QVERIFY2(action != nullptr, item.caption);
      if (item.before) item.before();
      // A submenu opens on a click rather than doing something: its items are checked.
      if (action->menu() == nullptr) ClickMenuItem(w, menuName, action);
      item.check();
      if (QTest::currentTestFailed()) QFAIL(item.caption);
    }
  }
}

void MainWindowTest::ToolBarButtonsDoWhatTheirHintsSay() {
  korvel::RecordingNotifier notifier;
  korvel::ScopedNotifier scoped(&notifier);
  MainWindow w;
  w.show();
  QVERIFY(QTest::qWaitForWindowExposed(&w));
  auto button = [&w](const char* name) {
    return qobject_cast<QToolButton*>(w.ToolBar1()->widgetForAction(w.Action(name)));
  };
  // Eight 16-pixel buttons in four groups; the five commands carry hints.
  QStringList hints;
  int gaps = 0;
  for (QAction* a : w.ToolBar1()->actions()) {
    if (a->objectName().isEmpty()) {
      ++gaps;  // an 8-pixel gap
      continue;
    }
    hints << a->toolTip();
    QVERIFY(!a->icon().isNull());
    QCOMPARE(a->icon().availableSizes().value(0), QSize(16, 16));
  }
  QCOMPARE(gaps, 3);
  QCOMPARE(hints.mid(0, 5), QStringList({Q("比較ファイル選択"), Q("項目再設定"),
                                         Q("結果エクスポート"), Q("上検索"), Q("下検索")}));

  // The re-setting button waits for a run; the menu item is there from the start.
  QVERIFY(!button("tb_Reset")->isEnabled());
  QVERIFY(w.Action("mnuFileReGrid")->isEnabled());
  QVERIFY(CompareInWindow(w, dir_, kLeft, kRight, {{1}, {}, {}}));
  QVERIFY(button("tb_Reset")->isEnabled());
  auto& script = InstallScript(w, std::make_unique<ScriptedChainDialogs>());
  QTest::mouseClick(button("tb_FileOpen"), Qt::LeftButton);
  QCOMPARE(script.shownSettings.size(), std::size_t{1});
  QTest::mouseClick(button("tb_Reset"), Qt::LeftButton);
  QCOMPARE(script.reGridShowings, 1);
  ModalSeen modal;
  CloseNextModal(modal);
  QTest::mouseClick(button("tb_FileExp"), Qt::LeftButton);
  QCOMPARE(modal.className, QStringLiteral("korvel::ExportDialog"));
  // The block jumps: records 1 and 2 differ, record 3 does not.
  QTest::mouseClick(button("tb_FindDown"), Qt::LeftButton);
  QCOMPARE(notifier.BeepCount(), 1);  // no block after the first one
  QTest::keyClick(w.scr_Tab(), Qt::Key_PageDown);
  QCOMPARE(w.View().curRow, 2);
  QTest::mouseClick(button("tb_FindUp"), Qt::LeftButton);
  QCOMPARE(w.View().curRow, 0);

  // The two copy options: each button holds its option down, and the menu items follow.
  QVERIFY(button("tb_CopyHead")->isCheckable());
  QVERIFY(button("tb_CopyMark")->isCheckable());
  QVERIFY(!w.View().copyWithHeader);
  QTest::mouseClick(button("tb_CopyHead"), Qt::LeftButton);
  QVERIFY(w.View().copyWithHeader);
  QVERIFY(w.Action("mnuEditCopyHead")->isChecked());
  QTest::mouseClick(button("tb_CopyMark"), Qt::LeftButton);
  QVERIFY(w.View().copyWithMarks);
  QTest::mouseClick(button("tb_CopyHead"), Qt::LeftButton);
  QVERIFY(!w.View().copyWithHeader);
  // Opening the edit menu shows the options as checks; the menu item lifts the button.
  ClickMenuItem(w, "mnuEdit", "mnuEditCopyMark");
  QVERIFY(!w.View().copyWithMarks);
  QVERIFY(!button("tb_CopyMark")->isChecked());
  auto* edit = w.menuBar()->findChild<QMenu*>(QStringLiteral("mnuEdit"));
  QTest::mouseClick(button("tb_CopyHead"), Qt::LeftButton);
  Q_EMIT edit->aboutToShow();
  QVERIFY(w.Action("mnuEditCopyHead")->isChecked());
  QVERIFY(!w.Action("mnuEditCopyMark")->isChecked());
}

void MainWindowTest::StatusBarShowsTheRunAndAFailedRunEmptiesIt() {
  korvel::RecordingNotifier notifier;
  korvel::ScopedNotifier scoped(&notifier);
  MainWindow w;
  w.show();
  QVERIFY(QTest::qWaitForWindowExposed(&w));
  QCOMPARE(w.StatusPanel(0)->width(), 70);
  QVERIFY(w.StatusPanel(0)->text().isEmpty());
  // A UTF-8 file with its mark against a UTF-16 one: each side's encoding, short.
  const std::string utf16 = std::string("\xFF\xFE", 2) + std::string("1\0,\0a\0\r\0\n\0", 10);
  QVERIFY(ComparePathsInWindow(w,
                               dir_.Write("u8.csv",
                                          "\xEF\xBB\xBF"
                                          "1,a\r\n2,b\r\n"),
                               dir_.Write("u16.csv", utf16), {{1}, {}, {}}));
  QCOMPARE(w.StatusPanel(0)->text(), Q("U8/U16"));
  QCOMPARE(w.StatusPanel(1)->text(),
           Q("左総数:2件 右総数:1件 相違レコード数:0件 左のみ:1件 右のみ:0件"));
  // Both sides alike: the long name.
  QVERIFY(CompareInWindow(w, dir_, kLeft, kRight, {{1}, {}, {}}));
  QCOMPARE(w.StatusPanel(0)->text(), Q("SHIFT-JIS"));
  // A failed run (a cell over 500 bytes) empties both panels.
  QVERIFY(!CompareInWindow(w, dir_, Cat("1,", std::string(501, 'w'), "\r\n"), "1,a\r\n",
                           {{1}, {}, {}}));
  QCOMPARE(notifier.Texts().size(), std::size_t{1});
  QVERIFY(w.StatusPanel(0)->text().isEmpty());
  QVERIFY(w.StatusPanel(1)->text().isEmpty());
}

void MainWindowTest::HorizontalBarNeedsTwoFields_data() {
  QTest::addColumn<QString>("line");  // every record of both files
  QTest::addColumn<bool>("enabled");
  QTest::addColumn<int>("maximum");
  QTest::newRow("one field") << QStringLiteral("a") << false << 1;
  QTest::newRow("two fields") << QStringLiteral("a,b") << true << 1;
  QTest::newRow("three fields") << QStringLiteral("a,b,c") << true << 2;
}

// The horizontal bar scrolls the fields: with one field there is nothing to scroll, after a
// run as after a re-setting.
void MainWindowTest::HorizontalBarNeedsTwoFields() {
  QFETCH(QString, line);
  QFETCH(bool, enabled);
  QFETCH(int, maximum);
  MainWindow w;
  w.show();
  QVERIFY(QTest::qWaitForWindowExposed(&w));
  const std::string text = Lines({line.toStdString(), line.toStdString()});
  QVERIFY(CompareInWindow(w, dir_, text, text, {}));
  QCOMPARE(w.scr_Bottom()->isEnabled(), enabled);
  QCOMPARE(w.scr_Bottom()->maximum(), maximum);
  QCOMPARE(w.scr_Bottom()->value(), 0);
  QCOMPARE(ReGridInWindow(w, [](korvel::FieldGrid&) { return 1; }), 1);
  QCOMPARE(w.scr_Bottom()->isEnabled(), enabled);
  QCOMPARE(w.scr_Bottom()->maximum(), maximum);
}

void MainWindowTest::CaptionNamesTheComparedFiles() {
  MainWindow w;
  w.show();
  QVERIFY(QTest::qWaitForWindowExposed(&w));
  // The same file name in two folders: the folders that tell them apart.
  QVERIFY(QDir(QString::fromStdString(dir_.Path())).mkpath(QStringLiteral("x/data")));
  QVERIFY(QDir(QString::fromStdString(dir_.Path())).mkpath(QStringLiteral("y/data")));
  const std::string left = dir_.Write("x/data/f.csv", kLeft);
  const std::string right = dir_.Write("y/data/f.csv", kRight);
  QVERIFY(ComparePathsInWindow(w, left, right, {{1}, {}, {}}));
  QCOMPARE(w.windowTitle(), Q("KORVEL【左】x/・・・/f.csv  - 【右】y/・・・/f.csv"));
  // An extraction puts its status between the product name and the files.
  ClickMenuItem(w, "mnuFind", "mnuFindSelDf");
  QCOMPARE(w.windowTitle(),
           Q("KORVEL(相違分抽出中...2件)【左】x/・・・/f.csv  - 【右】y/・・・/f.csv"));
  // One file on both sides.
  const std::string same = dir_.Write("表.csv", kLeft);
  QVERIFY(ComparePathsInWindow(w, same, same, {{1}, {}, {}}));
  QCOMPARE(w.windowTitle(), Q("KORVEL【左右同じファイル】表.csv"));
}

void MainWindowTest::DroppedFilesStartTheFileOpenCommand() {
  MainWindow w;
  w.show();
  QVERIFY(QTest::qWaitForWindowExposed(&w));
  auto& script = InstallScript(w, std::make_unique<ScriptedChainDialogs>());
  auto drop = [&w](const QStringList& paths) {
    QList<QUrl> urls;
    for (const QString& path : paths) urls << QUrl::fromLocalFile(path);
    QMimeData data;
    data.setUrls(urls);
    QDragEnterEvent enter(QPoint(100, 100), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(w.paiMain(), &enter);
    QVERIFY(enter.isAccepted());
    QDropEvent event(QPointF(100, 100), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(w.paiMain(), &event);
  };
  auto shown = [&script](std::size_t k) {
    const korvel::CompareSettings& s = script.shownSettings[k];
    return QStringList({QString::fromStdString(s.PathL), QString::fromStdString(s.PathR)});
  };
  // Three at once: the file selection shows the first two, in order; the third is ignored.
  drop({QStringLiteral("/d/a.csv"), QStringLiteral("/d/b.csv"), QStringLiteral("/d/c.csv")});
  QCOMPARE(script.shownSettings.size(), std::size_t{1});
  QCOMPARE(shown(0), QStringList({QStringLiteral("/d/a.csv"), QStringLiteral("/d/b.csv")}));
  QCOMPARE(w.View().dropCount, 0);
  // One, and later another.
  auto& again = InstallScript(w, std::make_unique<ScriptedChainDialogs>());
  drop({QStringLiteral("/d/first.csv")});
  QCOMPARE(again.shownSettings.size(), std::size_t{0});
  QCOMPARE(w.View().dropCount, 1);
  QCOMPARE(w.View().dropPathL, std::string("/d/first.csv"));
  drop({QStringLiteral("/d/second.csv")});
  QCOMPARE(again.shownSettings.size(), std::size_t{1});
  QCOMPARE(QString::fromStdString(again.shownSettings[0].PathR), QStringLiteral("/d/second.csv"));
  // Without two dropped files the file selection shows the paths last confirmed instead.
  w.Action("mnuFileOpen")->trigger();
  QCOMPARE(again.shownSettings.size(), std::size_t{2});
  QVERIFY(again.shownSettings[1].PathL.empty());
  // A drop without files changes nothing.
  w.DropFiles({});
  QCOMPARE(w.View().dropCount, 0);
  QCOMPARE(again.shownSettings.size(), std::size_t{2});
}

void MainWindowTest::HeaderPopupWithoutResult() {
  MainWindow w;
  w.show();
  QVERIFY(QTest::qWaitForWindowExposed(&w));
  QTest::mousePress(w.paiMain(), Qt::RightButton, Qt::NoModifier, QPoint(10, 10));
  QTRY_VERIFY(w.PopupMenu()->isVisible());
  QCOMPARE(w.View().hitColumn, -1);
  QCOMPARE(w.Action("mnusDfSel")->text(), Q("相違分（『右のみ』『左のみ』含む）を抽出"));
  QCOMPARE(w.Action("mnusDfNon")->text(), Q("相違なし分を抽出"));
  QCOMPARE(w.Action("mnusDfSelL")->text(), Q("『左のみ』の抽出(&L)"));
  QCOMPARE(w.Action("mnusDfSelR")->text(), Q("『右のみ』の抽出(&R)"));
  QVERIFY(!w.Action("mnusDfSelOut")->isEnabled());
  w.PopupMenu()->hide();
  const int header = w.View().rows.headerHeight;
  QTest::mousePress(w.paiMain(), Qt::RightButton, Qt::NoModifier, QPoint(60, header));
  QTRY_VERIFY(w.PopupMenu()->isVisible());
  QCOMPARE(w.View().hitColumn, -2);
  QCOMPARE(w.Action("mnusDfSel")->text(), Q("相違分を抽出"));
  w.PopupMenu()->hide();
  // Below the header row the right button opens nothing.
  QTest::mousePress(w.paiMain(), Qt::RightButton, Qt::NoModifier, QPoint(60, header + 1));
  QTest::qWait(20);
  QVERIFY(!w.PopupMenu()->isVisible());
}

void MainWindowTest::EmptyGridPainting() {
  MainWindow w;
  w.show();
  QVERIFY(QTest::qWaitForWindowExposed(&w));
  const QImage& screen = w.ScreenImage();
  const int width = w.paiMain()->width();
  const int h = w.paiMain()->height();
  const int t = h - w.View().rows.detailHeight;
  // Header row and row-header strip in the header colour, the rest white.
  QCOMPARE(Pixel(screen, width - 5, 10), qRgb(192, 192, 192) & 0xFFFFFF);
  QCOMPARE(Pixel(screen, 20, t - 5), qRgb(192, 192, 192) & 0xFFFFFF);
  QCOMPARE(Pixel(screen, 300, 100), qRgb(255, 255, 255) & 0xFFFFFF);
  // Dark lines along the header's top and bottom; the separators of the fixed columns.
  QCOMPARE(Pixel(screen, 300, 0), qRgb(50, 50, 50) & 0xFFFFFF);
  QCOMPARE(Pixel(screen, 300, w.View().rows.headerHeight), qRgb(50, 50, 50) & 0xFFFFFF);
  QCOMPARE(Pixel(screen, 39, 10), qRgb(0, 0, 0) & 0xFFFFFF);
  QCOMPARE(Pixel(screen, 40, 10), qRgb(255, 255, 255) & 0xFFFFFF);
  QCOMPARE(Pixel(screen, 84, 10), qRgb(0, 0, 0) & 0xFFFFFF);
  // The splitter's separator at SplitX - 2: white, grey band, black.
  const int split = w.View().splitX;
  QCOMPARE(Pixel(screen, split - 6, 10), qRgb(255, 255, 255) & 0xFFFFFF);
  QCOMPARE(Pixel(screen, split - 4, 10), qRgb(150, 150, 150) & 0xFFFFFF);
  QCOMPARE(Pixel(screen, split - 2, 10), qRgb(0, 0, 0) & 0xFFFFFF);
  // "NO" is written into its header cell: some pixel there is darker than the header.
  bool text = false;
  for (int y = 4; y < 20 && !text; ++y) {
    for (int x = 2; x < 38 && !text; ++x) text = qGray(screen.pixel(x, y)) < 128;
  }
  QVERIFY(text);
  // Detail area: the dark band with its status text in light colour, white below.
  QCOMPARE(Pixel(screen, width - 5, t + 8), qRgb(50, 50, 50) & 0xFFFFFF);
  QCOMPARE(Pixel(screen, width - 5, t + 30), qRgb(255, 255, 255) & 0xFFFFFF);
  bool light = false;
  for (int y = t + 2; y < t + 15 && !light; ++y) {
    for (int x = 10; x < 200 && !light; ++x) light = qGray(screen.pixel(x, y)) > 150;
  }
  QVERIFY(light);
  // The back buffer holds the same grid: no overlay is drawn without a result.
  QCOMPARE(w.BackBuffer().copy(0, 0, width, h), screen.copy(0, 0, width, h));
  // The widget shows the screen image.
  QImage grabbed = w.paiMain()->grab().toImage().convertToFormat(QImage::Format_RGB32);
  QCOMPARE(Pixel(grabbed, 20, t - 5), qRgb(192, 192, 192) & 0xFFFFFF);
  // Keys without a result move nothing.
  QTest::keyClick(w.scr_Tab(), Qt::Key_Down);
  QTest::keyClick(w.scr_Tab(), Qt::Key_Right, Qt::ControlModifier);
  QCOMPARE(w.View().curRow, 0);
  QCOMPARE(w.View().curCol, 0);
}

void MainWindowTest::ResizeGrowsTheBackBufferAndKeepsFocusBar() {
  MainWindow w;
  w.show();
  QVERIFY(QTest::qWaitForWindowExposed(&w));
  const QSize screen = QGuiApplication::primaryScreen()->size();
  QCOMPARE(w.BackBuffer().size(), QSize(screen.width() + 50, screen.height() + 50));
  w.resize(screen.width() + 200, 600);
  QTRY_VERIFY(w.BackBuffer().width() >= screen.width() + 200);
  QCOMPARE(w.BackBuffer().width(), w.frameGeometry().width() + 10);
  // The splitter goes back to the middle of the new width, also after it was dragged.
  QCOMPARE(w.View().splitX, w.paiMain()->width() / 2);
  const int split = w.View().splitX;
  QTest::mousePress(w.paiMain(), Qt::LeftButton, Qt::NoModifier, QPoint(split, 100));
  QTest::mouseMove(w.paiMain(), QPoint(150, 100));
  QTest::mouseRelease(w.paiMain(), Qt::LeftButton, Qt::NoModifier, QPoint(150, 100));
  QCOMPARE(w.View().splitX, 150);
  w.resize(700, 500);
  QTRY_COMPARE(w.View().splitX, w.paiMain()->width() / 2);
}

void MainWindowTest::SettingsAreLoadedAtStartAndSavedAtClose() {
  korvel::test::TempDir home;
  qputenv("KORVEL_HOME", QByteArray::fromStdString(home.Path()));
  home.Write("korvel.ini", "[MOZI]\r\nCODE=15\r\nBOM=0\r\n[ETC]\r\nRET_M_IDX=2\r\n");
  korvel::RecordingNotifier recorder;
  korvel::ScopedNotifier scoped(&recorder);
  {
    MainWindow w;
    QCOMPARE(w.Session().Settings().Encoding, 15);
    QCOMPARE(w.Session().Settings().DetectBom, false);
    QCOMPARE(w.Global().GetNewlineMode(), 2);
    w.show();
    // The file selection confirms other reading choices; the field control is cancelled.
    auto& script = InstallScript(w, std::make_unique<ScriptedChainDialogs>());
    const std::string file = home.Write("a.csv", "1,a\r\n");
    script.selectFiles = [&file](korvel::CompareSettings& s) {
      s.PathL = s.PathR = file;
      s.Encoding = 10;
      s.DetectBom = true;
      return true;
    };
    w.Action("mnuFileOpen")->trigger();
    QCOMPARE(script.shownSettings.size(), std::size_t{1});
    QCOMPARE(script.controlShowings, 1);
    QCOMPARE(script.shownSettings[0].Encoding, 15);
    QCOMPARE(w.Session().Settings().Encoding, 10);
    w.Action("mnuFileExit")->trigger();
    QVERIFY(!w.isVisible());
  }
  const std::string ini = korvel::test::ReadFileBytes(home.File("korvel.ini"));
  QVERIFY(ini.find("CODE=10") != std::string::npos);
  QVERIFY(ini.find("BOM=1") != std::string::npos);
  QVERIFY(ini.find("RET_M_IDX=2") != std::string::npos);

  // The help command: a missing page is reported, an existing one is opened.
  recorder.Clear();
  MainWindow w;
  std::string opened;
  w.SetHelpOpener([&](const std::string& path) { opened = path; });
  w.Action("mnuHelpHelp")->trigger();
  QCOMPARE(recorder.Texts().size(), size_t{1});
  QCOMPARE(recorder.Texts()[0], std::string("ファイルが見付かりません。"));
  QCOMPARE(recorder.Entries()[0].box.caption, korvel::test::S("注意"));
  QVERIFY(opened.empty());
  home.Write("korvel.html", "<html></html>");
  w.Action("mnuHelpHelp")->trigger();
  QCOMPARE(opened, home.File("korvel.html"));
  qputenv("KORVEL_HOME", QByteArray::fromStdString(home_.Path()));
}

void MainWindowTest::NotifierShowsBoxesByKind() {
  korvel::QtNotifier notifier;
  korvel::ScopedNotifier scoped(&notifier);
  QString title;
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  QString text;
  auto answer = [&](QMessageBox::StandardButton button) {
    QTimer::singleShot(0, [&, button] {
      auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      QVERIFY(box != nullptr);
      title = box->windowTitle();
      icon = box->icon();
      text = box->text();
      box->button(button)->click();
    });
  };
  answer(QMessageBox::Ok);
  korvel::Warn(korvel::test::S("項目設定がされていません。"));
  QCOMPARE(title, Q("注意"));
  QCOMPARE(icon, QMessageBox::Warning);
  QCOMPARE(text, Q("項目設定がされていません。"));
  answer(QMessageBox::Yes);
  QVERIFY(korvel::Ask(korvel::test::S("上書きしますか？")));
  QCOMPARE(title, Q("確認"));
  QCOMPARE(icon, QMessageBox::Question);
  answer(QMessageBox::No);
  QVERIFY(!korvel::Ask(korvel::test::S("上書きしますか？")));
  answer(QMessageBox::Ok);
  korvel::Info(korvel::test::S("終了しました。"));
  QCOMPARE(title, Q("確認"));
  QCOMPARE(icon, QMessageBox::Information);
  answer(QMessageBox::Ok);
  korvel::Error(korvel::test::S("内部エラー"));
  QCOMPARE(title, Q("エラー"));
  QCOMPARE(icon, QMessageBox::Critical);
}

// No folder can be had for the settings (KORVEL_HOME names a link, which is refused): the
// first window says why, closing says so in the first window closed only, and nothing is
// written.
void MainWindowTest::WithoutAProgramFolderClosingSaysSoOnce() {
  korvel::test::TempDir base;
  std::filesystem::create_directory(base.File("real"));
  std::filesystem::create_directory_symlink(base.File("real"), base.File("link"));
  qputenv("KORVEL_HOME", QByteArray::fromStdString(base.File("link")));
  korvel::RecordingNotifier recorder;
  korvel::ScopedNotifier scoped(&recorder);
  for (int i = 0; i < 2; ++i) {
    MainWindow w;
    w.show();
    w.Action("mnuFileExit")->trigger();
    QVERIFY(!w.isVisible());
  }
  QCOMPARE(recorder.Texts(), (std::vector<std::string>{"設定フォルダの権限が安全ではありません。(" +
                                                           base.File("link") + ")",
                                                       "設定を保存できません。"}));
  QCOMPARE(recorder.Entries()[0].box.caption, korvel::test::S("注意"));
  QVERIFY(recorder.Entries()[0].box.icon == korvel::MessageIcon::kWarning);
  QVERIFY(korvel::test::FolderEntries(base.File("real")).empty());
  qputenv("KORVEL_HOME", QByteArray::fromStdString(home_.Path()));
}

void MainWindowTest::EngineOutcomesAndQuestionsBecomeBoxesInTheirOrder() {
  korvel::QtNotifier notifier;
  korvel::ScopedNotifier scoped(&notifier);
  struct Box {
    QString title;
    QMessageBox::Icon icon;
    QString text;
    bool operator==(const Box&) const = default;
  };
  std::vector<Box> shown;
  // Answers the next `count` boxes with `button` as they come, one after the other.
  std::function<void(QMessageBox::StandardButton, int)> answer =
      [&](QMessageBox::StandardButton button, int count) {
        if (count <= 0) return;
        korvel::test::WhenModalShown([&, button, count](QWidget* modal) {
          auto* box = qobject_cast<QMessageBox*>(modal);
          QVERIFY(box != nullptr && box->button(button) != nullptr);
          shown.push_back({box->windowTitle(), box->icon(), box->text()});
          answer(button, count - 1);
          box->button(button)->click();
        });
      };

  // A reader's memory failure: the list's warning, then the reader's alert, then the run's
  // own failure code.
  const korvel::Status outcome =
      korvel::Status::Warning(-1, korvel::test::S("メモリが足りません。"))
          .Then(korvel::Status(-9, korvel::MessageKind::kAlert,
                               korvel::test::S("メモリが足りません。(-070407)")))
          .Then(korvel::Status(-1));
  answer(QMessageBox::Ok, 2);
  QVERIFY(!korvel::ShowOutcome(outcome));
  QCOMPARE(shown.size(), size_t{2});
  QVERIFY((shown[0] == Box{Q("注意"), QMessageBox::Warning, Q("メモリが足りません。")}));
  QVERIFY((shown[1] == Box{Q("注意"), QMessageBox::NoIcon, Q("メモリが足りません。(-070407)")}));

  // A completion notice is a success; the window's prompter asks with Yes and No.
  shown.clear();
  answer(QMessageBox::Ok, 1);
  QVERIFY(korvel::ShowOutcome(korvel::Status::Notice(korvel::test::S("保存しました。"))));
  QCOMPARE(shown.size(), size_t{1});
  QVERIFY((shown[0] == Box{Q("確認"), QMessageBox::Information, Q("保存しました。")}));
  shown.clear();
  answer(QMessageBox::Yes, 1);
  QVERIFY(korvel::WindowPrompter().Confirm(korvel::test::S("上書きしますか？")));
  answer(QMessageBox::No, 1);
  QVERIFY(!korvel::WindowPrompter().Confirm(korvel::test::S("上書きしますか？")));
  QCOMPARE(shown.size(), size_t{2});
  QVERIFY((shown[0] == Box{Q("確認"), QMessageBox::Question, Q("上書きしますか？")}));

  // Nothing is shown for an outcome without messages, and none is left waiting.
  shown.clear();
  QVERIFY(!korvel::ShowOutcome(korvel::Status(-1)));
  QVERIFY(shown.empty());
}

QTEST_MAIN(MainWindowTest)
// The caption goes in the window frame, which a message box does not size for: the box
// itself must leave room for "バージョン情報" beside the frame's icon and buttons.
void MainWindowTest::AboutBoxIsWideEnoughForItsCaption() {
  MainWindow w;
  w.show();
  int boxWidth = 0;
  int captionWidth = 0;
  QString caption;
  QTimer::singleShot(0, [&] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (box == nullptr) return;
    caption = box->windowTitle();
    captionWidth = box->fontMetrics().horizontalAdvance(caption);
    boxWidth = box->width();
    box->accept();
  });
  w.Action("mnuHelpAbout")->trigger();
  QCOMPARE(caption, Q("バージョン情報"));
  QVERIFY2(boxWidth >= captionWidth + 120,
           qPrintable(QStringLiteral("%1 < %2 + 120").arg(boxWidth).arg(captionWidth)));
}

#include "MainWindow_test.moc"
