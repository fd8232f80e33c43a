#include "grid/DetailLine.h"

#include <gtest/gtest.h>

#include "TestUtil.h"

namespace korvel {
namespace {

using test::S;

TEST(DetailLine, NumericTexts) {
  for (const char* yes : {"0", "-12.50", "007", "-", ".", "1234567890", "-.5", "5.", "3.14"}) {
    EXPECT_TRUE(IsNumericText(yes)) << yes;
  }
  for (const char* no : {"", "1,000", "1.2.3", "12345678901", "--1", "1-", "+1", " 1", "1e5"}) {
    EXPECT_FALSE(IsNumericText(no)) << no;
  }
  EXPECT_FALSE(IsNumericText(S("１２")));  // full-width digits
  EXPECT_DOUBLE_EQ(NumericValue("-12.50"), -12.5);
  EXPECT_DOUBLE_EQ(NumericValue("-.5"), -0.5);
  EXPECT_DOUBLE_EQ(NumericValue("-"), 0);
  EXPECT_DOUBLE_EQ(NumericValue("."), 0);
}

TEST(DetailLine, BandsOfSingleByteTexts) {
  using B = std::vector<DiffBand>;
  EXPECT_EQ(DetailDiffBands("abcd", "abXd"), (B{{2, 3}}));
  EXPECT_EQ(DetailDiffBands("abc", "abcde"), (B{{3, 5}}));
  EXPECT_EQ(DetailDiffBands("abcde", "abc"), (B{{3, 5}}));
  EXPECT_EQ(DetailDiffBands("same", "same"), B{});
  EXPECT_EQ(DetailDiffBands("", ""), B{});
  EXPECT_EQ(DetailDiffBands("Xbc", "abc"), (B{{0, 1}}));
  EXPECT_EQ(DetailDiffBands("aXcYe", "abcde"), (B{{1, 2}, {3, 4}}));
  EXPECT_EQ(DetailDiffBands("", "ab"), (B{{0, 2}}));
  EXPECT_EQ(DetailDiffBands("abc", "xyz"), (B{{0, 3}}));
}

TEST(DetailLine, BandsWithDoubleByteCharacters) {
  using B = std::vector<DiffBand>;
  // A double-byte character takes two columns.
  EXPECT_EQ(DetailDiffBands(S("あいう"), S("あかう")), (B{{2, 4}}));
  // Two characters sharing the lead byte but not the trail byte differ.
  EXPECT_EQ(DetailDiffBands(S("xア"), S("xイ")), (B{{1, 3}}));
  // One double-byte character against two single bytes: the step and the catch-up differ.
  EXPECT_EQ(DetailDiffBands(S("あz"), "abz"), (B{{0, 2}}));
  EXPECT_EQ(DetailDiffBands("abz", S("あz")), (B{{0, 2}}));
  // A double-byte character against a single one realigns the following text by a column.
  EXPECT_EQ(DetailDiffBands(S("あc"), "ac"), (B{{0, 3}}));
  // A cut lead byte at the end counts as a character and does not run past the text.
  EXPECT_EQ(DetailDiffBands(std::string("a\x82"), "a"), (B{{1, 3}}));
}

}  // namespace
}  // namespace korvel
