#include "dialogs/FileChooser.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QDateTime>
#include <QFileDialog>
#include <QFileInfo>
#include <QHeaderView>
#include <QLocale>
#include <QMimeDatabase>
#include <QScreen>
#include <QScrollBar>
#include <QStringList>
#include <QStyle>
#include <QTimer>
#include <QTreeView>
#include <algorithm>

#include "dialogs/ExportDialog.h"

namespace korvel {
namespace {

FileChooser* installed = nullptr;
QString lastSaveFolder;

// The widest text a column of the file list shows for the files a user meets here: sizes up
// to a thousand units, the types of the program's files and folders, a date with two-digit
// day, hour and minute.
QStringList ColumnSamples(int column) {
  const QLocale locale = QLocale::system();
  switch (column) {
    case 1:
      return {locale.formattedDataSize(1023LL * 1024 * 1024 + 1023LL * 1024 * 1000),
              locale.formattedDataSize(1023LL * 1000)};
    case 2: {
      // Qt names a file's type by its MIME comment, a folder by its own text.
      QStringList types{
          QCoreApplication::translate("QAbstractFileIconProvider", "Folder", "All other platforms"),
          QCoreApplication::translate("QAbstractFileIconProvider", "File")};
      const QMimeDatabase mimes;
      for (const char* name :
           {"x.csv", "x.tsv", "x.txt", "x.xml", "x.xls", "x.xlsx", "x.jsonl", "x.dat", "x.html"}) {
        types << mimes.mimeTypeForFile(QString::fromLatin1(name), QMimeDatabase::MatchExtension)
                     .comment();
      }
      return types;
    }
    case 3:
      return {
          locale.toString(QDateTime(QDate(2026, 12, 28), QTime(23, 59, 59)), QLocale::ShortFormat),
          locale.toString(QDateTime(QDate(2026, 12, 28), QTime(11, 59, 59)), QLocale::ShortFormat)};
    default:
      return {QStringLiteral("wwwwwwwwwwwwwwwwwwwwwwww.csv")};
  }
}

void FitColumns(QFileDialog& dialog) {
  auto* list = dialog.findChild<QTreeView*>(QStringLiteral("treeView"));
  if (!list || !list->model()) return;
  QHeaderView* header = list->header();
  const QFontMetrics items = list->fontMetrics();
  const int margin = list->style()->pixelMetric(QStyle::PM_HeaderMargin, nullptr, header);
  // The name column also holds the file's icon.
  const int icon = list->iconSize().isValid() ? list->iconSize().width() : 16;
  int needed = 0;
  for (int column = 0; column < header->count(); ++column) {
    if (header->isSectionHidden(column)) continue;
    int width = header->sectionSizeHint(column);
    for (const QString& sample : ColumnSamples(column)) {
      width = std::max(
          width, items.horizontalAdvance(sample) + 4 * margin + (column == 0 ? icon + margin : 0));
    }
    width = std::max(width, header->sectionSize(column));
    header->resizeSection(column, width);
    needed += width;
  }
  const int missing = needed - list->viewport()->width();
  if (missing <= 0) return;
  int width = dialog.width() + missing + list->verticalScrollBar()->sizeHint().width();
  if (const QScreen* screen = dialog.screen()) {
    width = std::min(width, screen->availableGeometry().width());
  }
  dialog.resize(width, dialog.height());
  if (const QScreen* screen = dialog.screen()) {
    QRect frame = dialog.frameGeometry();
    const QRect area = screen->availableGeometry();
    if (frame.right() > area.right()) frame.moveRight(area.right());
    if (frame.left() < area.left()) frame.moveLeft(area.left());
    dialog.move(frame.topLeft());
  }
}

// The program's own texts are shown whole; the patterns only steer the matching.
QStringList QtFilters(const std::vector<FileFilter>& filters) {
  QStringList pairs;
  for (const FileFilter& f : filters) pairs << f.description << f.pattern;
  return ToQtNameFilters(pairs.join(QLatin1Char('|')));
}

// The entry of `list` (from 1) that the dialog's type list shows, 0 when none. Qt 6.4's
// selectedNameFilter() gives the shown text, which HideNameFilterDetails has stripped of its
// patterns, so that it matches no entry of the list; the type list's own row does.
int ChosenFilter(const QFileDialog& dialog, const QStringList& list) {
  if (const auto* types = dialog.findChild<QComboBox*>(QStringLiteral("fileTypeCombo"))) {
    const int row = types->currentIndex();
    if (row >= 0 && row < list.size()) return row + 1;
  }
  return static_cast<int>(list.indexOf(dialog.selectedNameFilter())) + 1;
}

QString Run(QFileDialog& dialog, const std::vector<FileFilter>& filters, int filterIndex,
            int* chosenFilter = nullptr) {
  const QStringList list = QtFilters(filters);
  // Qt's own dialog follows the program's Japanese translation; a desktop's would not.
  dialog.setOption(QFileDialog::DontUseNativeDialog);
  dialog.setOption(QFileDialog::HideNameFilterDetails);
  dialog.setNameFilters(list);
  if (filterIndex >= 1 && filterIndex <= list.size()) {
    dialog.selectNameFilter(list.at(filterIndex - 1));
  }
  FitFileDialog(dialog);
  if (dialog.exec() != QDialog::Accepted) return QString();
  if (chosenFilter) {
    if (const int selected = ChosenFilter(dialog, list); selected > 0) *chosenFilter = selected;
  }
  const QStringList files = dialog.selectedFiles();
  return files.isEmpty() ? QString() : files.first();
}

}  // namespace

QString LastSaveFolder() { return lastSaveFolder; }

void RememberSaveFolder(const QString& chosenPath) {
  if (!chosenPath.isEmpty()) lastSaveFolder = QFileInfo(chosenPath).absolutePath();
}

void FitFileDialog(QFileDialog& dialog) {
  // The columns are laid out once the dialog is on screen: the sizes are made then.
  QTimer::singleShot(0, &dialog, [&dialog] { FitColumns(dialog); });
}

QString FileChooser::ChooseOpenFile(QWidget* parent, const std::vector<FileFilter>& filters,
                                    int filterIndex) {
  QFileDialog dialog(parent);
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setFileMode(QFileDialog::ExistingFile);
  return Run(dialog, filters, filterIndex);
}

QString FileChooser::ChooseSaveFile(QWidget* parent, const std::vector<FileFilter>& filters,
                                    int filterIndex) {
  QFileDialog dialog(parent);
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setFileMode(QFileDialog::AnyFile);
  // The caller asks before replacing a file, once it has completed the name.
  dialog.setOption(QFileDialog::DontConfirmOverwrite);
  return Run(dialog, filters, filterIndex);
}

QString FileChooser::ChooseSaveFileOfType(QWidget* parent, const SaveFileRequest& request,
                                          int* chosenFilter) {
  QFileDialog dialog(parent);
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setFileMode(QFileDialog::AnyFile);
  dialog.setOption(QFileDialog::DontConfirmOverwrite);
  if (!request.title.isEmpty()) dialog.setWindowTitle(request.title);
  if (!request.folder.isEmpty()) dialog.setDirectory(request.folder);
  const QString chosen = Run(dialog, request.filters, request.filterIndex, chosenFilter);
  RememberSaveFolder(chosen);
  return chosen;
}

FileChooser& CurrentFileChooser() {
  static FileChooser standard;
  return installed ? *installed : standard;
}

FileChooser* SetFileChooser(FileChooser* chooser) {
  FileChooser* previous = installed;
  installed = chooser;
  return previous;
}

}  // namespace korvel
