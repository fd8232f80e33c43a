#include "io/PathText.h"

#include <gtest/gtest.h>

#include <string>

#include "TestUtil.h"

namespace korvel {
namespace {

using test::Cat;
using test::S;

std::string Repeat(std::string_view s, std::size_t n) {
  std::string out;
  for (std::size_t i = 0; i < n; ++i) out.append(s);
  return out;
}

TEST(PathTextTest, FileNamePartBeginsAfterTheLastSlash) {
  EXPECT_EQ(PathText::FileNamePart("/home/user/data.csv"), 11u);
  EXPECT_EQ(PathText::FileNamePart("data.csv"), 0u);
  EXPECT_EQ(PathText::FileNamePart(""), 0u);
  EXPECT_EQ(PathText::FileNamePart("/"), 1u);
  EXPECT_EQ(PathText::FileNamePart("/tmp/dir/"), 9u);
  // Paths are UTF-8: a Japanese name is taken whole, and a backslash is a plain character.
  const std::string path = "/データ/表.csv";
  EXPECT_EQ(path.substr(PathText::FileNamePart(path)), "表.csv");
  EXPECT_EQ(PathText::FileNamePart("a\\b.csv"), 0u);
}

TEST(PathTextTest, ChangeExtension) {
  struct Case {
    const char* path;
    const char* extension;
    bool replace;
    const char* result;
  };
  const Case cases[] = {
      {"data", ".dat", true, "data.dat"},
      {"data", ".dat", false, "data.dat"},
      {"a.b.csv", ".xml", true, "a.xml"},
      {"a.txt", ".dat", false, "a.txt"},
      {"a.txt", ".dat", true, "a.dat"},
      {"/home/u/v1.2/data", ".dat", true, "/home/u/v1.2/data.dat"},
      {"/home/u/v1.2/a.b.csv", ".xml", true, "/home/u/v1.2/a.xml"},
      {"/home/u/v1.2/a.txt", ".dat", false, "/home/u/v1.2/a.txt"},
      {"./data", ".dat", true, "./data.dat"},
      {"/データ.d/表", ".csv", true, "/データ.d/表.csv"},
      {"/データ.d/表.txt", ".csv", true, "/データ.d/表.csv"},
      {"name.", ".dat", true, "name.dat"},
  };
  for (const Case& c : cases) {
    std::string path = c.path;
    PathText::ChangeExtension(path, c.extension, c.replace);
    EXPECT_EQ(path, c.result) << c.path << " " << c.extension << " " << c.replace;
  }
}

TEST(PathTextTest, FileExists) {
  test::TempDir dir;
  const std::string file = dir.Write("present.txt", "");
  EXPECT_TRUE(PathText::FileExists(file));
  EXPECT_FALSE(PathText::FileExists(dir.Path()));
  EXPECT_FALSE(PathText::FileExists(dir.File("missing.txt")));
  EXPECT_FALSE(PathText::FileExists(""));
}

TEST(PathTextTest, GetTokenSplitsOutsideDoubleByteCharacters) {
  EXPECT_EQ(PathText::GetToken("name\t12", 0, '\t'), "name");
  EXPECT_EQ(PathText::GetToken("name\t12", 1, '\t'), "12");
  EXPECT_EQ(PathText::GetToken("name\t12", 2, '\t'), "");
  EXPECT_EQ(PathText::GetToken("name\t12", -1, '\t'), "");
  EXPECT_EQ(PathText::GetToken("a,,b", 1, ','), "");
  EXPECT_EQ(PathText::GetToken("a,,b", 2, ','), "b");
  EXPECT_EQ(PathText::GetToken("a,", 1, ','), "");
  EXPECT_EQ(PathText::GetToken("a,", 2, ','), "");
  EXPECT_EQ(PathText::GetToken("", 0, ','), "");
  EXPECT_EQ(PathText::GetToken(",x", 0, ','), "");
  // The trail bytes of "表" (0x5C) and "ポ" (0x7C) are not delimiters.
  EXPECT_EQ(PathText::GetToken(S("表\\x"), 0, '\\'), S("表"));
  EXPECT_EQ(PathText::GetToken(S("表\\x"), 1, '\\'), "x");
  EXPECT_EQ(PathText::GetToken(S("ポ|ポ|a"), 1, '|'), S("ポ"));
  EXPECT_EQ(PathText::GetToken(S("ポ|ポ|a"), 2, '|'), "a");
  EXPECT_EQ(PathText::GetToken(S("ｱｲ\tｳ"), 1, '\t'), S("ｳ"));
}

TEST(PathTextTest, GetTokenIsCutTo100Bytes) {
  const std::string kanji = S("表");
  struct Case {
    std::string token;
    std::string result;
  };
  const Case cases[] = {
      {std::string(150, 'a'), std::string(100, 'a')},
      {std::string(100, 'a'), std::string(100, 'a')},
      // A double-byte character beginning at byte 99 is kept whole.
      {std::string(99, 'a') + kanji + "bc", std::string(99, 'a') + kanji},
      {std::string(98, 'a') + kanji + kanji, std::string(98, 'a') + kanji},
      {std::string(100, 'a') + kanji, std::string(100, 'a')},
      {Repeat(kanji, 60), Repeat(kanji, 50)},
      {Cat("a", Repeat(kanji, 60)), Cat("a", Repeat(kanji, 50))},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.token.size());
    EXPECT_EQ(PathText::GetToken(c.token, 0, '\t'), c.result);
    // The cut does not disturb the counting of the tokens after it.
    const std::string line = Cat("x\t", c.token, "\tafter");
    EXPECT_EQ(PathText::GetToken(line, 1, '\t'), c.result);
    EXPECT_EQ(PathText::GetToken(line, 2, '\t'), "after");
  }
}

TEST(PathTextTest, Clip) {
  const std::string kanji = S("表");
  struct Case {
    std::string text;
    int skip;
    int maximum;
    std::string result;
  };
  const Case cases[] = {
      {Repeat(kanji, 20), 0, 31, Repeat(kanji, 15)},  // 40 bytes to 31: 30
      {Repeat(kanji, 20), 0, 40, Repeat(kanji, 20)},
      {"abcdef", 2, 3, "cde"},
      {"abcdef", 0, 0, ""},
      {"abc", 5, 10, ""},
      // Skipping passes over a double-byte character whole.
      {kanji + kanji + "ab", 1, 10, kanji + "ab"},
      {kanji + kanji + "ab", 2, 10, kanji + "ab"},
      {"a" + kanji + "bc", 0, 2, "a"},
      // A byte below 0x20 ends the copy, and in the skipped part gives nothing.
      {"ab\ncd", 0, 10, "ab"},
      {"ab\tcd", 0, 10, "ab"},
      {"ab\tcd", 3, 10, ""},
      {"abc\tdef", 3, 10, ""},
      {"abc\tdef", 2, 10, "c"},
      // Half-width katakana are single-byte characters.
      {S("ｱｲｳｴｵ"), 0, 3, S("ｱｲｳ")},
      {S("ｱｲｳｴｵ"), 1, 3, S("ｲｳｴ")},
      // The copy ends once more than 100 bytes are copied, whatever the maximum.
      {std::string(150, 'a'), 0, 150, std::string(101, 'a')},
      {std::string(100, 'a') + kanji + "b", 0, 150, std::string(100, 'a') + kanji},
      {Repeat(kanji, 75), 0, 150, Repeat(kanji, 51)},
      {std::string(99, 'a') + kanji + "bc", 0, 150, std::string(99, 'a') + kanji},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(PathText::Clip(c.text, c.skip, c.maximum), c.result)
        << c.text.size() << " bytes, skip " << c.skip << ", maximum " << c.maximum;
  }
}

}  // namespace
// A path shown in a message keeps its bytes but for the control characters, which could
// break or rewrite the line.
TEST(PathTextTest, SafePathTextReplacesControlCharacters) {
  const struct {
    std::string path, shown;
  } cases[] = {
      {"/home/u/データ 1.csv", "/home/u/データ 1.csv"},
      {"/a\tb\nc\rd\x1B[2Je\x7F", "/a?b?c?d?[2Je?"},
      {std::string("/n\0x", 4), "/n?x"},
      {"", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(PathText::SafePathText(c.path), c.shown) << c.shown;
}

}  // namespace korvel
