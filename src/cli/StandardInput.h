#pragma once
// Standard input as an input file of korvel-cli: the path "-" names it.
//
// The engine reads an input more than once (the confirmation check, the field-control grid,
// the comparison) and only from a regular file, so standard input, which may be a pipe or a
// terminal, is copied once, whole, into a private unnamed file (O_TMPFILE in $TMPDIR when it
// names an absolute folder, else in /tmp; it never has a name and vanishes with the process).
// While a StandardInputFileSystem is in force, opening "-" opens that copy; every other call
// goes to the file system that was in force before, and messages and exports still name the
// input "-".

#include <string>

#include "platform/FileSystem.h"

namespace korvel::cli {

inline constexpr char kStandardInputPath[] = "-";

class StandardInputCopy {
 public:
  StandardInputCopy() = default;
  // Closes the copy, which then disappears.
  ~StandardInputCopy();
  StandardInputCopy(const StandardInputCopy&) = delete;
  StandardInputCopy& operator=(const StandardInputCopy&) = delete;

  // Copies everything `source` (standard input: 0) delivers up to its end. True when done;
  // false, with the reason (UTF-8, for "korvel-cli: <reason>") in `*error`, when no private
  // file could be made, the input could not be read or the copy could not be written.
  //
  // The copy is bounded, so that an endless input (/dev/zero) cannot fill the disk: it stops
  // with "読込できないファイルです。" as soon as the first kDetectionBytes bytes (or all of a
  // shorter input) are a binary file by the detection rule (io/EncodingDetection.h: zero
  // bytes that are no UTF-16 text; an input that begins with a byte-order mark is taken as
  // text), and with "書き込みに失敗しました。" when the free space of the copy's file system
  // falls below kMinFreePercent of its size.
  static constexpr int kMinFreePercent = 5;
  [[nodiscard]] bool Capture(int source, std::string* error);
  // A path that opens the copy afresh, for reading from its start ("/proc/self/fd/N"); empty
  // before a successful Capture.
  const std::string& Path() const { return path_; }

 private:
  int fd_ = -1;
  std::string path_;
};

// While it lives, this file system is in force: it opens the path "-" (for reading) as
// `copy` and passes everything else to the file system that was in force before, which it
// puts back when it is destroyed. `copy` is not owned and must outlive it.
class StandardInputFileSystem : public FileSystem {
 public:
  explicit StandardInputFileSystem(const StandardInputCopy& copy);
  ~StandardInputFileSystem() override;
  StandardInputFileSystem(const StandardInputFileSystem&) = delete;
  StandardInputFileSystem& operator=(const StandardInputFileSystem&) = delete;

  int Open(const std::string& path, OpenMode mode) override;
  ssize_t Read(int fd, void* buffer, std::size_t count) override;
  ssize_t Write(int fd, const void* buffer, std::size_t count) override;
  int Close(int fd) override;
  int Sync(int fd) override;
  int BeginWrite(const std::string& path, int flags) override;
  int BeginNamedWrite(const std::string& path, int flags, std::string* tempPath,
                      std::string* folder) override;
  int CommitWrite(int fd, bool replace) override;
  void AbandonWrite(int fd) override;

 private:
  FileSystem& inner_;
  const StandardInputCopy& copy_;
  FileSystem* previous_;
};

}  // namespace korvel::cli
