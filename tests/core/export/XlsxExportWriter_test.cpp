// The .xlsx export: each layout's workbook holds the same sheets, cells, cell types and
// fills as the XML Spreadsheet export of the same result, as read by a reader of the file
// format of its own (tests/core/export/workbook_cells.py, Python's zipfile and
// ElementTree); long results continue on numbered sheets; and a workbook is written whole
// or not at all, through a failing file system and on a disk that fills up.

#include "export/XlsxExportWriter.h"

#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cstdlib>
#include <deque>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "ExportTestSource.h"
#include "FaultyFileSystem.h"
#include "TestUtil.h"
#include "export/ExportDriver.h"
#include "platform/Codepage.h"
#include "platform/FileSystem.h"
#include "platform/Notifier.h"

namespace korvel {
namespace {

using test::Cat;
using test::FolderEntries;
using test::MemoryExportSource;
using test::ReadFileBytes;
using test::S;
using test::SampleSource;
using test::TempDir;
using test::TrickySource;
using Texts = std::vector<std::string>;

const ExportLayout kLayouts[] = {ExportLayout::kPerSheet, ExportLayout::kAlternateFields,
                                 ExportLayout::kAlternateRows};

const char* LayoutName(ExportLayout layout) {
  switch (layout) {
    case ExportLayout::kPerSheet:
      return "per-sheet";
    case ExportLayout::kAlternateFields:
      return "alternate fields";
    case ExportLayout::kAlternateRows:
      break;
  }
  return "alternate rows";
}

bool HavePython() {
  return std::system("python3 -c 'import zipfile, xml.etree.ElementTree' >/dev/null 2>&1") == 0;
}

// What workbook_cells.py reads from `path` ("xml" or "xlsx"), or a text that says it failed.
std::string Cells(const char* kind, const std::string& path) {
  TempDir dir;
  const std::string out = dir.File("cells.txt");
  std::string command = "python3 ";
  command += KORVEL_SOURCE_DIR;
  command += "/tests/core/export/workbook_cells.py ";
  command += Cat(kind, " '", path, "' '", out, "' 2>", dir.File("err.txt"));
  if (std::system(command.c_str()) != 0) {
    return Cat("<unreadable ", kind, ": ", ReadFileBytes(dir.File("err.txt")), ">");
  }
  return ReadFileBytes(out);
}

// Both exports of `source` in `layout`, read back.
struct BothReadings {
  std::string xml;
  std::string xlsx;
};
BothReadings ReadBoth(const ExportSource& source, ExportLayout layout) {
  TempDir dir;
  const std::string xml = dir.File("out.xml");
  const std::string xlsx = dir.File("out.xlsx");
  BothReadings r;
  r.xml = WriteExport(source, ExportFormat::kXml, layout, xml) == kExportDone ? Cells("xml", xml)
                                                                              : "<xml failed>";
  r.xlsx = WriteExport(source, ExportFormat::kXlsx, layout, xlsx) == kExportDone
               ? Cells("xlsx", xlsx)
               : "<xlsx failed>";
  return r;
}

// A reading split into sheets: the name and each row's cell lines.
struct Sheet {
  std::string name;
  std::vector<std::string> rows;
};
std::vector<Sheet> SplitSheets(const std::string& cells) {
  std::vector<Sheet> sheets;
  std::size_t start = 0;
  while (start < cells.size()) {
    std::size_t end = cells.find('\n', start);
    if (end == std::string::npos) end = cells.size();
    const std::string line = cells.substr(start, end - start);
    start = end + 1;
    if (line.rfind("sheet ", 0) == 0) {
      sheets.push_back({line.substr(6), {}});
    } else if (line == "row" && !sheets.empty()) {
      sheets.back().rows.emplace_back();
    } else if (!sheets.empty() && !sheets.back().rows.empty()) {
      sheets.back().rows.back() += line + "\n";
    }
  }
  return sheets;
}

TEST(XlsxExportWriterTest, CellTextsAreTheShownValues) {
  struct Case {
    std::string cp932;
    std::string utf8;
  };
  const std::string longDigits(40000, '9');
  const std::vector<Case> cases = {
      {"", ""},
      {"0012", "0012"},
      {"  a\tb\r\nc  ", "  a\tb\r\nc  "},
      {S("山田ｱｲ①"), "山田ｱｲ①"},
      // The control characters XML cannot hold become '?', as in the XML export; so does
      // 0x80 alone, but not as the second byte of a double-byte character (0x8180 is ÷).
      {std::string("a\x01", 2) + std::string(1, '\0') + "\x1F\x7F", "a???\x7F"},
      {"\x80\x81\x80", "?÷"},
      {"\xA0\xFD\xFE\xFF", "\uF8F0\uF8F1\uF8F2\uF8F3"},
      // A lead byte without its second byte is one broken character; a byte that cannot
      // follow it is read again by itself.
      {"a\x82", "a\uFFFD"},
      {std::string("\x81\x01", 2), "\uFFFD?"},
      // The format's escapes are protected; near misses are not.
      {"_x0041_", "_x005F_x0041_"},
      // A reader takes escapes from left to right, so one that a protected escape would
      // uncover is protected too.
      {"x_x00e9_x00E9_", "x_x005F_x00e9_x005F_x00E9_"},
      {"_x004_ _X0041_ _x00G1_ _x0041", "_x004_ _X0041_ _x00G1_ _x0041"},
      {S("＿") + "_", "＿_"},
      // The most a cell holds.
      {longDigits, longDigits.substr(0, 32767)},
      {std::string(32766, 'a') + "_x0041_", std::string(32766, 'a')},
      // An escape that does not fit whole is cut after its underscore, which reads back as
      // the underscore the text began with.
      {std::string(32760, 'a') + "_x0041_", std::string(32760, 'a') + "_x005F_"},
      {std::string(32754, 'a') + "_x0041_", std::string(32754, 'a') + "_x005F_x0041_"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(XlsxExportWriter::CellText(c.cp932), c.utf8) << c.utf8.substr(0, 60);
  }
  // Japanese texts are cut by characters, never inside one.
  std::string kana;
  for (int i = 0; i < 33000; ++i) kana += S("あ");
  std::string expected;
  for (int i = 0; i < 32767; ++i) expected += "あ";
  EXPECT_EQ(XlsxExportWriter::CellText(kana), expected);
}

TEST(XlsxExportWriterTest, SheetPartNames) {
  struct Case {
    std::string name;
    int part;
    std::string expected;
  };
  const std::string long40 = "abcdefghijklmnopqrstuvwxyz0123456789ABCD";
  std::string japanese30;
  for (int i = 0; i < 30; ++i) japanese30 += "表";
  std::string japanese26;
  for (int i = 0; i < 26; ++i) japanese26 += "表";
  const std::vector<Case> cases = {
      {"Sheet1", 1, "Sheet1"},
      {"Sheet1", 2, "Sheet1 (2)"},
      {"Left", 3, "Left (3)"},
      {"Right", 12, "Right (12)"},
      {long40, 1, long40.substr(0, 31)},
      {long40, 2, long40.substr(0, 27) + " (2)"},
      {long40, 123, long40.substr(0, 25) + " (123)"},
      {std::string(27, 'x'), 2, std::string(27, 'x') + " (2)"},
      {std::string(28, 'x'), 2, std::string(27, 'x') + " (2)"},
      // Characters, not bytes.
      {japanese30, 12, japanese26 + " (12)"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(XlsxExportWriter::SheetPartName(c.name, c.part), c.expected)
        << c.name << " part " << c.part;
  }
}

// Fields paired by name: field L only the left file has, field R only the right file.
class OneSidedSource : public MemoryExportSource {
 public:
  OneSidedSource() {
    fields = {{1, true, false, "ID"},
              {2, false, false, "A"},
              {3, false, false, "L"},
              {3, false, false, "R"}};
    left = {{"1", "a", "l"}, {"2", "c", "m"}};
    right = {{"1", "b", "r"}, {"2", "c", "s"}};
    pairs = {{1, 0, 0}, {0, 1, 1}};
  }
  const ResultField& Field(int index) const override {
    if (patched_.size() < fields.size()) patched_.resize(fields.size());
    ResultField& f = patched_[static_cast<std::size_t>(index)];
    f = MemoryExportSource::Field(index);
    if (index == 2) f.FieldNoRight = kNoFieldNo;
    if (index == 3) f.FieldNoLeft = kNoFieldNo;
    return f;
  }

 private:
  mutable std::deque<ResultField> patched_;
};

// A one-sided field is written with its values on its side, nothing on the other, and the
// mark and fill of a field not compared: never as a difference, though its cells differ.
TEST(XlsxExportWriterTest, OneSidedFieldsAreWrittenAsNotCompared) {
  const OneSidedSource source;
  struct Case {
    ExportLayout layout;
    std::string csv;
  };
  const Case cases[] = {
      {ExportLayout::kAlternateFields,
       "No,相違,ID,A,L側,R側,L,L側,R側,R,L側,R側\r\n1,   1,1,×,a,b,未,l,,未,,r\r\n"
       "2,   0,2,○,c,c,未,m,,未,,s\r\n"},
      {ExportLayout::kAlternateRows,
       "No,相違,ファイル,ID,ID,A,L,R\r\n1,   1,L,1,1,a,l,\r\n1,   1,R,1,1,b,,r\r\n"
       "1,   1,相違,1,○,×,未,未\r\n2,   0,L,2,2,c,m,\r\n2,   0,R,2,2,c,,s\r\n"
       "2,   0,相違,2,○,○,未,未\r\n"},
      {ExportLayout::kPerSheet,  // the per-sheet CSV begins with an empty line
       "\r\nNo,相違,ID,ID,差異,A,差異,L,差異,R,差異\r\n1,   1,1,1,○,a,×,l,未,,未\r\n"
       "2,   0,2,2,○,c,○,m,未,,未\r\n\r\n"
       "No,相違,ID,ID,差異,A,差異,L,差異,R,差異\r\n1,   1,1,1,○,b,×,,未,r,未\r\n"
       "2,   0,2,2,○,c,○,,未,s,未\r\n"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Cp932ToUtf8(ExportBytes(source, ExportFormat::kCsv, c.layout)), c.csv)
        << LayoutName(c.layout);
    if (!HavePython()) continue;
    const BothReadings r = ReadBoth(source, c.layout);
    EXPECT_EQ(r.xlsx, r.xml) << LayoutName(c.layout);
    // Never the fill of a difference in the one-sided fields' columns: in each layout the
    // cells of L and R are grey, with 未 where a mark is written.
    const std::string grey = "#BBBBBB";
    std::size_t greyCells = 0;
    for (std::size_t at = r.xlsx.find(grey); at != std::string::npos;
         at = r.xlsx.find(grey, at + 1)) {
      ++greyCells;
    }
    EXPECT_EQ(greyCells, c.layout == ExportLayout::kAlternateFields ? 12u : 8u)
        << LayoutName(c.layout);
  }
  const std::vector<Sheet> sheet =
      SplitSheets(ReadBoth(source, ExportLayout::kAlternateFields).xlsx);
  if (!HavePython()) GTEST_SKIP() << "python3 with zipfile and xml.etree is not available";
  ASSERT_EQ(sheet.size(), 1u);
  ASSERT_EQ(sheet[0].rows.size(), 3u);
  EXPECT_NE(sheet[0].rows[1].find("cell s #BBBBBB \"未\"\ncell s #BBBBBB \"l\"\n"
                                  "cell - #BBBBBB \"\"\ncell s #BBBBBB \"未\"\n"
                                  "cell - #BBBBBB \"\"\ncell s #BBBBBB \"r\"\n"),
            std::string::npos)
      << sheet[0].rows[1];
}

TEST(XlsxExportWriterTest, EveryLayoutHoldsTheXmlExportsCellsTypesAndFills) {
  if (!HavePython()) GTEST_SKIP() << "python3 with zipfile and xml.etree is not available";
  const MemoryExportSource sample = SampleSource();
  const MemoryExportSource tricky = TrickySource();
  const MemoryExportSource empty;
  for (const MemoryExportSource* source : {&sample, &tricky, &empty}) {
    for (ExportLayout layout : kLayouts) {
      const BothReadings r = ReadBoth(*source, layout);
      EXPECT_EQ(r.xlsx, r.xml) << LayoutName(layout) << ", " << source->PairCount() << " pairs";
    }
  }

  // Spelled out, so that a fault shared by the reader of both files still shows: sheet
  // names, a number, texts that look like numbers, and every fill.
  const std::vector<Sheet> perSheet = SplitSheets(ReadBoth(sample, ExportLayout::kPerSheet).xlsx);
  ASSERT_EQ(perSheet.size(), 2u);
  EXPECT_EQ(perSheet[0].name, "Left");
  EXPECT_EQ(perSheet[1].name, "Right");
  ASSERT_EQ(perSheet[0].rows.size(), 5u);
  EXPECT_EQ(perSheet[0].rows[0],
            "cell s #7D7D7D \"No\"\ncell s #7D7D7D \"相違\"\ncell s #7D7D7D \"ID\"\n"
            "cell s #7D7D7D \"ID\"\ncell s #7D7D7D \"名前\"\ncell s #7D7D7D \"メモ\"\n"
            "cell s #7D7D7D \"金額\"\n");
  EXPECT_EQ(perSheet[0].rows[2],
            "cell n - \"2\"\ncell s - \"   2\"\ncell s #AAFFFF \"002\"\ncell s - \"002\"\n"
            "cell s #F7FB6A \"A&B <x>\"\ncell s #F7FB6A \"memo\"\ncell s #BBBBBB \"5\"\n");
  EXPECT_EQ(perSheet[1].rows[2],
            "cell n - \"2\"\ncell s - \"   2\"\ncell s #AAFFFF \"002\"\ncell s - \"002\"\n"
            "cell s #82E6E6 \"A&B \\\"y\\\"\\r\\nz\"\ncell s #82E6E6 \"other\"\n"
            "cell s #BBBBBB \"6\"\n");
  // The right-only pair on the left sheet: the side without a record is grey.
  EXPECT_EQ(perSheet[0].rows[3],
            "cell n - \"3\"\ncell s - \"右のみ\"\ncell s #AAFFFF \"003\"\ncell - #808080 \"\"\n"
            "cell - #808080 \"\"\ncell - #808080 \"\"\ncell - #BBBBBB \"\"\n");

  const std::vector<Sheet> fields =
      SplitSheets(ReadBoth(tricky, ExportLayout::kAlternateFields).xlsx);
  ASSERT_EQ(fields.size(), 1u);
  EXPECT_EQ(fields[0].name, "Sheet1");
  ASSERT_GE(fields[0].rows.size(), 9u);
  EXPECT_EQ(fields[0].rows[1],
            "cell n - \"1\"\ncell s - \"   0\"\ncell s - \"K100\"\ncell s - \"○\"\n"
            "cell s - \"0012\"\ncell s - \"0012\"\ncell s - \"○\"\ncell s - \"same\"\n"
            "cell s - \"same\"\ncell s #BBBBBB \"未\"\ncell s #BBBBBB \"x\"\n"
            "cell s #BBBBBB \"y\"\n");
  EXPECT_NE(fields[0].rows[2].find("cell s #F7FB6A \"-1\"\ncell s #F7FB6A \"-1!\"\n"),
            std::string::npos)
      << fields[0].rows[2];
  EXPECT_NE(fields[0].rows[6].find("cell s #F7FB6A \"=SUM(A1)\"\ncell s #F7FB6A \"=SUM(A1)!\"\n"),
            std::string::npos)
      << fields[0].rows[6];
  EXPECT_NE(fields[0].rows[8].find("cell s #F7FB6A \"_x0041_\"\n"), std::string::npos)
      << fields[0].rows[8];
}

// `pairs` pairs of three fields, the first a key; every third differs, the fifth is left
// only, the sixth right only.
MemoryExportSource NumberedPairs(int pairs) {
  MemoryExportSource s;
  s.fields = {{1, true, false, "K"}, {2, false, false, "A"}, {3, false, true, "B"}};
  for (int i = 0; i < pairs; ++i) {
    const std::string key = Cat("k", std::to_string(i));
    const int status = i == 4 ? -2 : i == 5 ? -1 : i % 3 == 0 ? 1 : 0;
    RecordPair pair{status, -1, -1};
    if (status != -1) {
      pair.LeftRow = static_cast<int>(s.left.size());
      s.left.push_back({key, Cat("a", std::to_string(i)), "b"});
    }
    if (status != -2) {
      pair.RightRow = static_cast<int>(s.right.size());
      s.right.push_back({key, status == 1 ? "changed" : Cat("a", std::to_string(i)), "c"});
    }
    s.pairs.push_back(pair);
  }
  return s;
}

// The workbook of `source` in `layout` written with at most `rowLimit` rows a sheet.
std::string LimitedXlsx(const ExportSource& source, ExportLayout layout, int rowLimit) {
  TempDir dir;
  const std::string path = dir.File("limited.xlsx");
  XlsxExportWriter writer(source, rowLimit);
  if (!writer.Open(path, dir.Path())) return "<open failed>";
  writer.WriteLayout(layout);
  if (!writer.Close()) return "<close failed>";
  if (FolderEntries(dir.Path()) != Texts{"limited.xlsx"}) return "<temporary files left>";
  return Cells("xlsx", path);
}

TEST(XlsxExportWriterTest, ALongResultContinuesOnNumberedSheets) {
  if (!HavePython()) GTEST_SKIP() << "python3 with zipfile and xml.etree is not available";
  struct Case {
    int pairs;
    ExportLayout layout;
    int rowLimit;
    Texts sheets;
  };
  const std::vector<Case> cases = {
      {7, ExportLayout::kAlternateFields, 4, {"Sheet1", "Sheet1 (2)", "Sheet1 (3)"}},
      // Exactly full sheets: no empty one after them.
      {6, ExportLayout::kAlternateFields, 4, {"Sheet1", "Sheet1 (2)"}},
      {6, ExportLayout::kAlternateFields, 7, {"Sheet1"}},
      {7, ExportLayout::kAlternateFields, 7, {"Sheet1", "Sheet1 (2)"}},
      {7,
       ExportLayout::kPerSheet,
       4,
       {"Left", "Left (2)", "Left (3)", "Right", "Right (2)", "Right (3)"}},
      // A pair's two rows stay together: one pair a sheet when the limit is 4.
      {3, ExportLayout::kAlternateRows, 4, {"Sheet1", "Sheet1 (2)", "Sheet1 (3)"}},
      {6, ExportLayout::kAlternateRows, 6, {"Sheet1", "Sheet1 (2)", "Sheet1 (3)"}},
      {6, ExportLayout::kAlternateRows, 13, {"Sheet1"}},
      // A limit below a header and one pair counts as that.
      {2, ExportLayout::kAlternateRows, 1, {"Sheet1", "Sheet1 (2)"}},
      {11,
       ExportLayout::kAlternateFields,
       2,
       {"Sheet1", "Sheet1 (2)", "Sheet1 (3)", "Sheet1 (4)", "Sheet1 (5)", "Sheet1 (6)"}},
      {0, ExportLayout::kAlternateRows, 4, {"Sheet1"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(Cat(LayoutName(c.layout), ", ", std::to_string(c.pairs), " pairs, limit ",
                     std::to_string(c.rowLimit)));
    const MemoryExportSource source = NumberedPairs(c.pairs);
    // The one-sheet XML export is the yardstick: its sheets, cut into parts, each headed by
    // the sheet's header row.
    TempDir dir;
    ASSERT_EQ(WriteExport(source, ExportFormat::kXml, c.layout, dir.File("all.xml")), kExportDone);
    const std::vector<Sheet> whole = SplitSheets(Cells("xml", dir.File("all.xml")));
    const std::vector<Sheet> parts = SplitSheets(LimitedXlsx(source, c.layout, c.rowLimit));
    Texts names;
    for (const Sheet& sheet : parts) names.push_back(sheet.name);
    EXPECT_EQ(names, c.sheets);
    const int limit = std::max(c.rowLimit, 3);
    std::size_t next = 0;
    for (const Sheet& sheet : whole) {
      std::vector<std::string> dataRows;
      for (const Sheet& part : parts) {
        if (part.name != sheet.name && part.name.rfind(sheet.name + " (", 0) != 0) continue;
        ASSERT_FALSE(part.rows.empty());
        EXPECT_EQ(part.rows[0], sheet.rows[0]) << part.name;
        EXPECT_LE(static_cast<int>(part.rows.size()), limit) << part.name;
        if (c.layout == ExportLayout::kAlternateRows) {
          EXPECT_EQ(part.rows.size() % 2, 1u) << part.name;
        }
        dataRows.insert(dataRows.end(), part.rows.begin() + 1, part.rows.end());
        ++next;
      }
      EXPECT_EQ(dataRows, std::vector<std::string>(sheet.rows.begin() + 1, sheet.rows.end()))
          << sheet.name;
    }
    EXPECT_EQ(next, parts.size());
  }
}

// The descriptors of this process that lead to unlinked files in `folder`.
int OpenUnlinkedFiles(const std::string& folder) {
  int count = 0;
  for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) {
    std::error_code error;
    const std::string target = std::filesystem::read_symlink(entry.path(), error).string();
    if (!error && target.rfind(folder + "/", 0) == 0 && target.size() > 10 &&
        target.compare(target.size() - 10, 10, " (deleted)") == 0) {
      ++count;
    }
  }
  return count;
}

// A workbook given up before Close (an exception on the way) writes no file and keeps none
// of its temporary files open.
TEST(XlsxExportWriterTest, AWorkbookGivenUpLeavesNothing) {
  TempDir dir;
  const MemoryExportSource source = NumberedPairs(50);
  {
    XlsxExportWriter writer(source, 8);
    ASSERT_TRUE(writer.Open(dir.File("given-up.xlsx"), dir.Path()));
    writer.WriteXlsxPerSide(Side::kLeft);
    writer.WriteXlsxPerSide(Side::kRight);
    EXPECT_FALSE(writer.Failed());
    // Its sheets (eight a side) hold their rows in files without names.
    EXPECT_EQ(OpenUnlinkedFiles(dir.Path()), 16);
  }
  EXPECT_EQ(OpenUnlinkedFiles(dir.Path()), 0);
  EXPECT_EQ(FolderEntries(dir.Path()), Texts{});
}

// Refuses to begin the named whole-or-nothing write, as the system does in a folder that
// may not be written.
class NoNamedWriteFileSystem : public FileSystem {
 public:
  int BeginNamedWrite(const std::string&, int, std::string* tempPath,
                      std::string* folder) override {
    tempPath->clear();
    folder->clear();
    ++calls;
    return -1;
  }
  int calls = 0;
};

class ScopedFileSystem {
 public:
  explicit ScopedFileSystem(FileSystem* fs) : previous_(SetFileSystem(fs)) {}
  ~ScopedFileSystem() { SetFileSystem(previous_); }
  ScopedFileSystem(const ScopedFileSystem&) = delete;
  ScopedFileSystem& operator=(const ScopedFileSystem&) = delete;

 private:
  FileSystem* previous_;
};

TEST(XlsxExportWriterTest, FailuresLeaveTheOldFileWholeAndNothingElse) {
  RecordingNotifier notes;
  TempDir dir;
  const MemoryExportSource source = SampleSource();
  for (ExportLayout layout : kLayouts) {
    SCOPED_TRACE(LayoutName(layout));
    const std::string out = dir.Write("out.xlsx", "the previous export");
    {
      // The file cannot be made finally: the workbook written beside it is dropped.
      test::FaultyFileSystem fs;
      fs.FailWriteCloses();
      test::ScopedFaultyFileSystem scopedFs(&fs);
      notes.Clear();
      EXPECT_EQ(test::Shown(notes, RunExport(source, ExportFormat::kXlsx, layout, out, true)),
                kExportWriteFailed);
      EXPECT_EQ(notes.Texts(), Texts{"書き込みに失敗しました。"});
      EXPECT_EQ(fs.Failures(), 1);
    }
    EXPECT_EQ(ReadFileBytes(out), "the previous export");
    EXPECT_EQ(FolderEntries(dir.Path()), Texts{"out.xlsx"});
    {
      // The file cannot be begun.
      NoNamedWriteFileSystem fs;
      ScopedFileSystem scopedFs(&fs);
      notes.Clear();
      EXPECT_EQ(test::Shown(notes, RunExport(source, ExportFormat::kXlsx, layout, out, true)),
                kExportOpenFailed);
      EXPECT_EQ(notes.Texts(), Texts{"ファイルオープンに失敗しました。"});
      EXPECT_EQ(fs.calls, 1);
    }
    EXPECT_EQ(ReadFileBytes(out), "the previous export");
    EXPECT_EQ(FolderEntries(dir.Path()), Texts{"out.xlsx"});
  }
  // A folder, and a folder that does not exist.
  notes.Clear();
  EXPECT_EQ(test::Shown(
                notes, RunExport(source, ExportFormat::kXlsx, ExportLayout::kPerSheet, dir.Path())),
            kExportNotRegular);
  EXPECT_EQ(WriteExport(source, ExportFormat::kXlsx, ExportLayout::kPerSheet,
                        dir.File("missing/out.xlsx")),
            kExportOpenFailed);
  EXPECT_EQ(notes.Texts(), Texts{"通常のファイルではないため出力できません。(" + dir.Path() + ")"});
  EXPECT_EQ(FolderEntries(dir.Path()), Texts{"out.xlsx"});

  // Then a good export replaces the file, and nothing else is left either.
  notes.Clear();
  const std::string out = dir.File("out.xlsx");
  EXPECT_EQ(test::Shown(notes,
                        RunExport(source, ExportFormat::kXlsx, ExportLayout::kPerSheet, out, true)),
            kExportDone);
  EXPECT_EQ(notes.Texts(), Texts{"出力を完了しました。"});
  EXPECT_EQ(ReadFileBytes(out).substr(0, 4), std::string("PK\x03\x04", 4));
  EXPECT_EQ(FolderEntries(dir.Path()), Texts{"out.xlsx"});
}

TEST(XlsxExportWriterTest, NoSizeQuestionAndJapaneseNames) {
  RecordingNotifier notes;
  NotifierPrompter prompter(notes);
  // Only the XML export warns that it takes long.
  EXPECT_TRUE(ConfirmLargeExport(ExportFormat::kXlsx, kLargeXmlExportPairs + 1, prompter));
  EXPECT_TRUE(ConfirmLargeExport(ExportFormat::kXlsx, 1000000, prompter));
  EXPECT_TRUE(notes.Entries().empty());

  if (!HavePython()) GTEST_SKIP() << "python3 with zipfile and xml.etree is not available";
  TempDir dir;
  const std::string folder = dir.File("出力先");
  std::filesystem::create_directory(folder);
  const std::string path = folder + "/比較結果.xlsx";
  const MemoryExportSource source = SampleSource();
  ASSERT_EQ(WriteExport(source, ExportFormat::kXlsx, ExportLayout::kAlternateRows, path),
            kExportDone);
  EXPECT_EQ(FolderEntries(folder), Texts{"比較結果.xlsx"});
  EXPECT_EQ(Cells("xlsx", path), ReadBoth(source, ExportLayout::kAlternateRows).xml);
}

// A small tmpfs of its own, unmounted with the object; Mounted() is false where mounting
// is not allowed.
class SmallDisk {
 public:
  explicit SmallDisk(const std::string& folder) : folder_(folder) {
    std::filesystem::create_directory(folder_);
    const std::string command =
        Cat("mount -t tmpfs -o size=64k tmpfs '", folder_, "' >/dev/null 2>&1");
    mounted_ = ::geteuid() == 0 && std::system(command.c_str()) == 0;
  }
  ~SmallDisk() {
    if (mounted_) ::umount2(folder_.c_str(), MNT_DETACH);
  }
  SmallDisk(const SmallDisk&) = delete;
  SmallDisk& operator=(const SmallDisk&) = delete;

  bool Mounted() const { return mounted_; }
  unsigned long FreeBlocks() const {
    struct statvfs st {};
    ::statvfs(folder_.c_str(), &st);
    return st.f_bfree;
  }
  // Fills the disk with the file `filler` and then frees `bytes` of it again.
  void LeaveFree(const std::string& filler, std::size_t bytes) {
    {
      std::ofstream out(filler, std::ios::binary | std::ios::trunc);
      const std::string block(4096, 'f');
      while (out.write(block.data(), static_cast<std::streamsize>(block.size()))) {
      }
    }
    const auto size = std::filesystem::file_size(filler);
    std::filesystem::resize_file(filler, size > bytes ? size - bytes : 0);
  }

 private:
  std::string folder_;
  bool mounted_ = false;
};

// `pairs` pairs of texts that compress badly, so that their workbook is large on disk.
MemoryExportSource NoisyPairs(int pairs) {
  MemoryExportSource s;
  s.fields = {{1, true, false, "K"}, {2, false, false, "A"}, {3, false, false, "B"}};
  std::mt19937 random(11);
  auto noise = [&random] {
    std::string text(60, ' ');
    for (char& c : text) c = static_cast<char>('!' + random() % 90);
    return text;
  };
  for (int i = 0; i < pairs; ++i) {
    s.left.push_back({std::to_string(i), noise(), noise()});
    s.right.push_back({std::to_string(i), noise(), noise()});
    s.pairs.push_back({2, i, i});
  }
  return s;
}

// A disk that fills up at every stage of writing a workbook: its sheets' temporary files,
// the assembling of its parts, the zip file. Each export either succeeds whole or fails and
// leaves the old file whole, no other name, and all its space given back.
TEST(XlsxExportWriterTest, AFullDiskLeavesTheOldFileWhole) {
  if (!HavePython()) GTEST_SKIP() << "python3 with zipfile and xml.etree is not available";
  TempDir dir;
  SmallDisk disk(dir.File("disk"));
  if (!disk.Mounted()) {
    GTEST_SKIP() << "a 64 KiB tmpfs could not be mounted (`mount -t tmpfs` needs root and a "
                    "system that allows it)";
  }
  const std::string folder = dir.File("disk");
  const std::string out = folder + "/out.xlsx";
  const std::string filler = folder + "/filler";
  const MemoryExportSource small = NumberedPairs(10);
  const MemoryExportSource large = NoisyPairs(1000);
  const std::string smallCells = ReadBoth(small, ExportLayout::kAlternateRows).xml;
  int failed = 0;
  int done = 0;
  for (std::size_t freeKiB = 0; freeKiB <= 56; freeKiB += 4) {
    for (const MemoryExportSource* source : {&small, &large}) {
      SCOPED_TRACE(Cat(std::to_string(freeKiB), " KiB free, ", std::to_string(source->PairCount()),
                       " pairs"));
      std::filesystem::remove(out);
      std::filesystem::remove(filler);
      std::ofstream(out, std::ios::binary) << "the previous export";
      disk.LeaveFree(filler, freeKiB * 1024);
      const unsigned long before = disk.FreeBlocks();
      const int result = WriteExport(*source, ExportFormat::kXlsx, ExportLayout::kAlternateRows,
                                     out, Progress::None(), true);
      EXPECT_EQ(FolderEntries(folder), (Texts{"filler", "out.xlsx"}));
      if (result == kExportDone) {
        ++done;
        EXPECT_EQ(source, &small);
        std::filesystem::remove(filler);
        EXPECT_EQ(Cells("xlsx", out), smallCells);
      } else {
        ++failed;
        EXPECT_TRUE(result == kExportWriteFailed || result == kExportOpenFailed) << result;
        EXPECT_EQ(ReadFileBytes(out), "the previous export");
        EXPECT_EQ(disk.FreeBlocks(), before);
      }
    }
  }
  // Both outcomes were seen, so the disk did run full and the export does fit when it can.
  EXPECT_GT(failed, 10);
  EXPECT_GT(done, 0);
}

}  // namespace
}  // namespace korvel

namespace korvel {
namespace {

// A field compared as numbers: the workbook's marks and fills are the XML export's in every
// layout, and both follow the number rule (1.0 / 1.00 unfilled, 5 / 6 filled).
TEST(XlsxExportWriterTest, NumberFieldsFillAsTheXmlExport) {
  if (!HavePython()) GTEST_SKIP() << "python3 with zipfile and xml.etree is not available";
  MemoryExportSource s;
  s.fields = {{1, true, false, "K"}, {2, false, false, "N", FieldCompare::kNumber}};
  s.left = {{"k1", "1.0"}, {"k2", "5"}};
  s.right = {{"k1", "1.00"}, {"k2", "6"}};
  s.pairs = {{0, 0, 0}, {1, 1, 1}};
  for (ExportLayout layout : kLayouts) {
    const BothReadings r = ReadBoth(s, layout);
    EXPECT_EQ(r.xlsx, r.xml) << LayoutName(layout);
  }
  const std::vector<Sheet> fields = SplitSheets(ReadBoth(s, ExportLayout::kAlternateFields).xlsx);
  ASSERT_EQ(fields.size(), 1u);
  ASSERT_EQ(fields[0].rows.size(), 3u);
  EXPECT_EQ(fields[0].rows[1],
            "cell n - \"1\"\ncell s - \"   0\"\ncell s - \"k1\"\ncell s - \"○\"\n"
            "cell s - \"1.0\"\ncell s - \"1.00\"\n");
  EXPECT_NE(fields[0].rows[2].find("\"×\"\ncell s #"), std::string::npos) << fields[0].rows[2];
  // The same cells as text: the first pair's number cells are filled as well.
  s.fields[1].compare = FieldCompare::kText;
  const std::vector<Sheet> asText = SplitSheets(ReadBoth(s, ExportLayout::kAlternateFields).xlsx);
  ASSERT_EQ(asText.size(), 1u);
  ASSERT_EQ(asText[0].rows.size(), 3u);
  EXPECT_NE(asText[0].rows[1].find("\"×\"\ncell s #"), std::string::npos) << asText[0].rows[1];
}

}  // namespace
}  // namespace korvel
