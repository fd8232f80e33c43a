#pragma once
// The file calls the engine makes, behind one interface, so that tests can make a read or
// a write fail at a chosen point. Paths are the file system's own (UTF-8) strings.

#include <sys/types.h>

#include <cstddef>
#include <string>

namespace korvel {

class FileSystem {
 public:
  // kReadNoFollow: kRead, but a symbolic link at the path is refused (the program's own
  // files, which a link planted in their folder must not redirect).
  enum class OpenMode { kRead, kWrite, kReadWrite, kReadNoFollow };

  virtual ~FileSystem() = default;
  // A descriptor, or -1. kRead opens only a regular file: a folder, FIFO, socket or device
  // is refused as a missing file would be, judged on the opened descriptor before any byte
  // is read, and the open never waits (for a FIFO's writer, say). Write modes create the
  // file or empty an existing regular one; they never follow a symbolic link, and anything
  // but a regular file is refused unopened.
  virtual int Open(const std::string& path, OpenMode mode);
  // Bytes read (0 at the end of the file), or -1 on failure. Short reads happen only at
  // the end of the file.
  virtual ssize_t Read(int fd, void* buffer, std::size_t count);
  // Bytes written; fewer than `count`, or -1, on failure.
  virtual ssize_t Write(int fd, const void* buffer, std::size_t count);
  virtual int Close(int fd);
  // The size in bytes of the open file `fd`, or -1 when it cannot be had.
  virtual long long FileSize(int fd);

  // Flushes what was written to `fd` (a file or a folder) to the disk: 0, or -1. A folder
  // whose file system cannot be flushed counts as flushed.
  virtual int Sync(int fd);

  // Flags of BeginWrite and BeginNamedWrite (AtomicFile's): without kReplace nothing that
  // exists at the path is replaced.
  static constexpr int kReplace = 1;   // an existing regular file may be replaced
  static constexpr int kNoFollow = 2;  // a symbolic link at the path is refused, never followed

  // Writing a whole file safely (AtomicFile): BeginWrite opens a file that appears at
  // `path` only when CommitWrite succeeds; until then the old file, if any, stays as it
  // is. A descriptor, or -1 (cannot be made), kTargetExists, kNotRegularFile or kLinkRefused
  // (platform/AtomicFile.h tells which targets `flags` allows).
  virtual int BeginWrite(const std::string& path, int flags);
  // The same for a writer that opens the file by name itself (a library given a file
  // name): the file appears at `path` only when CommitWrite succeeds, and until then is
  // reached by the name put in `*tempPath`, which the writer may create and write as it
  // likes: "/proc/self/fd/N" of the unnamed file where the file system has unnamed files,
  // else a hidden name beside the target (AtomicFile::BeginNamed). `*folder` receives the
  // folder the file is written in (for the writer's own temporary files). A descriptor for
  // CommitWrite and AbandonWrite, or a failure as BeginWrite's (both texts are then empty).
  virtual int BeginNamedWrite(const std::string& path, int flags, std::string* tempPath,
                              std::string* folder);
  // Flushes the file to the disk and gives it its name: 0, -1 on failure (nothing changed
  // at the path), kTargetExists when `replace` is false and the path exists, or
  // kNotRegularFile / kLinkRefused when such a thing took the name meanwhile. The
  // descriptor is closed either way.
  virtual int CommitWrite(int fd, bool replace);
  // Drops a file begun with BeginWrite; the path is untouched.
  virtual void AbandonWrite(int fd);

  static constexpr int kTargetExists = -2;
  static constexpr int kNotRegularFile = -3;
  static constexpr int kLinkRefused = -4;
};

// What BeginWrite with `flags` would find at `path` now: 0 when it may go ahead, else
// -1, kTargetExists, kNotRegularFile or kLinkRefused (AtomicFile::CheckTarget).
int CheckWriteTarget(const std::string& path, int flags);

// The file system in force; never null.
FileSystem& CurrentFileSystem();
// Installs `fs` (not owned; null restores the real one) and returns the previous one.
FileSystem* SetFileSystem(FileSystem* fs);

enum class PathKind { kMissing, kFile, kFolder, kOther };
PathKind GetPathKind(const std::string& path);

}  // namespace korvel
