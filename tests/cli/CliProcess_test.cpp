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

// "-" reads standard input, from a file, a pipe or nothing at all, exactly as the same bytes
// read from a file would be; the copy it is read from leaves nothing behind.
TEST(CliProcessTest, ADashReadsStandardInputAsAFile) {
  TempDir dir;
  TempDir tmp;
  const std::string env = "KORVEL_HOME=" + dir.Path() + " TMPDIR=" + tmp.Path() + " ";
  const std::string left = kSamples + "staff_old_sjis.csv";
  const std::string right = kSamples + "staff_new_utf8bom.csv";
  const std::string run = env + kCli + " --header --key 1 --pairs ";
  const std::string out = dir.File("out.txt");
  const std::string err = dir.File("err.txt");
  const std::string redirect = " >" + out + " 2>" + err;

  ASSERT_EQ(Shell(run + left + " " + right + redirect), 1);
  const std::string expectedOut = ReadFileBytes(out);
  ASSERT_NE(expectedOut.find("左総数:"), std::string::npos);
  ASSERT_EQ(Shell(run + right + " " + left + redirect), 1);
  const std::string swappedOut = ReadFileBytes(out);
  // A long cell's message names the input by its file name: "-" for standard input.
  const std::string tooLong =
      dir.Write("long.csv", "a,b\r\n1," + std::string(501, 'x') + "\r\n2,y\r\n");
  ASSERT_EQ(Shell(env + kCli + " " + tooLong + " " + tooLong + redirect), 2);
  const std::string tooLongErr = ReadFileBytes(err);
  // The program's own line names the side and the path before the reader's text.
  ASSERT_EQ(tooLongErr,
            "korvel-cli: 左: " + tooLong + "\nlong.csv\n2カラム-2行目でサイズオーバー\n");

  struct Case {
    const char* what;
    std::string line;
    int exit;
    std::string stdoutText;
    std::string stderrText;
  };
  const Case cases[] = {
      {"left from a file", run + "- " + right + " <" + left, 1, expectedOut, ""},
      {"right from a file", run + right + " - <" + left, 1, swappedOut, ""},
      {"left from a pipe", "cat " + left + " | " + run + "- " + right, 1, expectedOut, ""},
      {"after --", "cat " + left + " | " + run + "-- - " + right, 1, expectedOut, ""},
      {"a message names it", "cat " + tooLong + " | " + env + kCli + " - " + tooLong, 2, "",
       "korvel-cli: 左: -\n-\n2カラム-2行目でサイズオーバー\n"},
      {"nothing on standard input", run + "- " + right + " </dev/null", 2, "",
       "パス(画面左)のファイルにデータがありません。\n"},
      {"standard input closed", run + "- " + right + " <&-", 2, "",
       "korvel-cli: 標準入力の読み込みに失敗しました。\n"},
      {"standard input a folder", run + right + " - </", 2, "",
       "korvel-cli: 標準入力の読み込みに失敗しました。\n"},
      {"both sides", run + "- - <" + left, 2, "",
       "korvel-cli: 標準入力 (-) は左右どちらか一方のファイルにだけ指定できます。\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ::unlink(out.c_str());
    ::unlink(err.c_str());
    EXPECT_EQ(Shell(c.line + redirect), c.exit);
    // A failed run prints no summary.
    EXPECT_EQ(ReadFileBytes(out), c.exit == 2 ? std::string() : c.stdoutText);
    EXPECT_EQ(ReadFileBytes(err), c.stderrText);
    // The copy never had a name in the temporary folder, nor left one.
    EXPECT_TRUE(FolderEntries(tmp.Path()).empty());
  }
  // The right side read from standard input pairs like the file it came from: the same
  // records on both sides leave no difference.
  EXPECT_EQ(Shell(run + left + " - <" + left + redirect), 0);
}

}  // namespace
}  // namespace korvel
