#include "dialogs/FileChooser.h"

#include <QFileDialog>
#include <QStringList>

namespace korvel {
namespace {

FileChooser* installed = nullptr;

// QFileDialog takes its patterns from the parentheses of the text. "*.*" would hide files
// without a dot here, so every file is matched by "*".
QString QtFilter(const FileFilter& filter) {
  QString pattern = filter.pattern == QStringLiteral("*.*") ? QStringLiteral("*") : filter.pattern;
  QString description = filter.description;
  qsizetype open = description.lastIndexOf(QLatin1Char('('));
  if (open > 0 && description.endsWith(QLatin1Char(')'))) description.truncate(open);
  return description + QLatin1Char('(') + pattern + QLatin1Char(')');
}

QStringList QtFilters(const std::vector<FileFilter>& filters) {
  QStringList list;
  for (const FileFilter& f : filters) list.append(QtFilter(f));
  return list;
}

QString Selected(const QStringList& list, int filterIndex) {
  return filterIndex >= 1 && filterIndex <= list.size() ? list.at(filterIndex - 1) : QString();
}

}  // namespace

QString FileChooser::ChooseOpenFile(QWidget* parent, const std::vector<FileFilter>& filters,
                                    int filterIndex) {
  QStringList list = QtFilters(filters);
  QString selected = Selected(list, filterIndex);
  return QFileDialog::getOpenFileName(parent, QString(), QString(), list.join(QStringLiteral(";;")),
                                      &selected);
}

QString FileChooser::ChooseSaveFile(QWidget* parent, const std::vector<FileFilter>& filters,
                                    int filterIndex) {
  QStringList list = QtFilters(filters);
  QString selected = Selected(list, filterIndex);
  return QFileDialog::getSaveFileName(parent, QString(), QString(), list.join(QStringLiteral(";;")),
                                      &selected, QFileDialog::DontConfirmOverwrite);
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
