#include "io/TextFile.h"

#include <algorithm>
#include <cstring>

#include "io/EncodingDetection.h"
#include "platform/Codepage.h"
#include "platform/FileSystem.h"

namespace korvel {
namespace {

constexpr std::size_t kReadAheadSize = 64 * 1024;

bool IsUtf16(int encoding) { return encoding == kEncodingUtf16 || encoding == kEncodingUtf16Be; }

std::size_t Utf8SequenceLength(unsigned char c) {
  if (c >= 0xC0 && c <= 0xDF) return 2;
  if (c >= 0xE0 && c <= 0xEF) return 3;
  if (c >= 0xF0 && c <= 0xF7) return 4;
  if (c >= 0xF8 && c <= 0xFB) return 5;
  if (c >= 0xFC && c <= 0xFD) return 6;
  return 1;
}

}  // namespace

TextFile::TextFile() = default;

TextFile::~TextFile() {
  // A written file that was never closed is incomplete as far as anyone knows.
  if (fd_ >= 0 && mode_ == kModeWrite) {
    CurrentFileSystem().AbandonWrite(fd_);
    fd_ = -1;
  }
  Close();
}

int TextFile::Open(const std::string& path, int mode, int encoding) {
  if (IsOpen()) return -2;
  FileSystem::OpenMode fsMode;
  switch (mode) {
    case kModeRead:
      fsMode = FileSystem::OpenMode::kRead;
      break;
    case kModeWrite:
      fsMode = FileSystem::OpenMode::kWrite;
      break;
    case kModeReadWrite:
      fsMode = FileSystem::OpenMode::kReadWrite;
      break;
    default:
      return -1;
  }
  const int flags =
      (replace_ ? FileSystem::kReplace : 0) | (followLinks_ ? 0 : FileSystem::kNoFollow);
  int fd = mode == kModeWrite ? CurrentFileSystem().BeginWrite(path, flags)
                              : CurrentFileSystem().Open(path, fsMode);
  openRefusal_ = fd < 0 ? fd : 0;
  if (fd < 0) return -1;
  fd_ = fd;
  mode_ = mode;
  writeFailed_ = false;
  // Only Shift-JIS, UTF-16, UTF-8, EUC-JP and detection are ever asked for; any other code
  // (an odd CODE in the settings file) reads as Shift-JIS. Big-endian UTF-16 comes from its
  // mark or from detection alone.
  encoding_ = encoding == kEncodingUtf16 || encoding == kEncodingUtf8 ||
                      encoding == kEncodingEucJp || IsAutoEncoding(encoding)
                  ? encoding
                  : kEncodingSjis;
  lostCount_ = 0;
  pieceLosses_.clear();
  pieceWidths_.clear();
  carryLength_ = 0;
  readAheadPos_ = readAheadEnd_ = 0;
  readAheadFailed_ = false;
  if (progress_ != nullptr && mode == kModeRead) {
    const long long size = CurrentFileSystem().FileSize(fd);
    if (size > 0) progress_->AddExpected(progressInput_, static_cast<std::uint64_t>(size));
  }
  return 0;
}

int TextFile::AttachForWriting(int fd) {
  if (IsOpen()) return -2;
  fd_ = fd;
  mode_ = kModeAttached;
  writeFailed_ = false;
  encoding_ = kEncodingSjis;
  carryLength_ = 0;
  readAheadPos_ = readAheadEnd_ = 0;
  readAheadFailed_ = false;
  return 0;
}

int TextFile::Close() {
  std::string().swap(converted_);
  std::vector<unsigned char>().swap(readAhead_);
  readAheadPos_ = readAheadEnd_ = 0;
  carryLength_ = 0;
  if (fd_ < 0) return 0;
  const int fd = fd_;
  fd_ = -1;
  if (mode_ == kModeWrite) {
    if (writeFailed_) {
      CurrentFileSystem().AbandonWrite(fd);
      return -1;
    }
    const int committed = CurrentFileSystem().CommitWrite(fd, replace_);
    if (committed == FileSystem::kTargetExists) return kTargetExists;
    // Something that may not be replaced took the name meanwhile: told as Open tells it.
    if (committed == FileSystem::kNotRegularFile || committed == FileSystem::kLinkRefused) {
      openRefusal_ = committed;
    }
    return committed == 0 ? 0 : -1;
  }
  if (mode_ == kModeAttached) return writeFailed_ ? -1 : 0;
  return CurrentFileSystem().Close(fd) == 0 ? 0 : -1;
}

long TextFile::Fill(unsigned char* dst, std::size_t count) {
  if (!IsOpen()) return -1;
  if (mode_ != kModeRead) {
    ssize_t n = CurrentFileSystem().Read(fd_, dst, count);
    return n < 0 ? -1 : static_cast<long>(n);
  }
  std::size_t done = 0;
  while (done < count) {
    if (readAheadPos_ == readAheadEnd_) {
      if (readAheadFailed_) return -1;
      if (readAhead_.empty()) readAhead_.resize(kReadAheadSize);
      // A cancelled run reads no further; to the reader it is a read that failed, and the
      // run, which knows better, drops the failure's message.
      const bool cancelled = progress_ != nullptr && progress_->Cancelled();
      ssize_t n =
          cancelled ? -1 : CurrentFileSystem().Read(fd_, readAhead_.data(), readAhead_.size());
      if (n > 0 && progress_ != nullptr) {
        progress_->AddDone(progressInput_, static_cast<std::uint64_t>(n));
      }
      if (n < 0) {
        // Bytes already gathered are delivered; the failure shows on the next call.
        readAheadFailed_ = true;
        if (done == 0) return -1;
        break;
      }
      readAheadPos_ = 0;
      readAheadEnd_ = static_cast<std::size_t>(n);
      if (n == 0) break;
    }
    std::size_t take = std::min(count - done, readAheadEnd_ - readAheadPos_);
    std::memcpy(dst + done, readAhead_.data() + readAheadPos_, take);
    readAheadPos_ += take;
    done += take;
  }
  return static_cast<long>(done);
}

int TextFile::Read(void* buffer, int count) {
  if (count <= 0) return 0;
  long n = Fill(static_cast<unsigned char*>(buffer), static_cast<std::size_t>(count));
  return n < 0 ? 0 : static_cast<int>(n);
}

int TextFile::Write(const void* buffer, int count) {
  if (!IsOpen() || count < 0) return 0;
  if (count == 0) return 0;
  if (progress_ != nullptr && progress_->Cancelled()) {
    writeFailed_ = true;
    return 0;
  }
  ssize_t n = CurrentFileSystem().Write(fd_, buffer, static_cast<std::size_t>(count));
  if (n == count) return count;
  writeFailed_ = true;
  return 0;
}

int TextFile::WriteNewline() { return Write("\r\n", 2); }

int TextFile::CheckBom(bool adopt, int* encoding) {
  long n = Fill(carry_, 2);
  if (n < 0) {
    if (encoding) *encoding = encoding_;
    return -3;
  }
  carryLength_ = static_cast<std::size_t>(n);
  int mark = -1;
  int result = 0;
  if (n == 0 || (n == 1 && carry_[0] == kEndOfFileByte && !readAheadFailed_)) {
    result = -1;
  } else if (n == 2) {
    if (carry_[0] == 0xFF && carry_[1] == 0xFE) {
      mark = kEncodingUtf16;
    } else if (carry_[0] == 0xFE && carry_[1] == 0xFF) {
      mark = kEncodingUtf16Be;
    } else if (carry_[0] == 0xEF && carry_[1] == 0xBB) {
      long third = Fill(carry_ + 2, 1);
      if (third < 0) {
        if (encoding) *encoding = encoding_;
        return -3;
      }
      carryLength_ += static_cast<std::size_t>(third);
      if (third == 1 && carry_[2] == 0xBF) mark = kEncodingUtf8;
    }
  }
  hasMark_ = false;
  if (mark >= 0) {
    carryLength_ = 0;
    if (mark == encoding_) {
      result = 1;
    } else if (adopt || IsAutoEncoding(encoding_)) {
      encoding_ = mark;
      result = 2;
    } else {
      result = -2;
    }
  } else if (result == 0 && IsAutoEncoding(encoding_)) {
    result = Detect();
  }
  hasMark_ = result > 0 && mark >= 0;
  if (encoding) *encoding = encoding_;
  return result;
}

int TextFile::Detect() {
  // The read-ahead block is filled up to the sample's size, so that the sample is the same
  // however the system splits its reads; the bytes stay there for the pieces.
  if (readAhead_.empty()) readAhead_.resize(kReadAheadSize);
  std::memmove(readAhead_.data(), readAhead_.data() + readAheadPos_, readAheadEnd_ - readAheadPos_);
  readAheadEnd_ -= readAheadPos_;
  readAheadPos_ = 0;
  const std::size_t want = kDetectionBytes - carryLength_;
  bool ended = false;
  while (readAheadEnd_ < want && !readAheadFailed_) {
    ssize_t n =
        CurrentFileSystem().Read(fd_, readAhead_.data() + readAheadEnd_, want - readAheadEnd_);
    if (n < 0) {
      readAheadFailed_ = true;  // shows on the first piece
    } else if (n == 0) {
      ended = true;
      break;
    } else {
      readAheadEnd_ += static_cast<std::size_t>(n);
    }
  }
  std::vector<unsigned char> sample(carry_, carry_ + carryLength_);
  sample.insert(sample.end(), readAhead_.begin(),
                readAhead_.begin() + static_cast<std::ptrdiff_t>(readAheadEnd_));
  const int found = DetectEncoding(sample.data(), sample.size(), ended, AutoFallback(encoding_));
  if (found == kUnreadable) {
    encoding_ = AutoFallback(encoding_);
    return -3;
  }
  encoding_ = found;
  return 0;
}

// The cut walk steps from the start of the piece. Walking all of it for every piece costs
// as much as reading the piece, so each walk starts instead at a resume point: a position
// near the end that the walk from the start is sure to land on, because no step taken
// before it can jump over it. A step jumps over a position only from a few bytes before it
// (a character, a quote pair, or an LF taken along), which the checks below rule out.
namespace {

std::size_t SjisResumePoint(const unsigned char* b) {
  // A byte outside the lead range always ends a character.
  for (std::size_t s = 1017; s > 0; --s) {
    if (!IsLeadByte(b[s - 1]) && b[s] != '\n' && b[s] != '"') return s;
  }
  return 0;
}

std::size_t Utf8ResumePoint(const unsigned char* b) {
  for (std::size_t s = 1017; s >= 5; --s) {
    if (b[s] == '\n' || b[s] == '"') continue;
    bool covered = false;
    for (std::size_t k = 1; k <= 5 && !covered; ++k) covered = Utf8SequenceLength(b[s - k]) > k;
    if (!covered) return s;
  }
  return 0;
}

unsigned Utf16Unit(const unsigned char* b, std::size_t i, bool bigEndian) {
  return bigEndian ? static_cast<unsigned>(b[i] << 8 | b[i + 1])
                   : static_cast<unsigned>(b[i] | b[i + 1] << 8);
}

std::size_t EucResumePoint(const unsigned char* b) {
  // A step jumps over s only from s - 1 (a character of two or three bytes, a quote pair,
  // an LF taken along) or from s - 2 (a three-byte character).
  for (std::size_t s = 1017; s >= 2; --s) {
    if (EucJpCharLength(b[s - 1]) == 1 && b[s - 2] != 0x8F && b[s] != '\n' && b[s] != '"') return s;
  }
  return 0;
}

std::size_t Utf16ResumePoint(const unsigned char* b, bool be) {
  for (std::size_t s = 1012; s >= 2; s -= 2) {
    unsigned u = Utf16Unit(b, s, be);
    unsigned before = Utf16Unit(b, s - 2, be);
    if (u != '\n' && u != '"' && (before < 0xD800 || before > 0xDFFF)) return s;
  }
  return 0;
}

}  // namespace

std::size_t FindPieceCut(const unsigned char* b, std::size_t onHand, int encoding) {
  std::size_t pos;
  if (IsUtf16(encoding)) {
    const bool be = encoding == kEncodingUtf16Be;
    pos = Utf16ResumePoint(b, be);
    while (pos < 1014) {
      unsigned u = Utf16Unit(b, pos, be);
      if (u >= 0xD800 && u <= 0xDFFF) {
        pos += 4;
      } else {
        pos += (u == '"' && Utf16Unit(b, pos + 2, be) == '"') ? 4 : 2;
      }
      if (Utf16Unit(b, pos, be) == '\n') pos += 2;
    }
    unsigned u = Utf16Unit(b, pos, be);
    if (u == '\t') {
      pos += 2;
    } else if (u == '\r' || u == '\n') {
      pos += 2;
      if (Utf16Unit(b, pos, be) == '\n') pos += 2;
    }
    return std::min(pos, onHand);
  }
  if (encoding == kEncodingUtf8) {
    pos = Utf8ResumePoint(b);
    while (pos < 1018) {
      unsigned char c = b[pos];
      if (c == '"') {
        pos += b[pos + 1] == '"' ? 2 : 1;
      } else {
        pos += Utf8SequenceLength(c);
      }
      if (b[pos] == '\n') pos += 1;
    }
  } else if (encoding == kEncodingEucJp) {
    pos = EucResumePoint(b);
    while (pos < 1018) {
      unsigned char c = b[pos];
      if (c >= 0x80) {
        pos += EucJpCharLength(c);
      } else if ((c == '"' && b[pos + 1] == '"') || b[pos + 1] == '\n') {
        pos += 2;
      } else {
        pos += 1;
      }
    }
  } else {
    pos = SjisResumePoint(b);
    while (pos < 1018) {
      unsigned char c = b[pos];
      if (IsLeadByte(c) || (c == '"' && b[pos + 1] == '"') || b[pos + 1] == '\n') {
        pos += 2;
      } else {
        pos += 1;
      }
    }
  }
  if (b[pos] == '\t') {
    pos += 1;
  } else if (b[pos] == '\r' || b[pos] == '\n') {
    pos += 1;
    if (b[pos] == '\n') pos += 1;
  }
  return std::min(pos, onHand);
}

long TextFile::CutPiece() {
  if (!IsOpen()) return -1;
  std::memcpy(piece_, carry_, carryLength_);
  long n = Fill(piece_ + carryLength_, kPieceSize - carryLength_);
  // A read that failed part-way leaves a short piece that only looks like the end of the file:
  // its end cannot be judged, so nothing of it is delivered.
  if (n < 0 || readAheadFailed_) return -1;
  std::size_t onHand = carryLength_ + static_cast<std::size_t>(n);
  // A short fill met the end of the file, so the last byte on hand is the file's last byte
  // (a full piece is never cut at its end: its last bytes are carried). An end-of-file byte
  // there, as old DOS and Windows exports have it, ends the file and is no text; in UTF-16 only
  // as the odd byte left over (pieces before are cut at even offsets of the file or its mark).
  if (onHand < static_cast<std::size_t>(kPieceSize) && onHand > 0 &&
      piece_[onHand - 1] == kEndOfFileByte && (!IsUtf16(encoding_) || onHand % 2 != 0)) {
    --onHand;
  }
  // NULs after the bytes on hand let the cut rules look a few bytes ahead safely.
  std::memset(piece_ + onHand, 0, sizeof piece_ - onHand);
  std::size_t cut = onHand;
  if (onHand >= static_cast<std::size_t>(kPieceSize)) cut = FindPieceCut(piece_, onHand, encoding_);
  carryLength_ = onHand - cut;
  std::memcpy(carry_, piece_ + cut, carryLength_);
  std::memset(piece_ + cut, 0, sizeof piece_ - cut);
  return static_cast<long>(cut);
}

const char* TextFile::ReadChunk(int* length) {
  if (length) *length = 0;
  const long cutLength = CutPiece();
  if (cutLength < 0) return nullptr;
  const auto cut = static_cast<std::size_t>(cutLength);

  if (!pieceLosses_.empty()) pieceLosses_.clear();
  if (IsUtf16(encoding_)) {
    converted_.clear();
    lostCount_ +=
        Utf16BytesToCp932(piece_, cut, encoding_ == kEncodingUtf16Be, converted_, &pieceLosses_);
  } else if (encoding_ == kEncodingUtf8) {
    converted_.clear();
    lostCount_ +=
        Utf8ToCp932(reinterpret_cast<const char*>(piece_), cut, converted_, &pieceLosses_);
  } else if (encoding_ == kEncodingEucJp) {
    converted_.clear();
    pieceWidths_.clear();
    lostCount_ += EucJpToCp932(piece_, cut, converted_, &pieceLosses_, &pieceWidths_);
  } else {
    UnifyDuplicateCodes(reinterpret_cast<char*>(piece_), cut);
    if (length) *length = static_cast<int>(cut);
    return reinterpret_cast<const char*>(piece_);
  }
  if (length) *length = static_cast<int>(converted_.size());
  return converted_.c_str();
}

// A whole Shift-JIS piece that the read-ahead block holds goes to `out` straight from
// there, and is cut there: the bytes need no conversion, so CutPiece's copy into piece_
// would be one copy too many. The cut is the one CutPiece finds, since the Shift-JIS walk
// of FindPieceCut over a full piece looks at no byte past its 1021st.
std::size_t TextFile::AppendSjisPieceInPlace(std::string& out) {
  const std::size_t at = out.size();
  const std::size_t take = kPieceSize - carryLength_;
  out.append(reinterpret_cast<const char*>(carry_), carryLength_);
  out.append(reinterpret_cast<const char*>(readAhead_.data() + readAheadPos_), take);
  readAheadPos_ += take;
  const auto* piece = reinterpret_cast<const unsigned char*>(out.data() + at);
  const std::size_t cut = FindPieceCut(piece, kPieceSize, kEncodingSjis);
  carryLength_ = kPieceSize - cut;
  std::memcpy(carry_, piece + cut, carryLength_);
  out.resize(at + cut);
  return cut;
}

long TextFile::AppendPieces(std::string& out, std::size_t inputBytes, LossLog* losses,
                            bool* ended) {
  *ended = false;
  const std::size_t start = out.size();
  std::size_t taken = 0;
  while (taken < inputBytes) {
    // A further piece only while its bytes are already read ahead: the file is asked for
    // more when a reader has used up what it has, as piece by piece, so that what it has
    // delivered when a read waits or fails, or the run is cancelled, stays the same.
    if (taken > 0 &&
        (mode_ != kModeRead || carryLength_ + (readAheadEnd_ - readAheadPos_) < kPieceSize)) {
      break;
    }
    if (encoding_ == kEncodingSjis && mode_ == kModeRead && !readAheadFailed_ &&
        readAheadEnd_ - readAheadPos_ >= kPieceSize - carryLength_) {
      const std::size_t at = out.size();
      const std::size_t cut = AppendSjisPieceInPlace(out);
      // Each piece takes its duplicate codes' own forms while its bytes are at hand.
      UnifyDuplicateCodes(out.data() + at, cut);
      taken += cut;
      continue;
    }
    const long cutLength = CutPiece();
    if (cutLength < 0) {
      if (out.size() == start) return -1;
      break;  // the pieces before it are whole; the next call fails
    }
    if (cutLength == 0) {
      *ended = true;
      break;
    }
    const auto cut = static_cast<std::size_t>(cutLength);
    if (IsUtf16(encoding_)) {
      lostCount_ += Utf16BytesToCp932(piece_, cut, encoding_ == kEncodingUtf16Be, out, losses);
    } else if (encoding_ == kEncodingUtf8) {
      lostCount_ += Utf8ToCp932(reinterpret_cast<const char*>(piece_), cut, out, losses);
    } else if (encoding_ == kEncodingEucJp) {
      lostCount_ += EucJpToCp932(piece_, cut, out, losses);
    } else {
      UnifyDuplicateCodes(reinterpret_cast<char*>(piece_), cut);
      out.append(reinterpret_cast<const char*>(piece_), cut);
    }
    taken += cut;
  }
  return static_cast<long>(out.size() - start);
}

int OpenInputFile(TextFile& file, const std::string& path, int requestedEncoding, bool adoptMark,
                  int* encoding, std::string* message) {
  *encoding = requestedEncoding;
  if (file.Open(path, TextFile::kModeRead, requestedEncoding) != 0) {
    *message = Sjis("ファイルが見つかりません。");
    return 1;
  }
  switch (file.CheckBom(adoptMark, encoding)) {
    case -1:
      *message = Sjis("データがありません。");
      return 1;
    case -2:
      *message = Sjis("文字コードが異なります。");
      return 1;
    case -3:
      *message = Sjis("読込できないファイルです。");
      return 1;
    default:
      return 0;
  }
}

Status CheckOutputPath(const std::string& path, Prompter& prompter) {
  if (path.empty()) return Status(-1);
  switch (GetPathKind(path)) {
    case PathKind::kMissing:
      return Status::Ok();
    case PathKind::kFolder:
      return Status::Warning(-1, Sjis("フォルダが指定されています。"));
    default:
      return prompter.Confirm(Sjis("既にファイルが存在します。上書きしてよろしいですか？"))
                 ? Status::Ok()
                 : Status(-1);
  }
}

}  // namespace korvel
