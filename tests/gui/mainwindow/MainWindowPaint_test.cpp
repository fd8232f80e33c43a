// The painted grid of a known small result: cell colours, lines, separators, the detail
// line with its difference bands and numeric difference, and the cursor overlay.

#include <QAction>
#include <QClipboard>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QLabel>
#include <QPainter>
#include <QScrollBar>
#include <QtTest>

#include "gui/GridTestUtil.h"
#include "platform/Notifier.h"
#include "qt/QtText.h"

using korvel::MainWindow;
using korvel::Q;
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

// `text` drawn as the window draws a text of the grid: in the grid font, its top at (x, y),
// over `background`, in an image of `size`.
QImage TextImage(const QFont& font, const QString& text, QSize size, const QColor& background,
                 const QColor& pen, int x, int y) {
  QImage image(size, QImage::Format_RGB32);
  image.fill(background);
  QPainter p(&image);
  p.setFont(font);
  p.setPen(pen);
  p.drawText(x, y + QFontMetrics(font).ascent(), text);
  return image;
}

// The lowest pixel row of `image` that is not `background`; -1 when there is none.
int LowestInk(const QImage& image, const QColor& background) {
  for (int y = image.height() - 1; y >= 0; --y) {
    for (int x = 0; x < image.width(); ++x) {
      if ((image.pixel(x, y) & 0xFFFFFFu) != (background.rgb() & 0xFFFFFFu)) return y;
    }
  }
  return -1;
}

bool AllOf(const QImage& image, const QRect& area, const QColor& colour) {
  for (int y = area.top(); y <= area.bottom(); ++y) {
    for (int x = area.left(); x <= area.right(); ++x) {
      if ((image.pixel(x, y) & 0xFFFFFFu) != (colour.rgb() & 0xFFFFFFu)) return false;
    }
  }
  return true;
}

}  // namespace

class GridPaintTest : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void initTestCase() { scope_.Begin(notifier_); }
  void cleanupTestCase() { scope_.End(); }
  void init();
  void cleanup() { window_.reset(); }
  void CellColoursFollowTheMarkingRules();
  void LinesAndSeparators();
  void DetailLineBandsAndNumericDifference();
  void CursorOverlayMovesWithoutTrace();
  void KeysReachingTheSplitterPushItRight();
  void ReclassifiedResultIsShownAgain();
  void FailedRunShowsTheEmptyResult();
  void DifferenceColumnNamesOneSidedRecords();
  void CursorBoxIsLeftOpenAtTheSplitter();
  void OneSidedFieldsAreGreyOnTheMissingSide();
  void TextsFitTheirRowsAndBands();
  void HeaderNamesStayInTheirColumns();
  void PanesClipTheirCellsToTheirArea();
  void UndefinedShiftJisBytesShowAsDecoded();
  void KeyHeadersShowTheirGlyphsWhole();

 private:
  WindowTestScope scope_;
  TempDir dir_;
  korvel::RecordingNotifier notifier_;
  std::unique_ptr<MainWindow> window_;
};

void GridPaintTest::init() {
  QVERIFY(ShowNewWindow(window_));
  QVERIFY(CompareInWindow(*window_, dir_, Lines({kLeft[0], kLeft[1], kLeft[2]}),
                          Lines({kRight[0], kRight[1], kRight[2]}), {{1}, {4}, {}}));
}

void GridPaintTest::CellColoursFollowTheMarkingRules() {
  MainWindow& w = *window_;
  QCOMPARE(ShownRows(w), 4);
  QCOMPARE(Status(w, 0), 3);
  QCOMPARE(Status(w, 1), 0);
  QCOMPARE(Status(w, 2), -2);
  QCOMPARE(Status(w, 3), -1);
  // Painted positions: the key at 85, the left pane from its end, the right pane from SplitX.
  const MainWindow::ViewState v = w.View();
  QCOMPARE(v.leftX[0], 85);
  QCOMPARE(v.rightX[0], 85);
  const int w0 = v.widths[0];
  QCOMPARE(v.leftX[1], 85 + w0);
  QCOMPARE(v.rightX[1], v.splitX);
  QCOMPARE(v.splitX, w0 + (w.paiMain()->width() - w0) / 2);

  const QImage& g = w.BackBuffer();
  auto at = [&](int field, int pane, int k) {
    return Rgb(g, FieldX(w, field, pane) + FieldWidth(w, field) - 6, RowTop(w, k) + 8);
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
  QVERIFY(AnyDarkPixel(g, QRect(85, RowTop(w, 3) + 2, 10, 13)));
  // The row-header strip: row numbers and the difference column on the header colour.
  QCOMPARE(Rgb(g, 3, RowTop(w, 0) + 8), Rgb(192, 192, 192));
  QVERIFY(AnyDarkPixel(g, QRect(0, RowTop(w, 0) + 2, 39, 13)));
  QVERIFY(AnyDarkPixel(g, QRect(41, RowTop(w, 3) + 2, 42, 13)));  // 右のみ
  // Below the last row the grid is white.
  QCOMPARE(Rgb(g, 300, RowTop(w, 6)), white);
}

void GridPaintTest::LinesAndSeparators() {
  MainWindow& w = *window_;
  const MainWindow::ViewState v = w.View();
  const QImage& g = w.BackBuffer();
  const int w0 = v.widths[0];
  // Row lines: light across the grid, dark over the row-header strip.
  QCOMPARE(Rgb(g, v.splitX + 20, RowTop(w, 1)), Rgb(192, 192, 192));
  QCOMPARE(Rgb(g, 60, RowTop(w, 1)), Rgb(50, 50, 50));
  QCOMPARE(Rgb(g, 60, RowTop(w, 4)), Rgb(50, 50, 50));
  QCOMPARE(Rgb(g, 60, RowTop(w, 5)), Rgb(192, 192, 192));  // no fifth row: strip colour
  // Header row: top and bottom lines dark.
  QCOMPARE(Rgb(g, 300, 0), Rgb(50, 50, 50));
  QCOMPARE(Rgb(g, 300, v.rows.headerHeight), Rgb(50, 50, 50));
  QCOMPARE(Rgb(g, v.splitX - 30, 10), Rgb(192, 192, 192));
  // The right edge of the first left-pane field: a plain line between the rows, and in the
  // header a black line with a white one beside it.
  const int e = 84 + w0 + v.widths[1];
  QCOMPARE(Rgb(g, e, RowTop(w, 0) + 8), Rgb(192, 192, 192));
  QCOMPARE(Rgb(g, e, 10), Rgb(0, 0, 0));
  QCOMPARE(Rgb(g, e + 1, 10), Rgb(255, 255, 255));
  // Below the last row the field lines stop.
  QCOMPARE(Rgb(g, e, RowTop(w, 6)), Rgb(255, 255, 255));
  // The key block's separator (kind 2 at KeyEndX - 1) and the splitter's (at SplitX - 2),
  // from the top to the last row.
  QCOMPARE(v.keyEndX, 84 + w0);
  const int k = v.keyEndX - 1;
  QCOMPARE(Rgb(g, k - 4, RowTop(w, 1) + 8), Rgb(255, 255, 255));
  QCOMPARE(Rgb(g, k - 2, RowTop(w, 1) + 8), Rgb(150, 150, 150));
  QCOMPARE(Rgb(g, k, RowTop(w, 1) + 8), Rgb(0, 0, 0));
  const int s = v.splitX - 2;
  QCOMPARE(Rgb(g, s - 4, 10), Rgb(255, 255, 255));
  QCOMPARE(Rgb(g, s - 3, 10), Rgb(150, 150, 150));
  QCOMPARE(Rgb(g, s - 1, RowTop(w, 3) + 8), Rgb(150, 150, 150));
  QCOMPARE(Rgb(g, s, RowTop(w, 3) + 8), Rgb(0, 0, 0));
  QCOMPARE(Rgb(g, s, RowTop(w, 6)), Rgb(255, 255, 255));
  // The fixed columns' separators: black at 39 and 84.
  QCOMPARE(Rgb(g, 39, RowTop(w, 2) + 8), Rgb(0, 0, 0));
  QCOMPARE(Rgb(g, 84, 10), Rgb(0, 0, 0));
  // Header names are written.
  QVERIFY(AnyDarkPixel(g, QRect(v.leftX[1] + 2, 4, v.widths[1] - 4, 14)));
  QVERIFY(AnyDarkPixel(g, QRect(v.rightX[1] + 2, 4, v.widths[1] - 4, 14)));
}

void GridPaintTest::DetailLineBandsAndNumericDifference() {
  MainWindow& w = *window_;
  const int t = w.paiMain()->height() - w.View().rows.detailHeight;
  const int band = RowHeight(w);  // the status band and each text band
  const int cw = w.View().charWidth;
  QVERIFY(cw > 0);
  // The cursor on FD002 of row 0: abcd against abXd, a band under the third column only.
  QTest::keyClick(w.scr_Tab(), Qt::Key_Right);
  QCOMPARE(w.View().curCol, 1);
  const QImage& screen = w.ScreenImage();
  QCOMPARE(Rgb(screen, 50 + 2 * cw, t + band), Rgb(250, 242, 0));
  QCOMPARE(Rgb(screen, 50 + 3 * cw - 1, t + 2 * band), Rgb(155, 240, 240));
  QCOMPARE(Rgb(screen, 50 + 2 * cw - 1, t + band), Rgb(255, 255, 255));
  QCOMPARE(Rgb(screen, 50 + 3 * cw, t + band), Rgb(255, 255, 255));
  QCOMPARE(Rgb(screen, 50 + 3 * cw, t + 2 * band), Rgb(255, 255, 255));
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
  QVERIFY(AnyDarkPixel(screen, QRect(50, t + band + 1, 4 * cw, 14)));
  // Not numeric: nothing at the difference's place.
  const QRect differenceArea(40 * cw, t + band + 1, 120, 14);
  QVERIFY(!AnyDarkPixel(screen, differenceArea));
  // FD005 of row 0: 10 and 12.5 are numbers, so their difference is written.
  QTest::keyClick(w.scr_Tab(), Qt::Key_End);
  QCOMPARE(w.View().curCol, 4);
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
  const QImage before = w.ScreenImage().copy();
  // The cursor on the key of row 0: drawn in both panes at the same place, green and
  // yellow by exclusive-or; its header cell and row-header cell inverted.
  const QColor both(0 ^ 240, 255 ^ 240, 0);
  QVERIFY(XoredWith(w, 100, RowTop(w, 0), both));
  QVERIFY(XoredWith(w, 100, RowTop(w, 0) + 1, both));
  QVERIFY(Untouched(w, 100, RowTop(w, 0) + 8));
  QVERIFY(XoredWith(w, 100, 10, QColor(30, 30, 30)));
  QVERIFY(XoredWith(w, 20, RowTop(w, 0) + 8, QColor(30, 30, 30)));
  QVERIFY(Untouched(w, 20, RowTop(w, 1) + 8));

  // Right: the cursor box moves to FD002, green in the left pane (its own), yellow in the
  // right pane; the key's box and its header inversion are gone.
  QTest::keyClick(w.scr_Tab(), Qt::Key_Right);
  const int lx = FieldX(w, 1, 1), rx = FieldX(w, 1, 2);
  QVERIFY(XoredWith(w, lx + 10, RowTop(w, 0), QColor(0, 255, 0)));
  QVERIFY(XoredWith(w, lx - 2, RowTop(w, 0) + 8, QColor(0, 255, 0)));
  QVERIFY(XoredWith(w, rx + 10, RowTop(w, 0), QColor(240, 240, 0)));
  QVERIFY(XoredWith(w, lx + 10, 10, QColor(30, 30, 30)));
  QVERIFY(Untouched(w, rx + 10, 10));
  QVERIFY(Untouched(w, 100, RowTop(w, 0)));
  QVERIFY(Untouched(w, 100, 10));
  // A mouse click in the right pane makes it the cursor's own pane.
  QTest::mouseClick(w.paiMain(), Qt::LeftButton, Qt::NoModifier, QPoint(rx + 10, RowTop(w, 2) + 8));
  QCOMPARE(w.View().curSide, 2);
  QCOMPARE(w.View().curRow, 2);
  QVERIFY(XoredWith(w, rx + 10, RowTop(w, 2), QColor(0, 255, 0)));
  QVERIFY(XoredWith(w, lx + 10, RowTop(w, 2), QColor(240, 240, 0)));
  QVERIFY(XoredWith(w, rx + 10, 10, QColor(30, 30, 30)));
  // Moving on and back leaves the screen exactly as it was.
  QTest::mouseClick(w.paiMain(), Qt::LeftButton, Qt::NoModifier, QPoint(100, RowTop(w, 0) + 8));
  QCOMPARE(w.View().curCol, 0);
  QCOMPARE(w.View().curRow, 0);
  const int bottom = w.View().gridBottom;
  QCOMPARE(w.ScreenImage().copy(0, 0, w.paiMain()->width(), bottom),
           before.copy(0, 0, w.paiMain()->width(), bottom));
  // The widget shows the screen image.
  QImage shown = w.paiMain()->grab().toImage().convertToFormat(QImage::Format_RGB32);
  QCOMPARE(Rgb(shown, 100, RowTop(w, 0)), Rgb(w.ScreenImage(), 100, RowTop(w, 0)));
}

void GridPaintTest::KeysReachingTheSplitterPushItRight() {
  MainWindow& w = *window_;
  // The key block's border dragged right, past the splitter: the key is then as wide as the
  // release position minus its left edge plus 10.
  const int keyEnd = w.View().keyEndX;
  const int release = w.paiMain()->width() - 205;
  QVERIFY(84 + release - 95 >= w.View().splitX);
  QTest::mousePress(w.paiMain(), Qt::LeftButton, Qt::NoModifier, QPoint(keyEnd, RowTop(w, 1)));
  QTest::mouseMove(w.paiMain(), QPoint(release, RowTop(w, 1)));
  QTest::mouseRelease(w.paiMain(), Qt::LeftButton, Qt::NoModifier, QPoint(release, RowTop(w, 1)));
  const MainWindow::ViewState v = w.View();
  QCOMPARE(v.widths[0], release - 95);
  QCOMPARE(v.keyEndX, 84 + release - 95);
  QCOMPARE(v.splitX, v.keyEndX + 10);
  // Painted again with the new splitter: its separator is there.
  QCOMPARE(Rgb(w.BackBuffer(), v.splitX - 2, 10), Rgb(0, 0, 0));
  QCOMPARE(v.rightX[1], v.splitX);
}

void GridPaintTest::ReclassifiedResultIsShownAgain() {
  MainWindow& w = *window_;
  QCOMPARE(w.StatusPanel(1)->text(),
           korvel::Q("左総数:3件 右総数:3件 相違レコード数:1件 左のみ:1件 右のみ:1件"));
  QCOMPARE(w.StatusPanel(0)->text(), korvel::Q("SHIFT-JIS"));
  QVERIFY(w.Action("tb_Reset")->isEnabled());
  w.Action("mnuFindSelDf")->trigger();
  QVERIFY(w.Session().ExtractActive());
  QTest::keyClick(w.scr_Tab(), Qt::Key_Right);
  // The re-setting marks FD002, FD003 and FD005 not compared: row 0 becomes equal.
  QCOMPARE(ReGridInWindow(w,
                          [](korvel::FieldGrid& grid) {
                            for (int row : {2, 3, 5})
                              grid.Toggle(row, korvel::FieldGrid::kNotCompared);
                            return 1;
                          }),
           1);
  QVERIFY(!w.Session().ExtractActive());
  QCOMPARE(ShownRows(w), 4);
  QCOMPARE(w.View().curCol, 0);
  QCOMPARE(Status(w, 0), 0);
  QCOMPARE(w.StatusPanel(1)->text(),
           korvel::Q("左総数:3件 右総数:3件 相違レコード数:0件 左のみ:1件 右のみ:1件"));
  QVERIFY(w.windowTitle().startsWith(korvel::Q("KORVEL【左】left.csv")));
  QCOMPARE(Rgb(w.BackBuffer(), FieldX(w, 1, 1) + FieldWidth(w, 1) - 6, RowTop(w, 0) + 8),
           Rgb(200, 200, 200));
}

void GridPaintTest::FailedRunShowsTheEmptyResult() {
  MainWindow& w = *window_;
  w.Action("mnuFindSelDf")->trigger();
  QTest::keyClick(w.scr_Tab(), Qt::Key_Right);
  // A cell over 500 bytes stops the run with its message.
  const std::string wide(501, 'w');
  QVERIFY(!CompareInWindow(w, dir_, Lines({Cat("1,", wide)}), Lines({"1,a"}), {{1}, {}, {}}));
  QVERIFY(!notifier_.Texts().empty());
  QCOMPARE(ShownRows(w), 0);
  QCOMPARE(FieldCount(w), 0);
  QCOMPARE(w.View().curSide, 1);
  QCOMPARE(w.View().curCol, 0);
  QVERIFY(w.View().widths.empty());
  QVERIFY(w.StatusPanel(0)->text().isEmpty());
  QVERIFY(w.StatusPanel(1)->text().isEmpty());
  QVERIFY(!w.scr_Right()->isEnabled());
  QVERIFY(!w.scr_Bottom()->isEnabled());
  // The grid shows only its fixed parts: white where the fields were.
  QCOMPARE(Rgb(w.BackBuffer(), 150, RowTop(w, 0) + 8), Rgb(255, 255, 255));
  QCOMPARE(Rgb(w.ScreenImage(), 150, RowTop(w, 0) + 8), Rgb(255, 255, 255));
}

// The difference column of each row, as painted, is the text it should show: the row strip's
// colour with the text drawn in the grid font at x 40, two pixels below the row's top. The
// reference is drawn apart from the window, so a swapped or misplaced text differs.
void GridPaintTest::DifferenceColumnNamesOneSidedRecords() {
  MainWindow& w = *window_;
  const QFontMetrics metrics(w.GridFont());
  auto reference = [&](const QString& text) {
    QImage image(45, RowHeight(w), QImage::Format_RGB32);
    image.fill(MainWindow::HeaderColor);
    QPainter p(&image);
    p.setFont(w.GridFont());
    p.setPen(Qt::black);
    p.drawText(0, 2 + metrics.ascent(), text);
    return image.copy(1, 1, 43, 14);
  };
  auto painted = [&](int k) { return w.BackBuffer().copy(41, RowTop(w, k) + 1, 43, 14); };
  // The two one-sided texts look different, so the comparison can tell them apart.
  QVERIFY(reference(korvel::Q("左のみ")) != reference(korvel::Q("右のみ")));
  QCOMPARE(painted(0), reference(QStringLiteral("   3")));
  QCOMPARE(painted(1), reference(QStringLiteral("   0")));
  QCOMPARE(painted(2), reference(korvel::Q("左のみ")));
  QCOMPARE(painted(3), reference(korvel::Q("右のみ")));
}

// In the left pane a cell that reaches past SplitX - 5 gets a box open on the right: its top
// and bottom edges end at SplitX - 5, and it has no right edge.
void GridPaintTest::CursorBoxIsLeftOpenAtTheSplitter() {
  MainWindow& w = *window_;
  // The last field's border in the left pane dragged past the splitter.
  const MainWindow::ViewState v = w.View();
  const int last = 4;
  const int e = v.leftX[last] + v.widths[last] - 1;
  QVERIFY(e + 1 < v.splitX);
  QTest::mousePress(w.paiMain(), Qt::LeftButton, Qt::NoModifier, QPoint(e, 10));
  QCOMPARE(w.View().resizeTarget, last);
  QTest::mouseMove(w.paiMain(), QPoint(v.splitX + 40, 10));
  QTest::mouseRelease(w.paiMain(), Qt::LeftButton, Qt::NoModifier, QPoint(v.splitX + 40, 10));
  const int x = FieldX(w, last, 1);
  QVERIFY(x + FieldWidth(w, last) > v.splitX);
  // The cursor on that cell of row 1, in the left pane.
  QTest::mouseClick(w.paiMain(), Qt::LeftButton, Qt::NoModifier, QPoint(x + 5, RowTop(w, 1) + 8));
  QCOMPARE(QPoint(w.View().curCol, w.View().curRow), QPoint(last, 1));
  QCOMPARE(w.View().curSide, 1);
  const int end = v.splitX - 5;
  const int top = RowTop(w, 1);
  const QColor green(0, 255, 0);
  QVERIFY(XoredWith(w, x - 2, top + 8, green));  // the left edge
  for (int y : {top, top + 1, top + RowHeight(w) - 1, top + RowHeight(w)}) {
    QVERIFY(XoredWith(w, end, y, green));
    QVERIFY(Untouched(w, end + 1, y));
  }
  for (int dx = 0; dx < 4; ++dx) QVERIFY(Untouched(w, end - dx, top + 8));  // no right edge
  // Its header cell is inverted to the same end.
  QVERIFY(XoredWith(w, end, 10, QColor(30, 30, 30)));
  QVERIFY(Untouched(w, end + 1, 10));
}

// Fields paired by name (項目名で対応付け): a field that one file lacks shows its values on
// its own side and an empty grey cell on the other, and never the colour of a difference.
void GridPaintTest::OneSidedFieldsAreGreyOnTheMissingSide() {
  MainWindow& w = *window_;
  auto dialogs = std::make_unique<ScriptedChainDialogs>();
  const std::string left = dir_.Write("ln.csv", Lines({"k,a,b", "1,xxxx,y", "2,pppp,q"}));
  const std::string right = dir_.Write("rn.csv", Lines({"k,b,c", "1,y,cccc", "3,r,rrrr"}));
  dialogs->selectFiles = [&](korvel::CompareSettings& s) {
    s.FileKind = korvel::kFileKindCsv;
    s.TopRowNames = true;
    s.MatchNames = true;
    s.PathL = left;
    s.PathR = right;
    return true;
  };
  dialogs->controlFields = [](korvel::FieldGrid& grid) {
    grid.Toggle(1, korvel::FieldGrid::kKey);
    return 1;
  };
  InstallScript(w, std::move(dialogs));
  w.Action("mnuFileOpen")->trigger();
  // Shown: k (the key), a (left only), b, c (right only); records 1, 2 (left), 3 (right).
  QCOMPARE(FieldCount(w), 4);
  QCOMPARE(w.Session().Fields()[1].FieldNoRight, korvel::kNoFieldNo);
  QCOMPARE(w.Session().Fields()[3].FieldNoLeft, korvel::kNoFieldNo);
  QCOMPARE(ShownRows(w), 3);
  QCOMPARE(Status(w, 0), 0);

  const QImage& g = w.BackBuffer();
  auto cell = [&](int field, int pane, int k) {
    return QRect(FieldX(w, field, pane) + 1, RowTop(w, k) + 1, FieldWidth(w, field) - 2, 14);
  };
  auto at = [&](int field, int pane, int k) {
    const QRect c = cell(field, pane, k);
    return Rgb(g, c.right() - 4, c.top() + 7);
  };
  const QRgb white = Rgb(255, 255, 255);
  const QRgb grey = Rgb(200, 200, 200);
  struct Expect {
    int field, pane, row;
    QRgb colour;
    bool text;
  };
  const Expect expected[] = {
      {1, 1, 0, white, true},
      {1, 2, 0, grey, false},  // a: left only
      {3, 1, 0, grey, false},
      {3, 2, 0, white, true},  // c: right only
      {2, 1, 0, white, true},
      {2, 2, 0, white, true},  // b: on both sides, equal
      {1, 1, 1, white, true},
      {1, 2, 1, grey, false},  // a on the left-only record
      {3, 1, 2, grey, false},
      {3, 2, 2, white, true},                           // c on the right-only record
      {2, 1, 1, Rgb(MainWindow::LeftDiffColor), true},  // b on it: a one-sided record
  };
  for (const Expect& e : expected) {
    const QString where =
        QStringLiteral("field %1 pane %2 row %3").arg(e.field).arg(e.pane).arg(e.row);
    QVERIFY2(at(e.field, e.pane, e.row) == e.colour, qPrintable(where));
    QVERIFY2(AnyDarkPixel(g, cell(e.field, e.pane, e.row)) == e.text, qPrintable(where));
  }
}

// Texts with descenders, commas and brackets, in cells, in the row-number strip and in the
// detail line: every glyph lies whole inside its row or band (drawn at its top + 2, it ends
// above the line at its bottom), and the cell shows exactly the text drawn apart from the
// window, so nothing of it is covered by the row line or by the next row.
void GridPaintTest::TextsFitTheirRowsAndBands() {
  MainWindow& w = *window_;
  const std::vector<std::string> rows = {"ID,Text,Memo", "1,gypsy jump query (Qj),\"p,q;y\"",
                                         "2,\"g, j, y\",(Qj)", "3,jjj,ggg"};
  QVERIFY(CompareInWindow(w, dir_, Lines(rows), Lines(rows), {{1}, {}, {}}, true));
  const MainWindow::ViewState v = w.View();
  const int rh = v.rows.rowHeight;
  const QFont& font = w.GridFont();
  const QImage& g = w.BackBuffer();
  const QString texts[3][3] = {{Q("1"), Q("gypsy jump query (Qj)"), Q("p,q;y")},
                               {Q("2"), Q("g, j, y"), Q("(Qj)")},
                               {Q("3"), Q("jjj"), Q("ggg")}};
  int checked = 0;
  for (int k = 0; k < 3; ++k) {
    for (int j = 0; j < 3; ++j) {
      for (int pane : {1, 2}) {
        const int x = FieldX(w, j, pane);
        // The column's line is its last pixel; the key block's separator takes five.
        const int width = FieldWidth(w, j) - (j == 0 ? 5 : 1);
        const int paneRight = pane == 1 ? v.splitX - 6 : w.paiMain()->width();
        if (x == 0 || x + width > paneRight) continue;
        const QImage drawn =
            TextImage(font, texts[k][j], QSize(width, 2 * rh), Qt::white, Qt::black, 0, 2);
        QVERIFY2(LowestInk(drawn, Qt::white) <= rh - 2, qPrintable(texts[k][j]));
        QCOMPARE(g.copy(x, RowTop(w, k) + 1, width, rh - 1), drawn.copy(0, 1, width, rh - 1));
        ++checked;
      }
    }
  }
  QVERIFY(checked >= 12);

  // The detail line of the cursor's cell: its status on the dark band, the two texts on
  // theirs (equal texts: no difference bands).
  QTest::keyClick(w.scr_Tab(), Qt::Key_Right);
  QCOMPARE(w.View().curCol, 1);
  const QImage& screen = w.ScreenImage();
  const int width = w.paiMain()->width();
  const int t = w.paiMain()->height() - v.rows.detailHeight;
  QCOMPARE(v.rows.detailHeight, 3 * rh + 2);
  const QImage status = TextImage(font, Q("詳細(列:Text, 行:1, 相違:0)"), QSize(width, 2 * rh),
                                  QColor(50, 50, 50), QColor(250, 250, 250), 10, 2);
  QVERIFY(LowestInk(status, QColor(50, 50, 50)) <= rh - 2);
  QCOMPARE(screen.copy(0, t, width, rh), status.copy(0, 0, width, rh));
  for (int side = 0; side < 2; ++side) {
    QImage band = TextImage(font, side == 0 ? Q("左:") : Q("右:"), QSize(width, 2 * rh), Qt::white,
                            Qt::black, 10, 0);
    {
      QPainter p(&band);
      p.setFont(font);
      p.drawText(50, QFontMetrics(font).ascent(), texts[0][1]);
    }
    QVERIFY(LowestInk(band, Qt::white) <= rh - 1);
    QCOMPARE(screen.copy(0, t + (side + 1) * rh, width, rh), band.copy(0, 0, width, rh));
  }
}

// A name wider than its column is cut at the column's edges: it shows its beginning there
// and leaves the neighbouring header cells as they are.
void GridPaintTest::HeaderNamesStayInTheirColumns() {
  MainWindow& w = *window_;
  const std::string longName = "顧客番号コード長い名前";
  QVERIFY(CompareInWindow(w, dir_, Lines({Cat(S(longName), ",Text"), "1,abc", "2,def"}),
                          Lines({Cat(S(longName), ",Text"), "1,abc", "2,dXf"}), {{1}, {}, {}},
                          true));
  // Column widths allow for names, so the key's column is narrowed by its border first: the
  // last key's width becomes the release position minus (its left edge + 10).
  const int keyEnd = w.View().keyEndX;
  QTest::mousePress(w.paiMain(), Qt::LeftButton, Qt::NoModifier, QPoint(keyEnd, RowTop(w, 1)));
  QTest::mouseMove(w.paiMain(), QPoint(85 + 10 + 60, RowTop(w, 1)));
  QTest::mouseRelease(w.paiMain(), Qt::LeftButton, Qt::NoModifier,
                      QPoint(85 + 10 + 60, RowTop(w, 1)));
  const MainWindow::ViewState v = w.View();
  QCOMPARE(v.widths[0], 60);
  const QFont& font = w.GridFont();
  const QFontMetrics metrics(font);
  const int header = v.rows.headerHeight;
  const int x = v.leftX[0];
  const int width = v.widths[0];
  QCOMPARE(x, 85);
  QVERIFY(metrics.horizontalAdvance(Q(longName.c_str())) > width);
  const QImage& g = w.BackBuffer();
  // The key's header cell: the name from its left edge, drawn 4 pixels down.
  const QImage name = TextImage(font, Q(longName.c_str()), QSize(width, header),
                                MainWindow::HeaderColor, Qt::black, 0, 4);
  // (Its first pixel holds the white half of the line before it, its last six the key
  // block's separator.)
  QCOMPARE(g.copy(x + 1, 1, width - 7, header - 1), name.copy(1, 1, width - 7, header - 1));
  // Left of it, between "相違" and the strip's line, and right of it, up to where the next
  // name begins in both panes: nothing but the header's colour.
  const int diffEnd = 40 + (45 + metrics.horizontalAdvance(Q("相違"))) / 2;
  QVERIFY(AllOf(g, QRect(diffEnd + 1, 1, 83 - diffEnd, header - 1), MainWindow::HeaderColor));
  const int textStart = v.leftX[1] + (v.widths[1] - metrics.horizontalAdvance(Q("Text"))) / 2;
  QVERIFY(AllOf(g, QRect(x + width + 1, 2, textStart - x - width - 2, header - 2),
                MainWindow::HeaderColor));
}

// With the splitter moved left, the left pane's last field (a long text) reaches across
// the right pane, beyond the right pane's last column: none of it may show there, nor in
// the right pane's cells.
void GridPaintTest::PanesClipTheirCellsToTheirArea() {
  MainWindow& w = *window_;
  std::string memo;
  for (int i = 0; i < 8; ++i) memo += "long memo ";
  QVERIFY(CompareInWindow(w, dir_, Lines({"ID,Text,Memo", Cat("1,abc,", memo), "2,abc,x"}),
                          Lines({"ID,Text,Memo", "1,abc,s", "2,abc,x"}), {{1}, {}, {}}, true));
  MainWindow::ViewState v = w.View();
  const int split = v.splitX;
  const int target = v.leftX[2] + 30;
  QTest::mousePress(w.paiMain(), Qt::LeftButton, Qt::NoModifier, QPoint(split, RowTop(w, 1)));
  QTest::mouseMove(w.paiMain(), QPoint(target, RowTop(w, 1)));
  QTest::mouseRelease(w.paiMain(), Qt::LeftButton, Qt::NoModifier, QPoint(target, RowTop(w, 1)));
  v = w.View();
  QCOMPARE(v.splitX, target);
  QVERIFY(v.leftX[2] != 0 && v.leftX[2] < v.splitX);  // the memo is the left pane's last
  const int rightEnd = v.rightX[2] + v.widths[2];
  const int width = w.paiMain()->width();
  QVERIFY(rightEnd + 50 < width);
  const int top = RowTop(w, 0);
  const int rh = v.rows.rowHeight;
  // The memo as the left pane would draw it unclipped does reach there.
  const QImage unclipped = TextImage(w.GridFont(), Q(memo.c_str()), QSize(width, rh), Qt::white,
                                     Qt::black, v.leftX[2], 2);
  QVERIFY(!AllOf(unclipped, QRect(rightEnd + 1, 1, width - rightEnd - 1, rh - 1), Qt::white));
  const QImage& g = w.BackBuffer();
  QVERIFY(AllOf(g, QRect(rightEnd + 1, top + 1, width - rightEnd - 1, rh - 1), Qt::white));
  // The right pane's memo cell holds its own text only: "s" on its colour.
  const QImage own = TextImage(w.GridFont(), Q("s"), QSize(v.widths[2] - 1, rh),
                               MainWindow::RightDiffColor, Qt::black, 0, 2);
  QCOMPARE(g.copy(v.rightX[2], top + 1, v.widths[2] - 1, rh - 1),
           own.copy(0, 1, v.widths[2] - 1, rh - 1));
  // The left pane still shows the memo up to its separator.
  QVERIFY(AnyDarkPixel(g, QRect(v.leftX[2], top + 2, v.splitX - 7 - v.leftX[2], rh - 3)));
}

// Bytes that the Shift-JIS tables leave undefined show and copy as the engine decodes them:
// 0x80, 0xA0 and 0xFD to 0xFF as the Windows code page's own characters, and a lead byte
// whose next byte cannot follow it as U+FFFD, with that next byte kept.
void GridPaintTest::UndefinedShiftJisBytesShowAsDecoded() {
  MainWindow& w = *window_;
  const std::string line =
      "1,\x80,\xA0,\xFD\xFE\xFF,a\x81"
      "0b";
  QVERIFY(CompareInWindow(w, dir_, Lines({line}), Lines({line}), {{1}, {}, {}}));
  const QString expected[] = {QString(QChar(0x0080)), QString(QChar(0xF8F0)),
                              QString(QChar(0xF8F1)) + QChar(0xF8F2) + QChar(0xF8F3),
                              QStringLiteral("a") + QChar(0xFFFD) + QStringLiteral("0b")};
  const MainWindow::ViewState v = w.View();
  const int rh = v.rows.rowHeight;
  const QImage& g = w.BackBuffer();
  for (int j = 1; j <= 4; ++j) {
    const QString& text = expected[j - 1];
    const int width = v.widths[static_cast<std::size_t>(j)] - 1;
    const QImage drawn =
        TextImage(w.GridFont(), text, QSize(width, rh), Qt::white, Qt::black, 0, 2);
    QCOMPARE(g.copy(FieldX(w, j, 2), RowTop(w, 0) + 1, width, rh - 1),
             drawn.copy(0, 1, width, rh - 1));
    // The cell under the cursor, copied.
    QTest::mouseClick(w.paiMain(), Qt::LeftButton, Qt::NoModifier,
                      QPoint(FieldX(w, j, 1) + 3, RowTop(w, 0) + 5));
    QCOMPARE(w.View().curCol, j);
    QGuiApplication::clipboard()->clear();
    QTest::keyClick(w.scr_Tab(), Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(QGuiApplication::clipboard()->text(), text + QStringLiteral("\r\n"));
  }
  // The swallowed byte would have shown: the two readings look different.
  const QImage swallowed =
      TextImage(w.GridFont(), QStringLiteral("a") + QChar(0xFFFD) + QStringLiteral("b"),
                QSize(60, rh), Qt::white, Qt::black, 0, 2);
  QVERIFY(swallowed !=
          TextImage(w.GridFont(), expected[3], QSize(60, rh), Qt::white, Qt::black, 0, 2));
}

QTEST_MAIN(GridPaintTest)
// The first and the last pixel column in [from, to) of `image`'s rows [top, bottom) that
// hold ink (dark pixels); {-1, -1} when none does.
std::pair<int, int> InkSpan(const QImage& image, int from, int to, int top, int bottom) {
  std::pair<int, int> span{-1, -1};
  for (int x = from; x < to; ++x) {
    bool ink = false;
    for (int y = top; y < bottom && !ink; ++y) ink = qGray(image.pixel(x, y)) < 100;
    if (!ink) continue;
    if (span.first < 0) span.first = x;
    span.second = x;
  }
  return span;
}

// A key's name shows every stroke of its glyphs: its ink in the header cell spans as wide as
// the name drawn alone in the grid font, and stops clear of the double line that ends the
// keys.
void GridPaintTest::KeyHeadersShowTheirGlyphsWhole() {
  MainWindow& w = *window_;
  const char* const names[] = {"社員番号", "部署", "ＩＤ番号１"};
  for (const char* name : names) {
    QVERIFY(CompareInWindow(w, dir_, Lines({Cat(S(name), ",v"), "1001,a"}),
                            Lines({Cat(S(name), ",v"), "1001,b"}), {{1}, {}, {}}, true));
    // On the header's own grey, so that the glyphs' soft edges come out alike.
    QImage alone(200, 40, QImage::Format_RGB32);
    alone.fill(MainWindow::HeaderColor);
    {
      QPainter p(&alone);
      p.setFont(w.GridFont());
      p.setPen(Qt::black);
      p.drawText(10, 25, Q(name));
    }
    const auto [aloneFirst, aloneLast] = InkSpan(alone, 0, alone.width(), 0, alone.height());
    QVERIFY(aloneFirst >= 0);
    const int lastPixel = korvel::kRowHeaderWidth + FieldWidth(w, 0) - 1;
    // The header band above its bottom line; the double line takes the column's last 6 pixels.
    const auto [first, last] = InkSpan(w.BackBuffer(), korvel::kRowHeaderWidth, lastPixel - 5, 2,
                                       w.View().rows.headerHeight - 1);
    QVERIFY2(first >= 0, name);
    // A pixel either way for where the glyphs fall between pixels.
    QVERIFY2(last - first >= aloneLast - aloneFirst - 1, name);
    QVERIFY2(last < lastPixel - 6, name);
  }
}

#include "MainWindowPaint_test.moc"
