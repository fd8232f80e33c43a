#include "io/DelimitedReader.h"

#include <algorithm>
#include <bit>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <limits>
#include <new>

#include "io/PlainScan.h"
#include "platform/Codepage.h"

namespace korvel {
namespace {

constexpr unsigned char kPlain = kPlainByte;
constexpr unsigned char kLead = kLeadByte;
constexpr std::size_t kCellCapacity = 2048;
// The file is asked for this much at a time: fewer, larger steps for the window, whose
// values are handed out in place.
constexpr std::size_t kWindowInput = 16 * TextFile::kPieceSize;
constexpr std::size_t kNoLineBreak = std::string::npos;
const char kEmptyText[1] = {'\0'};

bool IsLineBreak(unsigned char c) { return c == '\r' || c == '\n'; }

// The length of the part of a value that is kept: all of it up to kKeptCellBytes bytes,
// else up to the end of the character that passes that limit.
std::size_t KeptLength(const char* bytes, std::size_t length) {
  if (length <= DelimitedReader::kKeptCellBytes) return length;
  std::size_t i = 0;
  while (i <= DelimitedReader::kKeptCellBytes) i += IsLeadByte(bytes[i]) ? 2 : 1;
  return std::min(i, length);
}

// What a stop byte of ReadPlainFields does to the field it ends (stopKinds_).
constexpr unsigned char kStopDelimiter = 0;
constexpr unsigned char kStopLineBreak = 1;
constexpr unsigned char kStopQuote = 2;
constexpr unsigned char kStopOther = 3;

}  // namespace

struct DelimitedReader::RecordState {
  int fields = 0;  // j: the index of the field being read
  int error = 0;
  bool fieldStart = true;
  bool quoted = false;
  bool ended = false;
  std::size_t lineBreak = kNoLineBreak;  // TAB rules: position of the cell's first line break
  bool control = false;                  // the cell may hold a byte below 0x20 other than TAB
  // CSV rules: the line the cell's first quote opened on (0: none yet), whether the cell has had a
  // line break and whether anything but line breaks followed it. Flags, since a long cell is not
  // kept.
  long long quoteLine = 0;
  bool brokeLine = false;
  bool textAfterBreak = false;
  // CSV rules: the quoted stretch open now began after the cell's first byte and has not yet
  // been seen to cross a line break; the line it opened on.
  bool strayQuote = false;
  long long strayLine = 0;
  // TAB rules, a quoted cell that spans lines: where its first line break lies in the
  // converted input (the reader's cellBreaks_ keeps the others).
  std::size_t lineBreakAt = 0;
};

DelimitedReader::DelimitedReader() { BuildClasses(); }

DelimitedReader::~DelimitedReader() { Close(); }

void DelimitedReader::SetDelimiter(char delimiter) {
  delimiter_ = delimiter;
  BuildClasses();
}

void DelimitedReader::BuildClasses() {
  BuildByteClasses(delimiter_, unquotedClass_, quotedClass_);
  unquotedScan_.Reset(unquotedClass_);
  quotedScan_.Reset(quotedClass_);
  // ReadPlainFields runs only for a delimiter that is no line break, quote or lead byte.
  std::fill(std::begin(stopKinds_), std::end(stopKinds_), kStopOther);
  stopKinds_[static_cast<unsigned char>('\r')] = kStopLineBreak;
  stopKinds_[static_cast<unsigned char>('\n')] = kStopLineBreak;
  stopKinds_[static_cast<unsigned char>('"')] = kStopQuote;
  if (!IsLineBreak(delimiter_) && delimiter_ != '"') {
    stopKinds_[static_cast<unsigned char>(delimiter_)] = kStopDelimiter;
  }
}

void DelimitedReader::Close() {
  std::string().swap(cell_);
  std::string().swap(window_);
  pos_ = 0;
  pendingStart_ = kNoPending;
  losses_.Clear();
  windowBase_ = 0;
  ++windowGeneration_;
  file_.Close();
  open_ = false;
  fieldCount_ = 0;
}

int DelimitedReader::Open(const std::string& path, int nameMode, int encoding, int adoptMark) {
  Close();
  status_ = Status();
  nameMode_ = 0;
  inputEnded_ = false;
  dataEnded_ = false;
  readFailed_ = false;
  linesEnded_ = 0;
  lfContinuesCr_ = false;
  strayQuotes_ = 0;
  firstStrayLine_ = 0;
  cutLines_ = 0;
  std::string message;
  if (OpenInputFile(file_, path, encoding, adoptMark == 1, &encoding_, &message) != 0) {
    return Fail(kOpenFailed, message);
  }
  try {
    cell_.reserve(kCellCapacity);
    window_.reserve(kWindowInput + 2 * TextFile::kPieceSize);
    fields_.reserve(64);
  } catch (const std::bad_alloc&) {
    status_ = Status(kOpenNoMemory, MessageKind::kAlert, Sjis("メモリが足りません。(-070407)"));
    return kOpenNoMemory;
  }
  open_ = true;
  names_.Clear();
  if (nameMode == 1) {
    int n = ReadRecord();
    if (n == kReadUnclosedQuote) {
      Close();
      status_ = Status::Warning(kOpenUnclosedQuote, GetError());
      return kOpenUnclosedQuote;
    }
    if (n <= 0) {
      Close();
      // The names line's own failure is told as a missing names line; only the messages of
      // a memory failure come first.
      Status memory = noMemory_ ? std::move(status_) : Status();
      status_ = std::move(memory).Then(
          Status::Warning(kOpenNoFields, Sjis("フィールドが存在しません。")));
      return kOpenNoFields;
    }
    if (n > kMaxFields) {
      Close();
      return Fail(kOpenTooMany, Sjis("フィールド数をオーバーしました。"));
    }
    for (int i = 0; i < n; ++i) {
      const std::string_view name = FieldView(i);
      if (!names_.Set(i, name.data(), static_cast<int>(name.size()))) {
        Close();
        status_ = names_.TakeError().Then(Status(kOpenNoMemory));
        return kOpenNoMemory;
      }
    }
    fieldCount_ = 0;
  }
  nameMode_ = nameMode;
  return kOpenOk;
}

int DelimitedReader::Fail(int code, std::string_view message) {
  status_ = Status::Warning(code, message);
  return code;
}

DelimitedReader::Fetch DelimitedReader::FetchPiece() {
  FlushPending();
  if (inputEnded_) return Fetch::kEnded;
  KeepValuesOutOfWindow();
  ++windowGeneration_;
  // The marks of lost characters are counted in the window's text, which is about to go.
  if (losses_.HasPending()) PlaceLosses(windowBase_ + pos_);
  if (file_.GetEncoding() != kEncodingSjis && cellStart_ < windowBase_ + pos_) {
    const std::size_t from = cellStart_ > windowBase_ ? cellStart_ - windowBase_ : 0;
    cellMarks_ += static_cast<std::size_t>(
        std::count(window_.begin() + static_cast<std::ptrdiff_t>(from),
                   window_.begin() + static_cast<std::ptrdiff_t>(pos_), '?'));
  }
  // Drop what has been read; keep the unread rest in front of the new pieces.
  windowBase_ += pos_;
  window_.erase(0, pos_);
  pos_ = 0;
  const std::size_t before = window_.size();
  pieceLosses_.clear();
  bool ended = false;
  // Under the TAB rules a broken multi-line cell puts its rest back into the window, and
  // where the lost characters of the text after it are placed depends on whether that text
  // had already been fetched; a file that can lose characters is then taken one piece at a
  // time, as it always was, so that every lost character keeps its field.
  // Reading byte by byte (SetBlockReading(false)) takes single pieces too.
  const std::size_t input =
      !blockReading_ || (TabRules() && file_.GetEncoding() != kEncodingSjis) ? 1 : kWindowInput;
  const long appended = file_.AppendPieces(window_, input, &pieceLosses_, &ended);
  if (appended < 0) {
    readFailed_ = true;
    return Fetch::kFailed;
  }
  for (const LostCharacter& lost : pieceLosses_) losses_.Add(windowBase_ + lost.Offset, lost.Code);
  if (ended) inputEnded_ = true;
  return window_.size() > before ? Fetch::kMore : Fetch::kEnded;
}

DelimitedReader::Fetch DelimitedReader::Ensure(std::size_t count) {
  while (window_.size() - pos_ < count) {
    Fetch f = FetchPiece();
    if (f != Fetch::kMore) return f;
  }
  return Fetch::kMore;
}

bool DelimitedReader::InWindow(std::string_view value) const {
  const auto at = reinterpret_cast<std::uintptr_t>(value.data());
  const auto first = reinterpret_cast<std::uintptr_t>(window_.data());
  return at >= first && at < first + window_.size();
}

const char* DelimitedReader::GetField(int index) const {
  if (index < 0 || index >= fieldCount_) return kEmptyText;
  const std::string_view value = fields_[static_cast<std::size_t>(index)];
  if (value.empty()) return kEmptyText;
  if (InWindow(value)) {
    if (!values_.Set(index, value.data(), static_cast<int>(value.size()))) {
      (void)values_.TakeError();
      return kEmptyText;
    }
    fields_[static_cast<std::size_t>(index)] = values_.GetView(index);
  }
  return values_.GetText(index);
}

void DelimitedReader::KeepValuesOutOfWindow() {
  for (int i = 0; i < storedFields_; ++i) {
    const std::string_view value = fields_[static_cast<std::size_t>(i)];
    if (!InWindow(value)) continue;
    if (!values_.Set(i, value.data(), static_cast<int>(value.size()))) throw std::bad_alloc();
    fields_[static_cast<std::size_t>(i)] = values_.GetView(i);
  }
}

std::string_view DelimitedReader::NewlineReplacement() const {
  switch (newlineMode_) {
    case 1:
      return "\x81\x40";  // full-width space
    case 2:
      return "\x81\xF7";  // pilcrow
    default:
      return "\r\n";
  }
}

int DelimitedReader::ReadRecord() {
  if (!status_.IsOk() || status_.HasMessages()) status_ = Status();
  noMemory_ = false;
  fieldCount_ = 0;
  if (!open_ || dataEnded_) return 0;
  if (readFailed_) return Fail(kReadFailed, Sjis("ファイルの読込に失敗しました。"));
  try {
    return ReadRecordBody();
  } catch (const std::bad_alloc&) {
    // A value list that could not grow has its own message, which comes first.
    noMemory_ = true;
    status_ = values_.TakeError().Then(
        Status(kReadCellTooLarge, MessageKind::kAlert, Sjis("メモリが足りません。(-070407)")));
    fieldCount_ = 0;
    return kReadCellTooLarge;
  }
}

std::uint64_t DelimitedReader::FieldLoss(int index) const { return losses_.FieldLoss(index); }

std::size_t DelimitedReader::MarksBefore(std::size_t offset) const {
  const std::size_t from = cellStart_ > windowBase_ ? cellStart_ - windowBase_ : 0;
  const std::size_t at = offset > windowBase_ ? offset - windowBase_ : 0;
  const std::size_t to = std::max(from, std::min(at, window_.size()));
  return cellMarks_ + static_cast<std::size_t>(
                          std::count(window_.begin() + static_cast<std::ptrdiff_t>(from),
                                     window_.begin() + static_cast<std::ptrdiff_t>(to), '?'));
}

bool DelimitedReader::Store(RecordState& st, const char* bytes, std::size_t length, bool inWindow) {
  if (st.error != 0) return true;
  if (nameMode_ != 0 && st.fields >= kMaxFields) {
    st.error = Fail(kReadTooMany, Sjis("フィールド数をオーバーしました。"));
    return true;
  }
  // The store rule: a value ends before its first byte below 0x20 other than TAB; and of a
  // value too long to be stored only the start is kept.
  length = KeptLength(bytes, length);
  std::size_t n = st.control ? 0 : length;
  while (n < length) {
    auto c = static_cast<unsigned char>(bytes[n]);
    if (c < 0x20 && c != '\t') break;
    ++n;
  }
  if (n < length) {
    losses_.KeepFor(st.fields, std::string_view(bytes, n));
    // Newline mode 0 keeps a quoted cell's line breaks, and the cut drops every line after
    // its first: a difference there would not be seen. Line breaks alone lose nothing.
    if (IsLineBreak(static_cast<unsigned char>(bytes[n])) &&
        std::any_of(bytes + n, bytes + length,
                    [](char c) { return !IsLineBreak(static_cast<unsigned char>(c)); })) {
      ++cutLines_;
    }
  }
  const auto j = static_cast<std::size_t>(st.fields);
  if (j >= fields_.size()) fields_.resize(std::max<std::size_t>(2 * j, 64));
  if (inWindow) {
    fields_[j] = std::string_view(bytes, n);
  } else {
    if (!values_.Set(st.fields, bytes, static_cast<int>(n))) throw std::bad_alloc();
    fields_[j] = values_.GetView(st.fields);
  }
  storedFields_ = st.fields + 1;
  return true;
}

void DelimitedReader::ReadPlainFields(RecordState& st) {
#if defined(__SSE2__)
  if (st.quoted || pendingStart_ != kNoPending || !cell_.empty() || st.control || st.brokeLine ||
      st.error != 0 || losses_.HasPending()) {
    return;
  }
  const bool tabRules = TabRules();
  const char* const text = window_.data();
  const auto* b = reinterpret_cast<const unsigned char*>(text);
  const std::size_t size = window_.size();
  // The stops of sixty-four bytes from plainBlock_ on, found once for all the fields in them
  // and kept from one record to the next while the window stays as it is. Any character
  // boundary in the block sees the same stops after it.
  if (plainGeneration_ != windowGeneration_ || pos_ < plainBlock_ || pos_ - plainBlock_ >= 64) {
    if (size - pos_ < 64) return;
    bool leadBefore = false;
    plainBlock_ = pos_;
    plainStops_ = unquotedScan_.BlockStops64(b + pos_, 0, &plainTrail_, &leadBefore);
    plainGeneration_ = windowGeneration_;
  }
  std::size_t block = plainBlock_;
  std::uint64_t stops = plainStops_ & (~std::uint64_t{0} << (pos_ - block));
  // The loop keeps the record's state in locals, written back whenever it stops.
  std::size_t pos = pos_;
  int fields = st.fields;
  bool fieldStart = st.fieldStart;
  std::string_view* values = fields_.data();
  std::size_t room = fields_.size();
  // Past this many fields a record is the general way's to refuse.
  const int fieldLimit = nameMode_ != 0 ? kMaxFields : std::numeric_limits<int>::max();
  // Below this many the next field has a place and is not refused.
  auto commonLimit = [&] {
    return static_cast<int>(std::min<std::size_t>(static_cast<std::size_t>(fieldLimit), room));
  };
  int common = commonLimit();
  auto writeBack = [&] {
    if (fields != st.fields) {
      st.fields = fields;
      storedFields_ = fields;
      st.quoteLine = 0;
    }
    st.fieldStart = fieldStart;
    pos_ = pos;
  };
  for (;;) {
    while (stops == 0) {
      if (size - block < 128) {  // the general way takes the rest of the window
        writeBack();
        return;
      }
      block += 64;
      bool leadBefore = false;
      stops = unquotedScan_.BlockStops64(b + block, plainTrail_, &plainTrail_, &leadBefore);
      plainBlock_ = block;
      plainStops_ = stops;
      // The run ends at the lead byte before the block: the general way reads it.
      if (leadBefore) {
        writeBack();
        return;
      }
    }
    std::size_t e = block + static_cast<std::size_t>(std::countr_zero(stops));
    stops &= stops - 1;
    // Most fields are plain, short and ended by the delimiter: they take this step alone,
    // the same as the full one below does for them in fewer instructions.
    if (stopKinds_[b[e]] == kStopDelimiter && e - pos <= kKeptCellBytes && fields < common) {
      values[static_cast<std::size_t>(fields)] =
          e == pos ? std::string_view(kEmptyText, 0) : std::string_view(text + pos, e - pos);
      fields += 1;
      fieldStart = tabRules || (fieldStart && e == pos);
      pos = e + 1;
      continue;
    }
    // The value is text[start, valueEnd); the field ends at e.
    std::size_t start = pos;
    std::size_t valueEnd = e;
    unsigned char end = stopKinds_[b[e]];
    const bool quoted = end == kStopQuote;
    if (quoted) {
      // A quoted cell with no doubled quote, control byte or line break in it, closed right
      // before a delimiter or a line break, is its own inside.
      if (e != pos || tabRules) {
        writeBack();
        return;
      }
      const std::size_t close = quotedScan_.RunEnd(b, e + 1, size);
      if (size - close < 2 || b[close] != '"') {
        writeBack();
        return;
      }
      start = e + 1;
      valueEnd = close;
      e = close + 1;
      end = stopKinds_[b[e]];
    }
    if (end > kStopLineBreak || fields >= fieldLimit) {
      writeBack();
      return;
    }
    const bool lineBreak = end == kStopLineBreak;
    std::size_t length = valueEnd - start;
    if (length > kKeptCellBytes) length = KeptLength(text + start, length);
    const auto j = static_cast<std::size_t>(fields);
    if (j >= room) {
      fields_.resize(std::max<std::size_t>(2 * j, 64));
      values = fields_.data();
      room = fields_.size();
      common = commonLimit();
    }
    values[j] =
        length == 0 ? std::string_view(kEmptyText, 0) : std::string_view(text + start, length);
    fields += 1;
    if (e > pos) fieldStart = false;
    pos = e;
    if (lineBreak) {
      if (e + 1 < size) {
        // ConsumeLineBreak's step, with the byte after the line break at hand.
        if (b[e] == '\r' || !lfContinuesCr_) ++linesEnded_;
        lfContinuesCr_ = false;
        pos += b[e] == '\r' && b[e + 1] == '\n' ? 2 : 1;
        writeBack();
        st.ended = true;
        return;
      }
      writeBack();
      if (ConsumeLineBreak()) st.ended = true;
      return;
    }
    ++pos;
    if (tabRules) fieldStart = true;
    if (quoted) {
      // The stops inside the quotes are no stops; past this block the stops start afresh.
      if (pos - block < 64) {
        stops &= ~std::uint64_t{0} << (pos - block);
      } else {
        if (size - pos < 64) {
          writeBack();
          return;
        }
        bool leadBefore = false;
        block = plainBlock_ = pos;
        stops = plainStops_ = unquotedScan_.BlockStops64(b + pos, 0, &plainTrail_, &leadBefore);
      }
    }
  }
#else
  (void)st;
#endif
}

// Copies a run of bytes that no rule looks at into the cell in one step.
void DelimitedReader::ScanPlain(RecordState& st) {
  const auto* b = reinterpret_cast<const unsigned char*>(window_.data());
  const std::size_t end = window_.size();
  std::size_t p = pos_;
  if (st.quoted && TabRules()) {
    // A cell whose size is checked byte by byte.
    const unsigned char* cls = quotedClass_;
    while (p < end) {
      unsigned char k = cls[b[p]];
      if (k == kPlain) {
        if (CellSize() + (p - pos_) > kMaxQuotedCell) break;
        ++p;
      } else if (k == kLead && p + 1 < end && b[p + 1] >= 0x20) {
        // A control byte after a lead byte is still a control byte to the store rule; such
        // a pair takes the slow way, which notes it.
        p += 2;
      } else {
        break;
      }
    }
  } else {
    p = (st.quoted ? quotedScan_ : unquotedScan_).RunEnd(b, p, end);
  }
  if (p > pos_) {
    if (st.brokeLine) st.textAfterBreak = true;
    // The run stays in the window until the cell is stored or changed otherwise.
    if (pendingStart_ == kNoPending) pendingStart_ = pos_;
    pos_ = p;
    st.fieldStart = false;
  }
}

bool DelimitedReader::ConsumeLineBreak() {
  // An LF whose CR was taken as a trail byte was counted with it.
  if (!(lfContinuesCr_ && window_[pos_] == '\n')) ++linesEnded_;
  lfContinuesCr_ = false;
  if (window_[pos_] == '\r') {
    if (Ensure(2) == Fetch::kFailed) return false;
    pos_ += (pos_ + 1 < window_.size() && window_[pos_ + 1] == '\n') ? 2 : 1;
  } else {
    pos_ += 1;
  }
  return true;
}

void DelimitedReader::FlushPending() {
  if (pendingStart_ == kNoPending) return;
  AddToCell(std::string_view(window_).substr(pendingStart_, pos_ - pendingStart_));
  pendingStart_ = kNoPending;
}

void DelimitedReader::AddToCell(std::string_view bytes) {
  if (cellFull_) return;
  cell_.append(bytes);
  if (keepWholeCell_ || cell_.size() <= kKeptCellBytes) return;
  // Nothing after this can change what is stored (Store keeps no more than this either),
  // so an endless cell stops costing memory here.
  cell_.resize(KeptLength(cell_.data(), cell_.size()));
  cellFull_ = true;
}

void DelimitedReader::ClearCell() {
  cell_.clear();
  cellFull_ = false;
  keepWholeCell_ = false;
}

std::size_t DelimitedReader::CellSize() const {
  return cell_.size() + (pendingStart_ == kNoPending ? 0 : pos_ - pendingStart_);
}

void DelimitedReader::FinishMultiLineCell(std::string& text) const {
  std::string out;
  out.reserve(text.size());
  const std::string_view replacement = NewlineReplacement();
  // Step 2 drops the opening quote; steps 1 and 3 run in one pass over the rest.
  for (std::size_t i = 1; i < text.size(); ++i) {
    auto c = static_cast<unsigned char>(text[i]);
    if (IsLeadByte(c) && i + 1 < text.size()) {
      out.push_back(text[i]);
      out.push_back(text[++i]);
    } else if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n' && newlineMode_ != 0) {
      out.append(replacement);
      ++i;
    } else if (c == '"') {
      if (i + 1 < text.size() && text[i + 1] == '"') {
        out.push_back('"');
        ++i;
      } else {
        break;  // a lone quote ends the text
      }
    } else {
      out.push_back(text[i]);
    }
  }
  text.swap(out);
}

// A quoted cell that spans lines but does not end properly: the record ends at the cell's
// first line break, and the rest of the cell is read again as the start of the next record,
// followed by the byte at which the fallback happened (not consumed).
void DelimitedReader::FallBack(RecordState& st) {
  std::string rest = cell_.substr(st.lineBreak + 2);
  const std::size_t fellAt = windowBase_ + pos_;
  // The rest goes back in front of the unread input, ending where the fallback happened;
  // where the rest is longer than all the input before it (its line breaks became CR LF),
  // the unread input's offsets move up to make room.
  const std::size_t base = fellAt - std::min(fellAt, rest.size());
  const std::size_t shift = rest.size() - (fellAt - base);
  if (losses_.HasPending()) {
    // The first line is the cell stored here; what the rest lost belongs to the records it
    // is read as.
    PlaceLosses(st.lineBreakAt);
    losses_.Take(st.fields, st.lineBreakAt);
    const std::size_t restStart = st.lineBreak + 2;
    losses_.Move(st.lineBreakAt, [&](std::size_t offset) {
      if (offset >= fellAt) return offset + shift;
      std::pair<std::size_t, std::size_t> anchor = cellBreaks_.front();
      for (const auto& b : cellBreaks_) {
        if (b.first > offset) break;
        anchor = b;
      }
      return base + anchor.second + (offset - anchor.first) - restStart;
    });
  }
  Store(st, cell_.data(), st.lineBreak);
  st.fields += 1;
  KeepValuesOutOfWindow();
  ++windowGeneration_;
  windowBase_ = base;
  window_.replace(0, pos_, rest);
  pos_ = 0;
  StartCell(windowBase_);
  st.ended = true;
}

int DelimitedReader::FailUnclosedQuote(long long line) {
  char number[24];
  std::snprintf(number, sizeof number, "%lld", line);
  return Fail(kReadUnclosedQuote, Sjis("引用符が閉じられていません。(") + number + Sjis("行目)"));
}

void DelimitedReader::SetCellTooLargeMessage() {
  std::string head;
  for (std::size_t i = 0; i < cell_.size();) {
    std::size_t w = IsLeadByte(cell_[i]) ? 2 : 1;
    if (head.size() + w > 20 || i + w > cell_.size()) break;
    head.append(cell_, i, w);
    i += w;
  }
  (void)Fail(kReadCellTooLarge, Sjis("セル内のデータが大きすぎます。(") + head + Sjis("・・・)"));
}

// ---- The general way, a byte (or a character) at a time -----------------------------------
//
// One step reads the next byte under the rule set's state; ReadRecordBody repeats steps
// until the record has ended or a step stops it (a failed read, or st.error).

int DelimitedReader::ReadRecordBody() {
  losses_.StartRecord();
  storedFields_ = 0;
  RecordState st;
  ClearCell();
  pendingStart_ = kNoPending;
  StartCell(windowBase_ + pos_);
  const auto delimiter = static_cast<unsigned char>(delimiter_);
  const bool shortWay = blockReading_ && !IsLineBreak(delimiter) && delimiter != '"' &&
                        !IsLeadByte(delimiter) && unquotedScan_.HasBlockScan();
  while (!st.ended && ReadStep(st, shortWay) == Step::kGoOn) {
  }
  return FinishRecord(st);
}

DelimitedReader::Step DelimitedReader::ReadStep(RecordState& st, bool shortWay) {
  if (shortWay) {
    const int before = st.fields;
    ReadPlainFields(st);
    if (st.fields != before) StartCell(windowBase_ + pos_);
  }
  if (st.ended || readFailed_) return Step::kStop;
  ScanPlain(st);
  if (pos_ >= window_.size()) return AtWindowEnd(st);
  const auto c = static_cast<unsigned char>(window_[pos_]);
  const bool tabRules = TabRules();
  const auto delimiter = static_cast<unsigned char>(delimiter_);
  // Only a field's end may use the pending run in place; every other step changes the
  // cell or skips a byte, so the run joins the cell first. A delimiter that is a quote or
  // a lead byte never gets to end a field: the steps below take it as a quote or as the
  // first byte of a character, and a run left pending would take in the skipped quote, or
  // follow the character it came before.
  const bool fieldEnd =
      IsLineBreak(c) || (tabRules ? c == '\t' : c == delimiter && c != '"' && !IsLeadByte(c));
  if (st.quoted || !fieldEnd) FlushPending();
  if (st.brokeLine && !IsLineBreak(c)) st.textAfterBreak = true;
  if (IsLeadByte(c)) return TakeDoubleByte(st);
  if (!tabRules) return st.quoted ? CsvQuotedByte(st, c) : CsvUnquotedByte(st, c);
  return st.quoted ? TabQuotedByte(st, c) : TabUnquotedByte(st, c);
}

DelimitedReader::Step DelimitedReader::AtWindowEnd(RecordState& st) {
  const Fetch f = FetchPiece();
  if (f == Fetch::kFailed) return Step::kStop;
  if (f == Fetch::kMore) return Step::kGoOn;
  // The end of the input.
  if (TabRules() && st.quoted && st.lineBreak != kNoLineBreak) {
    // An unclosed quoted cell that spans lines would lose every line after its first; it
    // falls back like any other broken multi-line cell.
    FallBack(st);
  } else if (!TabRules() && st.quoted && st.textAfterBreak) {
    // The store rule would keep the cell up to its first line break and drop the rest of
    // the file with no word: on a stray quote that is every record after it.
    st.error = FailUnclosedQuote(st.quoteLine);
  } else if (!cell_.empty()) {
    EndField(st);
  }
  return Step::kStop;
}

int DelimitedReader::FinishRecord(RecordState& st) {
  if (readFailed_) return Fail(kReadFailed, Sjis("ファイルの読込に失敗しました。"));
  if (st.error != 0) {
    fieldCount_ = 0;
    return st.error;
  }
  if (st.fields == 0) dataEnded_ = true;
  fieldCount_ = st.fields;
  return st.fields;
}

void DelimitedReader::EndField(RecordState& st) {
  // Kept out of Store, which the byte loop wants small.
  if (losses_.HasPending()) {
    PlaceLosses(windowBase_ + pos_);
    losses_.Take(st.fields, windowBase_ + pos_);
  }
  if (pendingStart_ != kNoPending && cell_.empty()) {
    // The common case: the whole cell is one run of the window, stored without a copy.
    Store(st, window_.data() + pendingStart_, pos_ - pendingStart_, true);
    pendingStart_ = kNoPending;
  } else {
    FlushPending();
    Store(st, cell_.data(), cell_.size());
  }
  st.fields += 1;
  ClearCell();
  st.control = false;
  st.brokeLine = false;
  st.textAfterBreak = false;
  st.quoteLine = 0;
  st.strayQuote = false;
  // The byte at pos_ ends the field; the next cell begins after it.
  StartCell(windowBase_ + pos_ + 1);
}

void DelimitedReader::CopyByte(RecordState& st, unsigned char c) {
  const char byte = static_cast<char>(c);
  AddToCell(std::string_view(&byte, 1));
  if (c < 0x20 && c != '\t') st.control = true;
  ++pos_;
}

DelimitedReader::Step DelimitedReader::EndLine(RecordState& st) {
  EndField(st);
  // The record ends with its line; a failed look-ahead stops it all the same.
  if (ConsumeLineBreak()) st.ended = true;
  return Step::kStop;
}

// A lead byte takes its trail byte with it, whatever that is.
DelimitedReader::Step DelimitedReader::TakeDoubleByte(RecordState& st) {
  if (Ensure(3) == Fetch::kFailed) return Step::kStop;
  const std::size_t w = pos_ + 1 < window_.size() ? 2 : 1;
  if (w == 2) {
    const auto trail = static_cast<unsigned char>(window_[pos_ + 1]);
    if (trail < 0x20 && trail != '\t') st.control = true;
    // A line break taken as a trail byte still ends a line of the file.
    if (IsLineBreak(trail)) {
      ++linesEnded_;
      // Its LF, the next byte, is then the rest of the same line break.
      lfContinuesCr_ = trail == '\r' && pos_ + 2 < window_.size() && window_[pos_ + 2] == '\n';
    }
  }
  AddToCell(std::string_view(window_).substr(pos_, w));
  pos_ += w;
  st.fieldStart = false;
  return Step::kGoOn;
}

// CSV rules, outside quotes: a quote anywhere in the cell starts quoting.
DelimitedReader::Step DelimitedReader::CsvUnquotedByte(RecordState& st, unsigned char c) {
  if (c == '"') {
    st.quoted = true;
    // A quote after the cell's first byte (the pending run is already in the cell) quotes
    // all the same; should that stretch run across a line break, it is told.
    st.strayQuote = st.quoteLine != 0 || !cell_.empty();
    st.strayLine = linesEnded_ + 1;
    // A cell quoted, closed and quoted again is named by its first quote: that is where the
    // cell that swallows the rest began.
    if (st.quoteLine == 0) st.quoteLine = linesEnded_ + 1;
    ++pos_;
  } else if (c == static_cast<unsigned char>(delimiter_)) {
    EndField(st);
    ++pos_;
  } else if (IsLineBreak(c)) {
    return EndLine(st);
  } else {
    CopyByte(st, c);
  }
  return Step::kGoOn;
}

// CSV rules, inside quotes: a doubled quote is one quote, a line break is replaced.
DelimitedReader::Step DelimitedReader::CsvQuotedByte(RecordState& st, unsigned char c) {
  if (c == '"') {
    if (Ensure(2) == Fetch::kFailed) return Step::kStop;
    if (pos_ + 1 < window_.size() && window_[pos_ + 1] == '"') {
      AddToCell("\"");
      pos_ += 2;
    } else {
      st.quoted = false;
      st.strayQuote = false;
      ++pos_;
    }
  } else if (IsLineBreak(c)) {
    if (st.strayQuote) {
      if (strayQuotes_++ == 0) firstStrayLine_ = st.strayLine;
      st.strayQuote = false;
    }
    AddToCell(NewlineReplacement());
    st.control = true;
    st.brokeLine = true;
    if (!ConsumeLineBreak()) return Step::kStop;
  } else {
    CopyByte(st, c);
  }
  return Step::kGoOn;
}

// TAB rules, outside quotes: only a quote at a cell's start opens a quoted cell.
DelimitedReader::Step DelimitedReader::TabUnquotedByte(RecordState& st, unsigned char c) {
  if (c == '\t') {
    EndField(st);
    st.fieldStart = true;
    ++pos_;
  } else if (IsLineBreak(c)) {
    return EndLine(st);
  } else if (c == '"' && st.fieldStart) {
    st.quoted = true;
    st.lineBreak = kNoLineBreak;
    keepWholeCell_ = true;
    cell_.push_back('"');
    ++pos_;
  } else {
    CopyByte(st, c);
    st.fieldStart = false;
  }
  return Step::kGoOn;
}

// TAB rules, inside a quoted cell: it is gathered whole, and one that spans lines but does
// not end properly falls back.
DelimitedReader::Step DelimitedReader::TabQuotedByte(RecordState& st, unsigned char c) {
  if (CellSize() > kMaxQuotedCell) {
    if (st.lineBreak != kNoLineBreak) return FallBackStep(st);
    SetCellTooLargeMessage();
    st.error = kReadCellTooLarge;
    return Step::kStop;
  }
  if (c == '\t') {
    if (st.lineBreak != kNoLineBreak) return FallBackStep(st);
    EndField(st);
    st.quoted = false;
    st.fieldStart = true;
    ++pos_;
  } else if (c == '"') {
    return TabQuote(st);
  } else if (IsLineBreak(c)) {
    if (st.lineBreak == kNoLineBreak) {
      st.lineBreak = cell_.size();
      st.lineBreakAt = windowBase_ + pos_;
      cellBreaks_.clear();
    }
    cell_.append("\r\n");
    st.control = true;
    if (!ConsumeLineBreak()) return Step::kStop;
    cellBreaks_.emplace_back(windowBase_ + pos_, cell_.size());
  } else {
    CopyByte(st, c);
  }
  return Step::kGoOn;
}

// TAB rules, a quote inside a quoted cell: doubled, closing, or the cell goes on unquoted.
DelimitedReader::Step DelimitedReader::TabQuote(RecordState& st) {
  if (Ensure(2) == Fetch::kFailed) return Step::kStop;
  const bool atEnd = pos_ + 1 >= window_.size();
  const auto next = atEnd ? 0 : static_cast<unsigned char>(window_[pos_ + 1]);
  if (!atEnd && next == '"') {
    cell_.append("\"\"");
    pos_ += 2;
    return Step::kGoOn;
  }
  if (atEnd || next == '\t' || IsLineBreak(next)) {
    // A closing quote; at the very end of the input it closes as if a line break followed.
    if (st.lineBreak == kNoLineBreak) {
      cell_.push_back('"');
    } else {
      FinishMultiLineCell(cell_);
    }
    EndField(st);
    ++pos_;
    if (next == '\t') {
      ++pos_;
      st.quoted = false;
      st.fieldStart = true;
      return Step::kGoOn;
    }
    if (atEnd || ConsumeLineBreak()) st.ended = true;
    return Step::kStop;
  }
  if (st.lineBreak != kNoLineBreak) return FallBackStep(st);
  // The cell goes on unquoted, and from here is kept like any other.
  keepWholeCell_ = false;
  AddToCell("\"");
  ++pos_;
  st.quoted = false;
  st.fieldStart = false;
  return Step::kGoOn;
}

DelimitedReader::Step DelimitedReader::FallBackStep(RecordState& st) {
  FallBack(st);
  return Step::kStop;
}

}  // namespace korvel
