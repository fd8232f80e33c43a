#include "platform/AtomicFile.h"

#include <fcntl.h>
#include <limits.h>
#include <signal.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <random>

namespace korvel {
namespace {

// Named files being written, for the signal handler. A handler may only read what is
// already in place, so each slot holds a heap copy that lives until the slot is cleared.
constexpr int kCleanupSlots = 16;
std::atomic<char*> pendingPaths[kCleanupSlots];

int ClaimSlot(const std::string& path) {
  char* copy = ::strdup(path.c_str());
  if (copy == nullptr) return -1;
  for (int i = 0; i < kCleanupSlots; ++i) {
    char* expected = nullptr;
    if (pendingPaths[i].compare_exchange_strong(expected, copy)) return i;
  }
  std::free(copy);
  return -1;
}

void ReleaseSlot(int slot) {
  if (slot < 0) return;
  std::free(pendingPaths[slot].exchange(nullptr));
}

extern "C" void RemovePendingAndResignal(int sig) {
  for (auto& slot : pendingPaths) {
    if (char* path = slot.load()) ::unlink(path);
  }
  ::signal(sig, SIG_DFL);
  ::raise(sig);
}

// The folder and file name of `path` after following symbolic links to the final file, so
// that the file a link points to is replaced and the link itself stays.
bool ResolveTarget(const std::string& path, std::string* folder, std::string* name) {
  std::string current = path;
  for (int hops = 0; hops < 40; ++hops) {
    struct stat st;
    if (::lstat(current.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) break;
    std::string link(static_cast<std::size_t>(st.st_size > 0 ? st.st_size : PATH_MAX), '\0');
    ssize_t n = ::readlink(current.c_str(), link.data(), link.size());
    if (n < 0) return false;
    link.resize(static_cast<std::size_t>(n));
    if (link.empty()) return false;
    if (link[0] != '/') {
      std::size_t slash = current.rfind('/');
      link = (slash == std::string::npos ? std::string() : current.substr(0, slash + 1)) + link;
    }
    current = link;
  }
  std::size_t slash = current.rfind('/');
  *folder = slash == std::string::npos ? "." : (slash == 0 ? "/" : current.substr(0, slash));
  *name = slash == std::string::npos ? current : current.substr(slash + 1);
  return !name->empty();
}

std::string RandomSuffix() {
  static thread_local std::mt19937_64 random{std::random_device{}()};
  static const char kDigits[] = "0123456789abcdefghijklmnopqrstuvwxyz";
  std::string out;
  for (int i = 0; i < 12; ++i) out.push_back(kDigits[random() % 36]);
  return out;
}

}  // namespace

AtomicFile::~AtomicFile() { Discard(); }

int AtomicFile::Begin(const std::string& target) {
  Discard();
  std::string folder;
  if (target.empty() || !ResolveTarget(target, &folder, &name_)) return -1;
  folderFd_ = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (folderFd_ < 0) return -1;
  struct stat st;
  const bool exists = ::fstatat(folderFd_, name_.c_str(), &st, 0) == 0;
  if (exists && S_ISDIR(st.st_mode)) {
    Reset();
    return -1;
  }
  fd_ = ::openat(folderFd_, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
  if (fd_ < 0) {
    // The file system has no unnamed files: a hidden name of our own, never an existing one.
    for (int attempt = 0; attempt < 100 && fd_ < 0; ++attempt) {
      tempName_ = "." + name_ + ".korvel-" + RandomSuffix();
      slot_ = ClaimSlot(folder + "/" + tempName_);
      fd_ = ::openat(folderFd_, tempName_.c_str(), O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC, 0666);
      if (fd_ < 0) {
        ReleaseSlot(slot_);
        slot_ = -1;
        if (errno != EEXIST) break;
      }
    }
    if (fd_ < 0) {
      tempName_.clear();
      Reset();
      return -1;
    }
  }
  // A replaced file keeps who may read it.
  if (exists && S_ISREG(st.st_mode)) ::fchmod(fd_, st.st_mode & 07777);
  return fd_;
}

int AtomicFile::LinkNoReplace() {
  if (tempName_.empty()) {
    // An unnamed file gets its name in one step, which fails if the name is taken.
    const std::string self = "/proc/self/fd/" + std::to_string(fd_);
    if (::linkat(AT_FDCWD, self.c_str(), folderFd_, name_.c_str(), AT_SYMLINK_FOLLOW) == 0) {
      return 0;
    }
    return errno == EEXIST ? kTargetExists : kFailed;
  }
  if (::renameat2(folderFd_, tempName_.c_str(), folderFd_, name_.c_str(), RENAME_NOREPLACE) == 0) {
    tempName_.clear();
    return 0;
  }
  if (errno == EEXIST) return kTargetExists;
  if (errno != EINVAL && errno != ENOSYS) return kFailed;
  // No renameat2 on this file system: link, which refuses a taken name, then drop the
  // hidden name.
  if (::linkat(folderFd_, tempName_.c_str(), folderFd_, name_.c_str(), 0) != 0) {
    return errno == EEXIST ? kTargetExists : kFailed;
  }
  ::unlinkat(folderFd_, tempName_.c_str(), 0);
  tempName_.clear();
  return 0;
}

int AtomicFile::LinkReplacing() {
  if (tempName_.empty()) {
    // A hidden name first, then one rename over the target: the target is never missing.
    const std::string self = "/proc/self/fd/" + std::to_string(fd_);
    for (int attempt = 0; attempt < 100 && tempName_.empty(); ++attempt) {
      std::string candidate = "." + name_ + ".korvel-" + RandomSuffix();
      std::string folderPath = "/proc/self/fd/" + std::to_string(folderFd_) + "/" + candidate;
      slot_ = ClaimSlot(folderPath);
      if (::linkat(AT_FDCWD, self.c_str(), folderFd_, candidate.c_str(), AT_SYMLINK_FOLLOW) == 0) {
        tempName_ = candidate;
      } else {
        ReleaseSlot(slot_);
        slot_ = -1;
        if (errno != EEXIST) return kFailed;
      }
    }
    if (tempName_.empty()) return kFailed;
  }
  if (::renameat(folderFd_, tempName_.c_str(), folderFd_, name_.c_str()) != 0) return kFailed;
  tempName_.clear();
  return 0;
}

int AtomicFile::Commit(bool replace) {
  if (fd_ < 0) return kFailed;
  int result = ::fsync(fd_) == 0 ? 0 : kFailed;
  if (result == 0) result = replace ? LinkReplacing() : LinkNoReplace();
  // The new name itself must survive a crash too.
  if (result == 0 && ::fsync(folderFd_) != 0 && errno != EINVAL) result = kFailed;
  if (::close(fd_) != 0 && result == 0) result = kFailed;
  fd_ = -1;
  Discard();
  return result;
}

void AtomicFile::Discard() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  if (!tempName_.empty() && folderFd_ >= 0) ::unlinkat(folderFd_, tempName_.c_str(), 0);
  tempName_.clear();
  Reset();
}

void AtomicFile::Reset() {
  ReleaseSlot(slot_);
  slot_ = -1;
  if (folderFd_ >= 0) ::close(folderFd_);
  folderFd_ = -1;
}

void InstallSignalCleanup() {
  for (int sig : {SIGINT, SIGTERM, SIGHUP}) {
    struct sigaction action {};
    action.sa_handler = RemovePendingAndResignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESETHAND;
    ::sigaction(sig, &action, nullptr);
  }
}

}  // namespace korvel
