// A comparison run's progress: what it reports, and that a cancellation at any of its polls
// ends it without a message and without a half-made result.

#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "FaultyFileSystem.h"
#include "TestUtil.h"
#include "compare/CompareSession.h"
#include "platform/Notifier.h"
#include "platform/Progress.h"

namespace korvel {
namespace {

// `rows` records "k<i>,v<i>,<filler>" with every `step`-th key left out.
std::string Records(int rows, int step, const std::string& filler) {
  std::string text;
  for (int i = 0; i < rows; ++i) {
    if (step > 0 && i % step == 0) continue;
    text.append("k").append(std::to_string(i * 7 % rows));
    text.append(",v").append(std::to_string(i % 13)).append(",").append(filler).append("\r\n");
  }
  return text;
}

int LineCount(const std::string& text) {
  int n = 0;
  for (char c : text) n += c == '\n';
  return n;
}

// Cancelled from its `after`-th poll on; the polls come from both reading threads.
class CancelAfter final : public Progress {
 public:
  explicit CancelAfter(int after) : after_(after) {}
  void AddExpected(int, std::uint64_t) override {}
  void AddDone(int, std::uint64_t) override {}
  void AddRecords(int, std::uint64_t) override {}
  bool Cancelled() const override { return polls_.fetch_add(1) + 1 >= after_; }
  int Polls() const { return polls_.load(); }

 private:
  const int after_;
  mutable std::atomic<int> polls_{0};
};

class CompareProgressTest : public ::testing::Test {
 protected:
  FieldGrid Fill(const std::string& left, const std::string& right, bool keyed) {
    session_.EditSettings().PathL = dir_.Write("left.csv", left);
    session_.EditSettings().PathR = dir_.Write("right.csv", right);
    session_.StartSetUp();
    FieldGrid grid;
    EXPECT_EQ(test::Shown(notifier_, session_.FillFieldGrids(grid, prompter_)), 0);
    if (keyed) grid.Toggle(1, FieldGrid::kKey);
    return grid;
  }
  using Pairs = std::vector<std::tuple<int, int, int>>;
  Pairs PairRows() const {
    Pairs rows;
    for (const RecordPair& p : session_.AllPairs())
      rows.emplace_back(p.Status, p.LeftRow, p.RightRow);
    return rows;
  }

  test::TempDir dir_;
  RecordingNotifier notifier_;
  NotifierPrompter prompter_{notifier_};
  CompareSession session_;
};

// Records per side, bytes expected (both files' sizes) and read (all of them), whatever the
// number of blocks and records.
TEST_F(CompareProgressTest, ReportsRecordsAndBytesPerSide) {
  struct Case {
    const char* what;
    int rowsL, stepL, rowsR, stepR;
    std::string filler;
  };
  const Case cases[] = {
      {"small", 5, 0, 3, 0, "x"},
      {"exactly 1024 records", 1024, 0, 1023, 0, "y"},
      {"several blocks", 9000, 5, 7000, 3, std::string(40, 'z')},
  };
  for (const Case& c : cases) {
    const std::string left = Records(c.rowsL, c.stepL, c.filler);
    const std::string right = Records(c.rowsR, c.stepR, c.filler);
    FieldGrid grid = Fill(left, right, true);
    ProgressCounters counters;
    ASSERT_EQ(test::Shown(notifier_, session_.CompareSides(grid, counters)), 0) << c.what;
    EXPECT_EQ(counters.Records(Progress::kLeft), static_cast<std::uint64_t>(LineCount(left)))
        << c.what;
    EXPECT_EQ(counters.Records(Progress::kRight), static_cast<std::uint64_t>(LineCount(right)))
        << c.what;
    EXPECT_EQ(counters.Expected(), left.size() + right.size()) << c.what;
    EXPECT_EQ(counters.Done(), counters.Expected()) << c.what;
    EXPECT_FALSE(counters.Cancelled()) << c.what;
  }
}

// Whichever poll the cancellation meets — a block read, a batch of records, a pass of the
// sort, the merge or the classification — the run ends as kCancelled with no message and
// the empty result, and the next run is whole.
TEST_F(CompareProgressTest, CancellingAtAnyPollEndsWithoutMessageOrResult) {
  struct Case {
    const char* what;
    bool keyed;
  };
  const Case cases[] = {{"keyed", true}, {"by position", false}};
  const std::string left = Records(20000, 4, "l");
  const std::string right = Records(19000, 5, "r");
  for (const Case& c : cases) {
    FieldGrid grid = Fill(left, right, c.keyed);
    ASSERT_EQ(test::Shown(notifier_, session_.CompareSides(grid)), 0) << c.what;
    const Pairs whole = PairRows();
    const std::string summary = session_.SummaryText();
    int cancelled = 0;
    for (int after = 1;; ++after) {
      CancelAfter progress(after);
      const Status result = session_.CompareSides(grid, progress);
      if (result.IsOk()) {
        // Every poll came before this one: the run that outlived them all is whole.
        EXPECT_LT(progress.Polls(), after) << c.what;
        EXPECT_EQ(PairRows(), whole) << c.what;
        break;
      }
      ++cancelled;
      EXPECT_EQ(result.Code(), CompareSession::kCancelled) << c.what << " poll " << after;
      EXPECT_FALSE(result.HasMessages()) << c.what << " poll " << after;
      EXPECT_TRUE(session_.AllPairs().empty()) << c.what << " poll " << after;
      EXPECT_TRUE(session_.Fields().empty()) << c.what << " poll " << after;
      ASSERT_LT(after, 10000) << c.what;
    }
    // Two blocks or more per side, 1024-record batches and the passes: many places to stop.
    EXPECT_GT(cancelled, 20) << c.what;
    ASSERT_EQ(test::Shown(notifier_, session_.CompareSides(grid)), 0) << c.what;
    EXPECT_EQ(PairRows(), whole) << c.what;
    EXPECT_EQ(session_.SummaryText(), summary) << c.what;
  }
}

// A session set up from another runs what that one would, and leaves it as it was.
TEST_F(CompareProgressTest, ASessionSetUpFromAnotherRunsTheSame) {
  FieldGrid grid = Fill(Records(50, 3, "a"), Records(40, 4, "a"), true);
  ASSERT_EQ(test::Shown(notifier_, session_.CompareSides(grid)), 0);
  const Pairs shown = PairRows();
  const std::string summary = session_.SummaryText();
  CompareSession next;
  next.CopySetUp(session_);
  ASSERT_EQ(test::Shown(notifier_, next.CompareSides(grid)), 0);
  Pairs built;
  for (const RecordPair& p : next.AllPairs()) built.emplace_back(p.Status, p.LeftRow, p.RightRow);
  EXPECT_EQ(built, shown);
  EXPECT_EQ(next.SummaryText(), summary);
  EXPECT_EQ(PairRows(), shown);
}

// Tells the polls of the thread that made it (the caller of the run) from those of the
// run's other threads. The caller's `after`-th poll and later ones are cancelled when
// `caller` is set; otherwise every poll of another thread once the caller has polled
// `after` times.
class CancelOneThread final : public Progress {
 public:
  CancelOneThread(bool caller, int after)
      : callerId_(std::this_thread::get_id()), caller_(caller), after_(after) {}
  void AddExpected(int, std::uint64_t) override {}
  void AddDone(int, std::uint64_t) override {}
  void AddRecords(int, std::uint64_t) override {}
  bool Cancelled() const override {
    if (std::this_thread::get_id() == callerId_) {
      const int n = callerPolls_.fetch_add(1) + 1;
      return caller_ && n >= after_;
    }
    if (caller_ || callerPolls_.load() < after_) return false;
    ++otherCancels_;
    return true;
  }
  int CallerPolls() const { return callerPolls_.load(); }
  int OtherCancels() const { return otherCancels_.load(); }

 private:
  const std::thread::id callerId_;
  const bool caller_;
  const int after_;
  mutable std::atomic<int> callerPolls_{0};
  mutable std::atomic<int> otherCancels_{0};
};

// The pairs are classified in two shares, the second on a helper thread. The caller's last
// two polls are the merge's and its share's; a cancellation that only the helper's share
// sees, or only the caller's, still ends the run as cancelled.
TEST_F(CompareProgressTest, CancellingEitherShareOfTheClassificationCancelsTheRun) {
  FieldGrid grid = Fill(Records(20000, 4, "l"), Records(19000, 5, "r"), true);
  CancelOneThread counting(false, 1 << 30);
  ASSERT_EQ(test::Shown(notifier_, session_.CompareSides(grid, counting)), 0);
  const Pairs whole = PairRows();
  const int callerPolls = counting.CallerPolls();
  ASSERT_GT(callerPolls, 2);
  struct Case {
    const char* what;
    bool caller;
    int after;
  };
  const Case cases[] = {{"the helper's share, once the merge has polled", false, callerPolls - 1},
                        {"the caller's share", true, callerPolls}};
  for (const Case& c : cases) {
    CancelOneThread progress(c.caller, c.after);
    const Status result = session_.CompareSides(grid, progress);
    EXPECT_EQ(result.Code(), CompareSession::kCancelled) << c.what;
    EXPECT_FALSE(result.HasMessages()) << c.what;
    EXPECT_TRUE(session_.AllPairs().empty()) << c.what;
    EXPECT_TRUE(session_.Fields().empty()) << c.what;
    EXPECT_GE(progress.CallerPolls(), callerPolls) << c.what;
    if (!c.caller) {
      EXPECT_GT(progress.OtherCancels(), 0) << c.what;
    }
  }
  ASSERT_EQ(test::Shown(notifier_, session_.CompareSides(grid)), 0);
  EXPECT_EQ(PairRows(), whole);
}

// Cancelled from its `after`-th poll on, and a file system over the real one: together they
// note every read of a file and every byte reported by a thread that has already been told
// of the cancellation.
class CancelWatch final : public Progress, public FileSystem {
 public:
  explicit CancelWatch(int after) : after_(after) {}
  void AddExpected(int, std::uint64_t) override {}
  void AddDone(int, std::uint64_t) override { Note(); }
  void AddRecords(int, std::uint64_t) override {}
  bool Cancelled() const override {
    if (polls_.fetch_add(1) + 1 < after_) return false;
    std::lock_guard<std::mutex> lock(mutex_);
    told_.insert(std::this_thread::get_id());
    return true;
  }
  ssize_t Read(int fd, void* buffer, std::size_t count) override {
    Note();
    return FileSystem::Read(fd, buffer, count);
  }
  int AfterTheCancel() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return afterTheCancel_;
  }

 private:
  void Note() {
    std::lock_guard<std::mutex> lock(mutex_);
    afterTheCancel_ += static_cast<int>(told_.count(std::this_thread::get_id()));
  }

  const int after_;
  mutable std::atomic<int> polls_{0};
  mutable std::mutex mutex_;
  mutable std::set<std::thread::id> told_;
  int afterTheCancel_ = 0;
};

// Once a reading thread learns that the run is cancelled it reads no byte more, and reports
// none, at whichever poll the cancellation comes.
TEST_F(CompareProgressTest, NothingIsReadOrReportedAfterACancel) {
  // Several 64 KiB blocks per side.
  FieldGrid grid = Fill(Records(6000, 4, std::string(60, 'l')), Records(5000, 5, "r"), true);
  int cancelled = 0;
  for (int after = 1; after < 10000; ++after) {
    CancelWatch watch(after);
    test::ScopedFaultyFileSystem scoped(&watch);
    const Status result = session_.CompareSides(grid, watch);
    EXPECT_EQ(watch.AfterTheCancel(), 0) << "poll " << after;
    if (result.IsOk()) break;
    ++cancelled;
  }
  EXPECT_GT(cancelled, 5);
}

}  // namespace
}  // namespace korvel
