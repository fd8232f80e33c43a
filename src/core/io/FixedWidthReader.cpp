#include "io/FixedWidthReader.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <new>

#include "platform/Codepage.h"

namespace korvel {
namespace {

constexpr std::size_t kCellCapacity = 2048;
const char kEmptyText[1] = {'\0'};

// Byte classes of the cutting loop: only a lead byte and CR need a decision.
constexpr unsigned char kPlain = 0;
constexpr unsigned char kLead = 1;
constexpr unsigned char kCr = 2;

constexpr std::array<unsigned char, 256> BuildClasses() {
  std::array<unsigned char, 256> classes{};
  for (int c = 0; c < 256; ++c) {
    classes[c] = IsLeadByte(static_cast<unsigned char>(c)) ? kLead : kPlain;
  }
  classes['\r'] = kCr;
  return classes;
}
constexpr std::array<unsigned char, 256> kClass = BuildClasses();

}  // namespace

FixedWidthReader::FixedWidthReader() = default;

FixedWidthReader::~FixedWidthReader() { Close(); }

void FixedWidthReader::ClearDefinitions() { definitions_.Clear(); }

Status FixedWidthReader::AddDefinition(std::string_view name, int length) {
  if (name.size() > static_cast<std::size_t>(kMaxNameBytes)) {
    return Status(kAddNameTooLong, MessageKind::kError, Sjis("P:フィールド名のサイズが大きい"));
  }
  // A field of no bytes could never be cut: the first byte read would already overrun it.
  if (length < 1) return Status(kAddBadLength);
  FixDefinition record{};
  std::memcpy(record.name, name.data(), name.size());
  record.length = length;
  if (definitions_.Add(&record, static_cast<int>(sizeof record)) == 0) {
    return definitions_.TakeError().Then(
        Status::Warning(kAddNoMemory, Sjis("メモリが足りません。")));
  }
  return Status::Ok();
}

bool FixedWidthReader::GetDefinition(int index, FixDefinition& out) const {
  const StringList::Entry* entry = definitions_.GetEntry(index);
  if (!entry || !entry->bytes || entry->length != static_cast<int>(sizeof(FixDefinition))) {
    return false;
  }
  std::memcpy(&out, entry->bytes, sizeof out);
  return true;
}

const char* FixedWidthReader::DefinitionName(int index) const {
  const char* record = definitions_.Get(index);
  return record ? record : kEmptyText;
}

int FixedWidthReader::DefinitionLength(int index) const {
  FixDefinition record;
  return GetDefinition(index, record) ? record.length : 0;
}

void FixedWidthReader::Close() {
  std::string().swap(cell_);
  file_.Close();
  open_ = false;
  fieldCount_ = 0;
  piece_ = kEmptyText;
  pieceLength_ = 0;
  pos_ = 0;
  pieceBase_ = 0;
  losses_.Clear();
}

int FixedWidthReader::Open(const std::string& path, int skipLines, int encoding, int adoptMark) {
  Close();
  status_ = Status();
  encoding_ = encoding;
  inputEnded_ = false;
  readFailed_ = false;
  dropLeadingLf_ = false;
  skipNextByte_ = false;
  std::string message;
  if (OpenInputFile(file_, path, encoding, adoptMark == 1, &encoding_, &message) != 0) {
    file_.Close();
    return Fail(kOpenFailed, message);
  }
  try {
    cell_.reserve(kCellCapacity);
  } catch (const std::bad_alloc&) {
    file_.Close();
    status_ = Status(kOpenNoMemory, MessageKind::kAlert, Sjis("メモリが足りません。(-070407)"));
    return kOpenNoMemory;
  }
  open_ = true;
  for (int i = 0; i < skipLines; ++i) {
    int skipped = SkipLine();
    if (skipped > 0) continue;
    Close();
    // A failed read is told as such, not as a missing line.
    if (skipped < 0) return Fail(kOpenFailed, Sjis("ファイルの読込に失敗しました。"));
    return Fail(kOpenNoHeader, Sjis("ヘッダー情報が存在しません。"));
  }
  return kOpenOk;
}

FixedWidthReader::Fetch FixedWidthReader::FetchPiece() {
  if (inputEnded_) return Fetch::kEnded;
  int length = 0;
  const char* piece = file_.ReadChunk(&length);
  if (!piece) {
    readFailed_ = true;
    return Fetch::kFailed;
  }
  pieceBase_ += pieceLength_;
  for (const LostCharacter& lost : file_.PieceLosses()) {
    losses_.Add(pieceBase_ + lost.Offset, lost.Code);
  }
  piece_ = piece;
  pieceLength_ = static_cast<std::size_t>(length);
  pos_ = 0;
  wideAt_ = 0;
  if (length == 0) {
    inputEnded_ = true;
    skipNextByte_ = dropLeadingLf_ = false;
    return Fetch::kEnded;
  }
  if (skipNextByte_) {
    pos_ = 1;
  } else if (dropLeadingLf_ && piece_[0] == '\n') {
    pos_ = 1;
  }
  skipNextByte_ = dropLeadingLf_ = false;
  return Fetch::kMore;
}

// Consumes the CR at pos_ and an LF right after it, even when the LF opens the next piece.
void FixedWidthReader::TakeLineEnd() {
  ++pos_;
  if (pos_ < pieceLength_) {
    if (piece_[pos_] == '\n') ++pos_;
  } else {
    dropLeadingLf_ = true;
  }
}

// Passes over bytes up to the next CR, taking double-byte characters whole (a CR can be the
// second byte of one). True with pos_ on the CR; false when the piece ran out first.
bool FixedWidthReader::ScanToLineEnd() {
  const auto* b = reinterpret_cast<const unsigned char*>(piece_);
  std::size_t p = pos_;
  const std::size_t end = pieceLength_;
  while (p < end) {
    unsigned char k = kClass[b[p]];
    if (k == kCr) {
      pos_ = p;
      return true;
    }
    if (k == kLead) {
      if (p + 1 >= end) {
        skipNextByte_ = true;
        break;
      }
      p += 2;
    } else {
      ++p;
    }
  }
  pos_ = end;
  return false;
}

int FixedWidthReader::SkipLine() {
  bool consumed = false;
  for (;;) {
    if (pos_ >= pieceLength_) {
      Fetch f = FetchPiece();
      if (f == Fetch::kFailed) return kReadFailed;
      // A last line without CR is still a line, however its bytes fall.
      if (f == Fetch::kEnded) return consumed ? 1 : 0;
    }
    consumed = true;
    if (ScanToLineEnd()) {
      TakeLineEnd();
      return 1;
    }
  }
}

std::uint64_t FixedWidthReader::FieldLoss(int index) const { return losses_.FieldLoss(index); }

void FixedWidthReader::StoreCell(int index) {
  if (losses_.HasPending()) {
    // The cell's text is in cell_ byte for byte and ends at the read position.
    const std::size_t end = pieceBase_ + pos_;
    losses_.Place(end, [&](std::size_t offset) {
      const std::size_t back = end - offset;
      const std::size_t at = back < cell_.size() ? cell_.size() - back : 0;
      return std::count(cell_.begin(), cell_.begin() + static_cast<std::ptrdiff_t>(at), '?');
    });
    losses_.Take(index, end);
  }
  const int length = StringList::StoreLength(cell_.c_str(), static_cast<int>(cell_.size()));
  if (static_cast<std::size_t>(length) < cell_.size()) {
    losses_.KeepFor(index, std::string_view(cell_.data(), static_cast<std::size_t>(length)));
  }
  if (values_.Set(index, cell_.data(), length) == 0) throw std::bad_alloc();
  fieldCount_ = index + 1;
}

int FixedWidthReader::ReadRecord() {
  if (!status_.IsOk() || status_.HasMessages()) status_ = Status();
  fieldCount_ = 0;
  if (!open_) return 0;
  if (definitions_.Count() == 0) return Fail(kReadFailed, Sjis("フィールドの指定がありません。"));
  if (readFailed_) return Fail(kReadFailed, Sjis("ファイルの読込に失敗しました。"));
  try {
    return ReadRecordBody();
  } catch (const std::bad_alloc&) {
    // A value list that could not grow has its own message, which comes first.
    status_ = values_.TakeError().Then(
        Status(kReadNoMemory, MessageKind::kAlert, Sjis("メモリが足りません。(-070407)")));
    fieldCount_ = 0;
    return kReadNoMemory;
  }
}

int FixedWidthReader::Fail(int code, std::string_view message) {
  status_ = Status::Warning(code, message);
  return code;
}

int FixedWidthReader::ReadRecordBody() {
  losses_.StartRecord();
  if (losses_.HasPending())
    losses_.Take(-1, pieceBase_ + pos_);  // skipped lines, bytes beyond the definitions
  const int n = definitions_.Count();
  int j = 0;
  // Bytes still wanted by field j; 64 bits so that no definition length can overflow it.
  long long left = DefinitionLength(0);
  cell_.clear();

  for (;;) {
    if (j < n) {
      if (left < 0) return Fail(kReadStraddle, Sjis("区切りの途中で全角が発生しました。"));
      if (left == 0) {
        StoreCell(j);
        ++j;
        cell_.clear();
        left = j < n ? DefinitionLength(j) : 0;
        continue;
      }
    }
    if (pos_ >= pieceLength_) {
      Fetch f = FetchPiece();
      if (f == Fetch::kFailed) return Fail(kReadFailed, Sjis("ファイルの読込に失敗しました。"));
      if (f == Fetch::kEnded) {
        if (!cell_.empty() && j < n) StoreCell(j++);
        break;
      }
    }
    if (j >= n) {
      // The rest of the line beyond the definitions is read and ignored.
      if (ScanToLineEnd()) {
        TakeLineEnd();
        break;
      }
      continue;
    }

    // Cut as much of field j as this piece holds, copying it in one step.
    const std::size_t p = CutField(left);
    cell_.append(piece_ + pos_, p - pos_);
    pos_ = p;
    if (left <= 0 || p >= pieceLength_) continue;
    if (piece_[p] == '\r') {
      StoreCell(j++);
      TakeLineEnd();
      break;
    }
    if (!JoinSplitCharacter(left)) {
      return Fail(kReadFailed, Sjis("ファイルの読込に失敗しました。"));
    }
  }
  fieldCount_ = j;
  return j;
}

// The end of the bytes of the piece, from the read position, that field j takes: up to
// `left` bytes (less what they take), stopping at a CR and before a lead byte whose trail
// byte is in the next piece.
std::size_t FixedWidthReader::CutField(long long& left) {
  const auto* b = reinterpret_cast<const unsigned char*>(piece_);
  const std::size_t end = pieceLength_;
  std::size_t p = pos_;
  const WidthLog& wider = file_.PieceWidths();
  if (encoding_ == kEncodingEucJp && !wider.empty()) {
    // An EUC-JP file is laid out in its own bytes: a character whose EUC-JP form is longer
    // than its text counts the longer form.
    while (wideAt_ < wider.size() && wider[wideAt_].Offset < p) ++wideAt_;
    while (p < end && left > 0) {
      unsigned char k = kClass[b[p]];
      if (k == kCr || (k == kLead && p + 1 >= end)) break;
      if (wideAt_ < wider.size() && wider[wideAt_].Offset == p) left -= wider[wideAt_++].Extra;
      const std::size_t w = k == kLead ? 2 : 1;
      p += w;
      left -= static_cast<long long>(w);
    }
    return p;
  }
  while (p < end && left > 0) {
    unsigned char k = kClass[b[p]];
    if (k == kPlain) {
      ++p;
      --left;
    } else if (k == kLead && p + 1 < end) {
      p += 2;
      left -= 2;
    } else {
      break;
    }
  }
  return p;
}

// A lead byte closes the piece; its second byte opens the next one. False when the next
// piece cannot be read.
bool FixedWidthReader::JoinSplitCharacter(long long& left) {
  const char lead = piece_[pos_];
  pos_ = pieceLength_;
  const Fetch f = FetchPiece();
  if (f == Fetch::kFailed) return false;
  cell_.push_back(lead);
  if (f == Fetch::kMore) {
    cell_.push_back(piece_[0]);
    pos_ = 1;
    left -= 2;
  } else {
    left -= 1;  // the input ends on a lone lead byte
  }
  return true;
}

const char* FixedWidthReader::GetField(int index) const {
  if (index < 0 || index >= fieldCount_) return kEmptyText;
  return values_.GetText(index);
}

std::string_view FixedWidthReader::FieldView(int index) const {
  if (index < 0 || index >= fieldCount_) return {};
  return values_.GetView(index);
}

}  // namespace korvel
