#include "compare/Collation.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

#include "TestUtil.h"
#include "platform/Codepage.h"

namespace korvel {
namespace {

using test::S;

TEST(CollationTest, SortCompareFoldsOnlySingleByteLetters) {
  EXPECT_EQ(SortCompare("abc", "ABC"), 0);
  EXPECT_EQ(SortCompare("Zebra", "zebra"), 0);
  EXPECT_LT(SortCompare("abc", "abd"), 0);
  EXPECT_GT(SortCompare("B", "a"), 0);  // folded: 'b' > 'a', although 'B' < 'a' as bytes
  EXPECT_LT(SortCompare("ab", "abc"), 0);
  EXPECT_LT(SortCompare("", "a"), 0);
  EXPECT_EQ(SortCompare("", ""), 0);
  // '[' (0x5B) lies between 'Z' and 'a': folding puts the letters after it.
  EXPECT_GT(SortCompare("A", "["), 0);
  // Bytes above 0x7F are unsigned.
  EXPECT_GT(SortCompare("\xB1", "z"), 0);
  // The trail byte of a double-byte character is not folded: 0x82 0x41 and 0x82 0x61 are
  // different characters.
  EXPECT_LT(SortCompare("\x82\x41", "\x82\x61"), 0);
  EXPECT_NE(SortCompare("x\x82\x41", "x\x82\x61"), 0);
  // ... while a single-byte letter after a double-byte character is folded again.
  EXPECT_EQ(SortCompare("\x82\xA0Q", "\x82\xA0q"), 0);
  EXPECT_EQ(SortCompare(S("あいうA"), S("あいうa")), 0);
}

// The sort order walked character by character, as it is defined.
int ReferenceSortCompare(const std::string& a, const std::string& b) {
  std::size_t i = 0;
  while (i < a.size() && i < b.size()) {
    auto ca = static_cast<unsigned char>(a[i]);
    auto cb = static_cast<unsigned char>(b[i]);
    if (IsLeadByte(ca) && IsLeadByte(cb) && ca == cb && i + 1 < a.size() && i + 1 < b.size()) {
      auto ta = static_cast<unsigned char>(a[i + 1]);
      auto tb = static_cast<unsigned char>(b[i + 1]);
      if (ta != tb) return ta < tb ? -1 : 1;
      i += 2;
      continue;
    }
    if (ca >= 'A' && ca <= 'Z') ca = static_cast<unsigned char>(ca + 32);
    if (cb >= 'A' && cb <= 'Z') cb = static_cast<unsigned char>(cb + 32);
    if (ca != cb) return ca < cb ? -1 : 1;
    ++i;
  }
  return a.size() < b.size() ? -1 : (a.size() > b.size() ? 1 : 0);
}

TEST(CollationTest, SortCompareAgreesWithACharacterWalk) {
  std::mt19937 rng(17);
  // Letters in both cases, lead bytes, bytes that are letters as trail bytes.
  const std::string bytes = "aAbBzZ09 \x82\x81\x9F\xE0\x41\x61\x5A\x7A\xA0";
  for (int round = 0; round < 20000; ++round) {
    std::string a;
    int length = static_cast<int>(rng() % 40);
    for (int i = 0; i < length; ++i) a += bytes[rng() % bytes.size()];
    std::string b = a;
    // Change a few bytes, often only the case of a letter, anywhere in the text.
    int changes = static_cast<int>(rng() % 3);
    for (int c = 0; c < changes && !b.empty(); ++c) {
      std::size_t at = rng() % b.size();
      b[at] = rng() % 2 ? bytes[rng() % bytes.size()] : static_cast<char>(b[at] ^ 0x20);
    }
    if (rng() % 4 == 0) b.resize(rng() % (b.size() + 1));
    int expected = ReferenceSortCompare(a, b);
    int actual = SortCompare(a, b);
    ASSERT_EQ(actual < 0, expected < 0) << round;
    ASSERT_EQ(actual > 0, expected > 0) << round;
  }
}

TEST(CollationTest, PairCompareKeepsCaseAfterTheSortOrder) {
  EXPECT_NE(PairCompare("a", "A"), 0);
  EXPECT_EQ(PairCompare("a", "a"), 0);
  EXPECT_GT(PairCompare("a", "A"), 0);
  // The sort order decides first: "B" sorts after "a" though its byte is lower.
  EXPECT_GT(PairCompare("B", "a"), 0);
  EXPECT_LT(PairCompare("aB", "ab"), 0);
  // Texts equal under the pairing order are equal under the sort order.
  const char* texts[] = {"", "a", "A", "ab", "AB", "aB", "b", "[", "\x82\x41", "\x82\x61", "1"};
  for (const char* x : texts) {
    for (const char* y : texts) {
      if (PairCompare(x, y) == 0) {
        EXPECT_EQ(SortCompare(x, y), 0) << x << " " << y;
      }
      EXPECT_EQ(PairCompare(x, y) < 0, PairCompare(y, x) > 0) << x << " " << y;
    }
  }
}

TEST(CollationTest, KeyNumberReadsSigned32BitWithWrapAround) {
  EXPECT_EQ(KeyNumber("10"), 10);
  EXPECT_EQ(KeyNumber("  -3"), -3);
  EXPECT_EQ(KeyNumber("\t+42x9"), 42);
  EXPECT_EQ(KeyNumber("abc"), 0);
  EXPECT_EQ(KeyNumber(""), 0);
  EXPECT_EQ(KeyNumber("-"), 0);
  EXPECT_EQ(KeyNumber("001"), 1);
  EXPECT_EQ(KeyNumber("12 34"), 12);
  EXPECT_EQ(KeyNumber("2147483647"), 2147483647);
  EXPECT_EQ(KeyNumber("2147483648"), -2147483647 - 1);
  EXPECT_EQ(KeyNumber("-2147483648"), -2147483647 - 1);
  EXPECT_EQ(KeyNumber("-2147483649"), 2147483647);
  EXPECT_EQ(KeyNumber("4294967295"), -1);
  EXPECT_EQ(KeyNumber("4294967296"), 0);
  EXPECT_EQ(KeyNumber("4294967306"), 10);
  EXPECT_EQ(KeyNumber("99999999999999999999"), static_cast<std::int32_t>(1661992959u));
}

TEST(CollationTest, CellsDifferPlainAndWithoutSpaces) {
  EXPECT_FALSE(CellsDiffer("abc", "abc", false));
  EXPECT_TRUE(CellsDiffer("abc", "ABC", false));  // case counts in a cell
  EXPECT_TRUE(CellsDiffer("A B", "AB", false));
  EXPECT_TRUE(CellsDiffer("", " ", false));

  EXPECT_FALSE(CellsDiffer("A B", "AB", true));
  EXPECT_FALSE(CellsDiffer("  AB  ", "A B", true));
  EXPECT_FALSE(CellsDiffer(S("全　角"), S("全角"), true));  // full-width space
  EXPECT_FALSE(CellsDiffer(S("　A　 B "), "AB", true));
  EXPECT_FALSE(CellsDiffer("", S("　 　"), true));
  EXPECT_TRUE(CellsDiffer("AB", "ab", true));
  EXPECT_TRUE(CellsDiffer("A\tB", "AB", true));  // tabs are not spaces here
  EXPECT_TRUE(CellsDiffer("AB", "ABC", true));
  EXPECT_TRUE(CellsDiffer("ABC", "AB  ", true));
  // 0x81 0x40 only counts as a space at a character boundary: here 0x81 is the trail
  // byte of 0x81 0x81, and 0x40 is '@'.
  EXPECT_TRUE(CellsDiffer("\x81\x81\x40", "\x81\x81", true));
  EXPECT_FALSE(CellsDiffer("\x81\x81\x40", "\x81\x81 @", true));
  // A double-byte character never matches two single bytes.
  EXPECT_TRUE(CellsDiffer("\x82\xA0", "\x82 \xA0", true));
}

}  // namespace
}  // namespace korvel
