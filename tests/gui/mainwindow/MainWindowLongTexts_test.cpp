// Long texts in the window: the detail line scrolls to the first difference of the cursor's
// cell, and header names widen their columns so that key headers are not cut.

#include <QtTest>

#include "gui/GridTestUtil.h"
#include "platform/Notifier.h"
#include "qt/QtText.h"

using korvel::MainWindow;
using namespace korvel::test;

class LongTextsTest : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void initTestCase() { scope_.Begin(notifier_); }
  void cleanupTestCase() { scope_.End(); }
  void init() { QVERIFY(ShowNewWindow(window_)); }
  void cleanup() { window_.reset(); }
  void DetailLineShowsTheFirstDifferenceNearItsLeftEdge();
  void HeaderNamesWidenTheirColumns();

 private:
  WindowTestScope scope_;
  TempDir dir_;
  korvel::RecordingNotifier notifier_;
  std::unique_ptr<MainWindow> window_;
};

void LongTextsTest::DetailLineShowsTheFirstDifferenceNearItsLeftEdge() {
  MainWindow& w = *window_;
  // Field 2 of each row differs first at column `at` (from 0), by one character; the texts
  // are 300 characters long, far wider than the line.
  const int firsts[] = {3, 10, 11, 200, 290};
  std::vector<std::string> left, right;
  for (int i = 0; i < 5; ++i) {
    std::string l(300, 'a'), r(300, 'a');
    r[static_cast<std::size_t>(firsts[i])] = 'b';
    left.push_back(Cat(std::to_string(i), ",", l));
    right.push_back(Cat(std::to_string(i), ",", r));
  }
  QVERIFY(CompareInWindow(w, dir_, Lines(left), Lines(right), {{1}, {}, {}}));
  QCOMPARE(ShownRows(w), 5);
  const int cw = w.View().charWidth;
  const int t = w.paiMain()->height() - w.View().rows.detailHeight;
  const int band = w.View().rows.rowHeight;
  QVERIFY(cw > 0);
  QVERIFY(50 + 300 * cw > w.paiMain()->width());  // the texts do not fit
  QTest::keyClick(w.scr_Tab(), Qt::Key_Right);
  QCOMPARE(w.View().curCol, 1);
  const QRgb white = Rgb(255, 255, 255);
  for (int i = 0; i < 5; ++i) {
    if (i > 0) QTest::keyClick(w.scr_Tab(), Qt::Key_Down);
    QCOMPARE(w.View().curRow, i);
    // The band's column on the line: where it is, or ten columns in once it is further.
    const int shown = std::min(firsts[i], 10);
    const QImage& screen = w.ScreenImage();
    const int x = 50 + shown * cw;
    QCOMPARE(Rgb(screen, x + 1, t + band + 1), Rgb(MainWindow::LeftDiffColor));
    QCOMPARE(Rgb(screen, x + 1, t + 2 * band + 1), Rgb(MainWindow::RightDiffColor));
    QCOMPARE(Rgb(screen, x + cw - 1, t + band + 1), Rgb(MainWindow::LeftDiffColor));
    // One band only: the columns beside it are white.
    QCOMPARE(Rgb(screen, x - 1, t + band + 1), white);
    QCOMPARE(Rgb(screen, x + cw + 1, t + band + 1), white);
    // The text is drawn from the line's start, scrolled or not.
    bool dark = false;
    for (int px = 50; px < 50 + cw && !dark; ++px) {
      for (int py = t + band + 1; py < t + 2 * band - 1 && !dark; ++py)
        dark = qGray(screen.pixel(px, py)) < 128;
    }
    QVERIFY(dark);
  }
  QVERIFY(notifier_.Entries().empty());
}

void LongTextsTest::HeaderNamesWidenTheirColumns() {
  MainWindow& w = *window_;
  // A name line: the key's name is much longer than its values, the second field's shorter.
  const std::string keyName = "EMPLOYEE_NUMBER_CODE";  // 20 characters
  QVERIFY(CompareInWindow(w, dir_, Lines({Cat(keyName, ",NAME"), "1,abcdefghijklmnopqrstuvwxyz"}),
                          Lines({Cat(keyName, ",NAME"), "1,abcdefghijklmnopqrstuvwxyz"}),
                          {{1}, {}, {}}, true));
  const MainWindow::ViewState v = w.View();
  QCOMPARE(v.widths.size(), std::size_t{2});
  // The name, not the one-character cells: its glyphs, a pixel either side and the last key's
  // end line (6 pixels).
  QCOMPARE(v.widths[0], 20 * v.charWidth + 3 + 6);
  QCOMPARE(v.widths[1], std::min(27 * v.charWidth, 200));  // the cells, longer than NAME
  // The name stays inside the key's column: its last letters lie left of the border, and the
  // header right of the border stays clear up to NAME, which is centred in a wide column.
  const QImage& g = w.BackBuffer();
  const int border = 85 + v.widths[0] - 1;
  auto dark = [&g](int fromX, int toX) {
    for (int x = fromX; x < toX; ++x) {
      for (int y = 3; y < 18; ++y) {
        if (qGray(g.pixel(x, y)) < 100) return true;
      }
    }
    return false;
  };
  QVERIFY(dark(border - 2 * v.charWidth, border - 1));
  QVERIFY(!dark(border + 4, border + 4 + 3 * v.charWidth));
}

QTEST_MAIN(LongTextsTest)
#include "MainWindowLongTexts_test.moc"
