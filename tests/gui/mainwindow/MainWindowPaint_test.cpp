// The painted grid of a known small result: cell colours, lines, separators, the detail
// line with its difference bands and numeric difference, and the cursor overlay.

#include <QAction>
#include <QLabel>
#include <QScrollBar>
#include <QtTest>

#include "gui/GridTestUtil.h"
#include "platform/Notifier.h"
#include "qt/QtText.h"

using korvel::MainWindow;
using namespace korvel::test;

namespace {

// Key FD001; FD004 not compared. Rows: 1 differs in FD002, FD003, FD005; 2 differs only in
// the not-compared FD004; 3 left only; 4 right only.
const char* const kLeft[] = {"1,abcd,x,p,10", "2,b,y,q,\"1,000\"", "3,c,z,r,5"};
const char* const kRight[] = {"1,abXd,X,p,12.5", "2,b,y,Q,\"1,000\"", "4,d,w,s,7"};

bool AnyDarkPixel(const QImage& image, const QRect& area) {
  for (int y = area.top(); y <= area.bottom(); ++y) {
    for (int x = area.left(); x <= area.right(); ++x) {
      if (qGray(image.pixel(x, y)) < 128) return true;
    }
  }
  return false;
}

}  // namespace

class GridPaintTest : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void initTestCase() {
    qputenv("KORVEL_HOME", QByteArray::fromStdString(home_.Path()));
    scoped_ = std::make_unique<korvel::ScopedNotifier>(&notifier_);
  }
  void cleanupTestCase() { scoped_.reset(); }
  void init();
  void cleanup() { window_.reset(); }
  void CellColoursFollowTheMarkingRules();
  void LinesAndSeparators();
  void DetailLineBandsAndNumericDifference();
  void CursorOverlayMovesWithoutTrace();
  void KeysReachingTheSplitterPushItRight();
  void ReclassifiedResultIsShownAgain();
  void FailedRunShowsTheEmptyResult();

 private:
  TempDir home_;
  TempDir dir_;
  korvel::RecordingNotifier notifier_;
  std::unique_ptr<korvel::ScopedNotifier> scoped_;
  std::unique_ptr<MainWindow> window_;
};

void GridPaintTest::init() {
  window_ = std::make_unique<MainWindow>();
  window_->show();
  QVERIFY(QTest::qWaitForWindowExposed(window_.get()));
  QCOMPARE(CompareInWindow(*window_, dir_, Lines({kLeft[0], kLeft[1], kLeft[2]}),
                           Lines({kRight[0], kRight[1], kRight[2]}), {{1}, {4}, {}}),
           0);
}

void GridPaintTest::CellColoursFollowTheMarkingRules() {
  MainWindow& w = *window_;
  korvel::GridModel& m = *w.Model();
  QCOMPARE(m.RowCount(), 4);
  QCOMPARE(m.Pair(0).Status, 3);
  QCOMPARE(m.Pair(1).Status, 0);
  QCOMPARE(m.Pair(2).Status, -2);
  QCOMPARE(m.Pair(3).Status, -1);
  // Painted positions: the key at 85, the left pane from its end, the right pane from SplitX.
  QCOMPARE(m.Field(0).LeftX, 85);
  QCOMPARE(m.Field(0).RightX, 85);
  const int w0 = m.Field(0).Width;
  QCOMPARE(m.Field(1).LeftX, 85 + w0);
  QCOMPARE(m.Field(1).RightX, w.SplitX);
  QCOMPARE(w.SplitX, w0 + (w.paiMain()->width() - w0) / 2);

  const QImage& g = w.BackBuffer();
  auto at = [&](int field, int pane, int k) {
    const korvel::ResultField f = m.Field(field);
    return Rgb(g, (pane == 1 ? f.LeftX : f.RightX) + f.Width - 6, RowTop(k) + 8);
  };
  const QRgb white = Rgb(255, 255, 255);
  // Row 0: differing cells in each pane's colour; the not-compared field grey on every row.
  QCOMPARE(at(1, 1, 0), Rgb(MainWindow::LeftDiffColor));
  QCOMPARE(at(1, 2, 0), Rgb(MainWindow::RightDiffColor));
  QCOMPARE(at(2, 1, 0), Rgb(250, 242, 0));
  QCOMPARE(at(2, 2, 0), Rgb(155, 240, 240));
  QCOMPARE(at(4, 1, 0), Rgb(250, 242, 0));
  QCOMPARE(at(3, 1, 0), Rgb(200, 200, 200));
  QCOMPARE(at(3, 2, 0), Rgb(200, 200, 200));
  // Row 1: equal cells stay white; the not-compared difference is grey, not coloured.
  QCOMPARE(at(1, 1, 1), white);
  QCOMPARE(at(1, 2, 1), white);
  QCOMPARE(at(3, 1, 1), Rgb(200, 200, 200));
  // Row 2, left only: left cells with text differ from the missing side; right cells grey.
  QCOMPARE(at(1, 1, 2), Rgb(250, 242, 0));
  QCOMPARE(at(1, 2, 2), Rgb(150, 150, 150));
  QCOMPARE(at(3, 2, 2), Rgb(200, 200, 200));  // not compared wins over missing
  // Row 3, right only.
  QCOMPARE(at(1, 1, 3), Rgb(150, 150, 150));
  QCOMPARE(at(1, 2, 3), Rgb(155, 240, 240));
  // Key cells are never coloured, and a right-only record shows the right file's key.
  QCOMPARE(at(0, 1, 0), white);
  QCOMPARE(at(0, 1, 2), white);
  QVERIFY(AnyDarkPixel(g, QRect(85, RowTop(3) + 2, 10, 13)));
  // The row-header strip: row numbers and the difference column on the header colour.
  QCOMPARE(Rgb(g, 3, RowTop(0) + 8), Rgb(192, 192, 192));
  QVERIFY(AnyDarkPixel(g, QRect(0, RowTop(0) + 2, 39, 13)));
  QVERIFY(AnyDarkPixel(g, QRect(41, RowTop(3) + 2, 42, 13)));  // 右のみ
  // Below the last row the grid is white.
  QCOMPARE(Rgb(g, 300, RowTop(6)), white);
}

void GridPaintTest::LinesAndSeparators() {
  MainWindow& w = *window_;
  korvel::GridModel& m = *w.Model();
  const QImage& g = w.BackBuffer();
  const int w0 = m.Field(0).Width;
  // Row lines: light across the grid, dark over the row-header strip.
  QCOMPARE(Rgb(g, w.SplitX + 20, RowTop(1)), Rgb(192, 192, 192));
  QCOMPARE(Rgb(g, 60, RowTop(1)), Rgb(50, 50, 50));
  QCOMPARE(Rgb(g, 60, RowTop(4)), Rgb(50, 50, 50));
  QCOMPARE(Rgb(g, 60, RowTop(5)), Rgb(192, 192, 192));  // no fifth row: strip colour
  // Header row: top and bottom lines dark.
  QCOMPARE(Rgb(g, 300, 0), Rgb(50, 50, 50));
  QCOMPARE(Rgb(g, 300, 20), Rgb(50, 50, 50));
  QCOMPARE(Rgb(g, w.SplitX - 30, 10), Rgb(192, 192, 192));
  // The right edge of the first left-pane field: a plain line between the rows, and in the
  // header a black line with a white one beside it.
  const int e = 84 + w0 + m.Field(1).Width;
  QCOMPARE(Rgb(g, e, RowTop(0) + 8), Rgb(192, 192, 192));
  QCOMPARE(Rgb(g, e, 10), Rgb(0, 0, 0));
  QCOMPARE(Rgb(g, e + 1, 10), Rgb(255, 255, 255));
  // Below the last row the field lines stop.
  QCOMPARE(Rgb(g, e, RowTop(6)), Rgb(255, 255, 255));
  // The key block's separator (kind 2 at KeyEndX - 1) and the splitter's (at SplitX - 2),
  // from the top to the last row.
  QCOMPARE(w.KeyEndX, 84 + w0);
  const int k = w.KeyEndX - 1;
  QCOMPARE(Rgb(g, k - 4, RowTop(1) + 8), Rgb(255, 255, 255));
  QCOMPARE(Rgb(g, k - 2, RowTop(1) + 8), Rgb(150, 150, 150));
  QCOMPARE(Rgb(g, k, RowTop(1) + 8), Rgb(0, 0, 0));
  const int s = w.SplitX - 2;
  QCOMPARE(Rgb(g, s - 4, 10), Rgb(255, 255, 255));
  QCOMPARE(Rgb(g, s - 3, 10), Rgb(150, 150, 150));
  QCOMPARE(Rgb(g, s - 1, RowTop(3) + 8), Rgb(150, 150, 150));
  QCOMPARE(Rgb(g, s, RowTop(3) + 8), Rgb(0, 0, 0));
  QCOMPARE(Rgb(g, s, RowTop(6)), Rgb(255, 255, 255));
  // The fixed columns' separators: black at 39 and 84.
  QCOMPARE(Rgb(g, 39, RowTop(2) + 8), Rgb(0, 0, 0));
  QCOMPARE(Rgb(g, 84, 10), Rgb(0, 0, 0));
  // Header names are written.
  QVERIFY(AnyDarkPixel(g, QRect(m.Field(1).LeftX + 2, 4, m.Field(1).Width - 4, 14)));
  QVERIFY(AnyDarkPixel(g, QRect(m.Field(1).RightX + 2, 4, m.Field(1).Width - 4, 14)));
}

void GridPaintTest::DetailLineBandsAndNumericDifference() {
  MainWindow& w = *window_;
  const int t = w.paiMain()->height() - MainWindow::DetailHeight;
  const int cw = w.CharWidth;
  QVERIFY(cw > 0);
  // The cursor on FD002 of row 0: abcd against abXd, a band under the third column only.
  QTest::keyClick(w.scr_Tab(), Qt::Key_Right);
  QCOMPARE(w.CurCol, 1);
  const QImage& screen = w.ScreenImage();
  QCOMPARE(Rgb(screen, 50 + 2 * cw, t + 16), Rgb(250, 242, 0));
  QCOMPARE(Rgb(screen, 50 + 3 * cw - 1, t + 32), Rgb(155, 240, 240));
  QCOMPARE(Rgb(screen, 50 + 2 * cw - 1, t + 16), Rgb(255, 255, 255));
  QCOMPARE(Rgb(screen, 50 + 3 * cw, t + 16), Rgb(255, 255, 255));
  QCOMPARE(Rgb(screen, 50 + 3 * cw, t + 32), Rgb(255, 255, 255));
  // The status text is drawn in the differing colour on the dark band; texts are written.
  QCOMPARE(Rgb(screen, w.paiMain()->width() - 3, t + 3), Rgb(50, 50, 50));
  bool pink = false;
  for (int x = 10; x < 300 && !pink; ++x) {
    for (int y = t + 2; y < t + 15 && !pink; ++y) {
      QColor c(screen.pixel(x, y));
      pink = c.red() > 150 && c.green() < c.red() - 30;
    }
  }
  QVERIFY(pink);
  QVERIFY(AnyDarkPixel(screen, QRect(50, t + 17, 4 * cw, 14)));
  // Not numeric: nothing at the difference's place.
  const QRect differenceArea(40 * cw, t + 17, 120, 14);
  QVERIFY(!AnyDarkPixel(screen, differenceArea));
  // FD005 of row 0: 10 and 12.5 are numbers, so their difference is written.
  QTest::keyClick(w.scr_Tab(), Qt::Key_End);
  QCOMPARE(w.CurCol, 4);
  QVERIFY(AnyDarkPixel(screen, differenceArea));
  // Row 1: 1,000 on both sides is not a number: no difference line.
  QTest::keyClick(w.scr_Tab(), Qt::Key_Down);
  QVERIFY(!AnyDarkPixel(screen, differenceArea));
  // The back buffer still holds the detail of the last full repaint: the detail was
  // drawn on the screen alone.
  QVERIFY(w.BackBuffer().copy(0, t, 300, 50) != screen.copy(0, t, 300, 50));
}

void GridPaintTest::CursorOverlayMovesWithoutTrace() {
  MainWindow& w = *window_;
  korvel::GridModel& m = *w.Model();
  const QImage before = w.ScreenImage().copy();
  // The cursor on the key of row 0: drawn in both panes at the same place, green and
  // yellow by exclusive-or; its header cell and row-header cell inverted.
  const QColor both(0 ^ 240, 255 ^ 240, 0);
  QVERIFY(XoredWith(w, 100, RowTop(0), both));
  QVERIFY(XoredWith(w, 100, RowTop(0) + 1, both));
  QVERIFY(Untouched(w, 100, RowTop(0) + 8));
  QVERIFY(XoredWith(w, 100, 10, QColor(30, 30, 30)));
  QVERIFY(XoredWith(w, 20, RowTop(0) + 8, QColor(30, 30, 30)));
  QVERIFY(Untouched(w, 20, RowTop(1) + 8));

  // Right: the cursor box moves to FD002, green in the left pane (its own), yellow in the
  // right pane; the key's box and its header inversion are gone.
  QTest::keyClick(w.scr_Tab(), Qt::Key_Right);
  const int lx = m.Field(1).LeftX, rx = m.Field(1).RightX;
  QVERIFY(XoredWith(w, lx + 10, RowTop(0), QColor(0, 255, 0)));
  QVERIFY(XoredWith(w, lx - 2, RowTop(0) + 8, QColor(0, 255, 0)));
  QVERIFY(XoredWith(w, rx + 10, RowTop(0), QColor(240, 240, 0)));
  QVERIFY(XoredWith(w, lx + 10, 10, QColor(30, 30, 30)));
  QVERIFY(Untouched(w, rx + 10, 10));
  QVERIFY(Untouched(w, 100, RowTop(0)));
  QVERIFY(Untouched(w, 100, 10));
  // A mouse click in the right pane makes it the cursor's own pane.
  QTest::mouseClick(w.paiMain(), Qt::LeftButton, Qt::NoModifier, QPoint(rx + 10, RowTop(2) + 8));
  QCOMPARE(w.CurSide, 2);
  QCOMPARE(w.CurRow, 2);
  QVERIFY(XoredWith(w, rx + 10, RowTop(2), QColor(0, 255, 0)));
  QVERIFY(XoredWith(w, lx + 10, RowTop(2), QColor(240, 240, 0)));
  QVERIFY(XoredWith(w, rx + 10, 10, QColor(30, 30, 30)));
  // Moving on and back leaves the screen exactly as it was.
  QTest::mouseClick(w.paiMain(), Qt::LeftButton, Qt::NoModifier, QPoint(100, RowTop(0) + 8));
  QCOMPARE(w.CurCol, 0);
  QCOMPARE(w.CurRow, 0);
  QCOMPARE(w.ScreenImage().copy(0, 0, w.paiMain()->width(), w.GridBottom()),
           before.copy(0, 0, w.paiMain()->width(), w.GridBottom()));
  // The widget shows the screen image.
  QImage shown = w.paiMain()->grab().toImage().convertToFormat(QImage::Format_RGB32);
  QCOMPARE(Rgb(shown, 100, RowTop(0)), Rgb(w.ScreenImage(), 100, RowTop(0)));
}

void GridPaintTest::KeysReachingTheSplitterPushItRight() {
  MainWindow& w = *window_;
  w.Model()->SetFieldWidth(0, w.paiMain()->width() - 300);
  w.FullRepaint();
  QCOMPARE(w.KeyEndX, 84 + w.paiMain()->width() - 300);
  QCOMPARE(w.SplitX, w.KeyEndX + 10);
  // Painted again with the new splitter: its separator is there.
  QCOMPARE(Rgb(w.BackBuffer(), w.SplitX - 2, 10), Rgb(0, 0, 0));
  QCOMPARE(w.Model()->Field(1).RightX, w.SplitX);
}

void GridPaintTest::ReclassifiedResultIsShownAgain() {
  MainWindow& w = *window_;
  QCOMPARE(w.StatusPanel(1)->text(),
           korvel::Q("左総数:3件 右総数:3件 相違レコード数:1件 左のみ:1件 右のみ:1件"));
  QCOMPARE(w.StatusPanel(0)->text(), korvel::Q("SHIFT-JIS"));
  QVERIFY(w.Action("tb_Reset")->isEnabled());
  w.Action("mnuFindSelDf")->trigger();
  QVERIFY(w.ExtractActive());
  QTest::keyClick(w.scr_Tab(), Qt::Key_Right);
  // The re-setting marks FD002, FD003 and FD005 not compared: row 0 becomes equal.
  korvel::CompareSession& s = w.Session();
  korvel::FieldGrid grid = s.MakeReGridGrid();
  for (int row : {2, 3, 5}) grid.Toggle(row, korvel::FieldGrid::kNotCompared);
  s.ApplyReGrid(grid);
  w.ShowReclassified();
  QVERIFY(!w.ExtractActive());
  QCOMPARE(w.Model()->RowCount(), 4);
  QCOMPARE(w.CurCol, 0);
  QCOMPARE(w.Model()->Pair(0).Status, 0);
  QCOMPARE(w.StatusPanel(1)->text(),
           korvel::Q("左総数:3件 右総数:3件 相違レコード数:0件 左のみ:1件 右のみ:1件"));
  QVERIFY(w.windowTitle().startsWith(korvel::Q("KORVEL【左】left.csv")));
  const korvel::ResultField f = w.Model()->Field(1);
  QCOMPARE(Rgb(w.BackBuffer(), f.LeftX + f.Width - 6, RowTop(0) + 8), Rgb(200, 200, 200));
}

void GridPaintTest::FailedRunShowsTheEmptyResult() {
  MainWindow& w = *window_;
  w.Action("mnuFindSelDf")->trigger();
  QTest::keyClick(w.scr_Tab(), Qt::Key_Right);
  // A cell over 500 bytes stops the run with its message.
  const std::string wide(501, 'w');
  QCOMPARE(CompareInWindow(w, dir_, Lines({"1," + wide}), Lines({"1,a"}), {{1}, {}, {}}), -1);
  QVERIFY(!notifier_.Texts().empty());
  QCOMPARE(w.Model()->RowCount(), 0);
  QCOMPARE(w.Model()->FieldCount(), 0);
  QCOMPARE(w.CurSide, 0);
  QCOMPARE(w.CurCol, 0);
  QVERIFY(w.StatusPanel(0)->text().isEmpty());
  QVERIFY(w.StatusPanel(1)->text().isEmpty());
  QVERIFY(!w.scr_Right()->isEnabled());
  QVERIFY(!w.scr_Bottom()->isEnabled());
  // The grid shows only its fixed parts: white where the fields were.
  QCOMPARE(Rgb(w.BackBuffer(), 150, RowTop(0) + 8), Rgb(255, 255, 255));
  QCOMPARE(Rgb(w.ScreenImage(), 150, RowTop(0) + 8), Rgb(255, 255, 255));
}

QTEST_MAIN(GridPaintTest)
#include "MainWindowPaint_test.moc"
