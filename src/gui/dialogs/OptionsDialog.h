#pragma once
// OptionsDialog: the options dialog "オプション" that the file selection dialog opens from its
// button "詳細設定...".
//
// It sets the four reading options and the tolerance of the fields compared as numbers
// (数値の許容差). The encoding and the byte-order-mark choice are handed back to the caller
// (ChosenEncoding, ChosenBom) when the user pressed OK; the TAB quoting rule, the newline
// replacement and the tolerance go straight into the settings object on OK. A tolerance
// that is not a number from 0 to 1e15 is refused with a warning, and the dialog stays open
// with the box focused.
//
// Calling order: create (the TAB rule and newline boxes show the settings object's values);
// SetEncodingChoice; SetBomChoice; exec(); when Accepted(), read ChosenEncoding and
// ChosenBom; destroy. Cancel and the close box leave everything as it was.

#include <QDialog>

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;

namespace korvel {

class SettingsStore;

class OptionsDialog : public QDialog {
  Q_OBJECT

 public:
  // `global` is not owned and must outlive the dialog.
  explicit OptionsDialog(SettingsStore& global, QWidget* parent = nullptr);

  // `code` is an encoding code (0, 10, 15, kEncodingEucJp (EUC-JP) or an AutoEncoding
  // request (自動判定); anything else shows as Shift-JIS). When `locked`
  // (the inputs come from the clipboard) the box shows "SHIFT-JIS", disabled, and OK hands
  // `code` back unchanged.
  void SetEncodingChoice(int code, bool locked);
  void SetBomChoice(bool flag);

  // True only after OK.
  bool Accepted() const { return accepted_; }
  int ChosenEncoding() const { return chosenEncoding_; }
  bool ChosenBom() const { return chosenBom_; }
  bool EncodingLocked() const { return encodingLocked_; }

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void CreateControls();
  void FormCreate();
  void cmd_OkClick();
  void cmd_CancelClick();

  SettingsStore& global_;
  bool accepted_ = false;
  int chosenEncoding_ = 0;
  bool chosenBom_ = false;
  bool encodingLocked_ = false;
  bool centred_ = false;

  QComboBox* cbo_MoziCode_ = nullptr;
  QCheckBox* chk_Bom_ = nullptr;
  QCheckBox* chk_TabOldType_ = nullptr;
  QComboBox* cbo_RetMoziIndex_ = nullptr;
  QLineEdit* txt_NumTol_ = nullptr;
  QPushButton* cmd_Ok_ = nullptr;
  QPushButton* cmd_Cancel_ = nullptr;
};

}  // namespace korvel
