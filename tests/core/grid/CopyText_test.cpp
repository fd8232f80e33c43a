#include "grid/CopyText.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "CopyFindTestUtil.h"

namespace korvel {
namespace {

using test::CrLfLines;
using test::S;
using Texts = std::vector<std::string>;

const char kNoData[] = "コピーするデータがありません。";
const char kTooLarge[] = "サイズをオーバーしました。640Kバイト以上のコピーはできません。";

class CopyTextTest : public test::ComparedFilesTest {
 protected:
  // code (key), name (spaces ignored), qty, memo (not compared). Pairs in key order:
  // A01 equal, B02 differing in qty only, C03 left only, D04 right only.
  void CompareFruit() {
    ASSERT_EQ(Compare(CrLfLines({"code,name,qty,memo", "A01,apple,10,x", "B02,ban ana,25,y",
                                 "C03,cherry,,z"}),
                      CrLfLines({"code,name,qty,memo", "A01,apple,10,x", "B02,banana,30,w",
                                 "D04,date,8,v"}),
                      {.keys = {1}, .ignoreSpaces = {2}, .notCompared = {4}}),
              0);
    ASSERT_EQ(session_.ViewPairs().size(), 4u);
    ASSERT_EQ(session_.ViewPairs()[1].Status, 1);
    notifier_.Clear();
  }

  // The selection command's text, or the result code as text when it refused.
  std::string Copy(const CopyViewState& view, bool otherSide = false) {
    std::string text = "stale";
    int result = Show(CopySelectionText(session_, view, otherSide, text));
    if (result != kCopyDone) {
      EXPECT_TRUE(text.empty());
      return "refused " + std::to_string(result);
    }
    EXPECT_EQ(
        RangeText(session_, RectToCopy(view, otherSide), view.withMarks, view.withHeader, nullptr),
        text.size());
    return text;
  }

  static CopyViewState Shown(CopyRect rect, bool header, bool marks) {
    CopyViewState view;
    view.shownSel = rect;
    view.withHeader = header;
    view.withMarks = marks;
    return view;
  }
};

TEST_F(CopyTextTest, HeaderAndMarksOfTwoRecords) {
  ASSERT_EQ(Compare(CrLfLines({"code,qty", "A01,10", "B02,25"}),
                    CrLfLines({"code,qty", "A01,10", "B02,26"}), {.keys = {1}}),
            0);
  EXPECT_EQ(Copy(Shown({1, 0, 0, 1, 1}, true, true)), "code\tqty\r\nA01\t10\r\nB02\t25(*)\r\n");
  EXPECT_EQ(Copy(Shown({1, 0, 0, 1, 1}, false, false)), "A01\t10\r\nB02\t25\r\n");
  // Corners in any order give the same rectangle.
  EXPECT_EQ(Copy(Shown({1, 1, 1, 0, 0}, true, true)), "code\tqty\r\nA01\t10\r\nB02\t25(*)\r\n");
  EXPECT_TRUE(notifier_.Entries().empty());
}

// A field compared as numbers marks only the numbers beyond the tolerance, in the copied
// cells and in the row comparison's mark line.
TEST_F(CopyTextTest, NumberFieldsMarkByValue) {
  ASSERT_TRUE(ParseTolerance("0.5", &session_.EditSettings().NumberTolerance));
  ASSERT_EQ(Compare(CrLfLines({"code,qty,memo", "A01,1.0,x", "B02,\"1,000\",y", "C03,10,z"}),
                    CrLfLines({"code,qty,memo", "A01,1.00,x", "B02,1000.4,y", "C03,10.6,z"}),
                    {.keys = {1}, .numberCompare = {2}}),
            0);
  EXPECT_EQ(Copy(Shown({1, 0, 0, 2, 2}, false, true)),
            CrLfLines({"A01\t1.0\tx", "B02\t1,000\ty", "C03\t10(*)\tz"}));
  std::string rows;
  ASSERT_EQ(Show(CopyRowCompareText(session_, 2, rows)), kCopyDone);
  EXPECT_EQ(rows, CrLfLines({"code\tqty\tmemo", "C03\t10\tz", "C03\t10.6\tz", "\t*\t"}));
  ASSERT_EQ(Show(CopyRowCompareText(session_, 1, rows)), kCopyDone);
  EXPECT_EQ(rows, CrLfLines({"code\tqty\tmemo", "B02\t1,000\ty", "B02\t1000.4\ty", "\t\t"}));
}

TEST_F(CopyTextTest, SingleCellIsTheCursorCell) {
  CompareFruit();
  CopyViewState view;  // no rectangle shown
  view.curSide = 2;
  view.curCol = 2;
  view.curRow = 1;
  EXPECT_EQ(Copy(view), "30\r\n");
  view.withMarks = true;
  EXPECT_EQ(Copy(view), "30(*)\r\n");
  view.withHeader = true;
  EXPECT_EQ(Copy(view), "qty\r\n30(*)\r\n");
  // The other side of the cursor cell is the left pane.
  EXPECT_EQ(Copy(view, true), "qty\r\n25(*)\r\n");
  // An empty cell is a line of its own: just CR LF.
  view = CopyViewState{};
  view.curCol = 2;
  view.curRow = 2;
  EXPECT_EQ(Copy(view), "\r\n");
  EXPECT_TRUE(notifier_.Entries().empty());
}

TEST_F(CopyTextTest, MarksFollowTheFieldRulesAndOneSidedRecords) {
  CompareFruit();
  const CopyRect all{1, 0, 0, 3, 3};
  EXPECT_EQ(Copy(Shown(all, true, true)),
            CrLfLines({"code\tname\tqty\tmemo", "A01\tapple\t10\tx", "B02\tban ana\t25(*)\ty",
                       "C03\tcherry(*)\t\tz", "D04\t(*)\t(*)\t"}));
  CopyRect right = all;
  right.pane = 2;
  // A left-only record copied from the right: empty cells, its key from the left file, and
  // a mark wherever a compared field's left text is not empty.
  EXPECT_EQ(Copy(Shown(right, false, true)),
            CrLfLines({"A01\tapple\t10\tx", "B02\tbanana\t30(*)\tw", "C03\t(*)\t\t",
                       "D04\tdate(*)\t8(*)\tv"}));
  EXPECT_EQ(Copy(Shown(right, false, false)),
            CrLfLines({"A01\tapple\t10\tx", "B02\tbanana\t30\tw", "C03\t\t\t", "D04\tdate\t8\tv"}));
}

TEST_F(CopyTextTest, OtherSideOfASelection) {
  CompareFruit();
  CopyViewState view = Shown({1, 0, 1, 2, 3}, false, false);
  EXPECT_EQ(Copy(view), CrLfLines({"B02\tban ana\t25", "C03\tcherry\t", "D04\t\t"}));
  // The right file's values of the same fields and records; keys stay as shown.
  EXPECT_EQ(Copy(view, true), CrLfLines({"B02\tbanana\t30", "C03\t\t", "D04\tdate\t8"}));
  EXPECT_EQ(RectToCopy(view, true), (CopyRect{2, 0, 1, 2, 3}));
  view.shownSel.pane = 2;
  EXPECT_EQ(RectToCopy(view, true).pane, 1);
  // No rectangle shown and no pane (after a failed run): the other side is the left one.
  view.shownSel.pane = -1;
  view.curSide = 0;
  EXPECT_EQ(RectToCopy(view, false), (CopyRect{0, 0, 0, 0, 0}));
  EXPECT_EQ(RectToCopy(view, true), (CopyRect{1, 0, 0, 0, 0}));
}

TEST_F(CopyTextTest, WholeColumnCopiesTheShownRecordsOnly) {
  CompareFruit();
  // A header click: anchor row -1, end row the last row at the time of the click.
  const CopyViewState column = Shown({2, 2, -1, 2, 3}, true, true);
  EXPECT_EQ(Copy(column), CrLfLines({"qty", "10", "30(*)", "", "8(*)"}));

  ASSERT_EQ(Show(session_.ExtractByStatus(kExtractNotEqual, true)), 0);
  session_.ActivateExtraction();
  ASSERT_EQ(session_.ViewPairs().size(), 3u);
  // The end row lies beyond the extraction's last row: it stops there.
  EXPECT_EQ(Copy(column), CrLfLines({"qty", "30(*)", "", "8(*)"}));

  // An extraction that found nothing: only the names, or nothing at all without them.
  ASSERT_EQ(Show(session_.ExtractColumn(0, true)), 0);  // keys never differ
  ASSERT_TRUE(session_.ViewPairs().empty());
  EXPECT_EQ(Copy(Shown({1, 0, -1, 1, -1}, true, false)), "code\tname\r\n");
  EXPECT_TRUE(notifier_.Entries().empty());
  EXPECT_EQ(Copy(Shown({1, 0, -1, 1, -1}, false, false)), "refused -1");
  EXPECT_EQ(notifier_.Texts(), Texts{kNoData});
  EXPECT_EQ(notifier_.BeepCount(), 0);
}

TEST_F(CopyTextTest, NothingToCopy) {
  // No comparison yet: the cursor cell is not a field.
  std::string text;
  EXPECT_EQ(Show(CopySelectionText(session_, CopyViewState{}, false, text)), kCopyNoData);
  EXPECT_EQ(notifier_.BeepCount(), 1);
  EXPECT_EQ(notifier_.Texts(), Texts{kNoData});
  ASSERT_EQ(notifier_.Entries().back().box.caption, S("注意"));
  EXPECT_EQ(notifier_.Entries().back().box.icon, MessageIcon::kWarning);
  // The beep comes first, then the refusal.
  const Status refused = CopySelectionText(session_, CopyViewState{}, false, text);
  EXPECT_EQ(refused.Messages(),
            (std::vector<Message>{{MessageKind::kBeep, ""}, {MessageKind::kWarning, S(kNoData)}}));

  CompareFruit();
  // A click in the row-number strip leaves the cursor on column -1.
  CopyViewState view;
  view.curCol = -1;
  EXPECT_EQ(Copy(view), "refused -1");
  view.curCol = 4;  // past the last field
  EXPECT_EQ(Copy(view), "refused -1");
  EXPECT_EQ(notifier_.BeepCount(), 2);
  EXPECT_EQ(notifier_.Texts(), (Texts{kNoData, kNoData}));
}

TEST_F(CopyTextTest, RowComparison) {
  CompareFruit();
  std::string text;
  ASSERT_EQ(Show(CopyRowCompareText(session_, 1, text)), kCopyDone);
  // Not-compared fields are marked too; spaces are ignored where the field says so.
  EXPECT_EQ(text, CrLfLines({"code\tname\tqty\tmemo", "B02\tban ana\t25\ty", "B02\tbanana\t30\tw",
                             "\t\t*\t*"}));
  EXPECT_EQ(RowCompareText(session_, 1, nullptr), text.size());
  // A one-sided record: the missing side's cells are empty, keys differ too.
  ASSERT_EQ(Show(CopyRowCompareText(session_, 3, text)), kCopyDone);
  EXPECT_EQ(text, CrLfLines({"code\tname\tqty\tmemo", "\t\t\t", "D04\tdate\t8\tv", "*\t*\t*\t*"}));
  ASSERT_EQ(Show(CopyRowCompareText(session_, 0, text)), kCopyDone);
  EXPECT_EQ(text, CrLfLines({"code\tname\tqty\tmemo", "A01\tapple\t10\tx", "A01\tapple\t10\tx",
                             "\t\t\t"}));
  EXPECT_TRUE(notifier_.Entries().empty());

  // No cursor row: a beep only. A row that is not shown: a beep and the message.
  EXPECT_EQ(Show(CopyRowCompareText(session_, -1, text)), kCopyNoRow);
  EXPECT_TRUE(text.empty());
  EXPECT_EQ(notifier_.BeepCount(), 1);
  EXPECT_TRUE(notifier_.Texts().empty());
  EXPECT_EQ(Show(CopyRowCompareText(session_, 4, text)), kCopyNoData);
  EXPECT_EQ(notifier_.BeepCount(), 2);
  EXPECT_EQ(notifier_.Texts(), Texts{kNoData});
}

TEST_F(CopyTextTest, SizeLimitIs640000Bytes) {
  // One field, no names: row 0 holds 499 bytes, rows 1 to 1280 hold 498, so rows 1..1280
  // make 1280 lines of 500 bytes and rows 0..1279 one byte more.
  std::vector<std::string> lines{std::string(499, 'w')};
  for (int i = 1; i <= 1280; ++i) {
    lines.push_back(std::to_string(i));
    lines.back().resize(498, 'x');
  }
  const std::string file = CrLfLines(lines);
  ASSERT_EQ(Compare(file, file, {}, false), 0);
  ASSERT_EQ(session_.ViewPairs().size(), 1281u);
  notifier_.Clear();

  std::string text;
  CopyViewState view = Shown({2, 0, 1, 0, 1280}, false, true);
  ASSERT_EQ(Show(CopySelectionText(session_, view, false, text)), kCopyDone);
  EXPECT_EQ(text.size(), kCopyLimitBytes);
  EXPECT_EQ(text.substr(0, 7), "1xxxxxx");
  EXPECT_EQ(text.substr(text.size() - 500, 5), "1280x");
  EXPECT_EQ(text.substr(text.size() - 3), "x\r\n");
  EXPECT_TRUE(notifier_.Entries().empty());

  view.shownSel = {2, 0, 0, 0, 1279};
  EXPECT_EQ(RangeText(session_, view.shownSel, false, false, nullptr), kCopyLimitBytes + 1);
  std::string refused;
  EXPECT_EQ(Show(CopySelectionText(session_, view, false, refused)), kCopyTooLarge);
  EXPECT_TRUE(refused.empty());
  EXPECT_LT(refused.capacity(), 1000u);  // refused before the text was allocated
  EXPECT_EQ(notifier_.Texts(), Texts{kTooLarge});
  EXPECT_EQ(notifier_.Entries().back().box.caption, S("注意"));
  EXPECT_EQ(notifier_.BeepCount(), 0);
}

}  // namespace
}  // namespace korvel
