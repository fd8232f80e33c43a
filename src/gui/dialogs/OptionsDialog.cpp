#include "dialogs/OptionsDialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <algorithm>

#include "dialogs/DialogKit.h"
#include "platform/Codepage.h"
#include "qt/QtNotifier.h"
#include "qt/QtText.h"
#include "settings/SettingsStore.h"

namespace korvel {
namespace {

// Item index of the encoding box for an encoding code; unknown codes read as Shift-JIS.
int EncodingItem(int code) {
  if (code == kEncodingUtf16) return 1;
  if (code == kEncodingUtf8) return 2;
  if (code == kEncodingEucJp) return 3;
  if (IsAutoEncoding(code)) return 4;
  return 0;
}

int EncodingOfItem(int item) {
  if (item == 1) return kEncodingUtf16;
  if (item == 2) return kEncodingUtf8;
  if (item == 3) return kEncodingEucJp;
  if (item == 4) return kEncodingAuto;
  return kEncodingSjis;
}

}  // namespace

OptionsDialog::OptionsDialog(SettingsStore& global, QWidget* parent)
    : QDialog(parent), global_(global) {
  SetUpFixedDialog(this, Q("オプション"), 441, 204);
  CreateControls();
  FormCreate();
}

void OptionsDialog::CreateControls() {
  auto* label4 = PlaceControl<QLabel>(this, "Label4", {24, 32, 0, 0});
  label4->setText(Q("文字コード"));
  label4->adjustSize();

  cbo_MoziCode_ = PlaceControl<QComboBox>(this, "cbo_MoziCode", {88, 28, 113, 20});
  cbo_MoziCode_->addItems({Q("SHIFT-JIS"), Q("UTF-16"), Q("UTF-8"), Q("EUC-JP"), Q("自動判定")});

  chk_Bom_ = PlaceControl<QCheckBox>(this, "chk_Bom", {208, 32, 153, 17});
  chk_Bom_->setText(Q("UnicodeのBOM自動認識"));
  FitWidth(chk_Bom_);

  chk_TabOldType_ = PlaceControl<QCheckBox>(this, "chk_TabOldType", {24, 64, 337, 17});
  chk_TabOldType_->setText(Q("TAB区切りでのダブルコーテーションの扱いを旧タイプにする"));
  FitWidth(chk_TabOldType_);

  auto* label1 = PlaceControl<QLabel>(this, "Label1", {24, 98, 0, 0});
  label1->setText(Q("改行文字の置き換え"));
  label1->adjustSize();

  cbo_RetMoziIndex_ = PlaceControl<QComboBox>(this, "cbo_RetMoziIndex", {144, 96, 105, 20});
  cbo_RetMoziIndex_->addItems({Q("置き換え無し"), Q("（全角スペース）"), Q("¶")});
  // What 置き換え無し costs is not visible from its name: the cell keeps its line breaks,
  // and only its first line is compared.
  cbo_RetMoziIndex_->setToolTip(Q(
      "引用符で囲まれたセル内の改行の置き換え。置き換え無しでは、改行を含むセルは1行目だけを"
      "比較します (2行目以降の相違は見えません)。全角スペースか ¶ を選ぶとセル全体を比較します。"));

  auto* label2 = PlaceControl<QLabel>(this, "Label2", {24, 130, 0, 0});
  label2->setText(Q("数値の許容差"));
  label2->adjustSize();

  txt_NumTol_ = PlaceControl<QLineEdit>(this, "txt_NumTol", {144, 128, 105, 20});

  cmd_Ok_ = PlaceControl<QPushButton>(this, "cmd_Ok", {240, 160, 89, 33});
  cmd_Ok_->setText(Q("OK(&O)"));
  cmd_Cancel_ = PlaceControl<QPushButton>(this, "cmd_Cancel", {336, 160, 89, 33});
  cmd_Cancel_->setText(Q("キャンセル(&C)"));

  connect(cmd_Ok_, &QPushButton::clicked, this, &OptionsDialog::cmd_OkClick);
  connect(cmd_Cancel_, &QPushButton::clicked, this, &OptionsDialog::cmd_CancelClick);

  setTabOrder(cmd_Ok_, cmd_Cancel_);
  setTabOrder(cmd_Cancel_, cbo_MoziCode_);
  setTabOrder(cbo_MoziCode_, chk_Bom_);
  setTabOrder(chk_Bom_, chk_TabOldType_);
  setTabOrder(chk_TabOldType_, cbo_RetMoziIndex_);
  setTabOrder(cbo_RetMoziIndex_, txt_NumTol_);
  cmd_Ok_->setFocus();
}

void OptionsDialog::FormCreate() {
  accepted_ = false;
  chk_TabOldType_->setChecked(global_.GetTabOldType() != 0);
  int mode = global_.GetNewlineMode();
  cbo_RetMoziIndex_->setCurrentIndex(mode == 1 || mode == 2 ? mode : 0);
  txt_NumTol_->setText(ToQString(global_.GetNumberTolerance()));
}

void OptionsDialog::SetEncodingChoice(int code, bool locked) {
  chosenEncoding_ = code;
  encodingLocked_ = locked;
  cbo_MoziCode_->setCurrentIndex(locked ? 0 : EncodingItem(code));
  cbo_MoziCode_->setEnabled(!locked);
}

void OptionsDialog::SetBomChoice(bool flag) {
  chosenBom_ = flag;
  chk_Bom_->setChecked(flag);
}

void OptionsDialog::cmd_OkClick() {
  // Checked first, so that a refusal leaves every setting as it was.
  const std::string tolerance = ToCp932(txt_NumTol_->text());
  DecimalNumber parsed;
  if (!ParseTolerance(tolerance, &parsed)) {
    (void)ShowOutcome(Status::Warning(
        -1, Sjis("数値の許容差が不正です。0以上1e15以下の数値を入力してください。")));
    txt_NumTol_->setFocus();
    txt_NumTol_->selectAll();
    return;
  }
  (void)global_.SetNumberTolerance(tolerance);
  // 自動判定 left as it was keeps the caller's request, whose fallback may be another CODE.
  const int item = cbo_MoziCode_->currentIndex();
  const bool keptAuto = IsAutoEncoding(chosenEncoding_) && item == EncodingItem(chosenEncoding_);
  if (!encodingLocked_ && !keptAuto) chosenEncoding_ = EncodingOfItem(item);
  chosenBom_ = chk_Bom_->isChecked();
  global_.SetTabOldType(chk_TabOldType_->isChecked() ? 1 : 0);
  global_.SetNewlineMode(std::max(0, cbo_RetMoziIndex_->currentIndex()));
  accepted_ = true;
  accept();
}

void OptionsDialog::cmd_CancelClick() {
  accepted_ = false;
  reject();
}

void OptionsDialog::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (!centred_) {
    centred_ = true;
    CenterOnScreen(this);
  }
}

}  // namespace korvel
