#include "compare/FieldGrid.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "TestUtil.h"
#include "platform/Notifier.h"

namespace korvel {
namespace {

using test::S;

// A grid of n field rows as the set-up chain leaves it before the dialog shows.
FieldGrid FilledGrid(int n) {
  FieldGrid grid;
  grid.GrowRows(n + 1);
  for (int i = 1; i <= n; ++i) grid.SetCell(i, FieldGrid::kNumeric, S("－"));
  return grid;
}

std::string Csv(int fields, const std::string& prefix) {
  std::string line;
  for (int i = 1; i <= fields; ++i) {
    if (i > 1) line += ',';
    line += prefix + std::to_string(i);
  }
  return line + "\r\n";
}

TEST(FieldGridTest, HeaderAndCells) {
  FieldGrid grid;
  EXPECT_EQ(grid.RowCount(), 1);
  EXPECT_EQ(grid.ColumnCount(), 9);
  EXPECT_EQ(grid.Cell(0, 0), "");
  EXPECT_EQ(grid.Cell(0, 8), S("数値比較"));
  EXPECT_EQ(grid.Cell(0, 1), S("連携"));
  EXPECT_EQ(grid.Cell(0, 3), S("SPC除く"));
  EXPECT_EQ(grid.Cell(0, 7), S("未取込"));
  grid.GrowRows(3);
  grid.SetCell(2, 5, "name");
  grid.GrowRows(2);  // never shrinks
  EXPECT_EQ(grid.RowCount(), 3);
  EXPECT_EQ(grid.Cell(2, 5), "name");
  EXPECT_EQ(grid.Cell(3, 5), "");
  EXPECT_EQ(grid.Cell(2, 8), "");
  grid.SetCell(5, 1, "x");  // outside: ignored
  EXPECT_EQ(grid.RowCount(), 3);
  EXPECT_EQ(FieldGrid::MarkText(), S("●"));
  EXPECT_EQ(FieldGrid::UnavailableText(), "\x81\x7C");

  // The re-setting holds every column but does not show 未取込.
  FieldGrid regrid = FieldGrid::ForReGrid();
  EXPECT_EQ(regrid.ColumnCount(), 9);
  EXPECT_EQ(regrid.Cell(0, 6), S("B項目"));
  EXPECT_EQ(regrid.Cell(0, 8), S("数値比較"));
  for (int c = 0; c < 9; ++c) {
    EXPECT_EQ(regrid.ShowsColumn(c), c != FieldGrid::kNotLoaded) << c;
    EXPECT_TRUE(grid.ShowsColumn(c)) << c;
  }
}

// 数値比較 holds "－" exactly while its row is a key or marked 不要 or 未取込; a click flips
// it otherwise. Each case is a sequence of clicks on a fresh row and the texts of
// 連携, 不要, 未取込 and 数値比較 after it.
TEST(FieldGridTest, NumberCompareFollowsKeyNotComparedAndNotLoaded) {
  const std::string m = S("●");
  const std::string d = S("－");
  using C = FieldGrid::Column;
  struct Case {
    const char* name;
    std::vector<C> clicks;
    std::vector<std::string> after;  // 連携, 不要, 未取込, 数値比較
  };
  const std::vector<Case> cases = {
      {"fresh row", {}, {"", "", "", ""}},
      {"marked", {C::kNumberCompare}, {"", "", "", m}},
      {"marked twice", {C::kNumberCompare, C::kNumberCompare}, {"", "", "", ""}},
      {"key", {C::kKey}, {m, d, "", d}},
      {"key, then click", {C::kKey, C::kNumberCompare}, {m, d, "", d}},
      {"mark lost to a key", {C::kNumberCompare, C::kKey}, {m, d, "", d}},
      {"key removed", {C::kNumberCompare, C::kKey, C::kKey}, {"", "", "", ""}},
      {"not compared", {C::kNumberCompare, C::kNotCompared}, {"", m, "", d}},
      {"not compared undone", {C::kNotCompared, C::kNotCompared}, {"", "", "", ""}},
      {"not loaded", {C::kNumberCompare, C::kNotLoaded}, {"", "", m, d}},
      {"not loaded undone", {C::kNotLoaded, C::kNotLoaded, C::kNumberCompare}, {"", "", "", m}},
      {"key off, still not loaded", {C::kNotLoaded, C::kKey, C::kKey}, {"", "", m, d}},
      {"both, one undone", {C::kNotLoaded, C::kNotCompared, C::kNotLoaded}, {"", m, "", d}},
      {"spaces beside", {C::kIgnoreSpaces, C::kNumberCompare}, {"", "", "", m}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FieldGrid grid = FilledGrid(1);
    for (C col : c.clicks) grid.Toggle(1, col);
    EXPECT_EQ(
        (std::vector<std::string>{grid.Cell(1, C::kKey), grid.Cell(1, C::kNotCompared),
                                  grid.Cell(1, C::kNotLoaded), grid.Cell(1, C::kNumberCompare)}),
        c.after);
  }
  // The re-setting: 数値比較 can be clicked, 未取込 cannot (its marks stand).
  FieldGrid regrid = FieldGrid::ForReGrid();
  regrid.GrowRows(4);
  regrid.Toggle(1, FieldGrid::kNumberCompare);
  regrid.Toggle(2, FieldGrid::kNotLoaded);
  EXPECT_EQ(regrid.Cell(1, FieldGrid::kNumberCompare), m);
  EXPECT_EQ(regrid.Cell(2, FieldGrid::kNotLoaded), "");
  regrid.SetCell(3, FieldGrid::kNotLoaded, m);
  regrid.SetCell(3, FieldGrid::kNumberCompare, d);
  regrid.Toggle(3, FieldGrid::kNotCompared);
  regrid.Toggle(3, FieldGrid::kNotCompared);
  EXPECT_EQ(regrid.Cell(3, FieldGrid::kNumberCompare), d);
}

TEST(FieldGridTest, ToggleFollowsTheDialogRules) {
  FieldGrid grid = FilledGrid(2);
  const std::string mark = S("●");
  const std::string dash = S("－");
  // 数値 on a row that is not a key changes nothing.
  grid.Toggle(1, FieldGrid::kNumeric);
  EXPECT_EQ(grid.Cell(1, 2), dash);
  // SPC除く set, then the row becomes a key: 数値 available, SPC除く and 不要 "－".
  grid.Toggle(1, FieldGrid::kIgnoreSpaces);
  EXPECT_EQ(grid.Cell(1, 3), mark);
  grid.Toggle(1, FieldGrid::kKey);
  EXPECT_EQ(grid.Cell(1, 1), mark);
  EXPECT_EQ(grid.Cell(1, 2), "");
  EXPECT_EQ(grid.Cell(1, 3), dash);
  EXPECT_EQ(grid.Cell(1, 4), dash);
  grid.Toggle(1, FieldGrid::kIgnoreSpaces);  // "－": nothing
  EXPECT_EQ(grid.Cell(1, 3), dash);
  grid.Toggle(1, FieldGrid::kNumeric);
  EXPECT_EQ(grid.Cell(1, 2), mark);
  grid.Toggle(1, FieldGrid::kNotLoaded);  // also on key rows
  EXPECT_EQ(grid.Cell(1, 7), mark);
  // Removing the key: 数値 "－", SPC除く and 不要 empty (not the earlier "●").
  grid.Toggle(1, FieldGrid::kKey);
  EXPECT_EQ(grid.Cell(1, 1), "");
  EXPECT_EQ(grid.Cell(1, 2), dash);
  EXPECT_EQ(grid.Cell(1, 3), "");
  EXPECT_EQ(grid.Cell(1, 4), "");
  EXPECT_EQ(grid.Cell(1, 7), mark);
  grid.Toggle(1, FieldGrid::kNotLoaded);
  EXPECT_EQ(grid.Cell(1, 7), "");
  grid.Toggle(2, FieldGrid::kNotCompared);
  EXPECT_EQ(grid.Cell(2, 4), mark);
  grid.Toggle(2, FieldGrid::kNotCompared);
  EXPECT_EQ(grid.Cell(2, 4), "");
  // Number, names, the header row and cells outside change nothing.
  grid.SetCell(2, 5, "A");
  grid.Toggle(2, FieldGrid::kNameA);
  grid.Toggle(2, FieldGrid::kNumber);
  grid.Toggle(0, FieldGrid::kKey);
  grid.Toggle(3, FieldGrid::kKey);
  EXPECT_EQ(grid.Cell(2, 5), "A");
  EXPECT_EQ(grid.Cell(0, 1), S("連携"));
  EXPECT_EQ(grid.RowCount(), 3);

  // The re-setting grid: 連携 and 数値 are fixed.
  FieldGrid regrid = FieldGrid::ForReGrid();
  regrid.GrowRows(2);
  regrid.SetCell(1, 1, mark);
  regrid.Toggle(1, FieldGrid::kKey);
  regrid.Toggle(1, FieldGrid::kNumeric);
  EXPECT_EQ(regrid.Cell(1, 1), mark);
  EXPECT_EQ(regrid.Cell(1, 2), "");
  regrid.Toggle(1, FieldGrid::kIgnoreSpaces);
  EXPECT_EQ(regrid.Cell(1, 3), mark);
}

TEST(FieldGridTest, HintsPerColumn) {
  EXPECT_EQ(FieldGrid::ColumnHint(1), S("●を付けると比較対象の同じ値のレコードで比較をします。"));
  EXPECT_EQ(FieldGrid::ColumnHint(2), S("連携項目にのみ指定可能で数値として並び替えします。"));
  EXPECT_EQ(FieldGrid::ColumnHint(3), S("●を付けるとスペース(全角,半角)を除いて相違比較します。"));
  EXPECT_EQ(FieldGrid::ColumnHint(4), S("●を付けると相違比較しません。"));
  EXPECT_EQ(FieldGrid::ColumnHint(7),
            S("●を付けると取込しません。（サイズが大きすぎて取り込めない項目など）"));
  EXPECT_EQ(FieldGrid::ColumnHint(8),
            S("●を付けると数値として比較し、差が許容差以内なら相違としません。"));
  EXPECT_EQ(FieldGrid::ColumnHint(0), "");
  EXPECT_EQ(FieldGrid::ColumnHint(5), "");
  EXPECT_EQ(FieldGrid::ColumnHint(6), "");
}

TEST(FieldGridTest, ConfirmLimitsKeysThenNotLoaded) {
  RecordingNotifier notifier;
  FieldGrid grid = FilledGrid(10);
  for (int i = 1; i <= 6; ++i) grid.Toggle(i, FieldGrid::kKey);
  for (int i = 1; i <= 4; ++i) grid.Toggle(i, FieldGrid::kNotLoaded);
  EXPECT_EQ(test::Shown(notifier, grid.ConfirmMarks()), 0);
  EXPECT_TRUE(notifier.Entries().empty());

  grid.Toggle(9, FieldGrid::kNotLoaded);
  grid.Toggle(7, FieldGrid::kKey);
  EXPECT_EQ(test::Shown(notifier, grid.ConfirmMarks()), -1);
  grid.Toggle(7, FieldGrid::kKey);
  EXPECT_EQ(test::Shown(notifier, grid.ConfirmMarks()), -1);
  ASSERT_EQ(notifier.Texts(), (std::vector<std::string>{"連携の指定は７個以上出来ません。",
                                                        "未取込の指定は５個以上出来ません。"}));
  EXPECT_EQ(notifier.Entries()[0].box.caption, S("注意"));
  EXPECT_EQ(notifier.Entries()[0].box.icon, MessageIcon::kWarning);

  // Without the 未取込 column only the keys are checked; no key at all is accepted.
  FieldGrid regrid = FieldGrid::ForReGrid();
  regrid.GrowRows(3);
  EXPECT_EQ(test::Shown(notifier, regrid.ConfirmMarks()), 0);
}

TEST(FieldGridTest, FillFromNameLinesAndFirstRecords) {
  test::TempDir dir;
  RecordingNotifier notifier;
  NotifierPrompter prompter(notifier);
  std::string longName = std::string(29, 'n') + S("名前");  // 33 bytes: cut before 名
  std::string left = dir.Write("left.csv", "A,B\r\n1,2\r\n");
  std::string right = dir.Write("right.csv", "A,B," + longName + "\r\nx,y,z\r\n");
  DelimitedReading reading;
  GridFillState state;
  FieldGrid grid;
  ASSERT_EQ(test::Shown(notifier, FillFieldGrid(grid, FieldGrid::kNameA, reading, true, left, state,
                                                prompter)),
            0);
  ASSERT_EQ(test::Shown(notifier, FillFieldGrid(grid, FieldGrid::kNameB, reading, true, right,
                                                state, prompter)),
            0);
  ASSERT_EQ(grid.RowCount(), 4);
  EXPECT_EQ(grid.Cell(1, 0), "   1");
  EXPECT_EQ(grid.Cell(3, 0), "   3");
  EXPECT_EQ(grid.Cell(3, 2), S("－"));
  EXPECT_EQ(grid.Cell(2, 5), "B");
  EXPECT_EQ(grid.Cell(3, 5), "");
  EXPECT_EQ(grid.Cell(3, 6), std::string(29, 'n'));
  EXPECT_EQ(state.MaxNameCount, 3);

  // Without names the grid shows the first record's values; MaxNameCount stays.
  FieldGrid samples;
  GridFillState noNames;
  std::string tab = dir.Write("tab.txt", S("値\tb\t\tc\r\n"));
  DelimitedReading tabs;
  tabs.FileKind = kFileKindDelimited;
  ASSERT_EQ(test::Shown(notifier, FillFieldGrid(samples, FieldGrid::kNameA, tabs, false, tab,
                                                noNames, prompter)),
            0);
  ASSERT_EQ(samples.RowCount(), 5);
  EXPECT_EQ(samples.Cell(1, 5), S("値"));
  EXPECT_EQ(samples.Cell(3, 5), "");
  EXPECT_EQ(samples.Cell(4, 5), "c");
  EXPECT_EQ(noNames.MaxNameCount, 0);
  // The same file read as CSV is one field.
  FieldGrid asCsv;
  ASSERT_EQ(test::Shown(notifier, FillFieldGrid(asCsv, FieldGrid::kNameA, reading, false, tab,
                                                noNames, prompter)),
            0);
  EXPECT_EQ(asCsv.RowCount(), 2);
  EXPECT_TRUE(notifier.Entries().empty());
}

// Header names reach the grid cut to 30 bytes, a double-byte character across byte 30
// dropped whole.
TEST(FieldGridTest, HeaderNamesAreCutAtThirtyBytes) {
  test::TempDir dir;
  RecordingNotifier notifier;
  NotifierPrompter prompter(notifier);
  const std::string hyo = S("表");
  struct Case {
    std::string name;
    std::string shown;
  };
  const std::vector<Case> cases = {
      {std::string(30, 'a'), std::string(30, 'a')},
      {std::string(31, 'b'), std::string(30, 'b')},
      {test::Cat(std::string(28, 'c'), hyo), test::Cat(std::string(28, 'c'), hyo)},
      {test::Cat(std::string(29, 'd'), hyo), std::string(29, 'd')},
      {test::Cat(std::string(29, 'e'), hyo, "z"), std::string(29, 'e')},
      {std::string(31, '\xB1'), std::string(30, '\xB1')},
  };
  std::string header;
  for (const Case& c : cases) {
    if (!header.empty()) header += ',';
    header += c.name;
  }
  const std::string path = dir.Write("names.csv", header + "\r\n1\r\n");
  DelimitedReading reading;
  GridFillState state;
  FieldGrid grid;
  ASSERT_EQ(test::Shown(notifier, FillFieldGrid(grid, FieldGrid::kNameA, reading, true, path, state,
                                                prompter)),
            0);
  ASSERT_EQ(grid.RowCount(), static_cast<int>(cases.size()) + 1);
  for (std::size_t i = 0; i < cases.size(); ++i) {
    EXPECT_EQ(grid.Cell(static_cast<int>(i) + 1, FieldGrid::kNameA), cases[i].shown)
        << "field " << i + 1;
  }
  EXPECT_TRUE(notifier.Entries().empty());
}

TEST(FieldGridTest, FieldCountLimitsAndFailures) {
  test::TempDir dir;
  RecordingNotifier notifier;
  NotifierPrompter prompter(notifier);
  DelimitedReading reading;

  // 300 names on both sides: one warning, 255 rows.
  std::string wide = dir.Write("wide.csv", Csv(300, "N") + Csv(300, "v"));
  GridFillState state;
  FieldGrid grid;
  ASSERT_EQ(test::Shown(notifier, FillFieldGrid(grid, FieldGrid::kNameA, reading, true, wide, state,
                                                prompter)),
            0);
  ASSERT_EQ(test::Shown(notifier, FillFieldGrid(grid, FieldGrid::kNameB, reading, true, wide, state,
                                                prompter)),
            0);
  EXPECT_EQ(grid.RowCount(), 256);
  EXPECT_EQ(grid.Cell(255, 6), "N255");
  EXPECT_EQ(state.MaxNameCount, 255);
  EXPECT_EQ(notifier.Texts(),
            std::vector<std::string>{"255を超えるフィールドについては比較対象から除かれます。"});
  // A new filling warns again; so does the no-names mode.
  GridFillState next;
  FieldGrid other;
  ASSERT_EQ(test::Shown(notifier, FillFieldGrid(other, FieldGrid::kNameA, reading, false, wide,
                                                next, prompter)),
            0);
  EXPECT_EQ(notifier.Entries().size(), 2u);
  EXPECT_EQ(next.MaxNameCount, 0);
  EXPECT_EQ(other.Cell(2, 5), "N2");

  // Over 1000 fields in the first record without names.
  notifier.Clear();
  std::string huge = dir.Write("huge.csv", Csv(1001, ""));
  FieldGrid g2;
  GridFillState s2;
  EXPECT_EQ(test::Shown(notifier,
                        FillFieldGrid(g2, FieldGrid::kNameA, reading, false, huge, s2, prompter)),
            -1);
  EXPECT_EQ(notifier.Texts(), std::vector<std::string>{"フィールド数をオーバーしました。"});
  EXPECT_EQ(g2.RowCount(), 1);
  // A file without any record after its byte-order mark.
  notifier.Clear();
  std::string bomOnly = dir.Write("bom.csv", "\xEF\xBB\xBF");
  DelimitedReading utf8 = reading;
  utf8.Encoding = 15;
  EXPECT_EQ(test::Shown(notifier,
                        FillFieldGrid(g2, FieldGrid::kNameA, utf8, false, bomOnly, s2, prompter)),
            -1);
  EXPECT_EQ(notifier.Texts(), std::vector<std::string>{"フィールドが存在しません。"});
  // The reader's own text when the file cannot be opened.
  notifier.Clear();
  EXPECT_EQ(test::Shown(notifier, FillFieldGrid(g2, FieldGrid::kNameA, reading, true,
                                                dir.File("missing.csv"), s2, prompter)),
            -1);
  EXPECT_EQ(notifier.Texts(), std::vector<std::string>{"ファイルが見つかりません。"});
  // Without a fixed-length reader there are no definitions.
  notifier.Clear();
  EXPECT_EQ(test::Shown(notifier, FillFieldGridFixed(g2, FieldGrid::kNameA, nullptr)), -1);
  EXPECT_EQ(notifier.Texts(), std::vector<std::string>{"フィールドが存在しません。"});
}

// A quote that never closes in the record the filling reads (the name line, or else the first
// record) is told with its line, as the run tells it; one further down is the run's affair.
TEST(FieldGridTest, UnclosedQuoteInTheReadRecordIsTold) {
  test::TempDir dir;
  RecordingNotifier notifier;
  NotifierPrompter prompter(notifier);
  const DelimitedReading reading;
  struct Case {
    const char* what;
    std::string input;
    bool names;
    int result;
    std::vector<std::string> texts;
  };
  const Case cases[] = {
      {"in the name line", "a,\"b\r\nc\r\n", true, -1, {"引用符が閉じられていません。(1行目)"}},
      {"in the first record", "a,\"b\r\nc\r\n", false, -1, {"引用符が閉じられていません。(1行目)"}},
      {"after the name line", "a,b\r\nc,\"d\r\ne\r\n", true, 0, {}},
  };
  for (const Case& c : cases) {
    notifier.Clear();
    GridFillState state;
    FieldGrid grid;
    EXPECT_EQ(test::Shown(notifier, FillFieldGrid(grid, FieldGrid::kNameA, reading, c.names,
                                                  dir.Write("q.csv", c.input), state, prompter)),
              c.result)
        << c.what;
    EXPECT_EQ(notifier.Texts(), c.texts) << c.what;
  }
}

}  // namespace
}  // namespace korvel
