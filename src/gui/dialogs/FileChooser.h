#pragma once
// The common open and save file dialogs, behind one interface, so that tests can answer
// them without a native dialog. The dialogs reach them only through CurrentFileChooser().

#include <QString>
#include <vector>

class QFileDialog;
class QWidget;

namespace korvel {

// One entry of a file dialog's type list: the text shown and the name pattern it stands for
// ("*.*" stands for every file).
struct FileFilter {
  QString description;
  QString pattern;
};

// What a save dialog that tells its chosen type is opened with.
struct SaveFileRequest {
  QString title;  // the dialog's caption; empty: Qt's own
  std::vector<FileFilter> filters;
  int filterIndex = 1;  // the entry of `filters` (from 1) selected at the start
  QString folder;       // the folder it opens in; empty: where Qt would open it
};

class FileChooser {
 public:
  virtual ~FileChooser() = default;
  // Lets the user pick an existing file. `filterIndex` (from 1) is the entry of `filters`
  // selected at the start. The chosen path, or the empty text when the user cancelled.
  virtual QString ChooseOpenFile(QWidget* parent, const std::vector<FileFilter>& filters,
                                 int filterIndex);
  // Lets the user name a file to write. Overwriting is not confirmed here: the caller asks,
  // after it has completed the name. The path, or the empty text when cancelled.
  virtual QString ChooseSaveFile(QWidget* parent, const std::vector<FileFilter>& filters,
                                 int filterIndex);
  // A save dialog as `request` asks, that also tells which entry of its filters (from 1)
  // was selected when the user accepted, in `*chosenFilter` (untouched when cancelled).
  virtual QString ChooseSaveFileOfType(QWidget* parent, const SaveFileRequest& request,
                                       int* chosenFilter);
};

// The folder of the file a save dialog last returned in this run of the program (empty
// before the first), where the next save dialog without a folder of its own opens.
QString LastSaveFolder();
// Keeps the folder of `chosenPath` as LastSaveFolder (an empty path changes nothing).
void RememberSaveFolder(const QString& chosenPath);
// Makes room in Qt's own file dialog, once it is on screen, for its list's columns (name,
// size, type and date) to show whole in the locale in force, within the screen.
void FitFileDialog(QFileDialog& dialog);

// The chooser in force; never null (until one is installed, the one above that shows
// QFileDialog).
FileChooser& CurrentFileChooser();
// Installs `chooser` (not owned; null restores the default) and returns the previous one.
FileChooser* SetFileChooser(FileChooser* chooser);

// Installs a chooser for the lifetime of a scope.
class ScopedFileChooser {
 public:
  explicit ScopedFileChooser(FileChooser* chooser) : previous_(SetFileChooser(chooser)) {}
  ~ScopedFileChooser() { SetFileChooser(previous_); }
  ScopedFileChooser(const ScopedFileChooser&) = delete;
  ScopedFileChooser& operator=(const ScopedFileChooser&) = delete;

 private:
  FileChooser* previous_;
};

}  // namespace korvel
