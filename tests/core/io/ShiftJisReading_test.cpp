// Shift-JIS as every reading path delivers it: a code that CP932 holds twice comes as the
// code iconv gives its character (read into UTF-8 and written back), and a last byte 0x1A
// ends the file.

#include <gtest/gtest.h>
#include <iconv.h>

#include <random>
#include <string>
#include <vector>

#include "TestUtil.h"
#include "compare/InputFiles.h"
#include "io/DelimitedReader.h"
#include "io/FixedWidthReader.h"
#include "io/StringList.h"
#include "platform/Codepage.h"

namespace korvel {
namespace {

using Records = std::vector<std::string>;

std::string Iconv(iconv_t cd, std::string in) {
  std::string out(16, '\0');
  char* ip = in.data();
  char* op = out.data();
  std::size_t il = in.size(), ol = out.size();
  iconv(cd, nullptr, nullptr, nullptr, nullptr);
  return iconv(cd, &ip, &il, &op, &ol) == static_cast<std::size_t>(-1) ? ""
                                                                       : out.substr(0, 16 - ol);
}

// iconv's own form of a CP932 character; the character itself where iconv knows none.
std::string OwnForm(const std::string& code) {
  static iconv_t toUtf8 = iconv_open("UTF-8", "CP932"), toCp932 = iconv_open("CP932", "UTF-8");
  const std::string back = Iconv(toCp932, Iconv(toUtf8, code));
  return back.empty() ? code : back;
}

// Every reading of `path`, a record a line: the delimited reader by blocks and byte by byte,
// and the fixed-length reader with one field of `width` bytes. A failed open gives its message.
std::vector<Records> Readings(const std::string& path, int encoding, int width) {
  std::vector<Records> all(3);
  for (bool blocks : {true, false}) {
    DelimitedReader csv;
    csv.SetBlockReading(blocks);
    Records& r = all[blocks ? 0 : 1];
    if (csv.Open(path, 0, encoding, 1) != 0) r.push_back(csv.GetError());
    while (csv.ReadRecord() > 0) r.emplace_back(csv.FieldView(0));
  }
  FixedWidthReader fix;
  EXPECT_EQ(fix.AddDefinition("f", width).Code(), 0);
  if (fix.Open(path, 0, encoding, 1) != 0) all[2].push_back(fix.GetError());
  while (fix.ReadRecord() > 0) all[2].emplace_back(fix.FieldView(0));
  return all;
}

TEST(ShiftJisReadingTest, EveryDuplicateCodeComesAsItsCharactersOwnForm) {
  std::vector<std::string> codes, duplicates;
  for (int lead = 0x81; lead <= 0xFC; ++lead) {
    for (int trail = 0x40; trail <= 0xFC && IsLeadByte(static_cast<char>(lead)); ++trail) {
      const std::string code{static_cast<char>(lead), static_cast<char>(trail)};
      if (trail != 0x7F) (OwnForm(code) == code ? codes : duplicates).push_back(code);
    }
  }
  ASSERT_GT(duplicates.size(), 300u);  // iconv's CP932 knows the NEC and IBM extensions
  for (const char* single : {"a", "\xB1", "\x80", "\xA0", "\xFD", "\xFE", "\xFF"})
    codes.push_back(single);
  // Lines of 42 bytes: each duplicate first as a trail byte and the next character's lead
  // (which must stay), once more as itself, then characters of either kind at random.
  std::mt19937 random(5);
  Records raw, own;
  for (std::size_t i = 0; i < duplicates.size() * 8; ++i) {
    const std::string& d = duplicates[i % duplicates.size()];
    std::string after(1, d[1]);
    if (IsLeadByte(d[1])) after += '@';
    std::vector<std::string> line = {"\x88" + d.substr(0, 1), after, d};
    for (std::size_t n = 8; n < 40; n += line.back().size()) {
      line.push_back(random() % 2 ? duplicates[random() % duplicates.size()]
                                  : codes[random() % codes.size()]);
    }
    raw.emplace_back(), own.emplace_back();
    for (const std::string& c : line) raw.back() += c, own.back() += OwnForm(c);
    raw.back().resize(42, 'a'), own.back().resize(42, 'a');
  }
  test::TempDir dir;
  std::string text;
  for (const std::string& line : raw) text += line + "\r\n";
  const std::string path = dir.Write("dup.csv", text);
  for (bool baseline : {false, true}) {
    test::BaselineOnly limit(baseline);
    for (const Records& reading : Readings(path, kEncodingSjis, 42)) EXPECT_EQ(reading, own);
    StringList lines;
    ASSERT_EQ(lines.LoadFromFile(path), static_cast<int>(own.size()));
    for (int i = 0; i < lines.Count(); ++i) ASSERT_EQ(lines.GetView(i), own[i]) << i;
  }
}

TEST(ShiftJisReadingTest, AFinalEndOfFileByteEndsTheFile) {
  std::string lines;  // 16383 lines, 4 bytes short of the 64 KiB read-ahead block
  for (int i = 0; i < 16383; ++i) lines += "ab\r\n";
  Records many(16383, "ab");
  struct Case {
    int encoding;
    std::string bytes;
    Records records;
  };
  const Records none = {test::S("データがありません。")};
  const Case cases[] = {
      {kEncodingSjis, "ab\r\n\x1A", {"ab"}},
      {kEncodingSjis, "ab\x1A", {"ab"}},
      {kEncodingSjis, "a\x1A\r\nab\r\n\x1A\x1A", {"a", "ab", ""}},  // values end at a control byte
      {kEncodingSjis, "\x1A", none},
      {kEncodingAuto, "\x1A", none},
      {kEncodingSjis, "", none},
      {kEncodingAuto, "ab\r\n\x1A", {"ab"}},
      {kEncodingUtf8, "\xEF\xBB\xBF\x1A", {}},
      {kEncodingEucJp, "ab\r\n\x1A", {"ab"}},
      {kEncodingUtf16,
       std::string("\xFF\xFE"
                   "a\0b\0\r\0\n\0\x1A",
                   11),
       {"ab"}},
      {kEncodingUtf16,
       std::string("\xFF\xFE"
                   "a\0b\0\r\0\n\0\x1A\0",
                   12),
       {"ab", ""}},
      // The byte alone in the second read-ahead block, and as the last of the first.
      {kEncodingSjis, test::Cat(lines, "ab\r\n\x1A"), Records(16384, "ab")},
      {kEncodingSjis, test::Cat(lines, "a\r\n\x1A"), (many.push_back("a"), many)},
  };
  test::TempDir dir;
  for (const Case& c : cases) {
    const std::string path = dir.Write("eof.txt", c.bytes);
    for (const Records& reading : Readings(path, c.encoding, 2)) {
      EXPECT_EQ(reading, c.records) << c.bytes.size() << " bytes, code " << c.encoding;
    }
    EXPECT_EQ(CheckInputFile(path) == InputFileState::kNoData, c.records == none);
  }
}

}  // namespace
}  // namespace korvel
