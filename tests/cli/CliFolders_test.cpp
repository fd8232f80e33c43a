// Folder comparison: files pair by relative path, each pair compared with its settings
// section, rows in path order whatever the number of jobs, failures as rows, a memory
// budget that lets a large pair run alone.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <string>
#include <vector>

#include "CliFixture.h"
#include "cli/CliOptions.h"
#include "cli/FolderRun.h"

namespace korvel::cli {
namespace {

class CliFoldersTest : public CliFixture {
 protected:
  void SetUp() override {
    const auto both = [&](const std::string& rel, const std::string& l, const std::string& r) {
      if (!l.empty()) dir_.Write("L/" + rel, l);
      if (!r.empty()) dir_.Write("R/" + rel, r);
    };
    std::filesystem::create_directories(dir_.Path() + "/L/sub/深い");
    std::filesystem::create_directories(dir_.Path() + "/R/sub/深い");
    both("same.csv", "1,a\r\n2,b\r\n", "1,a\r\n2,b\r\n");
    both("sub/深い/社員.csv", "1,a\r\n2,b\r\n", "1,a\r\n2,B\r\n3,c\r\n");
    both("left.csv", "1,a\r\n", "");
    both("sub/right.csv", "", "1,a\r\n");
    // The quote opened on line 1 is never closed, and text follows its line break.
    both("broken.csv", "1,\"a\r\n2,b\r\n", "1,a\r\n");
    ASSERT_EQ(mkfifo((dir_.Path() + "/L/pipe.csv").c_str(), 0600), 0);
    left_ = dir_.Path() + "/L";
    right_ = dir_.Path() + "/R";
  }
  std::string left_;
  std::string right_;
};

TEST_F(CliFoldersTest, RowsInPathOrderWithFailuresAsRows) {
  const std::string rows =
      "失敗\tbroken.csv\t-\t-\t-\t-\t-\n"
      "左のみ\tleft.csv\t-\t-\t-\t-\t-\n"
      "失敗\tpipe.csv\t-\t-\t-\t-\t-\n"
      "同一\tsame.csv\t2\t2\t0\t0\t0\n"
      "右のみ\tsub/right.csv\t-\t-\t-\t-\t-\n"
      "相違\tsub/深い/社員.csv\t2\t3\t1\t0\t1\n"
      "ファイル数:6件 同一:1件 相違:1件 左のみ:1件 右のみ:1件 失敗:2件\n";
  for (const char* jobs : {"1", "2", "4"}) {
    SCOPED_TRACE(jobs);
    EXPECT_EQ(RunArgs({"--folders", "--jobs", jobs, "--key", "1", left_, right_}), kExitFailed);
    EXPECT_EQ(Out(), rows);
    EXPECT_NE(Err().find("broken.csv: 引用符が閉じられていません。(1行目)"), std::string::npos)
        << Err();
    EXPECT_NE(Err().find("pipe.csv: 通常のファイルではありません。"), std::string::npos);
  }
  // Without the failing files every pair is compared: exit 1 for the differences.
  EXPECT_EQ(RunArgs({"--folders", "--include", "s*.csv,社*", "--key", "1", left_, right_}),
            kExitDifferent);
  EXPECT_EQ(Out(),
            "同一\tsame.csv\t2\t2\t0\t0\t0\n相違\tsub/深い/社員.csv\t2\t3\t1\t0\t1\n"
            "ファイル数:2件 同一:1件 相違:1件 左のみ:0件 右のみ:0件 失敗:0件\n");
}

TEST_F(CliFoldersTest, SettingsSectionsReportsAndExportsPerPair) {
  // The nested pair takes its own section: without a key its rows pair by position.
  const std::string settings =
      dir_.Write("s.korvel", "[*]\nkey = 1\n[**/深い/*.csv]\nnot-compared = 2\n");
  const std::string reports = dir_.Path() + "/rep";
  const std::string exports = dir_.Path() + "/exp";
  const std::vector<std::string> args = {
      "--folders",    "--include", "s*.csv,社*", "--settings", settings, "--report-dir", reports,
      "--export-dir", exports,     "--format",   "csv",        left_,    right_};
  ASSERT_EQ(RunArgs(args), kExitDifferent) << Err();
  EXPECT_NE(Out().find("相違\tsub/深い/社員.csv\t2\t3\t0\t0\t1\n"), std::string::npos) << Out();
  const std::string index = test::ReadFileBytes(reports + "/index.jsonl");
  EXPECT_NE(index.find("{\"path\":\"sub/深い/社員.csv\",\"status\":\"相違\",\"left_total\":2,"
                       "\"right_total\":3,\"differing\":0,\"left_only\":0,\"right_only\":1,"
                       "\"encodings\":{\"left\":\"SJIS\",\"right\":\"SJIS\"},\"warnings\":[]}\n"),
            std::string::npos)
      << index;
  EXPECT_TRUE(std::filesystem::exists(reports + "/same.csv.jsonl"));
  EXPECT_TRUE(std::filesystem::exists(exports + "/sub/深い/社員.csv.csv"));
  EXPECT_FALSE(std::filesystem::exists(exports + "/same.csv.csv"));  // no differences
  // A second run replaces nothing without --force.
  const std::string before = test::ReadFileBytes(reports + "/index.jsonl");
  EXPECT_EQ(RunArgs(args), kExitFailed);
  EXPECT_EQ(test::ReadFileBytes(reports + "/index.jsonl"), before);
}

TEST_F(CliFoldersTest, FoldersThatCannotBeComparedAreUsageErrors) {
  const struct {
    std::vector<std::string> args;
    const char* told;
  } cases[] = {
      {{"--folders", left_, left_ + "/../L"}, "左右に同じフォルダが指定されています"},
      {{"--folders", left_, right_ + "/same.csv"}, "フォルダではありません"},
      {{"--folders", left_, dir_.Path() + "/none"}, "フォルダが見付かりません"},
      {{"--folders", "--jobs", "0", left_, right_}, "--jobs の値が正しくありません"},
      {{"--folders", "--report", "x", left_, right_}, "--report-dir"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(RunArgs(c.args), kExitFailed);
    EXPECT_NE(Err().find(c.told), std::string::npos) << Err();
    EXPECT_EQ(Out(), "");
  }
}

TEST_F(CliFoldersTest, APairTooLargeForTheBudgetRunsAlone) {
  std::string big;
  for (int i = 0; i < 20000; ++i) big += std::to_string(i) + ",x\r\n";
  dir_.Write("L/big.csv", big);
  dir_.Write("R/big.csv", big);
  CliOptions o;
  std::string reason;
  ASSERT_TRUE(ParseCliOptions({"--folders", "--jobs", "3", "--include", "*.csv", left_, right_}, &o,
                              &reason))
      << reason;
  RecordingNotifier notifier;
  FolderRunStats stats;
  // Room for the small pairs together, not for the large one beside anything.
  const std::uint64_t budget = EstimatedPeak(2 * big.size()) - 1;
  EXPECT_EQ(RunFolders(o, out_, err_, notifier, budget, &stats), kExitFailed);
  // Nothing ran beside it: it neither started while others ran nor let others start.
  EXPECT_EQ(stats.overlap.at("big.csv"), 0);
  EXPECT_NE(Out().find("同一\tbig.csv\t20000\t20000\t0\t0\t0\n"), std::string::npos) << Out();
}

}  // namespace
}  // namespace korvel::cli
