// The difference report: its escaping, its bytes for a small result in both formats, and
// what is on disk when it cannot be written.

#include "export/ReportWriter.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <initializer_list>
#include <string>
#include <vector>

#include "ExportTestSource.h"
#include "FaultyFileSystem.h"
#include "TestUtil.h"
#include "export/ExportBuffer.h"
#include "io/TextFile.h"
#include "platform/Codepage.h"

namespace korvel {
namespace {

using test::Cat;
using test::MemoryExportSource;
using test::S;
using test::SampleSource;

// What one of the writer's text functions appends for `cp932`, read back from the disk.
template <typename Append>
std::string Appended(Append append, std::string_view cp932) {
  test::TempDir dir;
  const std::string path = dir.File("t");
  {
    TextFile file;
    EXPECT_EQ(file.Open(path, TextFile::kModeWrite, kEncodingUtf8), 0);
    ExportBuffer out(file);
    append(out, cp932);
    EXPECT_TRUE(out.Flush());
    EXPECT_EQ(file.Close(), 0);
  }
  return test::ReadFileBytes(path);
}

std::string Json(std::string_view cp932) { return Appended(ReportWriter::AppendJsonText, cp932); }
std::string Csv(std::string_view cp932) { return Appended(ReportWriter::AppendCsvText, cp932); }

struct EscapeCase {
  const char* what;
  std::string cp932;
  std::string json;  // UTF-8, as a JSON string body
  std::string csv;   // UTF-8, as a CSV cell
};

TEST(ReportWriterTest, TextsAreEscapedForEachFormat) {
  const std::string fffd = "\xEF\xBF\xBD";
  const std::vector<EscapeCase> cases = {
      {"plain", "abc 123", "abc 123", "abc 123"},
      {"empty", "", "", ""},
      {"double quote", "a\"b", "a\\\"b", "\"a\"\"b\""},
      {"backslash", "a\\b", "a\\\\b", "a\\b"},
      {"comma", "a,b", "a,b", "\"a,b\""},
      {"TAB", "a\tb", "a\\tb", "a\tb"},
      {"line break", "a\r\nb", "a\\r\\nb", "\"a\r\nb\""},
      {"lone LF", "a\nb", "a\\nb", "\"a\nb\""},
      {"control characters", std::string("a\x01\x1F\x00z", 5), "a???z", "a???z"},
      {"DEL stays", "a\x7F", "a\x7F", "a\x7F"},
      {"0x80 is a control character", "a\x80", "a?", "a?"},
      {"half-width katakana", "\xB1\xDF", "\xEF\xBD\xB1\xEF\xBE\x9F", "\xEF\xBD\xB1\xEF\xBE\x9F"},
      {"trail byte 0x5C is no backslash", S("ソ表"), "ソ表", "ソ表"},
      {"trail byte 0x22 would be a quote", std::string("\x81\x22"), fffd + "\\\"",
       "\"" + fffd + "\"\"\""},
      {"broken pair before a comma", std::string("\x81,"), fffd + ",", "\"" + fffd + ",\""},
      {"lead byte at the end", std::string("x\x81"), "x" + fffd, "x" + fffd},
      {"Windows single bytes", "\xA0\xFD\xFE\xFF",
       "\xEF\xA3\xB0\xEF\xA3\xB1\xEF\xA3\xB2\xEF\xA3\xB3",
       "\xEF\xA3\xB0\xEF\xA3\xB1\xEF\xA3\xB2\xEF\xA3\xB3"},
      {"Japanese and quotes", S("山田\"太郎\""), "山田\\\"太郎\\\"", "\"山田\"\"太郎\"\"\""},
  };
  for (const EscapeCase& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(Json(c.cp932), c.json);
    EXPECT_EQ(Csv(c.cp932), c.csv);
  }
}

TEST(ReportWriterTest, UndefinedShiftJisCodesConvertAsTheCodePageDoes) {
  // Unassigned double-byte codes and user-defined ones: whatever the code page makes of
  // them (the XML export's conversion), never a raw Shift-JIS byte.
  for (std::string cp932 : {std::string("\x85\x40"), std::string("\xF0\x40"),
                            std::string("\xEB\x40"), std::string("\xFC\xFC")}) {
    SCOPED_TRACE(cp932);
    const std::string expected = Cp932ToUtf8(cp932);
    EXPECT_EQ(Json(cp932), expected);
    EXPECT_EQ(Csv(cp932), expected);
  }
  // A long text crosses the writer's chunks with a double-byte character on the seam.
  std::string longText(8191, 'a');
  longText += S("漢字");
  longText += std::string(9000, '"');
  EXPECT_EQ(Json(longText), Cat(std::string(8191, 'a'), "漢字", [] {
              std::string q;
              for (int i = 0; i < 9000; ++i) q += "\\\"";
              return q;
            }()));
}

ReportSummary SampleSummary() {
  ReportSummary s;
  s.LeftTotal = 3;
  s.RightTotal = 3;
  s.Differing = 1;
  s.LeftOnly = 1;
  s.RightOnly = 1;
  return s;
}

std::string ReportBytes(const ExportSource& source, ReportFormat format, bool allFields) {
  test::TempDir dir;
  const std::string path = dir.File("report");
  ReportOptions options;
  options.Format = format;
  options.AllFields = allFields;
  if (WriteReport(source, SampleSummary(), options, path, false) != kExportDone) {
    return "<report failed>";
  }
  return test::ReadFileBytes(path);
}

std::string JsonLines(std::initializer_list<std::string_view> lines) {
  std::string out;
  for (std::string_view line : lines) {
    out += line;
    out += '\n';
  }
  return out;
}

constexpr std::string_view kSampleSummaryLine =
    R"({"summary":{"left_total":3,"right_total":3,"differing":1,"left_only":1,"right_only":1,)"
    R"("duplicate_keys":{"left":0,"right":0},"encodings":{"left":"SJIS","right":"SJIS"},)"
    R"("warnings":[],"fields":[{"field":2,"name":"ID","differing":0},)"
    R"({"field":1,"name":"名前","differing":0},{"field":3,"name":"メモ","differing":0},)"
    R"({"field":4,"name":"金額","differing":0}]}})";

TEST(ReportWriterTest, JsonLinesListTheDifferingFieldsOfEveryShownPair) {
  EXPECT_EQ(
      ReportBytes(SampleSource(), ReportFormat::kJsonLines, false),
      JsonLines({
          kSampleSummaryLine,
          R"({"status":"equal","left_row":0,"right_row":0,"key":[{"field":2,"name":"ID","text":"001"}],"fields":[]})",
          R"({"status":"differs","left_row":1,"right_row":1,"key":[{"field":2,"name":"ID","text":"002"}],"fields":[)"
          R"({"field":1,"name":"名前","left":"A&B <x>","right":"A&B \"y\"\r\nz","differs":true},)"
          R"({"field":3,"name":"メモ","left":"memo","right":"other","differs":true}]})",
          // A one-sided record: its non-empty cells are marked, as the grid colours them.
          R"({"status":"right-only","left_row":null,"right_row":2,"key":[{"field":2,"name":"ID","text":"003"}],"fields":[)"
          R"({"field":1,"name":"名前","left":"","right":"右","differs":true}]})",
          R"({"status":"left-only","left_row":2,"right_row":null,"key":[{"field":2,"name":"ID","text":"004"}],"fields":[)"
          R"({"field":1,"name":"名前","left":"only left","right":"","differs":true}]})",
      }));
}

TEST(ReportWriterTest, JsonLinesWithAllFieldsShowEveryFieldAndTheNotComparedOneNeverDiffers) {
  const std::string bytes = ReportBytes(SampleSource(), ReportFormat::kJsonLines, true);
  EXPECT_NE(
      bytes.find(
          R"({"status":"equal","left_row":0,"right_row":0,"key":[{"field":2,"name":"ID","text":"001"}],"fields":[)"
          R"({"field":1,"name":"名前","left":"山田","right":"山田","differs":false},)"
          R"({"field":3,"name":"メモ","left":"a","right":"a","differs":false},)"
          R"({"field":4,"name":"金額","left":"100","right":"100","differs":false}]})"
          "\n"),
      std::string::npos)
      << bytes;
  EXPECT_NE(bytes.find(R"({"field":4,"name":"金額","left":"5","right":"6","differs":false}]})"),
            std::string::npos)
      << bytes;
  EXPECT_NE(bytes.find(R"({"field":3,"name":"メモ","left":"","right":"","differs":false},)"),
            std::string::npos)
      << bytes;
}

TEST(ReportWriterTest, CsvHasOneRowPerDifferingFieldAndOnePerOneSidedPair) {
  EXPECT_EQ(ReportBytes(SampleSource(), ReportFormat::kCsv, false),
            Cat("\xEF\xBB\xBF", "status,left_row,right_row,ID,field,name,left,right\r\n",
                "differs,1,1,002,1,名前,A&B <x>,\"A&B \"\"y\"\"\r\nz\"\r\n",
                "differs,1,1,002,3,メモ,memo,other\r\n",  //
                "right-only,,2,003,,,,\r\n",              //
                "left-only,2,,004,,,,\r\n"));
}

TEST(ReportWriterTest, CsvWithAllFieldsHasARowPerFieldAndADiffersColumn) {
  EXPECT_EQ(
      ReportBytes(SampleSource(), ReportFormat::kCsv, true),
      Cat("\xEF\xBB\xBF", "status,left_row,right_row,ID,field,name,left,right,differs\r\n",
          "equal,0,0,001,1,名前,山田,山田,false\r\n", "equal,0,0,001,3,メモ,a,a,false\r\n",
          "equal,0,0,001,4,金額,100,100,false\r\n",
          "differs,1,1,002,1,名前,A&B <x>,\"A&B \"\"y\"\"\r\nz\",true\r\n",
          "differs,1,1,002,3,メモ,memo,other,true\r\n", "differs,1,1,002,4,金額,5,6,false\r\n",
          "right-only,,2,003,1,名前,,右,true\r\n", "right-only,,2,003,3,メモ,,,false\r\n",
          "right-only,,2,003,4,金額,,7,false\r\n", "left-only,2,,004,1,名前,only left,,true\r\n",
          "left-only,2,,004,3,メモ,,,false\r\n", "left-only,2,,004,4,金額,,,false\r\n"));
}

TEST(ReportWriterTest, RepeatedNamesStayApartInArraysAndColumns) {
  MemoryExportSource s;
  s.fields = {{1, true, false, "k"},
              {2, true, false, "k"},
              {3, false, false, "v,\"x\""},
              {4, false, false, "v,\"x\""}};
  s.left = {{"1", "2", "a", "b"}};
  s.right = {{"1", "2", "A", "B"}};
  s.pairs = {{2, 0, 0}};
  const std::string jsonl = ReportBytes(s, ReportFormat::kJsonLines, false);
  EXPECT_EQ(
      jsonl.substr(jsonl.find('\n') + 1),
      JsonLines(
          {R"({"status":"differs","left_row":0,"right_row":0,"key":[{"field":1,"name":"k","text":"1"},)"
           R"({"field":2,"name":"k","text":"2"}],"fields":[)"
           R"({"field":3,"name":"v,\"x\"","left":"a","right":"A","differs":true},)"
           R"({"field":4,"name":"v,\"x\"","left":"b","right":"B","differs":true}]})"}));
  EXPECT_EQ(ReportBytes(s, ReportFormat::kCsv, false),
            Cat("\xEF\xBB\xBF", "status,left_row,right_row,k,k,field,name,left,right\r\n",
                "differs,0,0,1,2,3,\"v,\"\"x\"\"\",a,A\r\n",
                "differs,0,0,1,2,4,\"v,\"\"x\"\"\",b,B\r\n"));
}

TEST(ReportWriterTest, AFailedWriteLeavesNoFileAndAnExistingFileIsKept) {
  test::TempDir dir;
  const MemoryExportSource source = SampleSource();
  for (ReportFormat format : {ReportFormat::kJsonLines, ReportFormat::kCsv}) {
    SCOPED_TRACE(format == ReportFormat::kCsv ? "csv" : "jsonl");
    ReportOptions options;
    options.Format = format;
    {
      test::FaultyFileSystem fs;
      fs.LimitWrites(40);
      test::ScopedFaultyFileSystem scopedFs(&fs);
      EXPECT_EQ(WriteReport(source, SampleSummary(), options, dir.File("new"), true),
                kExportWriteFailed);
    }
    EXPECT_EQ(test::FolderEntries(dir.File("")), std::vector<std::string>{});

    const std::string old = dir.Write("old", "old bytes");
    {
      test::FaultyFileSystem fs;
      fs.LimitWrites(40);
      test::ScopedFaultyFileSystem scopedFs(&fs);
      EXPECT_EQ(WriteReport(source, SampleSummary(), options, old, true), kExportWriteFailed);
    }
    EXPECT_EQ(test::ReadFileBytes(old), "old bytes");
    // Without leave to replace, a whole report does not replace it either.
    EXPECT_EQ(WriteReport(source, SampleSummary(), options, old, false), kReportTargetExists);
    EXPECT_EQ(test::ReadFileBytes(old), "old bytes");
    EXPECT_EQ(test::FolderEntries(dir.File("")), std::vector<std::string>{"old"});
    ASSERT_EQ(std::remove(old.c_str()), 0);
  }
}

}  // namespace
}  // namespace korvel
