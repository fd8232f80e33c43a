#include "grid/FindText.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "CopyFindTestUtil.h"
#include "grid/GridModel.h"

namespace korvel {
namespace {

using test::CrLfLines;
using test::S;
using Hit = std::optional<FindPosition>;

TEST(CellMatchesTest, CaseFoldingIsForSingleByteLettersOnly) {
  for (const char* cell : {"xxABCyy", "aBc", "abc"}) {
    EXPECT_TRUE(CellMatches(cell, "abc", kFindIgnoreCase)) << cell;
    EXPECT_TRUE(CellMatches(cell, "ABC", kFindIgnoreCase)) << cell;
  }
  EXPECT_TRUE(CellMatches("abc", "abc", kFindExact));
  EXPECT_FALSE(CellMatches("aBc", "abc", kFindExact));
  EXPECT_FALSE(CellMatches("ab", "abc", kFindIgnoreCase));
  // Full-width letters are characters of their own, in either mode.
  EXPECT_FALSE(CellMatches(S("ＡＢＣ"), "abc", kFindIgnoreCase));
  EXPECT_FALSE(CellMatches(S("ＡＢＣ"), S("ａｂｃ"), kFindIgnoreCase));
  EXPECT_TRUE(CellMatches(S("品名ＡＢＣ"), S("ＡＢＣ"), kFindIgnoreCase));
  // ア is 83 41 and ヂ is 83 61: their trail bytes differ only as A and a would.
  ASSERT_EQ(S("ア"), "\x83\x41");
  ASSERT_EQ(S("ヂ"), "\x83\x61");
  EXPECT_FALSE(CellMatches(S("ア"), S("ヂ"), kFindIgnoreCase));
  EXPECT_TRUE(CellMatches(S("xアy"), S("Xア"), kFindIgnoreCase));
  // The check box's mode is the exact one.
  EXPECT_FALSE(CellMatches("ABC", "abc", FindModeFor(true)));
  EXPECT_TRUE(CellMatches("ABC", "abc", FindModeFor(false)));
}

TEST(CellMatchesTest, NoMatchInsideADoubleByteCharacter) {
  // 表 (95 5C) and ソ (83 5C) end in the byte of a backslash.
  ASSERT_EQ(S("表"), "\x95\x5C");
  ASSERT_EQ(S("ソ"), "\x83\x5C");
  ASSERT_EQ(S("示"), "\x8E\xA6");
  for (int mode : {kFindIgnoreCase, kFindExact}) {
    EXPECT_FALSE(CellMatches(S("表示"), "\\", mode));
    EXPECT_FALSE(CellMatches(S("ソフト"), "\\", mode));
    EXPECT_TRUE(CellMatches(S("表\\"), "\\", mode));
    EXPECT_TRUE(CellMatches(S("ソ"), S("ソ"), mode));
    // ア's trail byte followed by A is no match for AA; the lone A is.
    EXPECT_FALSE(CellMatches(S("アA"), "AA", mode));
    EXPECT_TRUE(CellMatches(S("アA"), "A", mode));
    // A search starting with a trail byte: 5C 8E would be found at byte 1 of 表示.
    EXPECT_FALSE(CellMatches(S("表示"), std::string("\x5C\x8E\xA6", 3), mode));
  }
  EXPECT_FALSE(CellMatches(S("ア"), "a", kFindIgnoreCase));
}

TEST(CellMatchesTest, CellEndsAtZeroOrTab) {
  EXPECT_FALSE(CellMatches("ab\tcd", "cd", kFindExact));
  EXPECT_FALSE(CellMatches(std::string("ab\0cd", 5), "cd", kFindExact));
  EXPECT_TRUE(CellMatches("ab\tcd", "ab", kFindExact));
  EXPECT_FALSE(CellMatches("ab", "", kFindExact));
  EXPECT_FALSE(CellMatches("", "", kFindExact));
}

TEST(FindDialogTest, KeywordChecksAndClipping) {
  RecordingNotifier notifier;
  EXPECT_EQ(test::Shown(notifier, CheckFindKeyword("a")), 0);
  EXPECT_TRUE(notifier.Entries().empty());
  EXPECT_EQ(test::Shown(notifier, CheckFindKeyword("")), -1);
  EXPECT_EQ(notifier.Texts(), std::vector<std::string>{"検索文字列を入力してください。"});
  EXPECT_EQ(notifier.Entries()[0].box.icon, MessageIcon::kWarning);

  EXPECT_EQ(ClipFindText(std::string(300, 'a')), std::string(255, 'a'));
  EXPECT_EQ(ClipFindText("abc"), "abc");
  std::string wide;
  for (int i = 0; i < 200; ++i) wide += S("あ");
  const std::string clipped = ClipFindText(test::Cat("a", wide));
  EXPECT_EQ(clipped.size(), 255u);
  EXPECT_EQ(clipped, test::Cat("a", wide.substr(0, 254)));
  // A double-byte character that would end at byte 256 is left out whole.
  EXPECT_EQ(ClipFindText(std::string(254, 'a') + S("あ")), std::string(254, 'a'));
}

class FindCellTest : public test::ComparedFilesTest {
 protected:
  // code (key), name, qty. Shown rows in key order: A01 (0), B02 (1), C03 left only (2),
  // D04 right only (3).
  void SetUp() override {
    ASSERT_EQ(Compare(CrLfLines({"code,name,qty", "A01,apple,10", "B02,Banana,25", "C03,cherry,7"}),
                      CrLfLines({"code,name,qty", "A01,apple,10", "B02,banana,30", "D04,Apple,8"}),
                      {.keys = {1}}),
              0);
    ASSERT_EQ(session_.ViewPairs().size(), 4u);
    ASSERT_EQ(session_.ViewPairs()[2].Status, kStatusLeftOnly);
  }

  // `pane` as the window's CurSide: 1 the left file, 2 the right one.
  Hit Find(int pane, int col, int row, int direction, const std::string& text,
           int mode = kFindIgnoreCase) {
    return FindCell(session_, PaneSide(pane), col, row, direction, text, mode);
  }
};

TEST_F(FindCellTest, ReadingOrderAcrossFieldsAndRecords) {
  // Field by field across a record, then on to the next record from its first field.
  EXPECT_EQ(Find(1, 0, 0, 1, "0"), (Hit{{2, 0}}));
  EXPECT_EQ(Find(1, 2, 0, 1, "0"), (Hit{{0, 1}}));
  EXPECT_EQ(Find(1, 0, 1, -1, "0"), (Hit{{2, 0}}));
  EXPECT_EQ(Find(1, 2, 0, -1, "0"), (Hit{{0, 0}}));
  // Keys are searched like every other field.
  EXPECT_EQ(Find(1, 1, 0, 1, "c03"), (Hit{{0, 2}}));
  // From the row-number strip (column -1 or -2) the walk starts at the row's first field
  // downward, and at the previous row's last field upward.
  EXPECT_EQ(Find(1, -2, 1, 1, "B02"), (Hit{{0, 1}}));
  EXPECT_EQ(Find(1, -1, 1, -1, "0"), (Hit{{2, 0}}));
}

TEST_F(FindCellTest, TheCursorCellIsNotExaminedAndNothingWraps) {
  EXPECT_EQ(Find(1, 0, 0, 1, "apple"), (Hit{{1, 0}}));
  // The only other "apple" on the left is none: neither direction finds the cursor's own.
  EXPECT_EQ(Find(1, 1, 0, 1, "apple"), std::nullopt);
  EXPECT_EQ(Find(1, 1, 0, -1, "apple"), std::nullopt);
  // From the last field of the last record downward, and from the first cell upward.
  EXPECT_EQ(Find(2, 2, 3, 1, "A01"), std::nullopt);
  EXPECT_EQ(Find(2, 0, 0, -1, "8"), std::nullopt);
  EXPECT_EQ(Find(2, 1, 3, 1, "8"), (Hit{{2, 3}}));
  EXPECT_EQ(Find(1, 0, 0, 0, "apple"), std::nullopt);
  EXPECT_EQ(Find(1, 0, 0, 1, ""), std::nullopt);
}

TEST_F(FindCellTest, OnlyTheCursorSideIsSearched) {
  // 30 and D04 exist in the right file only; cherry in the left only.
  EXPECT_EQ(Find(1, 0, 0, 1, "30"), std::nullopt);
  EXPECT_EQ(Find(2, 0, 0, 1, "30"), (Hit{{2, 1}}));
  EXPECT_EQ(Find(1, 0, 0, 1, "D04"), std::nullopt);
  EXPECT_EQ(Find(2, 0, 0, 1, "D04"), (Hit{{0, 3}}));
  EXPECT_EQ(Find(2, 0, 0, 1, "cherry"), std::nullopt);
  EXPECT_EQ(Find(2, 2, 3, -1, "banana"), (Hit{{1, 1}}));
  // Mode 3 finds Apple of D04 on the right; the exact mode does not.
  EXPECT_EQ(Find(2, 1, 0, 1, "apple"), (Hit{{1, 3}}));
  EXPECT_EQ(Find(2, 1, 0, 1, "apple", kFindExact), std::nullopt);
  EXPECT_EQ(Find(1, 0, 0, 1, "BANANA"), (Hit{{1, 1}}));
  EXPECT_EQ(Find(1, 0, 0, 1, "banana", kFindExact), std::nullopt);
}

TEST_F(FindCellTest, AnExtractionLimitsTheSearch) {
  ASSERT_EQ(Show(session_.ExtractByStatus(kExtractLeftOnly, true)), 0);
  session_.ActivateExtraction();
  ASSERT_EQ(session_.ViewPairs().size(), 1u);
  EXPECT_EQ(Find(1, 0, 0, 1, "apple"), std::nullopt);
  EXPECT_EQ(Find(1, 0, 0, 1, "cherry"), (Hit{{1, 0}}));
  session_.ReleaseExtraction();
  EXPECT_EQ(Find(1, 0, 0, 1, "cherry"), (Hit{{1, 2}}));
}

TEST(FindCellEmptyTest, NoResultFindsNothing) {
  CompareSession session;
  EXPECT_EQ(FindCell(session, Side::kLeft, 0, 0, 1, "a", kFindIgnoreCase), std::nullopt);
  EXPECT_EQ(FindCell(session, Side::kLeft, 0, 0, -1, "a", kFindIgnoreCase), std::nullopt);
}

}  // namespace
}  // namespace korvel
