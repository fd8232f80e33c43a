#pragma once
// MainWindow: the program's one top-level window. It shows a comparison result in a grid
// painted by the program itself, lets the user move, select and scroll through it, and
// offers the commands of the menus, the toolbar and the header popup.
//
// The window owns the one comparison session and keeps only view state. It reads the result
// through a GridModel over the session (view/SessionGridModel.h) and writes back only the
// painted x positions and dragged widths of the fields. The file-open dialog chain and the
// re-setting belong to other parts; they are installed as hooks and end by calling
// CompareAndShow (or the re-setting's own display).
//
// Painting: the grid is painted into BackBuffer, copied to the screen image that the paint
// box shows, and the selection and the cursor are drawn over the screen image by
// exclusive-or, so that drawing them again removes them and the grid never has to be
// painted again for a cursor move.

#include <QImage>
#include <QMainWindow>
#include <QPoint>
#include <QPointer>
#include <QRect>
#include <QScrollBar>
#include <QWidget>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "compare/CompareSession.h"
#include "export/SessionExportSource.h"
#include "grid/GridGeometry.h"
#include "grid/GridModel.h"
#include "grid/GridNavigation.h"
#include "grid/SessionGridModel.h"
#include "settings/SettingsStore.h"

class QAction;
class QLabel;
class QMenu;
class QTimer;
class QToolBar;
class QToolButton;

namespace korvel {

// The paint box: shows the window's screen image and hands its events to the window.
class PaintBox : public QWidget {
  Q_OBJECT
 public:
  explicit PaintBox(QWidget* parent);
  std::function<void(QMouseEvent*)> onPress, onMove, onRelease;
  std::function<void(QWheelEvent*)> onWheel;
  std::function<void()> onResize;
  const QImage* image = nullptr;  // the screen image (not owned)

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
};

// The scroll bar that holds the keyboard focus: every grid key arrives through it.
class KeyBar : public QScrollBar {
  Q_OBJECT
 public:
  explicit KeyBar(QWidget* parent);
  std::function<void(QKeyEvent*)> onKey;

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  bool focusNextPrevChild(bool) override { return false; }
};

class MainWindow : public QMainWindow {
  Q_OBJECT
 public:
  static constexpr int kWindowWidth = 811;
  static constexpr int kWindowHeight = 548;

  explicit MainWindow(QWidget* parent = nullptr);
  ~MainWindow() override;

  // ---- The result shown ------------------------------------------------------------------
  CompareSession& Session() { return session_; }
  GridModel* Model() const { return model_; }
  // Runs the comparison of the session's settings with the confirmed field-control grid
  // and shows it: summary and encodings in the status bar, caption, scroll ranges, cursor
  // at the first cell, tb_Reset enabled. After a failure (the message has been shown) the
  // empty result is shown. The CompareSides result: 0, or -1.
  int CompareAndShow(const FieldGrid& grid);
  // Shows the result again after the re-setting has re-classified it (the session has
  // released any extraction): cursor at the first cell, splitter and scroll ranges reset,
  // summary and caption written again. The column widths stay.
  void ShowReclassified();

  // ---- Hooks of the commands other parts provide -----------------------------------------
  // Installed when the window is created (InstallSetUpCommands, app/SetUpCommands.h).
  std::function<void()> runComparison;  // the file-open dialog chain and the run
  std::function<void()> reGrid;         // the re-setting command
  // Opens the help page (a UTF-8 path) in the desktop's browser, else in the program's help
  // window (dialogs/HelpWindow.h); replaceable so that tests never start one.
  std::function<void(const std::string& path)> openHelpPage;
  // The settings object, created with the window (settings loaded) and saved at close.
  SettingsStore& Global() { return *global_; }
  // The session's Settings.Encoding and Settings.DetectBom are the working copies of the
  // reading settings: taken from the settings object at start, written back at close.

  // ---- Operations offered to the other parts of the view --------------------------------
  void SetCaption(const std::string& status);  // status CP932
  bool ExtractActive() const { return model_ != nullptr && model_->ExtractActive(); }
  void RunExtraction(int differing);
  void RunExtractionByStatus(int kind);  // the left-only and right-only popup items
  void ReleaseExtraction();
  void ResetSplit();
  void ResetRowScroll();
  void ResetColumnScroll();  // position 0, range by the field count
  void FullRepaint();
  void ShowEncodings(int encodingL, int encodingR);
  void SetSummary(const std::string& text);  // status panel 1, CP932
  void ClearStatus();
  void EnableReset(bool enabled);  // tb_Reset
  void Beep();

  // ---- View state (names as the other parts know them) ----------------------------------
  int CurSide = 1;
  int CurCol = 0;
  int CurRow = 0;
  int HitColumn = 0;
  int HitSide = 0;
  int DragMode = 0;
  int SelSide = 0, SelAnchorCol = -1, SelAnchorRow = -1, SelEndCol = -1, SelEndRow = -1;
  int SplitX = 0;
  int KeyEndX = 0;
  bool PaintLock = false;
  bool CopyWithHeader = false;
  bool CopyWithMarks = false;
  std::string FindText;  // the last search text, CP932, at most 255 bytes (view/FindText.h)
  int FindMode = 3;      // 3 case ignored, 7 exact
  int ResizeTarget = -2, ResizeMinX = 0, ResizeX = 0;
  int AutoScrollV = 0, AutoScrollH = 0;
  int DropCount = 0;
  std::string DropPathL, DropPathR;
  int CharWidth = 0, CharHeight = 0;

  static constexpr int RowHeight = 16;
  static constexpr int DetailHeight = 50;
  static const QColor HeaderColor, LeftDiffColor, RightDiffColor, MissingColor, NotComparedColor;

  // The shown selection: pane -1 when none.
  struct Selection {
    int pane = -1;
    int col1 = 0, row1 = 0, col2 = 0, row2 = 0;
    bool operator==(const Selection&) const = default;
  };
  const Selection& ShownSel() const { return shownSel_; }
  void ClearShownSel() { shownSel_ = Selection{}; }

  // Files dropped on the window, in the order they arrive; two start the file-open command.
  void DropFiles(const std::vector<std::string>& paths);
  // The dropped pair for the file selection: true and both paths when two have been
  // dropped (DropCount is then reset to 0).
  bool TakeDroppedPaths(std::string& pathL, std::string& pathR);

  // ---- Parts of the window, for the other parts and the tests ---------------------------
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

  // Rows that fit in the grid (V) and the grid's bottom edge.
  int VisibleRowCount() const;
  int GridBottom() const;
  int FirstRow() const;
  // The grid's horizontal state for the geometry rules.
  GridFrame Frame() const;
  // The navigation view of the shown rows.
  NavigationSource Navigation() const;

  // ---- Commands (menu items and toolbar buttons) -----------------------------------------
  void mnuFileOpenClick();
  void mnuFileExportClick();
  void mnuFileReportClick();  // MainWindowReport.cpp
  void mnuFileReGridClick();
  void mnuFileExitClick() { close(); }
  void mnuEditCopyHeadClick();
  void mnuEditCopyMarkClick();
  // MainWindowCopy.cpp: the three copies put their text on the clipboard, or show why not.
  void mnuEditCopyClick();
  void mnuEditCopyGyakuClick();
  void mnuEditCopyRowClick();
  // MainWindowFind.cpp: the text search. Direction 0 (or no FindText yet) asks with the find
  // dialog first; -1 searches upward, 1 downward, from the cursor on CurSide's file.
  void FindNext(int direction);
  void mnuFindSelDfClick();
  void mnuFindSelDfAllClick();
  void mnuFindSelDfNonClick();
  void mnuHelpHelpClick();
  void mnuHelpAboutClick();
  void JumpToDiff(Direction direction);
  void Timer1Timer();  // one tick of the auto-scroll

 protected:
  void closeEvent(QCloseEvent* event) override;
  void changeEvent(QEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  // MainWindow.cpp: the window's parts.
  void CreateActions();
  void CreateMenus();
  void CreateToolBar();
  void CreatePopup();
  void CreateClientArea();
  void CreateStatusBar();
  QAction* AddAction(const char* name, const char* caption);
  void ShowHeaderPopup(int x, int y);
  void FormResize();
  void ShowExtractedRows();
  void ShowEmptyResult();

  // MainWindowPaint.cpp: painting and overlays.
  void PaintGrid(QImage& image);
  void PaintColumns(QPainter& p, const ColumnPlan& plan, int shownRows, int gridBottom, int h);
  void PaintCell(QPainter& p, const PlacedColumn& column, const ResultField& field,
                 const RecordPair& pair, int top);
  void PaintHeader(QPainter& p, int bottomB, int w);
  void PaintDetail(QImage& image);
  void PaintDetailOnScreen();
  void FillBox(QPainter& p, int x, int y, int width, int height, const QColor& color);
  void DrawSeparator(QPainter& p, int kind, int x, int fromY, int toY);
  void DrawText(QPainter& p, int x, int y, std::string_view cp932);
  void ShowSelection(bool eraseFirst, int pane, int anchorCol, int anchorRow, int endCol,
                     int endRow);
  std::vector<QRect> SelectionRects(const Selection& sel) const;
  void ShowCursor(bool eraseFirst, int col, int row, int side);
  void CursorRects(int col, int row, int side, int pane, std::vector<QRect>& pen,
                   std::vector<QRect>& inverse) const;
  void XorRects(const std::vector<QRect>& rects, const QColor& color);
  void MoveDragLine(int x);
  int ShownRowCount(int gridBottom) const;

  // MainWindowCopy.cpp, MainWindowFind.cpp.
  void CopyRange(bool otherSide);
  void PutOnClipboard(const std::string& cp932);
  bool AskFind(int& direction);
  void ShowFoundCell(int direction);

  // MainWindowInput.cpp: mouse, wheel, keys, timer.
  void paiMainMouseDown(QMouseEvent* event);
  void paiMainMouseMove(QMouseEvent* event);
  void paiMainMouseUp(QMouseEvent* event);
  void DragSelection(int x, int y);
  void scr_TabKeyDown(QKeyEvent* event);
  void AfterKeyMove(NavKey key, bool shift);
  void AutoScrollStep(int kind);
  bool SetRowPosition(int position);     // with PaintLock; true when it moved
  bool SetColumnPosition(int position);  // with PaintLock; true when it moved
  void ScrollChanged();

  std::unique_ptr<SettingsStore> global_;
  CompareSession session_;
  SessionGridModel gridModel_{session_};
  SessionExportSource exportSource_{session_};
  GridModel* model_ = &gridModel_;

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

  QFont* gridFont_ = nullptr;
  int gridAscent_ = 0;  // where a text's top lies above its baseline
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
