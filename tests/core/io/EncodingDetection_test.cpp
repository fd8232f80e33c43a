#include "io/EncodingDetection.h"

#include <gtest/gtest.h>
#include <iconv.h>

#include <string>
#include <vector>

#include "TestUtil.h"
#include "io/DelimitedReader.h"
#include "io/FixedWidthReader.h"
#include "io/TextFile.h"
#include "platform/Codepage.h"

namespace korvel {
namespace {

using test::Cat;
using test::S;

// The bytes of a UTF-8 text in another encoding, converted by iconv itself, so that the
// expectations do not come from the program's own tables. Empty when iconv refuses.
std::string Iconv(std::string_view text, const char* to, const char* from = "UTF-8") {
  iconv_t cd = iconv_open(to, from);
  if (cd == reinterpret_cast<iconv_t>(-1)) return {};
  std::string in(text);
  std::string out(in.size() * 4 + 16, '\0');
  char* inp = in.data();
  char* outp = out.data();
  std::size_t inLeft = in.size();
  std::size_t outLeft = out.size();
  const std::size_t r = iconv(cd, &inp, &inLeft, &outp, &outLeft);
  iconv_close(cd);
  if (r == static_cast<std::size_t>(-1)) return {};
  out.resize(out.size() - outLeft);
  return out;
}

int Detect(std::string_view bytes, bool complete = true, int fallback = kEncodingSjis) {
  return DetectEncoding(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(),
                        complete, fallback);
}

// --- EUC-JP conversion --------------------------------------------------------------------

// Every code of JIS X 0208 and JIS X 0212, as iconv converts it straight from EUC-JP-MS to
// CP932: where iconv gives a CP932 form the program gives the same bytes; where it gives
// none the program gives one '?' and counts it lost.
TEST(EucJpTest, EveryCodeAsIconvConvertsItStraightToCp932) {
  int converted = 0;
  int lostCodes = 0;
  for (int plane = 0; plane < 2; ++plane) {
    for (int row = 0xA1; row <= 0xFE; ++row) {
      for (int cell = 0xA1; cell <= 0xFE; ++cell) {
        std::string euc;
        if (plane == 1) euc.push_back('\x8F');
        euc.push_back(static_cast<char>(row));
        euc.push_back(static_cast<char>(cell));
        // Codes that EUC-JP-MS itself leaves undefined are not characters at all.
        if (Iconv(euc, "UTF-8", "EUC-JP-MS").empty()) continue;
        const std::string expected = Iconv(euc, "CP932", "EUC-JP-MS");
        std::string out;
        const std::size_t lost =
            EucJpToCp932(reinterpret_cast<const unsigned char*>(euc.data()), euc.size(), out);
        if (expected.empty()) {
          EXPECT_EQ(out, "?") << plane << ' ' << row << ' ' << cell;
          EXPECT_EQ(lost, 1u);
          ++lostCodes;
        } else {
          EXPECT_EQ(out, expected) << plane << ' ' << row << ' ' << cell;
          EXPECT_EQ(lost, 0u);
          ++converted;
        }
      }
    }
  }
  // JIS X 0208 with the NEC and IBM extensions converts; most of JIS X 0212 does not.
  EXPECT_GT(converted, 7000);
  EXPECT_GT(lostCodes, 4000);
}

TEST(EucJpTest, NamedCharactersAndBrokenSequences) {
  struct Case {
    const char* name;
    std::string euc;
    std::string cp932;
    std::size_t lost;
  } cases[] = {
      {"hiragana", "\xA4\xA2", S("あ"), 0},
      {"kanji", "\xB4\xC1\xBB\xFA", S("漢字"), 0},
      {"half-width katakana", "\x8E\xB1\x8E\xDE", S("ｱﾞ"), 0},
      {"JIS X 0212 kanji CP932 lacks", "\x8F\xB0\xA1", "?", 1},
      {"ASCII passes", "a,b\r\n", "a,b\r\n", 0},
      {"lead before a line break", "\xA4\n", "?\n", 1},
      {"lead at the end", "x\xA4", "x?", 1},
      {"8E before a byte that is no katakana",
       "\x8E"
       "A",
       "?A", 1},
      {"8F cut short", "\x8F\xB0", "??", 2},
      {"byte no EUC-JP text holds", "\x80\xA0\xFF", "???", 3},
  };
  for (const Case& c : cases) {
    std::string out = "<";
    LossLog log;
    const std::size_t lost =
        EucJpToCp932(reinterpret_cast<const unsigned char*>(c.euc.data()), c.euc.size(), out, &log);
    EXPECT_EQ(out, "<" + c.cp932) << c.name;
    EXPECT_EQ(lost, c.lost) << c.name;
    ASSERT_EQ(log.size(), c.lost) << c.name;
    for (const LostCharacter& l : log) EXPECT_EQ(out[l.Offset], '?') << c.name;
  }
}

// Lost characters of UTF-8 and UTF-16 are logged where their '?' went, with the character
// they stood for, so that two different emoji can be told apart.
TEST(EucJpTest, LostCharactersOfUnicodeAreLoggedWithTheirCodes) {
  const std::string utf8 =
      "a\xF0\x9F\x98\x80"
      "b\xF0\x9F\x98\xBA?";  // a😀b😺?
  std::string out;
  LossLog log;
  EXPECT_EQ(Utf8ToCp932(utf8.data(), utf8.size(), out, &log), 2u);
  EXPECT_EQ(out, "a?b??");
  ASSERT_EQ(log.size(), 2u);
  EXPECT_EQ(log[0].Offset, 1u);
  EXPECT_EQ(log[0].Code, 0x1F600u);
  EXPECT_EQ(log[1].Offset, 3u);
  EXPECT_EQ(log[1].Code, 0x1F63Au);

  const std::string utf16 = Iconv(utf8, "UTF-16BE");
  out.clear();
  log.clear();
  EXPECT_EQ(Utf16BytesToCp932(reinterpret_cast<const unsigned char*>(utf16.data()), utf16.size(),
                              true, out, &log),
            2u);
  EXPECT_EQ(out, "a?b??");
  ASSERT_EQ(log.size(), 2u);
  EXPECT_EQ(log[0].Code, 0x1F600u);
  EXPECT_EQ(log[1].Code, 0x1F63Au);
}

// --- The detection rule ----------------------------------------------------------------

TEST(EncodingDetectionTest, OneRuleForEveryKindOfText) {
  const std::string mixed = "1,山田太郎,ﾔﾏﾀﾞ,東京都 テスト\r\n";
  const std::string kanaOnly = "1,ﾃﾞｰﾀ,ｶﾀｶﾅ\r\n";
  struct Case {
    const char* name;
    std::string bytes;
    int expected;
  } cases[] = {
      {"Shift-JIS", Iconv(mixed, "CP932"), kEncodingSjis},
      {"UTF-8", mixed, kEncodingUtf8},
      {"EUC-JP", Iconv(mixed, "EUC-JP-MS"), kEncodingEucJp},
      {"UTF-16LE", Iconv(mixed, "UTF-16LE"), kEncodingUtf16},
      {"UTF-16BE", Iconv(mixed, "UTF-16BE"), kEncodingUtf16Be},
      {"ASCII only", "1,abc\r\n2,def\r\n", kEncodingSjis},
      // Rule 5a: half-width katakana data valid in both is Shift-JIS.
      {"Shift-JIS half-width katakana in even runs", Iconv(kanaOnly, "CP932"), kEncodingSjis},
      // Rule 5b: EUC-JP kanji read as Shift-JIS fall apart into half-width katakana.
      {"EUC-JP kanji and a full-width space, also valid Shift-JIS",
       Iconv("山田　太郎\r\n", "EUC-JP-MS"), kEncodingEucJp},
      // The ambiguity rule 5a settles: four level-1 kanji whose every byte reads as a
      // half-width katakana letter are taken for half-width data.
      {"EUC-JP 山田太郎 alone reads as half-width data", Iconv("山田太郎", "EUC-JP-MS"),
       kEncodingSjis},
      {"EUC-JP hiragana only", Iconv("あいう\r\n", "EUC-JP-MS"), kEncodingEucJp},
      {"EUC-JP half-width katakana", Iconv(kanaOnly, "EUC-JP-MS"), kEncodingEucJp},
      // A sound mark after a letter that cannot take it is no half-width data.
      {"stray sound mark", "\xB1\xDE\xB1\xDE", kEncodingEucJp},
      {"binary: zero bytes without a pattern", std::string("\x01\x00\x00\x05\x00\x00\x07\x08", 8),
       kUnreadable},
      {"damaged UTF-8: fewest invalid sequences", "あいう\xFF", kEncodingUtf8},
      {"damaged Shift-JIS", Iconv("あいうえお", "CP932") + "\x80", kEncodingSjis},
  };
  for (const Case& c : cases) {
    ASSERT_FALSE(c.bytes.empty()) << c.name;
    EXPECT_EQ(Detect(c.bytes), c.expected) << c.name;
  }
}

TEST(EncodingDetectionTest, AsciiTakesTheFallbackUnlessItIsUtf16) {
  const std::pair<int, int> cases[] = {{kEncodingSjis, kEncodingSjis},
                                       {kEncodingUtf8, kEncodingUtf8},
                                       {kEncodingEucJp, kEncodingEucJp},
                                       {kEncodingUtf16, kEncodingSjis},
                                       {42, kEncodingSjis}};
  for (auto [fallback, expected] : cases) {
    EXPECT_EQ(Detect("a,b\r\n", true, fallback), expected) << fallback;
  }
}

// A sequence cut by the end of the sample does not count against the text, unless the
// sample is the whole file.
TEST(EncodingDetectionTest, SequenceCutByTheSampleEnd) {
  const std::string utf8 = "a,あい";  // E3 81 82 E3 81 84
  const std::string cutUtf8 = utf8.substr(0, utf8.size() - 1);
  EXPECT_EQ(Detect(cutUtf8, false), kEncodingUtf8);
  EXPECT_NE(Detect(cutUtf8, true), kEncodingUtf8);
  const std::string euc = Iconv("あいう", "EUC-JP-MS");
  const std::string cutEuc = euc.substr(0, euc.size() - 1);
  EXPECT_EQ(Detect(cutEuc, false), kEncodingEucJp);
  const std::string sjis = Iconv("あいう", "CP932");
  EXPECT_EQ(Detect(sjis.substr(0, sjis.size() - 1), false), kEncodingSjis);
}

// --- Files read under 自動判定 -----------------------------------------------------------

class AutoFileTest : public ::testing::Test {
 protected:
  test::TempDir dir_;
};

// The detected encoding is the one in force; a byte-order mark decides whatever the adopt
// flag says; the first 64 KiB decide, whatever follows them.
TEST_F(AutoFileTest, EncodingInForceAfterTheMarkCheck) {
  const std::string text = "1,やま\r\n";
  const std::string asciiHead(kDetectionBytes, 'a');
  struct Case {
    const char* name;
    std::string bytes;
    bool adopt;
    int result;
    int encoding;
    bool arrivesAsText = true;
  } cases[] = {
      {"UTF-8 mark, adopting off", "\xEF\xBB\xBF" + text, false, 2, kEncodingUtf8},
      {"UTF-16LE mark", "\xFF\xFE" + Iconv(text, "UTF-16LE"), false, 2, kEncodingUtf16},
      {"UTF-16BE mark", "\xFE\xFF" + Iconv(text, "UTF-16BE"), true, 2, kEncodingUtf16Be},
      {"mark outweighs the bytes", "\xEF\xBB\xBF" + Iconv(text, "CP932"), false, 2, kEncodingUtf8,
       false},
      {"no mark, EUC-JP", Iconv(text, "EUC-JP-MS"), true, 0, kEncodingEucJp},
      {"no mark, UTF-8", text, false, 0, kEncodingUtf8},
      // Documented: the 64 KiB sample is ASCII, so the fallback holds for the UTF-8 after it.
      {"64 KiB of ASCII, then UTF-8", asciiHead + "\r\n" + text, true, 0, kEncodingSjis, false},
      {"UTF-8 ending at byte 64 Ki", asciiHead.substr(12) + "\r\n" + text, true, 0, kEncodingUtf8},
      {"binary", std::string("\x00\x01\x00\x00\x02\x00\x03\x04", 8), true, -3, kEncodingSjis},
  };
  for (const Case& c : cases) {
    const std::string path = dir_.Write("in.txt", c.bytes);
    TextFile file;
    ASSERT_EQ(file.Open(path, TextFile::kModeRead, kEncodingAuto), 0);
    int encoding = -1;
    EXPECT_EQ(file.CheckBom(c.adopt, &encoding), c.result) << c.name;
    EXPECT_EQ(encoding, c.encoding) << c.name;
    EXPECT_EQ(file.GetEncoding(), c.encoding) << c.name;
    if (c.result < 0 || !c.arrivesAsText) continue;
    // Everything after the mark arrives, converted, whatever the detection read ahead.
    std::string all;
    int length = 0;
    for (const char* piece; (piece = file.ReadChunk(&length)) && length > 0;) {
      all.append(piece, static_cast<std::size_t>(length));
    }
    EXPECT_EQ(all.size() >= 8 ? all.substr(all.size() - 8) : all, S(text)) << c.name;
  }
}

TEST_F(AutoFileTest, BinaryFileIsRefusedByTheReader) {
  const std::string path = dir_.Write("bin.dat", std::string("\x7F"
                                                             "ELF\x02\x01\x01\x00\x00\x00",
                                                             10));
  DelimitedReader csv;
  EXPECT_EQ(csv.Open(path, 0, kEncodingAuto, 1), DelimitedReader::kOpenFailed);
  EXPECT_STREQ(csv.GetError(), S("読込できないファイルです。").c_str());
}

// EUC-JP pieces are cut where no character is split: a text whose two- and three-byte
// characters and CR LF pairs fall on every offset around the cut arrives whole.
TEST_F(AutoFileTest, EucJpPiecesKeepSequencesWhole) {
  const std::string unit = Iconv("あ", "EUC-JP-MS") + "\x8F\xB0\xA1" + "\x8E\xB1" + "\r\n\"\"";
  for (std::size_t shift = 0; shift < 12; ++shift) {
    std::string bytes(1000 + shift, 'x');
    while (bytes.size() < 3000) bytes += unit;
    const std::string path = dir_.Write("euc.txt", bytes);
    TextFile file;
    ASSERT_EQ(file.Open(path, TextFile::kModeRead, kEncodingEucJp), 0);
    int encoding = 0;
    ASSERT_EQ(file.CheckBom(true, &encoding), 0);
    std::string all;
    int length = 0;
    for (const char* piece; (piece = file.ReadChunk(&length)) && length > 0;) {
      all.append(piece, static_cast<std::size_t>(length));
    }
    std::string whole;
    const std::size_t lost =
        EucJpToCp932(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(), whole);
    EXPECT_EQ(all, whole) << shift;
    EXPECT_EQ(file.LostCount(), lost) << shift;
  }
}

// Fixed-length EUC-JP files are laid out in EUC-JP bytes: a half-width katakana takes 2, a
// JIS X 0212 kanji 3 (a '?' here, as CP932 lacks it), a JIS X 0208 character 2; a boundary
// inside one is the straddle error.
TEST_F(AutoFileTest, FixedLengthEucJpCountsItsOwnBytes) {
  struct Case {
    const char* name;
    std::string line;
    std::vector<int> lengths;
    std::vector<std::string> fields;
    int result;
  } cases[] = {
      {"half-width katakana",
       "\x8E\xB6\x8E\xC5"
       "AB",
       {4, 2},
       {S("ｶﾅ"), "AB"},
       2},
      {"JIS X 0212 kanji", "\x8F\xB0\xA1\xA4\xA2x", {3, 3}, {"?", S("あx")}, 2},
      {"boundary inside a katakana",
       "\x8E\xB6\x8E\xC5",
       {3, 1},
       {},
       FixedWidthReader::kReadStraddle},
  };
  for (const Case& c : cases) {
    const std::string path = dir_.Write("fix.txt", c.line + "\r\n");
    FixedWidthReader fix;
    for (std::size_t i = 0; i < c.lengths.size(); ++i) {
      ASSERT_EQ(fix.AddDefinition(Cat("f", std::to_string(i)), c.lengths[i]).Code(), 0);
    }
    for (int encoding : {kEncodingEucJp, kEncodingAuto}) {
      ASSERT_EQ(fix.Open(path, 0, encoding, 1), 0) << c.name;
      EXPECT_EQ(fix.ReadRecord(), c.result) << c.name;
      for (std::size_t i = 0; i < c.fields.size(); ++i) {
        EXPECT_EQ(fix.FieldView(static_cast<int>(i)), c.fields[i]) << c.name << ' ' << i;
      }
      fix.Close();
    }
  }
}

}  // namespace
}  // namespace korvel
