#pragma once
// DelimitedReader: reads a delimited text file record by record into field values.
//
// Two rule sets: the CSV rules (comma files, other delimiters, and TAB files when
// TabOldType is on) and the TAB rules (TAB files otherwise), under which quotes are taken
// apart only for a quoted cell that spans lines and a broken multi-line cell falls back to
// a line-by-line reading without losing or repeating input. Input arrives through a
// TextFile as Shift-JIS pieces; the reader treats them as one continuous text.
//
// Calling order: create; SetTabOldType, SetNewlineMode, SetDelimiter; Open; on 0, ReadRecord
// until it returns 0 or less, reading GetField(0 .. n-1) after each positive result; Close.
// The reader shows nothing. On a nonzero Open or a negative ReadRecord, GetStatus() holds
// the failure for the caller to show: its code the call's result and its messages in
// order — a warning with the reason, or for a memory failure the alert
// "メモリが足りません。(-070407)" (after the value list's own memory warning, when it had
// one). GetError() is the text of its last message.
//
// Returned texts are Shift-JIS and stay valid until the next ReadRecord, Open or Close.
// FieldView hands out a value in place wherever it lies whole in the text read (most do), so
// that a record is not copied on its way to the caller; GetField gives the NUL-terminated
// form, copying the value on first asking.
//
// Characters that became '?' on the way to Shift-JIS (TextFile::LostCount) are told per
// field as well: FieldLoss gives a hash of the characters a field lost, in order, so that
// two fields whose texts agree can still be told apart when they stood for different
// characters. A field owns the lost characters between the end of the field before it and
// its own end (a broken multi-line cell that is read again line by line leaves its lost
// characters with its first field).
//
// What a value holds: the cell up to its first byte below 0x20 other than TAB (the store
// rule), and of a longer one only its start: a value over kKeptCellBytes bytes, which the
// comparison cannot store, is cut after the character that passes that limit (so it is
// 501 or 502 bytes long and still seen to be too long). The reader keeps no more of a cell
// than that, so a line of any length, an endless one included, is read in bounded memory.
// A quoted cell under the TAB rules is gathered whole up to its own limit (kMaxQuotedCell),
// since a broken one is read again line by line.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "io/LossLedger.h"
#include "io/PlainScan.h"
#include "io/StringList.h"
#include "io/TextFile.h"
#include "platform/Status.h"

namespace korvel {

class DelimitedReader {
 public:
  // Open results.
  static constexpr int kOpenOk = 0;
  static constexpr int kOpenFailed = 1;         // missing, empty, foreign mark, unreadable
  static constexpr int kOpenNoFields = 2;       // the field-name record has no fields
  static constexpr int kOpenUnclosedQuote = 3;  // the field-name record: see kReadUnclosedQuote
  static constexpr int kOpenTooMany = 4;        // the field-name record has over 1000 fields
  static constexpr int kOpenNoMemory = 5;
  // ReadRecord failures.
  static constexpr int kReadTooMany = -2;  // name mode: a record with over 1000 fields
  // CSV rules: the input ended inside a quoted cell that holds something other than line
  // breaks after its first line break, which the store rule's cut would drop unseen.
  // The message names the physical line the cell's first quote opened on
  // ("引用符が閉じられていません。(%d行目)"), counted from 1 over the file's own line breaks
  // (LF, CR LF or a lone CR), the field-name line included. A quoted cell that holds
  // nothing but line breaks after its first one loses nothing and is read as before; the
  // TAB rules fall back instead.
  static constexpr int kReadUnclosedQuote = -3;
  static constexpr int kReadCellTooLarge = -9;  // also: no memory
  static constexpr int kReadFailed = -99;

  static constexpr int kMaxFields = 1000;
  static constexpr std::size_t kMaxQuotedCell = 10000;  // TAB rules, one-line quoted cell
  static constexpr std::size_t kKeptCellBytes = 500;    // a longer value is cut (see above)

  DelimitedReader();
  ~DelimitedReader();
  DelimitedReader(const DelimitedReader&) = delete;
  DelimitedReader& operator=(const DelimitedReader&) = delete;

  void SetDelimiter(char delimiter);
  void SetTabOldType(int tabOldType) { tabOldType_ = tabOldType; }
  void SetNewlineMode(int mode) { newlineMode_ = mode; }
  // Whether plain and simply quoted fields are read sixty-four bytes at a time (the default)
  // or all through the general byte-by-byte rules from one piece of the file at a time; both
  // read every file alike, which tests check by reading it both ways.
  void SetBlockReading(bool on) { blockReading_ = on; }
  // Reports the reading to `progress` as `input` (TextFile::SetProgress); a cancelled
  // progress makes ReadRecord fail as on a failed read.
  void SetProgress(Progress* progress, int input) { file_.SetProgress(progress, input); }

  // `nameMode` 1: the first record holds the field names (read here, not delivered).
  // `adoptMark` 1: a byte-order mark of another encoding is adopted.
  [[nodiscard]] int Open(const std::string& path, int nameMode, int encoding, int adoptMark);
  // Number of fields of the record read (at least 1); 0 at the end of the data or when no
  // file is open; kReadTooMany, kReadCellTooLarge or kReadFailed.
  [[nodiscard]] int ReadRecord();
  void Close();

  const char* GetField(int index) const;
  std::string_view FieldView(int index) const {
    return index >= 0 && index < fieldCount_ ? fields_[static_cast<std::size_t>(index)]
                                             : std::string_view();
  }
  int FieldCount() const { return fieldCount_; }
  int FieldNameCount() const { return names_.Count(); }
  const char* GetFieldName(int index) const { return names_.GetText(index); }
  const Status& GetStatus() const { return status_; }
  // True when the last ReadRecord failed for memory: its status holds the alert, which a
  // caller passes on even where it tells the failure in its own words.
  bool FailedForMemory() const { return noMemory_; }
  // The last message's text; "" when the last call did not fail.
  const char* GetError() const {
    return status_.HasMessages() ? status_.Messages().back().Text.c_str() : "";
  }
  int GetEncoding() const { return encoding_; }
  // Whether the file opened began with a byte-order mark.
  bool HasMark() const { return file_.HasMark(); }
  // Characters that became '?' since Open (the name line's included).
  std::size_t LostCount() const { return file_.LostCount(); }
  // The hash of the characters field `index` of the record read lost; 0 when it lost none.
  std::uint64_t FieldLoss(int index) const;

  // What the rules let pass unseen since Open, for the caller to tell (the name line's
  // included). CSV rules: the quoted stretches that opened after a cell's first byte (a
  // stray quote, as in `27" wide`) and ran across a line break, so that what looked like the
  // next records became part of one cell; and the physical line the first of them opened on
  // (0 when none).
  long long StrayQuoteCount() const { return strayQuotes_; }
  long long FirstStrayQuoteLine() const { return firstStrayLine_; }
  // The values the store rule cut at a line break (newline mode 0 keeps a quoted cell's
  // line breaks, and the store rule then keeps only its first line).
  long long CutLineCount() const { return cutLines_; }

 private:
  enum class Fetch { kMore, kEnded, kFailed };
  struct RecordState;

  bool TabRules() const { return delimiter_ == '\t' && tabOldType_ == 0; }
  void BuildClasses();
  Fetch FetchPiece();
  // Makes at least `count` unread bytes available unless the input ends first.
  Fetch Ensure(std::size_t count);
  int ReadRecordBody();
  // What a step of the general way leaves the record to.
  enum class Step { kGoOn, kStop };
  // One step of the general way: the plain fields, then the next byte by the rules.
  Step ReadStep(RecordState& st, bool shortWay);
  // The window is used up: the next pieces, or the rules for the end of the input.
  Step AtWindowEnd(RecordState& st);
  int FinishRecord(RecordState& st);
  void EndField(RecordState& st);
  void CopyByte(RecordState& st, unsigned char c);
  // Ends the field and the record at the line break at the read position.
  Step EndLine(RecordState& st);
  Step TakeDoubleByte(RecordState& st);
  Step CsvUnquotedByte(RecordState& st, unsigned char c);
  Step CsvQuotedByte(RecordState& st, unsigned char c);
  Step TabUnquotedByte(RecordState& st, unsigned char c);
  Step TabQuotedByte(RecordState& st, unsigned char c);
  Step TabQuote(RecordState& st);
  Step FallBackStep(RecordState& st);
  void ScanPlain(RecordState& st);
  // Reads the fields that are plain runs, or quoted with nothing inside to take apart, ended
  // by the delimiter or a line break, sixty-four bytes at a time; leaves the rest to the
  // general way.
  void ReadPlainFields(RecordState& st);
  // Stores field st.fields: in place when `inWindow` (its bytes lie in the window, which
  // keeps them until the window changes), else copied into the value list.
  bool Store(RecordState& st, const char* bytes, std::size_t length, bool inWindow = false);
  // Copies the values that lie in the window into the value list, before the window changes.
  void KeepValuesOutOfWindow();
  bool InWindow(std::string_view value) const;
  void FinishMultiLineCell(std::string& text) const;
  // Adds bytes to the cell, unless it is already known to be too long to store; a cell that
  // grows past kKeptCellBytes is cut and takes no more bytes until the next cell.
  void AddToCell(std::string_view bytes);
  // Empties the cell for the next one.
  void ClearCell();
  // Steps over the line break at the read position, CR LF as one, and counts it; false when
  // the look-ahead could not be read.
  bool ConsumeLineBreak();
  int FailUnclosedQuote(long long line);
  // The cell being read begins at offset `at` of the converted input.
  void StartCell(std::size_t at) {
    cellStart_ = at;
    cellMarks_ = 0;
  }
  // The '?' of the cell being read before offset `offset`, which the window still holds.
  std::size_t MarksBefore(std::size_t offset) const;
  // Places the pending lost characters before `end` among the marks of the cell being read.
  void PlaceLosses(std::size_t end) {
    losses_.Place(end, [this](std::size_t offset) { return MarksBefore(offset); });
  }
  // Joins the pending run of the window to the cell.
  void FlushPending();
  std::size_t CellSize() const;
  void FallBack(RecordState& st);
  void SetCellTooLargeMessage();
  // Keeps `message` as the failure `code` (a warning) and returns `code`.
  int Fail(int code, std::string_view message);
  std::string_view NewlineReplacement() const;

  TextFile file_;
  char delimiter_ = ',';
  int tabOldType_ = 0;
  int newlineMode_ = 0;
  bool blockReading_ = true;
  // The values of the record read (views into the window or into values_), and the list
  // that holds those that are not in the window. Mutable: GetField copies a value into the
  // list to give it a terminating NUL.
  mutable std::vector<std::string_view> fields_;
  mutable StringList values_{2048};
  int storedFields_ = 0;  // the fields of the record being read stored so far
  StringList names_{2048};
  int nameMode_ = 0;
  int fieldCount_ = 0;
  Status status_;
  bool noMemory_ = false;  // the last ReadRecord failed for memory
  int encoding_ = 0;
  bool open_ = false;
  bool inputEnded_ = false;  // the file has delivered its last piece
  bool dataEnded_ = false;   // ReadRecord has returned 0
  bool readFailed_ = false;  // a piece could not be read
  // CSV rules: the line breaks consumed so far (the current physical line is one more), and
  // whether the LF at the read position belongs to a CR taken as a trail byte, so that the
  // pair counts once.
  long long linesEnded_ = 0;
  bool lfContinuesCr_ = false;
  std::string cell_;
  bool cellFull_ = false;       // cell_ holds as much of the cell as can be stored
  bool keepWholeCell_ = false;  // a TAB-rules quoted cell: every byte is kept (see above)
  // Unread input: the current piece(s) from pos_ on; a fallback puts its re-read text here.
  std::string window_;
  std::size_t pos_ = 0;
  // The cell is cell_ followed by the window's bytes from pendingStart_ to pos_.
  static constexpr std::size_t kNoPending = static_cast<std::size_t>(-1);
  std::size_t pendingStart_ = kNoPending;
  // Lost characters not yet given to a field, by their offset in the converted input, and
  // that offset of the window's first byte.
  LossLedger losses_;
  std::size_t windowBase_ = 0;
  LossLog pieceLosses_;  // those of the pieces being appended, by their offset in the window
  // Where the cell being read began (an offset of the converted input), and how many of its
  // '?' were in text the window has let go: a lost character's mark is counted from there.
  std::size_t cellStart_ = 0;
  std::size_t cellMarks_ = 0;
  // TAB rules, a quoted cell that spans lines: after each of its line breaks, the offset in
  // the converted input and the cell's length (the cell holds every line break as CR LF),
  // so that a fallback can place the lost characters of the rest it reads again.
  std::vector<std::pair<std::size_t, std::size_t>> cellBreaks_;
  long long strayQuotes_ = 0;
  long long firstStrayLine_ = 0;
  long long cutLines_ = 0;
  // Byte classes for the unquoted and the quoted state (plain, lead byte, special).
  unsigned char unquotedClass_[256];
  unsigned char quotedClass_[256];
  PlainScanner unquotedScan_;
  // ReadPlainFields' stops of the window's sixty-four bytes from plainBlock_ (outside quotes),
  // whether the byte after them is a trail byte, and the window they were found in: every
  // change of the window counts a generation.
  std::uint64_t windowGeneration_ = 0;
  std::uint64_t plainGeneration_ = ~std::uint64_t{0};
  std::size_t plainBlock_ = 0;
  std::uint64_t plainStops_ = 0;
  unsigned plainTrail_ = 0;
  // What a stop byte does to ReadPlainFields' field, by its value (kStop... in the .cpp):
  // one look-up in place of several comparisons per field.
  unsigned char stopKinds_[256];
  PlainScanner quotedScan_;
};

}  // namespace korvel
