#pragma once
// FixedWidthReader: reads a fixed-length text file record by record, cutting each line into fields
// by a list of field definitions (a name and a length in bytes each).
//
// A line is one record; only CR ends it (an LF right after the CR is consumed with it; a
// lone LF is an ordinary data byte). Fields are cut by byte counts of the Shift-JIS text,
// after conversion from UTF-16 or UTF-8: a double-byte character counts 2 and is never split,
// so a definition boundary that falls inside one is an error (kReadStraddle). An EUC-JP file
// is cut by its own bytes, as such files are laid out: a half-width katakana counts 2 and a
// JIS X 0212 kanji 3 (TextFile::PieceWidths). The bytes of a
// line beyond the last definition are read and ignored. Input arrives through a TextFile as
// Shift-JIS pieces; the reader treats them as one continuous text and keeps no more of a
// line than the field being cut, so a line of any length passes through bounded memory.
//
// Calling order: ClearDefinitions / AddDefinition; Open; on 0, ReadRecord until it returns
// 0 or less, reading GetField(0 .. DefinitionCount()-1) after each positive result; Close.
// The reader shows nothing. On a nonzero Open or a negative ReadRecord, GetStatus() holds
// the failure for the caller to show: its code the call's result and its messages in
// order — a warning with the reason (caption "注意"), or for a memory failure the alert
// "メモリが足りません。(-070407)" (after the value list's own memory warning, when it had
// one). GetError() is the text of its last message.
//
// The definitions survive Open and Close: one object serves every comparison until they are
// replaced. Returned texts are NUL-terminated Shift-JIS and stay valid until the next call on
// the reader (definition names: until the definitions change).

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "io/LossLedger.h"
#include "io/StringList.h"
#include "io/TextFile.h"
#include "platform/Status.h"

namespace korvel {

// One field definition as a record of the definition list: the name in a 32-byte field
// (at most 30 bytes, NUL-terminated, zero-filled), then the length as a 32-bit integer.
struct FixDefinition {
  char name[32];
  std::int32_t length;
};
static_assert(sizeof(FixDefinition) == 36, "a definition record is 36 bytes");

class FixedWidthReader {
 public:
  // AddDefinition results.
  static constexpr int kAddOk = 0;
  static constexpr int kAddNameTooLong = -1;  // error "P:フィールド名のサイズが大きい"
  static constexpr int kAddBadLength = -2;    // a length below 1 (nothing could be cut), silent
  static constexpr int kAddNoMemory = -3;     // warning "メモリが足りません。"
  // Open results.
  static constexpr int kOpenOk = 0;
  static constexpr int kOpenFailed = 1;    // missing, empty, foreign mark, unreadable
  static constexpr int kOpenNoHeader = 2;  // a line to be skipped is missing
  static constexpr int kOpenNoMemory = 5;
  // ReadRecord failures.
  static constexpr int kReadStraddle = -5;  // a field boundary inside a double-byte character
  static constexpr int kReadNoMemory = -90;
  static constexpr int kReadFailed = -99;  // no definitions, or the file cannot be read

  static constexpr int kMaxNameBytes = 30;

  FixedWidthReader();
  ~FixedWidthReader();
  FixedWidthReader(const FixedWidthReader&) = delete;
  FixedWidthReader& operator=(const FixedWidthReader&) = delete;

  void ClearDefinitions();
  // Appends a definition. `name` is Shift-JIS, at most kMaxNameBytes bytes; `length` at
  // least 1. Code kAddOk, or one of the kAdd failures with its message (the definitions
  // are then unchanged).
  [[nodiscard]] Status AddDefinition(std::string_view name, int length);
  int DefinitionCount() const { return definitions_.Count(); }
  // The definition records in field order (FixDefinition layout, possibly unaligned: read
  // them through GetDefinition or memcpy).
  const StringList& Definitions() const { return definitions_; }
  // Copies definition `index` into `out`; false when there is no such definition.
  bool GetDefinition(int index, FixDefinition& out) const;
  // The name of definition `index` ("" when there is none) and its length (0 when none).
  const char* DefinitionName(int index) const;
  int DefinitionLength(int index) const;

  // `skipLines`: the number of leading lines passed over (1 when the first line holds
  // field names; skipping needs no definitions, and a last line without CR counts as a
  // line). `adoptMark` 1: a byte-order mark of another encoding is adopted.
  // kOpenOk, kOpenFailed (also when a read fails while skipping), kOpenNoHeader or
  // kOpenNoMemory.
  [[nodiscard]] int Open(const std::string& path, int skipLines, int encoding, int adoptMark);
  // Reports the reading to `progress` as `input` (TextFile::SetProgress); a cancelled
  // progress makes ReadRecord fail as on a failed read.
  void SetProgress(Progress* progress, int input) { file_.SetProgress(progress, input); }
  // Number of fields filled (at least 1); 0 at the end of the data or when no file is open;
  // kReadStraddle, kReadNoMemory or kReadFailed.
  [[nodiscard]] int ReadRecord();
  // Releases the cell buffer and closes the file. The definitions stay.
  void Close();

  // The value of field `index` of the current record; "" when the record did not reach it.
  const char* GetField(int index) const;
  std::string_view FieldView(int index) const;
  // Fields filled by the last ReadRecord (0 after a failure that stored none).
  int FieldCount() const { return fieldCount_; }
  const Status& GetStatus() const { return status_; }
  // The last message's text; "" when the last call did not fail.
  const char* GetError() const {
    return status_.HasMessages() ? status_.Messages().back().Text.c_str() : "";
  }
  // The encoding code in force after Open (a byte-order mark may have replaced the
  // requested one).
  int GetEncoding() const { return encoding_; }
  // Whether the file opened began with a byte-order mark.
  bool HasMark() const { return file_.HasMark(); }
  // Characters that became '?' since Open (TextFile::LostCount).
  std::size_t LostCount() const { return file_.LostCount(); }
  // The hash of the characters field `index` of the record read lost; 0 when it lost none
  // (as DelimitedReader::FieldLoss).
  std::uint64_t FieldLoss(int index) const;

 private:
  enum class Fetch { kMore, kEnded, kFailed };

  Fetch FetchPiece();
  int ReadRecordBody();
  int SkipLine();
  bool ScanToLineEnd();
  void TakeLineEnd();
  void StoreCell(int index);
  // ReadRecordBody's steps for a field's bytes in the current piece (see the .cpp).
  std::size_t CutField(long long& left);
  bool JoinSplitCharacter(long long& left);
  // Keeps `message` as the failure `code` (a warning) and returns `code`.
  int Fail(int code, std::string_view message);

  TextFile file_;
  StringList definitions_{2048};
  StringList values_{2048};
  Status status_;
  int encoding_ = 0;
  int fieldCount_ = 0;
  bool open_ = false;
  bool inputEnded_ = false;     // the file has delivered its last piece
  bool readFailed_ = false;     // a piece could not be read
  bool dropLeadingLf_ = false;  // a CR ended the last piece; an LF opening the next is its
                                // second half
  bool skipNextByte_ = false;   // a skipped lead byte ended the last piece
  std::string cell_;
  // The current piece (owned by file_) and the read position in it.
  const char* piece_ = nullptr;
  std::size_t pieceLength_ = 0;
  std::size_t pos_ = 0;
  // Lost characters not yet given to a field, by their offset in the converted input, and
  // that offset of the piece's first byte.
  LossLedger losses_;
  std::size_t pieceBase_ = 0;
  std::size_t wideAt_ = 0;  // the next of the piece's wider EUC-JP characters
};

}  // namespace korvel
