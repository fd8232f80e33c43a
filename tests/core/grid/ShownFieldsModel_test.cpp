#include "grid/ShownFieldsModel.h"

#include <gtest/gtest.h>

#include "TestUtil.h"
#include "grid/FindText.h"
#include "grid/SessionGridModel.h"
#include "platform/Notifier.h"

namespace korvel {
namespace {

// Key id; a and d differ in record 1, b and c never: the grid shows id, a and d.
class ShownFieldsModelTest : public ::testing::Test {
 protected:
  void SetUp() override {
    session_.EditSettings().PathL = dir_.Write("l.csv", "1,x,s,t,p\r\n2,y,u,v,q\r\n");
    session_.EditSettings().PathR = dir_.Write("r.csv", "1,X,s,t,P\r\n2,y,u,v,q\r\n");
    session_.StartSetUp();
    FieldGrid grid;
    ASSERT_EQ(test::Shown(notifier_, session_.FillFieldGrids(grid, prompter_)), 0);
    grid.Toggle(1, FieldGrid::kKey);
    ASSERT_EQ(test::Shown(notifier_, session_.CompareSides(grid)), 0);
  }

  test::TempDir dir_;
  RecordingNotifier notifier_;
  NotifierPrompter prompter_{notifier_};
  CompareSession session_;
  const std::vector<int> shown_{0, 1, 4};
};

TEST_F(ShownFieldsModelTest, FieldsCellsAndExtractionCountInTheShownFields) {
  SessionGridModel base(session_);
  ShownFieldsModel model(base, shown_);
  EXPECT_EQ(model.FieldCount(), 3);
  EXPECT_EQ(model.KeyCount(), 1);
  EXPECT_EQ(model.Field(2).Name, "FD005");
  EXPECT_EQ(model.BaseField(2), 4);
  EXPECT_EQ(model.ShownField(4), 2);
  EXPECT_EQ(model.ShownField(2), -1);
  EXPECT_EQ(model.Cell(Side::kRight, 2, model.Pair(0).RightRow), "P");
  EXPECT_TRUE(model.CellsDiffer(model.Pair(0), 2));
  EXPECT_FALSE(model.CellsDiffer(model.Pair(0), 3));  // beyond the shown fields
  ASSERT_EQ(test::Shown(notifier_, model.ExtractColumn(2, true)), 0);
  model.ShowExtraction(true);
  EXPECT_EQ(model.RowCount(), 1);
  EXPECT_EQ(test::Shown(notifier_, model.ExtractColumn(3, true)), -1);
  EXPECT_EQ(notifier_.Texts().back(), "該当のカラムが見付かりません。");
  // The search: "t" lies in hidden c only, "p" in d, shown as field 2 (the copy's columns
  // are checked in the window).
  model.ShowExtraction(false);
  EXPECT_EQ(FindCell(session_, Side::kLeft, 0, 0, 1, "t", kFindExact), (FindPosition{3, 0}));
  EXPECT_EQ(FindCell(session_, Side::kLeft, 0, 0, 1, "t", kFindExact, &shown_), std::nullopt);
  EXPECT_EQ(FindCell(session_, Side::kLeft, 0, 0, 1, "p", kFindExact, &shown_),
            (FindPosition{2, 0}));
}

}  // namespace
}  // namespace korvel
