#include "export/CsvExportWriter.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>

#include "ExportTestSource.h"
#include "TestUtil.h"

namespace korvel {
namespace {

using test::ExportBytes;
using test::MemoryExportSource;
using test::S;
using test::SampleSource;

using test::SjisLines;

TEST(CsvExportWriterTest, PerSheetLayoutWritesPathAndBlockPerSide) {
  const std::string leftBlock = SjisLines({
      "No,相違,ID,ID,差異,名前,差異,メモ,差異,金額,差異",
      "1,   0,001,001,○,山田,○,a,○,100,○",
      "2,   2,002,002,○,A&B <x>,×,memo,×,5,×",
      "3,右のみ,003,,×,,×,,○,,×",
      "4,左のみ,004,004,×,only left,×,,○,,○",
  });
  const std::string rightBlock = SjisLines({
      "No,相違,ID,ID,差異,名前,差異,メモ,差異,金額,差異",
      "1,   0,001,001,○,山田,○,a,○,100,○",
      "2,   2,002,002,○,\"A&B \"\"y\"\"\r\nz\",×,other,×,6,×",
      "3,右のみ,003,003,×,右,×,,○,7,×",
      "4,左のみ,004,,×,,×,,○,,○",
  });
  EXPECT_EQ(ExportBytes(SampleSource(), ExportFormat::kCsv, ExportLayout::kPerSheet),
            SjisLines({"\"/data/左,file.csv\""}) + leftBlock + SjisLines({"/data/right.csv"}) +
                rightBlock);
}

TEST(CsvExportWriterTest, AlternateFieldsLayoutSpacesOneSidedStatus) {
  EXPECT_EQ(ExportBytes(SampleSource(), ExportFormat::kCsv, ExportLayout::kAlternateFields),
            SjisLines({
                "No,相違,ID,名前,L側,R側,メモ,L側,R側,金額,L側,R側",
                "1,   0,001,○,山田,山田,○,a,a,未,100,100",
                "2,   2,002,×,A&B <x>,\"A&B \"\"y\"\"\r\nz\",×,memo,other,未,5,6",
                "3, 右のみ,003,×,,右,○,,,未,,7",
                "4, 左のみ,004,×,only left,,○,,,未,,",
            }));
}

TEST(CsvExportWriterTest, AlternateRowsLayoutWritesThreeLinesPerPair) {
  EXPECT_EQ(ExportBytes(SampleSource(), ExportFormat::kCsv, ExportLayout::kAlternateRows),
            SjisLines({
                "No,相違,ファイル,ID,ID,名前,メモ,金額",
                "1,   0,L,001,001,山田,a,100",
                "1,   0,R,001,001,山田,a,100",
                "1,   0,相違,001,○,○,○,○",
                "2,   2,L,002,002,A&B <x>,memo,5",
                "2,   2,R,002,002,\"A&B \"\"y\"\"\r\nz\",other,6",
                "2,   2,相違,002,○,×,×,×",
                "3,右のみ,L,003,,,,",
                "3,右のみ,R,003,003,右,,7",
                "3,右のみ,相違,003,×,×,○,×",
                "4,左のみ,L,004,004,only left,,",
                "4,左のみ,R,004,,,,",
                "4,左のみ,相違,004,×,×,○,○",
            }));
}

TEST(CsvExportWriterTest, EmptyResultWritesHeaderLinesOnly) {
  MemoryExportSource empty;
  empty.leftPath = "/a.csv";
  empty.rightPath = "/b.csv";
  EXPECT_EQ(ExportBytes(empty, ExportFormat::kCsv, ExportLayout::kPerSheet),
            SjisLines({"/a.csv", "No,相違", "/b.csv", "No,相違"}));
  EXPECT_EQ(ExportBytes(empty, ExportFormat::kCsv, ExportLayout::kAlternateFields),
            SjisLines({"No,相違"}));
  EXPECT_EQ(ExportBytes(empty, ExportFormat::kCsv, ExportLayout::kAlternateRows),
            SjisLines({"No,相違,ファイル"}));
}

// The one data line of a one-field alternating-fields export with these two values.
std::string DataLine(std::string left, std::string right) {
  MemoryExportSource s;
  s.fields = {{1, false, false, "F"}};
  s.pairs = {{left == right ? 0 : 1, 0, 0}};
  s.left = {{std::move(left)}};
  s.right = {{std::move(right)}};
  std::string csv = ExportBytes(s, ExportFormat::kCsv, ExportLayout::kAlternateFields);
  std::size_t start = csv.find("\r\n") + 2;
  return csv.substr(start);
}

TEST(CsvExportWriterTest, QuotesOnlyCellsThatNeedIt) {
  // Comma, CR, LF and double quote each call for quotes; inner quotes are doubled.
  EXPECT_EQ(DataLine("a,b", "a\rb"), S("1,   1,×,\"a,b\",\"a\rb\"\r\n"));
  EXPECT_EQ(DataLine("a\nb", "say \"hi\""), S("1,   1,×,\"a\nb\",\"say \"\"hi\"\"\"\r\n"));
  EXPECT_EQ(DataLine("\"", ""), S("1,   1,×,\"\"\"\",\r\n"));
  // Other bytes, double-byte characters (also those ending in a backslash) and
  // half-width katakana pass as they are.
  EXPECT_EQ(DataLine(S("ソ表ｱ 'x'\t;"), S("ソ表ｱ 'x'\t;")),
            S("1,   0,○,ソ表ｱ 'x'\t;,ソ表ｱ 'x'\t;\r\n"));
  // A byte after a lead byte belongs to its character, even where it would be a quote.
  std::string broken("\x82\"", 2);
  EXPECT_EQ(DataLine(broken, "x"), S("1,   1,×,") + broken + ",x\r\n");
  // So do the single bytes that have no character of their own: the file keeps its bytes.
  const std::string singles = "\x80\xA0\xFD\xFE\xFF";
  EXPECT_EQ(DataLine(singles, singles), S("1,   0,○,") + singles + "," + singles + "\r\n");
}

TEST(CsvExportWriterTest, NumbersPairsFromOneInViewOrder) {
  // An extraction hands over a part of the result: its rows are numbered 1, 2, ...
  MemoryExportSource s;
  s.fields = {{1, true, false, "K"}, {2, false, false, "V"}};
  s.left = {{"k1", "a"}, {"k2", "b"}, {"k3", "c"}};
  s.right = {{"k1", "a"}, {"k2", "B"}, {"k3", "C"}};
  s.pairs = {{1, 2, 2}, {1, 1, 1}};
  EXPECT_EQ(ExportBytes(s, ExportFormat::kCsv, ExportLayout::kAlternateFields),
            SjisLines({"No,相違,K,V,L側,R側", "1,   1,k3,×,c,C", "2,   1,k2,×,b,B"}));
}

// A field compared as numbers is marked by the number rule in every layout and in both
// formats; the spaces rule stays out of the exports, as it always has.
TEST(CsvExportWriterTest, NumberFieldsAreMarkedByValue) {
  MemoryExportSource s;
  s.fields = {{1, true, false, "K"},
              {2, false, false, "N", FieldCompare::kNumber},
              {3, false, false, "S", FieldCompare::kNumberIgnoreSpaces},
              {4, false, false, "T"}};
  s.left = {{"k1", "1.0", "a b", "1.0"}, {"k2", "10", "1", "x"}};
  s.right = {{"k1", "1.00", "ab", "1.00"}, {"k2", S("１０．０"), "2", "x"}};
  s.pairs = {{2, 0, 0}, {1, 1, 1}};
  EXPECT_EQ(ExportBytes(s, ExportFormat::kCsv, ExportLayout::kAlternateFields),
            SjisLines({"No,相違,K,N,L側,R側,S,L側,R側,T,L側,R側",
                       "1,   2,k1,○,1.0,1.00,×,a b,ab,×,1.0,1.00",
                       "2,   1,k2,○,10,１０．０,×,1,2,○,x,x"}));
  EXPECT_EQ(
      ExportBytes(s, ExportFormat::kCsv, ExportLayout::kAlternateRows),
      SjisLines({"No,相違,ファイル,K,K,N,S,T", "1,   2,L,k1,k1,1.0,a b,1.0",
                 "1,   2,R,k1,k1,1.00,ab,1.00", "1,   2,相違,k1,○,○,×,×", "2,   1,L,k2,k2,10,1,x",
                 "2,   1,R,k2,k2,１０．０,2,x", "2,   1,相違,k2,○,○,×,○"}));
  const std::string perSheet = ExportBytes(s, ExportFormat::kCsv, ExportLayout::kPerSheet);
  EXPECT_NE(perSheet.find(S("1,   2,k1,k1,○,1.0,○,a b,×,1.0,×")), std::string::npos) << perSheet;
  // The XML export's marks: one "×" fewer per number field within its tolerance.
  auto crosses = [](const std::string& xml) {
    std::size_t n = 0;
    for (std::size_t at = xml.find("×"); at != std::string::npos; at = xml.find("×", at + 1)) ++n;
    return n;
  };
  const std::size_t asNumbers =
      crosses(ExportBytes(s, ExportFormat::kXml, ExportLayout::kAlternateFields));
  s.fields[1].compare = FieldCompare::kText;
  EXPECT_EQ(crosses(ExportBytes(s, ExportFormat::kXml, ExportLayout::kAlternateFields)),
            asNumbers + 2);
  EXPECT_EQ(asNumbers, 3u);
}

TEST(CsvExportWriterTest, LongCellsAreWrittenWhole) {
  std::string text;
  for (int i = 0; i < 40000; ++i) text += S(i % 5 == 0 ? "\"あ" : "xあ");
  std::string quoted = "\"";
  for (int i = 0; i < 40000; ++i) quoted += S(i % 5 == 0 ? "\"\"あ" : "xあ");
  quoted += "\"";
  EXPECT_EQ(DataLine(text, text), S("1,   0,○,") + quoted + "," + quoted + "\r\n");
}

}  // namespace
}  // namespace korvel
