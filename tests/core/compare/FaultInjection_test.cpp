// Faults from outside during a comparison: reads that fail in the middle of a file, files
// that change between the filling of the grid and the run, and memory that runs out at
// any allocation of a run.
//
// Memory faults are injected by this test program's own global operator new (all its
// forms), which passes every allocation to malloc until a test arms it to fail the n-th
// allocation from then on, or that one and every later one. Everything the engine itself
// allocates goes through operator new (the row tables' blocks included), so a sweep over n
// reaches every allocation of a run, on both reader threads. (Under valgrind, run with
// --soname-synonyms=somalloc=nouserintercepts, or valgrind's own operator new takes over.)

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <new>
#include <string>
#include <tuple>
#include <vector>

#include "FaultyFileSystem.h"
#include "TestUtil.h"
#include "compare/CompareSession.h"
#include "compare/FixDefinitionFile.h"
#include "compare/FixedWidthRecordReader.h"
#include "io/DelimitedReader.h"
#include "io/FixedWidthReader.h"
#include "io/StringList.h"
#include "platform/Notifier.h"

namespace {

std::atomic<long> allocationsSeen{0};
std::atomic<long> failAt{-1};  // the allocation (from 0, counted while armed) to fail
std::atomic<bool> failLater{false};
std::atomic<long> allocationsFailed{0};

bool AllocationFails() {
  const long at = failAt.load(std::memory_order_relaxed);
  if (at < 0) return false;
  const long n = allocationsSeen.fetch_add(1, std::memory_order_relaxed);
  if (n == at || (n > at && failLater.load(std::memory_order_relaxed))) {
    allocationsFailed.fetch_add(1, std::memory_order_relaxed);
    return true;
  }
  return false;
}

void* Allocate(std::size_t size) {
  if (AllocationFails()) return nullptr;
  return std::malloc(size == 0 ? 1 : size);
}

void* AllocateAligned(std::size_t size, std::align_val_t align) {
  if (AllocationFails()) return nullptr;
  void* p = nullptr;
  std::size_t a = std::max(static_cast<std::size_t>(align), sizeof(void*));
  return posix_memalign(&p, a, size == 0 ? 1 : size) == 0 ? p : nullptr;
}

// Fails allocation number `at` from now on, and with `later` every one after it too.
void ArmAllocationFailure(long at, bool later) {
  allocationsSeen = 0;
  allocationsFailed = 0;
  failLater = later;
  failAt = at;
}

// Ends the failures; the number of allocations that failed.
long DisarmAllocationFailure() {
  failAt = -1;
  return allocationsFailed.load();
}

}  // namespace

// These are the replacement allocation functions themselves: memory from malloc goes back
// through free, which the compiler cannot tell from a mismatch once it inlines them.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
#endif

void* operator new(std::size_t size) {
  if (void* p = Allocate(size)) return p;
  throw std::bad_alloc();
}
void* operator new[](std::size_t size) { return ::operator new(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return Allocate(size); }
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept { return Allocate(size); }
void* operator new(std::size_t size, std::align_val_t align) {
  if (void* p = AllocateAligned(size, align)) return p;
  throw std::bad_alloc();
}
void* operator new[](std::size_t size, std::align_val_t align) {
  return ::operator new(size, align);
}
void* operator new(std::size_t size, std::align_val_t align, const std::nothrow_t&) noexcept {
  return AllocateAligned(size, align);
}
void* operator new[](std::size_t size, std::align_val_t align, const std::nothrow_t&) noexcept {
  return AllocateAligned(size, align);
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete(void* p, std::align_val_t) noexcept { std::free(p); }
void operator delete[](void* p, std::align_val_t) noexcept { std::free(p); }
void operator delete(void* p, std::size_t, std::align_val_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t, std::align_val_t) noexcept { std::free(p); }
void operator delete(void* p, std::align_val_t, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete[](void* p, std::align_val_t, const std::nothrow_t&) noexcept { std::free(p); }

#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic pop
#endif

namespace korvel {
namespace {

using test::FaultyFileSystem;
using test::ScopedFaultyFileSystem;
using Texts = std::vector<std::string>;
using Rows = std::vector<std::tuple<int, int, int>>;  // Status, LeftRow, RightRow

const std::string kReadFailed = "ファイルの読込に失敗しました。";

Rows PairRows(const CompareSession& s) {
  Rows rows;
  for (const RecordPair& p : s.AllPairs()) rows.emplace_back(p.Status, p.LeftRow, p.RightRow);
  return rows;
}

// What a completed run leaves to be shown: the pairs and every counter.
struct Summary {
  Rows rows;
  std::vector<int> diffCounts;
  int diff = 0, leftOnly = 0, rightOnly = 0, cells = 0, leftRows = 0, rightRows = 0;
  bool operator==(const Summary&) const = default;
};

Summary Summarize(const CompareSession& s) {
  Summary sum;
  sum.rows = PairRows(s);
  for (const ResultField& f : s.Fields()) sum.diffCounts.push_back(f.DiffCount);
  sum.diff = s.DiffRecordCount();
  sum.leftOnly = s.LeftOnlyCount();
  sum.rightOnly = s.RightOnlyCount();
  sum.cells = s.DiffCellCount();
  sum.leftRows = s.LeftTable().RowCount();
  sum.rightRows = s.RightTable().RowCount();
  return sum;
}

bool IsEmptyResult(const CompareSession& s) {
  return s.AllPairs().empty() && s.ViewPairs().empty() && s.Fields().empty() && s.KeyCount() == 0 &&
         s.DiffRecordCount() == 0 && s.LeftOnlyCount() == 0 && s.RightOnlyCount() == 0 &&
         s.DiffCellCount() == 0 && !s.ExtractActive();
}

bool IsMemoryMessage(const std::string& text) {
  return text == "メモリが足りません。" || text == "メモリが足りません。(-070407)";
}

class FaultInjectionTest : public ::testing::Test {
 protected:
  // What the session returns is shown through notes_ as the window shows it.
  int Show(const Status& status) { return test::Shown(notes_, status); }

  void UseFiles(const std::string& left, const std::string& right) {
    session_.EditSettings().PathL = dir_.Write("left.txt", left);
    session_.EditSettings().PathR = dir_.Write("right.txt", right);
  }

  // Fills the grid as the set-up chain does and marks the key fields.
  void FillGrid(const std::vector<int>& keys = {}, const std::vector<int>& ignoreSpaces = {}) {
    session_.StartSetUp();
    grid_ = FieldGrid();
    ASSERT_EQ(Show(session_.FillFieldGrids(grid_, prompter_)), 0);
    for (int j : keys) grid_.Toggle(j, FieldGrid::kKey);
    for (int j : ignoreSpaces) grid_.Toggle(j, FieldGrid::kIgnoreSpaces);
    notes_.Clear();
  }

  int Run() { return Show(session_.CompareSides(grid_)); }

  test::TempDir dir_;
  RecordingNotifier notes_;
  NotifierPrompter prompter_{notes_};
  CompareSession session_;
  FieldGrid grid_;
};

std::string ManyLines(bool fixed) {
  std::string text;
  char line[32];
  for (int i = 0; i < 20000; ++i) {
    std::snprintf(line, sizeof line, fixed ? "%05dabcdefghij\r\n" : "%05d,abcdefghij\r\n", i);
    text += line;
  }
  return text;
}

TEST_F(FaultInjectionTest, AReadFailingInTheMiddleEndsTheRunWithTheReadersMessage) {
  FixedWidthReader fix;
  ASSERT_EQ(fix.AddDefinition("K", 5).Code(), FixedWidthReader::kAddOk);
  ASSERT_EQ(fix.AddDefinition("V", 10).Code(), FixedWidthReader::kAddOk);
  FixedWidthRecordReader source(fix);
  session_.SetFixedSource(&source);
  for (int kind : {kFileKindCsv, kFileKindFixed}) {
    session_.EditSettings().FileKind = kind;
    // Larger than one read of the file system, so that the failure comes after records
    // have been read.
    const std::string text = ManyLines(kind == kFileKindFixed);
    UseFiles(text, text);
    for (const char* failing : {"left", "right", "t.txt"}) {
      SCOPED_TRACE(std::string(kind == kFileKindFixed ? "fixed, " : "csv, ") + failing);
      FillGrid({1});
      FaultyFileSystem fs;
      fs.FailReads(failing, 1);
      {
        ScopedFaultyFileSystem scopedFs(&fs);
        EXPECT_EQ(Run(), -1);
      }
      EXPECT_GT(fs.Failures(), 0);
      // Shown once, also when both sides fail at the same time on their two threads.
      EXPECT_EQ(notes_.Texts(), Texts{kReadFailed});
      EXPECT_TRUE(IsEmptyResult(session_));
      notes_.Clear();
      EXPECT_NE(Show(session_.CanReGrid()), 0);
      // The next run, with the file system well again, reads both sides whole.
      notes_.Clear();
      ASSERT_EQ(Run(), 0);
      EXPECT_TRUE(notes_.Entries().empty());
      EXPECT_EQ(session_.AllPairs().size(), 20000u);
      EXPECT_EQ(session_.DiffRecordCount() + session_.LeftOnlyCount() + session_.RightOnlyCount(),
                0);
    }
  }
}

TEST_F(FaultInjectionTest, AFileThatChangesBetweenTheGridAndTheRun) {
  const std::string left = "1,a,x\r\n2,b,y\r\n3,c,z\r\n";
  struct Case {
    const char* what;
    std::string right;  // "" with `gone` removes the file
    bool gone;
    int result;
    Texts messages;
    Rows rows;
  };
  const std::vector<Case> cases = {
      {"removed", "", true, -1, {"ファイルが見つかりません。"}, {}},
      {"emptied", "", false, -1, {"データがありません。"}, {}},
      {"fewer fields", "1\r\n2,b\r\n", false, 0, {}, {{2, 0, 0}, {2, 1, 1}, {-2, 2, -1}}},
      {"first line only", "1,a,x", false, 0, {}, {{0, 0, 0}, {-2, 1, -1}, {-2, 2, -1}}},
      {"more fields",
       "1,a,x,+\r\n2,b,y,+\r\n3,c,z,+\r\n",
       false,
       0,
       {},
       {{0, 0, 0}, {0, 1, 1}, {0, 2, 2}}},
      {"now UTF-16 with its mark", "", false, 0, {}, {{0, 0, 0}, {0, 1, 1}, {0, 2, 2}}},
      {"cut inside a quoted cell",
       "1,a,x\r\n2,\"b",
       false,
       0,
       {},
       {{0, 0, 0}, {1, 1, 1}, {-2, 2, -1}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    UseFiles(left, left);
    FillGrid({1});
    std::string right = c.right;
    if (std::string(c.what).starts_with("now UTF-16")) {
      right = "\xFF\xFE";
      for (char ch : left) right += std::string{ch, '\0'};
    }
    if (c.gone) {
      std::filesystem::remove(session_.Settings().PathR);
    } else {
      dir_.Write("right.txt", right);
    }
    EXPECT_EQ(Run(), c.result);
    EXPECT_EQ(notes_.Texts(), c.messages);
    EXPECT_EQ(PairRows(session_), c.rows);
    if (c.result != 0) {
      EXPECT_TRUE(IsEmptyResult(session_));
    }
  }

  // A folder in the file's place.
  UseFiles(left, left);
  FillGrid({1});
  std::filesystem::remove(session_.Settings().PathR);
  std::filesystem::create_directory(session_.Settings().PathR);
  EXPECT_EQ(Run(), -1);
  EXPECT_EQ(notes_.Texts(), Texts{"ファイルが見つかりません。"});
  EXPECT_TRUE(IsEmptyResult(session_));
  std::filesystem::remove(session_.Settings().PathR);

  // With a name line: the file cut down to its names holds no records, and all of the
  // left side stands alone.
  session_.EditSettings().TopRowNames = true;
  UseFiles("K,V\r\n" + left, "K,V\r\n" + left);
  FillGrid({1});
  dir_.Write("right.txt", "K,V\r\n");
  EXPECT_EQ(Run(), 0);
  EXPECT_EQ(PairRows(session_), (Rows{{-2, 0, -1}, {-2, 1, -1}, {-2, 2, -1}}));
  EXPECT_EQ(session_.RightTable().RowCount(), 0);
}

std::string SweepLeft() { return "1,a b,x\r\n2,b,y\r\n3,c,z\r\n5,\"q\r\nr\",s\r\n"; }
std::string SweepRight() { return "1,ab,x\r\n2,B,y\r\n4,d,w\r\n5,\"q\r\nr\",s\r\n"; }

TEST_F(FaultInjectionTest, OneFailedAllocationAnywhereInARunFailsItWithTheMemoryMessage) {
  UseFiles(SweepLeft(), SweepRight());
  FillGrid({1}, {2});
  ASSERT_EQ(Run(), 0);
  const Summary reference = Summarize(session_);
  ASSERT_EQ(reference.rows.size(), 5u);
  int failedRuns = 0;
  long at = 0;
  for (; at < 20000; ++at) {
    notes_.Clear();
    ArmAllocationFailure(at, false);
    const int result = Run();
    const long failed = DisarmAllocationFailure();
    SCOPED_TRACE("allocation " + std::to_string(at));
    if (failed == 0) {
      // Past the run's last allocation.
      ASSERT_EQ(result, 0);
      EXPECT_EQ(Summarize(session_), reference);
      break;
    }
    if (result == 0) {
      // An allocation whose failure was overcome: the result must be the whole one.
      EXPECT_TRUE(notes_.Entries().empty());
      EXPECT_EQ(Summarize(session_), reference);
      continue;
    }
    ++failedRuns;
    ASSERT_EQ(result, -1);
    // The list whose item array could not grow tells it, and so does the reader that
    // needed the item: one failure may show two memory messages, never another one.
    ASSERT_FALSE(notes_.Entries().empty());
    ASSERT_LE(notes_.Entries().size(), 2u);
    for (const std::string& text : notes_.Texts()) EXPECT_TRUE(IsMemoryMessage(text)) << text;
    EXPECT_TRUE(IsEmptyResult(session_));
  }
  EXPECT_LT(at, 20000);
  EXPECT_GT(failedRuns, 10);
}

TEST_F(FaultInjectionTest, MemoryThatRunsOutForGoodNeverEndsTheProgram) {
  UseFiles(SweepLeft(), SweepRight());
  FillGrid({1}, {2});
  ASSERT_EQ(Run(), 0);
  const Summary reference = Summarize(session_);
  long at = 0;
  for (; at < 20000; ++at) {
    notes_.Clear();
    int result = 0;
    bool escaped = false;
    ArmAllocationFailure(at, true);
    try {
      result = Run();
    } catch (const std::bad_alloc&) {
      // Even the message found no memory: the program's boundary takes it from here.
      escaped = true;
    }
    const long failed = DisarmAllocationFailure();
    SCOPED_TRACE("allocations from " + std::to_string(at));
    if (failed == 0) {
      ASSERT_EQ(result, 0);
      break;
    }
    EXPECT_TRUE(escaped || result == -1);
    // Whichever way the run ended, it left the empty result behind, never half of one.
    EXPECT_TRUE(IsEmptyResult(session_));
    for (const std::string& text : notes_.Texts()) EXPECT_TRUE(IsMemoryMessage(text)) << text;
  }
  EXPECT_LT(at, 20000);
  notes_.Clear();
  ASSERT_EQ(Run(), 0);
  EXPECT_EQ(Summarize(session_), reference);
}

// A row that finds no memory for its place or for its bytes is not added, the rows before
// it stay whole, and the same working row goes in once memory is back.
TEST(FaultInjectionRowTableTest, ACommitWithoutMemoryAddsNoRow) {
  RowTable table;
  ColumnDefs def;
  ASSERT_EQ(def.Add("KIND", 10), 0);
  for (int k = 1; k <= 14; ++k) ASSERT_EQ(def.Add(test::Cat("F", std::to_string(k)), 5000), 0);
  ASSERT_EQ(table.SetDefinition(def), 0);
  const std::string wide(5000, 'w');
  std::vector<std::vector<std::string>> rows;
  int refused = 0;
  for (int r = 0; r < 30000; ++r) {
    SCOPED_TRACE("row " + std::to_string(r));
    // Now and then a row of 32-bit offsets (14 x 5000 bytes), so that blocks fill faster.
    std::vector<std::string> cells(14, r % 500 == 0 ? wide : std::string("y"));
    cells[0] = std::to_string(r);
    table.NewRow();
    for (std::size_t k = 0; k < cells.size(); ++k) {
      ASSERT_EQ(table.SetCell(static_cast<int>(k) + 1, cells[k]), 0);
    }
    // The first or the second allocation fails, alone or with every later one.
    ArmAllocationFailure(r % 3 == 2 ? 1 : 0, r % 2 == 0);
    const int committed = table.CommitRow();
    if (DisarmAllocationFailure() == 0) {
      ASSERT_EQ(committed, 0);
    } else {
      ASSERT_EQ(committed, RowTable::kNoMemory);
      ++refused;
      ASSERT_EQ(table.RowCount(), r);
      ASSERT_EQ(table.CommitRow(), 0);
    }
    ASSERT_EQ(table.RowCount(), r + 1);
    rows.push_back(std::move(cells));
  }
  // Row places come in new chunks every 8192 rows and blocks double from 64 KiB: both were
  // refused now and then.
  EXPECT_GE(refused, 6);
  for (std::size_t r = 0; r < rows.size(); ++r) {
    for (std::size_t k = 0; k < rows[r].size(); ++k) {
      ASSERT_EQ(table.CellView(static_cast<int>(k) + 1, static_cast<int>(r)), rows[r][k])
          << "row " << r << ", column " << k + 1;
    }
  }
}

TEST(FaultInjectionListTest, AListMadeWithoutItsFirstBlockStillStores) {
  for (long at = 0; at < 4; ++at) {
    SCOPED_TRACE("allocation " + std::to_string(at));
    std::unique_ptr<StringList> list;
    ArmAllocationFailure(at, false);
    try {
      list = std::make_unique<StringList>(2048);
    } catch (const std::bad_alloc&) {
    }
    DisarmAllocationFailure();
    if (!list) continue;
    ASSERT_EQ(list->Add("abc", 3), 1);
    ASSERT_EQ(list->Set(3, "de", 2), 1);
    EXPECT_EQ(list->GetView(0), "abc");
    EXPECT_STREQ(list->GetText(3), "de");
    EXPECT_EQ(list->Count(), 4);
  }
}

// A list shows nothing; what it has to say of its last failure waits for its caller.
TEST(FaultInjectionListTest, AListKeepsTheMessageOfItsLastFailureForItsCaller) {
  StringList list(64);
  ASSERT_EQ(list.Add("a", 1), 1);
  const std::string big(500, 'x');
  const Status noMemory = Status::Warning(-1, test::S("メモリが足りません。"));

  // The item array cannot grow: the list's own warning, handed out once.
  ArmAllocationFailure(0, false);
  const int grown = list.Set(1000, "b", 1);
  DisarmAllocationFailure();
  EXPECT_EQ(grown, 0);
  EXPECT_EQ(list.Count(), 1);
  EXPECT_EQ(list.TakeError(), noMemory);
  EXPECT_EQ(list.TakeError(), Status());

  // No block for a long item: nothing of its own to tell. The last failure decides, so a
  // warning not taken before it is gone.
  ArmAllocationFailure(0, false);
  EXPECT_EQ(list.Set(1000, "b", 1), 0);
  DisarmAllocationFailure();
  ArmAllocationFailure(0, false);
  EXPECT_EQ(list.Set(0, big.data(), 500), 0);
  DisarmAllocationFailure();
  EXPECT_EQ(list.TakeError(), Status());
  EXPECT_EQ(list.GetView(0), "a");
}

// A reader that runs out of memory keeps the alert for its caller, after the value list's
// own warning when the list could not grow.
TEST(FaultInjectionReaderTest, AReadersMemoryFailureIsKeptWithItsMessagesInOrder) {
  test::TempDir dir;
  std::string text;
  for (int i = 0; i < 300; ++i) text += std::to_string(i) + "\tabc\t\"q\r\nr\"\tx\r\n";
  // A cell longer than the reader's cell buffer, so that the buffer has to grow: of a
  // plain value only the start is kept, but a quoted cell under the TAB rules is gathered
  // whole.
  text += "300\t\"" + std::string(5000, 'w') + "\"\r\n";
  const std::string path = dir.Write("in.txt", text);
  const Message alert{MessageKind::kAlert, test::S("メモリが足りません。(-070407)")};
  const Message listWarning{MessageKind::kWarning, test::S("メモリが足りません。")};
  int alone = 0;
  int afterTheList = 0;
  long at = 0;
  for (; at < 20000; ++at) {
    DelimitedReader csv;
    csv.SetDelimiter('\t');
    ASSERT_EQ(csv.Open(path, 0, 0, 1), DelimitedReader::kOpenOk);
    ArmAllocationFailure(at, false);
    int n = 1;
    while (n > 0) n = csv.ReadRecord();
    const long failed = DisarmAllocationFailure();
    SCOPED_TRACE("allocation " + std::to_string(at));
    if (failed == 0) {
      EXPECT_EQ(n, 0);
      break;
    }
    if (n == 0) continue;  // overcome
    ASSERT_TRUE(csv.FailedForMemory());
    const Status& status = csv.GetStatus();
    EXPECT_EQ(status.Code(), DelimitedReader::kReadCellTooLarge);
    ASSERT_TRUE(status.Messages().size() == 1 || status.Messages().size() == 2);
    EXPECT_EQ(status.Messages().back(), alert);
    if (status.Messages().size() == 2) {
      EXPECT_EQ(status.Messages().front(), listWarning);
      ++afterTheList;
    } else {
      ++alone;
    }
    EXPECT_STREQ(csv.GetError(), alert.Text.c_str());
  }
  EXPECT_LT(at, 20000);
  EXPECT_GT(alone, 0);
  EXPECT_GT(afterTheList, 0);
}

TEST_F(FaultInjectionTest, TheGridFillingAndTheDefinitionsSurviveAFailedAllocation) {
  UseFiles(SweepLeft(), SweepRight());
  FieldGrid reference;
  session_.StartSetUp();
  ASSERT_EQ(Show(session_.FillFieldGrids(reference, prompter_)), 0);
  for (long at = 0;; ++at) {
    ASSERT_LT(at, 20000);
    notes_.Clear();
    FieldGrid grid;
    int result = 0;
    bool escaped = false;
    session_.StartSetUp();
    ArmAllocationFailure(at, false);
    try {
      result = Show(session_.FillFieldGrids(grid, prompter_));
    } catch (const std::bad_alloc&) {
      escaped = true;
    }
    if (DisarmAllocationFailure() == 0) break;
    SCOPED_TRACE("allocation " + std::to_string(at));
    if (escaped) continue;
    if (result == 0) {
      // A grid that is offered to the user must be the whole one.
      ASSERT_EQ(grid.RowCount(), reference.RowCount());
      for (int r = 0; r < grid.RowCount(); ++r) {
        for (int c = 0; c < FieldGrid::kColumnCount; ++c) {
          EXPECT_EQ(grid.Cell(r, c), reference.Cell(r, c));
        }
      }
    } else {
      // The reader's memory message comes first; the filling then reports the first record
      // it did not get as one without fields.
      EXPECT_EQ(result, -1);
      ASSERT_FALSE(notes_.Entries().empty());
      EXPECT_TRUE(IsMemoryMessage(notes_.Texts().front())) << notes_.Texts().front();
    }
  }

  const FixDefinitionRows rows = {{"A", "3"}, {"B", "5"}, {"C", "1"}};
  for (long at = 0;; ++at) {
    ASSERT_LT(at, 20000);
    notes_.Clear();
    FixedWidthReader fix;
    int result = 0;
    bool escaped = false;
    ArmAllocationFailure(at, false);
    try {
      result = Show(ApplyFixDefinitions(rows, fix));
    } catch (const std::bad_alloc&) {
      escaped = true;
    }
    if (DisarmAllocationFailure() == 0) break;
    SCOPED_TRACE("allocation " + std::to_string(at));
    if (escaped) continue;
    if (result == kFixCheckOk) {
      EXPECT_EQ(RowsFromFix(fix), rows);
    } else {
      EXPECT_EQ(result, FixedWidthReader::kAddNoMemory);
      ASSERT_FALSE(notes_.Entries().empty());
      ASSERT_LE(notes_.Entries().size(), 2u);
      for (const std::string& text : notes_.Texts()) EXPECT_EQ(text, "メモリが足りません。");
    }
  }
}

}  // namespace
}  // namespace korvel
