#pragma once
// A file system for the engine tests that passes every call to the real one and makes the
// chosen ones fail: reads of a file after some good reads, writes once a budget of bytes is
// spent (a full disk), the closing of written files. Both sides of a comparison are read on
// two threads at once, so every call takes a lock; and the state of an opened file is kept
// by its descriptor only until it is closed, since the system hands the same descriptor out
// again afterwards.

#include <algorithm>
#include <condition_variable>
#include <map>
#include <mutex>
#include <string>

#include "platform/FileSystem.h"

namespace korvel::test {

class FaultyFileSystem : public FileSystem {
 public:
  // Reads of a file whose path contains `marker` fail once `goodReads` reads of that opening
  // of it have succeeded.
  void FailReads(std::string marker, int goodReads) {
    std::lock_guard<std::mutex> lock(mutex_);
    readMarker_ = std::move(marker);
    goodReads_ = goodReads;
  }
  // Writes fail, after writing what still fits, once `bytes` bytes have been written.
  void LimitWrites(std::size_t bytes) {
    std::lock_guard<std::mutex> lock(mutex_);
    writeBudget_ = bytes;
    limited_ = true;
  }
  // Closing a file opened for writing closes it but reports a failure; a file written
  // whole-or-nothing (BeginWrite) is then dropped, as a real failed flush would leave it.
  void FailWriteCloses() {
    std::lock_guard<std::mutex> lock(mutex_);
    failWriteCloses_ = true;
  }
  // Reads of a file whose path contains `marker` wait, once `goodReads` reads of that opening
  // have been served, until Release: a file that is slow to come, for as long as a test
  // likes. Held() tells how many reads wait now.
  void HoldReads(std::string marker, int goodReads) {
    std::lock_guard<std::mutex> lock(mutex_);
    holdMarker_ = std::move(marker);
    goodHeldReads_ = goodReads;
    released_ = false;
  }
  void Release() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      released_ = true;
    }
    gate_.notify_all();
  }
  // Waits until `count` reads are held (no time limit: the test's own timeout guards it).
  void WaitUntilHeld(int count) {
    std::unique_lock<std::mutex> lock(mutex_);
    gate_.wait(lock, [&] { return held_ >= count; });
  }
  // Calls that failed because of the faults above.
  int Failures() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return failures_;
  }

  int Open(const std::string& path, OpenMode mode) override {
    const int fd = FileSystem::Open(path, mode);
    if (fd < 0) return fd;
    std::lock_guard<std::mutex> lock(mutex_);
    Opened& opened = open_[fd];
    opened = Opened{};
    opened.writing = mode == OpenMode::kWrite || mode == OpenMode::kReadWrite;
    opened.failingReads = !readMarker_.empty() && path.find(readMarker_) != std::string::npos;
    opened.heldReads = !holdMarker_.empty() && path.find(holdMarker_) != std::string::npos;
    return fd;
  }
  ssize_t Read(int fd, void* buffer, std::size_t count) override {
    {
      std::unique_lock<std::mutex> lock(mutex_);
      auto it = open_.find(fd);
      if (it != open_.end() && it->second.failingReads && it->second.reads++ >= goodReads_) {
        ++failures_;
        return -1;
      }
      if (it != open_.end() && it->second.heldReads && it->second.heldCount++ >= goodHeldReads_ &&
          !released_) {
        ++held_;
        gate_.notify_all();
        gate_.wait(lock, [&] { return released_; });
        --held_;
      }
    }
    return FileSystem::Read(fd, buffer, count);
  }
  ssize_t Write(int fd, const void* buffer, std::size_t count) override {
    std::size_t allowed = count;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (limited_) {
        allowed = std::min(count, writeBudget_);
        writeBudget_ -= allowed;
        if (allowed < count) ++failures_;
      }
    }
    if (allowed == 0 && count > 0) return -1;
    return FileSystem::Write(fd, buffer, allowed);
  }
  int BeginWrite(const std::string& path, int flags) override {
    const int fd = FileSystem::BeginWrite(path, flags);
    if (fd < 0) return fd;
    std::lock_guard<std::mutex> lock(mutex_);
    open_[fd] = Opened{};
    open_[fd].writing = true;
    return fd;
  }
  int CommitWrite(int fd, bool replace) override {
    bool fail;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      fail = failWriteCloses_;
      open_.erase(fd);
      if (fail) ++failures_;
    }
    if (fail) {
      FileSystem::AbandonWrite(fd);
      return -1;
    }
    return FileSystem::CommitWrite(fd, replace);
  }
  void AbandonWrite(int fd) override {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      open_.erase(fd);
    }
    FileSystem::AbandonWrite(fd);
  }
  int Close(int fd) override {
    bool fail = false;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      auto it = open_.find(fd);
      if (it != open_.end()) {
        fail = failWriteCloses_ && it->second.writing;
        open_.erase(it);
      }
      if (fail) ++failures_;
    }
    const int closed = FileSystem::Close(fd);
    return fail ? -1 : closed;
  }

 private:
  struct Opened {
    bool writing = false;
    bool failingReads = false;
    int reads = 0;
    bool heldReads = false;
    int heldCount = 0;
  };

  mutable std::mutex mutex_;
  std::map<int, Opened> open_;
  std::string readMarker_;
  int goodReads_ = 0;
  bool limited_ = false;
  std::size_t writeBudget_ = 0;
  bool failWriteCloses_ = false;
  int failures_ = 0;
  std::condition_variable gate_;
  std::string holdMarker_;
  int goodHeldReads_ = 0;
  bool released_ = false;
  int held_ = 0;
};

// Installs a file system for the lifetime of a scope.
class ScopedFaultyFileSystem {
 public:
  explicit ScopedFaultyFileSystem(FileSystem* fs) : previous_(SetFileSystem(fs)) {}
  ~ScopedFaultyFileSystem() { SetFileSystem(previous_); }
  ScopedFaultyFileSystem(const ScopedFaultyFileSystem&) = delete;
  ScopedFaultyFileSystem& operator=(const ScopedFaultyFileSystem&) = delete;

 private:
  FileSystem* previous_;
};

}  // namespace korvel::test
