// The window's time to a painted result beside the batch front end's on the same files:
// from the 比較実行 confirmation of the field-control dialog to the end of the result
// grid's first paint, then korvel-cli --key 1 on the same pair.
//
//   bench_window [records] [folder]
//
// Two generated CSV files of `records` records (default 1,000,000) x 10 fields, keyed
// on field 1: the right side in another order, about 1% of its cells changed, 0.5% of the
// records removed and 0.5% added. Runs on the offscreen platform unless QT_QPA_PLATFORM
// says otherwise. korvel-cli is looked for beside this program.

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QMenuBar>
#include <QProcess>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <numeric>
#include <random>
#include <string>
#include <vector>

#include "compare/FieldGrid.h"
#include "mainwindow/MainWindow.h"
#include "mainwindow/SetUpCommands.h"
#include "platform/Notifier.h"
#include "qt/QtNotifier.h"

namespace {

std::string Record(int id, std::mt19937& rng, bool changed) {
  char cell[32];
  std::snprintf(cell, sizeof cell, "ID%08d", id);
  std::string line = cell;
  for (int f = 2; f <= 10; ++f) {
    unsigned v = static_cast<unsigned>(id) * 2654435761u + static_cast<unsigned>(f) * 40503u;
    if (changed && rng() % 100 == 0) v ^= 0xA5A5A5A5u;
    std::snprintf(cell, sizeof cell, ",%08x", v);
    line += cell;
  }
  line += "\r\n";
  return line;
}

void WriteFile(const std::string& path, const std::vector<int>& ids, std::mt19937& rng,
               bool changed) {
  std::ofstream out(path, std::ios::binary);
  std::string block;
  for (int id : ids) {
    block += Record(id, rng, changed);
    if (block.size() > (1 << 20)) {
      out << block;
      block.clear();
    }
  }
  out << block;
}

// The file-open command's dialogs answered without windows: the two files as CSV, field 1
// the key. Confirming the field control is the 比較実行 click; the clock starts there.
class BenchDialogs : public korvel::ChainDialogs {
 public:
  BenchDialogs(std::string left, std::string right, QElapsedTimer& clock)
      : left_(std::move(left)), right_(std::move(right)), clock_(clock) {}
  int SelectFiles(korvel::CompareSettings& settings) override {
    if (asked_++ > 0) return 0;
    settings.FileKind = korvel::kFileKindCsv;
    settings.PathL = left_;
    settings.PathR = right_;
    return 1;
  }
  int DefineFixedLength(const std::string&, int, bool) override { return 0; }
  int ControlFields(korvel::FieldGrid& grid) override {
    grid.Toggle(1, korvel::FieldGrid::kKey);
    clock_.start();
    return 1;
  }
  int ReGridFields(korvel::FieldGrid&) override { return 0; }

 private:
  std::string left_, right_;
  QElapsedTimer& clock_;
  int asked_ = 0;
};

// Notes the first paint of the result grid that happens once the window holds a result.
class PaintWatch : public QObject {
 public:
  explicit PaintWatch(korvel::MainWindow& w) : w_(w) {}
  bool painted = false;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Paint && !w_.Session().ViewPairs().empty()) painted = true;
    return QObject::eventFilter(watched, event);
  }

 private:
  korvel::MainWindow& w_;
};

}  // namespace

int main(int argc, char* argv[]) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  const int records = argc > 1 ? std::atoi(argv[1]) : 1000000;
  const std::string folder = argc > 2 ? argv[2] : "/tmp";
  const std::string left = folder + "/bench_window_left.csv";
  const std::string right = folder + "/bench_window_right.csv";
  std::mt19937 rng(1);
  std::vector<int> ids(static_cast<std::size_t>(records));
  std::iota(ids.begin(), ids.end(), 0);
  std::shuffle(ids.begin(), ids.end(), rng);
  std::vector<int> other;
  other.reserve(ids.size() + ids.size() / 100);
  for (int id : ids) {
    if (rng() % 200 != 0) other.push_back(id);
    if (rng() % 200 == 0) other.push_back(records + id);
  }
  std::shuffle(other.begin(), other.end(), rng);
  WriteFile(left, ids, rng, false);
  WriteFile(right, other, rng, true);

  korvel::RecordingNotifier notifier;
  korvel::ScopedNotifier scoped(&notifier);
  korvel::MainWindow w;
  w.show();
  w.resize(1280, 800);
  QApplication::processEvents();

  QElapsedTimer clock;
  PaintWatch watch(w);
  w.paiMain()->installEventFilter(&watch);
  korvel::InstallSetUpCommands(w, std::make_unique<BenchDialogs>(left, right, clock));
  w.Action("mnuFileOpen")->trigger();
  while (!watch.painted && !w.Session().ViewPairs().empty() && clock.elapsed() < 600000) {
    QApplication::processEvents(QEventLoop::AllEvents, 50);
  }
  const double windowSeconds = static_cast<double>(clock.nsecsElapsed()) / 1e9;
  if (w.Session().ViewPairs().empty() || !watch.painted) {
    std::fprintf(stderr, "the window shows no result\n");
    return 1;
  }
  const std::size_t pairs = w.Session().ViewPairs().size();

  const QString cli = QCoreApplication::applicationDirPath() + QStringLiteral("/korvel-cli");
  QProcess process;
  process.setStandardOutputFile(QProcess::nullDevice());
  process.setStandardErrorFile(QProcess::nullDevice());
  QElapsedTimer cliClock;
  cliClock.start();
  process.start(cli, {QStringLiteral("--key"), QStringLiteral("1"), QString::fromStdString(left),
                      QString::fromStdString(right)});
  const bool ran = process.waitForFinished(-1) && process.exitStatus() == QProcess::NormalExit;
  const double cliSeconds = static_cast<double>(cliClock.nsecsElapsed()) / 1e9;

  std::printf("%d records x 10 fields per side, %zu pairs shown\n", records, pairs);
  std::printf("window, 比較実行 to the first paint: %.3f s\n", windowSeconds);
  if (ran) {
    std::printf("korvel-cli --key 1 (exit %d):     %.3f s\n", process.exitCode(), cliSeconds);
    std::printf("window / CLI: %.2f (target at most 1.10)\n", windowSeconds / cliSeconds);
  } else {
    std::printf("korvel-cli did not run: %s\n", process.errorString().toStdString().c_str());
  }
  if (std::getenv("BENCH_KEEP") == nullptr) {
    std::remove(left.c_str());
    std::remove(right.c_str());
  }
  return ran ? 0 : 1;
}
