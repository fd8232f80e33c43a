// Awkward cell texts paint cleanly: a TAB inside a cell, 500-byte cells, half-width
// katakana, a code without a Unicode form, a lead byte with no second byte, and a field
// whose name is empty.

#include <QMessageBox>
#include <QtTest>

#include "gui/GridTestUtil.h"
#include "gui/GuiTest.h"
#include "platform/Codepage.h"
#include "platform/Notifier.h"
#include "qt/QtNotifier.h"
#include "qt/QtText.h"

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
  void ReaderErrorsNameTheirFileOnTheBoxsSecondLine();

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

// The reader's text stays as it is; the box names the side and the file on the line after
// it, at the set-up (the field-control grid being filled) and in the run alike.
void BadInputPaintTest::ReaderErrorsNameTheirFileOnTheBoxsSecondLine() {
  korvel::QtNotifier boxes;
  korvel::ScopedNotifier scoped(&boxes);
  MainWindow w;
  w.show();
  QVERIFY(QTest::qWaitForWindowExposed(&w));
  const std::string good = Lines({"id,v", "1,a"});
  const std::string overLong = Lines({"id,v", "1," + std::string(501, 'x')});
  const struct {
    const char* what;
    std::string left, right;
    bool names;
    std::string text;  // the reader's own
    bool leftSide;
  } cases[] = {
      {"an unclosed quote at the set-up", Lines({"1,\"a", "2,b"}), good, false,
       "引用符が閉じられていません。(1行目)", true},
      {"an unclosed quote in the run", good, Lines({"id,v", "1,\"a", "2,b"}), true,
       "引用符が閉じられていません。(2行目)", false},
      {"an over-long cell", overLong, good, true, "bad\tl.csv\n2カラム-2行目でサイズオーバー",
       true},
  };
  int n = 0;
  for (const auto& c : cases) {
    // A TAB in a name is shown as '?' so that it cannot break the line.
    const std::string pathL = dir_.Write("bad\tl.csv", c.left);
    const std::string pathR = dir_.Write(Cat("r", std::to_string(++n), ".csv"), c.right);
    QStringList shown;
    WhenModalShown([&shown](QWidget* modal) {
      auto* box = qobject_cast<QMessageBox*>(modal);
      if (box) shown << box->text();
      if (box && box->button(QMessageBox::Ok)) {
        Click(box->button(QMessageBox::Ok));
      } else {
        modal->close();
      }
    });
    ComparePathsInWindow(w, pathL, pathR, {{}, {}, {}}, c.names);
    const std::string path = c.leftSide ? dir_.File("bad?l.csv") : pathR;
    QCOMPARE(shown, QStringList{korvel::Q(c.text.c_str()) + QLatin1Char('\n') +
                                QString::fromUtf8(Cat(c.leftSide ? "左: " : "右: ", path))});
  }
}

QTEST_MAIN(BadInputPaintTest)
#include "MainWindowBadInput_test.moc"
