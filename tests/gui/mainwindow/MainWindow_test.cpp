// The main window's shell: layout, menus, toolbar, status bar, caption, drops, close, the
// empty grid, and the message boxes of the Qt notifier.

#include "mainwindow/MainWindow.h"

#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QtTest>

#include "TestUtil.h"
#include "dialogs/ExportDialog.h"
#include "platform/Notifier.h"
#include "qt/QtNotifier.h"
#include "qt/QtText.h"

using korvel::MainWindow;
using korvel::Q;

namespace {

QString MenuItems(QMenu* menu) {
  QStringList names;
  for (QAction* a : menu->actions()) names << a->objectName();
  return names.join(QLatin1Char(','));
}

QMenu* TopMenu(MainWindow& w, const char* name) {
  return w.menuBar()->findChild<QMenu*>(QString::fromLatin1(name));
}

QRgb Pixel(const QImage& image, int x, int y) { return image.pixel(x, y) & 0xFFFFFF; }

}  // namespace

class MainWindowTest : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  // Every window of this test keeps its settings in a private folder.
  void initTestCase() { qputenv("KORVEL_HOME", QByteArray::fromStdString(home_.Path())); }
  void LayoutAndCaptionAtStart();
  void MenuItemsCaptionsShortcutsAndEnabling();
  void ToolBarButtonsAndCopyOptions();
  void StatusBarPanels();
  void CaptionFollowsPathsAndStatus();
  void DroppedFilesStartTheFileOpenCommand();
  void HeaderPopupWithoutResult();
  void EmptyGridPainting();
  void AboutBoxIsWideEnoughForItsCaption();
  void ResizeGrowsTheBackBufferAndKeepsFocusBar();
  void SettingsAreLoadedAtStartAndSavedAtClose();
  void NotifierShowsBoxesByKind();

 private:
  korvel::test::TempDir home_;
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
  QCOMPARE(w.SplitX, w.paiMain()->width() / 2);
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

void MainWindowTest::MenuItemsCaptionsShortcutsAndEnabling() {
  MainWindow w;
  QCOMPARE(
      MenuItems(TopMenu(w, "mnuFile")),
      QStringLiteral("mnuFileOpen,mnuFileExport,mnuFileReport,N4,mnuFileReGrid,N1,mnuFileExit"));
  QCOMPARE(MenuItems(TopMenu(w, "mnuEdit")),
           QStringLiteral("mnuEditCopy,mnuEditCopyGyaku,N5,mnuEditCopyHead,mnuEditCopyMark,N6,"
                          "mnuEditCopyRow"));
  QCOMPARE(MenuItems(TopMenu(w, "mnuFind")),
           QStringLiteral("mnuFindFind,mnuFindFindUp,mnuFindFindDown,N3,mnuFindSelDf,"
                          "mnuFindSelDfAll,mnuFindSelDfNon,N7,mnuFindSelOut"));
  QCOMPARE(MenuItems(TopMenu(w, "mnuHelp")), QStringLiteral("mnuHelpHelp,mnuHelpAbout"));
  QCOMPARE(TopMenu(w, "mnuFile")->title(), Q("ファイル(&F)"));
  QCOMPARE(TopMenu(w, "mnuEdit")->title(), Q("編集(&E)"));
  QCOMPARE(TopMenu(w, "mnuFind")->title(), Q("検索(&S)"));
  QCOMPARE(TopMenu(w, "mnuHelp")->title(), Q("ヘルプ(&H)"));

  const struct {
    const char* name;
    const char* caption;
  } captions[] = {
      {"mnuFileOpen", "比較ファイル選択(&I)..."},
      {"mnuFileExport", "結果エクスポート(&E)..."},
      {"mnuFileReport", "差分レポート(&R)..."},
      {"mnuFileReGrid", "項目再設定(&F)..."},
      {"mnuFileExit", "終了(&Q)"},
      {"mnuEditCopy", "選択範囲の内容をコピー(&C)"},
      {"mnuEditCopyGyaku", "選択範囲の相対側の内容コピー(&A)"},
      {"mnuEditCopyHead", "ヘッダ名を付けてコピー(&H)"},
      {"mnuEditCopyMark", "相違にマークを付けてコピー(&M)"},
      {"mnuEditCopyRow", "カーソル行の比較コピー(&D)"},
      {"mnuFindFind", "検索(&S)"},
      {"mnuFindFindUp", "上検索(&U)"},
      {"mnuFindFindDown", "下検索(&D)"},
      {"mnuFindSelDf", "相違分を抽出(&I)"},
      {"mnuFindSelDfAll", "相違分（『右のみ』『左のみ』含む）を抽出(&A)"},
      {"mnuFindSelDfNon", "相違なし分を抽出(&N)"},
      {"mnuFindSelOut", "抽出の解除(&E)"},
      {"mnuHelpHelp", "ヘルプ(&H)"},
      {"mnuHelpAbout", "バージョン情報(&A)..."},
  };
  for (const auto& c : captions) {
    QAction* a = w.Action(c.name);
    QVERIFY2(a != nullptr, c.name);
    QCOMPARE(a->text(), Q(c.caption));
  }
  QCOMPARE(w.Action("mnuEditCopy")->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_C));
  QCOMPARE(w.Action("mnuFindFind")->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_F));
  QCOMPARE(w.Action("mnuFindFindUp")->shortcut(), QKeySequence(Qt::SHIFT | Qt::Key_F3));
  QCOMPARE(w.Action("mnuFindFindDown")->shortcut(), QKeySequence(Qt::Key_F3));

  // The re-setting menu item is there from the start; its toolbar button waits for a run.
  QVERIFY(w.Action("mnuFileReGrid")->isEnabled());
  QVERIFY(!w.Action("tb_Reset")->isEnabled());
  w.EnableReset(true);
  QVERIFY(w.Action("tb_Reset")->isEnabled());
  // Copy and find are available from the start.
  for (const char* on : {"mnuEditCopy", "mnuEditCopyGyaku", "mnuEditCopyRow", "mnuFindFind",
                         "mnuFindFindUp", "mnuFindFindDown"}) {
    QVERIFY2(w.Action(on)->isEnabled(), on);
  }
  // Opening the find menu enables the release only while an extraction is shown.
  QMenu* find = TopMenu(w, "mnuFind");
  w.Action("mnuFindSelOut")->setEnabled(true);
  Q_EMIT find->aboutToShow();
  QVERIFY(!w.Action("mnuFindSelOut")->isEnabled());
  // Before any comparison the extraction commands still run, on the empty result.
  w.Action("mnuFindSelDf")->trigger();
  QVERIFY(w.ExtractActive());
  QCOMPARE(w.windowTitle(), Q("KORVEL(相違分抽出中...0件)"));
  Q_EMIT find->aboutToShow();
  QVERIFY(w.Action("mnuFindSelOut")->isEnabled());
  w.Action("mnuFindSelOut")->trigger();
  QVERIFY(!w.ExtractActive());
  QCOMPARE(w.windowTitle(), Q("KORVEL"));

  // The commands call the hooks of the parts that provide them.
  int opened = 0, regridded = 0;
  w.runComparison = [&] { ++opened; };
  w.reGrid = [&] { ++regridded; };
  w.Action("mnuFileOpen")->trigger();
  w.Action("tb_FileOpen")->trigger();
  w.Action("mnuFileReGrid")->trigger();
  QCOMPARE(opened, 2);
  QCOMPARE(regridded, 1);
  // Export opens the export dialog over what is shown.
  QString dialogTitle;
  QTimer::singleShot(0, [&] {
    auto* dialog = qobject_cast<korvel::ExportDialog*>(QApplication::activeModalWidget());
    QVERIFY(dialog != nullptr);
    dialogTitle = dialog->windowTitle();
    dialog->reject();
  });
  w.Action("tb_FileExp")->trigger();
  QCOMPARE(dialogTitle, Q("結果エクスポート"));
}

void MainWindowTest::ToolBarButtonsAndCopyOptions() {
  MainWindow w;
  QStringList names, hints;
  for (QAction* a : w.ToolBar1()->actions()) {
    if (a->objectName().isEmpty()) continue;  // the two 8-pixel gaps
    names << a->objectName();
    hints << a->toolTip();
    QVERIFY(!a->icon().isNull());
    QCOMPARE(a->icon().availableSizes().value(0), QSize(16, 16));
  }
  QCOMPARE(names.join(QLatin1Char(',')),
           QStringLiteral("tb_FileOpen,tb_Reset,tb_FileExp,tb_FindUp,tb_FindDown,tb_CopyHead,"
                          "tb_CopyMark"));
  QCOMPARE(hints.mid(0, 5), QStringList({Q("比較ファイル選択"), Q("項目再設定"),
                                         Q("結果エクスポート"), Q("上検索"), Q("下検索")}));
  QVERIFY(w.Action("tb_CopyHead")->isCheckable());
  QVERIFY(w.Action("tb_CopyMark")->isCheckable());

  // The menu item toggles the option and the button follows; the button sets the option.
  QVERIFY(!w.CopyWithHeader);
  w.Action("mnuEditCopyHead")->trigger();
  QVERIFY(w.CopyWithHeader);
  QVERIFY(w.Action("tb_CopyHead")->isChecked());
  w.Action("tb_CopyHead")->trigger();
  QVERIFY(!w.CopyWithHeader);
  w.Action("tb_CopyMark")->trigger();
  QVERIFY(w.CopyWithMarks);
  // Opening the edit menu shows the options as checks.
  Q_EMIT TopMenu(w, "mnuEdit")->aboutToShow();
  QVERIFY(!w.Action("mnuEditCopyHead")->isChecked());
  QVERIFY(w.Action("mnuEditCopyMark")->isChecked());
  w.Action("mnuEditCopyMark")->trigger();
  QVERIFY(!w.CopyWithMarks);
  QVERIFY(!w.Action("tb_CopyMark")->isChecked());
}

void MainWindowTest::StatusBarPanels() {
  MainWindow w;
  w.show();
  QCOMPARE(w.StatusPanel(0)->width(), 70);
  w.ShowEncodings(0, 0);
  QCOMPARE(w.StatusPanel(0)->text(), Q("SHIFT-JIS"));
  w.ShowEncodings(15, 10);
  QCOMPARE(w.StatusPanel(0)->text(), Q("U8/U16"));
  w.SetSummary(korvel::test::S("左総数:1件 右総数:2件 相違レコード数:0件 左のみ:0件 右のみ:1件"));
  QCOMPARE(w.StatusPanel(1)->text(),
           Q("左総数:1件 右総数:2件 相違レコード数:0件 左のみ:0件 右のみ:1件"));
  w.ClearStatus();
  QVERIFY(w.StatusPanel(0)->text().isEmpty());
  QVERIFY(w.StatusPanel(1)->text().isEmpty());
}

void MainWindowTest::CaptionFollowsPathsAndStatus() {
  MainWindow w;
  w.SetCaption(korvel::test::S("(相違分抽出中...0件)"));
  QCOMPARE(w.windowTitle(), Q("KORVEL(相違分抽出中...0件)"));
  w.Session().Settings.PathL = "/a/x/data/f.csv";
  w.Session().Settings.PathR = "/a/y/data/f.csv";
  w.SetCaption("");
  QCOMPARE(w.windowTitle(), Q("KORVEL【左】x/・・・/f.csv  - 【右】y/・・・/f.csv"));
  w.Session().Settings.PathL = w.Session().Settings.PathR = "/h/表.csv";
  w.SetCaption("");
  QCOMPARE(w.windowTitle(), Q("KORVEL【左右同じファイル】表.csv"));
}

void MainWindowTest::DroppedFilesStartTheFileOpenCommand() {
  MainWindow w;
  w.show();
  QVERIFY(QTest::qWaitForWindowExposed(&w));
  int opened = 0;
  std::string left, right;
  w.runComparison = [&] {
    ++opened;
    QVERIFY(w.TakeDroppedPaths(left, right));
  };
  // Nothing dropped: nothing changes.
  w.DropFiles({});
  QCOMPARE(w.DropCount, 0);
  // Three at once: the first two, in order; the third is ignored.
  w.DropFiles({"/d/a.csv", "/d/b.csv", "/d/c.csv"});
  QCOMPARE(opened, 1);
  QCOMPARE(left, std::string("/d/a.csv"));
  QCOMPARE(right, std::string("/d/b.csv"));
  QCOMPARE(w.DropCount, 0);
  // One, and later another.
  w.DropFiles({"/d/first.csv"});
  QCOMPARE(opened, 1);
  QCOMPARE(w.DropCount, 1);
  QCOMPARE(w.DropPathL, std::string("/d/first.csv"));
  w.DropFiles({"/d/second.csv"});
  QCOMPARE(opened, 2);
  QCOMPARE(left, std::string("/d/first.csv"));
  QCOMPARE(right, std::string("/d/second.csv"));
  // Without two dropped files the file selection shows the last paths instead.
  QVERIFY(!w.TakeDroppedPaths(left, right));

  // Drops arrive as Qt drop events carrying file URLs.
  QMimeData data;
  data.setUrls({QUrl::fromLocalFile(QStringLiteral("/d/x.csv")),
                QUrl::fromLocalFile(QStringLiteral("/d/y.csv"))});
  QDropEvent drop(QPointF(100, 100), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QDragEnterEvent enter(QPoint(100, 100), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(w.paiMain(), &enter);
  QVERIFY(enter.isAccepted());
  QApplication::sendEvent(w.paiMain(), &drop);
  QCOMPARE(opened, 3);
  QCOMPARE(right, std::string("/d/y.csv"));
}

void MainWindowTest::HeaderPopupWithoutResult() {
  MainWindow w;
  w.show();
  QVERIFY(QTest::qWaitForWindowExposed(&w));
  QTest::mousePress(w.paiMain(), Qt::RightButton, Qt::NoModifier, QPoint(10, 10));
  QTRY_VERIFY(w.PopupMenu()->isVisible());
  QCOMPARE(w.HitColumn, -1);
  QCOMPARE(w.Action("mnusDfSel")->text(), Q("相違分（『右のみ』『左のみ』含む）を抽出"));
  QCOMPARE(w.Action("mnusDfNon")->text(), Q("相違なし分を抽出"));
  QCOMPARE(w.Action("mnusDfSelL")->text(), Q("『左のみ』の抽出(&L)"));
  QCOMPARE(w.Action("mnusDfSelR")->text(), Q("『右のみ』の抽出(&R)"));
  QVERIFY(!w.Action("mnusDfSelOut")->isEnabled());
  w.PopupMenu()->hide();
  QTest::mousePress(w.paiMain(), Qt::RightButton, Qt::NoModifier, QPoint(60, 20));
  QTRY_VERIFY(w.PopupMenu()->isVisible());
  QCOMPARE(w.HitColumn, -2);
  QCOMPARE(w.Action("mnusDfSel")->text(), Q("相違分を抽出"));
  w.PopupMenu()->hide();
  // Below the header row the right button opens nothing.
  QTest::mousePress(w.paiMain(), Qt::RightButton, Qt::NoModifier, QPoint(60, 21));
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
  const int t = h - MainWindow::DetailHeight;
  // Header row and row-header strip in the header colour, the rest white.
  QCOMPARE(Pixel(screen, width - 5, 10), qRgb(192, 192, 192) & 0xFFFFFF);
  QCOMPARE(Pixel(screen, 20, t - 5), qRgb(192, 192, 192) & 0xFFFFFF);
  QCOMPARE(Pixel(screen, 300, 100), qRgb(255, 255, 255) & 0xFFFFFF);
  // Dark lines along the header's top and bottom; the separators of the fixed columns.
  QCOMPARE(Pixel(screen, 300, 0), qRgb(50, 50, 50) & 0xFFFFFF);
  QCOMPARE(Pixel(screen, 300, 20), qRgb(50, 50, 50) & 0xFFFFFF);
  QCOMPARE(Pixel(screen, 39, 10), qRgb(0, 0, 0) & 0xFFFFFF);
  QCOMPARE(Pixel(screen, 40, 10), qRgb(255, 255, 255) & 0xFFFFFF);
  QCOMPARE(Pixel(screen, 84, 10), qRgb(0, 0, 0) & 0xFFFFFF);
  // The splitter's separator at SplitX - 2: white, grey band, black.
  QCOMPARE(Pixel(screen, w.SplitX - 6, 10), qRgb(255, 255, 255) & 0xFFFFFF);
  QCOMPARE(Pixel(screen, w.SplitX - 4, 10), qRgb(150, 150, 150) & 0xFFFFFF);
  QCOMPARE(Pixel(screen, w.SplitX - 2, 10), qRgb(0, 0, 0) & 0xFFFFFF);
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
  QCOMPARE(w.CurRow, 0);
  QCOMPARE(w.CurCol, 0);
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
  // The splitter goes back to the middle of the new width.
  QCOMPARE(w.SplitX, w.paiMain()->width() / 2);
  w.SplitX = 100;
  w.resize(700, 500);
  QTRY_COMPARE(w.SplitX, w.paiMain()->width() / 2);
}

void MainWindowTest::SettingsAreLoadedAtStartAndSavedAtClose() {
  korvel::test::TempDir home;
  qputenv("KORVEL_HOME", QByteArray::fromStdString(home.Path()));
  home.Write("korvel.ini", "[MOZI]\r\nCODE=15\r\nBOM=0\r\n[ETC]\r\nRET_M_IDX=2\r\n");
  {
    MainWindow w;
    QCOMPARE(w.Session().Settings.Encoding, 15);
    QCOMPARE(w.Session().Settings.DetectBom, false);
    QCOMPARE(w.Global().GetNewlineMode(), 2);
    w.show();
    w.Session().Settings.Encoding = 10;
    w.Session().Settings.DetectBom = true;
    w.Action("mnuFileExit")->trigger();
    QVERIFY(!w.isVisible());
  }
  const std::string ini = korvel::test::ReadFileBytes(home.File("korvel.ini"));
  QVERIFY(ini.find("CODE=10") != std::string::npos);
  QVERIFY(ini.find("BOM=1") != std::string::npos);
  QVERIFY(ini.find("RET_M_IDX=2") != std::string::npos);

  // The help command: a missing page is reported, an existing one is opened.
  korvel::RecordingNotifier recorder;
  korvel::ScopedNotifier scoped(&recorder);
  MainWindow w;
  std::string opened;
  w.openHelpPage = [&](const std::string& path) { opened = path; };
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
