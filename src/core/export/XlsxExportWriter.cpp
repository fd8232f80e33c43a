#include "export/XlsxExportWriter.h"

#include <dirent.h>
#include <fcntl.h>
#include <limits.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>
#include <xlsxwriter.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <thread>
#include <utility>

#include "export/Utf8Text.h"
#include "export/XmlExportWriter.h"
#include "platform/Codepage.h"

namespace korvel {

void XlsxExportWriter::WriteLayout(ExportLayout layout) {
  switch (layout) {
    case ExportLayout::kPerSheet:
      WriteXlsxPerSide(Side::kLeft);
      WriteXlsxPerSide(Side::kRight);
      break;
    case ExportLayout::kAlternateFields:
      WriteXlsxAlternateFields();
      break;
    case ExportLayout::kAlternateRows:
      WriteXlsxAlternateRows();
      break;
  }
}
namespace {

// The fills of the XML export's styles s21 to s26, by its style numbers 1 to 6.
constexpr lxw_color_t kStyleColours[] = {0x7D7D7D, 0xF7FB6A, 0x82E6E6,
                                         0xBBBBBB, 0x808080, 0xAAFFFF};

bool IsHexDigit(char c) {
  return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

// "_x" four hex digits "_" at `i`: the workbook format reads it as the character of that
// code, so a text that holds it literally needs its underscore spelled as an escape too.
bool IsEscapeLike(std::string_view text, std::size_t i) {
  return i + 7 <= text.size() && text[i] == '_' && text[i + 1] == 'x' && IsHexDigit(text[i + 2]) &&
         IsHexDigit(text[i + 3]) && IsHexDigit(text[i + 4]) && IsHexDigit(text[i + 5]) &&
         text[i + 6] == '_';
}

constexpr std::string_view kEscapedUnderscore = "_x005F";

// The length of the UTF-8 sequence that begins with `c`.
std::size_t Utf8Length(unsigned char c) {
  if (c < 0xC0) return 1;
  if (c < 0xE0) return 2;
  if (c < 0xF0) return 3;
  return 4;
}

// True when `text` needs none of the replacements: printable ASCII, TAB, CR and LF only,
// nothing that looks like an escape, and short enough for a cell. Most cells are like that.
bool IsPlain(std::string_view text) {
  if (text.size() > XlsxExportWriter::kCellCharacterLimit) return false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c >= 0x7F || (c < 0x20 && c != '\t' && c != '\r' && c != '\n')) return false;
    if (c == '_' && IsEscapeLike(text, i)) return false;
  }
  return true;
}

// CP932 cell texts in UTF-8 with the characters XML cannot hold replaced by '?', as the XML
// export does: the control bytes other than TAB, CR and LF, and 0x80 standing alone.
const Utf8Text& CellUtf8() {
  static const Utf8Text text({.ControlsAsQuestionMarks = true, .Spellings = {}});
  return text;
}

void PrepareCell(std::string_view cp932, std::string& out) {
  out.clear();
  if (IsPlain(cp932)) {
    out.assign(cp932);
    return;
  }
  std::string utf8;
  CellUtf8().Append(cp932, utf8);
  // libxlsxwriter refuses a text of more than a cell's characters and counts the characters
  // of a protecting escape too; so does the cut, and a text with such escapes may end a
  // little before the characters a reader sees reach the limit.
  std::size_t characters = 0;
  for (std::size_t i = 0; i < utf8.size();) {
    const bool escape = IsEscapeLike(utf8, i);
    const std::size_t count = escape ? 1 + kEscapedUnderscore.size() : 1;
    if (characters + count > XlsxExportWriter::kCellCharacterLimit) break;
    if (escape) out.append(kEscapedUnderscore);
    const std::size_t length =
        std::min(Utf8Length(static_cast<unsigned char>(utf8[i])), utf8.size() - i);
    out.append(utf8, i, length);
    characters += count;
    i += length;
  }
}

// libxlsxwriter packages a workbook in one call that cannot be asked to stop, and for a
// large workbook that call takes long. While it runs, this watcher waits for the export to
// be cancelled; then it turns every descriptor of the process that leads to the workbook's
// file into /dev/full, so that the package's next write fails and the packaging ends at
// once. The file is dropped afterwards anyway: a cancelled export never takes its name.
class PackagingStopper {
 public:
  PackagingStopper(const Progress* cancel, const std::string& path) : cancel_(cancel) {
    struct stat st;
    if (cancel_ == nullptr || ::stat(path.c_str(), &st) != 0) return;
    device_ = st.st_dev;
    inode_ = st.st_ino;
    try {
      watcher_ = std::thread([this] { Watch(); });
    } catch (const std::system_error&) {
      // No thread to be had: the packaging runs to its end.
    }
  }
  ~PackagingStopper() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      done_ = true;
    }
    wake_.notify_all();
    if (watcher_.joinable()) watcher_.join();
  }
  PackagingStopper(const PackagingStopper&) = delete;
  PackagingStopper& operator=(const PackagingStopper&) = delete;

 private:
  void Watch() {
    std::unique_lock<std::mutex> lock(mutex_);
    while (!done_) {
      if (cancel_->Cancelled()) {
        StopWrites();
        return;
      }
      wake_.wait_for(lock, std::chrono::milliseconds(20));
    }
  }
  void StopWrites() const {
    DIR* fds = ::opendir("/proc/self/fd");
    if (fds == nullptr) return;
    std::vector<int> found;
    while (const dirent* entry = ::readdir(fds)) {
      if (entry->d_name[0] < '0' || entry->d_name[0] > '9') continue;
      const int fd = std::atoi(entry->d_name);
      struct stat st;
      if (fd != ::dirfd(fds) && ::fstat(fd, &st) == 0 && st.st_dev == device_ &&
          st.st_ino == inode_) {
        found.push_back(fd);
      }
    }
    ::closedir(fds);
    for (int fd : found) {
      const int full = ::open("/dev/full", O_WRONLY | O_CLOEXEC);
      if (full < 0) return;
      ::dup3(full, fd, O_CLOEXEC);
      ::close(full);
    }
  }

  const Progress* cancel_;
  dev_t device_ = 0;
  ino_t inode_ = 0;
  std::mutex mutex_;
  std::condition_variable wake_;
  bool done_ = false;
  std::thread watcher_;
};

}  // namespace

XlsxExportWriter::XlsxExportWriter(const ExportSource& source, int rowLimit)
    : rows_(source),
      rowLimit_(std::max(rowLimit, 3)),
      textFile_(Sjis("ファイル")),
      textLeftSide_(Sjis("L側")),
      textRightSide_(Sjis("R側")),
      markNotCompared_(Sjis("未")),
      markDiffer_(Sjis("×")),
      markEqual_(Sjis("○")) {}

XlsxExportWriter::~XlsxExportWriter() {
  if (workbook_ == nullptr) return;
  // Dropped without its file: the sheets' temporary files are closed here, since freeing the
  // workbook does not close them.
  for (lxw_worksheet* sheet : sheets_) {
    if (sheet->optimize_tmpfile != nullptr) std::fclose(sheet->optimize_tmpfile);
    sheet->optimize_tmpfile = nullptr;
    sheet->file = nullptr;
  }
  lxw_workbook_free(workbook_);
}

bool XlsxExportWriter::Open(const std::string& path, const std::string& tmpDir) {
  path_ = path;
  tmpDir_ = tmpDir;
  char real[PATH_MAX];
  realTmpDir_ = ::realpath(tmpDir.c_str(), real) != nullptr ? std::string(real) : tmpDir;
  if (realTmpDir_.size() > 1 && realTmpDir_.back() == '/') realTmpDir_.pop_back();
  temporariesBefore_ = OpenTemporaries(realTmpDir_);
  lxw_workbook_options options{};
  options.constant_memory = LXW_TRUE;
  options.tmpdir = tmpDir_.data();
  options.use_zip64 = LXW_TRUE;
  workbook_ = workbook_new_opt(path.c_str(), &options);
  if (workbook_ == nullptr) {
    failed_ = true;
    return false;
  }
  for (int style = 1; style <= 6; ++style) {
    lxw_format* format = workbook_add_format(workbook_);
    if (format == nullptr) {
      failed_ = true;
      return false;
    }
    format_set_pattern(format, LXW_PATTERN_SOLID);
    format_set_bg_color(format, kStyleColours[style - 1]);
    formats_[style] = format;
  }
  return true;
}

std::string XlsxExportWriter::SheetPartName(std::string_view name, int part) {
  const std::string suffix = part <= 1 ? std::string() : " (" + std::to_string(part) + ")";
  const std::size_t room = kSheetNameLimit > suffix.size() ? kSheetNameLimit - suffix.size() : 0;
  std::size_t end = 0;
  for (std::size_t characters = 0; end < name.size() && characters < room; ++characters) {
    end += std::min(Utf8Length(static_cast<unsigned char>(name[end])), name.size() - end);
  }
  std::string out(name.substr(0, end));
  out += suffix;
  return out;
}

std::string XlsxExportWriter::CellText(std::string_view text) {
  std::string out;
  PrepareCell(text, out);
  return out;
}

void XlsxExportWriter::StartSheets(std::string_view name, std::vector<std::string> header) {
  sheetName_ = name;
  header_ = std::move(header);
  part_ = 0;
  AddSheetPart();
}

void XlsxExportWriter::AddSheetPart() {
  if (failed_ || workbook_ == nullptr) {
    failed_ = true;
    return;
  }
  ++part_;
  const std::string name = SheetPartName(sheetName_, part_);
  sheet_ = workbook_add_worksheet(workbook_, name.c_str());
  row_ = 0;
  if (sheet_ == nullptr) {
    // The sheet's temporary file could not be made (a full disk, a folder gone).
    failed_ = true;
    return;
  }
  sheets_.push_back(sheet_);
  for (std::size_t i = 0; i < header_.size(); ++i) {
    PutText(static_cast<int>(i), header_[i], XmlExportWriter::kStyleHeader);
  }
  EndRow();
}

bool XlsxExportWriter::ReserveRows(int rows) {
  if (failed_ || CheckSheetFile()) return false;
  if (cancel_ != nullptr && cancel_->Cancelled()) {
    failed_ = true;
    return false;
  }
  if (row_ + static_cast<std::uint32_t>(rows) > static_cast<std::uint32_t>(rowLimit_)) {
    AddSheetPart();
  }
  return !failed_;
}

bool XlsxExportWriter::CheckSheetFile() {
  // libxlsxwriter does not look at its own writes of rows; a full disk shows only here.
  if (sheet_ != nullptr && sheet_->optimize_tmpfile != nullptr &&
      std::ferror(sheet_->optimize_tmpfile)) {
    failed_ = true;
  }
  return failed_;
}

void XlsxExportWriter::PutText(int column, std::string_view cp932, int style) {
  if (failed_) return;
  PrepareCell(cp932, cell_);
  const lxw_error error = worksheet_write_string(sheet_, row_, static_cast<lxw_col_t>(column),
                                                 cell_.c_str(), formats_[style]);
  if (error != LXW_NO_ERROR) failed_ = true;
}

void XlsxExportWriter::PutNumber(int column, int value) {
  if (failed_) return;
  const lxw_error error =
      worksheet_write_number(sheet_, row_, static_cast<lxw_col_t>(column), value, nullptr);
  if (error != LXW_NO_ERROR) failed_ = true;
}

void XlsxExportWriter::EndRow() { ++row_; }

void XlsxExportWriter::PutRowLead(int index, const RecordPair& pair) {
  ExportRows::TextBuffer status;
  PutNumber(0, index + 1);
  PutText(1, rows_.StatusText(pair.Status, status), 0);
}

int XlsxExportWriter::PutSideValues(const RecordPair& pair, Side side, int column) {
  for (int k = 0; k < rows_.KeyCount(); ++k) {
    PutText(column++, rows_.KeyValue(pair, rows_.Field(k)), XmlExportWriter::kStyleKey);
  }
  const int row = pair.Row(side);
  for (int j = 0; j < rows_.FieldCount(); ++j) {
    const ResultField& field = rows_.Field(j);
    const std::string_view left = rows_.Value(pair, Side::kLeft, field);
    const std::string_view right = rows_.Value(pair, Side::kRight, field);
    // The XML export's rule: not compared first, then a side without its record, then a
    // comparison of the two values (CellsDifferInExport).
    int style = 0;
    if (field.NotCompared) {
      style = XmlExportWriter::kStyleNotCompared;
    } else if (row == -1) {
      style = XmlExportWriter::kStyleNoRecord;
    } else if (field.CellsDifferInExport(left, right)) {
      style =
          side == Side::kLeft ? XmlExportWriter::kStyleLeftDiff : XmlExportWriter::kStyleRightDiff;
    }
    PutText(column++, side == Side::kLeft ? left : right, style);
  }
  return column;
}

void XlsxExportWriter::WriteXlsxPerSide(Side side) {
  std::vector<std::string> header = {"No", Sjis("相違")};
  for (int k = 0; k < rows_.KeyCount(); ++k) header.emplace_back(rows_.Field(k).Name);
  for (int j = 0; j < rows_.FieldCount(); ++j) header.emplace_back(rows_.Field(j).Name);
  StartSheets(side == Side::kLeft ? "Left" : "Right", std::move(header));
  for (int i = 0; i < rows_.PairCount() && ReserveRows(1); ++i) {
    const RecordPair pair = rows_.Pair(i);
    PutRowLead(i, pair);
    PutSideValues(pair, side, 2);
    EndRow();
  }
}

void XlsxExportWriter::WriteXlsxAlternateFields() {
  const int keys = rows_.KeyCount();
  const int fields = rows_.FieldCount();
  std::vector<std::string> header = {"No", Sjis("相違")};
  for (int k = 0; k < keys; ++k) header.emplace_back(rows_.Field(k).Name);
  for (int j = keys; j < fields; ++j) {
    header.emplace_back(rows_.Field(j).Name);
    header.push_back(textLeftSide_);
    header.push_back(textRightSide_);
  }
  StartSheets("Sheet1", std::move(header));
  for (int i = 0; i < rows_.PairCount() && ReserveRows(1); ++i) {
    const RecordPair pair = rows_.Pair(i);
    PutRowLead(i, pair);
    int column = 2;
    for (int k = 0; k < keys; ++k) {
      PutText(column++, rows_.KeyValue(pair, rows_.Field(k)), 0);
    }
    for (int j = keys; j < fields; ++j) {
      const ResultField& field = rows_.Field(j);
      const std::string_view left = rows_.Value(pair, Side::kLeft, field);
      const std::string_view right = rows_.Value(pair, Side::kRight, field);
      std::string_view mark = markEqual_;
      int style = 0;
      if (field.NotCompared) {
        mark = markNotCompared_;
        style = XmlExportWriter::kStyleNotCompared;
      } else if (field.CellsDifferInExport(left, right)) {
        // The XML export alternates the two fills by the field's place in the list.
        mark = markDiffer_;
        style = j % 2 == 1 ? XmlExportWriter::kStyleLeftDiff : XmlExportWriter::kStyleRightDiff;
      }
      PutText(column++, mark, style);
      PutText(column++, left, style);
      PutText(column++, right, style);
    }
    EndRow();
  }
}

void XlsxExportWriter::WriteXlsxAlternateRows() {
  std::vector<std::string> header = {"No", Sjis("相違"), textFile_};
  for (int k = 0; k < rows_.KeyCount(); ++k) header.emplace_back(rows_.Field(k).Name);
  for (int j = 0; j < rows_.FieldCount(); ++j) header.emplace_back(rows_.Field(j).Name);
  StartSheets("Sheet1", std::move(header));
  for (int i = 0; i < rows_.PairCount() && ReserveRows(2); ++i) {
    const RecordPair pair = rows_.Pair(i);
    for (Side side : {Side::kLeft, Side::kRight}) {
      PutRowLead(i, pair);
      PutText(2, side == Side::kLeft ? "L" : "R", 0);
      PutSideValues(pair, side, 3);
      EndRow();
    }
  }
}

bool XlsxExportWriter::Close() {
  if (workbook_ == nullptr) return false;
  bool written = !failed_;
  // What the sheets' temporary files still hold back is written now; a full disk that has
  // not shown yet shows here.
  for (lxw_worksheet* sheet : sheets_) {
    FILE* file = sheet->optimize_tmpfile;
    if (file != nullptr && (std::fflush(file) != 0 || std::ferror(file))) written = false;
  }
  lxw_error closed;
  {
    PackagingStopper stopper(cancel_, path_);
    closed = workbook_close(workbook_);
  }
  workbook_ = nullptr;
  sheets_.clear();
  sheet_ = nullptr;
  written = written && closed == LXW_NO_ERROR;
  if (!written) ReleaseLeftTemporaries();
  return written;
}

std::vector<XlsxExportWriter::OpenFile> XlsxExportWriter::OpenTemporaries(
    const std::string& realFolder) {
  // libxlsxwriter names them "tmp." and ten characters, and unlinks them as soon as they
  // are open.
  std::vector<OpenFile> found;
  DIR* fds = ::opendir("/proc/self/fd");
  if (fds == nullptr) return found;
  const std::string prefix = (realFolder == "/" ? std::string() : realFolder) + "/tmp.";
  constexpr std::string_view kDeleted = " (deleted)";
  while (const dirent* entry = ::readdir(fds)) {
    const int fd = std::atoi(entry->d_name);
    if (entry->d_name[0] < '0' || entry->d_name[0] > '9' || fd == ::dirfd(fds)) continue;
    char target[PATH_MAX];
    const std::string link = std::string("/proc/self/fd/") + entry->d_name;
    const ssize_t n = ::readlink(link.c_str(), target, sizeof target);
    if (n <= 0 || static_cast<std::size_t>(n) >= sizeof target) continue;
    const std::string_view path(target, static_cast<std::size_t>(n));
    if (path.substr(0, prefix.size()) != prefix ||
        path.size() != prefix.size() + 10 + kDeleted.size() ||
        path.substr(path.size() - kDeleted.size()) != kDeleted) {
      continue;
    }
    struct stat st;
    if (::fstat(fd, &st) == 0) found.push_back({fd, st.st_dev, st.st_ino});
  }
  ::closedir(fds);
  return found;
}

void XlsxExportWriter::ReleaseLeftTemporaries() {
  // libxlsxwriter 1.1.4 returns from a failed write without closing the temporary file it
  // was writing (and the files of the sheets it had not reached): their space would stay
  // taken until the program ends. Their FILE objects are out of reach, and stdio may still
  // flush them at exit, so each descriptor is turned to /dev/null rather than closed: the
  // file is released and its number can never be handed to another file.
  for (const OpenFile& file : OpenTemporaries(realTmpDir_)) {
    const bool before = std::any_of(temporariesBefore_.begin(), temporariesBefore_.end(),
                                    [&file](const OpenFile& old) {
                                      return old.device == file.device && old.inode == file.inode;
                                    });
    if (before) continue;
    const int null = ::open("/dev/null", O_RDWR | O_CLOEXEC);
    if (null < 0) continue;
    ::dup3(null, file.fd, O_CLOEXEC);
    ::close(null);
  }
}

}  // namespace korvel
