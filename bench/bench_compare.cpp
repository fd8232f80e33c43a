// Times one comparison of two generated CSV files end to end and reports the peak memory.
//
//   bench_compare [records] [fields] [cell bytes] [folder]
//
// The left file holds `records` records of `fields` fields in shuffled key order; the
// right one the same records in another order with about 1% of cells changed, 0.5% of the
// records removed and 0.5% added. Field 1 is the key.

#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <numeric>
#include <random>
#include <string>
#include <vector>

#include "compare/CompareSession.h"
#include "platform/Codepage.h"
#include "platform/Notifier.h"

namespace {

int cellBytes = 8;

std::string Record(int id, int fields, std::mt19937& rng, bool changed) {
  char key[32];
  std::snprintf(key, sizeof key, "ID%08d", id);
  std::string line = key;
  for (int f = 2; f <= fields; ++f) {
    line += ',';
    unsigned v = static_cast<unsigned>(id) * 2654435761u + static_cast<unsigned>(f) * 40503u;
    if (changed && rng() % 10 == 0) v ^= 0xA5A5A5A5u;
    char cell[32];
    std::snprintf(cell, sizeof cell, "%08x", v);
    line.append(cell, static_cast<std::size_t>(cellBytes));
  }
  line += "\r\n";
  return line;
}

std::size_t WriteFile(const std::string& path, const std::vector<int>& ids, int fields,
                      std::mt19937& rng, bool changed) {
  std::ofstream out(path, std::ios::binary);
  std::string block;
  std::size_t total = 0;
  for (int id : ids) {
    block += Record(id, fields, rng, changed);
    if (block.size() > (1 << 20)) {
      out << block;
      total += block.size();
      block.clear();
    }
  }
  out << block;
  return total + block.size();
}

double Seconds(std::chrono::steady_clock::time_point since) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

long PeakKiB() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
}

}  // namespace

int main(int argc, char** argv) {
  const int records = argc > 1 ? std::atoi(argv[1]) : 1000000;
  const int fields = argc > 2 ? std::atoi(argv[2]) : 10;
  cellBytes = std::clamp(argc > 3 ? std::atoi(argv[3]) : 8, 0, 8);
  const std::string folder = argc > 4 ? argv[4] : "/tmp";
  std::mt19937 rng(1);

  std::vector<int> left(static_cast<std::size_t>(records));
  std::iota(left.begin(), left.end(), 0);
  std::shuffle(left.begin(), left.end(), rng);
  std::vector<int> right;
  right.reserve(left.size() + left.size() / 100);
  for (int id : left) {
    if (rng() % 200 != 0) right.push_back(id);
    if (rng() % 200 == 0) right.push_back(records + id);
  }
  std::shuffle(right.begin(), right.end(), rng);
  const std::string pathL = folder + "/bench_left.csv";
  const std::string pathR = folder + "/bench_right.csv";
  std::size_t bytes = WriteFile(pathL, left, fields, rng, false);
  bytes += WriteFile(pathR, right, fields, rng, true);
  const long baseKiB = PeakKiB();

  korvel::StderrNotifier notifier;
  korvel::NotifierPrompter prompter(notifier);
  korvel::CompareSession session;
  session.EditSettings().PathL = pathL;
  session.EditSettings().PathR = pathR;
  auto start = std::chrono::steady_clock::now();
  session.StartSetUp();
  korvel::FieldGrid grid;
  const korvel::Status filled = session.FillFieldGrids(grid, prompter);
  korvel::ShowStatus(notifier, filled);
  if (!filled.IsOk()) return 1;
  grid.Toggle(1, korvel::FieldGrid::kKey);
  const korvel::Status compared = session.CompareSides(grid);
  korvel::ShowStatus(notifier, compared);
  const int result = compared.Code();
  double seconds = Seconds(start);
  std::printf("%d records x %d fields, %.1f MiB of input\n", records, fields,
              static_cast<double>(bytes) / (1 << 20));
  std::printf("result %d: %s\n", result, korvel::Cp932ToUtf8(session.SummaryText()).c_str());
  std::printf("comparison: %.3f s\n", seconds);
  std::printf("peak memory: %.1f MiB (%.2f x input; %.1f MiB before the comparison)\n",
              static_cast<double>(PeakKiB()) / 1024, static_cast<double>(PeakKiB()) * 1024 / bytes,
              static_cast<double>(baseKiB) / 1024);

  start = std::chrono::steady_clock::now();
  korvel::ShowStatus(notifier, session.ExtractByStatus(korvel::kExtractNotEqual, true));
  std::printf("extraction: %.3f s (%zu pairs)\n", Seconds(start), session.ExtractPairs().size());
  if (std::getenv("BENCH_KEEP") == nullptr) std::remove(pathL.c_str());
  if (std::getenv("BENCH_KEEP") == nullptr) std::remove(pathR.c_str());
  return result == 0 ? 0 : 1;
}
