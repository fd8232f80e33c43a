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

static_assert(FileSystem::kTargetExists == AtomicFile::kTargetExists &&
              FileSystem::kNotRegularFile == AtomicFile::kNotRegularFile &&
              FileSystem::kLinkRefused == AtomicFile::kLinkRefused &&
              FileSystem::kReplace == AtomicFile::kReplace &&
              FileSystem::kNoFollow == AtomicFile::kNoFollow);

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
int OpenRegularForReading(const std::string& path, bool follow) {
  const int fd = ::open(path.c_str(),
                        O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY | (follow ? 0 : O_NOFOLLOW));
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
  if (mode == OpenMode::kRead || mode == OpenMode::kReadNoFollow) {
    return OpenRegularForReading(path, mode == OpenMode::kRead);
  }
  // Opened without emptying and without waiting (a FIFO), and emptied only once it is known
  // to be a regular file: a device or a FIFO is never written to.
  const int flags = O_CLOEXEC | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY |
                    (mode == OpenMode::kWrite ? O_WRONLY : O_RDWR);
  int fd = ::open(path.c_str(), flags, 0666);
  if (fd < 0) return -1;
  struct stat st;
  const int fdFlags = ::fcntl(fd, F_GETFL);
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || fdFlags < 0 ||
      ::fcntl(fd, F_SETFL, fdFlags & ~O_NONBLOCK) != 0 || ::ftruncate(fd, 0) != 0) {
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

int FileSystem::Sync(int fd) {
  if (::fsync(fd) == 0) return 0;
  return errno == EINVAL ? 0 : -1;
}

int FileSystem::BeginWrite(const std::string& path, int flags) {
  auto file = std::make_unique<AtomicFile>();
  const int fd = file->Begin(path, flags);
  if (fd < 0) return fd;
  std::lock_guard<std::mutex> lock(pendingMutex);
  PendingWrites()[fd] = std::move(file);
  return fd;
}

int FileSystem::BeginNamedWrite(const std::string& path, int flags, std::string* tempPath,
                                std::string* folder) {
  tempPath->clear();
  folder->clear();
  auto file = std::make_unique<AtomicFile>();
  const int fd = file->Begin(path, flags);
  if (fd < 0) return fd;
  // An unnamed file is reached through its descriptor: nothing with a name is ever left
  // behind, whatever stops the writer.
  *tempPath = file->TempPath().empty() ? "/proc/self/fd/" + std::to_string(fd) : file->TempPath();
  *folder = file->Folder();
  std::lock_guard<std::mutex> lock(pendingMutex);
  PendingWrites()[fd] = std::move(file);
  return fd;
}

int FileSystem::CommitWrite(int fd, bool replace) {
  std::unique_ptr<AtomicFile> file = TakePending(fd);
  if (!file) return -1;
  return file->Commit(replace);
}

int CheckWriteTarget(const std::string& path, int flags) {
  return AtomicFile::CheckTarget(path, flags);
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
