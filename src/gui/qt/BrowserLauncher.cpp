#include "qt/BrowserLauncher.h"

#include <QEventLoop>
#include <QProcess>
#include <QTimer>

namespace korvel {
namespace {

BrowserCommand& Installed() {
  static BrowserCommand command = DesktopBrowserCommand();
  return command;
}

}  // namespace

BrowserCommand DesktopBrowserCommand() {
  BrowserCommand command;
  command.program = QStringLiteral("xdg-open");
  command.timeoutMs = 3000;
  return command;
}

const BrowserCommand& CurrentBrowserCommand() { return Installed(); }

BrowserCommand SetBrowserCommand(const BrowserCommand* command) {
  BrowserCommand previous = Installed();
  Installed() = command ? *command : DesktopBrowserCommand();
  return previous;
}

bool OpenInBrowser(const BrowserCommand& command, const QString& path) {
  QProcess process;
  process.setProgram(command.program);
  process.setArguments(command.arguments + QStringList{path});
  // The opener's complaints ("no method available") are worth seeing on the terminal.
  process.setProcessChannelMode(QProcess::ForwardedChannels);
  process.setStandardInputFile(QProcess::nullDevice());
  process.start();
  if (!process.waitForStarted(command.timeoutMs)) return false;

  if (process.state() == QProcess::Running) {
    // The end of the process arrives as an event, so it cannot slip in before exec() runs.
    QEventLoop loop;
    QTimer limit;
    limit.setSingleShot(true);
    QObject::connect(&limit, &QTimer::timeout, &loop, &QEventLoop::quit);
    QObject::connect(&process, &QProcess::finished, &loop, &QEventLoop::quit);
    limit.start(command.timeoutMs);
    loop.exec(QEventLoop::ExcludeUserInputEvents);
  }

  if (process.state() != QProcess::NotRunning) {
    // A hanging opener would never show the page; it must not linger either.
    process.kill();
    process.waitForFinished(1000);
    return false;
  }
  return process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

}  // namespace korvel
