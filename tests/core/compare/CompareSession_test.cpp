#include "compare/CompareSession.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <mutex>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "TestUtil.h"
#include "platform/FileSystem.h"
#include "platform/Notifier.h"

namespace korvel {
namespace {

using test::S;

using test::CrLfLines;

// Every table row in exactly one pair, statuses agreeing with the rows and the cells,
// counters agreeing with the statuses.
::testing::AssertionResult ResultIsConsistent(const CompareSession& s) {
  const auto& pairs = s.AllPairs();
  std::vector<int> leftSeen(static_cast<std::size_t>(s.LeftTable().RowCount()));
  std::vector<int> rightSeen(static_cast<std::size_t>(s.RightTable().RowCount()));
  int diff = 0, leftOnly = 0, rightOnly = 0, equal = 0, cells = 0;
  std::vector<int> perField(s.Fields().size());
  for (std::size_t i = 0; i < pairs.size(); ++i) {
    const RecordPair& p = pairs[i];
    if (p.LeftRow < 0 && p.RightRow < 0) return ::testing::AssertionFailure() << "empty pair " << i;
    if (p.LeftRow >= 0) ++leftSeen.at(static_cast<std::size_t>(p.LeftRow));
    if (p.RightRow >= 0) ++rightSeen.at(static_cast<std::size_t>(p.RightRow));
    if (p.LeftRow < 0) {
      if (p.Status != kStatusRightOnly) return ::testing::AssertionFailure() << "status " << i;
      ++rightOnly;
      continue;
    }
    if (p.RightRow < 0) {
      if (p.Status != kStatusLeftOnly) return ::testing::AssertionFailure() << "status " << i;
      ++leftOnly;
      continue;
    }
    int k = 0;
    for (std::size_t f = 0; f < s.Fields().size(); ++f) {
      const ResultField& field = s.Fields()[f];
      if (field.NotCompared) continue;
      if (CellsDiffer(s.CellText(Side::kLeft, p.LeftRow, field.FieldNoLeft),
                      s.CellText(Side::kRight, p.RightRow, field.FieldNoRight),
                      field.Compare == FieldCompare::kIgnoreSpaces)) {
        ++k;
        ++perField[f];
      }
    }
    if (p.Status != k)
      return ::testing::AssertionFailure() << "pair " << i << " status " << p.Status;
    cells += k;
    (k > 0 ? diff : equal) += 1;
  }
  for (int n : leftSeen) {
    if (n != 1) return ::testing::AssertionFailure() << "left row paired " << n << " times";
  }
  for (int n : rightSeen) {
    if (n != 1) return ::testing::AssertionFailure() << "right row paired " << n << " times";
  }
  if (diff != s.DiffRecordCount() || leftOnly != s.LeftOnlyCount() ||
      rightOnly != s.RightOnlyCount() || cells != s.DiffCellCount() ||
      diff + leftOnly + rightOnly + equal != static_cast<int>(pairs.size())) {
    return ::testing::AssertionFailure() << "counters";
  }
  for (std::size_t f = 0; f < perField.size(); ++f) {
    if (perField[f] != s.Fields()[f].DiffCount)
      return ::testing::AssertionFailure() << "field " << f;
  }
  return ::testing::AssertionSuccess();
}

using Rows = std::vector<std::tuple<int, int, int>>;  // Status, LeftRow, RightRow

Rows PairRows(const std::vector<RecordPair>& pairs) {
  Rows rows;
  for (const RecordPair& p : pairs) rows.emplace_back(p.Status, p.LeftRow, p.RightRow);
  return rows;
}

// Field numbers to mark in the field-control grid.
struct Marks {
  std::vector<int> keys = {};
  std::vector<int> numeric = {};
  std::vector<int> ignoreSpaces = {};
  std::vector<int> notCompared = {};
  std::vector<int> notLoaded = {};
  std::vector<int> numberCompare = {};
};

class CompareSessionTest : public ::testing::Test {
 protected:
  // What the session returns is shown through notifier_ as the window shows it (Show),
  // after what it told prompter_ on the way.
  int Show(const Status& status) { return test::Shown(notifier_, status); }
  bool Done(const Status& status) { return Show(status) == 0; }

  // Writes both files, fills the grid as the set-up chain does, marks it and runs.
  int Run(const std::string& left, const std::string& right, const Marks& marks = {},
          const std::string& ext = ".csv") {
    session_.EditSettings().PathL = dir_.Write("left" + ext, left);
    session_.EditSettings().PathR = dir_.Write("right" + ext, right);
    return RunPaths(marks);
  }

  int RunPaths(const Marks& marks = {}) {
    session_.StartSetUp();
    grid_ = FieldGrid();
    if (Show(session_.FillFieldGrids(grid_, prompter_)) != 0) return -100;
    for (int j : marks.keys) grid_.Toggle(j, FieldGrid::kKey);
    for (int j : marks.numeric) grid_.Toggle(j, FieldGrid::kNumeric);
    for (int j : marks.ignoreSpaces) grid_.Toggle(j, FieldGrid::kIgnoreSpaces);
    for (int j : marks.notCompared) grid_.Toggle(j, FieldGrid::kNotCompared);
    for (int j : marks.notLoaded) grid_.Toggle(j, FieldGrid::kNotLoaded);
    for (int j : marks.numberCompare) grid_.Toggle(j, FieldGrid::kNumberCompare);
    return Show(session_.CompareSides(grid_));
  }

  std::string Cell(Side side, int row, int fieldNo) const {
    return std::string(session_.CellText(side, row, fieldNo));
  }

  void ExpectEmptyResult() {
    EXPECT_TRUE(session_.AllPairs().empty());
    EXPECT_TRUE(session_.ViewPairs().empty());
    EXPECT_TRUE(session_.Fields().empty());
    EXPECT_EQ(session_.KeyCount(), 0);
    EXPECT_EQ(session_.DiffRecordCount() + session_.LeftOnlyCount() + session_.RightOnlyCount() +
                  session_.DiffCellCount(),
              0);
    EXPECT_FALSE(session_.ExtractActive());
  }

  test::TempDir dir_;
  RecordingNotifier notifier_;
  NotifierPrompter prompter_{notifier_};
  CompareSession session_;
  FieldGrid grid_;
};

TEST_F(CompareSessionTest, IdenticalFilesAreAllEqual) {
  std::string text = CrLfLines({"1,a,x", "2,b,y", "3,c,z"});
  ASSERT_EQ(Run(text, text, {{1}}), 0);
  EXPECT_TRUE(ResultIsConsistent(session_));
  EXPECT_EQ(PairRows(session_.AllPairs()), (Rows{{0, 0, 0}, {0, 1, 1}, {0, 2, 2}}));
  EXPECT_EQ(session_.SummaryText(),
            S("左総数:3件 右総数:3件 相違レコード数:0件 左のみ:0件 右のみ:0件"));
  EXPECT_EQ(session_.KeyCount(), 1);
  EXPECT_EQ(session_.Fields().size(), 3u);
  EXPECT_EQ(&session_.ViewPairs(), &session_.AllPairs());
  EXPECT_TRUE(notifier_.Entries().empty());
}

TEST_F(CompareSessionTest, WithoutKeysRecordsPairByPosition) {
  ASSERT_EQ(Run(CrLfLines({"b,1", "a,2", "c,3"}), CrLfLines({"a,2", "b,1"})), 0);
  EXPECT_TRUE(ResultIsConsistent(session_));
  EXPECT_EQ(PairRows(session_.AllPairs()), (Rows{{2, 0, 0}, {2, 1, 1}, {-2, 2, -1}}));
  ASSERT_EQ(Run(CrLfLines({"x"}), CrLfLines({"x", "y", "z"})), 0);
  EXPECT_EQ(PairRows(session_.AllPairs()), (Rows{{0, 0, 0}, {-1, -1, 1}, {-1, -1, 2}}));
  EXPECT_EQ(session_.SummaryText(),
            S("左総数:1件 右総数:3件 相違レコード数:0件 左のみ:0件 右のみ:2件"));
}

TEST_F(CompareSessionTest, MergeByKeysWithDuplicatesAndOrphans) {
  ASSERT_EQ(Run(CrLfLines({"c,1", "a,1", "a,2", "a,3", "d,1"}),
                CrLfLines({"b,9", "a,2", "a,7", "d,1"}), {{1}}),
            0);
  EXPECT_TRUE(ResultIsConsistent(session_));
  // Ascending by key; equal keys pair in sorted order (reverse file order for short
  // runs); the surplus left "a" is one-sided; one-sided rows stand where their keys fall.
  EXPECT_EQ(PairRows(session_.AllPairs()),
            (Rows{{1, 3, 2}, {0, 2, 1}, {-2, 1, -1}, {-1, -1, 0}, {-2, 0, -1}, {0, 4, 3}}));
  EXPECT_EQ(session_.DiffRecordCount(), 1);
  EXPECT_EQ(session_.LeftOnlyCount(), 2);
  EXPECT_EQ(session_.RightOnlyCount(), 1);
  EXPECT_EQ(session_.DiffCellCount(), 1);
}

TEST_F(CompareSessionTest, OneSideWithoutRecords) {
  session_.EditSettings().TopRowNames = true;
  ASSERT_EQ(Run(CrLfLines({"K,V"}), CrLfLines({"K,V", "1,a", "2,b"}), {{1}}), 0);
  EXPECT_TRUE(ResultIsConsistent(session_));
  EXPECT_EQ(PairRows(session_.AllPairs()), (Rows{{-1, -1, 0}, {-1, -1, 1}}));
  EXPECT_EQ(session_.SummaryText(),
            S("左総数:0件 右総数:2件 相違レコード数:0件 左のみ:0件 右のみ:2件"));
  EXPECT_EQ(session_.Fields()[0].NameView(), "K");
}

TEST_F(CompareSessionTest, NumericKeysPairByValueAndStillCompareAsText) {
  ASSERT_EQ(Run(CrLfLines({"10,a", "001,b", "-3,c", "4294967297,d"}),
                CrLfLines({"1,b", "9,x", "-3,c"}), {{1}, {1}}),
            0);
  EXPECT_TRUE(ResultIsConsistent(session_));
  EXPECT_TRUE(session_.Fields()[0].Numeric);
  // -3 pairs; 001 and 4294967297 (wraps to 1) share the value 1 with the right "1": one
  // of them pairs and differs in the key cell (as text); 9 is right only, 10 left only.
  // Of the two left rows with the value 1, the later one comes first (equal keys).
  EXPECT_EQ(PairRows(session_.AllPairs()),
            (Rows{{0, 2, 2}, {2, 3, 0}, {-2, 1, -1}, {-1, -1, 1}, {-2, 0, -1}}));
}

// A first key too long for the sort's key image, and sides whose keys begin alike to
// different lengths, leave the pairing to the rows: a numeric second key still pairs by
// value there (7 with 007), and still differs as text.
TEST_F(CompareSessionTest, NumericKeysPairByValueWhereTheRowsDecide) {
  const std::string a = "Kanagawa-Yokohama-Naka-Honcho-1-2-3-A";
  const std::string b = "Kanagawa-Yokohama-Naka-Honcho-1-2-3-B";
  struct Case {
    const char* what;
    std::vector<std::string> left;
    std::vector<std::string> right;
    Rows pairs;
  };
  const Case cases[] = {
      {"both sides begin alike",
       {a + ",7,x", b + ",8,y"},
       {b + ",8,y", a + ",007,x"},
       {{1, 0, 1}, {0, 1, 0}}},
      {"the left side's keys begin alike, the right side's do not",
       {a + ",7,x", b + ",8,y"},
       {b + ",8,y", "Osaka,7,z", a + ",007,x"},
       {{1, 0, 2}, {0, 1, 0}, {-1, -1, 1}}},
      {"the right side's keys begin alike, the left side's do not",
       {"Osaka,007,z", a + ",007,x", b + ",0008,y"},
       {a + ",7,x", b + ",8,y"},
       {{1, 1, 0}, {1, 2, 1}, {-2, 0, -1}}},
  };
  for (const Case& c : cases) {
    ASSERT_EQ(Run(CrLfLines(c.left), CrLfLines(c.right), {{1, 2}, {2}}), 0) << c.what;
    EXPECT_TRUE(ResultIsConsistent(session_)) << c.what;
    EXPECT_EQ(PairRows(session_.AllPairs()), c.pairs) << c.what;
  }
}

TEST_F(CompareSessionTest, KeysDifferingOnlyInCaseNeverPair) {
  ASSERT_EQ(Run(CrLfLines({"a,1"}), CrLfLines({"A,1"}), {{1}}), 0);
  EXPECT_EQ(PairRows(session_.AllPairs()), (Rows{{-1, -1, 0}, {-2, 0, -1}}));

  // Case variants of one key on both sides, in different file orders: every key still
  // finds its identical partner.
  ASSERT_EQ(Run(CrLfLines({"a,1", "A,2", "a,3"}), CrLfLines({"A,2", "a,1", "a,3"}), {{1}}), 0);
  EXPECT_TRUE(ResultIsConsistent(session_));
  EXPECT_EQ(session_.LeftOnlyCount() + session_.RightOnlyCount(), 0);
  for (const RecordPair& pair : session_.AllPairs()) {
    EXPECT_EQ(Cell(Side::kLeft, pair.LeftRow, 1), Cell(Side::kRight, pair.RightRow, 1));
  }
  // Two keys, the first differing only in case between two records of one side.
  ASSERT_EQ(Run(CrLfLines({"a,a", "A,b"}), CrLfLines({"A,b"}), {{1, 2}}), 0);
  EXPECT_TRUE(ResultIsConsistent(session_));
  EXPECT_EQ(session_.RightOnlyCount(), 0);
  EXPECT_EQ(session_.LeftOnlyCount(), 1);
}

TEST_F(CompareSessionTest, KeyFieldBeyondOneSidesFields) {
  // The right file has two fields; key field 3 reads "" there, and the right side is
  // ordered by key 1 alone.
  ASSERT_EQ(Run(CrLfLines({"b,1,", "a,2,"}), CrLfLines({"a,2", "b,1"}), {{1, 3}}), 0);
  EXPECT_TRUE(ResultIsConsistent(session_));
  EXPECT_EQ(PairRows(session_.AllPairs()), (Rows{{0, 1, 0}, {0, 0, 1}}));
  // Where the left side has text in key field 3, no record pairs.
  ASSERT_EQ(Run(CrLfLines({"c,x,1", "a,y,2", "b,z,3"}), CrLfLines({"b", "c", "a"}), {{1, 3}}), 0);
  EXPECT_TRUE(ResultIsConsistent(session_));
  EXPECT_EQ(session_.LeftOnlyCount(), 3);
  EXPECT_EQ(session_.RightOnlyCount(), 3);
  EXPECT_EQ(session_.RightTable().ColumnCount(), 2);
}

TEST_F(CompareSessionTest, SidesWithDifferentFieldCounts) {
  ASSERT_EQ(Run(CrLfLines({"1,a,b", "2,c,d"}), CrLfLines({"1,a,b,,x", "2,c,d,,"})), 0);
  EXPECT_TRUE(ResultIsConsistent(session_));
  EXPECT_EQ(session_.Fields().size(), 5u);
  EXPECT_EQ(session_.LeftTable().ColumnCount(), 4);
  EXPECT_EQ(PairRows(session_.AllPairs()), (Rows{{1, 0, 0}, {0, 1, 1}}));
  EXPECT_EQ(session_.Fields()[4].DiffCount, 1);
  EXPECT_EQ(session_.Fields()[3].DiffCount, 0);
}

TEST_F(CompareSessionTest, ClassificationHonoursEachFlag) {
  std::string left = CrLfLines({S("k1,A B,x,q,long,7"), S("k2,AB,x,q,s,8")});
  std::string right = CrLfLines({S("k1,AB,y,r,other,7"), S("k2,Ａ　B,x,q,s,9")});
  // Field 2 without spaces, field 4 not compared, field 5 not loaded, field 6 plain.
  ASSERT_EQ(Run(left, right, {{1}, {}, {2}, {4}, {5}}), 0);
  EXPECT_TRUE(ResultIsConsistent(session_));
  // k1: field 3 differs ("A B" and "AB" agree without spaces); k2: "AB" and "Ａ　B"
  // differ (full-width Ａ is another character) and field 6 differs.
  EXPECT_EQ(PairRows(session_.AllPairs()), (Rows{{1, 0, 0}, {2, 1, 1}}));
  EXPECT_EQ(session_.DiffCellCount(), 3);
  EXPECT_EQ(session_.DiffRecordCount(), 2);
  std::vector<int> counts;
  for (const ResultField& f : session_.Fields()) counts.push_back(f.DiffCount);
  EXPECT_EQ(counts, (std::vector<int>{0, 1, 1, 0, 0, 1}));
  // The not-loaded field is "" on both sides; the not-compared one is loaded.
  EXPECT_EQ(Cell(Side::kLeft, 0, 5), "");
  EXPECT_EQ(Cell(Side::kRight, 0, 5), "");
  EXPECT_EQ(Cell(Side::kRight, 0, 4), "r");
  EXPECT_TRUE(session_.IsNotLoaded(5));

  // With SPC除く a full-width space is skipped as well.
  ASSERT_EQ(Run(CrLfLines({S("1,あ　い")}), CrLfLines({S("1,あい ")}), {{}, {}, {2}}), 0);
  EXPECT_EQ(PairRows(session_.AllPairs()), (Rows{{0, 0, 0}}));
  ASSERT_EQ(Run(CrLfLines({S("1,あ　い")}), CrLfLines({S("1,あい ")})), 0);
  EXPECT_EQ(PairRows(session_.AllPairs()), (Rows{{1, 0, 0}}));
}

TEST_F(CompareSessionTest, ExtractionKinds) {
  ASSERT_EQ(Run(CrLfLines({"1,a,x", "2,b,y", "3,c,z", "5,e,w"}),
                CrLfLines({"1,a,x", "2,B,y", "3,c,Z", "4,d,v"}), {{1}, {}, {}, {3}}),
            0);
  // Pairs: 1 equal, 2 differs (field 2), 3 equal (field 3 not compared), 4 right only,
  // 5 left only.
  ASSERT_EQ(PairRows(session_.AllPairs()),
            (Rows{{0, 0, 0}, {1, 1, 1}, {0, 2, 2}, {-1, -1, 3}, {-2, 3, -1}}));
  auto extracted = [this]() { return PairRows(session_.ExtractPairs()); };

  EXPECT_TRUE(Done(session_.ExtractByStatus(kExtractDiffering, true)));
  EXPECT_EQ(extracted(), (Rows{{1, 1, 1}}));
  EXPECT_EQ(session_.ExtractStatusText(), S("(相違分抽出中...1件)"));
  EXPECT_TRUE(Done(session_.ExtractByStatus(kExtractLeftOnly, true)));
  EXPECT_EQ(extracted(), (Rows{{-2, 3, -1}}));
  EXPECT_EQ(session_.ExtractStatusText(), S("(『左のみ』を抽出中...1件)"));
  EXPECT_TRUE(Done(session_.ExtractByStatus(kExtractLeftOnly, true)));  // again: same list
  EXPECT_EQ(extracted(), (Rows{{-2, 3, -1}}));
  EXPECT_TRUE(Done(session_.ExtractByStatus(kExtractRightOnly, true)));
  EXPECT_EQ(extracted(), (Rows{{-1, -1, 3}}));
  EXPECT_EQ(session_.ExtractStatusText(), S("(『右のみ』を抽出中...1件)"));
  EXPECT_TRUE(Done(session_.ExtractByStatus(kExtractNotEqual, true)));
  EXPECT_EQ(extracted(), (Rows{{1, 1, 1}, {-1, -1, 3}, {-2, 3, -1}}));
  EXPECT_EQ(session_.ExtractStatusText(), S("(相違分(『左のみ』、『右のみ』含む）抽出中...3件)"));
  for (int kind : {kExtractDiffering, kExtractNotEqual}) {
    EXPECT_TRUE(Done(session_.ExtractByStatus(kind, false)));
    EXPECT_EQ(extracted(), (Rows{{0, 0, 0}, {0, 2, 2}}));
    EXPECT_EQ(session_.ExtractStatusText(), S("(相違なし分抽出中...2件)"));
  }
  EXPECT_FALSE(Done(session_.ExtractByStatus(7, true)));

  // One field: one-sided records never count; the not-compared field still differs.
  EXPECT_TRUE(Done(session_.ExtractColumn(2, true)));
  EXPECT_EQ(extracted(), (Rows{{0, 2, 2}}));
  EXPECT_EQ(session_.ExtractStatusText(), S("(『FD003』の相違分抽出中...1件)"));
  EXPECT_TRUE(Done(session_.ExtractColumn(1, false)));
  EXPECT_EQ(extracted(), (Rows{{0, 0, 0}, {0, 2, 2}}));
  EXPECT_EQ(session_.ExtractStatusText(), S("(『FD002』の相違なし分抽出中...2件)"));
  EXPECT_TRUE(Done(session_.ExtractColumn(0, true)));
  EXPECT_TRUE(session_.ExtractPairs().empty());
  EXPECT_EQ(session_.ExtractStatusText(), S("(『FD001』の相違分抽出中...0件)"));

  // Showing and releasing the extraction switches the shown list.
  EXPECT_TRUE(Done(session_.ExtractColumn(1, true)));
  session_.ActivateExtraction();
  EXPECT_EQ(&session_.ViewPairs(), &session_.ExtractPairs());
  EXPECT_EQ(session_.ViewPairs().size(), 1u);
  session_.ReleaseExtraction();
  EXPECT_EQ(&session_.ViewPairs(), &session_.AllPairs());
  EXPECT_EQ(session_.ExtractPairs().size(), 1u);  // kept after a release

  EXPECT_TRUE(notifier_.Entries().empty());
  EXPECT_FALSE(Done(session_.ExtractColumn(3, true)));
  EXPECT_TRUE(session_.ExtractPairs().empty());
  EXPECT_EQ(notifier_.Texts(), std::vector<std::string>{"該当のカラムが見付かりません。"});
}

TEST_F(CompareSessionTest, OneFieldExtractionIgnoresSpacesWhenTheFieldDoes) {
  ASSERT_EQ(Run(CrLfLines({"1,A B"}), CrLfLines({"1,AB"}), {{1}, {}, {2}}), 0);
  EXPECT_TRUE(Done(session_.ExtractColumn(1, false)));
  EXPECT_EQ(session_.ExtractPairs().size(), 1u);
  EXPECT_TRUE(Done(session_.ExtractColumn(1, true)));
  EXPECT_TRUE(session_.ExtractPairs().empty());
}

TEST_F(CompareSessionTest, ReGridReclassifiesWithoutChangingPairs) {
  ASSERT_EQ(
      Run(CrLfLines({"1,a,x", "2,b,y", "3,c,z"}), CrLfLines({"1,A,x", "2,b,Y", "4,d,w"}), {{1}}),
      0);
  Rows before = PairRows(session_.AllPairs());
  EXPECT_EQ(session_.DiffCellCount(), 2);
  EXPECT_TRUE(Done(session_.ExtractByStatus(kExtractDiffering, true)));
  session_.ActivateExtraction();

  FieldGrid regrid = session_.MakeReGridGrid();
  ASSERT_EQ(regrid.RowCount(), 4);
  ASSERT_EQ(regrid.ColumnCount(), 9);
  EXPECT_FALSE(regrid.ShowsColumn(FieldGrid::kNotLoaded));
  EXPECT_EQ(regrid.Cell(1, 8), S("－"));
  EXPECT_EQ(regrid.Cell(2, 8), "");
  EXPECT_EQ(regrid.Cell(1, 0), "   1");
  EXPECT_EQ(regrid.Cell(1, 1), S("●"));
  EXPECT_EQ(regrid.Cell(1, 3), S("－"));
  EXPECT_EQ(regrid.Cell(1, 4), S("－"));
  EXPECT_EQ(regrid.Cell(2, 1), "");
  EXPECT_EQ(regrid.Cell(2, 3), "");
  EXPECT_EQ(regrid.Cell(3, 5), "FD003");
  EXPECT_EQ(regrid.Cell(3, 6), "FD003");
  regrid.Toggle(3, FieldGrid::kNotCompared);
  regrid.Toggle(1, FieldGrid::kKey);  // fixed: no change
  session_.ApplyReGrid(regrid);

  EXPECT_FALSE(session_.ExtractActive());
  EXPECT_EQ(session_.DiffCellCount(), 1);
  EXPECT_EQ(session_.DiffRecordCount(), 1);
  EXPECT_TRUE(ResultIsConsistent(session_));
  Rows after = PairRows(session_.AllPairs());
  ASSERT_EQ(after.size(), before.size());
  for (std::size_t i = 0; i < after.size(); ++i) {
    EXPECT_EQ(std::get<1>(after[i]), std::get<1>(before[i]));
    EXPECT_EQ(std::get<2>(after[i]), std::get<2>(before[i]));
  }
  EXPECT_EQ(session_.Fields()[2].NotCompared, 1);
  EXPECT_EQ(session_.Fields()[0].IsKey, 1);
  // The re-setting grid now shows the mark; taking it away restores the count.
  FieldGrid again = session_.MakeReGridGrid();
  EXPECT_EQ(again.Cell(3, 4), S("●"));
  again.Toggle(3, FieldGrid::kNotCompared);
  again.Toggle(2, FieldGrid::kIgnoreSpaces);
  session_.ApplyReGrid(again);
  EXPECT_EQ(session_.DiffCellCount(), 2);
  EXPECT_EQ(session_.Fields()[1].Compare, FieldCompare::kIgnoreSpaces);
  EXPECT_TRUE(notifier_.Entries().empty());

  CompareSession fresh;
  EXPECT_FALSE(Done(fresh.CanReGrid()));
  EXPECT_TRUE(Done(session_.CanReGrid()));
  EXPECT_EQ(notifier_.Texts(), std::vector<std::string>{"項目設定がされていません。"});
}

TEST_F(CompareSessionTest, OverLongCellStopsTheRun) {
  session_.EditSettings().TopRowNames = true;
  std::string ok(500, 'x');
  std::string over(501, 'y');
  ASSERT_EQ(Run(CrLfLines({"K,V", "1," + ok}), CrLfLines({"K,V", "1," + ok})), 0);
  EXPECT_EQ(session_.AllPairs().size(), 1u);
  ASSERT_EQ(Run(CrLfLines({"K,V", "1," + ok}), CrLfLines({"K,V", "1,a", "2," + over})), -1);
  EXPECT_EQ(notifier_.Texts(),
            std::vector<std::string>{"right.csv\n2カラム-3行目でサイズオーバー"});
  EXPECT_EQ(notifier_.Entries()[0].box.caption, S("注意"));
  ExpectEmptyResult();
  // Without the name line the line number is the record's own; a not-loaded field is
  // never stored, so its size does not matter.
  notifier_.Clear();
  session_.EditSettings().TopRowNames = false;
  ASSERT_EQ(Run(CrLfLines({over + ",1"}), CrLfLines({"a,1"})), -1);
  EXPECT_EQ(notifier_.Texts(), std::vector<std::string>{"left.csv\n1カラム-1行目でサイズオーバー"});
  notifier_.Clear();
  ASSERT_EQ(Run(CrLfLines({over + ",1"}), CrLfLines({"a,1"}), {{}, {}, {}, {}, {1}}), 0);
  EXPECT_TRUE(notifier_.Entries().empty());
  EXPECT_EQ(PairRows(session_.AllPairs()), (Rows{{0, 0, 0}}));
}

// The result's paths follow completed runs only: a set-up that changes the settings and a
// run that fails leave the paths of the result before them.
TEST_F(CompareSessionTest, ResultPathsComeFromTheLastCompletedRun) {
  EXPECT_EQ(session_.ResultPath(Side::kLeft), "");
  const std::string a = dir_.Write("a.csv", CrLfLines({"1,x"}));
  const std::string b = dir_.Write("b.csv", CrLfLines({"1,y"}));
  const std::string c = dir_.Write("c.csv", CrLfLines({"1,x"}));
  const std::string over = dir_.Write("d.csv", CrLfLines({test::Cat("1,", std::string(501, 'z'))}));
  struct Step {
    std::string pathL, pathR;
    bool run;     // false: the settings change and nothing runs (a cancelled set-up)
    int outcome;  // of the run
    std::string resultL, resultR;
  };
  const Step steps[] = {
      {a, b, true, 0, a, b}, {c, over, false, 0, a, b}, {c, over, true, -1, a, b},
      {c, a, true, 0, c, a}, {b, c, false, 0, c, a},
  };
  for (const Step& step : steps) {
    session_.EditSettings().PathL = step.pathL;
    session_.EditSettings().PathR = step.pathR;
    if (step.run) {
      EXPECT_EQ(RunPaths({{1}}), step.outcome) << step.pathL;
    }
    EXPECT_EQ(session_.ResultPath(Side::kLeft), step.resultL) << step.pathL;
    EXPECT_EQ(session_.ResultPath(Side::kRight), step.resultR) << step.pathR;
  }
}

TEST_F(CompareSessionTest, WideFilesWarnOnceAndKeep255Fields) {
  session_.EditSettings().TopRowNames = true;
  std::string names, values;
  for (int i = 1; i <= 300; ++i) {
    if (i > 1) {
      names += ',';
      values += ',';
    }
    names += 'N';
    names += std::to_string(i);
    values += std::to_string(i);
  }
  ASSERT_EQ(Run(CrLfLines({names, values}), CrLfLines({names, values})), 0);
  EXPECT_EQ(notifier_.Texts(),
            std::vector<std::string>{"255を超えるフィールドについては比較対象から除かれます。"});
  EXPECT_EQ(session_.Fields().size(), 255u);
  EXPECT_EQ(session_.LeftTable().ColumnCount(), 256);
  EXPECT_EQ(session_.MaxNameCount(), 255);
  EXPECT_EQ(PairRows(session_.AllPairs()), (Rows{{0, 0, 0}}));
}

TEST_F(CompareSessionTest, NameCountWidensTheShorterSide) {
  session_.EditSettings().TopRowNames = true;
  ASSERT_EQ(Run(CrLfLines({"A,B", "1,2"}), CrLfLines({"A,B,C", "1,2,3"})), 0);
  EXPECT_EQ(session_.LeftTable().ColumnCount(), 4);  // 区分 + MaxNameCount 3
  EXPECT_EQ(session_.Fields()[2].NameView(), "C");
  EXPECT_EQ(PairRows(session_.AllPairs()), (Rows{{1, 0, 0}}));
}

// Fails every read of files whose path contains `marker` after the first read.
// Fails every read of the file whose path holds `marker` after its first read. Both sides
// are read at once on two threads, and a descriptor may be reused once its file is closed,
// so the failing descriptor is forgotten at its close and all state is guarded.
class FailingReads : public FileSystem {
 public:
  explicit FailingReads(std::string marker) : marker_(std::move(marker)) {}
  int Open(const std::string& path, OpenMode mode) override {
    int fd = FileSystem::Open(path, mode);
    std::lock_guard<std::mutex> lock(mutex_);
    if (path.find(marker_) != std::string::npos) {
      failing_ = fd;
      reads_ = 0;
    }
    return fd;
  }
  ssize_t Read(int fd, void* buffer, std::size_t count) override {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (fd == failing_ && reads_++ > 0) return -1;
    }
    return FileSystem::Read(fd, buffer, count);
  }
  int Close(int fd) override {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (fd == failing_) failing_ = -2;
    }
    return FileSystem::Close(fd);
  }

 private:
  std::mutex mutex_;
  std::string marker_;
  int failing_ = -2;
  int reads_ = 0;
};

TEST_F(CompareSessionTest, ReaderFailuresEndInAnEmptyResult) {
  std::string text = CrLfLines({"1,a", "2,b"});
  ASSERT_EQ(Run(text, text, {{1}}), 0);
  ASSERT_FALSE(session_.AllPairs().empty());

  // A file that is gone by the time the run reads it.
  session_.StartSetUp();
  FieldGrid grid;
  ASSERT_EQ(Show(session_.FillFieldGrids(grid, prompter_)), 0);
  session_.EditSettings().PathR = dir_.File("gone.csv");
  EXPECT_EQ(Show(session_.CompareSides(grid)), -1);
  EXPECT_EQ(notifier_.Texts(), std::vector<std::string>{"ファイルが見つかりません。"});
  ExpectEmptyResult();

  // A read error in the middle of the right file.
  notifier_.Clear();
  std::string big;
  for (int i = 0; i < 20000; ++i) big += std::to_string(i) + ",abcdefghij\r\n";
  session_.EditSettings().PathL = dir_.Write("left.csv", big);
  session_.EditSettings().PathR = dir_.Write("right.csv", big);
  FieldGrid grid2;
  ASSERT_EQ(Show(session_.FillFieldGrids(grid2, prompter_)), 0);
  FailingReads failing("right.csv");
  FileSystem* previous = SetFileSystem(&failing);
  int result = Show(session_.CompareSides(grid2));
  SetFileSystem(previous);
  EXPECT_EQ(result, -1);
  EXPECT_EQ(notifier_.Texts(), std::vector<std::string>{"ファイルの読込に失敗しました。"});
  ExpectEmptyResult();
  EXPECT_FALSE(Done(session_.CanReGrid()));
}

// The filling goes on after the warning about the left file's fields and tells it at once;
// the right file's failure ends it and is returned.
TEST_F(CompareSessionTest, AWarningToldOnTheWayComesBeforeTheFailureReturned) {
  session_.EditSettings().TopRowNames = true;
  std::string names;
  for (int i = 1; i <= 300; ++i) names += (i > 1 ? ",N" : "N") + std::to_string(i);
  session_.EditSettings().PathL = dir_.Write("left.csv", CrLfLines({names, names}));
  session_.EditSettings().PathR = dir_.File("missing.csv");
  session_.StartSetUp();
  FieldGrid grid;
  const Status filled = session_.FillFieldGrids(grid, prompter_);
  EXPECT_EQ(notifier_.Texts(),
            std::vector<std::string>{"255を超えるフィールドについては比較対象から除かれます。"});
  EXPECT_EQ(filled.Code(), -1);
  EXPECT_EQ(test::Texts(filled), std::vector<std::string>{"ファイルが見つかりません。"});
  EXPECT_EQ(filled.Messages()[0].Kind, MessageKind::kWarning);
}

TEST_F(CompareSessionTest, EncodingsAndFileKinds) {
  // UTF-16 with its mark, adopted although Shift-JIS was chosen.
  std::string utf16 = "\xFF\xFE";
  for (char c : std::string("1,a\r\n")) utf16 += std::string{c, '\0'};
  session_.EditSettings().PathL = dir_.Write("l16.csv", utf16);
  session_.EditSettings().PathR = dir_.Write("r.csv", CrLfLines({"1,a"}));
  ASSERT_EQ(RunPaths({{1}}), 0);
  EXPECT_EQ(session_.EncodingL(), 10);
  EXPECT_EQ(session_.EncodingR(), 0);
  EXPECT_EQ(PairRows(session_.AllPairs()), (Rows{{0, 0, 0}}));

  // Clipboard captures are Shift-JIS whatever the chosen encoding.
  session_.EditSettings().Encoding = 15;
  session_.EditSettings().FromClipboard = true;
  ASSERT_EQ(Run(CrLfLines({S("1,漢字")}), CrLfLines({S("1,漢字")})), 0);
  EXPECT_EQ(Cell(Side::kLeft, 0, 2), S("漢字"));
  EXPECT_EQ(session_.EncodingL(), 0);
  session_.EditSettings().FromClipboard = false;
  session_.EditSettings().Encoding = 0;

  // TAB and other delimiters.
  session_.EditSettings().FileKind = kFileKindDelimited;
  ASSERT_EQ(Run(CrLfLines({"1\ta,b"}), CrLfLines({"1\ta,c"}), {{1}}, ".txt"), 0);
  EXPECT_EQ(Cell(Side::kLeft, 0, 2), "a,b");
  EXPECT_EQ(session_.DiffCellCount(), 1);
  session_.EditSettings().Delimiter = '|';
  ASSERT_EQ(Run(CrLfLines({"1|x"}), CrLfLines({"1|x"}), {{1}}, ".txt"), 0);
  EXPECT_EQ(Cell(Side::kRight, 0, 2), "x");

  // Fixed-length files need the fixed-length reader.
  session_.EditSettings().FileKind = kFileKindFixed;
  notifier_.Clear();
  FieldGrid grid;
  EXPECT_EQ(Show(session_.FillFieldGrids(grid, prompter_)), -1);
  EXPECT_EQ(Show(session_.CompareSides(grid)), -1);
  EXPECT_EQ(notifier_.Texts(),
            (std::vector<std::string>{"フィールドが存在しません。", "フィールドが存在しません。"}));
  ExpectEmptyResult();
}

// Random files: every row in exactly one pair, counters consistent, and each key value
// (bytes for text keys, the integer for numeric ones) paired min(left, right) times.
TEST_F(CompareSessionTest, PairingInvariantsOnRandomInputs) {
  std::mt19937 rng(99);
  const std::string alphabet[] = {"a", "A", "b", "B", "ab", "aB", "01", "1", S("あ"), ""};
  for (int round = 0; round < 40; ++round) {
    bool numeric = round % 3 == 1;
    bool twoKeys = round % 4 == 2;
    auto makeFile = [&](int rows) {
      std::vector<std::string> lines;
      for (int r = 0; r < rows; ++r) {
        std::string k1 =
            numeric ? std::to_string(static_cast<int>(rng() % 7) - 3) + (rng() % 4 == 0 ? "x" : "")
                    : alphabet[rng() % 10];
        std::string k2 = alphabet[rng() % 4];
        lines.push_back(k1 + "," + k2 + "," + std::string(1, static_cast<char>('p' + rng() % 3)));
      }
      return CrLfLines(lines);
    };
    Marks marks;
    marks.keys = twoKeys ? std::vector<int>{1, 2} : std::vector<int>{1};
    if (numeric) marks.numeric = {1};
    int leftRows = 1 + static_cast<int>(rng() % 60);
    int rightRows = 1 + static_cast<int>(rng() % 60);
    ASSERT_EQ(Run(makeFile(leftRows), makeFile(rightRows), marks), 0);
    ASSERT_TRUE(ResultIsConsistent(session_)) << "round " << round;
    auto keyOf = [&](Side side, int row) {
      std::string k1 = Cell(side, row, 1);
      if (numeric) k1 = std::to_string(KeyNumber(k1));
      if (twoKeys) {
        k1 += '\x01';
        k1 += Cell(side, row, 2);
      }
      return k1;
    };
    std::map<std::string, std::pair<int, int>> counts;
    for (int r = 0; r < session_.LeftTable().RowCount(); ++r) ++counts[keyOf(Side::kLeft, r)].first;
    for (int r = 0; r < session_.RightTable().RowCount(); ++r) {
      ++counts[keyOf(Side::kRight, r)].second;
    }
    std::map<std::string, int> paired;
    for (const RecordPair& p : session_.AllPairs()) {
      if (!p.IsPaired()) continue;
      ASSERT_EQ(keyOf(Side::kLeft, p.LeftRow), keyOf(Side::kRight, p.RightRow));
      ++paired[keyOf(Side::kLeft, p.LeftRow)];
    }
    for (const auto& [key, c] : counts) {
      EXPECT_EQ(paired[key], std::min(c.first, c.second)) << "round " << round << " key " << key;
    }
  }
}

}  // namespace
}  // namespace korvel

namespace korvel {
namespace {

// Both sides are read at once; the messages must still come as a run that reads the left
// side first would show them: only the left side's when both fail.
TEST_F(CompareSessionTest, MessagesOfBothSidesComeInTheirOrder) {
  const std::string over(501, 'y');
  ASSERT_EQ(Run(CrLfLines({"1," + over}), CrLfLines({"1," + over})), -1);
  EXPECT_EQ(notifier_.Texts(), std::vector<std::string>{"left.csv\n2カラム-1行目でサイズオーバー"});
  ExpectEmptyResult();
  notifier_.Clear();
  ASSERT_EQ(Run(CrLfLines({"1,a"}), CrLfLines({"1," + over})), -1);
  EXPECT_EQ(notifier_.Texts(),
            std::vector<std::string>{"right.csv\n2カラム-1行目でサイズオーバー"});
  notifier_.Clear();
  // A side that cannot be opened at all stops the run the same way.
  session_.EditSettings().PathL = dir_.File("gone.csv");
  session_.EditSettings().PathR = dir_.File("right.csv");
  ASSERT_EQ(Show(session_.CompareSides(grid_)), -1);
  EXPECT_EQ(notifier_.Texts(), std::vector<std::string>{"ファイルが見つかりません。"});
  ExpectEmptyResult();
  // And nothing of the failed run is left over: a later run is clean.
  notifier_.Clear();
  ASSERT_EQ(Run(CrLfLines({"1,a", "2,b"}), CrLfLines({"2,b", "1,a"}), {{1}}), 0);
  EXPECT_TRUE(notifier_.Entries().empty());
  EXPECT_EQ(session_.AllPairs().size(), 2u);
}

}  // namespace
}  // namespace korvel

namespace korvel {
namespace {

// A record counts when another record of its own side has the same key, as the pairing
// tells keys apart; the counts leave the pairing as it was.
TEST_F(CompareSessionTest, DuplicateKeysCountedPerSide) {
  struct Case {
    const char* name;
    std::vector<std::string> left;
    std::vector<std::string> right;
    Marks marks;
    int dupLeft;
    int dupRight;
  };
  const std::vector<Case> cases = {
      {"none", {"1,a", "2,b", "3,c"}, {"3,c", "1,a"}, {{1}}, 0, 0},
      {"no key pairs by position", {"1,a", "1,b"}, {"1,a", "1,b"}, {}, 0, 0},
      {"one side, a run of three", {"2,x", "1,a", "2,y", "2,z"}, {"1,a", "2,x"}, {{1}}, 3, 0},
      {"both sides, two runs", {"a,1", "b,1", "a,2"}, {"c,1", "c,2", "d,1", "d,2"}, {{1}}, 2, 4},
      {"case tells keys apart", {"a,1", "A,1"}, {"a,1"}, {{1}}, 0, 0},
      {"numeric keys by value", {"007,1", "7,2", "8,3"}, {"7,1"}, {{1}, {1}}, 2, 0},
      {"all key fields together", {"1,a,x", "1,b,x", "1,a,y"}, {"1,a,x"}, {{1, 2}}, 2, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_EQ(Run(CrLfLines(c.left), CrLfLines(c.right), c.marks), 0);
    EXPECT_TRUE(ResultIsConsistent(session_));
    EXPECT_EQ(session_.DuplicateKeyCount(Side::kLeft), c.dupLeft);
    EXPECT_EQ(session_.DuplicateKeyCount(Side::kRight), c.dupRight);
    const bool any = c.dupLeft + c.dupRight > 0;
    EXPECT_EQ(session_.DuplicateKeyText(),
              any ? S(test::Cat("  重複キー 左:", std::to_string(c.dupLeft),
                                "件 右:", std::to_string(c.dupRight), "件"))
                  : "");
    EXPECT_EQ(session_.DuplicateKeyMessage(),
              any ? S(test::Cat("重複キーがあります。(左:", std::to_string(c.dupLeft),
                                "件 右:", std::to_string(c.dupRight), "件)"))
                  : "");
  }
  // The pairing is the same as ever: the surplus of a run stays one-sided.
  ASSERT_EQ(Run(CrLfLines({"c,1", "a,1", "a,2", "a,3", "d,1"}),
                CrLfLines({"b,9", "a,2", "a,7", "d,1"}), {{1}}),
            0);
  EXPECT_EQ(PairRows(session_.AllPairs()),
            (Rows{{1, 3, 2}, {0, 2, 1}, {-2, 1, -1}, {-1, -1, 0}, {-2, 0, -1}, {0, 4, 3}}));
  EXPECT_EQ(session_.DuplicateKeyCount(Side::kLeft), 3);
  EXPECT_EQ(session_.DuplicateKeyCount(Side::kRight), 2);
  // A failed run leaves no counts behind.
  ASSERT_EQ(Run(CrLfLines({"1," + std::string(501, 'y')}), CrLfLines({"1,a"}), {{1}}), -1);
  EXPECT_EQ(session_.DuplicateKeyCount(Side::kLeft) + session_.DuplicateKeyCount(Side::kRight), 0);
}

}  // namespace
}  // namespace korvel

namespace korvel {
namespace {

// Field 2 marked 数値比較: numbers compare by value within the tolerance, other texts as
// text; the statuses, the counters, the extraction and the re-setting all follow.
TEST_F(CompareSessionTest, NumberCompareWithTolerance) {
  const std::string left = CrLfLines(
      {"1,1.0,x", "2,1000,y", "3,0.30000001,z", "4,abc,w", "5,10,v", "6,-0.5,u", "7,abc,t"});
  const std::string right = CrLfLines(
      {"1,1.00,x", "2,\"1,000\",y", "3,0.3,z", "4,abc,W", "5,10.5,v", "6,0.5,u", "7,1,t"});
  struct Case {
    const char* name;
    const char* tolerance;
    std::vector<int> numberCompare;
    std::vector<int> statuses;  // per pair, in key order
    int field2Differing;
  };
  const std::vector<Case> cases = {
      {"as text", "0", {}, {1, 1, 1, 1, 1, 1, 1}, 6},
      {"numbers, tolerance 0", "0", {2}, {0, 0, 1, 1, 1, 1, 1}, 4},
      {"tolerance below the gaps", "0.00000001", {2}, {0, 0, 0, 1, 1, 1, 1}, 3},
      {"tolerance at 0.5", "0.5", {2}, {0, 0, 0, 1, 0, 1, 1}, 2},
      {"tolerance at 1", "1", {2}, {0, 0, 0, 1, 0, 0, 1}, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_TRUE(ParseTolerance(c.tolerance, &session_.EditSettings().NumberTolerance));
    Marks marks;
    marks.keys = {1};
    marks.numberCompare = c.numberCompare;
    ASSERT_EQ(Run(left, right, marks), 0);
    std::vector<int> statuses;
    for (const RecordPair& p : session_.AllPairs()) statuses.push_back(p.Status);
    EXPECT_EQ(statuses, c.statuses);
    EXPECT_EQ(session_.Fields()[1].DiffCount, c.field2Differing);
    EXPECT_EQ(session_.Fields()[2].DiffCount, 1);  // w against W
    EXPECT_EQ(IsNumberCompare(session_.Fields()[1].Compare), !c.numberCompare.empty());
    ASSERT_TRUE(Done(session_.ExtractColumn(1, true)));
    EXPECT_EQ(static_cast<int>(session_.ExtractPairs().size()), c.field2Differing);
    ASSERT_TRUE(Done(session_.ExtractByStatus(kExtractDiffering, false)));
    EXPECT_EQ(static_cast<int>(session_.ExtractPairs().size()),
              static_cast<int>(std::count(statuses.begin(), statuses.end(), 0)));
  }

  // The re-setting switches the mark off and on again; the run's tolerance (1) stays even
  // when the settings change meanwhile, and the pairs never move.
  const Rows before = PairRows(session_.AllPairs());
  ASSERT_TRUE(ParseTolerance("0", &session_.EditSettings().NumberTolerance));
  FieldGrid regrid = session_.MakeReGridGrid();
  EXPECT_EQ(regrid.Cell(2, FieldGrid::kNumberCompare), S("●"));
  EXPECT_EQ(regrid.Cell(3, FieldGrid::kNumberCompare), "");
  regrid.Toggle(2, FieldGrid::kNumberCompare);
  session_.ApplyReGrid(regrid);
  EXPECT_EQ(session_.Fields()[1].DiffCount, 6);
  EXPECT_EQ(session_.DiffRecordCount(), 7);
  EXPECT_TRUE(ResultIsConsistent(session_));  // as text again
  FieldGrid again = session_.MakeReGridGrid();
  EXPECT_EQ(again.Cell(2, FieldGrid::kNumberCompare), "");
  again.Toggle(2, FieldGrid::kNumberCompare);
  again.Toggle(3, FieldGrid::kNumberCompare);  // "w" and "W" are no numbers: still differ
  session_.ApplyReGrid(again);
  EXPECT_EQ(session_.Fields()[1].DiffCount, 1);
  EXPECT_EQ(session_.Fields()[2].DiffCount, 1);
  EXPECT_EQ(session_.DiffRecordCount(), 2);
  const Rows after = PairRows(session_.AllPairs());
  ASSERT_EQ(after.size(), before.size());
  for (std::size_t i = 0; i < after.size(); ++i) {
    EXPECT_EQ(std::get<1>(after[i]), std::get<1>(before[i]));
    EXPECT_EQ(std::get<2>(after[i]), std::get<2>(before[i]));
  }
  // 不要 takes the mark away in the re-setting too.
  FieldGrid third = session_.MakeReGridGrid();
  third.Toggle(2, FieldGrid::kNotCompared);
  EXPECT_EQ(third.Cell(2, FieldGrid::kNumberCompare), S("－"));
  session_.ApplyReGrid(third);
  EXPECT_FALSE(IsNumberCompare(session_.Fields()[1].Compare));
  EXPECT_EQ(session_.DiffRecordCount(), 1);
}

}  // namespace
}  // namespace korvel

namespace korvel {
namespace {

// A plain reading of the pairing's key order, written apart from the engine's: a text key
// case-blind (single-byte A-Z folded, double-byte characters kept whole) and then by its
// bytes, a numeric key by the 32-bit value of its leading integer.
struct RefKeys {
  std::vector<std::string> folded;  // per key: the folded text, or the value as 8 hex digits
  std::vector<std::string> exact;   // per key: the bytes (numbers: the value again)
};

std::string RefFold(std::string_view s) {
  std::string out;
  for (std::size_t i = 0; i < s.size(); ++i) {
    const auto c = static_cast<unsigned char>(s[i]);
    const bool lead = (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
    if (lead && i + 1 < s.size()) {
      out += s.substr(i, 2);
      ++i;
    } else {
      out += (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : static_cast<char>(c);
    }
  }
  return out;
}

std::string RefNumber(std::string_view s) {
  std::size_t i = 0;
  while (i < s.size() && (s[i] == ' ' || s[i] == '\t')) ++i;
  bool negative = false;
  if (i < s.size() && (s[i] == '-' || s[i] == '+')) negative = s[i++] == '-';
  std::uint32_t v = 0;
  for (; i < s.size() && s[i] >= '0' && s[i] <= '9'; ++i) v = v * 10 + (s[i] - '0');
  if (negative) v = 0 - v;
  // Biased so that the texts order like the signed values.
  char text[16];
  std::snprintf(text, sizeof text, "%08x", v ^ 0x80000000u);
  return text;
}

// Strips half-width spaces (the generated cells hold no other kind).
std::string RefNoSpaces(std::string_view s) {
  std::string out;
  for (char c : s) {
    if (c != ' ') out += c;
  }
  return out;
}

// Every generated table: keys drawn from small sets so that they repeat, differ in case
// only, or differ only past the first keys; both sides share most records.
TEST_F(CompareSessionTest, PairingAndClassificationMatchAPlainReference) {
  const std::string a = S("ア");   // 0x83 0x41: a trail byte that reads as 'A'
  const std::string ya = S("ヂ");  // 0x83 0x61: one that reads as 'a'
  const std::vector<std::string> texts = {"a",
                                          "A",
                                          "ab",
                                          "aB",
                                          "Ab",
                                          "",
                                          a,
                                          ya,
                                          a + "b",
                                          "zz" + a,
                                          "Tokyo-Shinagawa",
                                          "tokyo-shinagawa"};
  const std::string kAlike = "Kanagawa-Yokohama-Naka-";
  const std::vector<std::string> numbers = {"7", "007", " 7", "-3", "4294967303", "x", "", "12"};
  struct Case {
    const char* name;
    std::vector<int> keys;
    std::vector<int> numeric;
    int fieldsLeft;
    int fieldsRight;
    int rows;
    int longKeys;    // text keys that begin with the same 23 bytes: 1 on both sides, 2 but
                     // for the right side's changed keys
    bool shortRows;  // some records end early (missing cells)
  };
  const std::vector<Case> cases = {
      {"one text key", {1}, {}, 5, 5, 700, 0, false},
      {"one key, few records", {1}, {}, 5, 5, 40, 0, false},
      {"six keys, the first with few values", {1, 2, 3, 4, 5, 6}, {}, 7, 7, 900, 0, false},
      {"numeric and text keys", {1, 2}, {1}, 4, 4, 600, 0, false},
      {"keys in the middle, numeric last", {3, 1, 2}, {2}, 5, 5, 600, 0, false},
      {"missing cells", {1, 2}, {}, 5, 5, 600, 0, true},
      {"key field beyond the right side's columns", {1, 3}, {}, 4, 2, 600, 0, false},
      {"keys that all begin alike", {1, 2}, {}, 4, 4, 600, 1, false},
      {"keys that begin alike on the left side only", {1, 2}, {}, 4, 4, 600, 2, false},
      {"a numeric key after keys that begin alike", {1, 2}, {2}, 4, 4, 600, 1, false},
      {"a numeric key after keys that begin alike on one side", {1, 2}, {2}, 4, 4, 600, 2, false},
      // Enough pairs that the walk gives the images it has passed back on the way (every 64K
      // pairs; fewer records under the sanitizers, still more than that).
      {"one key, many records", {1, 2}, {}, 3, 3, test::kSanitized ? 70000 : 150000, 0, false},
  };
  std::mt19937 rng(2024);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto isKey = [&c](int f) { return std::find(c.keys.begin(), c.keys.end(), f) != c.keys.end(); };
    auto isNumeric = [&c](int f) {
      return std::find(c.numeric.begin(), c.numeric.end(), f) != c.numeric.end();
    };
    auto cell = [&](int f) -> std::string {
      if (isNumeric(f)) return numbers[rng() % numbers.size()];
      if (isKey(f)) {
        // Long enough now and then that the keys pass the sort's key image.
        std::string t = texts[rng() % (f == c.keys[0] ? 4 : texts.size())];
        if (rng() % 3 == 0) t += std::to_string(rng() % 4);
        return c.longKeys > 0 ? kAlike + t : t;
      }
      static const char* const values[] = {"p", "q", "p q", " pq", "pq"};
      return values[rng() % 5];
    };
    auto record = [&](int fields) {
      std::vector<std::string> cells;
      for (int f = 1; f <= fields; ++f) cells.push_back(cell(f));
      return cells;
    };
    // `cut`: the record ends after its first one or two fields.
    auto line = [&rng](const std::vector<std::string>& cells, int fields, bool cut) {
      std::string text;
      const int n = cut ? 1 + static_cast<int>(rng() % 2) : fields;
      for (int f = 0; f < n; ++f) {
        if (f > 0) text += ',';
        text += cells[static_cast<std::size_t>(f)];
      }
      return text + "\r\n";
    };
    // The right side: most left records (some changed), in another order, and its own.
    std::vector<std::vector<std::string>> left;
    for (int r = 0; r < c.rows; ++r) left.push_back(record(c.fieldsLeft));
    std::vector<std::vector<std::string>> right;
    for (const auto& rec : left) {
      if (rng() % 10 == 0) continue;
      std::vector<std::string> copy(rec.begin(), rec.begin() + c.fieldsRight);
      if (rng() % 5 == 0) copy.back() = cell(c.fieldsRight);
      if (rng() % 7 == 0) {
        copy[static_cast<std::size_t>(c.keys[0] - 1) % copy.size()] =
            c.longKeys == 1 ? kAlike + "A" : "A";
      }
      right.push_back(copy);
    }
    for (int r = 0; r < c.rows / 10; ++r) right.push_back(record(c.fieldsRight));
    std::shuffle(right.begin(), right.end(), rng);
    std::string leftText;
    std::string rightText;
    // The first record of each side sets its column count, so it is never cut.
    for (std::size_t r = 0; r < left.size(); ++r) {
      leftText += line(left[r], c.fieldsLeft, c.shortRows && r > 0 && rng() % 6 == 0);
    }
    for (std::size_t r = 0; r < right.size(); ++r) {
      rightText += line(right[r], c.fieldsRight, c.shortRows && r > 0 && rng() % 6 == 0);
    }
    Marks marks;
    marks.keys = c.keys;
    marks.numeric = c.numeric;
    for (int f = 1; f <= std::max(c.fieldsLeft, c.fieldsRight); ++f) {
      if (isKey(f)) continue;
      if (f % 3 == 0) marks.notCompared.push_back(f);
      if (f % 3 == 1) marks.ignoreSpaces.push_back(f);
    }
    ASSERT_EQ(Run(leftText, rightText, marks), 0);
    ASSERT_EQ(session_.KeyCount(), static_cast<int>(c.keys.size()));

    const std::vector<ResultField>& fields = session_.Fields();
    auto keysOf = [&](Side side, int row) {
      RefKeys k;
      for (int i = 0; i < session_.KeyCount(); ++i) {
        const ResultField& f = fields[static_cast<std::size_t>(i)];
        const std::string text(session_.CellText(side, row, f.FieldNo(side)));
        if (f.Numeric) {
          k.folded.push_back(RefNumber(text));
          k.exact.push_back(RefNumber(text));
        } else {
          k.folded.push_back(RefFold(text));
          k.exact.push_back(text);
        }
      }
      return k;
    };
    auto less = [](const RefKeys& x, const RefKeys& y) {
      if (x.folded != y.folded) return x.folded < y.folded;
      return x.exact < y.exact;
    };
    auto sorted = [&](Side side) {
      std::vector<RefKeys> keys;
      for (int r = 0; r < session_.Table(side).RowCount(); ++r) keys.push_back(keysOf(side, r));
      std::stable_sort(keys.begin(), keys.end(), less);
      return keys;
    };
    const std::vector<RefKeys> sortedLeft = sorted(Side::kLeft);
    const std::vector<RefKeys> sortedRight = sorted(Side::kRight);
    // The reference pairs, as the keys each side brings (empty: none).
    using KeyPair = std::pair<std::vector<std::string>, std::vector<std::string>>;
    std::vector<KeyPair> expected;
    for (std::size_t i = 0, j = 0; i < sortedLeft.size() || j < sortedRight.size();) {
      const bool takeLeft = j == sortedRight.size() ||
                            (i < sortedLeft.size() && !less(sortedRight[j], sortedLeft[i]));
      const bool takeRight = i == sortedLeft.size() ||
                             (j < sortedRight.size() && !less(sortedLeft[i], sortedRight[j]));
      KeyPair p;
      if (takeLeft) p.first = sortedLeft[i++].exact;
      if (takeRight) p.second = sortedRight[j++].exact;
      expected.push_back(p);
    }
    std::vector<KeyPair> actual;
    std::vector<int> seenLeft(static_cast<std::size_t>(session_.LeftTable().RowCount()));
    std::vector<int> seenRight(static_cast<std::size_t>(session_.RightTable().RowCount()));
    int diffRecords = 0, leftOnly = 0, rightOnly = 0, diffCells = 0;
    std::vector<int> perField(fields.size());
    for (const RecordPair& p : session_.AllPairs()) {
      KeyPair k;
      if (p.LeftRow >= 0) {
        k.first = keysOf(Side::kLeft, p.LeftRow).exact;
        ++seenLeft.at(static_cast<std::size_t>(p.LeftRow));
      }
      if (p.RightRow >= 0) {
        k.second = keysOf(Side::kRight, p.RightRow).exact;
        ++seenRight.at(static_cast<std::size_t>(p.RightRow));
      }
      actual.push_back(k);
      int status = p.LeftRow < 0 ? kStatusRightOnly : kStatusLeftOnly;
      if (p.IsPaired()) {
        status = 0;
        for (std::size_t f = 0; f < fields.size(); ++f) {
          if (fields[f].NotCompared) continue;
          std::string l(session_.CellText(Side::kLeft, p.LeftRow, fields[f].FieldNoLeft));
          std::string r(session_.CellText(Side::kRight, p.RightRow, fields[f].FieldNoRight));
          if (fields[f].Compare == FieldCompare::kIgnoreSpaces) {
            l = RefNoSpaces(l);
            r = RefNoSpaces(r);
          }
          if (l != r) {
            ++status;
            ++perField[f];
          }
        }
        diffCells += status;
        diffRecords += status > 0;
      } else {
        (p.LeftRow < 0 ? rightOnly : leftOnly) += 1;
      }
      ASSERT_EQ(p.Status, status);
    }
    ASSERT_EQ(actual, expected);
    EXPECT_EQ(std::count(seenLeft.begin(), seenLeft.end(), 1),
              static_cast<std::ptrdiff_t>(seenLeft.size()));
    EXPECT_EQ(std::count(seenRight.begin(), seenRight.end(), 1),
              static_cast<std::ptrdiff_t>(seenRight.size()));
    EXPECT_EQ(session_.DiffRecordCount(), diffRecords);
    EXPECT_EQ(session_.LeftOnlyCount(), leftOnly);
    EXPECT_EQ(session_.RightOnlyCount(), rightOnly);
    EXPECT_EQ(session_.DiffCellCount(), diffCells);
    for (std::size_t f = 0; f < fields.size(); ++f) {
      EXPECT_EQ(fields[f].DiffCount, perField[f]) << "field " << f;
    }
    // Duplicate keys: records whose exact keys another record of their side shares.
    for (const auto* side : {&sortedLeft, &sortedRight}) {
      int duplicates = 0;
      for (std::size_t i = 0; i < side->size(); ++i) {
        const bool before = i > 0 && (*side)[i - 1].exact == (*side)[i].exact;
        const bool after = i + 1 < side->size() && (*side)[i + 1].exact == (*side)[i].exact;
        duplicates += before || after;
      }
      EXPECT_EQ(session_.DuplicateKeyCount(side == &sortedLeft ? Side::kLeft : Side::kRight),
                duplicates);
    }
    // The generator reached what the case is about.
    if (c.fieldsRight < c.keys.back()) {
      EXPECT_EQ(session_.RightTable().ColumnCount(), c.fieldsRight + 1);
    }
    // Re-classifying, as the re-setting does, gives the same statuses and counts.
    const Rows before = PairRows(session_.AllPairs());
    const int diffBefore = session_.DiffCellCount();
    session_.ClassifyPairs();
    EXPECT_EQ(PairRows(session_.AllPairs()), before);
    EXPECT_EQ(session_.DiffCellCount(), diffBefore);
  }
}

}  // namespace
}  // namespace korvel
