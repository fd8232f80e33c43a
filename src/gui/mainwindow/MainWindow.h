#pragma once
// MainWindow: the program's one top-level window. It shows a comparison result in a grid
// painted by the program itself, lets the user move, select and scroll through it, and
// offers the commands of the menus, the toolbar and the header popup.
//
// The window owns the one comparison session, the settings object and its view state, all
// private: its own units (MainWindow*.cpp, and the file-open and re-setting commands of
// SetUpCommands.cpp) change them; everyone else reads the session through Session() and the
// view state through one copy, View(), and acts on the window through its menu items,
// buttons and input events as a user does. The grid reads the result through a GridModel
// over the session (grid/SessionGridModel.h). The file-open dialog chain and the re-setting
// are installed as hooks (SetCommands) when the window is created.
//
// Painting: the grid is painted into BackBuffer, copied to the screen image that the paint
// box shows, and the selection and the cursor are drawn over the screen image by
// exclusive-or, so that drawing them again removes them and the grid never has to be
// painted again for a cursor move.

#include <QFont>
#include <QImage>
#include <QMainWindow>
#include <QPoint>
#include <QPointer>
#include <QRect>
#include <QScrollBar>
#include <QStringList>
#include <QWidget>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "compare/CompareSession.h"
#include "export/SessionExportSource.h"
#include "grid/ColumnGeometry.h"
#include "grid/GridGeometry.h"
#include "grid/GridModel.h"
#include "grid/GridNavigation.h"
#include "grid/SessionGridModel.h"
#include "grid/ShownFieldsModel.h"
#include "settings/SettingsStore.h"

class QAction;
class QLabel;
class QMenu;
class QTimer;
class QToolBar;
class QToolButton;

namespace korvel {

// The paint box: shows the window's screen image and passes its events on as signals.
class PaintBox : public QWidget {
  Q_OBJECT
 public:
  explicit PaintBox(QWidget* parent);
  // The image shown (not owned; null shows nothing). It must outlive its showing.
  void SetImage(const QImage* image) { image_ = image; }

 Q_SIGNALS:
  void Pressed(QMouseEvent* event);
  void Moved(QMouseEvent* event);
  void Released(QMouseEvent* event);
  void Wheeled(QWheelEvent* event);
  void Resized();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  const QImage* image_ = nullptr;
};

// The scroll bar that holds the keyboard focus: every grid key arrives through it.
class KeyBar : public QScrollBar {
  Q_OBJECT
 public:
  explicit KeyBar(QWidget* parent);

 Q_SIGNALS:
  void KeyPressed(QKeyEvent* event);

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  bool focusNextPrevChild(bool) override { return false; }
};

class ChainDialogs;
class FieldSummaryPanel;

class MainWindow : public QMainWindow {
  Q_OBJECT
 public:
  static constexpr int kWindowWidth = 811;
  static constexpr int kWindowHeight = 548;
  static const QColor HeaderColor, LeftDiffColor, RightDiffColor, MissingColor, NotComparedColor;

  // A selection rectangle in one pane: pane -1 when none. Row -1 in a corner means whole
  // columns from the header down.
  struct Selection {
    int pane = -1;
    int col1 = 0, row1 = 0, col2 = 0, row2 = 0;
    bool operator==(const Selection&) const = default;
  };

  // The window's view state at one moment, as a copy: what a reader outside the window (a
  // test, a screenshot) may know of it. Nothing here changes the window.
  struct ViewState {
    // The cursor: its pane (1 left, 2 right), its column (an index
    // into the fields; -1 or -2 after a click in the row-number or difference column) and
    // its row (an index into the shown rows).
    int curSide = 1, curCol = 0, curRow = 0;
    // The selection being made: its pane, anchor and end (anchor row -1: whole columns).
    int selSide = 1, selAnchorCol = 0, selAnchorRow = 0, selEndCol = 0, selEndRow = 0;
    Selection shownSel;  // the selection drawn on the screen
    // The last header hit: -1 row numbers, -2 differences, else a field; and its pane (0 key
    // or fixed area, 1 left, 2 right).
    int hitColumn = 0, hitSide = 0;
    int dragMode = 0;  // a mouse selection under way: 0 none, 1 cells, 2 columns, 3 rows
    // A border drag: its target (-2 none, -1 the splitter, else a field), its left limit
    // and where the drag line stands.
    int resizeTarget = -2, resizeMinX = 0, resizeX = 0;
    int autoScrollV = 0, autoScrollH = 0;  // what the auto-scroll of a selection drag does
    int firstRow = 0;                      // the first shown row (the vertical bar's position)
    int hpos = 0;         // non-key fields scrolled out of both panes (the horizontal bar's)
    int visibleRows = 0;  // rows that fit in the grid
    int gridBottom = 0;   // the grid's bottom edge; the detail line lies below it
    int splitX = 0;       // where the right pane starts
    int keyEndX = 0;      // just right of the key fields, as last painted
    // Per field (keys first): its width, and its x in the left and the right pane as last
    // painted (0 = not shown there).
    std::vector<int> widths, leftX, rightX;
    bool copyWithHeader = false, copyWithMarks = false;
    std::string findText;  // the last search text, CP932
    int findMode = 3;      // 3 case ignored, 7 exact
    int dropCount = 0;     // files dropped and not yet taken by the file-open command
    std::string dropPathL, dropPathR;
    int charWidth = 0, charHeight = 0;  // the size of "W" in the grid font
    RowMetrics rows;  // the row height, the header's and the detail area's, from the grid font
    // While the fields without differences are hidden: the fields the grid shows (indexes into
    // the session's fields), which every column index above counts in; else empty.
    std::vector<int> shownFields;
    bool operator==(const ViewState&) const = default;
  };

  explicit MainWindow(QWidget* parent = nullptr);
  ~MainWindow() override;

  // ---- What the window shows ---------------------------------------------------------------
  // The comparison the window shows, read-only: settings, fields, pairs, counters.
  // A completed run replaces the session: a reference taken before a run is not valid after
  // it.
  const CompareSession& Session() const { return *session_; }
  // The settings object, read-only (loaded with the window, saved at close).
  const SettingsStore& Global() const { return *global_; }
  ViewState View() const;

  // ---- Hooks -------------------------------------------------------------------------------
  // The file-open command (the dialog chain and the run) and the re-setting command, which
  // other parts provide (InstallSetUpCommands, mainwindow/SetUpCommands.h, installs them
  // when the window is created). Either may be empty: its menu item then does nothing.
  void SetCommands(std::function<void()> runComparison, std::function<void()> reGrid);
  // Opens the help page (a UTF-8 path): in the desktop's browser, else in the program's help
  // window (dialogs/HelpWindow.h), unless replaced. Tests replace it so that no browser is
  // started.
  void SetHelpOpener(std::function<void(const std::string& path)> open);

  // Files dropped on the window (or named on the command line), in the order they arrive;
  // two start the file-open command.
  void DropFiles(const std::vector<std::string>& paths);

  // ---- Parts of the window ---------------------------------------------------------------
  PaintBox* paiMain() const { return paiMain_; }
  QScrollBar* scr_Right() const { return scrRight_; }
  QScrollBar* scr_Bottom() const { return scrBottom_; }
  KeyBar* scr_Tab() const { return scrTab_; }
  QToolBar* ToolBar1() const { return toolBar_; }
  QMenu* PopupMenu() const { return popup_; }
  QTimer* Timer1() const { return timer_; }
  QLabel* StatusPanel(int index) const { return index == 0 ? panel0_ : panel1_; }
  QAction* Action(const char* name) const;  // a menu item or toolbar button by its name
  const QImage& BackBuffer() const { return backBuffer_; }
  const QImage& ScreenImage() const { return screen_; }
  const QFont& GridFont() const { return gridFont_; }
  // The 項目別相違件数 panel (表示 menu), hidden until asked for.
  FieldSummaryPanel* FieldSummary() const { return fieldSummary_; }

 protected:
  void closeEvent(QCloseEvent* event) override;
  void changeEvent(QEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  // The file-open and re-setting commands and their dialogs (SetUpCommands.cpp) are the
  // window's own: they run the set-up chain over its session and settings and show the
  // outcome.
  friend void RunComparison(MainWindow& window, ChainDialogs& dialogs);
  friend void ReGrid(MainWindow& window, ChainDialogs& dialogs);
  friend class SetUpCommands;
  friend class WindowChainDialogs;
  friend void OpenCommandLinePaths(MainWindow& window, const QStringList& paths);

  // ---- Showing a result (MainWindow.cpp) ---------------------------------------------------
  // Runs the comparison of the session's settings with the confirmed field-control grid
  // and shows it: summary and encodings in the status bar, caption, scroll ranges, cursor
  // at the first cell, tb_Reset enabled. After a failure (the message has been shown) the
  // empty result is shown. The run is built in a new session on a worker thread; after
  // 500 ms a progress dialog shows (dialogs/ProgressDialog.h), and its 中止 drops the run
  // without a word, the shown result, caption and labels untouched. The CompareSides result:
  // 0, -1, or CompareSession::kCancelled.
  int CompareAndShow(const FieldGrid& grid);
  // Makes `next` the shown session; the grid and the export read it from now on.
  void AdoptSession(std::unique_ptr<CompareSession> next);
  // Shows the result again after the re-setting has re-classified it (the session has
  // released any extraction): cursor at the first cell, splitter and scroll ranges reset,
  // summary and caption written again. The column widths stay.
  void ShowReclassified();
  void ShowEmptyResult();
  // The run's reading warnings, if any, in one box.
  void ShowReadingWarnings();
  void ShowExtractedRows();
  // The cursor at the first cell of the left pane and the selection anchored there, with
  // nothing selected: after every run (completed or failed), re-classification, extraction
  // and release.
  void ResetCursor();
  // The dropped pair for the file selection: true and both paths when two have been
  // dropped (the count then starts again).
  bool TakeDroppedPaths(std::string& pathL, std::string& pathR);

  // ---- What was used last (MainWindow.cpp) ---------------------------------------------------
  // Records the pair just compared (not clipboard captures) for the recent-files menu; the
  // settings keep it when the window closes.
  void RememberPair();
  // Fills the recent-files submenu from the settings, newest first; disabled when empty.
  void FillRecentMenu();
  // Starts the file-open command with the file selection preset by `preset` (a recent
  // entry, a path from the command line).
  void OpenPreset(const std::function<void(CompareSettings&)>& preset);
  // The window's size, position and splitter as the settings last kept them; a position on
  // no screen is not taken (the window keeps the place it was given).
  void RestorePlace();

  // ---- Commands (menu items, toolbar buttons, popup items) -----------------------------------
  void mnuFileOpenClick();
  void mnuFileExportClick();
  void mnuFileReportClick();  // MainWindowReport.cpp
  void mnuFileReGridClick();
  void mnuEditCopyHeadClick();
  void mnuEditCopyMarkClick();
  void mnuFindSelDfClick();
  void mnuFindSelDfAllClick();
  void mnuFindSelDfNonClick();
  void mnuHelpHelpClick();
  void mnuHelpAboutClick();
  void RunExtraction(int differing);
  void RunExtractionByStatus(int kind);  // the left-only and right-only popup items
  void ReleaseExtraction();
  bool ExtractActive() const { return session_->ExtractActive(); }

  // ---- The window's parts, caption and status bar (MainWindow.cpp) ----------------------------
  void CreateActions();
  void CreateMenus();
  void CreateToolBar();
  void CreatePopup();
  void CreateClientArea();
  void CreateStatusBar();
  QAction* AddAction(const char* name, const char* caption);
  void ShowHeaderPopup(int x, int y);
  void FormResize();
  void SetCaption(const std::string& status);  // status CP932
  void ShowEncodings(int encodingL, int encodingR);
  void SetSummary(const std::string& text);  // status panel 1, CP932
  void ClearStatus();
  void EnableReset(bool enabled);  // tb_Reset
  void Beep();

  // ---- Scroll ranges, the splitter and the grid's frame (MainWindow.cpp) ------------------------
  void ResetSplit();
  void ResetRowScroll();
  void ResetColumnScroll();  // position 0, range by the field count
  void ScrollChanged();
  int VisibleRowCount() const;  // rows that fit in the grid (V)
  int GridBottom() const;
  int FirstRow() const;
  GridFrame Frame() const;  // the grid's horizontal state for the geometry rules
  NavigationSource Navigation() const;

  // ---- Painting and overlays (MainWindowPaint.cpp) ---------------------------------------------
  void FullRepaint();
  void PaintGrid(QImage& image);
  void PaintColumns(QPainter& p, const ColumnPlan& plan, int shownRows, int gridBottom, int h);
  // The x range [left, right) of a pane's area (0 keys, 1 left, 2 right): what its columns
  // may paint on, also beyond their last column.
  std::pair<int, int> PaneArea(int pane, const ColumnPlan& plan) const;
  void PaintCell(QPainter& p, const PlacedColumn& column, const ResultField& field,
                 const RecordPair& pair, int top, int paneRight);
  void PaintHeader(QPainter& p, int bottomB, int w);
  void PaintDetail(QImage& image);
  void PaintDetailOnScreen();
  void FillBox(QPainter& p, int x, int y, int width, int height, const QColor& color);
  void DrawSeparator(QPainter& p, int kind, int x, int fromY, int toY);
  void DrawText(QPainter& p, int x, int y, std::string_view cp932);
  // The same, with nothing drawn outside `clip`.
  void DrawClippedText(QPainter& p, int x, int y, std::string_view cp932, const QRect& clip);
  void ShowSelection(bool eraseFirst, int pane, int anchorCol, int anchorRow, int endCol,
                     int endRow);
  std::vector<QRect> SelectionRects(const Selection& sel) const;
  void ClearShownSel() { shownSel_ = Selection{}; }
  void ShowCursor(bool eraseFirst, int col, int row, int side);
  void CursorRects(int col, int row, int side, int pane, std::vector<QRect>& pen,
                   std::vector<QRect>& inverse) const;
  void XorRects(const std::vector<QRect>& rects, const QColor& color);
  void MoveDragLine(int x);
  int ShownRowCount(int gridBottom) const;

  // ---- Copy and find (MainWindowCopy.cpp, MainWindowFind.cpp) -----------------------------------
  // The three copies put their text on the clipboard, or show why not.
  void mnuEditCopyClick();
  void mnuEditCopyGyakuClick();
  void mnuEditCopyRowClick();
  void CopyRange(bool otherSide);
  void PutOnClipboard(const std::string& cp932);
  // The text search. Direction 0 (or no search text yet) asks with the find dialog first;
  // -1 searches upward, 1 downward, from the cursor in the file of the cursor's pane.
  void FindNext(int direction);
  bool AskFind(int& direction);
  void ShowFoundCell(int direction);

  // ---- The field summary panel (MainWindowFieldSummary.cpp) ---------------------------------
  void CreateFieldSummary();
  // Gives the panel the shown result again, when it shows: after every run, re-setting,
  // extraction and release.
  void RefreshFieldSummary();
  // A click: the cursor to the field's first difference among the shown rows, as F7 finds
  // it from the top (a beep, and the cursor in the field's column, when none shows).
  void FieldSummaryClicked(int field);
  // A double-click: the field's 項目毎相違 extraction.
  void FieldSummaryDoubleClicked(int field);
  // 相違のない項目を隠す: switched on or off by its menu item or button.
  void HideSameClick(bool on);
  // Chooses the fields the grid shows: while hiding, the keys, the fields with a differing
  // record and `keepField` (a session field index, the cursor's); else every field. The grid
  // reads its fields through the model that shows them (model_), the column geometry counts
  // in them, and the status bar counts the hidden ones. True when the shown fields changed
  // (the horizontal scroll then starts again).
  bool ApplyHiding(int keepField);
  // The session's field index of grid column `col`, and the other way round (-1 when the
  // field is hidden); a column that is no field (-1, -2) stays as it is.
  int SessionField(int col) const;
  int GridColumn(int sessionField) const;
  // The shown fields for the copy texts and the search; null while every field shows.
  const std::vector<int>* ShownFields() const;

  // ---- Mouse, wheel, keys, timer (MainWindowInput.cpp)
  // --------------------------------------------
  void paiMainMouseDown(QMouseEvent* event);
  void paiMainMouseMove(QMouseEvent* event);
  void paiMainMouseUp(QMouseEvent* event);
  void DragSelection(int x, int y);
  void scr_TabKeyDown(QKeyEvent* event);
  void AfterKeyMove(NavKey key, bool shift);
  // Shows the cursor where a move left it; `scrolled` when the move scrolled the grid.
  void ShowMovedCursor(bool shift, bool scrolled);
  void SwitchPane();  // Tab, Shift+Tab: the same cell in the other pane
  void JumpToDiff(Direction direction);
  void Timer1Timer();  // one tick of the auto-scroll
  void AutoScrollStep(int kind);
  bool SetRowPosition(int position);     // with paintLock_; true when it moved
  bool SetColumnPosition(int position);  // with paintLock_; true when it moved

  // ---- The result and the settings
  // ---------------------------------------------------------------
  std::unique_ptr<SettingsStore> global_;
  // The session shown; a run is built in a session of its own and replaces this one when it
  // completes (AdoptSession), so that a cancelled run leaves the shown result as it was.
  std::unique_ptr<CompareSession> session_ = std::make_unique<CompareSession>();
  std::unique_ptr<SessionGridModel> gridModel_ = std::make_unique<SessionGridModel>(*session_);
  std::unique_ptr<SessionExportSource> exportSource_ =
      std::make_unique<SessionExportSource>(*session_);
  GridModel* model_ = gridModel_.get();
  std::function<void()> runComparison_;
  std::function<void()> reGrid_;
  std::function<void(const std::string& path)> openHelpPage_;

  // ---- Parts (children of the window)
  // --------------------------------------------------------------
  PaintBox* paiMain_ = nullptr;
  QScrollBar* scrRight_ = nullptr;
  QScrollBar* scrBottom_ = nullptr;
  KeyBar* scrTab_ = nullptr;
  QToolBar* toolBar_ = nullptr;
  QMenu* popup_ = nullptr;
  QTimer* timer_ = nullptr;
  QLabel* panel0_ = nullptr;
  QLabel* panel1_ = nullptr;
  std::vector<QAction*> actions_;
  QMenu* recentMenu_ = nullptr;
  FieldSummaryPanel* fieldSummary_ = nullptr;
  QLabel* hiddenPanel_ = nullptr;  // "%d項目非表示"
  bool hideSame_ = false;
  // The grid's model while fields are hidden (over gridModel_); null otherwise.
  std::unique_ptr<ShownFieldsModel> shownModel_;

  // ---- View state (see ViewState) ------------------------------------------------------------
  int curSide_ = 1;
  int curCol_ = 0;
  int curRow_ = 0;
  int hitColumn_ = 0;
  int hitSide_ = 0;
  int dragMode_ = 0;
  int selSide_ = 1, selAnchorCol_ = 0, selAnchorRow_ = 0, selEndCol_ = 0, selEndRow_ = 0;
  int splitX_ = 0;
  // Where the user put the splitter (by a drag, or in an earlier run of the program), which
  // the next runs keep until the window is resized; 0 lets the grid place it by the keys'
  // widths.
  int preferredSplit_ = 0;
  int laidOutWidth_ = 0;  // the paint box's width at the last resize, 0 before the first
  int keyEndX_ = 0;
  bool paintLock_ = false;  // while set, the scroll bars' changes do not repaint
  bool copyWithHeader_ = false;
  bool copyWithMarks_ = false;
  std::string findText_;  // CP932, at most 255 bytes (grid/FindText.h)
  int findMode_ = 3;
  int resizeTarget_ = -2, resizeMinX_ = 0, resizeX_ = 0;
  int autoScrollV_ = 0, autoScrollH_ = 0;
  int dropCount_ = 0;
  std::string dropPathL_, dropPathR_;

  // ---- Painting ------------------------------------------------------------------------------
  QFont gridFont_;
  int charWidth_ = 0, charHeight_ = 0;
  ColumnGeometry columns_;  // the fields' widths and painted x positions
  int gridAscent_ = 0;      // where a text's top lies above its baseline
  // RowHeight and the heights that follow it, from the grid font: every row top, hit test,
  // scroll range and overlay computes with these.
  RowMetrics rows_;
  QImage backBuffer_;
  QImage screen_;

  Selection shownSel_;
  std::vector<QRect> shownSelRects_;
  struct CursorMark {
    int col = -1, row = -1, side = 0;
    bool drawn[3] = {false, false, false};
    std::vector<QRect> pen[3], inverse[3];
  } shownCursor_;
  bool dragLineShown_ = false;
  int dragLineX_ = 0;
  QPoint lastMouse_, prevMouse_;
  int lastMouseRow_ = 0;
};

}  // namespace korvel
