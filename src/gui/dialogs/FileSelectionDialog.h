#pragma once
// FileSelectionDialog: the file selection dialog "比較ファイル選択", the first step of the set-up
// chain.
//
// It collects the two inputs (a path for the left and one for the right side of the
// screen), the file kind, the other-delimiter character, whether the first row holds field
// names, whether fields pair by those names (項目名で対応付け: enabled only with
// 先頭行フィールド and not for fixed-length files), and, through the options dialog, the encoding
// and the byte-order-mark choice. Either side may be taken from the clipboard: the clipboard text
// is written, as CP932, to tmpA.dat (left) or tmpB.dat (right) in the program folder and that path
// is put in the path field. On "次へ(&N)" it checks that both paths name files with data; it reads
// no records itself.
//
// Calling order: create (Result() 0); Preset (or the single setters); exec(); when Result()
// is 1, ReadBack (or the single getters); destroy. The close box and "キャンセル(&C)"
// leave Result() at 0.

#include <QDialog>
#include <string>

#include "compare/CompareSession.h"  // CompareSettings, the file kinds and Side

class QCheckBox;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QToolButton;

namespace korvel {

class SettingsStore;

class FileSelectionDialog : public QDialog {
  Q_OBJECT

 public:
  // Which button of the file-kind group is checked.
  enum class KindButton { kCsv, kTab, kFixed, kOther };

  // `global` (not owned) builds the clipboard files' paths and is handed to the options
  // dialog; it must outlive this dialog.
  explicit FileSelectionDialog(SettingsStore& global, QWidget* parent = nullptr);

  // Presets every control and state from the chain's settings: the delimiter box, the kind
  // (kind 1 checks TAB when Delimiter is TAB, the other-delimiter button otherwise), the
  // check box, the paths, then the encoding with the clipboard flag, and the BOM flag. A
  // caller with two dropped files puts them in PathL and PathR with FromClipboard false.
  void Preset(const CompareSettings& values);
  // Writes back what the user confirmed: OtherDelimiter (first byte of its box, 0 when
  // empty); the kind (CSV: 0, Delimiter kept; TAB: 1 with TAB; fixed: 2, Delimiter kept;
  // other: 1 with the new OtherDelimiter); TopRowNames; MatchNames (false while its box is
  // disabled); Encoding, DetectBom and
  // FromClipboard; PathL and PathR. The other members are left alone.
  void ReadBack(CompareSettings& values) const;

  // The single operations Preset and ReadBack are made of.
  void SetOtherDelimiter(char delimiter);
  void SetFileKind(int fileKind, char delimiter);
  void SetTopRowNames(bool topRowNames);
  void SetMatchNames(bool matchNames);
  void SetPaths(const std::string& pathL, const std::string& pathR);
  void SetEncodingChoice(int encoding, bool fromClipboard);
  void SetBomChoice(bool detectBom);
  char OtherDelimiter() const;
  KindButton CheckedKind() const;
  bool TopRowNames() const;
  bool MatchNames() const;
  std::string PathL() const;
  std::string PathR() const;
  int EncodingChoice() const { return encoding_; }
  bool BomChoice() const { return bom_; }
  bool FromClipboard() const { return clipboardFlag_; }

  // 1 after a successful "次へ(&N)"; 0 otherwise.
  int Result() const { return result_; }

  // The largest clipboard text taken, in CP932 bytes.
  static constexpr std::size_t kMaxClipboardBytes = 640000;

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void CreateControls();
  void CreateKindGroup();
  void CreatePathRow(Side side, int top);
  QLineEdit* PathEdit(Side side) const;
  void UpdateMatchNames();

  void cmd_RunClick();
  void cmd_CancelClick();
  void cmd_OptionClick();
  void BrowseClick(Side side);
  void CaptureClipboardClick(Side side);

  SettingsStore& global_;
  int result_ = 0;
  int encoding_ = 0;
  bool bom_ = true;
  bool clipboardFlag_ = false;
  bool centred_ = false;

  QRadioButton* grp_FileKindCSV_ = nullptr;
  QRadioButton* grp_FileKindTab_ = nullptr;
  QRadioButton* grp_FileKindFix_ = nullptr;
  QRadioButton* grp_FileKindEtc_ = nullptr;
  QLineEdit* txt_FileKindCr_ = nullptr;
  QCheckBox* chk_TopField_ = nullptr;
  QCheckBox* chk_MatchNames_ = nullptr;
  QLineEdit* txt_PathA_ = nullptr;
  QLineEdit* txt_PathB_ = nullptr;
  QPushButton* cmd_Option_ = nullptr;
  QPushButton* cmd_Run_ = nullptr;
  QPushButton* cmd_Cancel_ = nullptr;
};

}  // namespace korvel
