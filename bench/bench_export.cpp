// Measures the export writers: builds a synthetic comparison result of 1,000,000 pairs of
// ten fields in memory, exports it in every format (XML, CSV, .xlsx) and layout to a
// temporary file (and as the difference report, in both formats), and prints the output
// size, the speed and the memory the export needed on top of the data.
//
//   bench_export [pairs [formats]]
//
// `formats` picks the cases by their first word, comma-separated (e.g. "xml,xlsx"); all
// cases run without it.

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "export/ExportDriver.h"
#include "export/ExportSource.h"
#include "export/ReportWriter.h"
#include "platform/Codepage.h"
#include "platform/FileSystem.h"

namespace {

using korvel::ExportFormat;
using korvel::ExportLayout;
using korvel::RecordPair;
using korvel::ResultField;
using korvel::Side;

constexpr int kFields = 10;

// One side's rows packed into one block, cells addressed through offsets, as a row table
// keeps them.
class PackedSide {
 public:
  void AddRow(const std::vector<std::string>& cells) {
    for (const std::string& cell : cells) {
      offsets_.push_back(static_cast<std::uint32_t>(bytes_.size()));
      bytes_ += cell;
    }
    offsets_.push_back(static_cast<std::uint32_t>(bytes_.size()));
    rowStart_.push_back(offsets_.size() - cells.size() - 1);
  }
  std::string_view Cell(int row, int fieldNo) const {
    std::size_t base = rowStart_[static_cast<std::size_t>(row)];
    std::size_t next = static_cast<std::size_t>(row) + 1 < rowStart_.size()
                           ? rowStart_[static_cast<std::size_t>(row) + 1]
                           : offsets_.size();
    std::size_t cells = next - base - 1;
    if (fieldNo < 1 || static_cast<std::size_t>(fieldNo) > cells) return {};
    std::uint32_t from = offsets_[base + static_cast<std::size_t>(fieldNo) - 1];
    std::uint32_t to = offsets_[base + static_cast<std::size_t>(fieldNo)];
    return std::string_view(bytes_).substr(from, to - from);
  }
  std::size_t Bytes() const { return bytes_.size(); }

 private:
  std::string bytes_;
  std::vector<std::uint32_t> offsets_;
  std::vector<std::size_t> rowStart_;
};

class SyntheticSource : public korvel::ExportSource {
 public:
  explicit SyntheticSource(int pairs) {
    for (int f = 1; f <= kFields; ++f) {
      ResultField field;
      field.FieldNoLeft = field.FieldNoRight = f;
      field.IsKey = f == 1;
      field.NotCompared = f == 9;
      field.Name = korvel::Sjis(f == 1 ? "社員番号" : "項目") + std::to_string(f);
      fields_.push_back(field);
    }
    const std::string family[] = {korvel::Sjis("山田"), korvel::Sjis("佐藤"), korvel::Sjis("鈴木"),
                                  "Smith"};
    const std::string city = korvel::Sjis("東京都千代田区丸の内");
    std::vector<std::string> cells(kFields);
    int leftRows = 0;
    int rightRows = 0;
    for (int i = 0; i < pairs; ++i) {
      char key[16];
      std::snprintf(key, sizeof key, "K%07d", i);
      cells[0] = key;
      cells[1] = family[i % 4] + korvel::Sjis("太郎");
      cells[2] = std::to_string(i * 37 % 100000);
      cells[3] = "2024/" + std::to_string(i % 12 + 1) + "/" + std::to_string(i % 28 + 1);
      cells[4] = city + std::to_string(i % 9 + 1) + "-" + std::to_string(i % 5 + 1);
      cells[5] = i % 50 == 0 ? "note, with \"quotes\" & <tags>" : "plain text";
      cells[6] = std::to_string(i % 1000) + ".50";
      cells[7] = korvel::Sjis("ｶﾀｶﾅ") + std::to_string(i % 77);
      cells[8] = i % 3 == 0 ? "" : "ABCDEFGH";
      cells[9] = std::to_string(i);
      // Every tenth pair is one-sided, every seventh differs in two fields.
      int kind = i % 10 == 3 ? -2 : i % 10 == 7 ? -1 : 0;
      RecordPair pair{kind, -1, -1};
      if (kind != -1) {
        left_.AddRow(cells);
        pair.LeftRow = leftRows++;
      }
      if (i % 7 == 0) {
        cells[2] += "9";
        cells[4] = korvel::Sjis("大阪府") + cells[4];
        if (kind == 0) pair.Status = 2;
      }
      if (kind != -2) {
        right_.AddRow(cells);
        pair.RightRow = rightRows++;
      }
      pairs_.push_back(pair);
    }
  }

  int PairCount() const override { return static_cast<int>(pairs_.size()); }
  RecordPair Pair(int index) const override { return pairs_[static_cast<std::size_t>(index)]; }
  int FieldCount() const override { return kFields; }
  const ResultField& Field(int index) const override {
    return fields_[static_cast<std::size_t>(index)];
  }
  std::string_view Cell(Side side, int row, int fieldNo) const override {
    return (side == Side::kLeft ? left_ : right_).Cell(row, fieldNo);
  }
  std::string_view Path(Side side) const override {
    return side == Side::kLeft ? "/data/left.csv" : "/data/right.csv";
  }
  std::size_t CellBytes() const { return left_.Bytes() + right_.Bytes(); }

 private:
  std::vector<ResultField> fields_;
  PackedSide left_;
  PackedSide right_;
  std::vector<RecordPair> pairs_;
};

// A line of /proc/self/status in KiB.
long StatusKiB(const char* name) {
  std::ifstream in("/proc/self/status");
  std::string line;
  std::size_t length = std::strlen(name);
  while (std::getline(in, line)) {
    if (line.compare(0, length, name) == 0 && line.size() > length && line[length] == ':') {
      return std::atol(line.c_str() + length + 1);
    }
  }
  return -1;
}

// Makes VmHWM start again from the present resident size.
void ResetPeak() {
  std::ofstream clear("/proc/self/clear_refs");
  clear << "5";
}

}  // namespace

int main(int argc, char** argv) {
  int pairs = argc > 1 ? std::atoi(argv[1]) : 1000000;
  // Each name between commas, so that "xml" does not pick "xlsx".
  std::string formats;
  if (argc > 2) formats.append(",").append(argv[2]).append(",");
  auto buildStart = std::chrono::steady_clock::now();
  SyntheticSource source(pairs);
  double buildSeconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - buildStart).count();
  std::printf("source: %d pairs x %d fields, %.1f MB of cells, built in %.2f s\n", pairs, kFields,
              source.CellBytes() / 1e6, buildSeconds);

  const char* dir = std::getenv("TMPDIR");
  std::string path = std::string(dir && *dir ? dir : "/tmp") + "/korvel-bench-export-" +
                     std::to_string(::getpid());
  struct Case {
    const char* name;
    ExportFormat format;
    ExportLayout layout;
    int report = 0;  // 0 an export; 1 JSON Lines, 2 JSON Lines of every field, 3 CSV
  };
  const Case cases[] = {
      {"xml  sheet", ExportFormat::kXml, ExportLayout::kPerSheet},
      {"xml  field", ExportFormat::kXml, ExportLayout::kAlternateFields},
      {"xml  row  ", ExportFormat::kXml, ExportLayout::kAlternateRows},
      {"csv  sheet", ExportFormat::kCsv, ExportLayout::kPerSheet},
      {"csv  field", ExportFormat::kCsv, ExportLayout::kAlternateFields},
      {"csv  row  ", ExportFormat::kCsv, ExportLayout::kAlternateRows},
      // libxlsxwriter's temporary files go beside the workbook, here in $TMPDIR.
      {"xlsx sheet", ExportFormat::kXlsx, ExportLayout::kPerSheet},
      {"xlsx field", ExportFormat::kXlsx, ExportLayout::kAlternateFields},
      {"xlsx row  ", ExportFormat::kXlsx, ExportLayout::kAlternateRows},
      {"rep  jsonl", ExportFormat::kXml, ExportLayout::kPerSheet, 1},
      {"rep  j-all", ExportFormat::kXml, ExportLayout::kPerSheet, 2},
      {"rep  csv  ", ExportFormat::kXml, ExportLayout::kPerSheet, 3},
  };
  korvel::ReportSummary summary;
  summary.LeftTotal = summary.RightTotal = pairs;
  std::printf("%-10s %10s %8s %9s %14s\n", "case", "MB", "s", "MB/s", "peak+ (KiB)");
  int failures = 0;
  for (const Case& c : cases) {
    std::string word(",");
    word.append(c.name, std::strcspn(c.name, " ")).append(",");
    if (!formats.empty() && formats.find(word) == std::string::npos) continue;
    ResetPeak();
    long before = StatusKiB("VmRSS");
    auto start = std::chrono::steady_clock::now();
    int result;
    if (c.report == 0) {
      result =
          korvel::WriteExport(source, c.format, c.layout, path, korvel::Progress::None(), true);
    } else {
      korvel::ReportOptions options;
      options.Format =
          c.report == 3 ? korvel::ReportFormat::kCsv : korvel::ReportFormat::kJsonLines;
      options.AllFields = c.report == 2;
      result = korvel::WriteReport(source, summary, options, path, true);
    }
    double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    long peak = StatusKiB("VmHWM");
    std::ifstream written(path, std::ios::binary | std::ios::ate);
    double megabytes = static_cast<double>(written.tellg()) / 1e6;
    std::remove(path.c_str());
    if (result != korvel::kExportDone) {
      std::printf("%-10s failed (%d)\n", c.name, result);
      ++failures;
      continue;
    }
    std::printf("%-10s %10.1f %8.2f %9.1f %14ld\n", c.name, megabytes, seconds, megabytes / seconds,
                peak - before);
  }
  std::printf("process peak RSS (VmHWM since the last export began): %ld KiB\n",
              StatusKiB("VmHWM"));
  return failures == 0 ? 0 : 1;
}
