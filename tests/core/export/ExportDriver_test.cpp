#include "export/ExportDriver.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <string>
#include <vector>

#include "ExportTestSource.h"
#include "TestUtil.h"
#include "platform/FileSystem.h"
#include "platform/Notifier.h"
#include "platform/Progress.h"

namespace korvel {
namespace {

using test::MemoryExportSource;
using test::ReadFileBytes;
using test::S;
using test::SampleSource;
using test::TempDir;

using Texts = std::vector<std::string>;

const ExportFormat kFormats[] = {ExportFormat::kXml, ExportFormat::kCsv};
const ExportLayout kLayouts[] = {ExportLayout::kPerSheet, ExportLayout::kAlternateFields,
                                 ExportLayout::kAlternateRows};

// Lets the first `limit` bytes through, then fails every write (a full disk); counts calls.
class FullDiskFileSystem : public FileSystem {
 public:
  explicit FullDiskFileSystem(std::size_t limit) : limit_(limit) {}

  ssize_t Write(int fd, const void* buffer, std::size_t count) override {
    ++calls_;
    std::size_t room = limit_ - written_;
    std::size_t n = count < room ? count : room;
    if (n == 0) return -1;
    ssize_t done = FileSystem::Write(fd, buffer, n);
    if (done > 0) written_ += static_cast<std::size_t>(done);
    return done;
  }
  int Calls() const { return calls_; }
  std::size_t Written() const { return written_; }

 private:
  std::size_t limit_;
  std::size_t written_ = 0;
  int calls_ = 0;
};

class ScopedFileSystem {
 public:
  explicit ScopedFileSystem(FileSystem* fs) : previous_(SetFileSystem(fs)) {}
  ~ScopedFileSystem() { SetFileSystem(previous_); }

 private:
  FileSystem* previous_;
};

// `pairs` equal pairs of ten short fields, the first a key.
MemoryExportSource ManyPairs(int pairs) {
  MemoryExportSource s;
  for (int f = 1; f <= 10; ++f) s.fields.push_back({f, f == 1, false, "F" + std::to_string(f)});
  for (int i = 0; i < pairs; ++i) {
    MemoryExportSource::Row row;
    for (int f = 1; f <= 10; ++f) row.push_back(S("値") + std::to_string(i * 10 + f));
    s.left.push_back(row);
    s.right.push_back(row);
    s.pairs.push_back({0, i, i});
  }
  return s;
}

TEST(ExportDriverTest, ChecksBeforeWritingComeInTheDialogsOrder) {
  RecordingNotifier notifier;
  NotifierPrompter prompter(notifier);
  TempDir dir;
  const std::string existing = dir.Write("old.xml", "keep me");
  const std::string fresh = dir.File("new.xml");

  EXPECT_EQ(test::Shown(notifier, CheckExportPath("")), -1);
  EXPECT_EQ(test::Shown(notifier, CheckExportPath(fresh)), 0);
  ASSERT_EQ(notifier.Texts(), Texts{"出力先を指定してください。"});
  EXPECT_EQ(notifier.Entries()[0].box.caption, S("注意"));
  EXPECT_EQ(notifier.Entries()[0].box.icon, MessageIcon::kWarning);

  // Nothing to ask about a new name or a folder (creating a folder's name fails later).
  notifier.Clear();
  EXPECT_TRUE(ConfirmOverwrite(fresh, prompter));
  EXPECT_TRUE(ConfirmOverwrite(dir.Path(), prompter));
  EXPECT_TRUE(notifier.Texts().empty());

  notifier.QueueAnswer(false);
  EXPECT_FALSE(ConfirmOverwrite(existing, prompter));
  notifier.QueueAnswer(true);
  EXPECT_TRUE(ConfirmOverwrite(existing, prompter));
  const std::string overwrite = "既にファイルが存在します。上書きしてよろしいですか？";
  EXPECT_EQ(notifier.Texts(), (Texts{overwrite, overwrite}));
  EXPECT_EQ(notifier.Entries()[0].box.buttons, MessageButtons::kYesNo);

  // Only an XML export of more than 500 pairs asks about its length.
  notifier.Clear();
  EXPECT_TRUE(ConfirmLargeExport(ExportFormat::kXml, 500, prompter));
  EXPECT_TRUE(ConfirmLargeExport(ExportFormat::kCsv, 1000000, prompter));
  EXPECT_TRUE(notifier.Texts().empty());
  EXPECT_FALSE(ConfirmLargeExport(ExportFormat::kXml, 501, prompter));
  const std::string large = "データ件数が多いため出力に時間がかかりますがよろしいですか？";
  EXPECT_EQ(notifier.Texts(), Texts{large});

  // All three: the overwrite question first; a refusal stops the checks.
  notifier.Clear();
  notifier.QueueAnswer(true);
  notifier.QueueAnswer(true);
  EXPECT_EQ(test::Shown(notifier, ConfirmExport(existing, ExportFormat::kXml, 501, prompter)), 0);
  EXPECT_EQ(notifier.Texts(), (Texts{overwrite, large}));
  notifier.Clear();
  notifier.QueueAnswer(false);
  EXPECT_EQ(test::Shown(notifier, ConfirmExport(existing, ExportFormat::kXml, 501, prompter)), -1);
  EXPECT_EQ(notifier.Texts(), Texts{overwrite});
  notifier.Clear();
  notifier.QueueAnswer(true);
  notifier.QueueAnswer(false);
  EXPECT_EQ(test::Shown(notifier, ConfirmExport(existing, ExportFormat::kXml, 501, prompter)), -1);
  notifier.Clear();
  EXPECT_EQ(test::Shown(notifier, ConfirmExport("", ExportFormat::kXml, 501, prompter)), -1);
  EXPECT_EQ(notifier.Texts(), Texts{"出力先を指定してください。"});

  // No check touches the file.
  EXPECT_EQ(ReadFileBytes(existing), "keep me");
  EXPECT_EQ(GetPathKind(fresh), PathKind::kMissing);
}

TEST(ExportDriverTest, CompletedExportReplacesTheFileAndSaysSo) {
  RecordingNotifier notifier;
  TempDir dir;
  const std::string path = dir.Write("out.csv", std::string(100000, 'z'));
  MemoryExportSource s = SampleSource();
  EXPECT_EQ(test::Shown(notifier, RunExport(s, ExportFormat::kCsv, ExportLayout::kAlternateFields,
                                            path, true)),
            kExportDone);
  ASSERT_EQ(notifier.Texts(), Texts{"出力を完了しました。"});
  EXPECT_EQ(notifier.Entries()[0].box.caption, S("確認"));
  EXPECT_EQ(notifier.Entries()[0].box.icon, MessageIcon::kInformation);
  EXPECT_EQ(ReadFileBytes(path),
            test::ExportBytes(s, ExportFormat::kCsv, ExportLayout::kAlternateFields));
}

TEST(ExportDriverTest, UncreatableFileIsReported) {
  RecordingNotifier notifier;
  TempDir dir;
  MemoryExportSource s = SampleSource();
  EXPECT_EQ(test::Shown(notifier, RunExport(s, ExportFormat::kXml, ExportLayout::kPerSheet,
                                            dir.File("no/such.xml"))),
            kExportOpenFailed);
  EXPECT_EQ(
      test::Shown(notifier, RunExport(s, ExportFormat::kCsv, ExportLayout::kPerSheet, dir.Path())),
      kExportNotRegular);
  EXPECT_EQ(test::Shown(notifier, RunExport(s, ExportFormat::kCsv, ExportLayout::kPerSheet, "")),
            kExportOpenFailed);
  const std::string failed = "ファイルオープンに失敗しました。";
  // A folder is no file to replace, with or without consent.
  const std::string folder = "通常のファイルではないため出力できません。(" + dir.Path() + ")";
  EXPECT_EQ(notifier.Texts(), (Texts{failed, folder, failed}));
  EXPECT_EQ(notifier.Entries()[0].box.icon, MessageIcon::kWarning);
  EXPECT_EQ(GetPathKind(dir.Path()), PathKind::kFolder);
}

TEST(ExportDriverTest, FailedWriteIsReportedInsteadOfCompletion) {
  RecordingNotifier notifier;
  TempDir dir;
  const std::string path = dir.File("out");
  MemoryExportSource small = SampleSource();
  for (ExportFormat format : kFormats) {
    for (ExportLayout layout : kLayouts) {
      SCOPED_TRACE(testing::Message() << "format " << static_cast<int>(format) << " layout "
                                      << static_cast<int>(layout));
      const std::size_t size = test::ExportBytes(small, format, layout).size();
      // Failing at once, in the middle, and on the very last byte.
      for (std::size_t limit : {std::size_t{0}, size / 2, size - 1}) {
        FullDiskFileSystem fs(limit);
        ScopedFileSystem scopedFs(&fs);
        notifier.Clear();
        EXPECT_EQ(test::Shown(notifier, RunExport(small, format, layout, path, true)),
                  kExportWriteFailed);
        EXPECT_EQ(notifier.Texts(), Texts{"書き込みに失敗しました。"});
        EXPECT_EQ(notifier.Entries()[0].box.icon, MessageIcon::kWarning);
      }
      FullDiskFileSystem exact(size);
      ScopedFileSystem scopedFs(&exact);
      EXPECT_EQ(WriteExport(small, format, layout, path, Progress::None(), true), kExportDone);
    }
  }
}

TEST(ExportDriverTest, WritesInLargeBlocksAndStopsAfterAFailure) {
  TempDir dir;
  const std::string path = dir.File("out");
  MemoryExportSource s = ManyPairs(2000);
  for (ExportFormat format : kFormats) {
    const std::size_t size = test::ExportBytes(s, format, ExportLayout::kAlternateRows).size();
    ASSERT_GT(size, 400000u);
    {
      FullDiskFileSystem fs(size);
      ScopedFileSystem scopedFs(&fs);
      ASSERT_EQ(WriteExport(s, format, ExportLayout::kAlternateRows, path, Progress::None(), true),
                kExportDone);
      // Blocks are all but full: a cell that does not fit in what is left starts the next.
      EXPECT_LE(fs.Calls(), static_cast<int>(size / (60 * 1024)) + 1);
    }
    // Once a write has failed nothing more is handed to the file system.
    FullDiskFileSystem fs(200000);
    ScopedFileSystem scopedFs(&fs);
    EXPECT_EQ(WriteExport(s, format, ExportLayout::kAlternateRows, path, Progress::None(), true),
              kExportWriteFailed);
    EXPECT_EQ(fs.Written(), 200000u);
    EXPECT_EQ(fs.Calls(), 4);
  }
}

}  // namespace
}  // namespace korvel

namespace korvel {
namespace {

// Cancelled once `after` rows have been told.
class CancelAfterRows final : public Progress {
 public:
  explicit CancelAfterRows(std::uint64_t after) : after_(after) {}
  void AddExpected(int, std::uint64_t) override {}
  void AddDone(int, std::uint64_t rows) override { done_ += rows; }
  void AddRecords(int, std::uint64_t) override {}
  bool Cancelled() const override { return done_ >= after_; }

 private:
  const std::uint64_t after_;
  std::atomic<std::uint64_t> done_{0};
};

std::vector<std::string> FolderNames(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

// An export tells each pair it writes, once per pass over the pairs; cancelled at its start
// or part way, it ends without a message and leaves the file that was there as it was, and
// nothing else.
TEST(ExportDriverTest, ProgressCountsThePairsAndACancelledExportLeavesTheFile) {
  TempDir dir;
  MemoryExportSource s = ManyPairs(3000);
  const std::string path = dir.Write("out", "old bytes");
  for (ExportFormat format : {ExportFormat::kXml, ExportFormat::kCsv, ExportFormat::kXlsx}) {
    for (ExportLayout layout : kLayouts) {
      SCOPED_TRACE(testing::Message() << "format " << static_cast<int>(format) << " layout "
                                      << static_cast<int>(layout));
      const std::uint64_t rows = layout == ExportLayout::kPerSheet ? 6000 : 3000;
      // At the start, part way, and in the last block of rows.
      for (std::uint64_t after : {std::uint64_t{0}, std::uint64_t{1024}, rows - 1024}) {
        CancelAfterRows cancel(after);
        EXPECT_EQ(WriteExport(s, format, layout, path, cancel, true), kExportCancelled) << after;
        EXPECT_EQ(ReadFileBytes(path), "old bytes") << after;
        EXPECT_EQ(FolderNames(dir.Path()), std::vector<std::string>{"out"}) << after;
      }
      EXPECT_FALSE(ExportOutcome(kExportCancelled).HasMessages());

      ProgressCounters counters;
      const std::string done = dir.File("done");
      ASSERT_EQ(WriteExport(s, format, layout, done, counters, true), kExportDone);
      EXPECT_EQ(counters.Expected(), rows);
      EXPECT_EQ(counters.Done(), rows);
      EXPECT_EQ(counters.Records(Progress::kLeft), rows);
      std::filesystem::remove(done);
    }
  }
}

}  // namespace
}  // namespace korvel

namespace korvel {
namespace {

// Passes every call to the real file system; at the first flush (the export is written
// whole and is about to take its name) it tells `ready` and waits for a byte on `go`.
class PauseBeforeCommit : public FileSystem {
 public:
  PauseBeforeCommit(int ready, int go) : ready_(ready), go_(go) {}
  int Sync(int fd) override {
    char byte = 'r';
    if (!paused_ && (::write(ready_, &byte, 1) != 1 || ::read(go_, &byte, 1) != 1)) ::_exit(90);
    paused_ = true;
    return FileSystem::Sync(fd);
  }

 private:
  int ready_;
  int go_;
  bool paused_ = false;
};

// Two processes export to one new name at once, in every format: the first to finish
// writes the file, the other is refused and leaves it whole.
TEST(ExportDriverTest, TwoProcessesExportingToOneNameLoseNothing) {
  for (ExportFormat format : {ExportFormat::kXml, ExportFormat::kCsv, ExportFormat::kXlsx}) {
    SCOPED_TRACE(static_cast<int>(format));
    TempDir dir;
    const std::string path = dir.File("out");
    int ready[2];
    int go[2];
    ASSERT_EQ(::pipe(ready), 0);
    ASSERT_EQ(::pipe(go), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      PauseBeforeCommit fs(ready[1], go[0]);
      SetFileSystem(&fs);
      ::_exit(-WriteExport(ManyPairs(300), format, ExportLayout::kAlternateRows, path));
    }
    char byte = 0;
    ASSERT_EQ(::read(ready[0], &byte, 1), 1);
    const MemoryExportSource mine = ManyPairs(200);
    ASSERT_EQ(WriteExport(mine, format, ExportLayout::kAlternateRows, path), kExportDone);
    const std::string written = ReadFileBytes(path);
    ASSERT_EQ(::write(go[1], "g", 1), 1);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(-WEXITSTATUS(status), kExportTargetExists);
    EXPECT_EQ(ReadFileBytes(path), written);
    if (format != ExportFormat::kXlsx) {
      EXPECT_EQ(written, test::ExportBytes(mine, format, ExportLayout::kAlternateRows));
    }
    EXPECT_EQ(FolderNames(dir.Path()), std::vector<std::string>{"out"});
    EXPECT_EQ(ExportOutcome(kExportTargetExists).Messages()[0].Text,
              S("既にファイルが存在します。"));
    for (int fd : {ready[0], ready[1], go[0], go[1]}) ::close(fd);
  }
}

// Turns cancelled once every row has been told, from its second poll on: while the
// workbook is packaged.
class CancelWhilePackaging final : public Progress {
 public:
  void AddExpected(int, std::uint64_t rows) override { expected_ += rows; }
  void AddDone(int, std::uint64_t rows) override { done_ += rows; }
  void AddRecords(int, std::uint64_t) override {}
  bool Cancelled() const override { return done_ >= expected_ && ++polls_ > 1; }

 private:
  std::atomic<std::uint64_t> expected_{0};
  std::atomic<std::uint64_t> done_{0};
  mutable std::atomic<int> polls_{0};
};

// 中止 after the last row, as libxlsxwriter packages the workbook: the packaging is cut
// short and the old file stays whole, with nothing beside it.
TEST(ExportDriverTest, AnXlsxExportCancelledWhileItIsPackagedLeavesTheFile) {
  TempDir dir;
  const std::string path = dir.Write("out", "old bytes");
  CancelWhilePackaging cancel;
  EXPECT_EQ(WriteExport(ManyPairs(3 * 1024), ExportFormat::kXlsx, ExportLayout::kAlternateRows,
                        path, cancel, true),
            kExportCancelled);
  EXPECT_EQ(ReadFileBytes(path), "old bytes");
  EXPECT_EQ(FolderNames(dir.Path()), std::vector<std::string>{"out"});
}

// Kills its own process once `after` rows are written, or at the first flush.
class KillAfterRows final : public Progress {
 public:
  explicit KillAfterRows(std::uint64_t after) : after_(after) {}
  void AddExpected(int, std::uint64_t) override {}
  void AddDone(int, std::uint64_t rows) override {
    if ((done_ += rows) >= after_) ::raise(SIGKILL);
  }
  void AddRecords(int, std::uint64_t) override {}
  bool Cancelled() const override { return false; }

 private:
  const std::uint64_t after_;
  std::uint64_t done_ = 0;
};
class KillAtFlush : public FileSystem {
 public:
  int Sync(int) override { return ::raise(SIGKILL); }
};

// An .xlsx export killed while it writes its rows leaves nothing beside the old file; killed
// as it takes the name, at most a hidden name that the next export into the folder removes.
TEST(ExportDriverTest, AKilledXlsxExportLeavesNothingBehind) {
  TempDir dir;
  const std::string path = dir.Write("out.xlsx", "old bytes");
  for (bool atFlush : {false, true}) {
    SCOPED_TRACE(atFlush ? "at the flush" : "while rows are written");
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      KillAfterRows rows(atFlush ? ~std::uint64_t{0} : 2048);
      KillAtFlush fs;
      if (atFlush) SetFileSystem(&fs);
      ::_exit(-WriteExport(ManyPairs(5000), ExportFormat::kXlsx, ExportLayout::kAlternateRows, path,
                           rows, true));
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL) << status;
    EXPECT_EQ(ReadFileBytes(path), "old bytes");
    std::vector<std::string> names = FolderNames(dir.Path());
    if (atFlush && names.size() == 2) {
      EXPECT_EQ(names[0].rfind(".out.xlsx.korvel-", 0), 0u) << names[0];
      names.erase(names.begin());
    }
    EXPECT_EQ(names, std::vector<std::string>{"out.xlsx"});
    ASSERT_EQ(WriteExport(ManyPairs(10), ExportFormat::kCsv, ExportLayout::kAlternateRows,
                          dir.File("next.csv")),
              kExportDone);
    EXPECT_EQ(FolderNames(dir.Path()), (std::vector<std::string>{"next.csv", "out.xlsx"}));
    std::filesystem::remove(dir.File("next.csv"));
  }
}

}  // namespace
}  // namespace korvel
