// The desktop program: one main window, running until it closes.

#include <QApplication>
#include <QMessageBox>
#include <new>

#include "app/F_main.h"
#include "app/F_mainchain.h"
#include "app/QtNotifier.h"
#include "app/QtText.h"
#include "platform/Codepage.h"
#include "platform/Notifier.h"

int main(int argc, char* argv[]) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("KORVEL"));
  QApplication::setApplicationVersion(QStringLiteral("0.1.0"));
  korvel::QtNotifier notifier;
  korvel::ScopedNotifier scoped(&notifier);
  try {
    korvel::TfrmMain window;
    window.show();
    // `korvel LEFT RIGHT` compares the two files as if they had been dropped on the window.
    korvel::OpenCommandLinePaths(window, QApplication::arguments().mid(1));
    return app.exec();
  } catch (const std::bad_alloc&) {
    korvel::Warn(korvel::Sjis("メモリが足りません。"));
  } catch (const std::exception& e) {
    QMessageBox::critical(nullptr, QStringLiteral("KORVEL"), QString::fromLocal8Bit(e.what()));
  }
  return 1;
}
