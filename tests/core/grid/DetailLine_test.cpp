#include "grid/DetailLine.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>

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

TEST(DetailLine, TheLineScrollsToTheFirstDifference) {
  struct Case {
    const char* what;
    std::string left, right;
    int columns;
  };
  const Case cases[] = {
      {"the same texts", std::string(300, 'a'), std::string(300, 'a'), 0},
      {"a difference at the start", "Xbc", "abc", 0},
      {"ten columns in: not scrolled", std::string(10, 'a') + "X", std::string(10, 'a') + "Y", 0},
      {"eleven columns in: one", std::string(11, 'a') + "X", std::string(11, 'a') + "Y", 1},
      {"the 200th character", std::string(199, 'a') + "X", std::string(199, 'a') + "Y", 189},
      {"only the longer text's tail", std::string(150, 'a'), std::string(160, 'a'), 140},
      {"double-byte characters count two columns", test::Cat(S("あいうえおかきくけこさし"), "X"),
       test::Cat(S("あいうえおかきくけこさし"), "Y"), 14},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(DetailScrollColumns(DetailDiffBands(c.left, c.right)), c.columns) << c.what;
  }
}

TEST(DetailLine, AScrolledTextStartsAtAWholeCharacter) {
  const std::string mixed = test::Cat("ab", S("あい"), "cd");  // columns: a b [あ] [い] c d
  struct Case {
    const char* what;
    std::string text;
    int columns;
    DetailPiece piece;
  };
  const Case cases[] = {
      {"not scrolled", mixed, 0, {mixed, 0}},
      {"one column", mixed, 1, {std::string_view(mixed).substr(1), 1}},
      {"on a double-byte character", mixed, 2, {std::string_view(mixed).substr(2), 2}},
      {"inside one: it is left out whole", mixed, 3, {std::string_view(mixed).substr(4), 4}},
      {"inside the second", mixed, 5, {std::string_view(mixed).substr(6), 6}},
      {"at the end", mixed, 8, {"", 8}},
      {"past the end", mixed, 20, {"", 20}},
      {"an empty text", "", 5, {"", 5}},
  };
  for (const Case& c : cases) {
    const DetailPiece piece = DetailTextFrom(c.text, c.columns);
    EXPECT_EQ(std::string(piece.text), std::string(c.piece.text)) << c.what;
    EXPECT_EQ(piece.column, c.piece.column) << c.what;
  }
}

}  // namespace
}  // namespace korvel
