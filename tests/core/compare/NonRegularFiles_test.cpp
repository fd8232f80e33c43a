// Paths that name something other than a regular file (a folder, a FIFO, a socket, a device)
// where the program reads a file: the comparison's inputs, the fixed-length definition file
// and the settings file. Each is refused like a missing file, decided on the opened
// descriptor before a single byte is read: a file system that counts reads sees none, and a
// FIFO without a writer, which would block an ordinary open for ever, fails at once (the
// test's CTest TIMEOUT turns a hang into a failure).

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "TestUtil.h"
#include "compare/FixDefinitionFile.h"
#include "compare/InputFiles.h"
#include "io/DelimitedReader.h"
#include "io/FixedWidthReader.h"
#include "io/StringList.h"
#include "platform/Codepage.h"
#include "platform/FileSystem.h"
#include "platform/Notifier.h"
#include "settings/SettingsStore.h"

namespace korvel {
namespace {

using test::TempDir;

// The real file system, counting the reads made through it.
class CountingFileSystem : public FileSystem {
 public:
  ssize_t Read(int fd, void* buffer, std::size_t count) override {
    ++reads_;
    return FileSystem::Read(fd, buffer, count);
  }
  int Reads() const { return reads_; }

 private:
  std::atomic<int> reads_{0};
};

class ScopedFileSystem {
 public:
  explicit ScopedFileSystem(FileSystem* fs) : previous_(SetFileSystem(fs)) {}
  ~ScopedFileSystem() { SetFileSystem(previous_); }

 private:
  FileSystem* previous_;
};

// Every kind of path that is not a regular file, made in `dir`. A FIFO is there twice: with
// no writer (an ordinary open would wait for one) and with a writer holding bytes in it (an
// ordinary open would succeed, and a read would take them).
class SpecialPaths {
 public:
  explicit SpecialPaths(const TempDir& dir) {
    Add("folder", dir.Path());
    const std::string lonely = dir.File("lonely.fifo");
    if (::mkfifo(lonely.c_str(), 0600) == 0) Add("FIFO without a writer", lonely);
    const std::string fed = dir.File("fed.fifo");
    if (::mkfifo(fed.c_str(), 0600) == 0) {
      // Opened for reading and writing, so that neither end waits; the bytes stay unread.
      writer_ = ::open(fed.c_str(), O_RDWR | O_NONBLOCK);
      if (writer_ >= 0 && ::write(writer_, "a,b\r\n", 5) == 5) Add("FIFO with data", fed);
    }
    const std::string socketPath = dir.File("s.sock");
    socket_ = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (socket_ >= 0 && socketPath.size() < sizeof address.sun_path) {
      std::memcpy(address.sun_path, socketPath.c_str(), socketPath.size() + 1);
      if (::bind(socket_, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) {
        Add("socket", socketPath);
      }
    }
    Add("/dev/zero", "/dev/zero");
    Add("/dev/null", "/dev/null");
    const std::string link = dir.File("zero.link");
    if (::symlink("/dev/zero", link.c_str()) == 0) Add("link to /dev/zero", link);
  }
  ~SpecialPaths() {
    if (writer_ >= 0) ::close(writer_);
    if (socket_ >= 0) ::close(socket_);
  }
  SpecialPaths(const SpecialPaths&) = delete;
  SpecialPaths& operator=(const SpecialPaths&) = delete;

  struct Path {
    std::string what;
    std::string path;
  };
  const std::vector<Path>& All() const { return paths_; }

 private:
  void Add(std::string what, std::string path) { paths_.push_back({what, path}); }

  std::vector<Path> paths_;
  int writer_ = -1;
  int socket_ = -1;
};

TEST(NonRegularFilesTest, EveryKindIsMadeForTheCases) {
  TempDir dir;
  SpecialPaths special(dir);
  // The cases below are only as good as the paths they get.
  EXPECT_EQ(special.All().size(), 7u);
}

TEST(NonRegularFilesTest, TheFileSystemOpensOnlyRegularFilesForReading) {
  TempDir dir;
  SpecialPaths special(dir);
  CountingFileSystem fs;
  ScopedFileSystem scope(&fs);
  for (const auto& p : special.All()) {
    SCOPED_TRACE(p.what);
    EXPECT_EQ(CurrentFileSystem().Open(p.path, FileSystem::OpenMode::kRead), -1);
  }
  // A regular file still opens, and its reads block as usual (no O_NONBLOCK left behind).
  const std::string regular = dir.Write("r.csv", "a,b\r\n");
  const int fd = CurrentFileSystem().Open(regular, FileSystem::OpenMode::kRead);
  ASSERT_GE(fd, 0);
  EXPECT_EQ(::fcntl(fd, F_GETFL) & O_NONBLOCK, 0);
  char buffer[8];
  EXPECT_EQ(CurrentFileSystem().Read(fd, buffer, sizeof buffer), 5);
  CurrentFileSystem().Close(fd);
  EXPECT_EQ(fs.Reads(), 1);
}

TEST(NonRegularFilesTest, InputsAreNotFoundBeforeAnyRead) {
  TempDir dir;
  SpecialPaths special(dir);
  const std::string good = dir.Write("good.csv", "a,b\r\n");
  for (const auto& p : special.All()) {
    SCOPED_TRACE(p.what);
    CountingFileSystem fs;
    ScopedFileSystem scope(&fs);
    RecordingNotifier notes;
    ScopedNotifier notifier(&notes);
    EXPECT_EQ(CheckInputFile(p.path), InputFileState::kNotFound);
    EXPECT_EQ(test::Shown(notes, ConfirmInputFiles(good, p.path)), kInputRightFailed);
    EXPECT_EQ(test::Shown(notes, ConfirmInputFiles(p.path, good)), kInputLeftFailed);
    EXPECT_EQ(notes.Texts(),
              (std::vector<std::string>{"パス(画面右)に該当のファイルが見付かりません。",
                                        "パス(画面左)に該当のファイルが見付かりません。"}));
    const int goodReads = fs.Reads();  // the good side was read; the other never

    // The readers give their own not-found text.
    DelimitedReader csv;
    EXPECT_EQ(csv.Open(p.path, 0, kEncodingSjis, 1), DelimitedReader::kOpenFailed);
    EXPECT_EQ(Cp932ToUtf8(csv.GetError()), "ファイルが見つかりません。");
    FixedWidthReader fix;
    ASSERT_EQ(fix.AddDefinition("A", 1).Code(), FixedWidthReader::kAddOk);
    EXPECT_EQ(fix.Open(p.path, 0, kEncodingSjis, 1), FixedWidthReader::kOpenFailed);
    EXPECT_EQ(Cp932ToUtf8(fix.GetError()), "ファイルが見つかりません。");
    EXPECT_EQ(fs.Reads(), goodReads);
  }
}

TEST(NonRegularFilesTest, ADefinitionFileIsRefusedAsAMissingOneIs) {
  TempDir dir;
  SpecialPaths special(dir);
  RecordingNotifier missingNotes;
  {
    ScopedNotifier notifier(&missingNotes);
    FixDefinitionRows rows;
    EXPECT_EQ(test::Shown(missingNotes, LoadFixDefinitionFile(dir.File("missing.dat"), rows)), -1);
  }
  ASSERT_EQ(missingNotes.Texts().size(), 1u);
  for (const auto& p : special.All()) {
    SCOPED_TRACE(p.what);
    CountingFileSystem fs;
    ScopedFileSystem scope(&fs);
    RecordingNotifier notes;
    ScopedNotifier notifier(&notes);
    FixDefinitionRows rows = {{"kept", "1"}};
    EXPECT_EQ(test::Shown(notes, LoadFixDefinitionFile(p.path, rows)), -1);
    EXPECT_EQ(notes.Texts(), missingNotes.Texts());
    EXPECT_EQ(rows.size(), 1u);  // untouched
    StringList lines;
    EXPECT_EQ(lines.LoadFromFile(p.path), -1);
    EXPECT_EQ(fs.Reads(), 0);
  }
}

// Points the program folder at `folder` for the lifetime of a scope.
class ScopedHome {
 public:
  explicit ScopedHome(const std::string& folder) {
    if (const char* old = std::getenv("KORVEL_HOME")) previous_ = old;
    ::setenv("KORVEL_HOME", folder.c_str(), 1);
  }
  ~ScopedHome() {
    if (previous_) {
      ::setenv("KORVEL_HOME", previous_->c_str(), 1);
    } else {
      ::unsetenv("KORVEL_HOME");
    }
  }

 private:
  std::optional<std::string> previous_;
};

TEST(NonRegularFilesTest, ASettingsFileThatIsNoFileGivesTheDefaultsSilently) {
  TempDir base;
  SpecialPaths special(base);
  for (const auto& p : special.All()) {
    if (p.path == base.Path()) continue;  // the folder case is korvel.ini as a folder below
    SCOPED_TRACE(p.what);
    TempDir home;
    ASSERT_EQ(::symlink(p.path.c_str(), home.File("korvel.ini").c_str()), 0);
    ScopedHome scope(home.Path());
    CountingFileSystem fs;
    ScopedFileSystem scopedFs(&fs);
    RecordingNotifier notes;
    NotifierPrompter prompter(notes);
    SettingsStore global(&prompter);
    global.SetEncoding(10);
    global.SetDetectBom(false);
    global.LoadSettings();
    EXPECT_EQ(global.GetEncoding(), 0);
    EXPECT_TRUE(global.GetDetectBom());
    // Saving neither reads it nor replaces it.
    global.SetEncoding(15);
    EXPECT_FALSE(global.SaveSettings());
    EXPECT_EQ(fs.Reads(), 0);
    EXPECT_TRUE(notes.Entries().empty());
    struct stat st;
    ASSERT_EQ(::lstat(home.File("korvel.ini").c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
  }
  {
    SCOPED_TRACE("folder");
    TempDir home;
    ASSERT_EQ(::mkdir(home.File("korvel.ini").c_str(), 0700), 0);
    ScopedHome scope(home.Path());
    CountingFileSystem fs;
    ScopedFileSystem scopedFs(&fs);
    RecordingNotifier notes;
    NotifierPrompter prompter(notes);
    SettingsStore global(&prompter);
    global.SetNewlineMode(2);
    global.LoadSettings();
    EXPECT_EQ(global.GetNewlineMode(), 0);
    EXPECT_EQ(fs.Reads(), 0);
    EXPECT_TRUE(notes.Entries().empty());
  }
}

}  // namespace
}  // namespace korvel
