#include "io/PlainScan.h"

#include <gtest/gtest.h>

#include <bit>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "TestUtil.h"
#include "platform/Codepage.h"

namespace korvel {
namespace {

struct Tables {
  unsigned char unquoted[256];
  unsigned char quoted[256];
  explicit Tables(char delimiter) { BuildByteClasses(delimiter, unquoted, quoted); }
};

// The run rule read straight: plain bytes pass, a lead byte passes with the byte after it
// unless that byte is missing or below 0x20, anything else stops.
std::size_t ReferenceRunEnd(const unsigned char* cls, const std::string& s, std::size_t p) {
  const auto* b = reinterpret_cast<const unsigned char*>(s.data());
  while (p < s.size()) {
    if (cls[b[p]] == kPlainByte) {
      p += 1;
    } else if (cls[b[p]] == kLeadByte && p + 1 < s.size() && b[p + 1] >= 0x20) {
      p += 2;
    } else {
      break;
    }
  }
  return p;
}

std::size_t RunEnd(const unsigned char* cls, const std::string& s, std::size_t p) {
  return PlainScanner(cls).RunEnd(reinterpret_cast<const unsigned char*>(s.data()), p, s.size());
}

TEST(PlainScanTest, RunEndsWorkedOutByHand) {
  const Tables comma(',');
  const Tables tab('\t');
  struct Case {
    const char* name;
    const unsigned char* cls;
    std::string text;
    std::size_t end;
  };
  const std::string ascii16 = "abcdefghijklmnop";
  const std::vector<Case> cases = {
      {"empty", comma.unquoted, "", 0},
      {"delimiter first", comma.unquoted, ",abc", 0},
      {"delimiter after the first word", comma.unquoted, ascii16 + ",x", 16},
      {"delimiter inside the first word", comma.unquoted, "abcde,fghijklmn", 5},
      {"no stop at all", comma.unquoted, ascii16 + "qrs", 19},
      {"quote", comma.unquoted, "abcdefghij\"k", 10},
      {"line break", comma.unquoted, "abcdefghijkl\r\n", 12},
      {"TAB is plain outside quotes", comma.unquoted, "ab\tcdefghij,", 11},
      {"TAB stops inside quotes", comma.quoted, "ab\tcdefghij,", 2},
      {"comma is plain inside quotes", comma.quoted, "abc,defghij\"", 11},
      {"lead byte owns a comma", comma.unquoted, "abcdefg\x82,hi,", 11},
      {"lead byte owns a quote", comma.unquoted, "\x82\"x\"", 3},
      {"two leads, then a comma", comma.unquoted, "abcdef\x81\x81,x", 8},
      {"three leads own the comma", comma.unquoted, "abcdef\x81\x81\x81,x", 11},
      {"a non-lead byte ends the lead run", comma.unquoted, "\x81\x81\x41\x81,x,", 6},
      {"half-width kana are single bytes", comma.unquoted, "\xB1\xB2\xB3,", 3},
      {"lead before a control byte stops at the lead", comma.unquoted, "abcdefghi\x82\r\n", 9},
      {"lead before TAB stops at the lead", comma.unquoted, "abc\x82\tdef", 3},
      {"lead at the very end stops at the lead", comma.unquoted, "abcdefghi\x82", 9},
      {"pair at the very end passes", comma.unquoted, "abcdefghi\x82\xA0", 11},
      {"TAB delimiter stops", tab.unquoted, "abcdefghij\tk", 10},
      {"lead owns a TAB-rules quote", tab.quoted, "\x95\"abc\t", 5},
      {"NUL is a control byte", comma.unquoted, std::string("abcdefghij\0k", 12), 10},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(RunEnd(c.cls, c.text, 0), c.end) << c.name;
    EXPECT_EQ(ReferenceRunEnd(c.cls, c.text, 0), c.end) << c.name << " (reference)";
  }
}

// Random texts over the bytes that matter to the rule, long enough to cross several words,
// from every starting position, under every delimiter shape: the word test and the
// byte-by-byte walk end every run at the same byte.
TEST(PlainScanTest, AgreesWithTheByteWalkOnRandomTexts) {
  const unsigned char alphabet[] = {'a',  'Z',  '0',  ' ',  ',',  ';',  '|',  '"',  '\t', '\r',
                                    '\n', 0x00, 0x01, 0x1F, 0x40, 0x7E, 0x7F, 0x80, 0x81, 0x93,
                                    0x9F, 0xA0, 0xA5, 0xDF, 0xE0, 0xFC, 0xFD, 0xFF};
  // ',' the usual; ';' and '|' other delimiters; TAB; a lead byte (never a delimiter then);
  // 0xA5, a non-ASCII delimiter the word test leaves to the byte walk.
  const char delimiters[] = {',', ';', '|', '\t', '\x81', '\xA5', ' '};
  std::mt19937 rng(16);
  for (char delimiter : delimiters) {
    const Tables t(delimiter);
    for (const unsigned char* cls : {t.unquoted, t.quoted}) {
      const PlainScanner scanner(cls);
      for (int round = 0; round < 3000; ++round) {
        // Sparse stops in some texts, dense in others.
        const int plainShare = static_cast<int>(rng() % 4);
        std::string s(rng() % 70, 'x');
        for (char& c : s) {
          c = static_cast<char>(rng() % 4 < static_cast<unsigned>(plainShare)
                                    ? "abcdefgh"[rng() % 8]
                                    : alphabet[rng() % sizeof alphabet]);
        }
        const auto* b = reinterpret_cast<const unsigned char*>(s.data());
        for (std::size_t p = 0; p <= s.size(); ++p) {
          const std::size_t want = ReferenceRunEnd(cls, s, p);
          ASSERT_EQ(scanner.RunEnd(b, p, s.size()), want)
              << "delimiter " << static_cast<int>(static_cast<unsigned char>(delimiter))
              << " quoted " << (cls == t.quoted) << " start " << p << " text " << s.size();
          ASSERT_EQ(scanner.RunEndByBytes(b, p, s.size()), want);
        }
      }
    }
  }
}

// A long Shift-JIS text with a stop at every position after every kind of character: the
// word boundaries fall everywhere relative to double-byte characters.
TEST(PlainScanTest, StopsAtEveryOffsetAfterDoubleByteText) {
  const Tables t(',');
  const PlainScanner scanner(t.unquoted);
  const std::string kanji = Sjis("東京都千代田区ｶﾌﾞｼｷ表示ソフトABC");
  for (std::size_t cut = 0; cut <= kanji.size(); ++cut) {
    for (const char* stop : {",", "\"", "\r", "\t"}) {
      std::string s = kanji.substr(0, cut) + stop + "tail";
      const auto* b = reinterpret_cast<const unsigned char*>(s.data());
      EXPECT_EQ(scanner.RunEnd(b, 0, s.size()), ReferenceRunEnd(t.unquoted, s, 0))
          << "cut " << cut << " stop " << static_cast<int>(stop[0]);
    }
  }
}

#if defined(__SSE2__)
// The block scan that the reader chains from block to block, carrying whether the next
// block starts with a trail byte: from every start, the first stop it finds is where the
// byte walk ends the run. Long runs of lead bytes carry the pairing across several blocks.
TEST(PlainScanTest, ChainedBlocksStopWhereTheByteWalkStops) {
  const unsigned char alphabet[] = {'a',  ',',  '"',  '\t', '\r', '\n', 0x00, 0x40, 0x81, 0x81,
                                    0x81, 0x93, 0x9F, 0xE0, 0xFC, 0xA5, 0xFD, 0x7F, '|'};
  std::mt19937 rng(64);
  for (char delimiter : {',', '\t', '|'}) {
    const Tables t(delimiter);
    for (const unsigned char* cls : {t.unquoted, t.quoted}) {
      const PlainScanner scanner(cls);
      ASSERT_TRUE(scanner.HasBlockScan());
      for (int round = 0; round < 400; ++round) {
        std::string s(64 + rng() % 200, 'x');
        const unsigned leadShare = rng() % 4;  // from none to mostly lead bytes
        for (char& c : s) {
          c = static_cast<char>(rng() % 4 < leadShare ? 0x81 : alphabet[rng() % sizeof alphabet]);
        }
        const auto* b = reinterpret_cast<const unsigned char*>(s.data());
        for (std::size_t p = 0; p + 64 <= s.size(); ++p) {
          std::size_t found = s.size();  // no stop in the blocks that fit
          unsigned trail = 0;
          for (std::size_t block = p; block + 64 <= s.size(); block += 64) {
            bool leadBefore = false;
            const std::uint64_t stops = scanner.BlockStops64(b + block, trail, &trail, &leadBefore);
            if (leadBefore) {
              found = block - 1;
              break;
            }
            if (stops != 0) {
              found = block + static_cast<std::size_t>(std::countr_zero(stops));
              break;
            }
          }
          const std::size_t want = ReferenceRunEnd(cls, s, p);
          if (found == s.size()) {
            // Every whole block passed: the run goes on at least past them.
            ASSERT_GE(want, p + (s.size() - p) / 64 * 64 - 1) << "start " << p;
          } else {
            ASSERT_EQ(found, want) << "delimiter " << static_cast<int>(delimiter) << " start " << p
                                   << " length " << s.size();
          }
        }
      }
    }
  }
}
// The two forms of BlockStops64 give the same stops, trail bit and lead-before flag for
// every block, chained or not, under every delimiter shape (where the machine lacks AVX2
// both readings take the SSE2 form and agree trivially).
TEST(PlainScanTest, BlockStopsAgreeInBothForms) {
  const unsigned char alphabet[] = {'a',  'Z',  ',',  ';',  '|',  '"',  '\t', '\r', '\n',
                                    0x00, 0x01, 0x1F, 0x20, 0x40, 0x7E, 0x7F, 0x80, 0x81,
                                    0x93, 0x9F, 0xA0, 0xA5, 0xDF, 0xE0, 0xFC, 0xFD, 0xFF};
  std::mt19937 rng(6464);
  int compared = 0;
  for (char delimiter : {',', ';', '|', '\t', ' '}) {
    const Tables t(delimiter);
    for (const unsigned char* cls : {t.unquoted, t.quoted}) {
      const PlainScanner machine(cls);
      std::optional<PlainScanner> sse2;
      {
        const test::BaselineOnly features(true);
        sse2.emplace(cls);
      }
      ASSERT_TRUE(machine.HasBlockScan());
      for (int round = 0; round < 3000; ++round) {
        unsigned char block[64];
        const unsigned leadShare = rng() % 4;
        for (unsigned char& c : block) {
          c = rng() % 4 < leadShare ? static_cast<unsigned char>(0x81 + rng() % 2 * 0x12)
                                    : alphabet[rng() % sizeof alphabet];
        }
        for (unsigned trailIn : {0u, 1u}) {
          unsigned trailA = 9;
          unsigned trailB = 9;
          bool leadA = false;
          bool leadB = true;
          const std::uint64_t a = machine.BlockStops64(block, trailIn, &trailA, &leadA);
          const std::uint64_t b = sse2->BlockStops64(block, trailIn, &trailB, &leadB);
          ASSERT_EQ(a, b) << "delimiter " << static_cast<int>(delimiter) << " round " << round;
          ASSERT_EQ(trailA, trailB);
          ASSERT_EQ(leadA, leadB);
          ++compared;
        }
      }
    }
  }
  EXPECT_EQ(compared, 5 * 2 * 3000 * 2);
}
#endif

}  // namespace
}  // namespace korvel
