#pragma once
// FindDialog: the find dialog. It asks for the search text, whether case matters and the
// direction; the main window then searches (MainWindow::FindNext).
//
// Use: construct it, hand it the window's FindText and FindMode, exec() it, and read the
// answer before it goes out of scope:
//
//   FindDialog dialog(this);
//   dialog.SetKeyword(FindText);
//   dialog.SetMode(FindMode);
//   dialog.exec();
//   if (dialog.Direction() != 0) { FindText = dialog.Keyword(); FindMode = dialog.Mode(); }
//
// "上検索" and "下検索" refuse an empty text with the warning "検索文字列を入力してください。"
// (grid/FindText.h, shown through qt/QtNotifier.h) and keep the dialog open; otherwise they take
// the text and the mode and close it with the direction -1 or 1. "キャンセル(&C)", Esc and the
// close box leave the direction at 0.

#include <QDialog>
#include <string>
#include <string_view>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace korvel {

class FindDialog : public QDialog {
  Q_OBJECT

 public:
  static constexpr int kClientWidth = 506;
  static constexpr int kClientHeight = 124;
  // The edit takes at most this many characters.
  static constexpr int kKeywordMaxChars = 200;

  // Starts with the direction 0, an empty keyword and mode 3 (case ignored).
  explicit FindDialog(QWidget* owner = nullptr);

  // What the dialog shows when it is shown: the keyword (CP932) in the edit, and the case
  // check box checked exactly when `findMode` is greater than 3.
  void SetKeyword(std::string_view cp932);
  void SetMode(int findMode);

  // The answer: 0 (cancelled or closed), -1 upward or 1 downward; the keyword taken from
  // the edit (CP932, cut to kFindTextMaxBytes without splitting a character); the mode, 3
  // or 7 (FindModeFor the check box).
  int Direction() const { return direction_; }
  const std::string& Keyword() const { return keyword_; }
  int Mode() const { return mode_; }

  // The controls, owned by the dialog; reachable so that tests can drive them as a user
  // would.
  QLabel* Label1;
  QLineEdit* txt_Keyword;
  QPushButton* cmd_FindUp;
  QPushButton* cmd_FindDown;
  QPushButton* cmd_Cancel;
  QCheckBox* chk_ABS;

 protected:
  void showEvent(QShowEvent* event) override;
  void done(int result) override;

 private:
  void BuildControls();
  void CentreOnScreen();
  void cmd_FindUpClick() { TakeSearch(-1); }
  void cmd_FindDownClick() { TakeSearch(1); }
  void cmd_CancelClick();
  void TakeSearch(int direction);

  int direction_ = 0;
  std::string keyword_;
  int mode_;
};

}  // namespace korvel
