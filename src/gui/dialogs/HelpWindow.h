#pragma once
// The program's own help window: the help page in a QTextBrowser, with back, forward and
// find. The help command uses it where no browser could be started (OpenHelpPage).

#include <QPointer>
#include <QString>
#include <QWidget>
#include <string>

class QLineEdit;
class QPushButton;
class QTextBrowser;

namespace korvel {

class HelpWindow : public QWidget {
  Q_OBJECT

 public:
  // A window of its own (above `owner` and closed with it when given); deleted on close.
  explicit HelpWindow(QWidget* owner = nullptr);

  // Shows the page at `path` (a local file; its links are followed inside the window,
  // except those to the web, which go to the desktop).
  void ShowPage(const QString& path);
  // Selects the next occurrence of the find box's text after the selection, wrapping round
  // to the top; beeps and keeps the selection when the page does not hold it.
  void FindNext();

  QTextBrowser* browser;
  QPushButton* cmd_Back;
  QPushButton* cmd_Forward;
  QLineEdit* txt_Find;
  QPushButton* cmd_FindNext;
};

// Opens the help page at `path` (the file system's own bytes): in the desktop's browser
// through the command in force (qt/BrowserLauncher.h), else in the one help window, made
// when needed over `owner`. The help window when it was used, else nullptr.
HelpWindow* OpenHelpPage(const std::string& path, QWidget* owner);

}  // namespace korvel
