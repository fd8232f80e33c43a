#include "grid/SessionGridModel.h"

#include <gtest/gtest.h>

#include "TestUtil.h"
#include "platform/Notifier.h"

namespace korvel {
namespace {

using test::S;

class SessionGridModelTest : public ::testing::Test {
 protected:
  int Show(const Status& status) { return test::Shown(notifier_, status); }

  // Key FD001; FD003 compared without spaces. Keys 1 and 2 pair, 3 is left only, 4 right
  // only. Key 1 differs in FD002 only ("a b" and "ab" agree without spaces).
  void Run() {
    session_.EditSettings().PathL = dir_.Write("l.csv", "1,x,a b\r\n2,y,c\r\n3,z,d\r\n");
    session_.EditSettings().PathR = dir_.Write("r.csv", "1,X,ab\r\n2,y,c\r\n4,w,e\r\n");
    session_.StartSetUp();
    FieldGrid grid;
    ASSERT_EQ(Show(session_.FillFieldGrids(grid, prompter_)), 0);
    grid.Toggle(1, FieldGrid::kKey);
    grid.Toggle(3, FieldGrid::kIgnoreSpaces);
    ASSERT_EQ(Show(session_.CompareSides(grid)), 0);
  }

  test::TempDir dir_;
  RecordingNotifier notifier_;
  NotifierPrompter prompter_{notifier_};
  CompareSession session_;
};

TEST_F(SessionGridModelTest, GridModelReadsTheShownResult) {
  Run();
  SessionGridModel model(session_);
  ASSERT_EQ(model.RowCount(), 4);
  EXPECT_EQ(model.FieldCount(), 3);
  EXPECT_EQ(model.KeyCount(), 1);
  EXPECT_TRUE(model.Field(0).IsKey);
  EXPECT_EQ(model.Field(2).Compare, FieldCompare::kIgnoreSpaces);
  EXPECT_EQ(model.Field(1).Name, "FD002");
  EXPECT_EQ(model.Field(1).DiffCount, 1);
  const RecordPair first = model.Pair(0);
  EXPECT_EQ(first.Status, 1);
  EXPECT_EQ(model.Cell(Side::kLeft, 1, first.LeftRow), "x");
  EXPECT_EQ(model.Cell(Side::kRight, 1, first.RightRow), "X");
  // The window's panes: 1 reads the left file, 2 the right one.
  EXPECT_EQ(model.Cell(PaneSide(1), 1, first.LeftRow), "x");
  EXPECT_EQ(model.Cell(PaneSide(2), 1, first.RightRow), "X");
  EXPECT_TRUE(model.CellsDiffer(first, 1));
  EXPECT_FALSE(model.CellsDiffer(first, 2));  // spaces ignored in FD003
  // A missing side reads as "" and differs from a text.
  const RecordPair leftOnly = model.Pair(2);
  EXPECT_EQ(leftOnly.Status, -2);
  EXPECT_EQ(model.Cell(Side::kRight, 1, leftOnly.RightRow), "");
  EXPECT_TRUE(model.CellsDiffer(leftOnly, 1));
  // A field out of range never differs and has no cell.
  EXPECT_FALSE(model.CellsDiffer(first, 7));
  EXPECT_EQ(model.Cell(Side::kLeft, 7, 0), "");
}

TEST_F(SessionGridModelTest, ExtractionSwitchesTheShownRows) {
  Run();
  SessionGridModel model(session_);
  EXPECT_FALSE(model.ExtractActive());
  ASSERT_EQ(Show(model.ExtractByStatus(-4, true)), 0);
  EXPECT_EQ(model.RowCount(), 4);  // not switched yet
  model.ShowExtraction(true);
  EXPECT_TRUE(model.ExtractActive());
  EXPECT_EQ(model.RowCount(), 3);
  EXPECT_EQ(model.ExtractStatusText(), S("(相違分(『左のみ』、『右のみ』含む）抽出中...3件)"));
  ASSERT_EQ(Show(model.ExtractColumn(1, false)), 0);
  EXPECT_EQ(model.RowCount(), 1);
  EXPECT_EQ(model.Pair(0).LeftRow, 1);
  EXPECT_EQ(Show(model.ExtractColumn(5, true)), -1);
  ASSERT_EQ(notifier_.Texts().size(), 1u);
  EXPECT_EQ(notifier_.Texts()[0], "該当のカラムが見付かりません。");
  model.ShowExtraction(false);
  EXPECT_EQ(model.RowCount(), 4);
}

}  // namespace
}  // namespace korvel
