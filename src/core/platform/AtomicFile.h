#pragma once
// AtomicFile: writes a file so that its path holds either the old content whole or the new
// content whole, whatever happens in between (a full disk, a failed write, a kill).
//
// Begin opens an unnamed file in the target's folder (O_TMPFILE); where the file system
// lacks it, a uniquely named hidden file made with O_EXCL stands in, and is removed again
// on failure, on Discard and on SIGINT, SIGTERM or SIGHUP (InstallSignalCleanup). The
// caller writes through the descriptor; Commit flushes the file to the disk, gives it the
// target's name and flushes the folder (both flushes through the file-system seam, Sync).
// A new file gets 0666 less the umask; a replaced file keeps its permission bits.
//
// What may be replaced (the flags of Begin): without kReplace anything at the target's
// name, a dangling symbolic link too, is an existing file that stays. With kReplace only a
// regular file is replaced. A symbolic link is followed to the file it points to (which is
// replaced, and the link stays) unless kNoFollow is given, or the link sits in a sticky
// folder that others may write to and belongs neither to this user nor to the folder's
// owner (the rule of the kernel's protected_symlinks, kept here since the links are
// resolved here). A FIFO, device, socket, folder or a loop of links is never replaced, not
// even by a regular file in its place.
//
// Replacing gives the finished file a hidden name first and then renames it over the
// target. A write killed in between leaves that hidden name behind; every Begin in a folder
// removes such leftovers of this program (".<name>.korvel-" and 12 characters, owned by
// this user, open in no process).
//
// BeginNamed is for writers that open the file by its name themselves (a library that
// takes a file name): it always makes the hidden stand-in, whose path TempPath gives; the
// writer may create, truncate and write that path as often as it likes, and Commit and
// Discard treat it as they treat the stand-in of Begin.
//
// Nothing is visible under the target's name before Commit succeeds, and a failed or
// abandoned write leaves no visible file behind (the destructor discards).

#include <string>

namespace korvel {

class AtomicFile {
 public:
  static constexpr int kFailed = -1;
  // Commit without replace, or Begin without kReplace: a file of the target's name exists
  // (it is left as it is).
  static constexpr int kTargetExists = -2;
  // The target is not a regular file (FIFO, device, socket, folder, a loop of links).
  static constexpr int kNotRegularFile = -3;
  // The target is a symbolic link that may not be followed (kNoFollow, or the sticky-folder
  // rule above).
  static constexpr int kLinkRefused = -4;

  // Flags of Begin and BeginNamed.
  static constexpr int kReplace = 1;   // an existing regular file may be replaced
  static constexpr int kNoFollow = 2;  // a symbolic link at the target is refused

  AtomicFile() = default;
  ~AtomicFile();
  AtomicFile(const AtomicFile&) = delete;
  AtomicFile& operator=(const AtomicFile&) = delete;

  // Opens the file that will become `target`. The descriptor (owned by this object), or
  // kFailed when the folder cannot be written, or kTargetExists, kNotRegularFile or
  // kLinkRefused as `flags` and the rules above decide.
  [[nodiscard]] int Begin(const std::string& target, int flags = kReplace);
  int Descriptor() const { return fd_; }
  // Like Begin, but the file has a hidden name from the start (".<name>.korvel-<random>" in
  // the target's link-resolved folder), kept in the signal cleanup until Commit or Discard.
  // The descriptor (owned by this object) or a failure as Begin's; the named file's path is
  // TempPath().
  [[nodiscard]] int BeginNamed(const std::string& target, int flags = kReplace);
  // The path of the hidden file being written, or "" when there is none (an unnamed file,
  // or nothing begun). Valid until Commit or Discard.
  std::string TempPath() const;
  // The target's (link-resolved) folder, where the file is written; "" when nothing is begun.
  const std::string& Folder() const { return folder_; }

  // What Begin with `flags` would find at `target` now: 0 when it may go ahead (nothing
  // there, or something it may replace), else kTargetExists, kNotRegularFile, kLinkRefused
  // or kFailed (a folder on the way is missing or cannot be read).
  static int CheckTarget(const std::string& target, int flags);

  // Makes the written file the target: 0, kFailed (the old file, if any, is whole and the
  // written one is gone), kTargetExists when `replace` is false and the target exists, or
  // kNotRegularFile / kLinkRefused when something that may not be replaced took the
  // target's name meanwhile.
  // The descriptor is closed either way.
  [[nodiscard]] int Commit(bool replace);
  // Drops the written file; the target is untouched.
  void Discard();

 private:
  // Opens the target's folder and checks the target; 0, or the refusal (nothing held).
  int OpenFolder(const std::string& target, int flags);
  // Creates the hidden stand-in in the open folder; false (nothing held) on failure.
  bool OpenHiddenName();
  int LinkNoReplace();
  int LinkReplacing();
  void Reset();

  int fd_ = -1;
  int folderFd_ = -1;
  std::string folder_;     // the target's (link-resolved) folder
  std::string name_;       // the target's file name inside its (link-resolved) folder
  std::string tempName_;   // the named stand-in, or empty for an unnamed file
  int slot_ = -1;          // the signal cleanup slot of the named file being written
  int replacedMode_ = -1;  // the permission bits of the file being replaced, if any
};

// Makes SIGINT, SIGTERM and SIGHUP remove the named files that writes in progress hold,
// then end the process by the same signal (default handler, raised again), so that a
// shell sees 130, 143 or 129. Safe to call more than once.
void InstallSignalCleanup();

}  // namespace korvel
