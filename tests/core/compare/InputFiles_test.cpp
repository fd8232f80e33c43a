#include "compare/InputFiles.h"

#include <gtest/gtest.h>

#include "TestUtil.h"
#include "platform/Notifier.h"

namespace korvel {
namespace {

TEST(InputFilesTest, LeftIsCheckedBeforeRightAndEachFailureNamesItsSide) {
  test::TempDir dir;
  RecordingNotifier notifier;
  const std::string one = dir.Write("one.csv", "x");
  const std::string empty = dir.Write("empty.csv", "");
  const std::string missing = dir.File("missing.csv");

  EXPECT_EQ(CheckInputFile(one), InputFileState::kOk);
  EXPECT_EQ(CheckInputFile(empty), InputFileState::kNoData);
  EXPECT_EQ(CheckInputFile(missing), InputFileState::kNotFound);
  EXPECT_EQ(CheckInputFile(dir.Path()), InputFileState::kNotFound);

  EXPECT_EQ(test::Shown(notifier, ConfirmInputFiles(one, one)), 0);
  EXPECT_TRUE(notifier.Entries().empty());
  EXPECT_EQ(test::Shown(notifier, ConfirmInputFiles(missing, empty)), kInputLeftFailed);
  EXPECT_EQ(test::Shown(notifier, ConfirmInputFiles(empty, missing)), kInputLeftFailed);
  EXPECT_EQ(test::Shown(notifier, ConfirmInputFiles(one, dir.Path())), kInputRightFailed);
  EXPECT_EQ(test::Shown(notifier, ConfirmInputFiles(one, empty)), kInputRightFailed);
  EXPECT_EQ(notifier.Texts(),
            (std::vector<std::string>{"パス(画面左)に該当のファイルが見付かりません。",
                                      "パス(画面左)のファイルにデータがありません。",
                                      "パス(画面右)に該当のファイルが見付かりません。",
                                      "パス(画面右)のファイルにデータがありません。"}));
  for (const auto& e : notifier.Entries()) EXPECT_EQ(e.box.icon, MessageIcon::kWarning);
}

}  // namespace
}  // namespace korvel
