#include "cli/StandardInput.h"

#include <fcntl.h>
#include <stdlib.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <string_view>
#include <vector>

#include "io/EncodingDetection.h"
#include "platform/Codepage.h"

namespace korvel::cli {
namespace {

// The folders a private file may be made in: $TMPDIR when it is an absolute path (a relative
// one would depend on the current folder), then /tmp.
std::vector<std::string> TemporaryFolders() {
  std::vector<std::string> folders;
  if (const char* tmp = std::getenv("TMPDIR"); tmp && tmp[0] == '/') folders.emplace_back(tmp);
  folders.emplace_back("/tmp");
  return folders;
}

// A file only this process can reach: unnamed from the start where the file system allows
// it (O_EXCL: it can never be given a name), else named for a moment and removed at once.
int MakePrivateFile() {
  const std::vector<std::string> folders = TemporaryFolders();
  for (const std::string& folder : folders) {
    const int fd = ::open(folder.c_str(), O_TMPFILE | O_RDWR | O_EXCL | O_CLOEXEC, 0600);
    if (fd >= 0) return fd;
  }
  for (const std::string& folder : folders) {
    std::string name = folder + "/.korvel-stdin-XXXXXX";
    const int fd = ::mkostemp(name.data(), O_CLOEXEC);
    if (fd < 0) continue;
    ::unlink(name.c_str());
    return fd;
  }
  return -1;
}

bool WriteAll(int fd, const char* bytes, std::size_t count) {
  while (count > 0) {
    const ssize_t n = ::write(fd, bytes, count);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    bytes += n;
    count -= static_cast<std::size_t>(n);
  }
  return true;
}

// Whether the first bytes of the input, `n` of them at `p` (`complete`: the whole input),
// are a binary file as the detection rule sees one.
bool LooksBinary(const unsigned char* p, std::size_t n, bool complete) {
  const auto startsWith = [&](std::string_view mark) {
    return n >= mark.size() && std::equal(mark.begin(), mark.end(), p, [](char a, unsigned char b) {
             return static_cast<unsigned char>(a) == b;
           });
  };
  if (startsWith("\xEF\xBB\xBF") || startsWith("\xFF\xFE") || startsWith("\xFE\xFF")) return false;
  return DetectEncoding(p, n, complete, kEncodingSjis) == kUnreadable;
}

// Whether the file system of `fd` has less than `percent` of its blocks free to this user.
bool NearlyFull(int fd, int percent) {
  struct statvfs st {};
  if (::fstatvfs(fd, &st) != 0 || st.f_blocks == 0) return false;
  return static_cast<unsigned long long>(st.f_bavail) * 100 <
         static_cast<unsigned long long>(st.f_blocks) * static_cast<unsigned>(percent);
}

}  // namespace

StandardInputCopy::~StandardInputCopy() {
  if (fd_ >= 0) ::close(fd_);
}

bool StandardInputCopy::Capture(int source, std::string* error) {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  path_.clear();
  // A closed standard input is a failed read, not an empty one (the copy itself could
  // otherwise be given its number and be read as the input).
  if (::fcntl(source, F_GETFD) < 0) {
    *error = "標準入力の読み込みに失敗しました。";
    return false;
  }
  fd_ = MakePrivateFile();
  if (fd_ < 0) {
    *error = "標準入力を写す一時ファイルを作成できません。";
    return false;
  }
  std::vector<char> buffer(64 * 1024);
  // The first bytes are kept until they can be judged.
  std::vector<unsigned char> sample;
  bool judged = false;
  const auto fail = [&](const char* reason) {
    ::close(fd_);
    fd_ = -1;
    *error = reason;
    return false;
  };
  for (;;) {
    const ssize_t n = ::read(source, buffer.data(), buffer.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      return fail("標準入力の読み込みに失敗しました。");
    }
    if (!judged) {
      const std::size_t take =
          std::min(static_cast<std::size_t>(n), kDetectionBytes - sample.size());
      sample.insert(sample.end(), buffer.data(), buffer.data() + take);
      if (sample.size() == kDetectionBytes || n == 0) {
        judged = true;
        if (LooksBinary(sample.data(), sample.size(), n == 0)) {
          return fail("読込できないファイルです。");
        }
      }
    }
    if (n == 0) break;
    if (NearlyFull(fd_, kMinFreePercent)) return fail("書き込みに失敗しました。");
    if (!WriteAll(fd_, buffer.data(), static_cast<std::size_t>(n))) {
      return fail("標準入力を写す一時ファイルへの書き込みに失敗しました。");
    }
  }
  // Every opening through /proc reads the copy from its start with an offset of its own, so
  // the checks and the comparison each see it whole.
  path_ = "/proc/self/fd/" + std::to_string(fd_);
  return true;
}

StandardInputFileSystem::StandardInputFileSystem(const StandardInputCopy& copy)
    : inner_(CurrentFileSystem()), copy_(copy), previous_(SetFileSystem(this)) {}

StandardInputFileSystem::~StandardInputFileSystem() { SetFileSystem(previous_); }

int StandardInputFileSystem::Open(const std::string& path, OpenMode mode) {
  if (mode == OpenMode::kRead && path == kStandardInputPath && !copy_.Path().empty()) {
    return inner_.Open(copy_.Path(), mode);
  }
  return inner_.Open(path, mode);
}

ssize_t StandardInputFileSystem::Read(int fd, void* buffer, std::size_t count) {
  return inner_.Read(fd, buffer, count);
}

ssize_t StandardInputFileSystem::Write(int fd, const void* buffer, std::size_t count) {
  return inner_.Write(fd, buffer, count);
}

int StandardInputFileSystem::Close(int fd) { return inner_.Close(fd); }

int StandardInputFileSystem::Sync(int fd) { return inner_.Sync(fd); }

int StandardInputFileSystem::BeginWrite(const std::string& path, int flags) {
  return inner_.BeginWrite(path, flags);
}

int StandardInputFileSystem::BeginNamedWrite(const std::string& path, int flags,
                                             std::string* tempPath, std::string* folder) {
  return inner_.BeginNamedWrite(path, flags, tempPath, folder);
}

int StandardInputFileSystem::CommitWrite(int fd, bool replace) {
  return inner_.CommitWrite(fd, replace);
}

void StandardInputFileSystem::AbandonWrite(int fd) { inner_.AbandonWrite(fd); }

}  // namespace korvel::cli
