#include "io/FixedWidthReader.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "TestUtil.h"
#include "platform/Codepage.h"
#include "platform/FileSystem.h"
#include "platform/Notifier.h"

namespace korvel {
namespace {

using test::Cat;
using test::S;
using test::TempDir;

void Define(FixedWidthReader& fix, const std::vector<int>& lengths) {
  fix.ClearDefinitions();
  int i = 0;
  for (int length : lengths) {
    ASSERT_EQ(fix.AddDefinition(Cat("F", std::to_string(++i)), length).Code(),
              FixedWidthReader::kAddOk);
  }
}

// Reads every record; each record is its fields' values. Stops at the end or on a failure,
// whose result is returned in `*result`.
std::vector<std::vector<std::string>> ReadAll(FixedWidthReader& fix, int* result = nullptr) {
  std::vector<std::vector<std::string>> records;
  for (;;) {
    int n = fix.ReadRecord();
    if (result) *result = n;
    if (n <= 0) break;
    std::vector<std::string> record;
    for (int i = 0; i < n; ++i) record.emplace_back(fix.GetField(i));
    records.push_back(record);
  }
  return records;
}

using Records = std::vector<std::vector<std::string>>;

// Fails every read from the `failAt`-th call on.
class FailingReads : public FileSystem {
 public:
  explicit FailingReads(int failAt) : failAt_(failAt) {}
  ssize_t Read(int fd, void* buffer, std::size_t count) override {
    if (++calls_ >= failAt_) return -1;
    return FileSystem::Read(fd, buffer, count);
  }

 private:
  int failAt_;
  int calls_ = 0;
};

class ScopedFileSystem {
 public:
  explicit ScopedFileSystem(FileSystem* fs) : previous_(SetFileSystem(fs)) {}
  ~ScopedFileSystem() { SetFileSystem(previous_); }

 private:
  FileSystem* previous_;
};

TEST(FixedWidthReaderTest, CutsLinesByDefinitionsAndIgnoresTheTail) {
  TempDir dir;
  FixedWidthReader fix;
  Define(fix, {3, 2});
  std::string path = dir.Write("a.txt", "abcde\r\nabcdefgh\r\nab\r\n\r\nxyz");
  ASSERT_EQ(fix.Open(path, 0, kEncodingSjis, 1), FixedWidthReader::kOpenOk);

  ASSERT_EQ(fix.ReadRecord(), 2);
  EXPECT_STREQ(fix.GetField(0), "abc");
  EXPECT_STREQ(fix.GetField(1), "de");
  ASSERT_EQ(fix.ReadRecord(), 2);
  EXPECT_STREQ(fix.GetField(0), "abc");
  EXPECT_STREQ(fix.GetField(1), "de");
  ASSERT_EQ(fix.ReadRecord(), 1);
  EXPECT_STREQ(fix.GetField(0), "ab");
  EXPECT_STREQ(fix.GetField(1), "");
  // An empty line is a record of one empty field, not the end of the data.
  ASSERT_EQ(fix.ReadRecord(), 1);
  EXPECT_STREQ(fix.GetField(0), "");
  // The last line has no CR: its shorter field still counts.
  ASSERT_EQ(fix.ReadRecord(), 1);
  EXPECT_STREQ(fix.GetField(0), "xyz");
  EXPECT_EQ(fix.ReadRecord(), 0);
  EXPECT_EQ(fix.ReadRecord(), 0);
  EXPECT_STREQ(fix.GetError(), "");
  fix.Close();
  EXPECT_EQ(fix.ReadRecord(), 0);
  EXPECT_EQ(fix.GetStatus(), Status::Ok());
}

TEST(FixedWidthReaderTest, LineEndingAtAFieldEndGivesOneMoreEmptyFieldOnlyWithCr) {
  TempDir dir;
  FixedWidthReader fix;
  Define(fix, {3, 3});
  ASSERT_EQ(fix.Open(dir.Write("a.txt", "abc\r\nabc"), 0, kEncodingSjis, 1), 0);
  EXPECT_EQ(ReadAll(fix), (Records{{"abc", ""}, {"abc"}}));

  // A last line longer than all definitions counts the same with or without its CR.
  Define(fix, {3, 2});
  ASSERT_EQ(fix.Open(dir.Write("b.txt", "abcdefgh\r\nabcdefgh"), 0, kEncodingSjis, 1), 0);
  EXPECT_EQ(ReadAll(fix), (Records{{"abc", "de"}, {"abc", "de"}}));
  ASSERT_EQ(fix.Open(dir.Write("c.txt", "abcde"), 0, kEncodingSjis, 1), 0);
  EXPECT_EQ(ReadAll(fix), (Records{{"abc", "de"}}));
}

TEST(FixedWidthReaderTest, DoubleByteCharactersCountTwoAndMustNotStraddleABoundary) {
  TempDir dir;
  FixedWidthReader fix;
  Define(fix, {2, 4, 1});
  std::string line = S("あいうx") + "\r\n";
  ASSERT_EQ(fix.Open(dir.Write("ok.txt", line + line), 0, kEncodingSjis, 1), 0);
  EXPECT_EQ(ReadAll(fix), (Records{{S("あ"), S("いう"), "x"}, {S("あ"), S("いう"), "x"}}));

  // A 1-byte field where the line holds a double-byte character.
  Define(fix, {1, 2});
  ASSERT_EQ(fix.Open(dir.Write("bad.txt", S("あい") + "\r\n"), 0, kEncodingSjis, 1), 0);
  EXPECT_EQ(fix.ReadRecord(), FixedWidthReader::kReadStraddle);
  EXPECT_EQ(Cp932ToUtf8(fix.GetError()), "区切りの途中で全角が発生しました。");
  // The reader keeps its failure for the caller, who shows it as a warning.
  EXPECT_EQ(fix.GetStatus(), Status::Warning(FixedWidthReader::kReadStraddle,
                                             S("区切りの途中で全角が発生しました。")));
  EXPECT_EQ(fix.FieldCount(), 0);

  // The straddle at a later boundary keeps the fields cut before it.
  Define(fix, {1, 2, 2});
  ASSERT_EQ(fix.Open(dir.Write("late.txt", "ab" + S("あ") + "\r\n"), 0, kEncodingSjis, 1), 0);
  EXPECT_EQ(fix.ReadRecord(), FixedWidthReader::kReadStraddle);
  EXPECT_EQ(fix.FieldCount(), 1);
  EXPECT_STREQ(fix.GetField(0), "a");
  EXPECT_STREQ(fix.GetField(1), "");

  // Beyond the last definition nothing is checked.
  Define(fix, {1});
  ASSERT_EQ(fix.Open(dir.Write("tail.txt", Cat("a", S("あ"), "\r\nb\r\n")), 0, kEncodingSjis, 1),
            0);
  EXPECT_EQ(ReadAll(fix), (Records{{"a"}, {"b"}}));
  EXPECT_EQ(fix.GetStatus(), Status::Ok());
}

TEST(FixedWidthReaderTest, LoneLfIsDataAndTheStoredValueEndsBeforeIt) {
  TempDir dir;
  FixedWidthReader fix;
  Define(fix, {3, 3});
  ASSERT_EQ(fix.Open(dir.Write("a.txt", "ab\ncdXYZ\r\nnext\r\n"), 0, kEncodingSjis, 1), 0);
  // "ab\n" is the first field (stored as "ab"), "cdX" the second; a lone CR also ends a line.
  EXPECT_EQ(ReadAll(fix), (Records{{"ab", "cdX"}, {"nex", "t"}}));

  ASSERT_EQ(fix.Open(dir.Write("b.txt", "a\tb\rcd"), 0, kEncodingSjis, 1), 0);
  EXPECT_EQ(ReadAll(fix), (Records{{"a\tb", ""}, {"cd"}}));
}

TEST(FixedWidthReaderTest, SkipsLeadingLines) {
  TempDir dir;
  FixedWidthReader fix;
  Define(fix, {3});
  ASSERT_EQ(fix.Open(dir.Write("one.txt", "header\r\n"), 1, kEncodingSjis, 1),
            FixedWidthReader::kOpenOk);
  EXPECT_EQ(fix.ReadRecord(), 0);

  ASSERT_EQ(fix.Open(dir.Write("two.txt", "header\r\nabcd\r\n"), 1, kEncodingSjis, 1), 0);
  EXPECT_EQ(ReadAll(fix), (Records{{"abc"}}));

  // A header line without CR, of any length, is still present.
  ASSERT_EQ(fix.Open(dir.Write("bare.txt", "abcd"), 1, kEncodingSjis, 1),
            FixedWidthReader::kOpenOk);
  EXPECT_EQ(fix.ReadRecord(), 0);

  // A skipped line of many pieces, double-byte characters included.
  std::string longHeader;
  for (int i = 0; i < 3000; ++i) longHeader += S("漢") + "x";
  ASSERT_EQ(fix.Open(dir.Write("long.txt", longHeader + "\r\nabc\r\n"), 1, kEncodingSjis, 1), 0);
  EXPECT_EQ(ReadAll(fix), (Records{{"abc"}}));

  ASSERT_EQ(fix.Open(dir.Write("short.txt", "header\r\n"), 2, kEncodingSjis, 1),
            FixedWidthReader::kOpenNoHeader);
  EXPECT_EQ(Cp932ToUtf8(fix.GetError()), "ヘッダー情報が存在しません。");
  EXPECT_EQ(fix.ReadRecord(), 0);

  EXPECT_EQ(fix.Open(dir.Write("empty.txt", ""), 1, kEncodingSjis, 1),
            FixedWidthReader::kOpenFailed);
  EXPECT_EQ(Cp932ToUtf8(fix.GetError()), "データがありません。");
}

TEST(FixedWidthReaderTest, OpenFailuresAndMissingDefinitions) {
  TempDir dir;
  FixedWidthReader fix;
  Define(fix, {2});
  EXPECT_EQ(fix.Open(dir.File("missing.txt"), 0, kEncodingSjis, 1), FixedWidthReader::kOpenFailed);
  EXPECT_EQ(Cp932ToUtf8(fix.GetError()), "ファイルが見つかりません。");
  EXPECT_EQ(fix.Open(dir.Path(), 0, kEncodingSjis, 1), FixedWidthReader::kOpenFailed);

  std::string marked = dir.Write("u8.txt",
                                 "\xEF\xBB\xBF"
                                 "ab\r\n");
  EXPECT_EQ(fix.Open(marked, 0, kEncodingSjis, 0), FixedWidthReader::kOpenFailed);
  EXPECT_EQ(Cp932ToUtf8(fix.GetError()), "文字コードが異なります。");
  EXPECT_EQ(fix.ReadRecord(), 0);

  // Definitions survive Close and serve the next Open; without them nothing is read.
  ASSERT_EQ(fix.Open(marked, 0, kEncodingSjis, 1), 0);
  EXPECT_EQ(fix.GetEncoding(), kEncodingUtf8);
  EXPECT_EQ(ReadAll(fix), (Records{{"ab"}}));
  fix.ClearDefinitions();
  ASSERT_EQ(fix.Open(marked, 0, kEncodingSjis, 1), 0);
  EXPECT_EQ(fix.ReadRecord(), FixedWidthReader::kReadFailed);
  EXPECT_EQ(Cp932ToUtf8(fix.GetError()), "フィールドの指定がありません。");
}

TEST(FixedWidthReaderTest, LengthsCountTheShiftJisBytesOfConvertedInput) {
  TempDir dir;
  FixedWidthReader fix;
  Define(fix, {4, 2, 3});
  std::u16string text = u"漢字ab𠀋c\r\n";
  std::string utf16 = "\xFF\xFE";
  for (char16_t u : text) {
    utf16.push_back(static_cast<char>(u & 0xFF));
    utf16.push_back(static_cast<char>(u >> 8));
  }
  ASSERT_EQ(fix.Open(dir.Write("u16.txt", utf16), 0, kEncodingUtf16, 1), 0);
  EXPECT_EQ(fix.GetEncoding(), kEncodingUtf16);
  // A character without a Shift-JIS form becomes one '?' byte.
  EXPECT_EQ(ReadAll(fix), (Records{{S("漢字"), "ab", "?c"}}));

  // Without a mark a UTF-8 request is taken as asked.
  ASSERT_EQ(fix.Open(dir.Write("u8.txt", "漢字ab\r\n"), 0, kEncodingUtf8, 1), 0);
  EXPECT_EQ(ReadAll(fix), (Records{{S("漢字"), "ab", ""}}));
}

TEST(FixedWidthReaderTest, DefinitionsAreRecordsOfNameAndLength) {
  RecordingNotifier notes;
  FixedWidthReader fix;
  const std::string name30 = S("あいうえおかきくけこさしすせそ");
  ASSERT_EQ(name30.size(), 30u);
  EXPECT_EQ(test::Shown(notes, fix.AddDefinition(name30, 500)), FixedWidthReader::kAddOk);
  EXPECT_EQ(test::Shown(notes, fix.AddDefinition("", 7)), FixedWidthReader::kAddOk);
  EXPECT_TRUE(notes.Entries().empty());

  EXPECT_EQ(test::Shown(notes, fix.AddDefinition(name30 + "x", 5)),
            FixedWidthReader::kAddNameTooLong);
  ASSERT_EQ(notes.Entries().size(), 1u);
  EXPECT_EQ(notes.Texts()[0], "P:フィールド名のサイズが大きい");
  EXPECT_EQ(Cp932ToUtf8(notes.Entries()[0].box.caption), "エラー");
  EXPECT_EQ(test::Shown(notes, fix.AddDefinition("z", 0)), FixedWidthReader::kAddBadLength);
  EXPECT_EQ(test::Shown(notes, fix.AddDefinition("z", -3)), FixedWidthReader::kAddBadLength);
  ASSERT_EQ(fix.DefinitionCount(), 2);

  FixDefinition d;
  ASSERT_TRUE(fix.GetDefinition(0, d));
  EXPECT_EQ(std::string(d.name), name30);
  EXPECT_EQ(d.name[30], '\0');
  EXPECT_EQ(d.length, 500);
  EXPECT_EQ(fix.Definitions().GetView(1).size(), sizeof(FixDefinition));
  EXPECT_STREQ(fix.DefinitionName(1), "");
  EXPECT_EQ(fix.DefinitionLength(1), 7);
  EXPECT_FALSE(fix.GetDefinition(2, d));
  EXPECT_STREQ(fix.DefinitionName(-1), "");
  EXPECT_EQ(fix.DefinitionLength(2), 0);

  fix.ClearDefinitions();
  EXPECT_EQ(fix.DefinitionCount(), 0);
}

// Cuts `text` the slow way, one whole line at a time, for comparison with the reader.
Records CutByModel(const std::string& text, const std::vector<int>& lengths) {
  Records records;
  std::size_t i = 0;
  while (i < text.size()) {
    std::size_t end = i;
    while (end < text.size() && text[end] != '\r') end += IsLeadByte(text[end]) ? 2 : 1;
    std::string line = text.substr(i, end - i);
    std::vector<std::string> record;
    std::size_t at = 0;
    for (int length : lengths) {
      if (at >= line.size() && !(at == line.size() && end < text.size())) break;
      std::string value = line.substr(at, static_cast<std::size_t>(length));
      at += static_cast<std::size_t>(length);
      std::size_t stop = 0;
      while (stop < value.size() &&
             (static_cast<unsigned char>(value[stop]) >= 0x20 || value[stop] == '\t')) {
        ++stop;
      }
      record.push_back(value.substr(0, stop));
      if (at > line.size()) break;
    }
    records.push_back(record);
    i = end + 1;
    if (i < text.size() && text[i] == '\n') ++i;
  }
  return records;
}

TEST(FixedWidthReaderTest, RecordsAcrossPieceBoundariesMatchAWholeLineCut) {
  TempDir dir;
  const std::vector<int> lengths = {4, 2, 6, 3};
  // Lines of every length from 0 to 40, of single bytes and of double-byte characters on
  // even offsets (the boundaries are even too), so that CRs, LFs and characters land on
  // piece cuts all over.
  std::string text;
  for (int round = 0; round < 40; ++round) {
    for (int length = 0; length <= 40; ++length) {
      std::string line;
      while (static_cast<int>(line.size()) < length) {
        if ((line.size() + round) % 7 == 0 && static_cast<int>(line.size()) + 2 <= length &&
            line.size() % 2 == 0 && line.size() < 14) {
          line += S("表");
        } else {
          line.push_back(static_cast<char>('a' + (line.size() + round) % 26));
        }
      }
      text += line + ((length + round) % 5 == 0 ? "\r" : "\r\n");
    }
  }
  FixedWidthReader fix;
  Define(fix, lengths);
  ASSERT_EQ(fix.Open(dir.Write("many.txt", text), 0, kEncodingSjis, 1), 0);
  int result = 0;
  Records got = ReadAll(fix, &result);
  EXPECT_EQ(result, 0) << Cp932ToUtf8(fix.GetError());
  EXPECT_EQ(got, CutByModel(text, lengths));
}

TEST(FixedWidthReaderTest, AHugeLineIsCutAndItsTailPassedOver) {
  TempDir dir;
  std::string huge(3 * 1024 * 1024, 'q');
  for (std::size_t i = 1000; i + 2 < huge.size(); i += 4099) huge.replace(i, 2, S("字"));
  FixedWidthReader fix;
  Define(fix, {2, 500});
  ASSERT_EQ(fix.Open(dir.Write("huge.txt", "ab" + huge + "\r\nxy\r\n"), 0, kEncodingSjis, 1), 0);
  ASSERT_EQ(fix.ReadRecord(), 2);
  EXPECT_STREQ(fix.GetField(0), "ab");
  EXPECT_EQ(std::string(fix.GetField(1)), std::string(500, 'q'));
  EXPECT_EQ(ReadAll(fix), (Records{{"xy", ""}}));

  // A single field as long as the preview's takes a line of many pieces whole.
  Define(fix, {5000});
  std::string line(4321, 'r');
  ASSERT_EQ(fix.Open(dir.Write("wide.txt", line + "\r\n"), 0, kEncodingSjis, 1), 0);
  EXPECT_EQ(ReadAll(fix), (Records{{line}}));
}

TEST(FixedWidthReaderTest, ALoneLeadByteAtTheEndOfTheInputCountsOneByte) {
  TempDir dir;
  FixedWidthReader fix;
  Define(fix, {3, 2});
  ASSERT_EQ(fix.Open(dir.Write("a.txt", "ab\x81"), 0, kEncodingSjis, 1), 0);
  EXPECT_EQ(ReadAll(fix), (Records{{"ab\x81"}}));
}

TEST(FixedWidthReaderTest, ReadFailuresAreReported) {
  TempDir dir;
  // More than one read-ahead block, so that the file is read in several calls.
  std::string text;
  while (text.size() < 200 * 1024) text += "abcdef\r\n";
  std::string path = dir.Write("big.txt", text);
  FixedWidthReader fix;
  Define(fix, {3});
  {
    FailingReads fs(2);
    ScopedFileSystem scope(&fs);
    ASSERT_EQ(fix.Open(path, 0, kEncodingSjis, 1), 0);
    int result = 0;
    Records got = ReadAll(fix, &result);
    EXPECT_EQ(result, FixedWidthReader::kReadFailed);
    EXPECT_EQ(Cp932ToUtf8(fix.GetError()), "ファイルの読込に失敗しました。");
    EXPECT_FALSE(got.empty());
    EXPECT_EQ(fix.ReadRecord(), FixedWidthReader::kReadFailed);
  }
  {
    // The failure hits the line being skipped: told as a read failure, not a missing line.
    FailingReads fs(2);
    ScopedFileSystem scope(&fs);
    std::string longHeader(100 * 1024, 'h');
    EXPECT_EQ(fix.Open(dir.Write("head.txt", longHeader + "\r\nabc\r\n"), 1, kEncodingSjis, 1),
              FixedWidthReader::kOpenFailed);
    EXPECT_EQ(Cp932ToUtf8(fix.GetError()), "ファイルの読込に失敗しました。");
  }
  {
    FailingReads fs(1);
    ScopedFileSystem scope(&fs);
    EXPECT_EQ(fix.Open(path, 0, kEncodingSjis, 1), FixedWidthReader::kOpenFailed);
    EXPECT_EQ(Cp932ToUtf8(fix.GetError()), "読込できないファイルです。");
  }
}

}  // namespace
}  // namespace korvel
