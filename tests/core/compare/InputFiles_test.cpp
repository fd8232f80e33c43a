#include "compare/InputFiles.h"

#include <gtest/gtest.h>

#include "TestUtil.h"
#include "platform/Notifier.h"

namespace korvel {
namespace {

TEST(InputFilesTest, LeftIsCheckedBeforeRightAndEachFailureNamesItsSide) {
  test::TempDir dir;
  RecordingNotifier notifier;
  ScopedNotifier scoped(&notifier);
  const std::string one = dir.Write("one.csv", "x");
  const std::string empty = dir.Write("empty.csv", "");
  const std::string missing = dir.File("missing.csv");

  EXPECT_EQ(CheckInputFile(one), InputFileState::kOk);
  EXPECT_EQ(CheckInputFile(empty), InputFileState::kNoData);
  EXPECT_EQ(CheckInputFile(missing), InputFileState::kNotFound);
  EXPECT_EQ(CheckInputFile(dir.Path()), InputFileState::kNotFound);

  EXPECT_EQ(ConfirmInputFiles(one, one), InputSide::kNone);
  EXPECT_TRUE(notifier.Entries().empty());
  EXPECT_EQ(ConfirmInputFiles(missing, empty), InputSide::kLeft);
  EXPECT_EQ(ConfirmInputFiles(empty, missing), InputSide::kLeft);
  EXPECT_EQ(ConfirmInputFiles(one, dir.Path()), InputSide::kRight);
  EXPECT_EQ(ConfirmInputFiles(one, empty), InputSide::kRight);
  EXPECT_EQ(notifier.Texts(),
            (std::vector<std::string>{"パス(画面左)に該当のファイルが見付かりません。",
                                      "パス(画面左)のファイルにデータがありません。",
                                      "パス(画面右)に該当のファイルが見付かりません。",
                                      "パス(画面右)のファイルにデータがありません。"}));
  for (const auto& e : notifier.Entries()) EXPECT_EQ(e.box.icon, MessageIcon::kWarning);
}

}  // namespace
}  // namespace korvel
