// The desktop program: one main window, running until it closes.

#include <QApplication>
#include <QMessageBox>
#include <QTimer>
#include <cstdlib>
#include <new>

#include "mainwindow/MainWindow.h"
#include "mainwindow/SetUpCommands.h"
#include "platform/Codepage.h"
#include "platform/Notifier.h"
#include "qt/QtNotifier.h"
#include "qt/QtText.h"
#include "qt/Translation.h"

int main(int argc, char* argv[]) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("KORVEL"));
  QApplication::setApplicationVersion(QStringLiteral("0.1.0"));
  // Before the first window, so that every dialog Qt builds is Japanese.
  if (!korvel::SetUpJapanese(app)) {
    qWarning("KORVEL: Qt's Japanese translation (qtbase_ja) was not found");
  }
  korvel::QtNotifier notifier;
  korvel::ScopedNotifier scoped(&notifier);
  try {
    korvel::MainWindow window;
    window.show();
    // `korvel LEFT RIGHT` compares the two files as if they had been dropped on the window.
    korvel::OpenCommandLinePaths(window, QApplication::arguments().mid(1));
    // KORVEL_QUIT_AFTER_START=1: build and show the window, then close it as the user would
    // (settings saved) and end with 0; how an installation is checked without a user.
    if (const char* quit = std::getenv("KORVEL_QUIT_AFTER_START"); quit && *quit == '1') {
      QTimer::singleShot(0, &window, &QWidget::close);
    }
    return app.exec();
  } catch (const std::bad_alloc&) {
    korvel::Warn(korvel::Sjis("メモリが足りません。"));
  } catch (const std::exception& e) {
    QMessageBox::critical(nullptr, QStringLiteral("KORVEL"), QString::fromLocal8Bit(e.what()));
  }
  return 1;
}
