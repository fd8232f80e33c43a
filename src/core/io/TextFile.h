#pragma once
// TextFile: one open file, raw reads and writes, and for the readers the byte-order-mark
// check and the delivery of an input file as Shift-JIS pieces.
//
// A piece holds at most 1024 bytes of the file before conversion. Pieces are cut so that
// no double-byte character, UTF-8 or EUC-JP sequence, surrogate pair, doubled quote or CR LF
// pair is split, and never just before a TAB or a line break. UTF-16 (either byte order),
// UTF-8 and EUC-JP are converted to CP932 piece by piece (platform/Codepage.h); the
// characters that became '?' on the way are counted (LostCount) and, for the last piece,
// logged (PieceLosses). Shift-JIS pieces are the file's bytes, but for the codes of a
// character that CP932 holds twice, which take the character's own CP932 form
// (UnifyDuplicateCodes in platform/Codepage.h), as a conversion from Unicode gives it.
//
// A file whose last byte is the DOS end-of-file byte 0x1A ends before it: that byte is not
// delivered (in UTF-16 only when it is an odd byte left over), and a file of that byte alone
// is empty.
//
// An input file opened with an AutoEncoding request gets its encoding in CheckBom: from its
// byte-order mark, whatever the adopt flag says, else by DetectEncoding
// (io/EncodingDetection.h) over its first 64 KiB.
//
// Calling order for input files: Open (mode 0), CheckBom once, ReadChunk until it returns
// the empty text, Close. All file access goes through platform/FileSystem.h.

#include <cstddef>
#include <string>
#include <vector>

#include "platform/Codepage.h"
#include "platform/Progress.h"
#include "platform/Prompter.h"
#include "platform/Status.h"

namespace korvel {

class TextFile {
 public:
  static constexpr int kPieceSize = 1024;
  // The DOS end-of-file byte (Ctrl+Z).
  static constexpr unsigned char kEndOfFileByte = 0x1A;

  // Modes of Open.
  static constexpr int kModeRead = 0;       // the file must exist and be a regular file
  static constexpr int kModeWrite = 1;      // written whole or not at all (see Close)
  static constexpr int kModeReadWrite = 2;  // created, replacing an existing file
  static constexpr int kModeAttached = 3;   // an open descriptor of the caller's (AttachForWriting)

  // Close of a written file: a file of that name exists and replacing it was not allowed.
  static constexpr int kTargetExists = -2;

  TextFile();
  ~TextFile();
  TextFile(const TextFile&) = delete;
  TextFile& operator=(const TextFile&) = delete;

  // 0 opened; -1 the file cannot be opened (for reading: it is not a regular file, such as a
  // folder, FIFO or device, judged before anything is read; or the mode is unknown);
  // -2 a file is already open on this object (it stays open). Empties the carry and
  // remembers `encoding` (Shift-JIS, UTF-16, UTF-8, EUC-JP or an AutoEncoding request;
  // any other code reads as Shift-JIS).
  [[nodiscard]] int Open(const std::string& path, int mode, int encoding);
  // Frees the conversion buffers and closes the file, if one is open. 0, or -1 when the
  // system reports a failed close.
  //
  // A file opened with kModeWrite is written beside its path and takes the path's name
  // only here, in one step (platform/AtomicFile.h): 0 when it did; -1 when a write failed
  // before or the file could not be flushed or named, and kTargetExists when a file of
  // that name exists and SetReplace(false) was called. In every failure the path keeps
  // what it held before and no partial file is left. Destroying the object without Close
  // drops what was written.
  int Close();
  // Writes to the caller's open descriptor `fd` (standard output) through the file-system
  // seam; Close leaves it open and reports whether every write succeeded. 0, or -2 when a
  // file is already open on this object.
  int AttachForWriting(int fd);
  // Whether a written file may replace an existing regular file (the default), and whether
  // a symbolic link at its path is followed (the default) or refused. Set before Open,
  // which refuses what these forbid (OpenRefusal tells why); they stay for later opens.
  void SetReplace(bool replace) { replace_ = replace; }
  void SetFollowLinks(bool follow) { followLinks_ = follow; }
  // Why the last Open for writing failed: FileSystem::kTargetExists, kNotRegularFile or
  // kLinkRefused, or -1 for any other failure; 0 after a successful Open. A Close that
  // failed because such a thing took the name meanwhile sets it too.
  int OpenRefusal() const { return openRefusal_; }
  bool IsOpen() const { return fd_ >= 0; }

  // Bytes read; 0 at the end of the file or on failure.
  int Read(void* buffer, int count);
  // Bytes written; 0 on failure (a short write counts as failure).
  int Write(const void* buffer, int count);
  // Writes CR LF; bytes written (2), 0 on failure.
  int WriteNewline();

  // Judges the byte-order mark at the start of the file:
  //  -3 the first bytes cannot be read; -1 the file is empty (or holds an end-of-file
  //  byte alone);
  //   0 no mark (the bytes read stay as data); 1 a mark of the requested encoding;
  //   2 a mark of another encoding, adopted (`adopt`); -2 a mark of another encoding, not
  //   adopted. `*encoding` receives the encoding in force afterwards.
  // Under an AutoEncoding request a mark is always adopted (2), and without one the
  // detected encoding takes over (0); a binary file gives -3.
  [[nodiscard]] int CheckBom(bool adopt, int* encoding);

  // The next piece as Shift-JIS text, NUL-terminated, its length in `*length`; the empty
  // text at the end of the file; null when the file cannot be read (from the first failed
  // read on, and without delivering the bytes gathered for the piece it broke off). The
  // text lives in this object until the next ReadChunk or Close.
  const char* ReadChunk(int* length);
  // The next pieces, as many as hold at least `inputBytes` bytes of the file or as are
  // already read ahead (the first may be read for; the file is never read for a later one),
  // each cut and converted exactly as ReadChunk delivers it, appended to `out` in one step
  // (a reader that treats the pieces as one text needs them no smaller). Lost
  // characters go to `*losses` with their offsets in `out`. Returns the bytes appended; 0
  // at the end of the file; -1 when the first piece cannot be read (a failure after some
  // pieces shows on the next call, as ReadChunk would show it). `*ended` tells that the
  // file ended after the pieces appended.
  long AppendPieces(std::string& out, std::size_t inputBytes, LossLog* losses, bool* ended);

  int GetEncoding() const { return encoding_; }
  // Whether CheckBom found a byte-order mark (of the encoding in force).
  bool HasMark() const { return hasMark_; }
  // Characters that became '?' in the pieces delivered since Open.
  std::size_t LostCount() const { return lostCount_; }
  // Where in the last piece (offsets into its text) each of its lost characters went.
  const LossLog& PieceLosses() const { return pieceLosses_; }
  // EUC-JP: the characters of the last piece whose EUC-JP form is longer than their text.
  const WidthLog& PieceWidths() const { return pieceWidths_; }

  // Reports the reading of a file opened from now on as input `input` of `progress` (not
  // owned; null for none): its size at Open, each block read, and a read asked for once
  // `progress` is cancelled fails like a failed read, so that a reader stops at its next
  // piece. A write asked for once it is cancelled fails too (a written file is then
  // dropped at Close, as after any failed write).
  void SetProgress(Progress* progress, int input) {
    progress_ = progress;
    progressInput_ = input;
  }

 private:
  // Under an AutoEncoding request: judges the first bytes after the carry.
  int Detect();
  // Cuts the next piece into piece_ (the rest is carried); its length before conversion,
  // 0 at the end of the file, -1 when it cannot be read.
  long CutPiece();
  // Reads up to `count` bytes through the read-ahead buffer; -1 on failure.
  long Fill(unsigned char* dst, std::size_t count);
  // AppendPieces' step for a Shift-JIS piece that lies whole in the read-ahead block; the
  // bytes of the file it takes (the piece's length).
  std::size_t AppendSjisPieceInPlace(std::string& out);

  int fd_ = -1;
  int mode_ = kModeRead;
  bool writeFailed_ = false;
  bool replace_ = true;
  bool followLinks_ = true;
  int openRefusal_ = 0;
  int encoding_ = 0;
  bool hasMark_ = false;
  // Bytes not yet delivered: the rest of the last piece after its cut, or bytes that
  // CheckBom read and found to be no mark.
  unsigned char carry_[kPieceSize];
  std::size_t carryLength_ = 0;
  unsigned char piece_[kPieceSize + 16];
  std::string converted_;
  std::size_t lostCount_ = 0;
  LossLog pieceLosses_;
  WidthLog pieceWidths_;
  // The operating system is asked for large blocks; pieces are served from them.
  std::vector<unsigned char> readAhead_;
  std::size_t readAheadPos_ = 0;
  std::size_t readAheadEnd_ = 0;
  bool readAheadFailed_ = false;
  Progress* progress_ = nullptr;
  int progressInput_ = 0;
};

// Opens `path` for a reader: TextFile::Open for reading, then CheckBom. 0 on success, with
// `*encoding` the encoding in force; 1 on failure, with `*message` the reader's text
// ("ファイルが見つかりません。", "データがありません。", "文字コードが異なります。" or
// "読込できないファイルです。"). On a failed mark check the file stays open.
[[nodiscard]] int OpenInputFile(TextFile& file, const std::string& path, int requestedEncoding,
                                bool adoptMark, int* encoding, std::string* message);

// The length of the piece cut from `onHand` (at least 1024) bytes of input in `encoding`:
// a walk from the start steps over characters (a double-byte character, a UTF-8 sequence, a
// surrogate pair), doubled quotes and LFs following a character until at least 1018 bytes
// (UTF-16: 1014) are passed, then takes a TAB, or a CR or LF with an LF right after it.
// `bytes` must hold at least 1040 readable bytes (NULs after the input).
std::size_t FindPieceCut(const unsigned char* bytes, std::size_t onHand, int encoding);

// Whether `path` may be written: ok for a missing path; -1 for an empty path; -1 with the
// warning "フォルダが指定されています。" for a folder; for an existing file the question
// "既にファイルが存在します。上書きしてよろしいですか？" through `prompter`, ok for Yes and
// -1 for No.
[[nodiscard]] Status CheckOutputPath(const std::string& path, Prompter& prompter);

}  // namespace korvel
