#pragma once
// FieldControlDialog: the field-control dialog "項目単位制御", the last step of the set-up chain,
// and the dialog of the re-setting command.
//
// It shows the field-control grid (compare/FieldGrid.h) one row per field position with the
// left and right names, and lets the user mark keys (連携), numeric keys (数値), ignoring
// spaces (SPC除く), not comparing (不要), not loading (未取込) and comparing as numbers
// (数値比較, the last column). Marks change only on a
// mouse click on a cell, by the grid model's rules; the status bar explains the column of
// the cell that becomes current. When fields pair by name, the name cell of a side that
// lacks the row's field is grey. "比較実行(&R)" checks the number of keys and of not-loaded
// fields and that every key is on both sides (FieldGrid::ConfirmMarks).
//
// Calling order: create (the grid holds its header row); fill Grid() (the set-up chain's
// FillFieldGrid / FillFieldGridFixed, or the re-setting's own texts); exec(); Result(); on
// kRun read Grid(); destroy. exec() returns Result() as well.

#include <QDialog>
#include <vector>

#include "compare/FieldGrid.h"

class QPushButton;
class QStatusBar;
class QTableWidget;

namespace korvel {

class FieldControlDialog : public QDialog {
  Q_OBJECT

 public:
  enum class Mode {
    kSetUp,   // nine columns, the number column fixed, "戻る(&B)" shown
    kReGrid,  // 未取込 hidden, three columns fixed, "戻る(&B)" hidden
  };

  // Results.
  static constexpr int kRun = 1;
  static constexpr int kCancel = 0;
  static constexpr int kBack = -1;

  explicit FieldControlDialog(Mode mode = Mode::kSetUp, QWidget* parent = nullptr);
  ~FieldControlDialog() override;

  // The grid model, owned by the dialog. Fill it before the dialog is shown; the view is
  // made from it then (and by Reload).
  FieldGrid& Grid() { return grid_; }
  const FieldGrid& Grid() const { return grid_; }
  // Shows the model's texts again (for a caller that changed the model while shown).
  void Reload();

  // kRun, kCancel (also while open, and after the close box) or kBack.
  int Result() const { return result_; }
  // The text of the status bar (the hint of the current cell's column).
  QString StatusText() const;

 protected:
  void showEvent(QShowEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void CreateControls();
  void SetUpGrid();
  // The pixels the header text of `column` needs, margins included.
  int HeaderTextWidth(int column) const;
  // The described column widths, widened where a header does not fit.
  std::vector<int> FittedColumnWidths() const;
  void ShowRow(int row);
  void griMainClick(int viewRow, int column);
  void griMainSelectCell(int viewRow, int column);
  void cmd_RunClick();
  void cmd_BackClick();
  void cmd_CancelClick();

  Mode mode_;
  FieldGrid grid_;
  int result_ = kCancel;
  bool mouseDown_ = false;
  bool centred_ = false;

  QTableWidget* griMain_ = nullptr;
  QPushButton* cmd_Back_ = nullptr;
  QPushButton* cmd_Run_ = nullptr;
  QPushButton* cmd_Cancel_ = nullptr;
  QStatusBar* StatusBar1_ = nullptr;
};

}  // namespace korvel
