#include "platform/AtomicFile.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "TestUtil.h"
#include "io/TextFile.h"
#include "platform/FileSystem.h"

namespace korvel {
namespace {

using test::FolderEntries;
using test::ReadFileBytes;
using test::TempDir;
using Names = std::vector<std::string>;

// Writes `bytes` through an AtomicFile and commits it.
int WriteWhole(const std::string& path, const std::string& bytes, bool replace) {
  AtomicFile file;
  const int fd = file.Begin(path, replace ? AtomicFile::kReplace : 0);
  if (fd < 0) return fd == AtomicFile::kFailed ? -100 : fd;
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
  EXPECT_EQ(WriteWhole(dir.Path(), "x", true), AtomicFile::kNotRegularFile);  // a folder
  EXPECT_EQ(WriteWhole(dir.File("missing/out.csv"), "x", true), -100);        // no such folder
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

// Passes every call to the real file system, and stops its own process by `sig` at the
// `stopAt`-th write or flush that goes through it: a kill at a chosen step of a write.
class StopAtStep : public FileSystem {
 public:
  StopAtStep(int stopAt, int sig) : stopAt_(stopAt), sig_(sig) {}
  ssize_t Write(int fd, const void* buffer, std::size_t count) override {
    Step();
    return FileSystem::Write(fd, buffer, count);
  }
  int Sync(int fd) override {
    Step();
    return FileSystem::Sync(fd);
  }

 private:
  void Step() {
    if (++steps_ == stopAt_) ::raise(sig_);
  }
  int stopAt_;
  int sig_;
  int steps_ = 0;
};

// A writer killed at any step leaves the old file or the whole new one, and at most a hidden
// name that the next write into the folder removes. The steps of a write: its blocks, the
// flush of the file (a replacing write has linked its hidden name by then), the flush of
// the folder (the rename is done).
TEST(AtomicFileTest, AWriterKilledAtAnyStepLeavesTheOldFileOrTheNewOne) {
  TempDir dir;
  const std::string old = "the previous export\r\n";
  const std::string whole(8 * 4096, 'n');
  const int kBlocks = 8;
  for (bool replace : {true, false}) {
    for (int step = 1; step <= kBlocks + 3; ++step) {
      for (int sig : {SIGKILL, SIGTERM}) {
        SCOPED_TRACE(testing::Message() << (replace ? "replacing" : "new file") << ", step " << step
                                        << ", signal " << sig);
        const std::string path = dir.File("out.csv");
        ::unlink(path.c_str());
        if (replace) dir.Write("out.csv", old);
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
          InstallSignalCleanup();
          StopAtStep fs(step, sig);
          SetFileSystem(&fs);
          TextFile file;
          file.SetReplace(replace);
          if (file.Open(path, TextFile::kModeWrite, 0) != 0) ::_exit(3);
          for (int block = 0; block < kBlocks; ++block) {
            if (file.Write(whole.data() + block * 4096, 4096) != 4096) ::_exit(4);
          }
          ::_exit(file.Close() == 0 ? 0 : 5);
        }
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        const bool finished = step > kBlocks + 2;
        if (finished) {
          ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
        } else {
          ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == sig) << status;
        }
        // Renamed at the folder's flush: from then on the new file, before it the old one.
        const bool renamed = step >= kBlocks + 2;
        EXPECT_EQ(ReadFileBytes(path), renamed ? whole : (replace ? old : ""));
        Names expected;
        if (renamed || replace) expected.push_back("out.csv");
        // Only a kill that no handler sees, between the hidden name and the rename.
        const bool hidden = replace && sig == SIGKILL && step == kBlocks + 1;
        Names now = FolderEntries(dir.Path());
        ASSERT_EQ(now.size(), expected.size() + (hidden ? 1 : 0));
        if (hidden) {
          EXPECT_EQ(now[0].rfind(".out.csv.korvel-", 0), 0u) << now[0];
          now.erase(now.begin());
        }
        EXPECT_EQ(now, expected);
        // The next write into the folder removes what was left, and nothing else.
        ASSERT_EQ(WriteWhole(dir.File("next.csv"), "next", false), 0);
        expected.insert(expected.begin(), "next.csv");
        EXPECT_EQ(FolderEntries(dir.Path()), expected);
        ::unlink(dir.File("next.csv").c_str());
      }
    }
  }
}

// Records, at every flush, what was flushed and what the target held then.
class SyncRecorder : public FileSystem {
 public:
  explicit SyncRecorder(std::string target) : target_(std::move(target)) {}
  int Sync(int fd) override {
    struct stat st {};
    ::fstat(fd, &st);
    seen.push_back(std::string(S_ISDIR(st.st_mode) ? "folder:" : "file:") + ReadFileBytes(target_));
    return FileSystem::Sync(fd);
  }
  std::vector<std::string> seen;

 private:
  std::string target_;
};

// The data reaches the disk before the name, the name before the write is done.
TEST(AtomicFileTest, TheFileIsFlushedBeforeItsRenameAndTheFolderAfter) {
  for (bool replace : {true, false}) {
    TempDir dir;
    const std::string path = dir.File("out.csv");
    if (replace) dir.Write("out.csv", "old");
    SyncRecorder fs(path);
    FileSystem* previous = SetFileSystem(&fs);
    EXPECT_EQ(WriteWhole(path, "new", replace), 0);
    SetFileSystem(previous);
    EXPECT_EQ(fs.seen, (Names{replace ? "file:old" : "file:", "folder:new"}));
  }
}

// What a write may replace: only a regular file, and only when allowed; a link is followed
// only when allowed and trusted. Nothing refused is changed.
TEST(AtomicFileTest, OnlyARegularFileIsReplacedAndLinksOnlyWhenTrusted) {
  TempDir dir;
  const std::string file = dir.Write("file", "old");
  ASSERT_EQ(::mkfifo(dir.File("fifo").c_str(), 0600), 0);
  ASSERT_EQ(::mkdir(dir.File("folder").c_str(), 0700), 0);
  ASSERT_EQ(::symlink("loop2", dir.File("loop1").c_str()), 0);
  ASSERT_EQ(::symlink("loop1", dir.File("loop2").c_str()), 0);
  ASSERT_EQ(::symlink("file", dir.File("link").c_str()), 0);
  ASSERT_EQ(::symlink("nowhere", dir.File("dangling").c_str()), 0);
  ASSERT_EQ(::symlink("fifo", dir.File("tofifo").c_str()), 0);
  const int sock = ::socket(AF_UNIX, SOCK_STREAM, 0);
  struct sockaddr_un address {};
  address.sun_family = AF_UNIX;
  const std::string socketPath = dir.File("socket");
  ASSERT_LT(socketPath.size(), sizeof address.sun_path);
  std::strcpy(address.sun_path, socketPath.c_str());
  ASSERT_EQ(::bind(sock, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  // A device node of the test's own (as /dev/null is): only root may make one.
  const bool device = ::mknod(dir.File("device").c_str(), S_IFCHR | 0600, makedev(1, 3)) == 0;
  constexpr int R = AtomicFile::kReplace;
  constexpr int kNotRegular = AtomicFile::kNotRegularFile;
  struct Case {
    const char* name;
    int flags;
    int expected;  // Begin's refusal, or 0 when it may go ahead
  };
  std::vector<Case> cases = {
      {"file", 0, AtomicFile::kTargetExists},
      {"file", R, 0},
      {"fifo", 0, kNotRegular},
      {"fifo", R, kNotRegular},
      {"socket", R, kNotRegular},
      {"folder", R, kNotRegular},
      {"loop1", R, kNotRegular},
      {"tofifo", R, kNotRegular},
      {"link", 0, AtomicFile::kTargetExists},
      {"dangling", 0, AtomicFile::kTargetExists},  // a link that leads nowhere exists too
      {"link", R | AtomicFile::kNoFollow, AtomicFile::kLinkRefused},
      {"link", R, 0},
      {"missing", 0, 0},
  };
  if (device) {
    cases.push_back({"device", 0, kNotRegular});
    cases.push_back({"device", R, kNotRegular});
  }
  const Names before = FolderEntries(dir.Path());
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.name << " flags " << c.flags);
    EXPECT_EQ(AtomicFile::CheckTarget(dir.File(c.name), c.flags), c.expected);
    AtomicFile writer;
    const int fd = writer.Begin(dir.File(c.name), c.flags);
    EXPECT_EQ(fd < 0 ? fd : 0, c.expected);
  }
  EXPECT_EQ(FolderEntries(dir.Path()), before);
  EXPECT_EQ(ReadFileBytes(file), "old");
  struct stat st {};
  ASSERT_EQ(::lstat(dir.File("fifo").c_str(), &st), 0);
  EXPECT_TRUE(S_ISFIFO(st.st_mode));
  if (device) {
    ASSERT_EQ(::lstat(dir.File("device").c_str(), &st), 0);
    EXPECT_TRUE(S_ISCHR(st.st_mode));
  }
  ::close(sock);
  if (!device) GTEST_SKIP() << "device nodes need root: the device cases did not run";
}

// A link in a sticky folder that everyone may write to is followed only when this user or
// the folder's owner made it, as the kernel's protected_symlinks rule has it.
TEST(AtomicFileTest, ALinkPlantedInASharedStickyFolderIsNotFollowed) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs root to give a link to another user";
  TempDir dir;
  const std::string shared = dir.File("shared");
  ASSERT_EQ(::mkdir(shared.c_str(), 0700), 0);
  ASSERT_EQ(::chmod(shared.c_str(), 01777), 0);
  const std::string victim = dir.Write("victim", "precious");
  ASSERT_EQ(::symlink(victim.c_str(), (shared + "/planted").c_str()), 0);
  ASSERT_EQ(::lchown((shared + "/planted").c_str(), 65534, 65534), 0);
  ASSERT_EQ(::symlink(victim.c_str(), (shared + "/mine").c_str()), 0);
  EXPECT_EQ(WriteWhole(shared + "/planted", "evil", true), AtomicFile::kLinkRefused);
  EXPECT_EQ(ReadFileBytes(victim), "precious");
  struct stat st {};
  ASSERT_EQ(::lstat((shared + "/planted").c_str(), &st), 0);
  EXPECT_TRUE(S_ISLNK(st.st_mode));
  // The same link outside a sticky folder, or one of this user's own, is followed.
  ASSERT_EQ(WriteWhole(shared + "/mine", "mine", true), 0);
  EXPECT_EQ(ReadFileBytes(victim), "mine");
  ASSERT_EQ(::chmod(shared.c_str(), 0777), 0);
  ASSERT_EQ(WriteWhole(shared + "/planted", "unshared", true), 0);
  EXPECT_EQ(ReadFileBytes(victim), "unshared");
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
    EXPECT_LT(file.BeginNamed(target), 0) << target;
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
