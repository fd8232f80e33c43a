#include "compare/FieldNames.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "TestUtil.h"
#include "compare/CompareSession.h"
#include "platform/Notifier.h"

namespace korvel {
namespace {

using test::Cat;
using test::S;

std::vector<std::string> Split(const std::string& names) {
  std::vector<std::string> out;
  std::size_t start = 0;
  for (;;) {
    std::size_t comma = names.find(',', start);
    out.push_back(names.substr(start, comma - start));
    if (comma == std::string::npos) return out;
    start = comma + 1;
  }
}

using Rows = std::vector<std::pair<int, int>>;  // left field, right field (-1: none)

Rows RowsOf(const FieldPairing& p) {
  Rows rows;
  for (std::size_t i = 0; i < p.Left.size(); ++i) rows.emplace_back(p.Left[i], p.Right[i]);
  return rows;
}

TEST(PairFieldsByNameTest, RowsAreLeftFieldsThenRightOnlyOnes) {
  struct Case {
    const char* what;
    std::string left;
    std::string right;
    Rows rows;
  };
  const std::string longA = std::string(32, 'n') + "A";  // alike in their first 30 bytes
  const std::string longB = std::string(32, 'n') + "B";
  const Case cases[] = {
      {"same order", "id,name,age", "id,name,age", {{1, 1}, {2, 2}, {3, 3}}},
      {"inserted", "id,name,age", "id,new,name,age", {{1, 1}, {2, 3}, {3, 4}, {-1, 2}}},
      {"dropped", "id,name,age", "id,age", {{1, 1}, {2, -1}, {3, 2}}},
      {"swapped", "id,name,age", "id,age,name", {{1, 1}, {2, 3}, {3, 2}}},
      {"repeated names pair in order", "a,x,x", "x,b,x", {{1, -1}, {2, 1}, {3, 3}, {-1, 2}}},
      {"more on the left", "x,x,x", "x", {{1, 1}, {2, -1}, {3, -1}}},
      {"empty names never pair",
       "id,,age",
       ",id,age,",
       {{1, 2}, {2, -1}, {3, 3}, {-1, 1}, {-1, 4}}},
      {"nothing in common", "a,b", "c,d", {{1, -1}, {2, -1}, {-1, 1}, {-1, 2}}},
      {"full names",
       Cat("id,", longA, ",", longB),
       Cat(longB, ",", longA, ",id"),
       {{1, 3}, {2, 2}, {3, 1}}},
      {"case and width matter", S("ID,ｶﾅ"), S("id,カナ"), {{1, -1}, {2, -1}, {-1, 1}, {-1, 2}}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(RowsOf(PairFieldsByName(Split(c.left), Split(c.right))), c.rows) << c.what;
  }
}

TEST(FindFieldByNameTest, OneMatchOrWhyNot) {
  const std::vector<std::string> names = {S("社員番号"), S("氏名"), "", S("氏名"), "x"};
  const std::pair<std::string, int> cases[] = {
      {S("社員番号"), 1},
      {"x", 5},
      {S("氏名"), kFieldNameRepeated},
      {S("部署"), kFieldNameMissing},
      {"", kFieldNameMissing},
      {"X", kFieldNameMissing},
      {S("社員"), kFieldNameMissing},
  };
  for (const auto& [name, expected] : cases) {
    EXPECT_EQ(FindFieldByName(names, name), expected) << name;
  }
}

// A whole comparison with the fields paired by name.
class MatchNamesTest : public ::testing::Test {
 protected:
  // Runs with top-row names and keys given by their rows in the shown list.
  int Run(const std::string& left, const std::string& right, std::vector<int> keys,
          bool matchNames = true, std::vector<int> notLoaded = {}) {
    CompareSettings& s = session_.EditSettings();
    s.TopRowNames = true;
    s.MatchNames = matchNames;
    s.PathL = dir_.Write("l.csv", left);
    s.PathR = dir_.Write("r.csv", right);
    session_.StartSetUp();
    grid_ = FieldGrid();
    notifier_.Clear();
    if (test::Shown(notifier_, session_.FillFieldGrids(grid_, prompter_)) != 0) return -100;
    for (int j : keys) grid_.Toggle(j, FieldGrid::kKey);
    for (int j : notLoaded) grid_.Toggle(j, FieldGrid::kNotLoaded);
    return test::Shown(notifier_, session_.CompareSides(grid_));
  }

  // Each shown field: name, left and right field number, the records it differs in.
  using Field = std::tuple<std::string, int, int, int>;
  std::vector<Field> Fields() const {
    std::vector<Field> out;
    for (const ResultField& f : session_.Fields())
      out.emplace_back(f.Name, f.FieldNoLeft, f.FieldNoRight, f.DiffCount);
    return out;
  }
  std::tuple<int, int, int> Counts() const {
    return {session_.DiffRecordCount(), session_.LeftOnlyCount(), session_.RightOnlyCount()};
  }

  test::TempDir dir_;
  RecordingNotifier notifier_;
  NotifierPrompter prompter_{notifier_};
  CompareSession session_;
  FieldGrid grid_;
};

// The left file against right files that moved its columns around; each right file holds
// one real difference (employee 1002's age) and the records in another order.
TEST_F(MatchNamesTest, OnlyTheRealDifferencesWhateverTheColumnOrder) {
  const std::string left = S(
      "社員番号,氏名,部署,年齢\r\n1001,佐藤,営業,30\r\n1002,鈴木,総務,41\r\n1003,高橋,開発,25\r\n");
  struct Case {
    const char* what;
    std::string right;
    std::vector<Field> fields;
    int positionalDiffs;  // what the same files give without the pairing by name
  };
  const std::string id = S("社員番号"), name = S("氏名"), dept = S("部署"), age = S("年齢");
  const Case cases[] = {
      {"inserted",
       S("社員番号,入社年,氏名,部署,年齢\r\n1003,2020,高橋,開発,25\r\n1002,2001,鈴木,総務,"
         "42\r\n1001,2015,佐藤,営業,30\r\n"),
       {{id, 1, 1, 0}, {name, 2, 3, 0}, {dept, 3, 4, 0}, {age, 4, 5, 1}, {S("入社年"), -1, 2, 0}},
       3},
      {"dropped",
       S("社員番号,氏名,年齢\r\n1002,鈴木,42\r\n1001,佐藤,30\r\n1003,高橋,25\r\n"),
       {{id, 1, 1, 0}, {name, 2, 2, 0}, {dept, 3, -1, 0}, {age, 4, 3, 1}},
       3},
      {"swapped",
       S("社員番号,部署,氏名,年齢\r\n1001,営業,佐藤,30\r\n1003,開発,高橋,25\r\n1002,総務,鈴木,"
         "42\r\n"),
       {{id, 1, 1, 0}, {name, 2, 3, 0}, {dept, 3, 2, 0}, {age, 4, 4, 1}},
       3},
  };
  for (const Case& c : cases) {
    ASSERT_EQ(Run(left, c.right, {1}), 0) << c.what;
    EXPECT_EQ(Fields(), c.fields) << c.what;
    EXPECT_EQ(Counts(), std::make_tuple(1, 0, 0)) << c.what;
    EXPECT_EQ(session_.DiffCellCount(), 1) << c.what;
    EXPECT_TRUE(notifier_.Texts().empty()) << c.what;
    // The one differing record is 1002, whatever row it is on the right.
    for (const RecordPair& p : session_.AllPairs()) {
      const bool is1002 = session_.CellText(Side::kLeft, p.LeftRow, 1) == "1002";
      EXPECT_EQ(p.Status, is1002 ? 1 : 0) << c.what;
    }
    ASSERT_EQ(Run(left, c.right, {1}, false), 0) << c.what;
    EXPECT_EQ(session_.DiffRecordCount(), c.positionalDiffs) << c.what;
  }
}

// Rows that hold the same bytes on both sides are equal only where each field reads the
// same column on both: here the names cross two columns, so the first record differs in
// both although its lines are alike, and the second, whose two cells agree, does not.
TEST_F(MatchNamesTest, AlikeLinesDifferWhenTheNamesCrossTheColumns) {
  const std::string left = "ID,A,B\r\n1,x,y\r\n2,p,p\r\n";
  const std::string right = "ID,B,A\r\n1,x,y\r\n2,p,p\r\n";
  ASSERT_EQ(Run(left, right, {1}), 0);
  EXPECT_EQ(Fields(), (std::vector<Field>{{"ID", 1, 1, 0}, {"A", 2, 3, 1}, {"B", 3, 2, 1}}));
  EXPECT_EQ(Counts(), std::make_tuple(1, 0, 0));
  ASSERT_EQ(session_.AllPairs().size(), 2u);
  EXPECT_EQ(session_.AllPairs()[0].Status, 2);
  EXPECT_EQ(session_.AllPairs()[1].Status, 0);
  // By position the same files are equal throughout.
  ASSERT_EQ(Run(left, right, {1}, false), 0);
  EXPECT_EQ(Counts(), std::make_tuple(0, 0, 0));
}

TEST_F(MatchNamesTest, RepeatedNamesPairInOrderOfOccurrence) {
  // Paired by occurrence, left x(2)-right x(1) and left x(3)-right x(3) hold the same texts.
  ASSERT_EQ(Run("k,x,x\r\n1,p,q\r\n2,r,s\r\n", "x,k,x\r\np,1,q\r\nr,2,S\r\n", {1}), 0);
  EXPECT_EQ(Fields(), (std::vector<Field>{{"k", 1, 2, 0}, {"x", 2, 1, 0}, {"x", 3, 3, 1}}));
  EXPECT_EQ(Counts(), std::make_tuple(1, 0, 0));
}

TEST_F(MatchNamesTest, KeysMustBeOnBothSides) {
  const std::string left = S("社員番号,部署\r\n1,a\r\n");
  const std::string right = S("部署,番号\r\na,1\r\n");
  struct Case {
    std::vector<int> keys;
    std::string refusal;
  };
  const Case cases[] = {
      {{1}, "キー項目が両方のファイルにありません。(社員番号)"},
      {{3}, "キー項目が両方のファイルにありません。(番号)"},
      {{2, 3}, "キー項目が両方のファイルにありません。(番号)"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Run(left, right, c.keys), -1);
    EXPECT_EQ(notifier_.Texts(), std::vector<std::string>{c.refusal});
    EXPECT_TRUE(session_.AllPairs().empty());
    EXPECT_TRUE(session_.Fields().empty());
    // The field-control dialog refuses it before the run, with the same words.
    EXPECT_EQ(test::Texts(grid_.ConfirmMarks()), std::vector<std::string>{c.refusal});
  }
  // The shared field is a key like any other.
  EXPECT_EQ(Run(left, right, {2}), 0);
  EXPECT_EQ(Counts(), std::make_tuple(0, 0, 0));
}

TEST_F(MatchNamesTest, OneSidedFieldsNeverDiffer) {
  ASSERT_EQ(Run("k,a\r\n1,x\r\n2,y\r\n", "k,b\r\n1,z\r\n3,w\r\n", {1}), 0);
  EXPECT_EQ(Fields(), (std::vector<Field>{{"k", 1, 1, 0}, {"a", 2, -1, 0}, {"b", -1, 2, 0}}));
  EXPECT_EQ(Counts(), std::make_tuple(0, 1, 1));
  const ResultField& a = session_.Fields()[1];
  EXPECT_TRUE(a.IsOneSided());
  EXPECT_FALSE(a.CellsDiffer("x", ""));
  EXPECT_EQ(session_.CellText(Side::kRight, 0, a.FieldNoRight), "");
  // An extraction of a one-sided field finds it equal in every paired record.
  ASSERT_EQ(session_.ExtractColumn(1, true).Code(), 0);
  EXPECT_TRUE(session_.ExtractPairs().empty());
  ASSERT_EQ(session_.ExtractColumn(2, false).Code(), 0);
  EXPECT_EQ(session_.ExtractPairs().size(), 1u);
}

TEST_F(MatchNamesTest, NoNameInCommonWarnsAndComparesNothing) {
  ASSERT_EQ(Run("a,b\r\n1,2\r\n", "c,d\r\n3,4\r\n5,6\r\n", {}), 0);
  EXPECT_EQ(notifier_.Texts(),
            std::vector<std::string>{"左右のファイルに同じ項目名がありません。"});
  EXPECT_EQ(Fields(), (std::vector<Field>{
                          {"a", 1, -1, 0}, {"b", 2, -1, 0}, {"c", -1, 1, 0}, {"d", -1, 2, 0}}));
  // Without keys the records pair by position; no field compares.
  EXPECT_EQ(Counts(), std::make_tuple(0, 0, 1));
}

TEST_F(MatchNamesTest, LongAndEmptyNames) {
  const std::string longA = Cat(std::string(40, 'n'), "A");
  const std::string longB = Cat(std::string(40, 'n'), "B");
  ASSERT_EQ(Run(Cat("k,", longA, ",", longB, ",\r\n1,a,b,c\r\n"),
                Cat(",", longB, ",k,", longA, "\r\nz,b,1,a\r\n"), {1}),
            0);
  // The grid shows the names cut to 30 bytes; they paired by their full texts.
  EXPECT_EQ(grid_.Cell(2, FieldGrid::kNameA), std::string(30, 'n'));
  const std::string cut(30, 'n');
  EXPECT_EQ(Fields(),
            (std::vector<Field>{
                {"k", 1, 3, 0}, {cut, 2, 4, 0}, {cut, 3, 2, 0}, {"", 4, -1, 0}, {"", -1, 1, 0}}));
  EXPECT_EQ(Counts(), std::make_tuple(0, 0, 0));
  // The full names name the rows; the cut ones are no names.
  EXPECT_EQ(session_.RowNames(grid_), (std::vector<std::string>{"k", longA, longB, "", ""}));
}

// Not-loaded and key marks reach each file's own column.
TEST_F(MatchNamesTest, MarksReachEachSidesOwnColumn) {
  ASSERT_EQ(Run("k,a,b\r\n1,x,y\r\n", "a,b,k\r\nX,Y,1\r\n", {1}, true, {2}), 0);
  EXPECT_EQ(Counts(), std::make_tuple(1, 0, 0));
  EXPECT_EQ(session_.CellText(Side::kLeft, 0, 2), "");   // a: not loaded on the left ...
  EXPECT_EQ(session_.CellText(Side::kRight, 0, 1), "");  // ... nor on the right
  EXPECT_EQ(session_.CellText(Side::kRight, 0, 2), "Y");
  EXPECT_EQ(session_.CellText(Side::kLeft, 0, 3), "y");
  EXPECT_EQ(Fields()[1], Field("a", 2, 1, 0));
  EXPECT_EQ(Fields()[2], Field("b", 3, 2, 1));
}

// The re-setting grid keeps the pairing: each row names its field's columns and a
// one-sided row shows only its own name, with SPC除く and 不要 unavailable.
TEST_F(MatchNamesTest, ReGridShowsOneSidedRows) {
  ASSERT_EQ(Run("k,a\r\n1,x\r\n", "b,k\r\ny,1\r\n", {1}), 0);
  FieldGrid re = session_.MakeReGridGrid();
  ASSERT_EQ(re.RowCount(), 4);
  const std::string dash = FieldGrid::UnavailableText();
  struct Row {
    int left, right;
    std::string nameA, nameB, spaces;
  };
  const Row rows[] = {{1, 2, "k", "k", dash}, {2, -1, "a", "", dash}, {-1, 1, "", "b", dash}};
  for (int r = 1; r <= 3; ++r) {
    const Row& want = rows[r - 1];
    EXPECT_EQ(re.FieldNo(r, Side::kLeft), want.left) << r;
    EXPECT_EQ(re.FieldNo(r, Side::kRight), want.right) << r;
    EXPECT_EQ(re.Cell(r, FieldGrid::kNameA), want.nameA) << r;
    EXPECT_EQ(re.Cell(r, FieldGrid::kNameB), want.nameB) << r;
    EXPECT_EQ(re.Cell(r, FieldGrid::kIgnoreSpaces), want.spaces) << r;
    EXPECT_EQ(re.Cell(r, FieldGrid::kNotCompared), want.spaces) << r;
  }
  // A click on 不要 of a one-sided row changes nothing; the key's own stays unavailable.
  re.Toggle(2, FieldGrid::kNotCompared);
  EXPECT_EQ(re.Cell(2, FieldGrid::kNotCompared), dash);
}

// In the set-up grid a one-sided row made a key and back keeps its marks unavailable.
TEST_F(MatchNamesTest, SetUpGridMarksOneSidedRows) {
  ASSERT_EQ(Run("k,a\r\n1,x\r\n", "k\r\n1\r\n", {}), 0);
  const std::string dash = FieldGrid::UnavailableText();
  EXPECT_TRUE(grid_.IsOneSided(2));
  EXPECT_FALSE(grid_.IsOneSided(1));
  for (int clicks = 0; clicks < 2; ++clicks) grid_.Toggle(2, FieldGrid::kKey);
  EXPECT_EQ(grid_.Cell(2, FieldGrid::kIgnoreSpaces), dash);
  EXPECT_EQ(grid_.Cell(2, FieldGrid::kNotCompared), dash);
  for (int clicks = 0; clicks < 2; ++clicks) grid_.Toggle(1, FieldGrid::kKey);
  EXPECT_EQ(grid_.Cell(1, FieldGrid::kNotCompared), "");
}

// Without top-row names, or for fixed-length files, the choice does nothing.
TEST_F(MatchNamesTest, TheChoiceNeedsTopRowNames) {
  session_.EditSettings().MatchNames = true;
  session_.EditSettings().TopRowNames = false;
  EXPECT_FALSE(session_.MatchesNames());
  session_.EditSettings().TopRowNames = true;
  session_.EditSettings().FileKind = kFileKindFixed;
  EXPECT_FALSE(session_.MatchesNames());
  session_.EditSettings().FileKind = kFileKindDelimited;
  EXPECT_TRUE(session_.MatchesNames());
}

}  // namespace
}  // namespace korvel
