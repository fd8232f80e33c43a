// An XML export of a real comparison, opened by LibreOffice: every layout is converted to
// CSV by `libreoffice --headless --convert-to csv`, and the cells read back must be the
// values the grid shows (and the layout's headers, numbers, statuses and marks).
//
// LibreOffice is looked for on PATH. When it is missing, the test installs Debian's
// libreoffice-calc-nogui with apt-get (only as root, bounded in time; KORVEL_NO_INSTALL=1
// forbids it) and skips with the reason when that is not possible. Every outside command
// runs under `timeout`, so the test cannot hang.

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "OfficeTools.h"
#include "TestUtil.h"
#include "compare/CompareSession.h"
#include "compare/FieldGrid.h"
#include "export/ExportDriver.h"
#include "export/SessionExportSource.h"
#include "grid/SessionGridModel.h"
#include "platform/Codepage.h"
#include "platform/Notifier.h"

namespace korvel {
namespace {

namespace fs = std::filesystem;
using test::FindOffice;
using test::InstallOffice;
using test::kCsvFilter;
using test::ParseCsv;
using test::S;
using test::Shell;
using test::ShellQuoted;
using test::Table;
using test::Trimmed;

std::string StatusText(int status) {
  if (status == -1) return "右のみ";
  if (status == -2) return "左のみ";
  char text[16];
  std::snprintf(text, sizeof text, " %3d", status);
  return text;
}

// What the grid shows, as the layouts arrange it.
class ShownTables {
 public:
  explicit ShownTables(const GridModel& model) : m_(model) {}

  Table PerSide(Side side) const {
    Table t;
    std::vector<std::string> header = {"No", "相違"};
    for (int j = 0; j < m_.KeyCount(); ++j) header.push_back(Name(j));
    for (int j = 0; j < m_.FieldCount(); ++j) header.push_back(Name(j));
    t.push_back(header);
    for (int r = 0; r < m_.RowCount(); ++r) t.push_back(SideRow(r, side, {}));
    return t;
  }

  Table AlternateFields() const {
    Table t;
    std::vector<std::string> header = {"No", "相違"};
    for (int j = 0; j < m_.KeyCount(); ++j) header.push_back(Name(j));
    for (int j = m_.KeyCount(); j < m_.FieldCount(); ++j) {
      header.insert(header.end(), {Name(j), "L側", "R側"});
    }
    t.push_back(header);
    for (int r = 0; r < m_.RowCount(); ++r) {
      const RecordPair pair = m_.Pair(r);
      std::vector<std::string> row = {std::to_string(r + 1), StatusText(pair.Status)};
      for (int j = 0; j < m_.KeyCount(); ++j) row.push_back(KeyValue(pair, j));
      for (int j = m_.KeyCount(); j < m_.FieldCount(); ++j) {
        const std::string left = Value(Side::kLeft, pair, j);
        const std::string right = Value(Side::kRight, pair, j);
        // The export compares the two texts plainly, byte for byte.
        const char* mark = m_.Field(j).NotCompared ? "未" : (left != right ? "×" : "○");
        row.insert(row.end(), {mark, left, right});
      }
      t.push_back(row);
    }
    return t;
  }

  Table AlternateRows() const {
    Table t;
    std::vector<std::string> header = {"No", "相違", "ファイル"};
    for (int j = 0; j < m_.KeyCount(); ++j) header.push_back(Name(j));
    for (int j = 0; j < m_.FieldCount(); ++j) header.push_back(Name(j));
    t.push_back(header);
    for (int r = 0; r < m_.RowCount(); ++r) {
      t.push_back(SideRow(r, Side::kLeft, "L"));
      t.push_back(SideRow(r, Side::kRight, "R"));
    }
    return t;
  }

 private:
  std::string Name(int j) const { return Cp932ToUtf8(m_.Field(j).Name); }
  std::string Value(Side side, const RecordPair& pair, int j) const {
    return Cp932ToUtf8(m_.Cell(side, j, pair.Row(side)));
  }
  std::string KeyValue(const RecordPair& pair, int j) const {
    return Value(pair.LeftRow != -1 ? Side::kLeft : Side::kRight, pair, j);
  }
  std::vector<std::string> SideRow(int r, Side side, const std::string& file) const {
    const RecordPair pair = m_.Pair(r);
    std::vector<std::string> row = {std::to_string(r + 1), StatusText(pair.Status)};
    if (!file.empty()) row.push_back(file);
    for (int j = 0; j < m_.KeyCount(); ++j) row.push_back(KeyValue(pair, j));
    for (int j = 0; j < m_.FieldCount(); ++j) row.push_back(Value(side, pair, j));
    return row;
  }

  const GridModel& m_;
};

class XmlExportLibreOfficeTest : public ::testing::Test {
 protected:
  int Show(const Status& status) { return test::Shown(notifier_, status); }

  // code (key), name, dept (not compared), memo, qty; Japanese texts, XML's special
  // characters, a comma, leading zeros and spaces, full- and half-width forms.
  void Compare() {
    const std::string left =
        S("code,name,dept,memo,qty\r\n"
          "A01,山田太郎,営業部,\"東京, 大阪\",0012\r\n"
          "B02,佐藤&花子,経理部,\"<\"\"引用\"\">\",25\r\n"
          "C03,鈴木一郎,開発部, 前後に空白 ,5\r\n"
          "E05,髙橋①,総務部,ｶﾀｶﾅ～,7\r\n");
    const std::string right =
        S("code,name,dept,memo,qty\r\n"
          "A01,山田太郎,営業二部,\"東京, 大阪\",0012\r\n"
          "B02,佐藤&花子,経理部,\"<\"\"引用\"\">\",30\r\n"
          "D04,高橋ｹﾝｼﾞ,,,8\r\n"
          "E05,髙橋①,総務部,ｶﾀｶﾅ～,7\r\n");
    session_.EditSettings().FileKind = kFileKindCsv;
    session_.EditSettings().TopRowNames = true;
    session_.EditSettings().PathL = dir_.Write("left.csv", left);
    session_.EditSettings().PathR = dir_.Write("right.csv", right);
    session_.StartSetUp();
    FieldGrid grid;
    ASSERT_EQ(Show(session_.FillFieldGrids(grid, prompter_)), 0);
    grid.Toggle(1, FieldGrid::kKey);
    grid.Toggle(3, FieldGrid::kNotCompared);
    ASSERT_EQ(Show(session_.CompareSides(grid)), 0);
    ASSERT_EQ(session_.ViewPairs().size(), 5u);
  }

  std::string Export(const char* name, ExportLayout layout) {
    const std::string path = dir_.File(name);
    EXPECT_EQ(WriteExport(source_, ExportFormat::kXml, layout, path, Progress::None(), true),
              kExportDone);
    return path;
  }

  // Converts the exports with LibreOffice into `out`; false after a failed test.
  bool Convert(const std::string& office, const std::vector<std::string>& files,
               const std::string& out) {
    // Appended piece by piece: g++ 12 at -O3 misreads a long chain of operator+ on
    // temporaries as an overlapping copy (-Wrestrict).
    std::string command = "timeout -k 10 120 ";
    command += ShellQuoted(office);
    command += " -env:UserInstallation=file://";
    command += dir_.File("profile");
    command += " --headless --norestore --convert-to ";
    command += ShellQuoted(kCsvFilter);
    command += " --outdir ";
    command += ShellQuoted(out);
    for (const std::string& file : files) {
      command += ' ';
      command += ShellQuoted(file);
    }
    command += " >";
    command += ShellQuoted(dir_.File("office.log"));
    command += " 2>&1";
    const int rc = Shell(command);
    EXPECT_EQ(rc, 0) << "LibreOffice failed or timed out (exit " << rc << "):\n"
                     << test::ReadFileBytes(dir_.File("office.log"));
    return rc == 0;
  }

  Table ReadBack(const std::string& out, const char* name) {
    const std::string path = out + "/" + name;
    EXPECT_TRUE(fs::exists(path)) << path << " was not written:\n"
                                  << test::ReadFileBytes(dir_.File("office.log"));
    return Trimmed(ParseCsv(test::ReadFileBytes(path)));
  }

  test::TempDir dir_;
  RecordingNotifier notifier_;
  NotifierPrompter prompter_{notifier_};
  CompareSession session_;
  SessionExportSource source_{session_};
  SessionGridModel model_{session_};
};

TEST_F(XmlExportLibreOfficeTest, CellsReadBackAreTheShownValues) {
  std::string office = FindOffice();
  if (office.empty()) {
    const std::string why = InstallOffice(dir_);
    office = FindOffice();
    if (office.empty()) {
      GTEST_SKIP() << "LibreOffice (libreoffice or soffice) is not on PATH and was not "
                      "installed: "
                   << (why.empty() ? "it was still not found after installing" : why);
    }
  }
  Compare();
  const std::vector<std::string> files = {Export("sheet.xml", ExportLayout::kPerSheet),
                                          Export("field.xml", ExportLayout::kAlternateFields),
                                          Export("row.xml", ExportLayout::kAlternateRows)};
  const std::string out = dir_.File("out");
  fs::create_directory(out);
  ASSERT_TRUE(Convert(office, files, out));

  const ShownTables shown(model_);
  const Table left = ReadBack(out, "sheet-Left.csv");
  EXPECT_EQ(left, Trimmed(shown.PerSide(Side::kLeft)));
  EXPECT_EQ(ReadBack(out, "sheet-Right.csv"), Trimmed(shown.PerSide(Side::kRight)));
  EXPECT_EQ(ReadBack(out, "field-Sheet1.csv"), Trimmed(shown.AlternateFields()));
  EXPECT_EQ(ReadBack(out, "row-Sheet1.csv"), Trimmed(shown.AlternateRows()));

  // A few cells spelled out, so that a fault shared by the export and the expectation
  // above still shows: the office program kept the texts as written.
  ASSERT_EQ(left.size(), 6u);
  EXPECT_EQ(left[1], (std::vector<std::string>{"1", "   0", "A01", "A01", "山田太郎", "営業部",
                                               "東京, 大阪", "0012"}));
  EXPECT_EQ(left[2][6], "<\"引用\">");
  EXPECT_EQ(left[2][4], "佐藤&花子");
  EXPECT_EQ(left[3][6], " 前後に空白 ");
  EXPECT_EQ(left[4][1], "右のみ");
  EXPECT_EQ(left[4][2], "D04");  // the key comes from the right file
  EXPECT_EQ(left[5][4], "髙橋①");
  EXPECT_EQ(left[5][6], "ｶﾀｶﾅ～");
  EXPECT_TRUE(notifier_.Entries().empty());
}

}  // namespace
}  // namespace korvel
