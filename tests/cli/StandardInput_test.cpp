#include "cli/StandardInput.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "TestUtil.h"
#include "io/TextFile.h"
#include "platform/FileSystem.h"

namespace korvel::cli {
namespace {

using test::TempDir;

// Everything a TextFile reads from `path`, or "(not opened)".
std::string ReadThrough(const std::string& path) {
  TextFile file;
  if (file.Open(path, TextFile::kModeRead, 0) != 0) return "(not opened)";
  std::string text;
  char buffer[4096];
  for (int n; (n = file.Read(buffer, sizeof buffer)) > 0;) text.append(buffer, n);
  return text;
}

TEST(StandardInputTest, APipeIsCopiedWholeAndEveryOpeningReadsItFromTheStart) {
  TempDir tmp;
  test::ScopedEnv scope("TMPDIR", tmp.Path());
  int fds[2];
  ASSERT_EQ(::pipe(fds), 0);
  // More than a pipe holds, written while the copy reads.
  std::string data;
  for (int i = 0; i < 50000; ++i) data += std::to_string(i) + ",x\r\n";
  std::thread writer([&] {
    const char* p = data.data();
    std::size_t left = data.size();
    while (left > 0) {
      const ssize_t n = ::write(fds[1], p, left);
      if (n <= 0) break;
      p += n;
      left -= static_cast<std::size_t>(n);
    }
    ::close(fds[1]);
  });
  StandardInputCopy copy;
  std::string error;
  const bool captured = copy.Capture(fds[0], &error);
  writer.join();
  ::close(fds[0]);
  ASSERT_TRUE(captured) << error;
  ASSERT_EQ(copy.Path().rfind("/proc/self/fd/", 0), 0u);
  // Nothing was ever named in the temporary folder.
  EXPECT_TRUE(test::FolderEntries(tmp.Path()).empty());

  FileSystem* const before = &CurrentFileSystem();
  {
    StandardInputFileSystem fs(copy);
    EXPECT_EQ(&CurrentFileSystem(), &fs);
    // Twice, and while another opening is part-way: each has its own position.
    TextFile first;
    ASSERT_EQ(first.Open(kStandardInputPath, TextFile::kModeRead, 0), 0);
    char head[3];
    ASSERT_EQ(first.Read(head, 3), 3);
    EXPECT_EQ(ReadThrough("-"), data);
    EXPECT_EQ(ReadThrough("-"), data);
    // Other paths are the file system's as before; "-" is never written to.
    const std::string other = tmp.Write("other.csv", "other");
    EXPECT_EQ(ReadThrough(other), "other");
    EXPECT_EQ(ReadThrough("./-"), "(not opened)");
  }
  // The file system in force before is back, and "-" is an ordinary (here missing) name.
  EXPECT_EQ(&CurrentFileSystem(), before);
  EXPECT_EQ(ReadThrough("-"), "(not opened)");
}

TEST(StandardInputTest, AnInputThatCannotBeReadIsAFailureNotAnEmptyFile) {
  StandardInputCopy copy;
  std::string error;
  const int closed = ::open("/dev/null", O_RDONLY);
  ASSERT_GE(closed, 0);
  ::close(closed);
  EXPECT_FALSE(copy.Capture(closed, &error));
  EXPECT_EQ(error, "標準入力の読み込みに失敗しました。");
  EXPECT_TRUE(copy.Path().empty());

  const int folder = ::open("/", O_RDONLY | O_DIRECTORY);
  ASSERT_GE(folder, 0);
  error.clear();
  EXPECT_FALSE(copy.Capture(folder, &error));
  ::close(folder);
  EXPECT_EQ(error, "標準入力の読み込みに失敗しました。");

  // An empty input is an empty file.
  const int empty = ::open("/dev/null", O_RDONLY);
  ASSERT_TRUE(copy.Capture(empty, &error));
  ::close(empty);
  StandardInputFileSystem fs(copy);
  EXPECT_EQ(ReadThrough("-"), "");
}

// Writes `bytes` into a pipe from a thread of its own and returns the reading end.
class PipeInput {
 public:
  explicit PipeInput(std::string bytes) {
    if (::pipe(fds_) != 0) fds_[0] = fds_[1] = -1;
    writer_ = std::thread([this, bytes = std::move(bytes)] {
      for (std::size_t at = 0; at < bytes.size();) {
        const ssize_t n = ::write(fds_[1], bytes.data() + at, bytes.size() - at);
        if (n <= 0) break;
        at += static_cast<std::size_t>(n);
      }
      ::close(fds_[1]);
    });
  }
  ~PipeInput() {
    ::close(fds_[0]);  // a writer still blocked gets EPIPE
    writer_.join();
  }
  int Fd() const { return fds_[0]; }

 private:
  int fds_[2];
  std::thread writer_;
};

// Binary input is judged on its first 64 KiB, by the detection rule: an endless one stops
// there, a short one at its end; text with zero bytes in UTF-16's pattern passes.
TEST(StandardInputTest, ABinaryInputStopsTheCopyAfterItsFirstBlock) {
  StandardInputCopy copy;
  std::string error;
  const int zero = ::open("/dev/zero", O_RDONLY);
  ASSERT_GE(zero, 0);
  EXPECT_FALSE(copy.Capture(zero, &error));
  ::close(zero);
  EXPECT_EQ(error, "読込できないファイルです。");
  EXPECT_TRUE(copy.Path().empty());
  struct Case {
    std::string bytes;
    bool text;
  };
  const Case cases[] = {
      {std::string("1,a\0\0b\r\n", 8), false},
      {std::string(100000, 'a') + std::string(10, '\0'), true},  // zeros after the first block
      {std::string("1\0,\0a\0\r\0\n\0", 10), true},              // UTF-16 without a mark
      {std::string("\xFF\xFE"
                   "1\0\0\0\0\0",
                   8),
       true},  // with a mark
      {"1,a\r\n", true},
  };
  for (const Case& c : cases) {
    PipeInput input(c.bytes);
    error.clear();
    EXPECT_EQ(copy.Capture(input.Fd(), &error), c.text) << c.bytes.size();
    EXPECT_EQ(error, c.text ? "" : "読込できないファイルです。");
  }
}

// The copy stops before the disk of the temporary folder is all but full.
TEST(StandardInputTest, TheCopyStopsWhenTheTemporaryFolderRunsOutOfSpace) {
  TempDir dir;
  const std::string folder = dir.File("small");
  ASSERT_EQ(::mkdir(folder.c_str(), 0700), 0);
  const std::string mount = "mount -t tmpfs -o size=1m tmpfs '" + folder + "' >/dev/null 2>&1";
  if (::geteuid() != 0 || std::system(mount.c_str()) != 0) {
    GTEST_SKIP() << "mounting a small tmpfs needs root: not run";
  }
  test::ScopedEnv tmp("TMPDIR", folder);
  StandardInputCopy copy;
  std::string error;
  {
    PipeInput input(std::string(600 * 1024, 'a'));
    EXPECT_TRUE(copy.Capture(input.Fd(), &error)) << error;
  }
  {
    // Held open, the first copy keeps its space; the second would leave less than 5% free.
    StandardInputCopy second;
    PipeInput input(std::string(400 * 1024, 'b'));
    EXPECT_FALSE(second.Capture(input.Fd(), &error));
    EXPECT_EQ(error, "書き込みに失敗しました。");
  }
  EXPECT_EQ(test::FolderEntries(folder), std::vector<std::string>{});
  ::umount2(folder.c_str(), MNT_DETACH);
}

}  // namespace
}  // namespace korvel::cli
