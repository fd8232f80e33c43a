// The delimited reader reads plain and simply quoted fields sixty-four bytes at a time and
// hands them out in place. Each file here is read that way and again through the general
// byte-by-byte rules alone (SetBlockReading(false)), and the two readings must agree on every
// result, value, lost character and message: texts whose stops fall on every side of the
// 16- and 64-byte blocks and of the reader's 16 KiB window steps, lead bytes just before a
// block's end whose trail byte is a delimiter, quote or line break, long values, lost
// characters, and each encoding's ASCII next to non-ASCII text.

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "TestUtil.h"
#include "io/DelimitedReader.h"
#include "platform/Codepage.h"

namespace korvel {
namespace {

using test::TempDir;

struct Options {
  char delimiter;
  int tabOldType;
  int newlineMode;
  int nameMode;
};

// Everything a reading tells: Open's result and names, then each ReadRecord's result with
// its values, their NUL-terminated forms and losses, or its message.
std::vector<std::string> Reading(const std::string& path, int encoding, const Options& o,
                                 bool blocks) {
  DelimitedReader csv;
  csv.SetBlockReading(blocks);
  csv.SetDelimiter(o.delimiter);
  csv.SetTabOldType(o.tabOldType);
  csv.SetNewlineMode(o.newlineMode);
  std::vector<std::string> told;
  const int opened = csv.Open(path, o.nameMode, encoding, 1);
  told.push_back("open " + std::to_string(opened) + " " + csv.GetError());
  for (int i = 0; i < csv.FieldNameCount(); ++i) told.push_back(csv.GetFieldName(i));
  if (opened != 0) return told;
  for (int r = 0; r < 100000; ++r) {
    const int n = csv.ReadRecord();
    told.push_back("record " + std::to_string(n) + " " + csv.GetError());
    if (n == 0 || n == DelimitedReader::kReadFailed || n == DelimitedReader::kReadUnclosedQuote) {
      break;
    }
    for (int i = 0; i < n; ++i) {
      std::string value(csv.FieldView(i));
      EXPECT_EQ(value, csv.GetField(i)) << "field " << i;
      value += '|';
      value += std::to_string(csv.FieldLoss(i));
      told.push_back(value);
    }
  }
  told.push_back("lost " + std::to_string(csv.LostCount()));
  return told;
}

// A random text from pieces that matter to the rules, with long runs now and then so that
// stops land everywhere relative to the blocks and the window's steps.
std::string RandomSjisText(std::mt19937& rng, std::size_t size) {
  static const std::vector<std::string> pieces = {"a",
                                                  "bc",
                                                  "1234567",
                                                  ",",
                                                  ",",
                                                  "\t",
                                                  "|",
                                                  "\"",
                                                  "\"\"",
                                                  "\r\n",
                                                  "\n",
                                                  "\r",
                                                  " ",
                                                  "\x93\x8c",
                                                  "\x8b\x9e",
                                                  "\xb1",
                                                  "\x81,",
                                                  "\x81\"",
                                                  "\x81\r",
                                                  "\x81\n",
                                                  "\x81\t",
                                                  "\x81\x81",
                                                  "\x81",
                                                  "\x00",
                                                  "\x01",
                                                  "\x7f",
                                                  "\x80",
                                                  "\xa0",
                                                  "\xfd",
                                                  "\"plain, quoted\"",
                                                  "\"\x93\x8c,\"",
                                                  "\"a\"\"b\"",
                                                  "\"line\r\nbreak\""};
  std::string text;
  while (text.size() < size) {
    const unsigned roll = rng() % 100;
    if (roll < 3) {
      text.append(rng() % 700, 'x');  // past the 500 bytes a value keeps
    } else if (roll < 6) {
      for (unsigned k = rng() % 80; k > 0; --k) text += "\x93\x8c";
    } else if (roll < 8) {
      text.append(rng() % 70, '\x81');  // lead bytes whose pairing decides every stop
    } else {
      const std::string& piece = pieces[rng() % pieces.size()];
      text += piece == "\x00" ? std::string(1, '\0') : piece;
    }
  }
  return text;
}

// Random texts read by the general rules alone and by blocks, with the machine's features or
// (`baselineOnly`) with the SSE2 form of the block scan alone, as machines without AVX2 read
// them.
void ExpectRandomTextsAgree(bool baselineOnly) {
  TempDir dir;
  const std::vector<Options> options = {
      {',', 0, 0, 0}, {'\t', 0, 0, 0}, {'\t', 1, 1, 1}, {'|', 0, 2, 0}, {',', 0, 1, 1}};
  std::mt19937 rng(2026);
  int compared = 0;
  for (int round = 0; round < 40; ++round) {
    // Sizes from a few bytes to several window steps.
    const std::size_t size = round % 4 == 0 ? 40000 : rng() % 3000;
    const std::string sjis = RandomSjisText(rng, size);
    const std::string path = dir.Write("in.csv", sjis);
    for (const Options& o : options) {
      SCOPED_TRACE("round " + std::to_string(round) + " delimiter " +
                   std::to_string(static_cast<int>(o.delimiter)));
      const std::vector<std::string> general = Reading(path, kEncodingSjis, o, false);
      const test::BaselineOnly features(baselineOnly);
      ASSERT_EQ(Reading(path, kEncodingSjis, o, true), general);
      ++compared;
    }
  }
  EXPECT_EQ(compared, 200);
}

TEST(BlockReadingTest, AgreesWithTheGeneralRulesOnRandomTexts) { ExpectRandomTextsAgree(false); }

// The same text in each encoding: ASCII runs of every length next to characters of two,
// three and four bytes, and characters that Shift-JIS lacks (lost, so that their fields take
// the general way while the rest go by blocks).
TEST(BlockReadingTest, EveryEncodingAgreesWithTheGeneralRules) {
  TempDir dir;
  std::mt19937 rng(7);
  static const std::vector<std::string> utf8Pieces = {"a",
                                                      "abcdefghijklmnopq",
                                                      ",",
                                                      ",",
                                                      "\"",
                                                      "\"x,y\"",
                                                      "\r\n",
                                                      "\n",
                                                      "\t",
                                                      "東",
                                                      "京都",
                                                      "ｶﾞ",
                                                      "é",
                                                      "€",
                                                      "\xF0\xA0\xAE\xB7",
                                                      "\xE3\x81",
                                                      "\x80",
                                                      "\"\"",
                                                      "。"};
  const Options csv{',', 0, 0, 0};
  const Options tab{'\t', 0, 0, 1};
  for (int round = 0; round < 24; ++round) {
    std::string utf8;
    const std::size_t size = round % 3 == 0 ? 30000 : rng() % 2000;
    while (utf8.size() < size) {
      if (rng() % 50 == 0) {
        utf8.append(rng() % 600, 'w');
      } else {
        utf8 += utf8Pieces[rng() % utf8Pieces.size()];
      }
    }
    // UTF-16 through the code page: the characters Shift-JIS has.
    const std::u16string utf16 = Cp932ToUtf16(Utf8ToCp932(utf8));
    std::string utf16Bytes = "\xFF\xFE";
    for (char16_t u : utf16) {
      utf16Bytes.push_back(static_cast<char>(u & 0xFF));
      utf16Bytes.push_back(static_cast<char>(u >> 8));
    }
    const struct {
      const char* name;
      std::string bytes;
      int encoding;
    } files[] = {{"utf8", utf8, kEncodingUtf8},
                 {"utf8 detected", utf8, kEncodingAuto},
                 {"utf16", utf16Bytes, kEncodingUtf16},
                 {"sjis", Utf8ToCp932(utf8), kEncodingSjis}};
    for (const auto& f : files) {
      const std::string path = dir.Write("in.txt", f.bytes);
      for (const Options& o : {csv, tab}) {
        SCOPED_TRACE(std::string(f.name) + " round " + std::to_string(round));
        const std::vector<std::string> general = Reading(path, f.encoding, o, false);
        ASSERT_GT(general.size(), 2u);
        ASSERT_EQ(Reading(path, f.encoding, o, true), general);
      }
    }
  }
}

// Under the TAB rules a broken multi-line cell at the very start, with many lone line breaks
// (each read again as two bytes), puts back more text than it took; the characters lost
// pieces later must still go with their own fields.
TEST(BlockReadingTest, LostCharactersAfterABrokenCellAtTheStartKeepTheirFields) {
  TempDir dir;
  std::string utf8 = "\"a" + std::string(100, '\n') + "b\"c\n";
  for (int line = 0; line < 400; ++line) {
    utf8 += line % 3 == 0 ? "é\tx\n" : (line % 3 == 1 ? "y\t€z\n" : "wwwwwwwwwwww\tv\n");
  }
  const std::string path = dir.Write("in.txt", utf8);
  for (int encoding : {kEncodingUtf8, kEncodingAuto}) {
    const Options tab{'\t', 0, 0, 0};
    const std::vector<std::string> general = Reading(path, encoding, tab, false);
    ASSERT_GT(general.size(), 800u);
    EXPECT_EQ(Reading(path, encoding, tab, true), general);
  }
}

// Stops placed by hand at the edges of a sixty-four-byte block that starts at the beginning
// of a record: the values are known without any reader.
TEST(BlockReadingTest, StopsAtTheEdgesOfABlock) {
  TempDir dir;
  const std::string kanji = "\x93\x8c";  // one double-byte character
  struct Case {
    const char* name;
    std::string text;
    std::vector<std::string> first;  // the first record's values
  };
  const std::string a63(63, 'a');
  const std::string a62(62, 'a');
  std::string kanji30;
  for (int i = 0; i < 30; ++i) kanji30 += kanji;
  const std::vector<Case> cases = {
      {"delimiter as the block's last byte", a63 + ",b\r\n", {a63, "b"}},
      {"delimiter as the next block's first byte", a63 + "a,b\r\n", {a63 + "a", "b"}},
      {"a lead byte last in the block owns the comma after it",
       a62 + "a\x81,b,c\r\n",
       {a62 + "a\x81,b", "c"}},
      {"a lead byte last in the block owns the quote after it",
       a62 + "a\x81\"b,c\r\n",
       {a62 + "a\x81\"b", "c"}},
      {"a lead byte last in the block takes a line break along, which ends the value",
       a62 + "a\x81\nb,c\r\n",
       {a62 + "a\x81", "c"}},
      {"a trail byte last in the block, a comma next", a62 + kanji + ",b\r\n", {a62 + kanji, "b"}},
      {"double-byte text across the block",
       std::string(21, 'x') + kanji30 + ",z\r\n",
       {std::string(21, 'x') + kanji30, "z"}},
      {"a quoted value across the block", "\"" + a63 + ",\"," + "b\r\n", {a63 + ",", "b"}},
      {"a quoted value closed before the next quote", "\"a\"\"b\",c\r\n", {"a\"b", "c"}},
  };
  for (const Case& c : cases) {
    // Long enough that the block reading has whole blocks to work on.
    const std::string path = dir.Write("in.csv", c.text + std::string(200, 'q') + "\r\n");
    for (bool blocks : {true, false}) {
      DelimitedReader csv;
      csv.SetBlockReading(blocks);
      ASSERT_EQ(csv.Open(path, 0, kEncodingSjis, 1), 0);
      const int n = csv.ReadRecord();
      std::vector<std::string> values;
      for (int i = 0; i < n; ++i) values.emplace_back(csv.FieldView(i));
      EXPECT_EQ(values, c.first) << c.name << (blocks ? " (blocks)" : " (general)");
    }
  }
}

TEST(BlockReadingTest, AgreesWithTheGeneralRulesWithoutTheMachinesFeatures) {
  ExpectRandomTextsAgree(true);
}

// Records of plain fields, the bulk of most files, which the block reading takes one after
// another: fields of every length around the kept limit, empty ones, quoted ones between
// them, delimiters at every
// place of the sixty-four-byte blocks and next to the window's steps, each line break (CR
// LF, LF, a lone CR, and a CR taken as a trail byte), and field counts around the names
// mode's limit. Each file is read by the general rules alone and by blocks, with and
// without the machine's features.
TEST(BlockReadingTest, PlainFieldsAgreeAtEveryEdge) {
  TempDir dir;
  struct Case {
    const char* name;
    std::vector<std::size_t> lengths;   // field lengths of each record, cycled
    std::vector<std::string> lineEnds;  // cycled from record to record
    int fieldsPerRecord;
    int records;
    int nameMode;
  };
  const std::vector<Case> cases = {
      {"short fields, delimiters at every offset", {0, 1, 2, 3, 5, 7, 11, 13}, {"\r\n"}, 9, 900, 0},
      {"lengths around the kept limit", {498, 499, 500, 501, 502, 0, 1}, {"\r\n", "\n"}, 7, 60, 0},
      {"every line break", {3, 62, 63, 64, 65, 1}, {"\r\n", "\n", "\r", "\x81\r\n"}, 5, 800, 0},
      {"just under the names mode's limit", {1, 2}, {"\r\n"}, 999, 6, 1},
      {"at the names mode's limit", {1, 2}, {"\r\n"}, 1000, 6, 1},
      {"over the names mode's limit", {0, 3}, {"\r\n"}, 1001, 3, 1},
      {"many fields without the names mode", {0, 1, 2}, {"\n"}, 1500, 4, 0},
  };
  const Options comma{',', 0, 0, 0};
  const Options tab{'\t', 0, 0, 0};
  int compared = 0;
  for (const Case& c : cases) {
    for (const Options& o : {comma, tab}) {
      // Under the names mode a short names line first, so that the long records are data.
      std::string text =
          c.nameMode != 0 ? test::Cat("a", std::string(1, o.delimiter), "b\r\n") : "";
      std::size_t k = 0;
      for (int r = 0; r < c.records; ++r) {
        for (int f = 0; f < c.fieldsPerRecord; ++f) {
          if (f > 0) text += o.delimiter;
          const std::size_t length = c.lengths[k++ % c.lengths.size()];
          if (length == 3 && k % 2 == 0) {
            // A quoted field over two lines, which the TAB rules take as one cell only at a
            // field's start.
            text += "\"q\r\nx\"";
            continue;
          }
          for (std::size_t i = 0; i < length; ++i) {
            // Double-byte characters now and then, so that stops follow trail bytes too.
            if (i + 1 < length && (i + k) % 5 == 0) {
              text += "\x93\x8c";
              ++i;
            } else {
              text += static_cast<char>('a' + (i + k) % 26);
            }
          }
        }
        text += c.lineEnds[static_cast<std::size_t>(r) % c.lineEnds.size()];
      }
      const std::string path = dir.Write("in.csv", text);
      Options withNames = o;
      withNames.nameMode = c.nameMode;
      SCOPED_TRACE(std::string(c.name) + (o.delimiter == ',' ? " (comma)" : " (TAB)"));
      const std::vector<std::string> general = Reading(path, kEncodingSjis, withNames, false);
      ASSERT_GT(general.size(), 2u);
      for (const bool baseline : {false, true}) {
        const test::BaselineOnly features(baseline);
        ASSERT_EQ(Reading(path, kEncodingSjis, withNames, true), general)
            << "baseline " << baseline;
      }
      ++compared;
    }
  }
  EXPECT_EQ(compared, 14);
}

}  // namespace
}  // namespace korvel
