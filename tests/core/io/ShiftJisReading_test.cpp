// Shift-JIS as every reading path delivers it: a code that CP932 holds twice comes as iconv's
// code for its character (read into UTF-8 and written back), and a last byte 0x1A ends the file.

#include <gtest/gtest.h>
#include <iconv.h>

#include <random>

#include "TestUtil.h"
#include "compare/InputFiles.h"
#include "io/DelimitedReader.h"
#include "io/FixedWidthReader.h"
#include "io/StringList.h"

namespace korvel {
namespace {

using namespace std::string_literals;
using Records = std::vector<std::string>;

// iconv's own code for a CP932 character; the character itself where iconv knows none.
std::string OwnForm(std::string text) {
  static iconv_t there = iconv_open("UTF-8", "CP932"), back = iconv_open("CP932", "UTF-8");
  for (iconv_t cd : {there, back}) {
    std::string out(8, '\0');
    char *in = text.data(), *o = out.data();
    std::size_t inLeft = text.size(), outLeft = 8;
    if (iconv(cd, &in, &inLeft, &o, &outLeft) == static_cast<std::size_t>(-1)) return text;
    text = out.substr(0, 8 - outLeft);
  }
  return text;
}

// The delimited reader's readings by blocks and byte by byte and the fixed-length reader's
// (one field of `width` bytes), a record a line; a failed open gives its message.
std::vector<Records> Readings(const std::string& path, int encoding, int width) {
  std::vector<Records> all(3);
  for (int k = 0; k < 2; ++k) {
    DelimitedReader csv;
    csv.SetBlockReading(k == 0);
    if (csv.Open(path, 0, encoding, 1) != 0) all[k].push_back(csv.GetError());
    while (csv.ReadRecord() > 0) all[k].emplace_back(csv.FieldView(0));
  }
  FixedWidthReader fix;
  EXPECT_EQ(fix.AddDefinition("f", width).Code(), 0);
  if (fix.Open(path, 0, encoding, 1) != 0) all[2].push_back(fix.GetError());
  while (fix.ReadRecord() > 0) all[2].emplace_back(fix.FieldView(0));
  return all;
}

TEST(ShiftJisReadingTest, EveryDuplicateCodeComesAsItsCharactersOwnCode) {
  std::vector<std::string> codes = {"a", "\xB1", "\x80", "\xA0", "\xFD", "\xFE", "\xFF"}, dups;
  for (int code = 0x8140; code <= 0xFCFC; ++code) {
    const std::string c{static_cast<char>(code >> 8), static_cast<char>(code)};
    if (IsLeadByte(c[0]) && IsTrailByte(c[1])) (OwnForm(c) == c ? codes : dups).push_back(c);
  }
  ASSERT_GT(dups.size(), 300u);
  // Lines of 42 bytes: each duplicate code as a trail byte and the next character's lead,
  // then as itself, then characters at random, half of them duplicates.
  std::mt19937 random(5);
  Records own;
  std::string text;
  for (std::size_t i = 0; i < dups.size() * 8; ++i) {
    const std::string& d = dups[i % dups.size()];
    // Built by appending: the optimiser takes `"literal" + string` for overlapping copies.
    std::string lead("\x88");
    lead.append(d, 0, 1);
    std::string trail = d.substr(1);
    if (IsLeadByte(d[1])) trail.push_back('@');
    Records line = {lead, trail, d};
    for (std::size_t n = 8; n < 40; n += line.back().size()) {
      line.push_back(random() % 2 ? dups[random() % dups.size()] : codes[random() % codes.size()]);
    }
    own.emplace_back();
    for (const std::string& c : line) text += c, own.back() += OwnForm(c);
    text.resize(text.size() + 42 - own.back().size(), 'a');
    own.back().resize(42, 'a');
    text += "\r\n";
  }
  test::TempDir dir;
  const std::string path = dir.Write("dup.csv", text);
  for (bool baseline : {false, true}) {
    test::BaselineOnly limit(baseline);
    for (const Records& reading : Readings(path, kEncodingSjis, 42)) EXPECT_EQ(reading, own);
    StringList lines;  // as definition files are read
    ASSERT_EQ(lines.LoadFromFile(path), static_cast<int>(own.size()));
    for (int i = 0; i < lines.Count(); ++i) ASSERT_EQ(lines.GetView(i), own[i]) << i;
  }
}

TEST(ShiftJisReadingTest, AFinalEndOfFileByteEndsTheFile) {
  std::string lines;  // 4 bytes short of a 64 KiB read-ahead block
  for (int i = 0; i < 16383; ++i) lines += "ab\r\n";
  const Records none = {test::S("データがありません。")}, many(16384, "ab");
  const std::pair<std::string, Records> cases[] = {
      {"ab\r\n\x1A", {"ab"}},
      {"ab\x1A", {"ab"}},
      {"\x1A", none},
      {"", none},
      {"a\x1A\r\nab\r\n\x1A\x1A", {"a", "ab", ""}},  // values end at a control byte
      {lines + "ab\r\n\x1A", many},
      {lines + "ab\r\x1A", many},
      {"\xFF\xFE"
       "a\0b\0\r\0\n\0\x1A"s,
       {"ab"}},
      {"\xFF\xFE"
       "a\0b\0\r\0\n\0\x1A\0"s,
       {"ab", ""}}};
  test::TempDir dir;
  for (const auto& [bytes, records] : cases) {
    const std::string path = dir.Write("eof.txt", bytes);
    for (int encoding : {kEncodingSjis, kEncodingAuto, kEncodingUtf8, kEncodingEucJp}) {
      for (const Records& reading : Readings(path, encoding, 2)) EXPECT_EQ(reading, records);
    }
    EXPECT_EQ(CheckInputFile(path) == InputFileState::kNoData, records == none);
  }
}

}  // namespace
}  // namespace korvel
