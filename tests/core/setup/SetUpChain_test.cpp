#include "setup/SetUpChain.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "TestUtil.h"
#include "compare/FixedWidthRecordReader.h"
#include "io/FixedWidthReader.h"
#include "platform/Notifier.h"
#include "settings/SettingsStore.h"

namespace korvel {
namespace {

using test::S;

enum class Dialog { kFiles, kFixed, kFields };

// One answer of the script: which dialog is expected, what it does to what it was given,
// and its result.
struct Step {
  Dialog dialog;
  int result;
  std::function<void(CompareSettings&)> onFiles = nullptr;
  std::function<void(FieldGrid&)> onFields = nullptr;
  std::function<void()> onFixed = nullptr;
};

// Answers the chain's dialogs from a script and records what each was shown. A dialog that
// the script does not expect fails the test and cancels.
class ScriptedDialogs : public SetUpDialogs {
 public:
  explicit ScriptedDialogs(std::vector<Step> steps) : steps_(steps.begin(), steps.end()) {}

  int SelectFiles(CompareSettings& settings) override {
    shownSettings.push_back(settings);
    Step* step = Next(Dialog::kFiles);
    if (step == nullptr) return 0;
    if (step->result != 0 && step->onFiles) step->onFiles(settings);
    return step->result;
  }
  int DefineFixedLength(const std::string& leftPath, int encoding, bool detectBom) override {
    fixedCalls.push_back({leftPath, encoding, detectBom});
    Step* step = Next(Dialog::kFixed);
    if (step == nullptr) return 0;
    if (step->onFixed) step->onFixed();
    return step->result;
  }
  int ControlFields(FieldGrid& grid) override {
    shownGrids.push_back(grid);
    Step* step = Next(Dialog::kFields);
    if (step == nullptr) return 0;
    if (step->onFields) step->onFields(grid);
    return step->result;
  }

  struct FixedCall {
    std::string leftPath;
    int encoding;
    bool detectBom;
  };
  std::vector<Dialog> order;
  std::vector<CompareSettings> shownSettings;
  std::vector<FixedCall> fixedCalls;
  std::vector<FieldGrid> shownGrids;
  bool Finished() const { return steps_.empty(); }

 private:
  Step* Next(Dialog dialog) {
    order.push_back(dialog);
    if (steps_.empty()) {
      ADD_FAILURE() << "a dialog beyond the script";
      return nullptr;
    }
    current_ = steps_.front();
    steps_.pop_front();
    EXPECT_EQ(current_.dialog, dialog) << "dialog " << order.size();
    return current_.dialog == dialog ? &current_ : nullptr;
  }

  std::deque<Step> steps_;
  Step current_{Dialog::kFiles, 0};
};

std::string CsvLine(int fields, const std::string& prefix) {
  std::string line;
  for (int i = 1; i <= fields; ++i) line += (i > 1 ? "," : "") + prefix + std::to_string(i);
  return line + "\r\n";
}

class SetUpChainTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (const char* old = std::getenv("KORVEL_HOME")) previousHome_ = old;
    ::setenv("KORVEL_HOME", home_.Path().c_str(), 1);
    global_ = std::make_unique<SettingsStore>();
    left_ = dir_.Write("left.csv", "id,name\r\n1,a\r\n2,b\r\n");
    right_ = dir_.Write("right.csv", "id,name,extra\r\n1,a,x\r\n");
  }
  void TearDown() override {
    if (previousHome_) {
      ::setenv("KORVEL_HOME", previousHome_->c_str(), 1);
    } else {
      ::unsetenv("KORVEL_HOME");
    }
  }

  // The names in one name column of a grid, rows 1 to the last.
  static std::vector<std::string> Names(const FieldGrid& grid, int column) {
    std::vector<std::string> names;
    for (int r = 1; r < grid.RowCount(); ++r) names.push_back(grid.Cell(r, column));
    return names;
  }

  test::TempDir home_;
  std::optional<std::string> previousHome_;
  test::TempDir dir_;
  std::unique_ptr<SettingsStore> global_;
  CompareSession session_;
  RecordingNotifier notifier_;
  NotifierPrompter prompter_{notifier_};
  std::string left_, right_;
};

TEST_F(SetUpChainTest, CancelledFileSelectionChangesNothing) {
  session_.EditSettings().FileKind = kFileKindDelimited;
  session_.EditSettings().Delimiter = ';';
  session_.EditSettings().OtherDelimiter = ';';
  session_.EditSettings().PathL = "/old/l.csv";
  session_.EditSettings().PathR = "/old/r.csv";
  session_.EditSettings().FromClipboard = true;
  session_.EditSettings().Encoding = 15;
  ScriptedDialogs dialogs({{Dialog::kFiles, 0, [](CompareSettings& s) { s.PathL = "x"; }}});
  FieldGrid grid;
  SetUpChain chain(session_, *global_, dialogs, prompter_);
  EXPECT_FALSE(chain.Run(std::nullopt, grid));

  ASSERT_EQ(dialogs.shownSettings.size(), 1u);
  const CompareSettings& shown = dialogs.shownSettings[0];
  EXPECT_EQ(shown.FileKind, kFileKindDelimited);
  EXPECT_EQ(shown.Delimiter, ';');
  EXPECT_EQ(shown.PathL, "/old/l.csv");
  EXPECT_TRUE(shown.FromClipboard);
  EXPECT_EQ(shown.Encoding, 15);
  EXPECT_EQ(session_.Settings().PathL, "/old/l.csv");
  EXPECT_TRUE(session_.Settings().FromClipboard);
  EXPECT_EQ(grid.RowCount(), 1);
}

TEST_F(SetUpChainTest, BackFromFieldControlShowsTheConfirmedSelectionThenRuns) {
  global_->SetTabOldType(1);
  global_->SetNewlineMode(2);
  auto confirm = [this](CompareSettings& s) {
    s.FileKind = kFileKindCsv;
    s.TopRowNames = true;
    s.PathL = left_;
    s.PathR = right_;
  };
  ScriptedDialogs dialogs({
      {Dialog::kFiles, 1, confirm},
      {Dialog::kFields, -1},
      {Dialog::kFiles, 1},  // confirmed as shown
      {Dialog::kFields, 1, nullptr, [](FieldGrid& g) { g.Toggle(1, FieldGrid::kKey); }},
  });
  FieldGrid grid;
  SetUpChain chain(session_, *global_, dialogs, prompter_);
  ASSERT_TRUE(chain.Run(std::nullopt, grid));
  EXPECT_TRUE(dialogs.Finished());

  // The second file selection shows what the first confirmed.
  ASSERT_EQ(dialogs.shownSettings.size(), 2u);
  EXPECT_EQ(dialogs.shownSettings[1].PathL, left_);
  EXPECT_EQ(dialogs.shownSettings[1].PathR, right_);
  EXPECT_TRUE(dialogs.shownSettings[1].TopRowNames);
  // The reading options of the settings object reach the session.
  EXPECT_EQ(session_.Settings().TabOldType, 1);
  EXPECT_EQ(session_.Settings().NewlineMode, 2);

  // Each field control starts from a freshly filled grid without marks: the left names,
  // the right names, "－" in 数値, as many rows as the wider side.
  ASSERT_EQ(dialogs.shownGrids.size(), 2u);
  for (const FieldGrid& shown : dialogs.shownGrids) {
    EXPECT_EQ(Names(shown, FieldGrid::kNameA), (std::vector<std::string>{"id", "name", ""}));
    EXPECT_EQ(Names(shown, FieldGrid::kNameB), (std::vector<std::string>{"id", "name", "extra"}));
    EXPECT_EQ(shown.Cell(3, FieldGrid::kNumber), "   3");
    EXPECT_EQ(shown.Cell(1, FieldGrid::kNumeric), S("－"));
    EXPECT_FALSE(shown.IsMarked(1, FieldGrid::kKey));
  }
  // The confirmed grid carries the marks.
  EXPECT_TRUE(grid.IsMarked(1, FieldGrid::kKey));
  EXPECT_EQ(session_.MaxNameCount(), 3);
}

TEST_F(SetUpChainTest, CancelInFieldControlEndsTheChain) {
  ScriptedDialogs dialogs({
      {Dialog::kFiles, 1,
       [this](CompareSettings& s) {
         s.PathL = left_;
         s.PathR = right_;
       }},
      {Dialog::kFields, 0},
  });
  FieldGrid grid;
  SetUpChain chain(session_, *global_, dialogs, prompter_);
  EXPECT_FALSE(chain.Run(std::nullopt, grid));
  EXPECT_TRUE(dialogs.Finished());
  // What the file selection confirmed is kept for the next run.
  EXPECT_EQ(session_.Settings().PathL, left_);
}

TEST_F(SetUpChainTest, FixedLengthGoesThroughTheDefinitionAndBackToIt) {
  FixedWidthReader fix;
  FixedWidthRecordReader source(fix);
  session_.SetFixedSource(&source);
  session_.EditSettings().Encoding = 10;
  const std::string fixedL = dir_.Write("l.txt", "0001abc\r\n");
  const std::string fixedR = dir_.Write("r.txt", "0001abd\r\n");
  auto fixed = [&](CompareSettings& s) {
    s.FileKind = kFileKindFixed;
    s.PathL = fixedL;
    s.PathR = fixedR;
    s.FromClipboard = true;
  };
  auto define = [&fix] {
    fix.ClearDefinitions();
    ASSERT_EQ(fix.AddDefinition("CODE", 4).Code(), 0);
    ASSERT_EQ(fix.AddDefinition(S("名前"), 3).Code(), 0);
  };
  ScriptedDialogs dialogs({
      {Dialog::kFiles, 1, fixed},
      {Dialog::kFixed, -1},                           // back to the file selection
      {Dialog::kFiles, 1},                            // confirmed as shown
      {Dialog::kFixed, 1},                            // no definitions yet: the filling fails ...
      {Dialog::kFixed, 1, nullptr, nullptr, define},  // ... and the definition shows again
      {Dialog::kFields, -1},                          // back to the definition, not the selection
      {Dialog::kFixed, 1},
      {Dialog::kFields, 0},
  });
  FieldGrid grid;
  SetUpChain chain(session_, *global_, dialogs, prompter_);
  EXPECT_FALSE(chain.Run(std::nullopt, grid));
  EXPECT_TRUE(dialogs.Finished());

  // The definition previews the left file, read as Shift-JIS for clipboard captures.
  ASSERT_EQ(dialogs.fixedCalls.size(), 4u);
  for (const auto& call : dialogs.fixedCalls) {
    EXPECT_EQ(call.leftPath, fixedL);
    EXPECT_EQ(call.encoding, 0);
  }
  EXPECT_EQ(notifier_.Texts(), (std::vector<std::string>{"フィールドが存在しません。"}));
  // Both name columns show the definitions' names.
  ASSERT_EQ(dialogs.shownGrids.size(), 2u);
  EXPECT_EQ(Names(dialogs.shownGrids[0], FieldGrid::kNameA),
            (std::vector<std::string>{"CODE", S("名前")}));
  EXPECT_EQ(Names(dialogs.shownGrids[0], FieldGrid::kNameB),
            (std::vector<std::string>{"CODE", S("名前")}));
}

TEST_F(SetUpChainTest, FailedFillingGoesBackToTheFileSelection) {
  const std::string missing = dir_.File("missing.csv");
  ScriptedDialogs dialogs({
      {Dialog::kFiles, 1,
       [&](CompareSettings& s) {
         s.PathL = missing;
         s.PathR = right_;
       }},
      {Dialog::kFiles, 1, [this](CompareSettings& s) { s.PathL = left_; }},
      {Dialog::kFields, 1},
  });
  FieldGrid grid;
  SetUpChain chain(session_, *global_, dialogs, prompter_);
  EXPECT_TRUE(chain.Run(std::nullopt, grid));
  EXPECT_TRUE(dialogs.Finished());
  // The reader's own message, then the selection again with what it confirmed.
  EXPECT_EQ(notifier_.Texts().size(), 1u);
  EXPECT_EQ(dialogs.shownSettings[1].PathL, missing);
}

TEST_F(SetUpChainTest, DroppedPairPresetsTheFirstSelectionAndClearsTheClipboardFlag) {
  session_.EditSettings().PathL = "/old/l.csv";
  session_.EditSettings().PathR = "/old/r.csv";
  session_.EditSettings().FromClipboard = true;
  {
    // Cancelled: the old paths stay, the clipboard flag does not.
    ScriptedDialogs dialogs({{Dialog::kFiles, 0}});
    FieldGrid grid;
    SetUpChain chain(session_, *global_, dialogs, prompter_);
    EXPECT_FALSE(chain.Run(DroppedPair{left_, right_}, grid));
    ASSERT_EQ(dialogs.shownSettings.size(), 1u);
    EXPECT_EQ(dialogs.shownSettings[0].PathL, left_);
    EXPECT_EQ(dialogs.shownSettings[0].PathR, right_);
    EXPECT_FALSE(dialogs.shownSettings[0].FromClipboard);
    EXPECT_EQ(session_.Settings().PathL, "/old/l.csv");
    EXPECT_FALSE(session_.Settings().FromClipboard);
  }
  {
    // Confirmed, then back: the selection shows the confirmed paths, not the drop again.
    const std::string other = dir_.Write("other.csv", "id\r\n9\r\n");
    ScriptedDialogs dialogs({
        {Dialog::kFiles, 1, [&](CompareSettings& s) { s.PathR = other; }},
        {Dialog::kFields, -1},
        {Dialog::kFiles, 0},
    });
    FieldGrid grid;
    SetUpChain chain(session_, *global_, dialogs, prompter_);
    EXPECT_FALSE(chain.Run(DroppedPair{left_, right_}, grid));
    ASSERT_EQ(dialogs.shownSettings.size(), 2u);
    EXPECT_EQ(dialogs.shownSettings[1].PathL, left_);
    EXPECT_EQ(dialogs.shownSettings[1].PathR, other);
  }
}

TEST_F(SetUpChainTest, TheFieldLimitWarningShowsOncePerFilling) {
  const std::string wideL = dir_.Write("wl.csv", CsvLine(300, "a") + CsvLine(300, "1"));
  const std::string wideR = dir_.Write("wr.csv", CsvLine(300, "b") + CsvLine(300, "1"));
  ScriptedDialogs dialogs({
      {Dialog::kFiles, 1,
       [&](CompareSettings& s) {
         s.TopRowNames = true;
         s.PathL = wideL;
         s.PathR = wideR;
       }},
      {Dialog::kFields, -1},
      {Dialog::kFiles, 1},
      {Dialog::kFields, 0},
  });
  FieldGrid grid;
  SetUpChain chain(session_, *global_, dialogs, prompter_);
  EXPECT_FALSE(chain.Run(std::nullopt, grid));
  // Both sides have 300 fields: one warning for each of the two fillings.
  const std::string warning = "255を超えるフィールドについては比較対象から除かれます。";
  EXPECT_EQ(notifier_.Texts(), (std::vector<std::string>{warning, warning}));
  ASSERT_EQ(dialogs.shownGrids.size(), 2u);
  EXPECT_EQ(dialogs.shownGrids[1].RowCount(), 256);
  EXPECT_EQ(dialogs.shownGrids[1].Cell(255, FieldGrid::kNameB), "b255");
  EXPECT_EQ(session_.MaxNameCount(), 255);

  // A new run starts counting names afresh.
  notifier_.Clear();
  ScriptedDialogs narrow({
      {Dialog::kFiles, 1,
       [this](CompareSettings& s) {
         s.PathL = left_;
         s.PathR = left_;
       }},
      {Dialog::kFields, 0},
  });
  SetUpChain again(session_, *global_, narrow, prompter_);
  EXPECT_FALSE(again.Run(std::nullopt, grid));
  EXPECT_EQ(session_.MaxNameCount(), 2);
  EXPECT_TRUE(notifier_.Texts().empty());
}

}  // namespace
}  // namespace korvel
