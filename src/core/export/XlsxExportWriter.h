#pragma once
// XlsxExportWriter: writes a comparison result as an Office Open XML workbook (.xlsx) through
// libxlsxwriter, in the three layouts of the XML Spreadsheet export and with its sheets,
// columns, cell types and fill colours (XmlExportWriter): the same cells, only in the format
// that today's spreadsheet programs open without a warning.
//
// The workbook is made in libxlsxwriter's constant-memory mode: a row goes to a temporary
// file as soon as the next one begins, so memory stays the same whatever the number of
// pairs. Those temporary files are made in the folder given to Open and unlinked as soon as
// they are open, so they never show there; the zip container may use ZIP64 (workbooks
// beyond 4 GiB).
//
// Cells: every value is a text cell holding the value exactly as the grid shows it (a
// leading zero, a sign or a thousands separator stays; nothing is turned into a number);
// only the pair number in the first column is a number, as the XML export types it. CP932
// becomes UTF-8. As in the XML export, the control characters that XML cannot hold (below
// 0x20 except TAB, CR and LF, and the single byte 0x80) become '?'. A text that spells one
// of the workbook format's own character escapes ("_x" four hex digits "_") is protected so
// that it reads back as written, and a text beyond what a cell holds (32,767 characters) is
// cut there; neither occurs in the cells of a comparison (500 bytes at most).
//
// A sheet holds at most `rowLimit` rows (1,048,576, the most a workbook sheet has, unless a
// test asks for fewer). A longer result continues on sheets named "NAME (2)", "NAME (3)",
// …; every sheet begins with the layout's header row, the pair numbers go on counting, and
// the two rows of a pair in the alternating-rows layout always stay on one sheet.
//
// Use: Open, then one layout (WriteXlsxPerSide for the left and then the right side, or
// WriteXlsxAlternateFields, or WriteXlsxAlternateRows), then Close. Failures are kept: the
// layout calls stop early once one is seen, and Close reports it. Nothing is shown to the
// user, and nothing here decides where the file finally goes (see ExportDriver).

#include <sys/types.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "export/ExportDriver.h"
#include "export/ExportRows.h"
#include "platform/Progress.h"

struct lxw_workbook;
struct lxw_worksheet;
struct lxw_format;

namespace korvel {

class XlsxExportWriter {
 public:
  // The most rows a workbook sheet has.
  static constexpr int kSheetRowLimit = 1048576;
  // The most characters a cell holds.
  static constexpr std::size_t kCellCharacterLimit = 32767;
  // The longest sheet name, in characters.
  static constexpr std::size_t kSheetNameLimit = 31;

  // The source is not owned and must outlive the writer; its field list is read now. A
  // `rowLimit` below 3 counts as 3 (a header and the two rows of one pair).
  explicit XlsxExportWriter(const ExportSource& source, int rowLimit = kSheetRowLimit);
  // A workbook that was opened and not closed is dropped without writing its file.
  ~XlsxExportWriter();
  XlsxExportWriter(const XlsxExportWriter&) = delete;
  XlsxExportWriter& operator=(const XlsxExportWriter&) = delete;

  // Makes the layouts stop at the next row once `progress` (not owned; null for none) is
  // cancelled, as after a failure; the caller then drops the writer without Close, which
  // frees the workbook and its temporary files without packaging anything. Cancelled while
  // Close packages the workbook, the packaging fails at its next write (the file at `path`
  // is then worthless).
  void SetCancel(const Progress* progress) { cancel_ = progress; }

  // Starts the workbook that Close writes to `path` (created, or emptied and rewritten), with
  // its temporary files in the folder `tmpDir`. False when no workbook could be started.
  [[nodiscard]] bool Open(const std::string& path, const std::string& tmpDir);

  // The sheets "Left" (Side::kLeft) or "Right" (Side::kRight) of the per-sheet layout.
  void WriteXlsxPerSide(Side side);
  // The sheets "Sheet1" of the alternating-per-field layout.
  void WriteXlsxAlternateFields();
  // The sheets "Sheet1" of the alternating-rows layout.
  void WriteXlsxAlternateRows();
  // The sheets of `layout`: one of the three above (both sides for the per-sheet layout).
  void WriteLayout(ExportLayout layout);

  // Writes the workbook file and frees the workbook. True when every row and the file were
  // written; false after any failure (the file at `path` may then hold a part).
  [[nodiscard]] bool Close();
  // Whether a failure has been seen so far.
  bool Failed() const { return failed_; }

  // The name of part `part` (from 1) of the sheets named `name`: `name` for the first,
  // else `name` + " (" + part + ")"; `name` is cut between characters (UTF-8) so that the
  // whole stays within kSheetNameLimit characters.
  static std::string SheetPartName(std::string_view name, int part);
  // The UTF-8 text a cell gets for the CP932 `text`, with the replacements described above.
  static std::string CellText(std::string_view text);

 private:
  // Begins the first sheet named `name`, whose every part starts with `header` (CP932
  // texts in the header style).
  void StartSheets(std::string_view name, std::vector<std::string> header);
  // Makes room for `rows` more rows on the current sheet, beginning the next part when the
  // sheet is full. False once a failure has been seen.
  bool ReserveRows(int rows);
  void AddSheetPart();
  // Cells of the current row.
  void PutText(int column, std::string_view cp932, int style);
  void PutNumber(int column, int value);
  void EndRow();
  // The pair's number and status text, unstyled, in the first two columns.
  void PutRowLead(int index, const RecordPair& pair);
  // From `column` on: the keys in the key style, then every field's value of `side` in its
  // style; returns the next column.
  int PutSideValues(const RecordPair& pair, Side side, int column);
  // Whether the current sheet's temporary file has refused a write; remembers it.
  bool CheckSheetFile();
  // An open descriptor and the file it leads to.
  struct OpenFile {
    int fd;
    dev_t device;
    ino_t inode;
  };
  // The descriptors of this process that lead to libxlsxwriter's temporary files in the
  // folder `realFolder` (a real path).
  static std::vector<OpenFile> OpenTemporaries(const std::string& realFolder);
  // Releases the temporary files that a failed workbook left open.
  void ReleaseLeftTemporaries();

  ExportRows rows_;
  int rowLimit_;
  const Progress* cancel_ = nullptr;
  lxw_workbook* workbook_ = nullptr;
  std::string path_;
  std::string tmpDir_;
  std::string realTmpDir_;
  std::vector<OpenFile> temporariesBefore_;  // libxlsxwriter's files open before Open
  lxw_format* formats_[7] = {};              // by the XmlExportWriter style numbers; 0 is none
  std::vector<lxw_worksheet*> sheets_;
  lxw_worksheet* sheet_ = nullptr;
  std::string sheetName_;
  std::vector<std::string> header_;
  int part_ = 0;
  std::uint32_t row_ = 0;  // the next row of the current sheet
  bool failed_ = false;
  std::string cell_;  // the prepared text of the cell being written

  std::string textFile_;
  std::string textLeftSide_;
  std::string textRightSide_;
  std::string markNotCompared_;
  std::string markDiffer_;
  std::string markEqual_;
};

}  // namespace korvel
