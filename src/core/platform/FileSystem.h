#pragma once
// The file calls the engine makes, behind one interface, so that tests can make a read or
// a write fail at a chosen point. Paths are the file system's own (UTF-8) strings.

#include <sys/types.h>

#include <cstddef>
#include <string>

namespace korvel {

class FileSystem {
 public:
  enum class OpenMode { kRead, kWrite, kReadWrite };

  virtual ~FileSystem() = default;
  // A descriptor, or -1. kRead opens only a regular file: a folder, FIFO, socket or device
  // is refused as a missing file would be, judged on the opened descriptor before any byte
  // is read, and the open never waits (for a FIFO's writer, say). Write modes create the
  // file or empty an existing one; a folder cannot be opened.
  virtual int Open(const std::string& path, OpenMode mode);
  // Bytes read (0 at the end of the file), or -1 on failure. Short reads happen only at
  // the end of the file.
  virtual ssize_t Read(int fd, void* buffer, std::size_t count);
  // Bytes written; fewer than `count`, or -1, on failure.
  virtual ssize_t Write(int fd, const void* buffer, std::size_t count);
  virtual int Close(int fd);
  // The size in bytes of the open file `fd`, or -1 when it cannot be had.
  virtual long long FileSize(int fd);

  // Writing a whole file safely (AtomicFile): BeginWrite opens a file that appears at
  // `path` only when CommitWrite succeeds; until then the old file, if any, stays as it
  // is. A descriptor, or -1.
  virtual int BeginWrite(const std::string& path);
  // The same for a writer that opens the file by name itself (a library given a file
  // name): the file appears at `path` only when CommitWrite succeeds, and until then lives
  // under the hidden name put in `*tempPath` (AtomicFile::BeginNamed), which the writer may
  // create and write as it likes. A descriptor for CommitWrite and AbandonWrite, or -1
  // (`*tempPath` is then empty).
  virtual int BeginNamedWrite(const std::string& path, std::string* tempPath);
  // Flushes the file to the disk and gives it its name: 0, -1 on failure (nothing changed
  // at the path), or kTargetExists when `replace` is false and the path exists. The
  // descriptor is closed either way.
  virtual int CommitWrite(int fd, bool replace);
  // Drops a file begun with BeginWrite; the path is untouched.
  virtual void AbandonWrite(int fd);

  static constexpr int kTargetExists = -2;
};

// The file system in force; never null.
FileSystem& CurrentFileSystem();
// Installs `fs` (not owned; null restores the real one) and returns the previous one.
FileSystem* SetFileSystem(FileSystem* fs);

enum class PathKind { kMissing, kFile, kFolder, kOther };
PathKind GetPathKind(const std::string& path);

}  // namespace korvel
