// A whole comparison of two fuzzed inputs through CompareSession: the grid filled from the
// files, fuzzed marks clicked into it, the run, every extraction, and a re-setting with
// fuzzed marks. The first bytes choose the file kind, the reading options and the clicks;
// the rest holds the left file, then (after a line "====") the right one, or, without that
// line, the same text on both sides.
//
// After every run and re-classification the result model must hold: every row of each
// table in exactly one pair; Status agreeing with LeftRow/RightRow and with the cells
// through CellsDiffer and the field flags (a field one side lacks, when fields pair by
// name, never differs); the counters agreeing with the statuses; paired
// rows agreeing in their keys, the pairs in key order, and no key left on both sides
// unpaired; without keys, rows paired by position. The tables must hold what a reader of
// the same file delivers, identical sides must compare equal, and the extraction must
// select what its filter says and show it through ViewPairs. Last, what is shown is
// exported; an XML export must be well-formed text.

#include <map>
#include <string>
#include <vector>

#include "FuzzSupport.h"
#include "compare/CompareSession.h"
#include "compare/FixedWidthRecordReader.h"
#include "export/ExportDriver.h"
#include "export/SessionExportSource.h"
#include "platform/Codepage.h"

namespace {

using namespace korvel;
using namespace korvel::fuzz;

constexpr std::string_view kSideBreak = "\n====\n";

std::string Describe(const char* what, std::size_t at) {
  return std::string(what) + " (pair " + std::to_string(at) + ")";
}

// The key comparison of the pairing: the sort order (numbers for numeric keys), then the
// bytes of the text keys.
int CompareKeyRows(const CompareSession& s, int leftRow, Side leftSide, int rightRow,
                   Side rightSide) {
  for (int pass = 0; pass < 2; ++pass) {
    for (int k = 0; k < s.KeyCount(); ++k) {
      const ResultField& f = s.Fields()[static_cast<std::size_t>(k)];
      std::string_view a = s.CellText(leftSide, leftRow, f.FieldNo(leftSide));
      std::string_view b = s.CellText(rightSide, rightRow, f.FieldNo(rightSide));
      int c = 0;
      if (pass == 0) {
        c = f.Numeric ? (KeyNumber(a) < KeyNumber(b) ? -1 : KeyNumber(a) > KeyNumber(b))
                      : SortCompare(a, b);
      } else if (!f.Numeric) {
        c = a.compare(b);
      }
      if (c != 0) return c < 0 ? -1 : 1;
    }
  }
  return 0;
}

// The side and row that stand for a pair's keys.
std::pair<Side, int> KeyRow(const RecordPair& p) {
  return p.LeftRow >= 0 ? std::pair{Side::kLeft, p.LeftRow} : std::pair{Side::kRight, p.RightRow};
}

bool IgnoresSpaces(const ResultField& f) {
  return f.Compare == FieldCompare::kIgnoreSpaces || f.Compare == FieldCompare::kNumberIgnoreSpaces;
}

// The fuzzer's own reading of a field's comparison: two numbers by their exact difference
// against the field's tolerance, anything else by the collation's text rules.
bool FieldCellsDiffer(const ResultField& f, std::string_view left, std::string_view right) {
  // A field one file lacks is never a difference.
  if (f.FieldNoLeft < 0 || f.FieldNoRight < 0) return false;
  DecimalNumber a, b;
  if (IsNumberCompare(f.Compare) && ParseDecimal(left, &a) && ParseDecimal(right, &b)) {
    return !WithinTolerance(a, b, f.Tolerance);
  }
  return CellsDiffer(left, right, IgnoresSpaces(f));
}

// Whether the field's cells of a paired record differ: by the field's own rule; where the
// texts agree, a cell may still differ by characters the conversion to Shift-JIS lost (the
// session keeps a trace of them, not the text), and such a cell holds the '?' that stands
// for them.
bool PairFieldDiffers(const CompareSession& s, const ResultField& f, const RecordPair& p) {
  const std::string_view left = s.CellText(Side::kLeft, p.LeftRow, f.FieldNoLeft);
  const std::string_view right = s.CellText(Side::kRight, p.RightRow, f.FieldNoRight);
  if (FieldCellsDiffer(f, left, right)) return true;
  if (f.FieldNoLeft < 0 || f.FieldNoRight < 0) return false;
  if (s.LostCharacters(Side::kLeft) + s.LostCharacters(Side::kRight) == 0) return false;
  if (!s.CellsDiffer(f, p)) return false;
  Require(left.find('?') != std::string_view::npos || right.find('?') != std::string_view::npos,
          "equal cells differ by lost characters without a '?'");
  return true;
}

void CheckKeys(const CompareSession& s) {
  const std::vector<RecordPair>& pairs = s.AllPairs();
  if (s.KeyCount() == 0) {
    const int both = std::min(s.LeftTable().RowCount(), s.RightTable().RowCount());
    for (std::size_t i = 0; i < pairs.size(); ++i) {
      const int at = static_cast<int>(i);
      const RecordPair& p = pairs[i];
      if (at < both) {
        Require(p.LeftRow == at && p.RightRow == at, "without keys rows pair by position");
      } else {
        Require(p.LeftRow == (at < s.LeftTable().RowCount() ? at : -1) &&
                    p.RightRow == (at < s.RightTable().RowCount() ? at : -1),
                "without keys the rest of the longer side follows alone");
      }
    }
    return;
  }
  for (std::size_t i = 0; i < pairs.size(); ++i) {
    const RecordPair& p = pairs[i];
    if (p.IsPaired()) {
      if (CompareKeyRows(s, p.LeftRow, Side::kLeft, p.RightRow, Side::kRight) != 0) {
        Fail(Describe("paired rows differ in their keys", i));
      }
    }
    if (i > 0) {
      auto [sa, ra] = KeyRow(pairs[i - 1]);
      auto [sb, rb] = KeyRow(p);
      if (CompareKeyRows(s, ra, sa, rb, sb) > 0)
        Fail(Describe("the pairs are not in key order", i));
    }
  }
  // A left-only and a right-only row with equal keys should have been paired. In key order
  // they would stand in one run of equal keys, so neighbours are enough to look at.
  for (std::size_t i = 0; i < pairs.size(); ++i) {
    if (pairs[i].Status != kStatusLeftOnly) continue;
    for (std::size_t j = i + 1; j < pairs.size(); ++j) {
      auto [sa, ra] = KeyRow(pairs[i]);
      auto [sb, rb] = KeyRow(pairs[j]);
      if (CompareKeyRows(s, ra, sa, rb, sb) != 0) break;
      if (pairs[j].Status == kStatusRightOnly) Fail(Describe("equal keys left unpaired", j));
    }
  }
}

void CheckResult(const CompareSession& s) {
  const std::vector<RecordPair>& pairs = s.AllPairs();
  std::vector<int> leftSeen(static_cast<std::size_t>(s.LeftTable().RowCount()));
  std::vector<int> rightSeen(static_cast<std::size_t>(s.RightTable().RowCount()));
  std::vector<int> perField(s.Fields().size());
  int differing = 0, leftOnly = 0, rightOnly = 0, cells = 0;
  for (std::size_t i = 0; i < pairs.size(); ++i) {
    const RecordPair& p = pairs[i];
    Require(p.LeftRow >= -1 && p.LeftRow < static_cast<int>(leftSeen.size()), "a bad left row");
    Require(p.RightRow >= -1 && p.RightRow < static_cast<int>(rightSeen.size()), "a bad right row");
    if (p.LeftRow < 0 && p.RightRow < 0) Fail(Describe("a pair names no row", i));
    if (p.LeftRow >= 0) ++leftSeen[static_cast<std::size_t>(p.LeftRow)];
    if (p.RightRow >= 0) ++rightSeen[static_cast<std::size_t>(p.RightRow)];
    if (p.LeftRow < 0 || p.RightRow < 0) {
      const int expected = p.LeftRow < 0 ? kStatusRightOnly : kStatusLeftOnly;
      if (p.Status != expected) Fail(Describe("an orphan's status", i));
      (p.LeftRow < 0 ? rightOnly : leftOnly) += 1;
      continue;
    }
    int k = 0;
    for (std::size_t f = 0; f < s.Fields().size(); ++f) {
      const ResultField& field = s.Fields()[f];
      if (field.NotCompared) continue;
      if (PairFieldDiffers(s, field, p)) {
        ++k;
        ++perField[f];
      }
    }
    if (p.Status != k) Fail(Describe("a pair's status is not its differing fields", i));
    cells += k;
    if (k > 0) ++differing;
  }
  for (int seen : leftSeen) Require(seen == 1, "a left row is not in exactly one pair");
  for (int seen : rightSeen) Require(seen == 1, "a right row is not in exactly one pair");
  Require(s.DiffRecordCount() == differing, "DiffRecordCount");
  Require(s.LeftOnlyCount() == leftOnly, "LeftOnlyCount");
  Require(s.RightOnlyCount() == rightOnly, "RightOnlyCount");
  Require(s.DiffCellCount() == cells, "DiffCellCount");
  for (std::size_t f = 0; f < perField.size(); ++f) {
    Require(s.Fields()[f].DiffCount == perField[f], "a field's DiffCount");
  }
  int keys = 0;
  for (const ResultField& f : s.Fields()) keys += f.IsKey ? 1 : 0;
  Require(keys == s.KeyCount(), "KeyCount");
  for (int k = 0; k < s.KeyCount(); ++k) Require(s.Fields()[k].IsKey, "keys come first");
  CheckKeys(s);
}

void CheckEmpty(const CompareSession& s) {
  Require(s.AllPairs().empty() && s.ViewPairs().empty() && s.Fields().empty(),
          "a failed run left a result");
  Require(s.DiffRecordCount() == 0 && s.LeftOnlyCount() == 0 && s.RightOnlyCount() == 0 &&
              s.DiffCellCount() == 0 && !s.ExtractActive(),
          "a failed run left counters");
}

// Reads the side again with a reader of its own and compares the table with it.
void CheckTable(const CompareSession& s, Side side, const std::string& path,
                FixedWidthReader* fix) {
  const RowTable& table = s.Table(side);
  const bool names = s.Settings().TopRowNames;
  DelimitedReader csv;
  CsvRecordReader csvReader(csv);
  SideRecordReader* reader = &csvReader;
  FixedWidthRecordReader fixSource(*fix);
  if (s.Settings().FileKind == kFileKindFixed) {
    Require(fix->Open(path, names ? 1 : 0, s.ReadingEncoding(), s.Settings().DetectBom) == 0,
            "the file read by the run does not open again");
    reader = &fixSource;
  } else {
    Require(OpenDelimited(csv, s.Reading(s.Settings().FileKind), path, names) == 0,
            "the file read by the run does not open again");
  }
  int row = 0;
  for (;; ++row) {
    const int n = reader->ReadRecord();
    Require(n >= 0, "the file read by the run fails when read again");
    if (n == 0) break;
    Require(row < table.RowCount(), "the table lost a record");
    for (int k = 1; k < table.ColumnCount(); ++k) {
      std::string_view expected =
          s.IsNotLoaded(side, k) ? std::string_view() : reader->Field(k - 1);
      if (table.CellView(k, row) != expected) Fail("a cell differs from its file");
    }
  }
  Require(row == table.RowCount(), "the table holds more rows than the file");
  csv.Close();
  fix->Close();
}

void CheckExtraction(CompareSession& s, OptionBytes& in) {
  const std::vector<RecordPair> all = s.AllPairs();
  auto same = [](const std::vector<RecordPair>& a, const std::vector<RecordPair>& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
      if (a[i].Status != b[i].Status || a[i].LeftRow != b[i].LeftRow ||
          a[i].RightRow != b[i].RightRow) {
        return false;
      }
    }
    return true;
  };
  auto showAndRelease = [&s, &same, &all]() {
    s.ActivateExtraction();
    Require(s.ExtractActive() && &s.ViewPairs() == &s.ExtractPairs(),
            "an active extraction is not what is shown");
    s.ReleaseExtraction();
    Require(!s.ExtractActive() && same(s.ViewPairs(), all), "a released extraction still shows");
  };
  for (int kind : {kExtractDiffering, kExtractLeftOnly, kExtractRightOnly, kExtractNotEqual}) {
    for (bool differing : {true, false}) {
      Require(s.ExtractByStatus(kind, differing).IsOk(), "an extraction by status failed");
      std::vector<RecordPair> expected;
      for (const RecordPair& p : all) {
        bool take = p.Status == 0;
        if (differing) {
          take = kind == kExtractDiffering   ? p.Status > 0
                 : kind == kExtractLeftOnly  ? p.Status == kStatusLeftOnly
                 : kind == kExtractRightOnly ? p.Status == kStatusRightOnly
                                             : p.Status != 0;
        }
        if (take) expected.push_back(p);
      }
      Require(same(s.ExtractPairs(), expected), "an extraction by status selected wrongly");
      showAndRelease();
    }
  }
  const int fields = static_cast<int>(s.Fields().size());
  for (int round = 0; round < 2; ++round) {
    const int position = in.Below(fields + 2) - 1;
    const bool differing = in.Flag();
    const Status extracted = s.ExtractColumn(position, differing);
    const bool found = extracted.IsOk();
    Require(found || extracted.HasMessages(), "a refused extraction without a message");
    Require(found == (position >= 0 && position < fields), "ExtractColumn found no field");
    if (!found) {
      Require(s.ExtractPairs().empty(), "a failed extraction left pairs");
      continue;
    }
    const ResultField& f = s.Fields()[static_cast<std::size_t>(position)];
    std::vector<RecordPair> expected;
    for (const RecordPair& p : all) {
      if (!p.IsPaired()) continue;
      const bool differs = PairFieldDiffers(s, f, p);
      if (differs == differing) expected.push_back(p);
    }
    Require(same(s.ExtractPairs(), expected), "an extraction by field selected wrongly");
    showAndRelease();
  }
  Require(same(s.AllPairs(), all), "an extraction changed the result");
}

void CheckReGrid(CompareSession& s, OptionBytes& in) {
  Require(s.CanReGrid().IsOk(), "a completed run cannot be re-set");
  FieldGrid grid = s.MakeReGridGrid();
  Require(grid.RowCount() == static_cast<int>(s.Fields().size()) + 1, "a re-setting row per field");
  const int clicks = in.Below(8);
  for (int i = 0; i < clicks; ++i) {
    grid.Toggle(in.Below(grid.RowCount()), in.Below(grid.ColumnCount()));
  }
  std::vector<std::pair<int, int>> rows;
  for (const RecordPair& p : s.AllPairs()) rows.emplace_back(p.LeftRow, p.RightRow);
  (void)s.ExtractByStatus(kExtractNotEqual, true);
  s.ActivateExtraction();
  s.ApplyReGrid(grid);
  Require(!s.ExtractActive(), "the re-setting kept an extraction shown");
  std::vector<std::pair<int, int>> after;
  for (const RecordPair& p : s.AllPairs()) after.emplace_back(p.LeftRow, p.RightRow);
  Require(after == rows, "the re-setting changed the pairs");
  for (std::size_t i = 0; i < s.Fields().size(); ++i) {
    const ResultField& f = s.Fields()[i];
    if (f.IsKey) continue;
    const int row = static_cast<int>(i) + 1;
    Require(IgnoresSpaces(f) == grid.IsMarked(row, FieldGrid::kIgnoreSpaces) &&
                f.NotCompared == grid.IsMarked(row, FieldGrid::kNotCompared) &&
                IsNumberCompare(f.Compare) == grid.IsMarked(row, FieldGrid::kNumberCompare),
            "the re-setting's marks did not reach the fields");
  }
  CheckResult(s);
}

// An XML Spreadsheet must be UTF-8 and hold no character that XML 1.0 forbids.
bool IsXmlText(std::string_view bytes) {
  for (std::size_t i = 0; i < bytes.size();) {
    const auto c = static_cast<unsigned char>(bytes[i]);
    std::size_t n = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
    if (n == 0 || i + n > bytes.size()) return false;
    std::uint32_t u = n == 1 ? c : c & (0x7F >> n);
    for (std::size_t k = 1; k < n; ++k) {
      const auto t = static_cast<unsigned char>(bytes[i + k]);
      if ((t & 0xC0) != 0x80) return false;
      u = u << 6 | (t & 0x3F);
    }
    const bool allowed = u == 0x9 || u == 0xA || u == 0xD || (u >= 0x20 && u <= 0xD7FF) ||
                         (u >= 0xE000 && u <= 0xFFFD) || (u >= 0x10000 && u <= 0x10FFFF);
    if (!allowed) return false;
    i += n;
  }
  return true;
}

// Exports what is shown, in a fuzzed format and layout, into the memory file system.
void CheckExport(CompareSession& s, OptionBytes& in) {
  if (in.Flag()) {
    (void)s.ExtractByStatus(kExtractNotEqual, true);
    s.ActivateExtraction();
  }
  const ExportFormat format = in.Flag() ? ExportFormat::kXml : ExportFormat::kCsv;
  static const ExportLayout kLayouts[] = {ExportLayout::kPerSheet, ExportLayout::kAlternateFields,
                                          ExportLayout::kAlternateRows};
  const ExportLayout layout = kLayouts[in.Below(3)];
  const SessionExportSource source(s);
  Require(WriteExport(source, format, layout, "export.out") == kExportDone, "an export failed");
  Require(FuzzEnvironment::Get().files.OpenCount() == 0, "the export left its file open");
  const std::string bytes = FuzzEnvironment::Get().files.Get("export.out");
  Require(!bytes.empty(), "an export wrote nothing");
  if (format == ExportFormat::kXml) Require(IsXmlText(bytes), "an export is not XML text");
  s.ReleaseExtraction();
}

void CheckIdentical(const CompareSession& s) {
  Require(s.LeftOnlyCount() == 0 && s.RightOnlyCount() == 0 && s.DiffRecordCount() == 0,
          "identical sides do not compare equal");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzEnvironment& env = FuzzEnvironment::Get();
  env.Reset();
  OptionBytes in(data, size);

  CompareSession session;
  CompareSettings& set = session.EditSettings();
  set.FileKind = in.Below(3);
  const std::uint8_t flags = in.Byte();
  set.TopRowNames = (flags & 1) != 0;
  set.DetectBom = (flags & 2) != 0;
  set.TabOldType = (flags >> 2) & 1;
  set.NewlineMode = (flags >> 3) & 3;
  const bool encodeText = (flags & 0x20) != 0;
  set.FromClipboard = (flags & 0x40) != 0;
  set.MatchNames = (flags & 0x80) != 0;
  // The fields compared as numbers (grid clicks) then meet a tolerance that is not zero. Every
  // bit has a use already; two together pick it.
  if ((flags & 0x21) == 0x21) (void)ParseTolerance("0.5", &set.NumberTolerance);
  set.Encoding = PickEncoding(in);
  const std::uint8_t delimiter = in.Byte();
  set.Delimiter = (delimiter & 1) ? '\t'
                  : (delimiter == '\r' || delimiter == '\n' || delimiter == 0)
                      ? '|'
                      : static_cast<char>(delimiter);
  static const int kMarks[] = {-1, kEncodingUtf16, kEncodingUtf16Be, kEncodingUtf8};
  const int mark = kMarks[in.Below(4)];

  FixedWidthReader fix;
  FixedWidthRecordReader fixSource(fix);
  const int definitions = in.Below(6) + 1;
  for (int i = 0; i < definitions; ++i) {
    (void)fix.AddDefinition("F" + std::to_string(i), in.Below(12) + 1);
  }
  if (set.FileKind == kFileKindFixed) session.SetFixedSource(&fixSource);

  // The clicks into the field-control grid and into the re-setting grid, and the
  // extraction choices, come before the files so that the files can grow freely.
  const std::string_view clickBytes = in.Take(2 * static_cast<std::size_t>(in.Below(12)));
  const std::string_view laterBytes = in.Take(24);
  const std::string_view files = in.Rest();
  const std::size_t split = files.find(kSideBreak);
  const bool identical = split == std::string_view::npos;
  std::string left(files.substr(0, split));
  std::string right(identical ? left : std::string(files.substr(split + kSideBreak.size())));
  const int written = mark >= 0 ? mark : set.Encoding;
  auto fileOf = [&](const std::string& text) {
    return (mark >= 0 ? MarkOf(mark) : std::string()) +
           (encodeText ? EncodeSjis(text, written) : text);
  };
  set.PathL = "left.txt";
  set.PathR = "right.txt";
  env.files.Put(set.PathL, fileOf(left));
  env.files.Put(set.PathR, fileOf(right));

  session.StartSetUp();
  FieldGrid grid;
  if (env.Show(session.FillFieldGrids(grid, env.prompter)) != 0) {
    Require(!env.notes.Entries().empty(), "a failed grid filling without a message");
    return 0;
  }
  Require(env.files.OpenCount() == 0, "the grid filling left a file open");
  OptionBytes clicks(reinterpret_cast<const std::uint8_t*>(clickBytes.data()), clickBytes.size());
  while (!clicks.Empty()) {
    const int row = clicks.Below(grid.RowCount());
    grid.Toggle(row, clicks.Below(FieldGrid::kColumnCount));
  }
  // The field-control dialog confirms only marks that pass its check.
  if (env.Show(grid.ConfirmMarks()) != 0) return 0;

  env.notes.Clear();
  const int result = env.Show(session.CompareSides(grid));
  Require(env.files.OpenCount() == 0, "the run left a file open");
  if (result != 0) {
    Require(result == -1, "an undocumented CompareSides result");
    Require(!env.notes.Entries().empty(), "a failed run without a message");
    CheckEmpty(session);
    Require(!session.CanReGrid().IsOk(), "a failed run can be re-set");
    return 0;
  }
  CheckResult(session);
  if (identical) CheckIdentical(session);
  CheckTable(session, Side::kLeft, set.PathL, &fix);
  CheckTable(session, Side::kRight, set.PathR, &fix);
  OptionBytes later(reinterpret_cast<const std::uint8_t*>(laterBytes.data()), laterBytes.size());
  CheckExtraction(session, later);
  CheckReGrid(session, later);
  if (identical) CheckIdentical(session);
  CheckExport(session, later);
  return 0;
}
