#pragma once
// Helpers of the grid window tests: comparisons and re-settings run through the window's own
// commands with their dialogs answered by a script, the timer's ticks as events, and pixel
// reading.

#include <QCoreApplication>
#include <QImage>
#include <QMenu>
#include <QMenuBar>
#include <QTest>
#include <QTimer>
#include <QTimerEvent>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "TestUtil.h"
#include "compare/FieldGrid.h"
#include "mainwindow/MainWindow.h"
#include "mainwindow/SetUpCommands.h"

namespace korvel::test {

// What a main-window test class holds from initTestCase to cleanupTestCase: settings in a
// folder of its own (KORVEL_HOME), so that no test reads or changes the user's, and the
// program's messages sent to the test's notifier instead of message boxes.
class WindowTestScope {
 public:
  void Begin(Notifier& notifier) {
    home_.emplace(folder_.Path());
    notifier_.emplace(&notifier);
  }
  void End() {
    notifier_.reset();
    home_.reset();
  }

 private:
  TempDir folder_;
  std::optional<ScopedHome> home_;
  std::optional<ScopedNotifier> notifier_;
};

// A new main window in `window`, shown; false when it never came on screen.
inline bool ShowNewWindow(std::unique_ptr<MainWindow>& window) {
  window = std::make_unique<MainWindow>();
  window->show();
  return QTest::qWaitForWindowExposed(window.get());
}

// Text lines joined with CR LF.
inline std::string Lines(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) text += line + "\r\n";
  return text;
}

// Field numbers to mark in the field-control grid.
struct GridMarks {
  std::vector<int> keys;
  std::vector<int> notCompared;
  std::vector<int> ignoreSpaces;
};

// The dialogs of the file-open and re-setting commands, answered without windows. Each
// answer is a callable; an empty one cancels. The file selection is answered only the first
// time: shown again (after a failed filling of the field grid) it cancels, so that the
// command always ends.
class ScriptedChainDialogs : public ChainDialogs {
 public:
  // Changes the shown settings as the user's choices would; false cancels.
  std::function<bool(CompareSettings&)> selectFiles;
  std::function<int(FieldGrid&)> controlFields;
  std::function<int(FieldGrid&)> reGridFields;
  int fixedLengthAnswer = 1;  // the fixed-length definition's answer

  int SelectFiles(CompareSettings& settings) override {
    shownSettings.push_back(settings);
    if (!selectFiles || shownSettings.size() > 1) return 0;
    return selectFiles(settings) ? 1 : 0;
  }
  int DefineFixedLength(const std::string&, int, bool) override { return fixedLengthAnswer; }
  int ControlFields(FieldGrid& grid) override {
    ++controlShowings;
    return controlFields ? controlFields(grid) : 0;
  }
  int ReGridFields(FieldGrid& grid) override {
    ++reGridShowings;
    shownReGrid = grid;
    return reGridFields ? reGridFields(grid) : 0;
  }

  // What the dialogs were shown.
  std::vector<CompareSettings> shownSettings;
  int controlShowings = 0;
  int reGridShowings = 0;
  FieldGrid shownReGrid;
};

// Installs `dialogs` as the dialogs of `w`'s commands; the window owns them from then on.
inline ScriptedChainDialogs& InstallScript(MainWindow& w,
                                           std::unique_ptr<ScriptedChainDialogs> dialogs) {
  ScriptedChainDialogs& script = *dialogs;
  InstallSetUpCommands(w, std::move(dialogs));
  return script;
}

// Compares the files at `pathL` and `pathR` through the window's file-open command: the file
// selection confirms them as CSV files (with a name line when `topRowNames`), the field
// control marks `marks` and runs the comparison. True when a result is shown.
inline bool ComparePathsInWindow(MainWindow& w, const std::string& pathL, const std::string& pathR,
                                 const GridMarks& marks, bool topRowNames = false) {
  auto dialogs = std::make_unique<ScriptedChainDialogs>();
  dialogs->selectFiles = [=](CompareSettings& s) {
    s.FileKind = kFileKindCsv;
    s.TopRowNames = topRowNames;
    s.PathL = pathL;
    s.PathR = pathR;
    return true;
  };
  dialogs->controlFields = [marks](FieldGrid& grid) {
    for (int j : marks.keys) grid.Toggle(j, FieldGrid::kKey);
    for (int j : marks.notCompared) grid.Toggle(j, FieldGrid::kNotCompared);
    for (int j : marks.ignoreSpaces) grid.Toggle(j, FieldGrid::kIgnoreSpaces);
    return 1;
  };
  ScriptedChainDialogs& script = InstallScript(w, std::move(dialogs));
  w.Action("mnuFileOpen")->trigger();
  return script.controlShowings == 1 && !w.Session().Fields().empty();
}

// The same with two files of the texts `left` and `right` written into `dir`.
inline bool CompareInWindow(MainWindow& w, const TempDir& dir, const std::string& left,
                            const std::string& right, const GridMarks& marks,
                            bool topRowNames = false) {
  return ComparePathsInWindow(w, dir.Write("left.csv", left), dir.Write("right.csv", right), marks,
                              topRowNames);
}

// Opens the window's top menu `menuName` and clicks its item `item` with the mouse, as a user
// would.
inline void ClickMenuItem(MainWindow& w, const char* menuName, QAction* item) {
  auto* menu = w.menuBar()->findChild<QMenu*>(QString::fromLatin1(menuName));
  QVERIFY(menu != nullptr);
  menu->popup(w.mapToGlobal(QPoint(10, 10)));
  QVERIFY(QTest::qWaitForWindowExposed(menu));
  const QRect place = menu->actionGeometry(item);
  QVERIFY(!place.isEmpty());
  QTest::mouseClick(menu, Qt::LeftButton, Qt::NoModifier, place.center());
  QTRY_VERIFY(!menu->isVisible());
}
inline void ClickMenuItem(MainWindow& w, const char* menuName, const char* itemName) {
  ClickMenuItem(w, menuName, w.Action(itemName));
}

// Runs the re-setting command with `answer` as the re-setting dialog (an empty one cancels).
// The number of times the dialog was shown.
inline int ReGridInWindow(MainWindow& w, std::function<int(FieldGrid&)> answer) {
  auto dialogs = std::make_unique<ScriptedChainDialogs>();
  dialogs->reGridFields = std::move(answer);
  ScriptedChainDialogs& script = InstallScript(w, std::move(dialogs));
  w.Action("mnuFileReGrid")->trigger();
  return script.reGridShowings;
}

// The shown rows and the fields of the window's result.
inline int ShownRows(const MainWindow& w) {
  return static_cast<int>(w.Session().ViewPairs().size());
}
inline int FieldCount(const MainWindow& w) { return static_cast<int>(w.Session().Fields().size()); }
inline int Status(const MainWindow& w, int row) {
  return w.Session().ViewPairs()[static_cast<std::size_t>(row)].Status;
}

// A field's x in pane 1 (left) or 2 (right) and its width, as the window last painted it.
inline int FieldX(const MainWindow& w, int field, int pane) {
  const MainWindow::ViewState v = w.View();
  return (pane == 2 ? v.rightX : v.leftX)[static_cast<std::size_t>(field)];
}
inline int FieldWidth(const MainWindow& w, int field) {
  return w.View().widths[static_cast<std::size_t>(field)];
}

// One tick of a running timer, delivered as the event the event loop would deliver, so that
// a test decides when the tick comes.
inline void Tick(QTimer* timer) {
  QVERIFY(timer->isActive());
  QTimerEvent event(timer->timerId());
  QCoreApplication::sendEvent(timer, &event);
}

inline QRgb Rgb(const QImage& image, int x, int y) { return image.pixel(x, y) & 0xFFFFFFu; }
inline QRgb Rgb(const QColor& color) { return color.rgb() & 0xFFFFFFu; }
inline QRgb Rgb(int r, int g, int b) { return qRgb(r, g, b) & 0xFFFFFFu; }

// The screen pixel is the back buffer's pixel inverted with `color` (exclusive-or).
inline bool XoredWith(const MainWindow& w, int x, int y, const QColor& color) {
  return Rgb(w.ScreenImage(), x, y) == (Rgb(w.BackBuffer(), x, y) ^ Rgb(color));
}
inline bool Untouched(const MainWindow& w, int x, int y) {
  return Rgb(w.ScreenImage(), x, y) == Rgb(w.BackBuffer(), x, y);
}

// The top of shown row k, and the window's row height, as the window computes them from its
// grid font.
inline int RowTop(const MainWindow& w, int k) { return w.View().rows.RowTop(k); }
inline int RowHeight(const MainWindow& w) { return w.View().rows.rowHeight; }

}  // namespace korvel::test
