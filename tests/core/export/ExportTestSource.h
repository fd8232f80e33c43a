#pragma once
// An ExportSource over rows held in memory, and the shared comparison result the export
// tests write out.

#include <deque>
#include <string>
#include <vector>

#include "TestUtil.h"
#include "export/ExportDriver.h"
#include "export/ExportSource.h"

namespace korvel::test {

class MemoryExportSource : public ExportSource {
 public:
  struct FieldSpec {
    int fieldNo;
    bool isKey;
    bool notCompared;
    std::string name;  // CP932
    FieldCompare compare = FieldCompare::kText;
  };
  using Row = std::vector<std::string>;  // CP932 cells; cell k - 1 holds field k

  std::vector<FieldSpec> fields;
  std::vector<Row> left;
  std::vector<Row> right;
  std::vector<RecordPair> pairs;
  std::string leftPath;
  std::string rightPath;

  int PairCount() const override { return static_cast<int>(pairs.size()); }
  RecordPair Pair(int index) const override { return pairs.at(static_cast<std::size_t>(index)); }
  int FieldCount() const override { return static_cast<int>(fields.size()); }
  const ResultField& Field(int index) const override {
    const FieldSpec& f = fields.at(static_cast<std::size_t>(index));
    // A deque keeps the fields handed out in place while it grows.
    if (views_.size() < fields.size()) views_.resize(fields.size());
    ResultField& view = views_[static_cast<std::size_t>(index)];
    view.FieldNoLeft = view.FieldNoRight = f.fieldNo;
    view.IsKey = f.isKey;
    view.NotCompared = f.notCompared;
    view.Name = f.name;
    view.Compare = f.compare;
    return view;
  }
  std::string_view Cell(Side side, int row, int fieldNo) const override {
    const Row& cells = (side == Side::kLeft ? left : right).at(static_cast<std::size_t>(row));
    std::size_t column = static_cast<std::size_t>(fieldNo - 1);
    return column < cells.size() ? std::string_view(cells[column]) : std::string_view();
  }
  std::string_view Path(Side side) const override {
    return side == Side::kLeft ? leftPath : rightPath;
  }

 private:
  // The fields as the writers read them, made from `fields` when asked for.
  mutable std::deque<ResultField> views_;
};

// Four pairs over four fields, keys first as the field layout orders them:
//   index 0: field 2 "ID", key;  index 1: field 1 "名前";  index 2: field 3 "メモ";
//   index 3: field 4 "金額", not compared.
// Pairs: 1 equal; 2 differing in 名前 and メモ (and in the not-compared 金額), with the
// characters XML and CSV must escape; 3 right only (key 003); 4 left only (key 004), whose
// left row lacks fields 3 and 4.
inline MemoryExportSource SampleSource() {
  MemoryExportSource s;
  s.fields = {{2, true, false, "ID"},
              {1, false, false, S("名前")},
              {3, false, false, S("メモ")},
              {4, false, true, S("金額")}};
  s.left = {{S("山田"), "001", "a", "100"}, {"A&B <x>", "002", "memo", "5"}, {"only left", "004"}};
  s.right = {{S("山田"), "001", "a", "100"},
             {"A&B \"y\"\r\nz", "002", "other", "6"},
             {S("右"), "003", "", "7"}};
  s.pairs = {{0, 0, 0}, {2, 1, 1}, {-1, -1, 2}, {-2, 2, -1}};
  s.leftPath = "/data/左,file.csv";
  s.rightPath = "/data/right.csv";
  return s;
}

// Texts a workbook must keep exactly as shown: numbers in every spelling, formulas, the
// .xlsx format's own character escapes, characters XML cannot hold, line breaks (CR LF, LF,
// a CR alone), spaces at the edges, Japanese, a broken double-byte character and a 500-byte
// cell of digits. Every other value differs on the right; one row of each side is alone.
inline MemoryExportSource TrickySource() {
  MemoryExportSource s;
  s.fields = {{1, true, false, S("コード")},
              {2, false, false, S("値")},
              {3, false, false, "memo"},
              {4, false, true, S("備考")}};
  const std::vector<std::string> values = {
      "0012",
      "-1",
      "1,000",
      "1e5",
      "1.50",
      "=SUM(A1)",
      "'quoted",
      "_x0041_",
      "a_x00e9_b",
      std::string("ctl\x01\x1F", 5) + std::string(1, '\0') + "end",
      Cat("\x80", S("ア"), "\xA0"),
      "cr\r\nlf\nend",
      "  spaced  ",
      S("全角　空白"),
      std::string(500, '7'),
      S("①髙橋ｶﾀｶﾅ～"),
      "a\x82",
      "lone\rcr"};
  for (std::size_t i = 0; i < values.size(); ++i) {
    const std::string key = Cat("K", std::to_string(100 + i));
    s.left.push_back({key, values[i], "same", "x"});
    // Every other value differs on the right.
    s.right.push_back({key, i % 2 == 0 ? values[i] : values[i] + "!", "same", "y"});
    s.pairs.push_back({i % 2 == 0 ? 0 : 1, static_cast<int>(i), static_cast<int>(i)});
  }
  // One-sided rows at the end.
  s.left.push_back({"L1", "0007", "", ""});
  s.pairs.push_back({-2, static_cast<int>(s.left.size()) - 1, -1});
  s.right.push_back({"R1", "0008", "m", "z"});
  s.pairs.push_back({-1, -1, static_cast<int>(s.right.size()) - 1});
  return s;
}

// The bytes WriteExport leaves in a new file.
inline std::string ExportBytes(const ExportSource& source, ExportFormat format,
                               ExportLayout layout) {
  TempDir dir;
  std::string path = dir.File("out");
  if (WriteExport(source, format, layout, path) != kExportDone) return "<export failed>";
  return ReadFileBytes(path);
}

}  // namespace korvel::test
