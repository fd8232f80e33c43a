#include "dialogs/ExportDialog.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFont>
#include <QGroupBox>
#include <QGuiApplication>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPixmap>
#include <QPolygon>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QToolButton>
#include <optional>
#include <string>
#include <utility>

#include "dialogs/FileChooser.h"
#include "dialogs/ProgressDialog.h"
#include "io/PathText.h"
#include "qt/QtNotifier.h"
#include "qt/QtText.h"

namespace korvel {
namespace {

constexpr int kClientWidth = 491;
constexpr int kClientHeight = 227;

const char kFileFilter[] =
    "xmlファイル(*.xml)|*.xml|csvファイル(*.csv)|*.csv|xlsファイル(*.xls)|*.xls|"
    "Excel ブック (*.xlsx)|*.xlsx|全てのファイル(*.*)|*.*";

std::string_view FormatExtension(ExportFormat format) {
  switch (format) {
    case ExportFormat::kCsv:
      return ".csv";
    case ExportFormat::kXlsx:
      return ".xlsx";
    case ExportFormat::kXml:
      break;
  }
  return ".xml";
}

// The filter the picker opens on: its place in kFileFilter.
int FormatFilterIndex(ExportFormat format) {
  switch (format) {
    case ExportFormat::kCsv:
      return 2;
    case ExportFormat::kXlsx:
      return 4;  // Excel ブック
    case ExportFormat::kXml:
      break;
  }
  return 1;
}

QFont DialogFont() {
  QFont font(Q("Noto Sans CJK JP"));
  font.setStyleHint(QFont::SansSerif);
  font.setPixelSize(12);
  return font;
}

// A small closed folder, drawn here so that the program needs no picture files.
QIcon FolderIcon() {
  QPixmap pixmap(16, 16);
  pixmap.fill(Qt::transparent);
  QPainter painter(&pixmap);
  const QColor outline(128, 96, 0);
  painter.setPen(outline);
  painter.setBrush(QColor(255, 214, 80));
  painter.drawPolygon(QPolygon(
      {QPoint(1, 3), QPoint(6, 3), QPoint(8, 5), QPoint(14, 5), QPoint(14, 13), QPoint(1, 13)}));
  painter.setBrush(QColor(255, 236, 150));
  painter.drawRect(1, 6, 13, 7);
  return QIcon(pixmap);
}

// The busy cursor for as long as the object lives, so that it is restored on every way out.
class BusyCursor {
 public:
  BusyCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
  ~BusyCursor() { QApplication::restoreOverrideCursor(); }
  BusyCursor(const BusyCursor&) = delete;
  BusyCursor& operator=(const BusyCursor&) = delete;
};

// Tab enters a group of radio buttons at its chosen button rather than at its first one,
// so the keyboard lands on the choice in force; the arrow keys move within the group.
void KeepTabStopOnChecked(QRadioButton* radio) {
  radio->setFocusPolicy(radio->isChecked() ? Qt::StrongFocus : Qt::ClickFocus);
  QObject::connect(radio, &QRadioButton::toggled, radio, [radio](bool checked) {
    radio->setFocusPolicy(checked ? Qt::StrongFocus : Qt::ClickFocus);
  });
}

// A group box whose caption sits on its top border, so that buttons placed 16 pixels down
// are inside the frame whatever style draws the window (some styles put the caption above
// the frame and push the frame down).
QGroupBox* NewGroup(QWidget* parent, const char* caption, const QRect& geometry) {
  auto* group = new QGroupBox(Q(caption), parent);
  group->setGeometry(geometry);
  group->setStyleSheet(QStringLiteral(
      "QGroupBox { border: 1px solid palette(mid); border-radius: 2px; margin-top: 6px; }"
      "QGroupBox::title { subcontrol-origin: margin; left: 8px; padding: 0px 2px; }"));
  return group;
}

QRadioButton* NewRadio(QWidget* parent, const char* caption, const QRect& geometry) {
  auto* radio = new QRadioButton(Q(caption), parent);
  radio->setGeometry(geometry);
  return radio;
}

}  // namespace

QStringList ToQtNameFilters(const QString& filter) {
  QStringList nameFilters;
  const QStringList parts = filter.split(QLatin1Char('|'));
  for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
    QStringList patterns = parts[i + 1].split(QLatin1Char(';'), Qt::SkipEmptyParts);
    for (QString& pattern : patterns) {
      pattern = pattern.trimmed();
      // Qt matches "*.*" only against names with a dot; the program means every file.
      if (pattern == QLatin1String("*.*")) pattern = QStringLiteral("*");
    }
    nameFilters.append(parts[i] + QStringLiteral(" (") + patterns.join(QLatin1Char(' ')) +
                       QLatin1Char(')'));
  }
  return nameFilters;
}

QString ShowSaveFileDialog(QWidget* parent, const SaveDialogRequest& request) {
  QFileDialog dialog(parent);
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setFileMode(QFileDialog::AnyFile);
  // The export asks before replacing a file; asking here as well would ask twice.
  dialog.setOption(QFileDialog::DontConfirmOverwrite);
  // Qt's own dialog follows the program's Japanese translation; a desktop's would not.
  dialog.setOption(QFileDialog::DontUseNativeDialog);
  dialog.setOption(QFileDialog::HideNameFilterDetails);
  dialog.setNameFilters(request.nameFilters);
  if (request.filterIndex >= 1 && request.filterIndex <= request.nameFilters.size()) {
    dialog.selectNameFilter(request.nameFilters[request.filterIndex - 1]);
  }
  if (!request.directory.isEmpty()) dialog.setDirectory(request.directory);
  if (!request.fileName.isEmpty()) dialog.selectFile(request.fileName);
  FitFileDialog(dialog);
  if (dialog.exec() != QDialog::Accepted) return {};
  const QStringList files = dialog.selectedFiles();
  return files.isEmpty() ? QString() : files.first();
}

ExportDialog::ExportDialog(const ExportSource& source, QWidget* parent)
    : QDialog(parent), source_(source), saveDialog_(ShowSaveFileDialog) {
  setWindowTitle(Q("結果エクスポート"));
  // A dialog of fixed size offers no maximise button.
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
  setFont(DialogFont());
  setFixedSize(kClientWidth, kClientHeight);
  BuildFormatGroup();
  BuildLayoutGroup();
  BuildPathRow();
  BuildButtons();
  SetTabOrder();
  txt_Path->setFocus();
  CentreOnScreen();
}

void ExportDialog::BuildFormatGroup() {
  grp_ExpFormat = NewGroup(this, "出力形式", QRect(16, 8, 345, 41));
  rdo_ExpFormatXML = NewRadio(grp_ExpFormat, "XML", QRect(16, 16, 65, 17));
  rdo_ExpFormatCSV = NewRadio(grp_ExpFormat, "CSV(カンマ区切り)", QRect(88, 16, 145, 17));
  rdo_ExpFormatXLSX = NewRadio(grp_ExpFormat, "Excel(.xlsx)", QRect(240, 16, 97, 17));
  rdo_ExpFormatXML->setChecked(true);
  KeepTabStopOnChecked(rdo_ExpFormatXML);
  KeepTabStopOnChecked(rdo_ExpFormatCSV);
  KeepTabStopOnChecked(rdo_ExpFormatXLSX);
  // The extension follows the format when a button becomes the chosen one (by mouse or by
  // arrow key); clicking the format already chosen leaves a typed extension alone.
  connect(rdo_ExpFormatXML, &QRadioButton::toggled, this, [this](bool checked) {
    if (checked) rdo_ExpFormatXMLClick();
  });
  connect(rdo_ExpFormatCSV, &QRadioButton::toggled, this, [this](bool checked) {
    if (checked) rdo_ExpFormatCSVClick();
  });
  connect(rdo_ExpFormatXLSX, &QRadioButton::toggled, this, [this](bool checked) {
    if (checked) rdo_ExpFormatXLSXClick();
  });
}

void ExportDialog::BuildLayoutGroup() {
  grp_ExpKind = NewGroup(this, "出力方法", QRect(16, 56, 345, 41));
  rdo_ExpKindSheet = NewRadio(grp_ExpKind, "シート別", QRect(16, 16, 81, 17));
  rdo_ExpKindCol = NewRadio(grp_ExpKind, "項目毎交互", QRect(104, 16, 97, 17));
  rdo_ExpKindRow = NewRadio(grp_ExpKind, "行交互", QRect(208, 16, 97, 17));
  rdo_ExpKindCol->setChecked(true);
  for (QRadioButton* radio : {rdo_ExpKindSheet, rdo_ExpKindCol, rdo_ExpKindRow}) {
    KeepTabStopOnChecked(radio);
  }
}

void ExportDialog::BuildPathRow() {
  Label1 = new QLabel(Q("出力先"), this);
  Label1->setGeometry(16, 128, 41, 20);
  Label1->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  txt_Path = new QLineEdit(this);
  txt_Path->setGeometry(64, 128, 353, 20);
  cmd_PathA = new QToolButton(this);
  cmd_PathA->setGeometry(416, 128, 25, 20);
  cmd_PathA->setAutoRaise(true);
  cmd_PathA->setIcon(FolderIcon());
  cmd_PathA->setIconSize(QSize(16, 16));
  // A flat picture button never takes the focus; it stays out of the tab order.
  cmd_PathA->setFocusPolicy(Qt::NoFocus);
  connect(cmd_PathA, &QToolButton::clicked, this, &ExportDialog::cmd_PathAClick);
}

void ExportDialog::BuildButtons() {
  cmd_Run = new QPushButton(Q("出力実行(&R)"), this);
  cmd_Run->setGeometry(264, 176, 97, 33);
  cmd_Cancel = new QPushButton(Q("キャンセル(&C)"), this);
  cmd_Cancel->setGeometry(368, 176, 97, 33);
  // Neither button is the dialog's default: Enter in the path box must not start an export
  // the user did not ask for.
  cmd_Run->setAutoDefault(false);
  cmd_Cancel->setAutoDefault(false);
  connect(cmd_Run, &QPushButton::clicked, this, &ExportDialog::cmd_RunClick);
  connect(cmd_Cancel, &QPushButton::clicked, this, &ExportDialog::cmd_CancelClick);
}

void ExportDialog::SetTabOrder() {
  QWidget::setTabOrder(txt_Path, cmd_Run);
  QWidget::setTabOrder(cmd_Run, cmd_Cancel);
  QWidget::setTabOrder(cmd_Cancel, rdo_ExpFormatXML);
  QWidget::setTabOrder(rdo_ExpFormatXML, rdo_ExpFormatCSV);
  QWidget::setTabOrder(rdo_ExpFormatCSV, rdo_ExpFormatXLSX);
  QWidget::setTabOrder(rdo_ExpFormatXLSX, rdo_ExpKindSheet);
  QWidget::setTabOrder(rdo_ExpKindSheet, rdo_ExpKindCol);
  QWidget::setTabOrder(rdo_ExpKindCol, rdo_ExpKindRow);
}

void ExportDialog::CentreOnScreen() {
  QScreen* screen = parentWidget() ? parentWidget()->screen() : QGuiApplication::primaryScreen();
  if (!screen) return;
  QRect frame(QPoint(0, 0), size());
  frame.moveCenter(screen->availableGeometry().center());
  move(frame.topLeft());
}

void ExportDialog::SetSaveDialog(SaveDialogFunction saveDialog) {
  saveDialog_ = saveDialog ? std::move(saveDialog) : SaveDialogFunction(ShowSaveFileDialog);
}

ExportFormat ExportDialog::Format() const {
  if (rdo_ExpFormatCSV->isChecked()) return ExportFormat::kCsv;
  if (rdo_ExpFormatXLSX->isChecked()) return ExportFormat::kXlsx;
  return ExportFormat::kXml;
}

ExportLayout ExportDialog::Layout() const {
  if (rdo_ExpKindSheet->isChecked()) return ExportLayout::kPerSheet;
  if (rdo_ExpKindRow->isChecked()) return ExportLayout::kAlternateRows;
  return ExportLayout::kAlternateFields;
}

std::string ExportDialog::OutputPath() const { return txt_Path->text().toStdString(); }

void ExportDialog::ChangeFormatExtension() {
  std::string path = OutputPath();
  if (path.empty()) return;
  PathText::ChangeExtension(path, FormatExtension(Format()), true);
  txt_Path->setText(QString::fromStdString(path));
}

void ExportDialog::rdo_ExpFormatXMLClick() { ChangeFormatExtension(); }

void ExportDialog::rdo_ExpFormatCSVClick() { ChangeFormatExtension(); }

void ExportDialog::rdo_ExpFormatXLSXClick() { ChangeFormatExtension(); }

void ExportDialog::cmd_PathAClick() {
  SaveDialogRequest request;
  request.nameFilters = ToQtNameFilters(Q(kFileFilter));
  request.filterIndex = FormatFilterIndex(Format());
  request.fileName = lastPicked_;
  // The folder of the output path when it names one, else where the last save went.
  const QFileInfo typed(txt_Path->text());
  request.directory = !txt_Path->text().isEmpty() && typed.absoluteDir().exists()
                          ? typed.absolutePath()
                          : LastSaveFolder();
  const QString picked = saveDialog_(this, request);
  if (picked.isEmpty()) return;
  lastPicked_ = picked;
  RememberSaveFolder(picked);
  std::string path = picked.toStdString();
  PathText::ChangeExtension(path, FormatExtension(Format()), false);
  txt_Path->setText(QString::fromStdString(path));
}

void ExportDialog::cmd_RunClick() {
  const std::string path = OutputPath();
  const ExportFormat format = Format();
  bool replace = false;
  if (!ShowOutcome(ConfirmExport(path, format, source_.PairCount(), WindowPrompter(), &replace))) {
    return;
  }
  const ExportLayout layout = Layout();
  int result;
  {
    BusyCursor busy;
    // A long export shows the progress dialog; its 中止 leaves the file as it was and says
    // nothing.
    const std::optional<Status> written = RunWithProgress(
        this,
        [&](Progress& progress) {
          return Status(WriteExport(source_, format, layout, path, progress, replace));
        },
        ProgressKind::kExport);
    if (!written) return;
    result = written->Code();
  }
  // The message comes after the cursor is back, so the user is not shown a busy box.
  (void)ShowOutcome(ExportOutcome(result, path));
}

void ExportDialog::cmd_CancelClick() { reject(); }

}  // namespace korvel
