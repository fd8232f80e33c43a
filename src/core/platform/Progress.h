#pragma once
// Progress: how work that may take long tells how far it has come, and learns that the user
// no longer wants it.
//
// The caller hands a Progress to a long operation (a comparison run, an export). The work
// reports what it has done and polls Cancelled() at steps it can stop at without harm:
//  - every block read from an input (TextFile reads 64 KiB at a time),
//  - every 1024 records loaded, and before and during each sort, merge and classification
//    pass (before each pass of the sort, every 64 Ki pairs of the merge and the
//    classification),
//  - every block an export writes (its rows are told in batches of 1024).
// Once Cancelled() is true the work stops at its next poll and ends as a failure without a
// message (CompareSession::kCancelled); what it was building is dropped, nothing else is
// changed. Cancelling is one-way: Cancelled() never turns false again.
//
// Threads: the calls come from whichever threads do the work, several at once (the two
// sides of a comparison are read in parallel), while another thread reads the counts. An
// implementation must be safe for that and cheap (atomic counters), and must never block or
// call back into the work. Work split over more threads keeps these rules: each thread
// reports its own share with Add*, and polls Cancelled() at least as often as above.
//
// Inputs are numbered: kLeft and kRight for the two sides of a comparison; an export
// reports its rows as records of kLeft.

#include <atomic>
#include <cstdint>

namespace korvel {

class Progress {
 public:
  static constexpr int kLeft = 0;
  static constexpr int kRight = 1;
  static constexpr int kInputs = 2;

  virtual ~Progress() = default;
  // `bytes` more bytes are to be read from `input` (a file's size, told when it is opened;
  // an export tells the rows it will write).
  virtual void AddExpected(int input, std::uint64_t bytes) = 0;
  // `bytes` more bytes of `input` have been read (an export: rows written).
  virtual void AddDone(int input, std::uint64_t bytes) = 0;
  // `records` more records of `input` have been read (an export: written).
  virtual void AddRecords(int input, std::uint64_t records) = 0;
  // True once the work should stop.
  virtual bool Cancelled() const = 0;

  // A Progress that keeps nothing and is never cancelled (korvel-cli, the re-setting).
  static Progress& None();
};

// The counts as atomics, for a front end to read from another thread, and Cancel().
class ProgressCounters final : public Progress {
 public:
  void AddExpected(int input, std::uint64_t bytes) override {
    expected_.fetch_add(bytes, std::memory_order_relaxed);
    (void)input;
  }
  void AddDone(int input, std::uint64_t bytes) override {
    done_.fetch_add(bytes, std::memory_order_relaxed);
    (void)input;
  }
  void AddRecords(int input, std::uint64_t records) override {
    if (input >= 0 && input < kInputs)
      records_[input].fetch_add(records, std::memory_order_relaxed);
  }
  bool Cancelled() const override { return cancelled_.load(std::memory_order_relaxed); }

  void Cancel() { cancelled_.store(true, std::memory_order_relaxed); }
  // Bytes expected and read over all inputs.
  std::uint64_t Expected() const { return expected_.load(std::memory_order_relaxed); }
  std::uint64_t Done() const { return done_.load(std::memory_order_relaxed); }
  std::uint64_t Records(int input) const {
    return input >= 0 && input < kInputs ? records_[input].load(std::memory_order_relaxed) : 0;
  }

 private:
  std::atomic<std::uint64_t> expected_{0};
  std::atomic<std::uint64_t> done_{0};
  std::atomic<std::uint64_t> records_[kInputs] = {};
  std::atomic<bool> cancelled_{false};
};

}  // namespace korvel
