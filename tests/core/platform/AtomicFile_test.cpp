#include "platform/AtomicFile.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
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

// Overwrites the file at `path` by its name, as a library given a file name does.
bool WriteByName(const std::string& path, const std::string& bytes) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return false;
  const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  return std::fclose(file) == 0 && written;
}

TEST(AtomicFileTest, ANamedFileIsWrittenByItsPathAndThenTakesTheTargetsName) {
  TempDir dir;
  const std::string path = dir.Write("out.xlsx", "old");
  ASSERT_EQ(::chmod(path.c_str(), 0640), 0);
  AtomicFile file;
  ASSERT_GE(file.BeginNamed(path), 0);
  const std::string temp = file.TempPath();
  // A hidden name of its own beside the target.
  ASSERT_EQ(temp.rfind(dir.Path() + "/.out.xlsx.korvel-", 0), 0u) << temp;
  EXPECT_EQ(temp.size(), dir.Path().size() + std::string("/.out.xlsx.korvel-").size() + 12);
  const std::string hidden = temp.substr(dir.Path().size() + 1);
  EXPECT_EQ(FolderEntries(dir.Path()), (Names{hidden, "out.xlsx"}));
  // The writer may open the path as often as it likes, emptying it each time.
  ASSERT_TRUE(WriteByName(temp, "a first try that is longer"));
  ASSERT_TRUE(WriteByName(temp, "new"));
  EXPECT_EQ(ReadFileBytes(path), "old");
  ASSERT_EQ(file.Commit(true), 0);
  EXPECT_EQ(ReadFileBytes(path), "new");
  EXPECT_EQ(Mode(path), 0640u);
  EXPECT_EQ(FolderEntries(dir.Path()), Names{"out.xlsx"});
  EXPECT_EQ(file.TempPath(), "");

  // A new file through a link: the hidden file lies beside the file the link points to.
  ASSERT_EQ(::mkdir(dir.File("real").c_str(), 0700), 0);
  ASSERT_EQ(::symlink("real/book.xlsx", dir.File("link.xlsx").c_str()), 0);
  AtomicFile linked;
  ASSERT_GE(linked.BeginNamed(dir.File("link.xlsx")), 0);
  EXPECT_EQ(linked.TempPath().rfind(dir.File("real/.book.xlsx.korvel-"), 0), 0u)
      << linked.TempPath();
  ASSERT_TRUE(WriteByName(linked.TempPath(), "through the link"));
  ASSERT_EQ(linked.Commit(false), 0);
  EXPECT_EQ(ReadFileBytes(dir.File("real/book.xlsx")), "through the link");
  EXPECT_EQ(FolderEntries(dir.File("real")), Names{"book.xlsx"});
}

TEST(AtomicFileTest, ANamedFileThatIsNotCommittedIsGone) {
  TempDir dir;
  const std::string path = dir.Write("out.xlsx", "old");
  {
    AtomicFile file;
    ASSERT_GE(file.BeginNamed(path), 0);
    ASSERT_TRUE(WriteByName(file.TempPath(), "dropped"));
  }  // abandoned
  EXPECT_EQ(FolderEntries(dir.Path()), Names{"out.xlsx"});
  {
    AtomicFile file;
    ASSERT_GE(file.BeginNamed(path), 0);
    ASSERT_TRUE(WriteByName(file.TempPath(), "discarded"));
    file.Discard();
    EXPECT_EQ(file.TempPath(), "");
    EXPECT_EQ(FolderEntries(dir.Path()), Names{"out.xlsx"});
  }
  {
    AtomicFile file;
    ASSERT_GE(file.BeginNamed(path), 0);
    ASSERT_TRUE(WriteByName(file.TempPath(), "not allowed to replace"));
    EXPECT_EQ(file.Commit(false), AtomicFile::kTargetExists);
  }
  EXPECT_EQ(ReadFileBytes(path), "old");
  EXPECT_EQ(FolderEntries(dir.Path()), Names{"out.xlsx"});
  // Targets that cannot be written begin nothing.
  for (const std::string& target : {dir.Path(), dir.File("missing/out.xlsx"), std::string()}) {
    AtomicFile file;
    EXPECT_EQ(file.BeginNamed(target), -1) << target;
    EXPECT_EQ(file.TempPath(), "") << target;
  }
  EXPECT_EQ(FolderEntries(dir.Path()), Names{"out.xlsx"});
}

// A named file is removed when the writer is stopped by SIGINT, SIGTERM or SIGHUP (a
// SIGKILL cannot be answered, and leaves the hidden name).
TEST(AtomicFileTest, ANamedFileIsRemovedWhenTheWriterIsStopped) {
  TempDir dir;
  for (int sig : {SIGINT, SIGTERM, SIGHUP}) {
    const std::string path = dir.Write("out.xlsx", "old");
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      InstallSignalCleanup();
      AtomicFile file;
      if (file.BeginNamed(path) < 0 || !WriteByName(file.TempPath(), "partial")) ::_exit(3);
      if (::write(ready[1], "r", 1) != 1) ::_exit(4);
      for (;;) ::pause();
    }
    ::close(ready[1]);
    char byte = 0;
    ASSERT_EQ(::read(ready[0], &byte, 1), 1);
    ::close(ready[0]);
    EXPECT_EQ(FolderEntries(dir.Path()).size(), 2u);
    ::kill(child, sig);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status));
    EXPECT_EQ(WTERMSIG(status), sig);
    EXPECT_EQ(FolderEntries(dir.Path()), Names{"out.xlsx"}) << "signal " << sig;
    EXPECT_EQ(ReadFileBytes(path), "old");
  }
}

}  // namespace
}  // namespace korvel
