// Reading speed of the delimited reader: generates a 100 MB comma-separated file in
// Shift-JIS and the same content in UTF-8, reads each whole through DelimitedReader, with its
// encoding chosen and then detected, and reports MB/s of input, by the clock and by the
// thread's CPU time (the steadier figure on a machine that other work shares).
// Usage: bench_csv_read [megabytes] [folder]

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <random>
#include <string>

#include "io/DelimitedReader.h"
#include "platform/Codepage.h"

namespace {

using korvel::DelimitedReader;

std::string MakeSjisContent(std::size_t bytes) {
  const std::string words[] = {korvel::Sjis("東京都千代田区"),
                               korvel::Sjis("株式会社コルベル"),
                               korvel::Sjis("ｶﾌﾞｼｷｶﾞｲｼｬ"),
                               "ABC-123",
                               "\"quoted, text\"",
                               korvel::Sjis("表示ソフト")};
  std::mt19937 rng(42);
  std::string out;
  out.reserve(bytes + 256);
  for (long row = 0; out.size() < bytes; ++row) {
    out += std::to_string(100000 + row);
    for (int f = 1; f < 10; ++f) {
      out += ',';
      if (f % 3 == 0) {
        out += std::to_string(rng() % 1000000);
      } else {
        out += words[rng() % 6];
      }
    }
    out += "\r\n";
  }
  return out;
}

double ThreadSeconds() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

double ReadSeconds(const std::string& path, int encoding, long* records, long* bytesSeen,
                   double* cpuSeconds) {
  const double cpuStart = ThreadSeconds();
  auto start = std::chrono::steady_clock::now();
  DelimitedReader csv;
  if (csv.Open(path, 0, encoding, 1) != 0) {
    std::fprintf(stderr, "open failed: %s\n", path.c_str());
    std::exit(1);
  }
  long n = 0;
  long seen = 0;
  int fields;
  while ((fields = csv.ReadRecord()) > 0) {
    ++n;
    for (int i = 0; i < fields; ++i) seen += static_cast<long>(csv.FieldView(i).size());
  }
  if (fields < 0) {
    std::fprintf(stderr, "read failed: %d\n", fields);
    std::exit(1);
  }
  *records = n;
  *bytesSeen = seen;
  *cpuSeconds = ThreadSeconds() - cpuStart;
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void Measure(const char* name, const std::string& path, int encoding, std::size_t size) {
  long records = 0;
  long seen = 0;
  double best = 1e9;
  double bestCpu = 1e9;
  for (int run = 0; run < 3; ++run) {
    double cpu = 0;
    best = std::min(best, ReadSeconds(path, encoding, &records, &seen, &cpu));
    bestCpu = std::min(bestCpu, cpu);
  }
  double mb = static_cast<double>(size) / 1e6;
  std::printf("%-10s %8.1f MB  %9ld records  %6.3f s  %7.1f MB/s  %7.1f MB/s of CPU\n", name, mb,
              records, best, mb / best, mb / bestCpu);
}

}  // namespace

int main(int argc, char** argv) {
  std::size_t megabytes = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 100;
  std::string folder = argc > 2 ? argv[2] : "/tmp";
  std::string sjis = MakeSjisContent(megabytes * 1000 * 1000);
  std::string utf8 = korvel::Cp932ToUtf8(sjis);
  std::string sjisPath = folder + "/korvel-bench-sjis.csv";
  std::string utf8Path = folder + "/korvel-bench-utf8.csv";
  std::ofstream(sjisPath, std::ios::binary).write(sjis.data(), static_cast<long>(sjis.size()));
  std::ofstream(utf8Path, std::ios::binary).write(utf8.data(), static_cast<long>(utf8.size()));
  Measure("Shift-JIS", sjisPath, korvel::kEncodingSjis, sjis.size());
  Measure("UTF-8", utf8Path, korvel::kEncodingUtf8, utf8.size());
  // The same files with each one's encoding detected (自動判定).
  Measure("SJIS auto", sjisPath, korvel::kEncodingAuto, sjis.size());
  Measure("UTF-8 auto", utf8Path, korvel::kEncodingAuto, utf8.size());
  std::remove(sjisPath.c_str());
  std::remove(utf8Path.c_str());
  return 0;
}
