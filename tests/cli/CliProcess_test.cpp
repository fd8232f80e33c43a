// korvel-cli as a process: what a script sees when its output cannot be written or the run
// is interrupted.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "TestUtil.h"

namespace korvel {
namespace {

using test::FolderEntries;
using test::ReadFileBytes;
using test::Shell;
using test::TempDir;

const std::string kCli = KORVEL_CLI_PATH;
const std::string kSamples = std::string(KORVEL_SOURCE_DIR) + "/samples/";

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

// True while process `pid` holds a file open in `folder` (an export's unnamed or hidden
// file shows there as a link into its folder).
bool HoldsFileIn(pid_t pid, const std::string& folder) {
  const std::string fds = "/proc/" + std::to_string(pid) + "/fd";
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(fds, error)) {
    char target[4096];
    const ssize_t n = ::readlink(entry.path().c_str(), target, sizeof target);
    if (n > 0 && std::string(target, static_cast<std::size_t>(n)).rfind(folder + "/", 0) == 0) {
      return true;
    }
  }
  return false;
}

// SIGINT, SIGTERM or SIGHUP in the middle of an export over an existing file: the old file
// stays whole, nothing else is left in its folder, and the process ends by the signal. The
// signal is sent while the process is stopped with its export's file open, so that it lands
// in the middle of the export however fast or busy the machine is.
TEST(CliProcessTest, AnInterruptedExportLeavesTheOldFile) {
  TempDir dir;
  TempDir out;
  const test::PairedTexts texts = test::KeyedPairs(150000, "value ", ",x");
  const std::string l = dir.Write("l.csv", texts.left);
  const std::string r = dir.Write("r.csv", texts.right);
  const std::string target = out.File("result.xml");
  const int kSignals[] = {SIGINT, SIGTERM, SIGHUP};
  int interrupted = 0;
  for (int round = 0; round < 6; ++round) {
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
    // Waits (without a time limit: the test's own guards it) until the export has begun.
    int status = 0;
    pid_t ended = 0;
    bool stopped = false;
    while ((ended = ::waitpid(child, &status, WNOHANG)) == 0) {
      if (HoldsFileIn(child, out.Path())) {
        ::kill(child, SIGSTOP);
        ASSERT_EQ(::waitpid(child, &status, WUNTRACED), child);
        if (!WIFSTOPPED(status)) {
          ended = child;  // it ended before it could be stopped
          break;
        }
        stopped = HoldsFileIn(child, out.Path());
        if (stopped) ::kill(child, sig);
        ::kill(child, SIGCONT);
        break;
      }
      ::usleep(200);
    }
    if (ended == 0) {
      ASSERT_EQ(::waitpid(child, &status, 0), child);
    }
    const std::string now = ReadFileBytes(target);
    if (stopped) {
      ++interrupted;
      ASSERT_TRUE(WIFSIGNALED(status)) << "round " << round;
      EXPECT_EQ(WTERMSIG(status), sig) << "round " << round;
      EXPECT_EQ(now, "previous") << "round " << round;
    } else {
      // The export ended between two looks: the run completed.
      ASSERT_TRUE(WIFEXITED(status));
      EXPECT_EQ(WEXITSTATUS(status), 1) << "round " << round;
      EXPECT_EQ(now.rfind("<?xml", 0), 0u) << "round " << round;
    }
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
  ASSERT_EQ(tooLongErr, "long.csv\n2カラム-2行目でサイズオーバー\n");

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
       "-\n2カラム-2行目でサイズオーバー\n"},
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
