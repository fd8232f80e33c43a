// korvel-cli --report: the report read back by Python's json and csv modules against the
// counters, the --pairs rows and the XML export's cells; the usage errors; and a report
// that cannot be written.

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/wait.h>

#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "CliFixture.h"
#include "FaultyFileSystem.h"
#include "TestUtil.h"
#include "cli/CliRun.h"
#include "platform/Notifier.h"

namespace korvel::cli {
namespace {

const std::string kSamples = std::string(KORVEL_SOURCE_DIR) + "/samples/";

class CliReportTest : public CliFixture {
 protected:
  // The options before the two samples.
  int Run(std::vector<std::string> args) {
    args.push_back(kSamples + "staff_old_sjis.csv");
    args.push_back(kSamples + "staff_new_utf8bom.csv");
    return RunArgs(args);
  }
};

const char kSummary[] = "左総数:7件 右総数:8件 相違レコード数:4件 左のみ:0件 右のみ:1件\n";

TEST_F(CliReportTest, PythonReadsTheReportsAsTheExportAndTheCountersSay) {
  const std::string line =
      test::Cat("python3 ", KORVEL_SOURCE_DIR, "/tests/cli/check_report.py ", KORVEL_CLI_PATH, " ",
                KORVEL_SOURCE_DIR, "/samples ", dir_.Path());
  EXPECT_EQ(test::Shell(line), 0);
}

TEST_F(CliReportTest, UsageErrorsComeBeforeTheRun) {
  const std::string report = dir_.File("r.jsonl");
  struct Case {
    std::vector<std::string> args;
    std::string reason;
  };
  const std::vector<Case> cases = {
      {{"--pairs", "--report", "-"}, "--pairs と --report - は同時に指定できません。"},
      {{"--report-format", "csv"}, "--report-format は --report と共に指定してください。"},
      {{"--report-all-fields"}, "--report-all-fields は --report と共に指定してください。"},
      {{"--report", report, "--report-format", "xml"},
       "--report-format の値が正しくありません: xml"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.reason);
    EXPECT_EQ(Run(c.args), kExitFailed);
    EXPECT_EQ(out_.str(), "");
    EXPECT_EQ(err_.str(), test::Cat("korvel-cli: ", c.reason, "\n"));
  }
  EXPECT_EQ(test::FolderEntries(dir_.Path()), std::vector<std::string>{});
}

TEST_F(CliReportTest, AnExistingReportIsReplacedOnlyWithForce) {
  const std::string report = dir_.Write("r.jsonl", "old");
  EXPECT_EQ(Run({"--header", "--key", "1", "--report", report}), kExitFailed);
  EXPECT_EQ(out_.str(), kSummary);
  EXPECT_EQ(notifier_.Texts(),
            std::vector<std::string>{"既にファイルが存在します。上書きしてよろしいですか？"});
  EXPECT_EQ(test::ReadFileBytes(report), "old");

  EXPECT_EQ(Run({"--header", "--key", "1", "--report", report, "--force"}), kExitDifferent);
  EXPECT_EQ(notifier_.Texts(), std::vector<std::string>{"出力を完了しました。"});
  EXPECT_EQ(test::ReadFileBytes(report).rfind("{\"summary\":{\"left_total\":7,", 0), 0u);
}

TEST_F(CliReportTest, AFailedReportExitsTwoAfterTheSummaryAndLeavesNoFile) {
  const std::string report = dir_.File("r.csv");
  test::FaultyFileSystem fs;
  fs.LimitWrites(100);
  test::ScopedFaultyFileSystem scopedFs(&fs);
  EXPECT_EQ(
      Run({"--header", "--key", "1", "--pairs", "--report", report, "--report-format", "csv"}),
      kExitFailed);
  EXPECT_EQ(out_.str().rfind(kSummary, 0), 0u);
  EXPECT_NE(out_.str().find("-1\t-1\t"), std::string::npos) << out_.str();
  EXPECT_EQ(notifier_.Texts(), std::vector<std::string>{"書き込みに失敗しました。"});
  EXPECT_EQ(test::FolderEntries(dir_.Path()), std::vector<std::string>{});
}

// Fields paired by name: the report numbers each field as the options do, by its row in the
// shown list (the left file's fields, then the right-only ones), never by its column in the
// right file.
TEST_F(CliReportTest, FieldsPairedByNameKeepTheNumbersOfTheOptions) {
  const std::string left = dir_.Write("l.csv", "k,a,b\r\n1,x,y\r\n2,p,q\r\n");
  const std::string right = dir_.Write("r.csv", "b,k,c\r\ny,1,c1\r\nQ,2,c2\r\n");
  const std::string jsonl = dir_.File("r.jsonl");
  const std::string csv = dir_.File("r.csv2");
  for (const std::string& report : {jsonl, csv}) {
    EXPECT_EQ(RunArgs({"--header", "--match-names", "--key", "k", "--report", report,
                       "--report-all-fields", "--report-format", report == csv ? "csv" : "jsonl",
                       left, right}),
              kExitDifferent);
  }
  const std::string lines = test::ReadFileBytes(jsonl);
  const std::size_t summaryEnd = lines.find('\n') + 1;
  EXPECT_NE(
      lines.substr(0, summaryEnd)
          .find("\"fields\":[{\"field\":1,\"name\":\"k\",\"differing\":0},{\"field\":2,"
                "\"name\":\"a\",\"differing\":0},{\"field\":3,\"name\":\"b\",\"differing\":1},"
                "{\"field\":4,\"name\":\"c\",\"differing\":0}]}}\n"),
      std::string::npos)
      << lines;
  EXPECT_EQ(lines.substr(summaryEnd),
            "{\"status\":\"equal\",\"left_row\":0,\"right_row\":0,\"key\":[{\"field\":1,"
            "\"name\":\"k\",\"text\":\"1\"}],\"fields\":[{\"field\":2,\"name\":\"a\",\"left\":"
            "\"x\",\"right\":\"\",\"differs\":false},{\"field\":3,\"name\":\"b\",\"left\":\"y\","
            "\"right\":\"y\",\"differs\":false},{\"field\":4,\"name\":\"c\",\"left\":\"\","
            "\"right\":\"c1\",\"differs\":false}]}\n"
            "{\"status\":\"differs\",\"left_row\":1,\"right_row\":1,\"key\":[{\"field\":1,"
            "\"name\":\"k\",\"text\":\"2\"}],\"fields\":[{\"field\":2,\"name\":\"a\",\"left\":"
            "\"p\",\"right\":\"\",\"differs\":false},{\"field\":3,\"name\":\"b\",\"left\":\"q\","
            "\"right\":\"Q\",\"differs\":true},{\"field\":4,\"name\":\"c\",\"left\":\"\","
            "\"right\":\"c2\",\"differs\":false}]}\n");
  EXPECT_EQ(test::ReadFileBytes(csv),
            "\xEF\xBB\xBFstatus,left_row,right_row,k,field,name,left,right,differs\r\n"
            "equal,0,0,1,2,a,x,,false\r\nequal,0,0,1,3,b,y,y,false\r\nequal,0,0,1,4,c,,c1,false\r\n"
            "differs,1,1,2,2,a,p,,false\r\ndiffers,1,1,2,3,b,q,Q,true\r\n"
            "differs,1,1,2,4,c,,c2,false\r\n");
}

TEST_F(CliReportTest, TheReportFollowsTheExport) {
  const std::string report = dir_.File("r.jsonl");
  const std::string xml = dir_.File("x.xml");
  EXPECT_EQ(Run({"--header", "--key", "1", "--export", xml, "--report", report}), kExitDifferent);
  EXPECT_EQ(notifier_.Texts(),
            (std::vector<std::string>{"出力を完了しました。", "出力を完了しました。"}));
  EXPECT_EQ(test::FolderEntries(dir_.Path()), (std::vector<std::string>{"r.jsonl", "x.xml"}));
}

}  // namespace
}  // namespace korvel::cli
