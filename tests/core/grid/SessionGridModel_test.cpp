#include "grid/SessionGridModel.h"

#include <gtest/gtest.h>

#include "TestUtil.h"
#include "platform/Notifier.h"

namespace korvel {
namespace {

using test::S;

class SessionGridModelTest : public ::testing::Test {
 protected:
  SessionGridModelTest() : scoped_(&notifier_) {}

  // Key FD001; FD003 compared without spaces. Keys 1 and 2 pair, 3 is left only, 4 right
  // only. Key 1 differs in FD002 only ("a b" and "ab" agree without spaces).
  void Run() {
    session_.EditSettings().PathL = dir_.Write("l.csv", "1,x,a b\r\n2,y,c\r\n3,z,d\r\n");
    session_.EditSettings().PathR = dir_.Write("r.csv", "1,X,ab\r\n2,y,c\r\n4,w,e\r\n");
    session_.StartSetUp();
    FieldGrid grid;
    ASSERT_EQ(session_.FillFieldGrids(grid), 0);
    grid.Toggle(1, FieldGrid::kKey);
    grid.Toggle(3, FieldGrid::kIgnoreSpaces);
    ASSERT_EQ(session_.CompareSides(grid), 0);
  }

  test::TempDir dir_;
  RecordingNotifier notifier_;
  ScopedNotifier scoped_;
  CompareSession session_;
};

TEST_F(SessionGridModelTest, GridModelReadsTheShownResult) {
  Run();
  SessionGridModel model(session_);
  ASSERT_EQ(model.RowCount(), 4);
  EXPECT_EQ(model.FieldCount(), 3);
  EXPECT_EQ(model.KeyCount(), 1);
  EXPECT_TRUE(model.Field(0).isKey);
  EXPECT_TRUE(model.Field(2).ignoreSpaces);
  EXPECT_EQ(model.Field(1).name, "FD002");
  EXPECT_EQ(model.Field(1).diffCount, 1);
  const GridPair first = model.Pair(0);
  EXPECT_EQ(first.status, 1);
  // Panes: 1 reads the left file, 2 the right one.
  EXPECT_EQ(model.Cell(kLeftPane, 1, first.leftRow), "x");
  EXPECT_EQ(model.Cell(kRightPane, 1, first.rightRow), "X");
  EXPECT_TRUE(model.CellsDiffer(first, 1));
  EXPECT_FALSE(model.CellsDiffer(first, 2));  // spaces ignored in FD003
  // A missing side reads as "" and differs from a text.
  const GridPair leftOnly = model.Pair(2);
  EXPECT_EQ(leftOnly.status, -2);
  EXPECT_EQ(model.Cell(kRightPane, 1, leftOnly.rightRow), "");
  EXPECT_TRUE(model.CellsDiffer(leftOnly, 1));
  // A field out of range never differs and has no cell.
  EXPECT_FALSE(model.CellsDiffer(first, 7));
  EXPECT_EQ(model.Cell(kLeftPane, 7, 0), "");
}

TEST_F(SessionGridModelTest, ExtractionSwitchesTheShownRows) {
  Run();
  SessionGridModel model(session_);
  EXPECT_FALSE(model.ExtractActive());
  ASSERT_TRUE(model.ExtractByStatus(-4, true));
  EXPECT_EQ(model.RowCount(), 4);  // not switched yet
  model.ShowExtraction(true);
  EXPECT_TRUE(model.ExtractActive());
  EXPECT_EQ(model.RowCount(), 3);
  EXPECT_EQ(model.ExtractStatusText(), S("(相違分(『左のみ』、『右のみ』含む）抽出中...3件)"));
  ASSERT_TRUE(model.ExtractColumn(1, false));
  EXPECT_EQ(model.RowCount(), 1);
  EXPECT_EQ(model.Pair(0).leftRow, 1);
  EXPECT_FALSE(model.ExtractColumn(5, true));
  ASSERT_EQ(notifier_.Texts().size(), 1u);
  EXPECT_EQ(notifier_.Texts()[0], "該当のカラムが見付かりません。");
  model.ShowExtraction(false);
  EXPECT_EQ(model.RowCount(), 4);
}

}  // namespace
}  // namespace korvel
