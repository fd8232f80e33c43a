#pragma once
// What the fuzz targets share: a file system in memory, a reader of the option bytes at
// the start of an input, the encodings of a text, and the check that stops a run.
//
// A target installs the memory file system once (FuzzEnvironment), so that no input
// touches the disk, and records what the engine has to say instead of printing it: what an
// operation tells its prompter while it runs, and what it returns (Show), in one list.
// Both are emptied before each input.

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>

#include "platform/FileSystem.h"
#include "platform/Notifier.h"
#include "platform/Status.h"

namespace korvel::fuzz {

// Files held in memory. Safe for the two reader threads of a comparison: every call takes
// the lock, and descriptors are never handed out twice, so no state outlives its file.
// A file written is visible under its path once its descriptor is closed, or, when begun
// as a whole-or-nothing write, once it is committed.
class MemoryFileSystem : public FileSystem {
 public:
  void Put(const std::string& path, std::string bytes);
  // The bytes of `path`; empty when there is no such file.
  std::string Get(const std::string& path) const;
  void Clear();
  // Open descriptors; a target checks that every reader closed its file.
  std::size_t OpenCount() const;

  int Open(const std::string& path, OpenMode mode) override;
  ssize_t Read(int fd, void* buffer, std::size_t count) override;
  ssize_t Write(int fd, const void* buffer, std::size_t count) override;
  int Close(int fd) override;
  // Whole-or-nothing writes: the bytes go to a private buffer (or, for a named write, to
  // the hidden file the writer fills by name) and reach the path only at CommitWrite.
  int BeginWrite(const std::string& path, int flags) override;
  int BeginNamedWrite(const std::string& path, int flags, std::string* tempPath,
                      std::string* folder) override;
  // Files in memory are on their "disk" as soon as they are written.
  int Sync(int fd) override;
  int CommitWrite(int fd, bool replace) override;
  void AbandonWrite(int fd) override;

 private:
  struct OpenFile {
    std::string path;
    std::shared_ptr<const std::string> bytes;  // reading: the contents when opened
    std::size_t pos = 0;
    bool writing = false;
    bool pending = false;  // begun with BeginWrite: not at `path` until committed
    std::string tempPath;  // begun with BeginNamedWrite: the hidden file written by name
    std::string written;
  };

  mutable std::mutex mutex_;
  std::map<std::string, std::shared_ptr<const std::string>> files_;
  std::map<int, OpenFile> open_;
  int nextFd_ = 1000;
};

// The file system of a target, installed on first use, and the record of its messages.
struct FuzzEnvironment {
  MemoryFileSystem files;
  RecordingNotifier notes;
  // The prompter handed to operations: questions are recorded and answered No.
  NotifierPrompter prompter{notes};

  static FuzzEnvironment& Get();
  // Records the messages of an operation's outcome after what it told `prompter`, as a
  // front end shows them; the outcome's code.
  int Show(const Status& status);
  // Empties both for the next input.
  void Reset();
};

// Takes option bytes from the front of an input; past its end every byte reads as 0.
class OptionBytes {
 public:
  OptionBytes(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
  std::uint8_t Byte();
  // A value from 0 to `limit` - 1.
  int Below(int limit) { return limit <= 0 ? 0 : Byte() % limit; }
  bool Flag() { return (Byte() & 1) != 0; }
  // The next `n` bytes (fewer at the end).
  std::string_view Take(std::size_t n);
  // Everything not taken yet.
  std::string_view Rest();
  bool Empty() const { return pos_ >= size_; }

 private:
  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t pos_ = 0;
};

// The encoding an input asks a reader for, from one option byte: Shift-JIS, UTF-16, UTF-8,
// EUC-JP or 自動判定 with either fallback. Bytes below 240 choose as they did before EUC-JP
// and 自動判定 were offered (byte % 3), so that the committed corpora keep their meaning.
int PickEncoding(OptionBytes& in);

// The bytes of Shift-JIS `text` in `encoding` (0, 10, 11, 15 or 20; a 自動判定 request
// writes its fallback), without a mark. A character EUC-JP lacks becomes '?'.
std::string EncodeSjis(std::string_view text, int encoding);
// The byte-order mark of an encoding ("" for Shift-JIS).
std::string MarkOf(int encoding);
// True when `text` comes back unchanged from `encoding`, so that reading it in that
// encoding must give what reading it as Shift-JIS gives.
bool SurvivesEncoding(std::string_view text, int encoding);

// Stops the run with `what` when `condition` does not hold.
void Require(bool condition, const char* what);
[[noreturn]] void Fail(const std::string& what);

}  // namespace korvel::fuzz
