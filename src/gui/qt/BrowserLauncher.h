#pragma once
// Opening a page in the desktop's browser through an opener program (xdg-open), with an
// answer: whether the opener said it succeeded in time. The help command falls back to the
// program's own help window when it did not, so help opens on machines without a browser.
//
// The command is replaceable (tests install an opener of their own); it is not read from
// the environment.

#include <QString>
#include <QStringList>

namespace korvel {

struct BrowserCommand {
  QString program;        // run directly, without a shell
  QStringList arguments;  // given before the page's path, which comes last
  int timeoutMs = 3000;   // an opener still running after this long has failed
};

// xdg-open, three seconds.
BrowserCommand DesktopBrowserCommand();

// The command in force: the desktop's until another is installed.
const BrowserCommand& CurrentBrowserCommand();
// Installs `command` (nullptr restores the desktop's) and returns the one in force before.
BrowserCommand SetBrowserCommand(const BrowserCommand* command);

// Installs a command for the lifetime of a scope.
class ScopedBrowserCommand {
 public:
  explicit ScopedBrowserCommand(const BrowserCommand& command)
      : previous_(SetBrowserCommand(&command)) {}
  ~ScopedBrowserCommand() { SetBrowserCommand(&previous_); }
  ScopedBrowserCommand(const ScopedBrowserCommand&) = delete;
  ScopedBrowserCommand& operator=(const ScopedBrowserCommand&) = delete;

 private:
  BrowserCommand previous_;
};

// Runs `command` with `path` and waits for it, the windows still painting but taking no
// input. True when it ended by itself with exit status 0 within its time limit; false when
// it could not be started, failed, crashed or was still running (it is then stopped).
bool OpenInBrowser(const BrowserCommand& command, const QString& path);

}  // namespace korvel
