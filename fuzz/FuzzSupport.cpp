#include "FuzzSupport.h"

#include <iconv.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/Codepage.h"

namespace korvel::fuzz {

void MemoryFileSystem::Put(const std::string& path, std::string bytes) {
  std::lock_guard<std::mutex> lock(mutex_);
  files_[path] = std::make_shared<const std::string>(std::move(bytes));
}

std::string MemoryFileSystem::Get(const std::string& path) const {
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = files_.find(path);
  return it == files_.end() ? std::string() : *it->second;
}

void MemoryFileSystem::Clear() {
  std::lock_guard<std::mutex> lock(mutex_);
  files_.clear();
  open_.clear();
}

std::size_t MemoryFileSystem::OpenCount() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return open_.size();
}

int MemoryFileSystem::Open(const std::string& path, OpenMode mode) {
  std::lock_guard<std::mutex> lock(mutex_);
  OpenFile file;
  file.path = path;
  if (mode == OpenMode::kRead) {
    auto it = files_.find(path);
    if (it == files_.end()) return -1;
    file.bytes = it->second;
  } else {
    file.writing = true;
    file.bytes = std::make_shared<const std::string>();
    files_[path] = file.bytes;  // created and emptied at once, as the real call does
  }
  const int fd = nextFd_++;
  open_.emplace(fd, std::move(file));
  return fd;
}

ssize_t MemoryFileSystem::Read(int fd, void* buffer, std::size_t count) {
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = open_.find(fd);
  if (it == open_.end()) return -1;
  OpenFile& file = it->second;
  const std::string& bytes = file.writing ? file.written : *file.bytes;
  std::size_t n = std::min(count, bytes.size() - std::min(file.pos, bytes.size()));
  if (n > 0) std::memcpy(buffer, bytes.data() + file.pos, n);
  file.pos += n;
  return static_cast<ssize_t>(n);
}

ssize_t MemoryFileSystem::Write(int fd, const void* buffer, std::size_t count) {
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = open_.find(fd);
  if (it == open_.end() || !it->second.writing) return -1;
  it->second.written.append(static_cast<const char*>(buffer), count);
  return static_cast<ssize_t>(count);
}

int MemoryFileSystem::Close(int fd) {
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = open_.find(fd);
  if (it == open_.end()) return -1;
  if (it->second.writing && !it->second.pending) {
    files_[it->second.path] = std::make_shared<const std::string>(std::move(it->second.written));
  }
  open_.erase(it);
  return 0;
}

int MemoryFileSystem::Sync(int fd) {
  std::lock_guard<std::mutex> lock(mutex_);
  return open_.count(fd) != 0 ? 0 : -1;
}

// Whether a file may be replaced is decided at the commit, as on disk.
int MemoryFileSystem::BeginWrite(const std::string& path, int /*flags*/) {
  std::lock_guard<std::mutex> lock(mutex_);
  OpenFile file;
  file.path = path;
  file.writing = true;
  file.pending = true;
  const int fd = nextFd_++;
  open_.emplace(fd, std::move(file));
  return fd;
}

int MemoryFileSystem::BeginNamedWrite(const std::string& path, int /*flags*/, std::string* tempPath,
                                      std::string* folderOut) {
  std::lock_guard<std::mutex> lock(mutex_);
  const int fd = nextFd_++;
  const std::size_t slash = path.rfind('/');
  const std::string folder = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
  const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  OpenFile file;
  file.path = path;
  file.pending = true;
  file.tempPath = folder + "." + name + "." + std::to_string(fd);
  files_[file.tempPath] = std::make_shared<const std::string>();
  *tempPath = file.tempPath;
  *folderOut = folder;
  open_.emplace(fd, std::move(file));
  return fd;
}

int MemoryFileSystem::CommitWrite(int fd, bool replace) {
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = open_.find(fd);
  if (it == open_.end() || !it->second.pending) return -1;
  OpenFile file = std::move(it->second);
  open_.erase(it);
  std::shared_ptr<const std::string> bytes;
  if (file.tempPath.empty()) {
    bytes = std::make_shared<const std::string>(std::move(file.written));
  } else {
    auto temp = files_.find(file.tempPath);
    if (temp == files_.end()) return -1;
    bytes = temp->second;
    files_.erase(temp);
  }
  if (!replace && files_.count(file.path) != 0) return kTargetExists;
  files_[file.path] = std::move(bytes);
  return 0;
}

void MemoryFileSystem::AbandonWrite(int fd) {
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = open_.find(fd);
  if (it == open_.end() || !it->second.pending) return;
  if (!it->second.tempPath.empty()) files_.erase(it->second.tempPath);
  open_.erase(it);
}

FuzzEnvironment& FuzzEnvironment::Get() {
  static FuzzEnvironment* environment = [] {
    auto* e = new FuzzEnvironment;
    SetFileSystem(&e->files);
    return e;
  }();
  return *environment;
}

int FuzzEnvironment::Show(const Status& status) {
  ShowStatus(notes, status);
  return status.Code();
}

void FuzzEnvironment::Reset() {
  files.Clear();
  notes.Clear();
}

std::uint8_t OptionBytes::Byte() { return pos_ < size_ ? data_[pos_++] : 0; }

std::string_view OptionBytes::Take(std::size_t n) {
  n = std::min(n, size_ - std::min(pos_, size_));
  std::string_view out(reinterpret_cast<const char*>(data_) + pos_, n);
  pos_ += n;
  return out;
}

std::string_view OptionBytes::Rest() { return Take(size_); }

int PickEncoding(OptionBytes& in) {
  const std::uint8_t b = in.Byte();
  static const int kOlder[] = {kEncodingSjis, kEncodingUtf16, kEncodingUtf8};
  if (b < 240) return kOlder[b % 3];
  static const int kNewer[] = {kEncodingEucJp, kEncodingAuto, AutoEncoding(kEncodingUtf8),
                               kEncodingEucJp};
  return kNewer[b % 4];
}

namespace {

// Shift-JIS text in EUC-JP through the C library's converter, one character at a time, so
// that one it lacks costs only itself.
std::string SjisToEucJp(std::string_view text) {
  static iconv_t cd = iconv_open("EUC-JP-MS", "UTF-16LE");
  std::string out;
  for (char16_t unit : Cp932ToUtf16(text)) {
    char in[2] = {static_cast<char>(unit & 0xFF), static_cast<char>(unit >> 8)};
    char bytes[8];
    char* inp = in;
    char* outp = bytes;
    std::size_t inLeft = sizeof in;
    std::size_t outLeft = sizeof bytes;
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    if (cd == reinterpret_cast<iconv_t>(-1) ||
        iconv(cd, &inp, &inLeft, &outp, &outLeft) == static_cast<std::size_t>(-1)) {
      out.push_back('?');
    } else {
      out.append(bytes, sizeof bytes - outLeft);
    }
  }
  return out;
}

}  // namespace

std::string EncodeSjis(std::string_view text, int encoding) {
  if (IsAutoEncoding(encoding)) encoding = AutoFallback(encoding);
  if (encoding == kEncodingEucJp) return SjisToEucJp(text);
  if (encoding == kEncodingUtf8) return Cp932ToUtf8(text);
  if (encoding != kEncodingUtf16 && encoding != kEncodingUtf16Be) return std::string(text);
  std::string out;
  for (char16_t unit : Cp932ToUtf16(text)) {
    const char low = static_cast<char>(unit & 0xFF);
    const char high = static_cast<char>(unit >> 8);
    out += encoding == kEncodingUtf16 ? std::string{low, high} : std::string{high, low};
  }
  return out;
}

std::string MarkOf(int encoding) {
  switch (encoding) {
    case kEncodingUtf16:
      return "\xFF\xFE";
    case kEncodingUtf16Be:
      return "\xFE\xFF";
    case kEncodingUtf8:
      return "\xEF\xBB\xBF";
    default:
      return "";
  }
}

bool SurvivesEncoding(std::string_view text, int encoding) {
  if (IsAutoEncoding(encoding)) encoding = AutoFallback(encoding);
  if (encoding == kEncodingSjis) return true;
  if (encoding == kEncodingEucJp) {
    const std::string bytes = EncodeSjis(text, encoding);
    std::string back;
    EucJpToCp932(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(), back);
    return back == text;
  }
  if (encoding == kEncodingUtf8) return Utf8ToCp932(Cp932ToUtf8(text)) == text;
  const std::string bytes = EncodeSjis(text, encoding);
  std::string back;
  Utf16BytesToCp932(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(),
                    encoding == kEncodingUtf16Be, back);
  return back == text;
}

void Fail(const std::string& what) {
  std::fprintf(stderr, "fuzz check failed: %s\n", what.c_str());
  std::abort();
}

void Require(bool condition, const char* what) {
  if (!condition) Fail(what);
}

}  // namespace korvel::fuzz
