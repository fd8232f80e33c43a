#include "platform/AtomicFile.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <random>
#include <string>
#include <vector>

#include "TestUtil.h"
#include "io/TextFile.h"

namespace korvel {
namespace {

using test::FolderEntries;
using test::ReadFileBytes;
using test::TempDir;
using Names = std::vector<std::string>;

// Writes `bytes` through an AtomicFile and commits it.
int WriteWhole(const std::string& path, const std::string& bytes, bool replace) {
  AtomicFile file;
  const int fd = file.Begin(path);
  if (fd < 0) return -100;
  if (::write(fd, bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size())) return -101;
  return file.Commit(replace);
}

mode_t Mode(const std::string& path) {
  struct stat st {};
  ::stat(path.c_str(), &st);
  return st.st_mode & 07777;
}

TEST(AtomicFileTest, NewAndReplacedFilesAndTheirModes) {
  TempDir dir;
  const std::string path = dir.File("out.csv");
  const mode_t mask = ::umask(022);
  ASSERT_EQ(WriteWhole(path, "new", false), 0);
  EXPECT_EQ(ReadFileBytes(path), "new");
  EXPECT_EQ(Mode(path), 0644u);  // 0666 less the umask
  // A replaced file keeps its permission bits.
  ASSERT_EQ(::chmod(path.c_str(), 0640), 0);
  ASSERT_EQ(WriteWhole(path, "second", true), 0);
  EXPECT_EQ(ReadFileBytes(path), "second");
  EXPECT_EQ(Mode(path), 0640u);
  ::umask(mask);
  EXPECT_EQ(FolderEntries(dir.Path()), Names{"out.csv"});
}

TEST(AtomicFileTest, AFileThatAppearedMeanwhileIsNotReplacedUnlessAllowed) {
  TempDir dir;
  const std::string path = dir.File("out.xml");
  AtomicFile file;
  const int fd = file.Begin(path);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(::write(fd, "mine", 4), 4);
  // Nothing shows under the name before the commit.
  EXPECT_EQ(FolderEntries(dir.Path()), Names{});
  dir.Write("out.xml", "someone else's");
  EXPECT_EQ(file.Commit(false), AtomicFile::kTargetExists);
  EXPECT_EQ(ReadFileBytes(path), "someone else's");
  EXPECT_EQ(FolderEntries(dir.Path()), Names{"out.xml"});
}

TEST(AtomicFileTest, ALinkedTargetReplacesTheFileItPointsTo) {
  TempDir dir;
  ASSERT_EQ(::mkdir(dir.File("real").c_str(), 0700), 0);
  const std::string real = dir.Write("real/data.csv", "old");
  ASSERT_EQ(::symlink("real/data.csv", dir.File("link.csv").c_str()), 0);
  ASSERT_EQ(WriteWhole(dir.File("link.csv"), "new", true), 0);
  struct stat st {};
  ASSERT_EQ(::lstat(dir.File("link.csv").c_str(), &st), 0);
  EXPECT_TRUE(S_ISLNK(st.st_mode));
  EXPECT_EQ(ReadFileBytes(real), "new");
  EXPECT_EQ(FolderEntries(dir.File("real")), Names{"data.csv"});
}

TEST(AtomicFileTest, UnwritableTargetsAndDroppedWritesLeaveNothing) {
  TempDir dir;
  EXPECT_EQ(WriteWhole(dir.Path(), "x", true), -100);                   // a folder
  EXPECT_EQ(WriteWhole(dir.File("missing/out.csv"), "x", true), -100);  // no such folder
  EXPECT_EQ(WriteWhole("", "x", true), -100);
  const std::string path = dir.Write("keep.csv", "old");
  {
    AtomicFile file;
    ASSERT_GE(file.Begin(path), 0);
    ASSERT_EQ(::write(file.Descriptor(), "partial", 7), 7);
  }  // abandoned: dropped
  {
    TextFile text;
    ASSERT_EQ(text.Open(path, TextFile::kModeWrite, 0), 0);
    ASSERT_EQ(text.Write("partial", 7), 7);
    text.SetReplace(false);
    EXPECT_EQ(text.Close(), TextFile::kTargetExists);
  }
  EXPECT_EQ(ReadFileBytes(path), "old");
  EXPECT_EQ(FolderEntries(dir.Path()), Names{"keep.csv"});
}

// A writer killed at any point leaves either the old file or the whole new one, and never a
// second name in the folder.
TEST(AtomicFileTest, AWriterKilledAtAnyPointLeavesTheOldFileOrTheNewOne) {
  TempDir dir;
  const std::string old = "the previous export\r\n";
  std::string whole;
  for (int i = 0; i < 200000; ++i) whole += "row " + std::to_string(i) + ",value\r\n";
  std::mt19937 random(7);
  int sawOld = 0;
  int sawNew = 0;
  for (int round = 0; round < 24; ++round) {
    const std::string path = dir.Write("out.csv", old);
    const bool term = round % 3 == 2;  // SIGTERM runs the cleanup; SIGKILL cannot
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      InstallSignalCleanup();
      TextFile file;
      if (file.Open(path, TextFile::kModeWrite, 0) != 0) ::_exit(3);
      for (std::size_t at = 0; at < whole.size(); at += 4096) {
        const int n = static_cast<int>(std::min<std::size_t>(4096, whole.size() - at));
        if (file.Write(whole.data() + at, n) != n) ::_exit(4);
      }
      ::_exit(file.Close() == 0 ? 0 : 5);
    }
    ::usleep(std::uniform_int_distribution<unsigned>(0, 60000)(random));
    ::kill(child, term ? SIGTERM : SIGKILL);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    if (WIFEXITED(status)) {
      ASSERT_EQ(WEXITSTATUS(status), 0);
    } else {
      EXPECT_EQ(WTERMSIG(status), term ? SIGTERM : SIGKILL);
    }
    const std::string now = ReadFileBytes(path);
    ASSERT_TRUE(now == old || now == whole) << "round " << round << ": " << now.size() << " bytes";
    (now == old ? sawOld : sawNew)++;
    ASSERT_EQ(FolderEntries(dir.Path()), Names{"out.csv"}) << "round " << round;
  }
  // The delays reach into the write: at least some rounds were cut short.
  EXPECT_GT(sawOld, 0);
}

}  // namespace
}  // namespace korvel
