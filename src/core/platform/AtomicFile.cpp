#include "platform/AtomicFile.h"

#include <dirent.h>
#include <fcntl.h>
#include <limits.h>
#include <signal.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string_view>
#include <vector>

#include "platform/FileSystem.h"

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

void SplitPath(const std::string& path, std::string* folder, std::string* name) {
  const std::size_t slash = path.rfind('/');
  *folder = slash == std::string::npos ? "." : (slash == 0 ? "/" : path.substr(0, slash));
  *name = slash == std::string::npos ? path : path.substr(slash + 1);
}

// Whether a symbolic link owned by `linkOwner` in `folder` may be followed: not in a sticky
// folder that others may write to, unless this user or the folder's owner made the link
// (the kernel's protected_symlinks rule). Anyone may plant a link in such a folder, and
// following it would make this program write wherever the planter likes.
bool MayFollowLinkIn(const std::string& folder, uid_t linkOwner) {
  struct stat st;
  if (::stat(folder.c_str(), &st) != 0) return false;
  const bool shared = (st.st_mode & S_ISVTX) != 0 && (st.st_mode & S_IWOTH) != 0;
  return !shared || linkOwner == ::geteuid() || linkOwner == st.st_uid;
}

// The folder and file name that a write to `path` gives its name to, with symbolic links
// followed as `flags` allow, and the permission bits of the regular file found there (-1
// for none). 0, or the refusal.
int ResolveTarget(const std::string& path, int flags, std::string* folder, std::string* name,
                  int* mode) {
  *mode = -1;
  std::string current = path;
  for (int hops = 0; hops <= 40; ++hops) {
    struct stat st;
    if (::lstat(current.c_str(), &st) != 0) {
      if (errno != ENOENT) return AtomicFile::kFailed;
      SplitPath(current, folder, name);
      return name->empty() ? AtomicFile::kFailed : 0;
    }
    if (S_ISREG(st.st_mode)) {
      if ((flags & AtomicFile::kReplace) == 0) return AtomicFile::kTargetExists;
      *mode = static_cast<int>(st.st_mode & 07777);
      SplitPath(current, folder, name);
      return 0;
    }
    if (!S_ISLNK(st.st_mode)) return AtomicFile::kNotRegularFile;
    // A link, even one that leads nowhere, is something that exists under the name.
    if ((flags & AtomicFile::kReplace) == 0) return AtomicFile::kTargetExists;
    if ((flags & AtomicFile::kNoFollow) != 0) return AtomicFile::kLinkRefused;
    std::string linkFolder;
    std::string linkName;
    SplitPath(current, &linkFolder, &linkName);
    if (!MayFollowLinkIn(linkFolder, st.st_uid)) return AtomicFile::kLinkRefused;
    std::string link(static_cast<std::size_t>(st.st_size > 0 ? st.st_size : PATH_MAX), '\0');
    const ssize_t n = ::readlink(current.c_str(), link.data(), link.size());
    if (n <= 0) return AtomicFile::kFailed;
    link.resize(static_cast<std::size_t>(n));
    if (link[0] != '/') {
      const std::size_t slash = current.rfind('/');
      link = (slash == std::string::npos ? std::string() : current.substr(0, slash + 1)) + link;
    }
    current = link;
  }
  // Links that never end in a file.
  return AtomicFile::kNotRegularFile;
}

// ".<name>.korvel-" and twelve of RandomSuffix's characters: a hidden name of this program.
bool IsHiddenName(std::string_view name) {
  constexpr std::string_view kMark = ".korvel-";
  if (name.size() < 2 + kMark.size() + 12 || name[0] != '.') return false;
  const std::string_view tail = name.substr(name.size() - 12);
  if (name.substr(name.size() - 12 - kMark.size(), kMark.size()) != kMark) return false;
  return std::all_of(tail.begin(), tail.end(),
                     [](char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z'); });
}

struct Candidate {
  std::string name;
  dev_t device;
  ino_t inode;
};

// Drops from `candidates` every file that a process this user may look into holds open.
void DropOpenFiles(std::vector<Candidate>& candidates) {
  DIR* procs = ::opendir("/proc");
  if (procs == nullptr) {
    candidates.clear();  // cannot tell: keep them all
    return;
  }
  while (!candidates.empty()) {
    const dirent* process = ::readdir(procs);
    if (process == nullptr) break;
    if (process->d_name[0] < '0' || process->d_name[0] > '9') continue;
    const std::string fdFolder = std::string("/proc/") + process->d_name + "/fd";
    DIR* fds = ::opendir(fdFolder.c_str());
    if (fds == nullptr) continue;  // gone, or someone else's (and their files are theirs)
    while (const dirent* entry = ::readdir(fds)) {
      if (entry->d_name[0] == '.') continue;
      struct stat st;
      const std::string link = fdFolder + "/" + entry->d_name;
      if (::stat(link.c_str(), &st) != 0) continue;
      std::erase_if(candidates, [&st](const Candidate& c) {
        return c.device == st.st_dev && c.inode == st.st_ino;
      });
    }
    ::closedir(fds);
  }
  ::closedir(procs);
}

// Removes what killed writes of this program left in the folder: hidden names of its own
// pattern, regular files of this user that no living process holds open (a write in
// progress holds its file open from before it has a name until after it is renamed).
void RemoveStaleHiddenFiles(int folderFd) {
  const int listFd = ::openat(folderFd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (listFd < 0) return;
  DIR* folder = ::fdopendir(listFd);
  if (folder == nullptr) {
    ::close(listFd);
    return;
  }
  std::vector<Candidate> stale;
  while (const dirent* entry = ::readdir(folder)) {
    if (!IsHiddenName(entry->d_name)) continue;
    struct stat st;
    if (::fstatat(folderFd, entry->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0) continue;
    if (S_ISREG(st.st_mode) && st.st_uid == ::geteuid()) {
      stale.push_back({entry->d_name, st.st_dev, st.st_ino});
    }
  }
  ::closedir(folder);
  if (!stale.empty()) DropOpenFiles(stale);
  for (const Candidate& file : stale) ::unlinkat(folderFd, file.name.c_str(), 0);
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

int AtomicFile::CheckTarget(const std::string& target, int flags) {
  std::string folder;
  std::string name;
  int mode;
  if (target.empty()) return kFailed;
  return ResolveTarget(target, flags, &folder, &name, &mode);
}

int AtomicFile::OpenFolder(const std::string& target, int flags) {
  if (target.empty()) return kFailed;
  const int resolved = ResolveTarget(target, flags, &folder_, &name_, &replacedMode_);
  if (resolved != 0) {
    folder_.clear();
    return resolved;
  }
  folderFd_ = ::open(folder_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (folderFd_ < 0) {
    folder_.clear();
    return kFailed;
  }
  RemoveStaleHiddenFiles(folderFd_);
  return 0;
}

bool AtomicFile::OpenHiddenName() {
  // A hidden name of our own, never an existing one.
  for (int attempt = 0; attempt < 100 && fd_ < 0; ++attempt) {
    tempName_ = "." + name_ + ".korvel-" + RandomSuffix();
    slot_ = ClaimSlot(folder_ + "/" + tempName_);
    fd_ = ::openat(folderFd_, tempName_.c_str(), O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC, 0666);
    if (fd_ < 0) {
      const int error = errno;
      ReleaseSlot(slot_);
      slot_ = -1;
      if (error != EEXIST) break;
    }
  }
  if (fd_ >= 0) return true;
  tempName_.clear();
  return false;
}

int AtomicFile::Begin(const std::string& target, int flags) {
  Discard();
  if (const int refused = OpenFolder(target, flags); refused != 0) return refused;
  fd_ = ::openat(folderFd_, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
  // The file system has no unnamed files: the hidden name stands in.
  if (fd_ < 0 && !OpenHiddenName()) {
    Reset();
    return kFailed;
  }
  return fd_;
}

int AtomicFile::BeginNamed(const std::string& target, int flags) {
  Discard();
  if (const int refused = OpenFolder(target, flags); refused != 0) return refused;
  if (!OpenHiddenName()) {
    Reset();
    return kFailed;
  }
  return fd_;
}

std::string AtomicFile::TempPath() const {
  return tempName_.empty() ? std::string() : folder_ + "/" + tempName_;
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
  // The data reaches the disk before the name does.
  if (CurrentFileSystem().Sync(fd_) != 0) return kFailed;
  // Only a regular file is replaced (or nothing): something else that took the name since
  // Begin stays.
  struct stat st;
  if (::fstatat(folderFd_, name_.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 && !S_ISREG(st.st_mode)) {
    return S_ISLNK(st.st_mode) ? kLinkRefused : kNotRegularFile;
  }
  if (::renameat(folderFd_, tempName_.c_str(), folderFd_, name_.c_str()) != 0) return kFailed;
  tempName_.clear();
  return 0;
}

int AtomicFile::Commit(bool replace) {
  if (fd_ < 0) return kFailed;
  // A replaced file keeps who may read it (set only now: a writer that opens the file by
  // its name must still be able to write it).
  if (replacedMode_ >= 0) ::fchmod(fd_, static_cast<mode_t>(replacedMode_));
  FileSystem& fs = CurrentFileSystem();
  int result;
  if (replace) {
    result = LinkReplacing();
  } else {
    result = fs.Sync(fd_) == 0 ? LinkNoReplace() : kFailed;
  }
  // The new name itself must survive a crash too.
  if (result == 0 && fs.Sync(folderFd_) != 0) result = kFailed;
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
  folder_.clear();
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
