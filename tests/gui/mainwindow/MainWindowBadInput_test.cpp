// Awkward cell texts paint cleanly: a TAB inside a cell, 500-byte cells, half-width
// katakana, a code without a Unicode form, a lead byte with no second byte, and a field
// whose name is empty.

#include <QtTest>

#include "gui/GridTestUtil.h"
#include "platform/Codepage.h"
#include "platform/Notifier.h"

using korvel::MainWindow;
using namespace korvel::test;

namespace {

int DarkPixels(const QImage& image, const QRect& area) {
  int n = 0;
  for (int y = area.top(); y <= area.bottom(); ++y) {
    for (int x = area.left(); x <= area.right(); ++x) n += qGray(image.pixel(x, y)) < 128;
  }
  return n;
}

}  // namespace

class BadInputPaintTest : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void initTestCase() { scope_.Begin(notifier_); }
  void cleanupTestCase() { scope_.End(); }
  void AwkwardCellsPaintWithoutGarbage();

 private:
  WindowTestScope scope_;
  TempDir dir_;
  korvel::RecordingNotifier notifier_;
};

void BadInputPaintTest::AwkwardCellsPaintWithoutGarbage() {
  MainWindow w;
  w.show();
  QVERIFY(QTest::qWaitForWindowExposed(&w));
  const std::string big(500, 'W');
  std::string kanji;
  for (int i = 0; i < 250; ++i) kanji += korvel::Sjis("表");
  // Header: the third name is empty. Field 4 holds an undefined double-byte code (0x85 0x40)
  // and a lead byte whose second byte is the line end.
  const std::string header = "K,name,,odd";
  const std::string left =
      Lines({header, "1,\"a\tb\"," + big + ",\x85\x40", "2,\xB1\xB2\xB3," + kanji + ",z\x82"});
  const std::string right = Lines(
      {header, "1,\"a\tb\"," + big.substr(0, 499) + "X,\x85\x41", "2,\xB1\xB2," + kanji + ",z"});
  QVERIFY(CompareInWindow(w, dir_, left, right, {{1}, {}, {}}, true));
  QVERIFY(notifier_.Entries().empty());
  QCOMPARE(ShownRows(w), 2);

  // Walk the cursor over every cell of both rows and panes; each move repaints the detail
  // line with the cell's two texts and their difference bands.
  for (int side = 0; side < 2; ++side) {
    for (int row = 0; row < 2; ++row) {
      QTest::keyClick(w.scr_Tab(), Qt::Key_Home);
      for (int col = 0; col < 4; ++col) QTest::keyClick(w.scr_Tab(), Qt::Key_Right);
      QTest::keyClick(w.scr_Tab(), Qt::Key_Down);
    }
    QTest::keyClick(w.scr_Tab(), Qt::Key_Up);
    QTest::keyClick(w.scr_Tab(), Qt::Key_Up);
  }
  QTest::keyClick(w.scr_Tab(), Qt::Key_End);
  QCOMPARE(w.View().curCol, 3);

  const QImage& g = w.BackBuffer();
  // The empty name leaves its header cell blank; a named one shows its text.
  const MainWindow::ViewState v = w.View();
  const int namedX = v.leftX[1], namedWidth = v.widths[1];
  const int unnamedX = v.leftX[2], unnamedWidth = v.widths[2];
  QCOMPARE(DarkPixels(g, QRect(unnamedX + 2, 2, unnamedWidth - 4, 16)), 0);
  QVERIFY(DarkPixels(g, QRect(namedX + 2, 2, namedWidth - 4, 16)) > 0);
  // The half-width katakana and the long cells show text; nothing is drawn past the grid's
  // last row.
  QVERIFY(DarkPixels(g, QRect(namedX + 2, RowTop(w, 1) + 2, namedWidth - 4, 12)) > 0);
  QVERIFY(DarkPixels(g, QRect(unnamedX + 2, RowTop(w, 0) + 2, unnamedWidth - 4, 12)) > 0);
  QCOMPARE(DarkPixels(g, QRect(90, RowTop(w, 3) + 2, w.paiMain()->width() - 100, 30)), 0);
}

QTEST_MAIN(BadInputPaintTest)
#include "MainWindowBadInput_test.moc"
