// Painting speed of the result grid: compares two generated files of N records x 10
// fields (default 1,000,000), shows the result in a 1920 x 1080 paint box and reports the
// milliseconds of a full repaint and of a cursor move (which must not repaint the grid).
// Targets: under 16 ms and under 2 ms. The same again with the 項目別相違件数 panel open beside
// the grid (the paint box kept at 1920 x 1080): within 10% of the figures without it; and the
// panel filled with 10,000 fields and painted: under 100 ms.
// Usage: bench_paint [records] [folder]

#include <QAction>
#include <QApplication>
#include <QKeyEvent>
#include <QMenuBar>
#include <QScrollBar>
#include <QStatusBar>
#include <QToolBar>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "compare/FieldGrid.h"
#include "mainwindow/FieldSummaryPanel.h"
#include "mainwindow/MainWindow.h"
#include "mainwindow/SetUpCommands.h"
#include "platform/Notifier.h"
#include "qt/QtNotifier.h"

namespace {

using Clock = std::chrono::steady_clock;

double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

// Every seventh record differs in one field, every 1000th is one-sided.
void WriteFile(const std::string& path, long records, bool right) {
  std::ofstream out(path, std::ios::binary);
  std::string line;
  for (long r = 0; r < records; ++r) {
    if (r % 1000 == 999 && (r / 1000) % 2 == (right ? 1 : 0)) continue;
    line = std::to_string(1000000 + r);
    for (int f = 1; f < 10; ++f) {
      line += ',';
      line += "value";
      line += std::to_string((r * 7 + f) % 997);
      if (right && r % 7 == 0 && f == 1 + r % 9) line += 'x';
    }
    line += "\r\n";
    out << line;
  }
}

void SendKey(korvel::MainWindow& w, int key) {
  QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
  QApplication::sendEvent(w.scr_Tab(), &press);
}

// The file-open command's dialogs, answered without windows: the two files, keyed on the
// first field.
class BenchDialogs : public korvel::ChainDialogs {
 public:
  BenchDialogs(std::string left, std::string right)
      : left_(std::move(left)), right_(std::move(right)) {}
  int SelectFiles(korvel::CompareSettings& settings) override {
    if (asked_++ > 0) return 0;
    settings.PathL = left_;
    settings.PathR = right_;
    return 1;
  }
  int DefineFixedLength(const std::string&, int, bool) override { return 0; }
  int ControlFields(korvel::FieldGrid& grid) override {
    grid.Toggle(1, korvel::FieldGrid::kKey);
    return 1;
  }
  int ReGridFields(korvel::FieldGrid&) override { return 0; }

 private:
  std::string left_, right_;
  int asked_ = 0;
};

// Grows the window until the paint box is 1920 x 1080.
void SizePaintBox(korvel::MainWindow& w) {
  for (int i = 0; i < 3; ++i) {
    w.resize(w.width() + 1920 - w.paiMain()->width(), w.height() + 1080 - w.paiMain()->height());
    QApplication::processEvents();
  }
}

struct Figures {
  double repaintMs = 0;
  double moveMs = 0;
};

Figures MeasurePainting(korvel::MainWindow& w) {
  Figures figures;
  // Every change of the row scroll bar's position paints the whole grid again.
  const int repeats = 30;
  Clock::time_point start = Clock::now();
  for (int i = 0; i < repeats; ++i) w.scr_Right()->setValue(1 - w.scr_Right()->value());
  figures.repaintMs = Ms(Clock::now() - start) / repeats;
  w.scr_Right()->setValue(0);

  // Cursor moves inside the shown page: the detail line and the overlays only.
  const int moves = 200;
  start = Clock::now();
  for (int i = 0; i < moves; ++i) SendKey(w, i % 2 == 0 ? Qt::Key_Down : Qt::Key_Up);
  figures.moveMs = Ms(Clock::now() - start) / moves;
  return figures;
}

// A panel of 10,000 fields, filled and painted once: milliseconds.
double PanelOfManyFields() {
  std::vector<korvel::ResultField> fields(10000);
  for (int j = 0; j < 10000; ++j) {
    korvel::ResultField& f = fields[static_cast<std::size_t>(j)];
    f.FieldNoLeft = f.FieldNoRight = f.ListNo = j + 1;
    f.DiffCount = (j * 7919) % 1000;
    f.SetName("FD" + std::to_string(j + 1));
  }
  korvel::FieldSummaryPanel panel(nullptr, korvel::MainWindow::LeftDiffColor);
  panel.resize(300, 900);
  const Clock::time_point start = Clock::now();
  panel.ShowResult(fields, std::string());
  panel.show();
  panel.List()->viewport()->repaint();
  QApplication::processEvents();
  return Ms(Clock::now() - start);
}

}  // namespace

int main(int argc, char* argv[]) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  const long records = argc > 1 ? std::atol(argv[1]) : 1000000;
  const std::string folder = argc > 2 ? argv[2] : "/tmp";
  const std::string left = folder + "/bench_paint_left.csv";
  const std::string right = folder + "/bench_paint_right.csv";
  WriteFile(left, records, false);
  WriteFile(right, records, true);

  korvel::RecordingNotifier notifier;
  korvel::ScopedNotifier scoped(&notifier);
  korvel::MainWindow w;
  w.show();
  // Grow the window until the paint box is 1920 x 1080.
  w.resize(1920 + 16, 1080 + 16 + w.menuBar()->sizeHint().height() + 28 + 20);
  QApplication::processEvents();
  w.resize(w.width() + 1920 - w.paiMain()->width(), w.height() + 1080 - w.paiMain()->height());
  QApplication::processEvents();

  korvel::InstallSetUpCommands(w, std::make_unique<BenchDialogs>(left, right));
  Clock::time_point start = Clock::now();
  w.Action("mnuFileOpen")->trigger();
  const double compareMs = Ms(Clock::now() - start);
  if (w.Session().ViewPairs().empty()) return 1;

  // Closed and open in turns, the best of five each, so that a busy machine disturbs both
  // alike.
  Figures closed{1e9, 1e9}, open{1e9, 1e9};
  for (int round = 0; round < 10; ++round) {
    const bool panel = round % 2 == 1;
    if (w.Action("mnuViewFieldSummary")->isChecked() != panel) {
      w.Action("mnuViewFieldSummary")->trigger();
      QApplication::processEvents();
      SizePaintBox(w);
    }
    const Figures f = MeasurePainting(w);
    Figures& best = panel ? open : closed;
    best.repaintMs = std::min(best.repaintMs, f.repaintMs);
    best.moveMs = std::min(best.moveMs, f.moveMs);
  }
  const double panelMs = PanelOfManyFields();

  std::printf("paint box %dx%d, %d pairs x %d fields (file-open command %.0f ms)\n",
              w.paiMain()->width(), w.paiMain()->height(),
              static_cast<int>(w.Session().ViewPairs().size()),
              static_cast<int>(w.Session().Fields().size()), compareMs);
  std::printf("full repaint: %.2f ms (target < 16)\n", closed.repaintMs);
  std::printf("cursor move:  %.3f ms (target < 2)\n", closed.moveMs);
  std::printf("with the field summary open (paint box %dx%d):\n", w.paiMain()->width(),
              w.paiMain()->height());
  std::printf("full repaint: %.2f ms (%+.1f%%, target within 10%%)\n", open.repaintMs,
              100.0 * (open.repaintMs - closed.repaintMs) / closed.repaintMs);
  std::printf("cursor move:  %.3f ms (%+.1f%%)\n", open.moveMs,
              100.0 * (open.moveMs - closed.moveMs) / closed.moveMs);
  std::printf("field summary of 10,000 fields filled and painted: %.1f ms (target < 100)\n",
              panelMs);
  std::remove(left.c_str());
  std::remove(right.c_str());
  return 0;
}
