#include "dialogs/FileChooser.h"

#include <QComboBox>
#include <QFileDialog>
#include <QStringList>

#include "dialogs/ExportDialog.h"

namespace korvel {
namespace {

FileChooser* installed = nullptr;

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
  if (dialog.exec() != QDialog::Accepted) return QString();
  if (chosenFilter) {
    if (const int selected = ChosenFilter(dialog, list); selected > 0) *chosenFilter = selected;
  }
  const QStringList files = dialog.selectedFiles();
  return files.isEmpty() ? QString() : files.first();
}

}  // namespace

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

QString FileChooser::ChooseSaveFileOfType(QWidget* parent, const std::vector<FileFilter>& filters,
                                          int filterIndex, int* chosenFilter) {
  QFileDialog dialog(parent);
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setFileMode(QFileDialog::AnyFile);
  dialog.setOption(QFileDialog::DontConfirmOverwrite);
  return Run(dialog, filters, filterIndex, chosenFilter);
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
