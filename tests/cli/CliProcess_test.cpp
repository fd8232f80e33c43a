// korvel-cli as a process: what a script sees when its output cannot be written or the run
// is interrupted.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "TestUtil.h"

namespace korvel {
namespace {

using test::FolderEntries;
using test::ReadFileBytes;
using test::TempDir;

const std::string kCli = KORVEL_CLI_PATH;
const std::string kSamples = std::string(KORVEL_SOURCE_DIR) + "/samples/";

// Runs a shell command line; the exit status as the shell reports it.
int Shell(const std::string& line) {
  const int status = std::system(line.c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(CliProcessTest, OutputThatCannotBeWrittenFailsTheRun) {
  TempDir dir;
  const std::string run = "KORVEL_HOME=" + dir.Path() + " " + kCli + " --header --key 1 ";
  const std::string pair = kSamples + "staff_old_sjis.csv " + kSamples + "staff_new_utf8bom.csv";
  const std::string err = dir.File("err.txt");
  struct Case {
    std::string options;
    std::string redirect;
    int exit;
    std::string stderrText;
  };
  const Case cases[] = {
      // Readable output: the comparison's own status (1, records differ).
      {"", ">/dev/null 2>" + err, 1, ""},
      {"", ">/dev/full 2>" + err, 2, "korvel-cli: 標準出力への書き込みに失敗しました。\n"},
      {"--pairs", ">/dev/full 2>" + err, 2, "korvel-cli: 標準出力への書き込みに失敗しました。\n"},
      // The export's completion notice goes to standard error, which is full.
      {"--export " + dir.File("out.xml"), ">/dev/null 2>/dev/full", 2, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.options + " " + c.redirect);
    ::unlink(err.c_str());
    EXPECT_EQ(Shell(run + c.options + " " + pair + " " + c.redirect), c.exit);
    if (!c.stderrText.empty()) {
      EXPECT_EQ(ReadFileBytes(err), c.stderrText);
    }
  }
  EXPECT_EQ(Shell(kCli + " --help >/dev/full 2>" + err), 2);
  EXPECT_EQ(ReadFileBytes(err), "korvel-cli: 標準出力への書き込みに失敗しました。\n");
}

// SIGINT, SIGTERM or SIGHUP in the middle of an export over an existing file: the old file
// stays whole, nothing else is left in its folder, and the process ends by the signal.
TEST(CliProcessTest, AnInterruptedExportLeavesTheOldFile) {
  TempDir dir;
  TempDir out;
  std::string left;
  std::string right;
  for (int i = 0; i < 150000; ++i) {
    left += std::to_string(i) + ",value " + std::to_string(i % 7) + ",x\r\n";
    right += std::to_string(i) + ",value " + std::to_string(i % 5) + ",x\r\n";
  }
  const std::string l = dir.Write("l.csv", left);
  const std::string r = dir.Write("r.csv", right);
  const std::string target = out.File("result.xml");
  const int kSignals[] = {SIGINT, SIGTERM, SIGHUP};
  std::mt19937 random(11);
  int interrupted = 0;
  for (int round = 0; round < 9; ++round) {
    const int sig = kSignals[round % 3];
    out.Write("result.xml", "previous");
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      ::setenv("KORVEL_HOME", dir.Path().c_str(), 1);
      std::freopen("/dev/null", "w", stdout);
      std::freopen("/dev/null", "w", stderr);
      ::execl(kCli.c_str(), kCli.c_str(), "--key", "1", "--export", target.c_str(), "--force",
              l.c_str(), r.c_str(), static_cast<char*>(nullptr));
      ::_exit(127);
    }
    ::usleep(std::uniform_int_distribution<unsigned>(50000, 900000)(random));
    ::kill(child, sig);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    const std::string now = ReadFileBytes(target);
    if (WIFSIGNALED(status)) {
      ++interrupted;
      EXPECT_EQ(WTERMSIG(status), sig) << "round " << round;
    } else {
      ASSERT_TRUE(WIFEXITED(status));
      EXPECT_EQ(WEXITSTATUS(status), 1) << "round " << round;
    }
    EXPECT_TRUE(now == "previous" || now.rfind("<?xml", 0) == 0) << "round " << round;
    EXPECT_EQ(FolderEntries(out.Path()), std::vector<std::string>{"result.xml"})
        << "round " << round;
  }
  EXPECT_GT(interrupted, 0);
}

}  // namespace
}  // namespace korvel
