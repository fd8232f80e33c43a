#pragma once
// AtomicFile: writes a file so that its path holds either the old content whole or the new
// content whole, whatever happens in between (a full disk, a failed write, a kill).
//
// Begin opens an unnamed file in the target's folder (O_TMPFILE); where the file system
// lacks it, a uniquely named hidden file made with O_EXCL stands in, and is removed again
// on failure, on Discard and on SIGINT, SIGTERM or SIGHUP (InstallSignalCleanup). The
// caller writes through the descriptor; Commit flushes the file to the disk, gives it the
// target's name and flushes the folder. A target that is a symbolic link is followed: the
// file it points to is replaced and the link stays. A new file gets 0666 less the umask; a
// replaced file keeps its permission bits.
//
// Nothing is visible under the target's name before Commit succeeds, and a failed or
// abandoned write leaves no visible file behind (the destructor discards).

#include <string>

namespace korvel {

class AtomicFile {
 public:
  static constexpr int kFailed = -1;
  // Commit without replace: a file of the target's name exists (it is left as it is).
  static constexpr int kTargetExists = -2;

  AtomicFile() = default;
  ~AtomicFile();
  AtomicFile(const AtomicFile&) = delete;
  AtomicFile& operator=(const AtomicFile&) = delete;

  // Opens the file that will become `target`. The descriptor (owned by this object), or
  // -1 when the folder cannot be written or the target is a folder.
  [[nodiscard]] int Begin(const std::string& target);
  int Descriptor() const { return fd_; }

  // Makes the written file the target: 0, kFailed (the old file, if any, is whole and the
  // written one is gone), or kTargetExists when `replace` is false and the target exists.
  // The descriptor is closed either way.
  [[nodiscard]] int Commit(bool replace);
  // Drops the written file; the target is untouched.
  void Discard();

 private:
  int LinkNoReplace();
  int LinkReplacing();
  void Reset();

  int fd_ = -1;
  int folderFd_ = -1;
  std::string name_;      // the target's file name inside its (link-resolved) folder
  std::string tempName_;  // the named stand-in, or empty for an unnamed file
  int slot_ = -1;         // the signal cleanup slot of the named file being written
};

// Makes SIGINT, SIGTERM and SIGHUP remove the named files that writes in progress hold,
// then end the process by the same signal (default handler, raised again), so that a
// shell sees 130, 143 or 129. Safe to call more than once.
void InstallSignalCleanup();

}  // namespace korvel
