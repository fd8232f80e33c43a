// Takes the README's pictures of what Qt draws for the program, with the program's own
// set-up (Qt's Japanese translation loaded, Qt's own file dialogs):
//
//   open-file-dialog-<name>.png    the open-file dialog of the file selection's 参照 button
//   overwrite-question-<name>.png  the question before an existing file is replaced
//   help-window-<name>.png         the help page in the program's own help window
//
// Usage: korvel_dialog_screenshots OUTPUT_FOLDER NAME HELP_PAGE (run by scripts/screenshots
// under Xvfb, once per locale; NAME tells the pictures of each locale apart). Each window
// is answered by a click once it has been saved; a window that does not come fails the run.

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <cstdio>
#include <functional>
#include <memory>

#include "dialogs/FileSelectionDialog.h"
#include "dialogs/HelpWindow.h"
#include "platform/Codepage.h"
#include "platform/Notifier.h"
#include "qt/QtNotifier.h"
#include "qt/Translation.h"
#include "settings/SettingsStore.h"

namespace {

int saved = 0;
int failures = 0;

void Settle() {
  for (int i = 0; i < 10; ++i) {
    QCoreApplication::processEvents();
    QTest::qWait(30);
  }
}

void Save(QWidget* widget, const QDir& output, const QString& name) {
  const QString path = output.filePath(name);
  if (widget->grab().save(path, "PNG")) {
    ++saved;
    std::printf("screenshots: %s\n", path.toLocal8Bit().constData());
  } else {
    ++failures;
    std::fprintf(stderr, "screenshots: cannot write %s\n", path.toLocal8Bit().constData());
  }
}

// Once a modal window of class T is shown, saves it as `name` and closes it with `close`.
template <class T>
void WhenShown(const QDir& output, const QString& name, std::function<void(T*)> close) {
  auto* timer = new QTimer(qApp);
  auto ticks = std::make_shared<int>(0);
  QObject::connect(timer, &QTimer::timeout, timer, [=] {
    auto* modal = qobject_cast<T*>(QApplication::activeModalWidget());
    if (modal == nullptr || !modal->isVisible()) {
      if (++*ticks > 300) {
        std::fprintf(stderr, "screenshots: %s did not come\n", name.toLocal8Bit().constData());
        ++failures;
        timer->deleteLater();
        if (QWidget* other = QApplication::activeModalWidget()) other->close();
      }
      return;
    }
    timer->stop();
    timer->deleteLater();
    Settle();
    Save(modal, output, name);
    close(modal);
  });
  timer->start(50);
}

}  // namespace

int main(int argc, char* argv[]) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("KORVEL"));
  if (!korvel::SetUpJapanese(app)) {
    std::fprintf(stderr, "screenshots: Qt's Japanese translation was not found\n");
    return 1;
  }
  const QStringList args = QApplication::arguments();
  if (args.size() != 4) {
    std::fprintf(stderr, "usage: korvel_dialog_screenshots OUTPUT_FOLDER NAME HELP_PAGE\n");
    return 2;
  }
  // Absolute, since the current folder changes below.
  const QDir output(QFileInfo(args[1]).absoluteFilePath());
  const QString helpPage = QFileInfo(args[3]).absoluteFilePath();
  const QString suffix = QStringLiteral("-") + args[2] + QStringLiteral(".png");
  korvel::QtNotifier notifier;
  korvel::ScopedNotifier scoped(&notifier);

  // The file selection's 参照 button, as a user opens it, over the sample files.
  QDir::setCurrent(output.absoluteFilePath(QStringLiteral("../samples")));
  korvel::SettingsStore global;
  korvel::FileSelectionDialog selection(global);
  selection.show();
  Settle();
  WhenShown<QFileDialog>(output, QStringLiteral("open-file-dialog") + suffix,
                         [](QFileDialog* d) { d->reject(); });
  auto* browse = selection.findChild<QToolButton*>(QStringLiteral("cmd_PathA"));
  if (browse == nullptr) return 1;
  QTest::mouseClick(browse, Qt::LeftButton);
  selection.hide();

  // The question every writer asks before it replaces a file, through the program's boxes.
  WhenShown<QMessageBox>(output, QStringLiteral("overwrite-question") + suffix,
                         [](QMessageBox* box) { box->button(QMessageBox::No)->click(); });
  const bool replaced = korvel::WindowPrompter().Confirm(
      korvel::Sjis("既にファイルが存在します。上書きしてよろしいですか？"));
  if (replaced) ++failures;

  // The help page in the program's own window, as it opens where no browser starts.
  auto* help = new korvel::HelpWindow();
  help->resize(760, 560);
  help->ShowPage(helpPage);
  help->show();
  Settle();
  Save(help, output, QStringLiteral("help-window") + suffix);
  help->close();

  return saved == 3 && failures == 0 ? 0 : 1;
}
