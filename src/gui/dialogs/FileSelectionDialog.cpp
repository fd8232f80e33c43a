#include "dialogs/FileSelectionDialog.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <QRadioButton>
#include <QToolButton>
#include <new>
#include <vector>

#include "compare/InputFiles.h"
#include "dialogs/DialogKit.h"
#include "dialogs/FileChooser.h"
#include "dialogs/OptionsDialog.h"
#include "io/TextFile.h"
#include "platform/Codepage.h"
#include "platform/Notifier.h"
#include "qt/QtNotifier.h"
#include "qt/QtText.h"
#include "settings/SettingsStore.h"

namespace korvel {
namespace {

// Qt hands clipboard text over with LF line ends on every system, while the readers (the
// fixed-length one above all) end lines at CR. The system's 8-bit clipboard text has CR LF,
// so that is what the capture file gets.
std::string WithCrLf(const std::string& text) {
  std::string out;
  out.reserve(text.size() + text.size() / 16);
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r')) out.push_back('\r');
    out.push_back(text[i]);
  }
  return out;
}

std::vector<FileFilter> BrowseFilters() {
  return {{Q("全てのファイル(*.*)"), Q("*.*")}, {Q("CSVファイル(*.csv)"), Q("*.csv")}};
}

}  // namespace

FileSelectionDialog::FileSelectionDialog(SettingsStore& global, QWidget* parent)
    : QDialog(parent), global_(global) {
  SetUpFixedDialog(this, Q("比較ファイル選択"), 576, 197);
  CreateControls();
}

void FileSelectionDialog::CreateControls() {
  CreateKindGroup();

  chk_TopField_ = PlaceControl<QCheckBox>(this, "chk_TopField", {24, 56, 0, 17});
  chk_TopField_->setText(Q("先頭行フィールド"));
  chk_TopField_->adjustSize();
  chk_MatchNames_ = PlaceControl<QCheckBox>(this, "chk_MatchNames", {184, 56, 0, 17});
  chk_MatchNames_->setText(Q("項目名で対応付け"));
  chk_MatchNames_->adjustSize();
  // Names exist only in a header line; fixed-length fields have their definitions' names
  // on both sides alike, so there is nothing to pair.
  connect(chk_TopField_, &QCheckBox::toggled, this, &FileSelectionDialog::UpdateMatchNames);
  connect(grp_FileKindFix_, &QRadioButton::toggled, this, &FileSelectionDialog::UpdateMatchNames);
  UpdateMatchNames();

  CreatePathRow(Side::kLeft, 80);
  CreatePathRow(Side::kRight, 112);

  cmd_Option_ = PlaceControl<QPushButton>(this, "cmd_Option", {16, 152, 97, 33});
  cmd_Option_->setText(Q("詳細設定..."));
  cmd_Run_ = PlaceControl<QPushButton>(this, "cmd_Run", {376, 152, 97, 33});
  cmd_Run_->setText(Q("次へ(&N)"));
  cmd_Cancel_ = PlaceControl<QPushButton>(this, "cmd_Cancel", {480, 152, 89, 33});
  cmd_Cancel_->setText(Q("キャンセル(&C)"));
  connect(cmd_Option_, &QPushButton::clicked, this, &FileSelectionDialog::cmd_OptionClick);
  connect(cmd_Run_, &QPushButton::clicked, this, &FileSelectionDialog::cmd_RunClick);
  connect(cmd_Cancel_, &QPushButton::clicked, this, &FileSelectionDialog::cmd_CancelClick);

  setTabOrder(txt_PathA_, txt_PathB_);
  setTabOrder(txt_PathB_, cmd_Run_);
  setTabOrder(cmd_Run_, cmd_Cancel_);
  setTabOrder(cmd_Cancel_, cmd_Option_);
  setTabOrder(cmd_Option_, grp_FileKindCSV_);
  setTabOrder(grp_FileKindCSV_, grp_FileKindTab_);
  setTabOrder(grp_FileKindTab_, grp_FileKindFix_);
  setTabOrder(grp_FileKindFix_, grp_FileKindEtc_);
  setTabOrder(grp_FileKindEtc_, txt_FileKindCr_);
  setTabOrder(txt_FileKindCr_, chk_TopField_);
  setTabOrder(chk_TopField_, chk_MatchNames_);
  txt_PathA_->setFocus();
}

void FileSelectionDialog::CreateKindGroup() {
  auto* group = PlaceControl<QGroupBox>(this, "grp_FileKind", {16, 8, 481, 41});
  group->setTitle(Q("ファイル種類"));
  PutCaptionOnBorder(group);
  auto radio = [group](const char* name, int left, const char* caption) {
    auto* button = PlaceControl<QRadioButton>(group, name, {left, 16, 0, 17});
    button->setText(Q(caption));
    button->adjustSize();
    return button;
  };
  grp_FileKindCSV_ = radio("grp_FileKindCSV", 16, "CSV(カンマ区切り)");
  grp_FileKindTab_ = radio("grp_FileKindTab", 152, "TAB区切り");
  grp_FileKindFix_ = radio("grp_FileKindFix", 256, "固定長");
  grp_FileKindEtc_ = radio("grp_FileKindEtc", 336, "区切り(");
  grp_FileKindCSV_->setChecked(true);
  for (QRadioButton* r : {grp_FileKindCSV_, grp_FileKindTab_, grp_FileKindFix_, grp_FileKindEtc_}) {
    KeepTabStopOnChecked(r);
  }

  txt_FileKindCr_ = PlaceControl<QLineEdit>(group, "txt_FileKindCr", {400, 14, 25, 20});
  txt_FileKindCr_->setMaxLength(1);
  txt_FileKindCr_->setText(Q("|"));
  auto* close = PlaceControl<QLabel>(group, "Label3", {432, 18, 0, 0});
  close->setText(Q(")"));
  close->adjustSize();
}

void FileSelectionDialog::CreatePathRow(Side side, int top) {
  const bool left = side == Side::kLeft;
  auto* label = PlaceControl<QLabel>(this, left ? "Label1" : "Label2", {24, top, 0, 0});
  label->setText(left ? Q("パス(画面左)") : Q("パス(画面右)"));
  label->adjustSize();

  auto* edit = PlaceControl<QLineEdit>(this, left ? "txt_PathA" : "txt_PathB", {96, top, 337, 20});
  (left ? txt_PathA_ : txt_PathB_) = edit;
  // Any edit of either path means the paths no longer come from a capture.
  connect(edit, &QLineEdit::textChanged, this, [this]() { clipboardFlag_ = false; });

  auto* browse =
      PlaceControl<QToolButton>(this, left ? "cmd_PathA" : "cmd_PathB", {440, top, 41, 20});
  browse->setAutoRaise(true);
  browse->setFocusPolicy(Qt::NoFocus);
  browse->setIcon(FolderIcon());
  connect(browse, &QToolButton::clicked, this, [this, side]() { BrowseClick(side); });

  auto* capture =
      PlaceControl<QToolButton>(this, left ? "cmd_DataA" : "cmd_DataB", {488, top, 81, 20});
  capture->setAutoRaise(true);
  capture->setFocusPolicy(Qt::NoFocus);
  capture->setText(Q("クリップボード"));
  capture->setToolTip(Q("クリップボードの内容を比較します。"));
  connect(capture, &QToolButton::clicked, this, [this, side]() { CaptureClipboardClick(side); });
}

QLineEdit* FileSelectionDialog::PathEdit(Side side) const {
  return side == Side::kLeft ? txt_PathA_ : txt_PathB_;
}

// ---------------------------------------------------------------------------
// Presets and read-back

void FileSelectionDialog::Preset(const CompareSettings& values) {
  SetOtherDelimiter(values.OtherDelimiter);
  SetFileKind(values.FileKind, values.Delimiter);
  SetTopRowNames(values.TopRowNames);
  SetMatchNames(values.MatchNames);
  SetPaths(values.PathL, values.PathR);
  SetEncodingChoice(values.Encoding, values.FromClipboard);
  SetBomChoice(values.DetectBom);
}

void FileSelectionDialog::ReadBack(CompareSettings& values) const {
  values.OtherDelimiter = OtherDelimiter();
  switch (CheckedKind()) {
    case KindButton::kCsv:
      values.FileKind = kFileKindCsv;
      break;
    case KindButton::kTab:
      values.FileKind = kFileKindDelimited;
      values.Delimiter = '\t';
      break;
    case KindButton::kFixed:
      values.FileKind = kFileKindFixed;
      break;
    case KindButton::kOther:
      values.FileKind = kFileKindDelimited;
      values.Delimiter = values.OtherDelimiter;
      break;
  }
  values.TopRowNames = TopRowNames();
  values.MatchNames = MatchNames();
  values.Encoding = encoding_;
  values.DetectBom = bom_;
  values.FromClipboard = clipboardFlag_;
  values.PathL = PathL();
  values.PathR = PathR();
}

void FileSelectionDialog::SetOtherDelimiter(char delimiter) {
  txt_FileKindCr_->setText(delimiter ? ToQString(std::string_view(&delimiter, 1)) : QString());
}

void FileSelectionDialog::SetFileKind(int fileKind, char delimiter) {
  if (fileKind == kFileKindDelimited) {
    (delimiter == '\t' ? grp_FileKindTab_ : grp_FileKindEtc_)->setChecked(true);
  } else if (fileKind == kFileKindFixed) {
    grp_FileKindFix_->setChecked(true);
  } else {
    grp_FileKindCSV_->setChecked(true);
    for (QRadioButton* r :
         {grp_FileKindCSV_, grp_FileKindTab_, grp_FileKindFix_, grp_FileKindEtc_}) {
      KeepTabStopOnChecked(r);
    }
  }
}

void FileSelectionDialog::SetTopRowNames(bool topRowNames) {
  chk_TopField_->setChecked(topRowNames);
}

void FileSelectionDialog::SetMatchNames(bool matchNames) {
  chk_MatchNames_->setChecked(matchNames);
}

void FileSelectionDialog::UpdateMatchNames() {
  chk_MatchNames_->setEnabled(chk_TopField_->isChecked() && !grp_FileKindFix_->isChecked());
}

void FileSelectionDialog::SetPaths(const std::string& pathL, const std::string& pathR) {
  txt_PathA_->setText(PathToQString(pathL));
  txt_PathB_->setText(PathToQString(pathR));
}

void FileSelectionDialog::SetEncodingChoice(int encoding, bool fromClipboard) {
  encoding_ = encoding;
  clipboardFlag_ = fromClipboard;
}

void FileSelectionDialog::SetBomChoice(bool detectBom) { bom_ = detectBom; }

char FileSelectionDialog::OtherDelimiter() const {
  std::string text = ToCp932(txt_FileKindCr_->text());
  return text.empty() ? '\0' : text[0];
}

FileSelectionDialog::KindButton FileSelectionDialog::CheckedKind() const {
  if (grp_FileKindTab_->isChecked()) return KindButton::kTab;
  if (grp_FileKindFix_->isChecked()) return KindButton::kFixed;
  if (grp_FileKindEtc_->isChecked()) return KindButton::kOther;
  return KindButton::kCsv;
}

bool FileSelectionDialog::TopRowNames() const { return chk_TopField_->isChecked(); }
bool FileSelectionDialog::MatchNames() const {
  return chk_MatchNames_->isEnabled() && chk_MatchNames_->isChecked();
}
std::string FileSelectionDialog::PathL() const { return QStringToPath(txt_PathA_->text()); }
std::string FileSelectionDialog::PathR() const { return QStringToPath(txt_PathB_->text()); }

// ---------------------------------------------------------------------------
// Buttons

void FileSelectionDialog::cmd_RunClick() {
  if (txt_PathA_->text().isEmpty()) {
    Warn(Sjis("パス(画面左)を入力して下さい。"));
    txt_PathA_->setFocus();
    return;
  }
  if (txt_PathB_->text().isEmpty()) {
    Warn(Sjis("パス(画面右)を入力して下さい。"));
    txt_PathB_->setFocus();
    return;
  }
  // The delimiter is asked for whatever kind is chosen.
  if (txt_FileKindCr_->text().isEmpty()) {
    Warn(Sjis("区切り文字を入力して下さい。"));
    txt_FileKindCr_->setFocus();
    return;
  }
  const Status checked = ConfirmInputFiles(PathL(), PathR());
  if (!ShowOutcome(checked)) {
    PathEdit(checked.Code() == kInputLeftFailed ? Side::kLeft : Side::kRight)->setFocus();
    return;
  }
  result_ = 1;
  accept();
}

void FileSelectionDialog::cmd_CancelClick() {
  result_ = 0;
  reject();
}

void FileSelectionDialog::cmd_OptionClick() {
  OptionsDialog option(global_, this);
  option.SetEncodingChoice(encoding_, clipboardFlag_);
  option.SetBomChoice(bom_);
  option.exec();
  if (option.Accepted()) {
    encoding_ = option.ChosenEncoding();
    bom_ = option.ChosenBom();
  }
}

void FileSelectionDialog::BrowseClick(Side side) {
  int filterIndex = grp_FileKindCSV_->isChecked() ? 2 : 1;
  QString path = CurrentFileChooser().ChooseOpenFile(this, BrowseFilters(), filterIndex);
  if (path.isEmpty()) return;
  PathEdit(side)->setText(path);
  clipboardFlag_ = false;
}

void FileSelectionDialog::CaptureClipboardClick(Side side) {
  const std::string target = global_.MakePath(side == Side::kLeft ? "tmpA.dat" : "tmpB.dat");
  if (target.empty()) {
    // No program folder: the capture has nowhere to go.
    Warn(Sjis("書き込みに失敗しました。"));
    return;
  }

  const QMimeData* data = QGuiApplication::clipboard()->mimeData();
  if (!data || !data->hasText()) {
    Warn(Sjis("テキスト形式でありません。"));
    return;
  }
  std::string text;
  try {
    text = WithCrLf(ToCp932(data->text()));
  } catch (const std::bad_alloc&) {
    Warn(Sjis("領域確保に失敗しました。"));
    return;
  }
  if (text.empty()) {
    Warn(Sjis("内容がありません。"));
    return;
  }
  if (text.size() > kMaxClipboardBytes) {
    Warn(Sjis("サイズをオーバーしました。640Kバイト以上は指定できません。"));
    return;
  }

  TextFile file;
  // The program's own file: a link planted under its name is refused, never followed.
  file.SetFollowLinks(false);
  if (file.Open(target, TextFile::kModeWrite, kEncodingSjis) != 0) {
    Warn(Sjis("書き込みに失敗しました。"));
    return;
  }
  // A short write would leave a capture that silently lacks its end.
  const bool written = file.Write(text.data(), static_cast<int>(text.size())) > 0;
  // The capture takes its name only when it is whole on the disk.
  const bool closed = file.Close() == 0;
  if (!written || !closed) {
    Warn(Sjis("書き込みに失敗しました。"));
    return;
  }

  Info(Sjis("クリップボードより値を取得しました。"));
  QLineEdit* edit = PathEdit(side);
  edit->setText(PathToQString(target));
  edit->selectAll();
  edit->setFocus();
  clipboardFlag_ = true;
}

void FileSelectionDialog::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (!centred_) {
    centred_ = true;
    CenterOnScreen(this);
  }
}

}  // namespace korvel
