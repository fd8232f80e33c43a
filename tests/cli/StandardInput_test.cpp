#include "cli/StandardInput.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <optional>
#include <string>
#include <thread>

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

}  // namespace
}  // namespace korvel::cli
