#pragma once
// FixedLengthDialog: the fixed-length definition dialog "固定長定義", shown for fixed-length files
// between the file selection and the field control.
//
// It previews the first five lines of the left file in a fixed-pitch face with the field
// boundaries drawn over them, and keeps a grid of field definitions (name and size in
// bytes). The user defines fields by typing, by clicking between characters of the preview
// (split a field there, or merge two fields at their common boundary), by deleting lines
// from the grid's pop-up menu, or by loading a definition file; the grid can be saved as a
// definition file. "次へ(&N)" checks the rows and hands them to the shared fixed-length
// reader, where they stay for the comparison and for the next showing of this dialog.
//
// Calling order: create (the grid shows the reader's current definitions); Preset with the
// left path, the encoding to read it with and the BOM flag; exec(); Result(); destroy.
// exec() returns Result() as well.

#include <QDialog>
#include <string>
#include <vector>

#include "compare/FixDefinitionFile.h"

class QLineEdit;
class QMenu;
class QPushButton;
class QScrollBar;
class QTableWidget;

namespace korvel {

class FixedWidthReader;
class FixPreview;

class FixedLengthDialog : public QDialog {
  Q_OBJECT

 public:
  // Results.
  static constexpr int kNext = 1;
  static constexpr int kCancel = 0;
  static constexpr int kBack = -1;

  // Grid columns.
  static constexpr int kColNumber = 0;
  static constexpr int kColStart = 1;
  static constexpr int kColName = 2;
  static constexpr int kColSize = 3;

  // How much of each previewed line is shown, and how many lines.
  static constexpr int kPreviewBytes = 5000;
  static constexpr int kPreviewLines = 5;

  // `fixReader` is the shared reader (not owned; it must outlive the dialog). Its
  // definitions fill the grid now and are replaced on "次へ(&N)".
  explicit FixedLengthDialog(FixedWidthReader& fixReader, QWidget* parent = nullptr);
  ~FixedLengthDialog() override;

  // Reads the preview from `leftPath` with `encoding` (0 when the inputs come from the
  // clipboard) and `detectBom`. A file that cannot be read gives an empty preview and a
  // full size of 0; nothing is shown.
  void Preset(const std::string& leftPath, int encoding, bool detectBom);

  // kNext, kCancel (also while open, and after the close box) or kBack.
  int Result() const { return result_; }

  // The definition rows of the grid as typed (the empty last row left out).
  FixDefinitionRows DefinitionRows() const;
  // The preview lines (CP932) and the byte length of the first one.
  const std::vector<std::string>& PreviewLines() const { return previewLines_; }
  int FullSize() const { return fullSize_; }
  // Width and height of one character cell of the preview ("W" in the preview face).
  int CharWidth() const { return charWidth_; }
  int CharHeight() const { return charHeight_; }

 private:
  friend class FixPreview;

  void CreateControls();
  void CreateGrid(QWidget* panel);
  void CreateButtons(QWidget* panel);

  // The grid with `rows` followed by the empty entry row, renumbered.
  void SetGridRows(const FixDefinitionRows& rows);
  void Renumber();
  std::string NextGeneratedName();
  std::string CellText(int row, int column) const;
  void SetCellText(int row, int column, const std::string& text);
  void AppendEmptyRow();
  int LastRow() const;

  // A click in the preview at x pixels.
  void PreviewClick(int x);
  // The first keystroke of an edit at (`row`, `column`).
  void CellKeystroke(int row, int column);
  // A failed check of row `row` (from 0; -1 for none) with code `code`: the cell at fault
  // becomes current.
  // CheckFixDefinitions with its warning shown and the failed cell made current; true when
  // the rows pass.
  bool CheckRows(const FixDefinitionRows& rows);
  void ShowFailedRow(int row, int code);

  void mnusDelLineClick();
  void cmd_LoadClick();
  void cmd_SaveClick();
  void cmd_OkClick();
  void cmd_BackClick();
  void cmd_CancelClick();

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  FixedWidthReader& fixReader_;
  int result_ = kCancel;
  int nextNumber_ = 1;
  std::vector<std::string> previewLines_;
  int fullSize_ = 0;
  int charWidth_ = 8;
  int charHeight_ = 16;
  bool renumbering_ = false;
  bool centred_ = false;

  FixPreview* paiMain_ = nullptr;
  QScrollBar* scr_Bottom_ = nullptr;
  QTableWidget* griMain_ = nullptr;
  QMenu* gridMenu_ = nullptr;
  QLineEdit* txt_FullSize_ = nullptr;
  QPushButton* cmd_Load_ = nullptr;
  QPushButton* cmd_Save_ = nullptr;
  QPushButton* cmd_Back_ = nullptr;
  QPushButton* cmd_Ok_ = nullptr;
  QPushButton* cmd_Cancel_ = nullptr;
};

}  // namespace korvel
