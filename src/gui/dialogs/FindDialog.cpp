#include "dialogs/FindDialog.h"

#include <QCheckBox>
#include <QFont>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>

#include "grid/FindText.h"
#include "qt/QtNotifier.h"
#include "qt/QtText.h"

namespace korvel {
namespace {

QFont DialogFont() {
  QFont font(Q("Noto Sans CJK JP"));
  font.setStyleHint(QFont::SansSerif);
  font.setPixelSize(12);
  return font;
}

QPushButton* NewButton(QWidget* parent, const char* caption, const QRect& geometry) {
  auto* button = new QPushButton(Q(caption), parent);
  button->setGeometry(geometry);
  return button;
}

}  // namespace

FindDialog::FindDialog(QWidget* owner)
    : QDialog(owner, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                         Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint),
      mode_(kFindIgnoreCase) {
  setObjectName(QStringLiteral("FindDialog"));
  setWindowTitle(Q("検索"));
  setFont(DialogFont());
  setFixedSize(kClientWidth, kClientHeight);
  BuildControls();
  CentreOnScreen();
}

void FindDialog::BuildControls() {
  Label1 = new QLabel(Q("検索文字列"), this);
  Label1->setObjectName(QStringLiteral("Label1"));
  Label1->move(40, 32);
  Label1->adjustSize();
  txt_Keyword = new QLineEdit(this);
  txt_Keyword->setObjectName(QStringLiteral("txt_Keyword"));
  txt_Keyword->setGeometry(112, 32, 265, 20);
  txt_Keyword->setMaxLength(kKeywordMaxChars);
  chk_ABS = new QCheckBox(Q("大文字小文字判断する"), this);
  chk_ABS->setObjectName(QStringLiteral("chk_ABS"));
  chk_ABS->setGeometry(112, 72, 145, 17);

  cmd_FindUp = NewButton(this, "上検索", QRect(392, 24, 97, 25));
  cmd_FindUp->setObjectName(QStringLiteral("cmd_FindUp"));
  cmd_FindDown = NewButton(this, "下検索", QRect(392, 56, 97, 25));
  cmd_FindDown->setObjectName(QStringLiteral("cmd_FindDown"));
  cmd_Cancel = NewButton(this, "キャンセル(&C)", QRect(392, 88, 97, 25));
  cmd_Cancel->setObjectName(QStringLiteral("cmd_Cancel"));
  // Enter in the edit searches downward; Esc (QDialog's reject) cancels.
  cmd_FindDown->setDefault(true);
  connect(cmd_FindUp, &QPushButton::clicked, this, &FindDialog::cmd_FindUpClick);
  connect(cmd_FindDown, &QPushButton::clicked, this, &FindDialog::cmd_FindDownClick);
  connect(cmd_Cancel, &QPushButton::clicked, this, &FindDialog::cmd_CancelClick);

  QWidget::setTabOrder(txt_Keyword, chk_ABS);
  QWidget::setTabOrder(chk_ABS, cmd_FindUp);
  QWidget::setTabOrder(cmd_FindUp, cmd_FindDown);
  QWidget::setTabOrder(cmd_FindDown, cmd_Cancel);
  txt_Keyword->setFocus();
}

void FindDialog::CentreOnScreen() {
  QScreen* screen = parentWidget() ? parentWidget()->screen() : QGuiApplication::primaryScreen();
  if (!screen) return;
  QRect frame(QPoint(0, 0), size());
  frame.moveCenter(screen->availableGeometry().center());
  move(frame.topLeft());
}

void FindDialog::SetKeyword(std::string_view cp932) { keyword_ = std::string(cp932); }

void FindDialog::SetMode(int findMode) { mode_ = findMode; }

void FindDialog::showEvent(QShowEvent* event) {
  txt_Keyword->setText(ToQString(keyword_));
  chk_ABS->setChecked(FindModeDistinguishesCase(mode_));
  // As a dialog's first edit does, it holds the old text selected, so typing replaces it.
  txt_Keyword->selectAll();
  txt_Keyword->setFocus();
  QDialog::showEvent(event);
}

void FindDialog::TakeSearch(int direction) {
  const std::string typed = ToCp932(txt_Keyword->text());
  if (!ShowOutcome(CheckFindKeyword(typed))) {
    txt_Keyword->setFocus();
    return;
  }
  // 200 double-byte characters are 400 bytes; the window keeps at most 255.
  keyword_ = ClipFindText(typed);
  mode_ = FindModeFor(chk_ABS->isChecked());
  direction_ = direction;
  accept();
}

void FindDialog::cmd_CancelClick() { reject(); }

void FindDialog::done(int result) {
  // Cancel, Esc and the close box all end here without a direction.
  if (result != QDialog::Accepted) direction_ = 0;
  QDialog::done(result);
}

}  // namespace korvel
