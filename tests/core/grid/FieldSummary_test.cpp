#include "grid/FieldSummary.h"

#include <gtest/gtest.h>

#include <vector>

namespace korvel {
namespace {

// Key k (1 key-only difference), a 3, b 0, c 不要, d one-sided, e 3, f 7.
std::vector<ResultField> Fields() {
  auto field = [](int no, bool key, int diff, bool notCompared = false, bool oneSided = false) {
    ResultField f;
    f.FieldNoLeft = no;
    f.FieldNoRight = oneSided ? kNoFieldNo : no;
    f.ListNo = no;
    f.IsKey = key;
    f.NotCompared = notCompared;
    f.DiffCount = diff;  // a 不要 field's count stays 0 in a classification; 5 must not show
    return f;
  };
  return {field(1, true, 1),
          field(2, false, 3),
          field(3, false, 0),
          field(4, false, 5, true),
          field(5, false, 0, false, true),
          field(6, false, 3),
          field(7, false, 7)};
}

TEST(FieldSummaryTest, RowsInFieldOrderAndByCount) {
  const std::vector<FieldSummaryRow> inOrder{{0, true, 1},  {1, true, 3},  {2, true, 0},
                                             {3, false, 0}, {4, false, 0}, {5, true, 3},
                                             {6, true, 7}};
  EXPECT_EQ(FieldSummaryRows(Fields(), FieldSummaryOrder::kFieldOrder), inOrder);
  // Largest first, ties (fields 1 and 5) in field order, the fields not compared last.
  const std::vector<FieldSummaryRow> byCount{{6, true, 7}, {1, true, 3}, {5, true, 3},
                                             {0, true, 1}, {2, true, 0}, {3, false, 0},
                                             {4, false, 0}};
  EXPECT_EQ(FieldSummaryRows(Fields(), FieldSummaryOrder::kByCount), byCount);
  EXPECT_EQ(LargestCount(byCount), 7);
  EXPECT_EQ(LargestCount({}), 0);
}

TEST(FieldSummaryTest, BarLengthsAreProportionalAndNeverVanish) {
  struct Case {
    int count, largest, full, length;
  };
  const Case cases[] = {
      {7, 7, 200, 200},    {3, 7, 200, 86}, {1, 7, 200, 29}, {0, 7, 200, 0},
      {1, 100000, 200, 1}, {5, 0, 200, 0},  {2, 4, 0, 0},    {2000000000, 2000000000, 300, 300}};
  for (const Case& c : cases) {
    EXPECT_EQ(BarLength(c.count, c.largest, c.full), c.length) << c.count << "/" << c.largest;
  }
}

TEST(FieldSummaryTest, HidingKeepsKeysDifferencesAndTheCursorsField) {
  struct Case {
    int keep;
    std::vector<int> shown;
  };
  const Case cases[] = {
      {-1, {0, 1, 5, 6}}, {2, {0, 1, 2, 5, 6}}, {3, {0, 1, 3, 5, 6}}, {0, {0, 1, 5, 6}}};
  for (const Case& c : cases) EXPECT_EQ(FieldsShownWhenHiding(Fields(), c.keep), c.shown);
}

}  // namespace
}  // namespace korvel
