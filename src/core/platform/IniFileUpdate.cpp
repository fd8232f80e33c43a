#include "platform/IniFileUpdate.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/FileSystem.h"

namespace korvel {
namespace {

// Holds the exclusive lock on a lock file while it lives.
class FileLock {
 public:
  explicit FileLock(const std::string& path) {
    // Never through a link someone planted, and never waiting on a FIFO put in its place.
    fd_ = ::open(path.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0600);
    if (fd_ < 0) return;
    struct stat st;
    if (::fstat(fd_, &st) != 0 || !S_ISREG(st.st_mode)) {
      Release();
      return;
    }
    int locked;
    do {
      locked = ::flock(fd_, LOCK_EX);
    } while (locked != 0 && errno == EINTR);
    if (locked != 0) Release();
  }
  ~FileLock() { Release(); }
  FileLock(const FileLock&) = delete;
  FileLock& operator=(const FileLock&) = delete;

  bool Held() const { return fd_ >= 0; }

 private:
  void Release() {
    // Closing the only descriptor of the lock file lets the lock go.
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
  }

  int fd_ = -1;
};

bool WriteWhole(const std::string& path, const std::string& text) {
  FileSystem& fs = CurrentFileSystem();
  const int fd = fs.BeginWrite(path, FileSystem::kReplace | FileSystem::kNoFollow);
  if (fd < 0) return false;
  if (!text.empty() &&
      fs.Write(fd, text.data(), text.size()) != static_cast<ssize_t>(text.size())) {
    fs.AbandonWrite(fd);
    return false;
  }
  return fs.CommitWrite(fd, true) == 0;
}

}  // namespace

bool UpdateIniFile(const std::string& path, const std::function<void(IniFile&)>& change) {
  if (path.empty()) return false;
  FileLock lock(path + ".lock");
  if (!lock.Held()) return false;
  IniFile ini;
  // A file that exists but cannot be read is not replaced: its other keys would be lost.
  if (!ini.Load(path)) return false;
  const std::string before = ini.Text();
  ini.DropStrayLines();
  change(ini);
  const std::string after = ini.Text();
  if (after == before) return true;
  return WriteWhole(path, after);
}

}  // namespace korvel
