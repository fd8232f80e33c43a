#include "platform/FileSystem.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <map>
#include <memory>
#include <mutex>

#include "platform/AtomicFile.h"

namespace korvel {
namespace {

FileSystem* installed = nullptr;

// The writes begun and not yet committed, by descriptor.
std::mutex pendingMutex;
std::map<int, std::unique_ptr<AtomicFile>>& PendingWrites() {
  static std::map<int, std::unique_ptr<AtomicFile>> pending;
  return pending;
}

std::unique_ptr<AtomicFile> TakePending(int fd) {
  std::lock_guard<std::mutex> lock(pendingMutex);
  auto it = PendingWrites().find(fd);
  if (it == PendingWrites().end()) return nullptr;
  std::unique_ptr<AtomicFile> file = std::move(it->second);
  PendingWrites().erase(it);
  return file;
}

FileSystem& RealFileSystem() {
  static FileSystem fs;
  return fs;
}

// Opens `path` for reading only when it is a regular file. A FIFO would block the open until
// a writer came (and its reads until data did), a device such as /dev/zero never ends, and
// a folder has no bytes: none of them is asked for a single byte. O_NONBLOCK keeps the open
// itself from waiting; the type is judged on the descriptor that was opened, so nothing can
// be swapped in between; then reads go back to blocking, which for a regular file only
// means that they wait for the disk.
int OpenRegularForReading(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
  if (fd < 0) return -1;
  struct stat st;
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    return -1;
  }
  const int flags = ::fcntl(fd, F_GETFL);
  if (flags < 0 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) {
    ::close(fd);
    return -1;
  }
  return fd;
}

}  // namespace

int FileSystem::Open(const std::string& path, OpenMode mode) {
  if (mode == OpenMode::kRead) return OpenRegularForReading(path);
  const int flags = O_CLOEXEC | O_CREAT | O_TRUNC | (mode == OpenMode::kWrite ? O_WRONLY : O_RDWR);
  int fd = ::open(path.c_str(), flags, 0666);
  if (fd < 0) return -1;
  struct stat st;
  if (::fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
    ::close(fd);
    return -1;
  }
  return fd;
}

ssize_t FileSystem::Read(int fd, void* buffer, std::size_t count) {
  auto* p = static_cast<char*>(buffer);
  std::size_t done = 0;
  while (done < count) {
    ssize_t n = ::read(fd, p + done, count - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      return -1;
    }
    if (n == 0) break;
    done += static_cast<std::size_t>(n);
  }
  return static_cast<ssize_t>(done);
}

ssize_t FileSystem::Write(int fd, const void* buffer, std::size_t count) {
  const auto* p = static_cast<const char*>(buffer);
  std::size_t done = 0;
  while (done < count) {
    ssize_t n = ::write(fd, p + done, count - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      return done > 0 ? static_cast<ssize_t>(done) : -1;
    }
    done += static_cast<std::size_t>(n);
  }
  return static_cast<ssize_t>(done);
}

int FileSystem::Close(int fd) { return ::close(fd); }

long long FileSystem::FileSize(int fd) {
  struct stat st;
  if (::fstat(fd, &st) != 0) return -1;
  return static_cast<long long>(st.st_size);
}

int FileSystem::BeginWrite(const std::string& path) {
  auto file = std::make_unique<AtomicFile>();
  const int fd = file->Begin(path);
  if (fd < 0) return -1;
  std::lock_guard<std::mutex> lock(pendingMutex);
  PendingWrites()[fd] = std::move(file);
  return fd;
}

int FileSystem::BeginNamedWrite(const std::string& path, std::string* tempPath) {
  tempPath->clear();
  auto file = std::make_unique<AtomicFile>();
  const int fd = file->BeginNamed(path);
  if (fd < 0) return -1;
  *tempPath = file->TempPath();
  std::lock_guard<std::mutex> lock(pendingMutex);
  PendingWrites()[fd] = std::move(file);
  return fd;
}

int FileSystem::CommitWrite(int fd, bool replace) {
  std::unique_ptr<AtomicFile> file = TakePending(fd);
  if (!file) return -1;
  const int result = file->Commit(replace);
  if (result == AtomicFile::kTargetExists) return kTargetExists;
  return result == 0 ? 0 : -1;
}

void FileSystem::AbandonWrite(int fd) {
  if (std::unique_ptr<AtomicFile> file = TakePending(fd)) file->Discard();
}

FileSystem& CurrentFileSystem() { return installed ? *installed : RealFileSystem(); }

FileSystem* SetFileSystem(FileSystem* fs) {
  FileSystem* previous = installed;
  installed = fs;
  return previous;
}

PathKind GetPathKind(const std::string& path) {
  struct stat st;
  if (path.empty() || ::stat(path.c_str(), &st) != 0) return PathKind::kMissing;
  if (S_ISDIR(st.st_mode)) return PathKind::kFolder;
  if (S_ISREG(st.st_mode)) return PathKind::kFile;
  return PathKind::kOther;
}

}  // namespace korvel
