#include "grid/GridNavigation.h"

#include <gtest/gtest.h>

#include <optional>
#include <vector>

namespace korvel {
namespace {

// Rows described by their Status and, per row, the fields whose cells differ.
struct Rows {
  std::vector<int> status;
  std::vector<std::vector<int>> differing;
  int fields = 4;

  NavigationSource Source() const {
    NavigationSource s;
    s.rowCount = static_cast<int>(status.size());
    s.fieldCount = fields;
    s.status = [this](int r) { return status[r]; };
    s.cellsDiffer = [this](int r, int f) {
      for (int d : differing[r]) {
        if (d == f) return true;
      }
      return false;
    };
    return s;
  }
};

TEST(GridNavigation, CtrlArrowsJumpToTheNextChange) {
  //            row: 0   1   2     3   4   5
  Rows rows{{0, 1, -2, 0, 2, 0}, {{}, {2}, {}, {}, {0, 3}, {}}};
  NavigationSource s = rows.Source();
  // Down in field 2 from row 0: row 1 differs there.
  EXPECT_EQ(NextChange(s, 2, 0, Direction::kDown), 1);
  // From row 1 on: row 2 is left-only, which stops any column.
  EXPECT_EQ(NextChange(s, 2, 1, Direction::kDown), 2);
  // From row 2 in field 2 nothing follows: the last row.
  EXPECT_EQ(NextChange(s, 2, 2, Direction::kDown), 5);
  EXPECT_EQ(NextChange(s, 0, 2, Direction::kDown), 4);
  // Upwards the same, ending at row 0.
  EXPECT_EQ(NextChange(s, 3, 5, Direction::kUp), 4);
  EXPECT_EQ(NextChange(s, 1, 1, Direction::kUp), 0);
  // Sideways within the cursor row.
  EXPECT_EQ(NextChange(s, 0, 4, Direction::kRight), 3);
  EXPECT_EQ(NextChange(s, 3, 4, Direction::kLeft), 0);
  EXPECT_EQ(NextChange(s, 3, 4, Direction::kRight), 3);  // nothing further: the last field
  EXPECT_EQ(NextChange(s, 1, 0, Direction::kRight), 3);
  // A one-sided row moves one field at a time.
  EXPECT_EQ(NextChange(s, 1, 2, Direction::kRight), 2);
  EXPECT_EQ(NextChange(s, 0, 2, Direction::kLeft), 0);
  // No rows or no fields: 0.
  Rows empty{{}, {}, 0};
  EXPECT_EQ(NextChange(empty.Source(), 0, 0, Direction::kDown), 0);
  EXPECT_EQ(NextChange(empty.Source(), 0, 0, Direction::kRight), 0);
}

TEST(GridNavigation, KeysMoveTheCursorWithinTheResult) {
  Rows rows{std::vector<int>(50, 0), std::vector<std::vector<int>>(50), 4};
  rows.status[30] = -1;
  NavigationSource s = rows.Source();
  const int v = 20;
  using C = CursorCell;
  EXPECT_FALSE(MoveByKey(s, {0, 0}, NavKey::kUp, false, v));
  EXPECT_FALSE(MoveByKey(s, {0, 0}, NavKey::kPageUp, false, v));
  EXPECT_EQ(MoveByKey(s, {0, 5}, NavKey::kUp, false, v), (C{0, 4}));
  EXPECT_EQ(MoveByKey(s, {0, 5}, NavKey::kPageUp, false, v), (C{0, 0}));
  EXPECT_EQ(MoveByKey(s, {0, 25}, NavKey::kPageUp, true, v), (C{0, 6}));
  EXPECT_EQ(MoveByKey(s, {0, 5}, NavKey::kDown, false, v), (C{0, 6}));
  EXPECT_EQ(MoveByKey(s, {0, 5}, NavKey::kDown, true, v), (C{0, 30}));
  EXPECT_EQ(MoveByKey(s, {0, 5}, NavKey::kPageDown, false, v), (C{0, 24}));
  EXPECT_EQ(MoveByKey(s, {0, 40}, NavKey::kPageDown, false, v), (C{0, 49}));
  EXPECT_FALSE(MoveByKey(s, {0, 49}, NavKey::kPageDown, false, v));
  EXPECT_FALSE(MoveByKey(s, {0, 49}, NavKey::kDown, false, v));
  EXPECT_EQ(MoveByKey(s, {1, 3}, NavKey::kRight, false, v), (C{2, 3}));
  EXPECT_EQ(MoveByKey(s, {1, 3}, NavKey::kEnd, false, v), (C{3, 3}));
  EXPECT_FALSE(MoveByKey(s, {3, 3}, NavKey::kRight, false, v));
  EXPECT_EQ(MoveByKey(s, {2, 3}, NavKey::kLeft, false, v), (C{1, 3}));
  EXPECT_EQ(MoveByKey(s, {2, 3}, NavKey::kHome, true, v), (C{0, 3}));
  EXPECT_FALSE(MoveByKey(s, {0, 3}, NavKey::kHome, false, v));
  // After a click in the row-number strip the column is -1: Right goes to field 0.
  EXPECT_EQ(MoveByKey(s, {-1, 3}, NavKey::kRight, false, v), (C{0, 3}));
  EXPECT_FALSE(MoveByKey(s, {-1, 3}, NavKey::kLeft, false, v));
  // Without rows the sideways keys do nothing.
  Rows none{{}, {}, 4};
  EXPECT_FALSE(MoveByKey(none.Source(), {0, 0}, NavKey::kRight, false, v));
  EXPECT_FALSE(MoveByKey(none.Source(), {0, 0}, NavKey::kDown, false, v));
}

TEST(GridNavigation, CtrlHomeAndCtrlEndGoToTheGridsFirstAndLastCell) {
  Rows rows{std::vector<int>(50, 0), std::vector<std::vector<int>>(50), 4};
  Rows one{{0}, {{}}, 1};
  Rows none{{}, {}, 4};
  using C = CursorCell;
  struct Case {
    const char* what;
    NavigationSource source;
    C from;
    NavKey key;
    std::optional<C> to;
  };
  const Case cases[] = {
      {"first from the middle", rows.Source(), {2, 30}, NavKey::kFirstCell, C{0, 0}},
      {"first from the row-number strip", rows.Source(), {-1, 7}, NavKey::kFirstCell, C{0, 0}},
      {"first from row 0 of another field", rows.Source(), {3, 0}, NavKey::kFirstCell, C{0, 0}},
      {"first from field 0 of another row", rows.Source(), {0, 9}, NavKey::kFirstCell, C{0, 0}},
      {"already first", rows.Source(), {0, 0}, NavKey::kFirstCell, std::nullopt},
      {"last from the top", rows.Source(), {0, 0}, NavKey::kLastCell, C{3, 49}},
      {"last from the last row", rows.Source(), {1, 49}, NavKey::kLastCell, C{3, 49}},
      {"last from the last field", rows.Source(), {3, 2}, NavKey::kLastCell, C{3, 49}},
      {"already last", rows.Source(), {3, 49}, NavKey::kLastCell, std::nullopt},
      {"one cell: nowhere to go", one.Source(), {0, 0}, NavKey::kLastCell, std::nullopt},
      {"no rows: first", none.Source(), {0, 0}, NavKey::kFirstCell, std::nullopt},
      {"no rows: last", none.Source(), {0, 0}, NavKey::kLastCell, std::nullopt},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(MoveByKey(c.source, c.from, c.key, true, 20), c.to) << c.what;
  }
  // The rows follow: the last cell's row is scrolled into view from below, the first from
  // above; shown rows stay.
  EXPECT_EQ(RowScrollAfterKey(NavKey::kLastCell, 49, 0, 20), 30);
  EXPECT_EQ(RowScrollAfterKey(NavKey::kLastCell, 49, 30, 20), -1);
  EXPECT_EQ(RowScrollAfterKey(NavKey::kFirstCell, 0, 30, 20), 0);
  EXPECT_EQ(RowScrollAfterKey(NavKey::kFirstCell, 0, 0, 20), -1);
}

TEST(GridNavigation, RowScrollingFollowsTheCursor) {
  const int v = 20;
  EXPECT_EQ(RowScrollAfterKey(NavKey::kUp, 9, 10, v), 9);
  EXPECT_EQ(RowScrollAfterKey(NavKey::kUp, 10, 10, v), -1);
  EXPECT_EQ(RowScrollAfterKey(NavKey::kPageUp, 35, 5, v), 35);
  EXPECT_EQ(RowScrollAfterKey(NavKey::kDown, 29, 10, v), -1);
  EXPECT_EQ(RowScrollAfterKey(NavKey::kDown, 30, 10, v), 11);
  EXPECT_EQ(RowScrollAfterKey(NavKey::kPageDown, 3, 10, v), 0);
  EXPECT_EQ(RowScrollAfterKey(NavKey::kRight, 300, 10, v), -1);
}

TEST(GridNavigation, BlockJumps) {
  //            row: 0  1  2  3  4   5  6  7
  Rows rows{{0, 2, 1, 0, 0, -1, 0, -2}, std::vector<std::vector<int>>(8)};
  NavigationSource s = rows.Source();
  EXPECT_EQ(JumpToDiffTarget(s, 0, Direction::kDown), 1);
  EXPECT_EQ(JumpToDiffTarget(s, 1, Direction::kDown), 5);
  EXPECT_EQ(JumpToDiffTarget(s, 3, Direction::kDown), 5);
  EXPECT_EQ(JumpToDiffTarget(s, 5, Direction::kDown), 7);
  EXPECT_EQ(JumpToDiffTarget(s, 7, Direction::kDown), -1);  // the last block
  EXPECT_EQ(JumpToDiffTarget(s, 7, Direction::kUp), 5);
  EXPECT_EQ(JumpToDiffTarget(s, 5, Direction::kUp), 1);  // the first row of the block
  EXPECT_EQ(JumpToDiffTarget(s, 4, Direction::kUp), 1);
  EXPECT_EQ(JumpToDiffTarget(s, 2, Direction::kUp), -1);  // nothing before this block
  EXPECT_EQ(JumpToDiffTarget(s, 0, Direction::kUp), -1);
  Rows equal{std::vector<int>(5, 0), std::vector<std::vector<int>>(5)};
  EXPECT_EQ(JumpToDiffTarget(equal.Source(), 0, Direction::kDown), -1);
  EXPECT_EQ(JumpToDiffTarget(equal.Source(), 4, Direction::kUp), -1);
  // A block reaching row 0.
  Rows top{{1, 1, 0, 0}, std::vector<std::vector<int>>(4)};
  EXPECT_EQ(JumpToDiffTarget(top.Source(), 3, Direction::kUp), 0);
}

TEST(GridNavigation, AutoScrollPace) {
  // Above the grid, mouse still: one row up, 30 ms faster each tick, never below 10 ms.
  AutoScrollTick t = PlanAutoScroll(-1, 0, 100, -5, 100, -5, 700);
  EXPECT_EQ(t.vertical, -1);
  EXPECT_EQ(t.horizontal, 0);
  EXPECT_EQ(t.interval, 670);
  EXPECT_EQ(PlanAutoScroll(-1, 0, 100, -5, 100, -5, 30).interval, 10);
  // Further away speeds up more; back towards the grid slows down, at most to 700.
  EXPECT_EQ(PlanAutoScroll(-1, 0, 100, -20, 100, -5, 500).interval, 350);
  EXPECT_EQ(PlanAutoScroll(-1, 0, 100, -2, 100, -5, 600).interval, 700);
  // Below the grid the directions turn around.
  EXPECT_EQ(PlanAutoScroll(1, 0, 100, 520, 100, 510, 500).interval, 350);
  EXPECT_EQ(PlanAutoScroll(1, 0, 100, 500, 100, 510, 300).interval, 500);
  // Beyond the pane's right edge: one field right; the horizontal pace wins.
  t = PlanAutoScroll(1, -10, 800, 520, 790, 510, 500);
  EXPECT_EQ(t.vertical, 1);
  EXPECT_EQ(t.horizontal, 1);
  EXPECT_EQ(t.interval, 445);
  t = PlanAutoScroll(0, -1, 30, 100, 30, 100, 500);
  EXPECT_EQ(t.horizontal, -1);
  EXPECT_EQ(t.interval, 485);
  EXPECT_EQ(PlanAutoScroll(0, -3, 40, 100, 30, 100, 500).interval, 650);
  // Nothing to do: back to 700.
  EXPECT_EQ(PlanAutoScroll(0, 0, 40, 100, 30, 100, 200).interval, 700);
  EXPECT_EQ(PlanAutoScroll(0, 2, 40, 100, 30, 100, 200).horizontal, 0);
}

}  // namespace
}  // namespace korvel
