// Takes the README's pictures of the desktop program: the program's own main window, opened
// the way `korvel LEFT RIGHT` opens it, with its real dialogs answered by mouse clicks as a
// user would answer them. Each window is saved as a PNG once it is filled in:
//
//   file-selection.png  the file selection with 先頭行フィールド checked
//   field-control.png   the field control with field 1 marked as the key
//   main-window.png     the main window with the result
//   field-summary.png   with a second pair WIDE_LEFT WIDE_RIGHT: its result with the
//                       項目別相違件数 panel opened from the 表示 menu
//
// Usage: korvel_screenshots OUTPUT_FOLDER LEFT RIGHT [WIDE_LEFT WIDE_RIGHT] (run by
// scripts/screenshots under Xvfb). Any message box, or a window that does not come, fails the
// run.

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QPointer>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>
#include <QTimer>
#include <cstdio>
#include <functional>

#include "mainwindow/MainWindow.h"
#include "mainwindow/SetUpCommands.h"
#include "platform/Notifier.h"
#include "qt/QtText.h"

namespace {

using korvel::MainWindow;

// Prints every box instead of showing it, and remembers that one came.
class FailingNotifier : public korvel::Notifier {
 public:
  bool Show(const korvel::MessageBoxSpec& box) override {
    std::fprintf(stderr, "screenshots: message: %s\n",
                 korvel::ToQString(box.text).toLocal8Bit().constData());
    failed = true;
    return false;
  }
  void Beep() override {}
  bool failed = false;
};

template <class T>
T* Child(QWidget* parent, const char* name) {
  return parent->findChild<T*>(QString::fromLatin1(name));
}

void ClickButton(QAbstractButton* button) {
  QTest::mouseClick(button, Qt::LeftButton, Qt::NoModifier, button->rect().center());
}

class Driver {
 public:
  Driver(MainWindow& window, QDir output, QStringList widePair)
      : window_(window), output_(std::move(output)), widePair_(std::move(widePair)) {}

  void Start() {
    QObject::connect(&timer_, &QTimer::timeout, &timer_, [this] { Tick(); });
    timer_.start(50);
  }
  bool Succeeded() const { return saved_ == (widePair_.isEmpty() ? 3 : 4); }

 private:
  // Each window is answered once, after it has been shown and painted for a moment.
  void Tick() {
    if (++ticks_ > 600) return Finish("no window came in 30 seconds");
    QWidget* modal = QApplication::activeModalWidget();
    if (modal != nullptr && modal->isVisible() && modal != answered_) {
      answered_ = modal;
      const QString kind = QString::fromLatin1(modal->metaObject()->className());
      if (kind.endsWith(QStringLiteral("FileSelectionDialog"))) {
        Later([this, modal] { AnswerFileSelection(modal); });
      } else if (kind.endsWith(QStringLiteral("FieldControlDialog"))) {
        Later([this, modal] { AnswerFieldControl(modal); });
      } else {
        Finish("unexpected window " + kind.toStdString());
      }
      return;
    }
    if (modal == nullptr && fieldsAnswered_ && !window_.Session().ViewPairs().empty()) {
      timer_.stop();
      Later([this] {
        if (!wide_) {
          Save(&window_, "main-window.png");
          if (widePair_.isEmpty()) return Finish(nullptr);
          // The second pair: its dialogs are answered the same way but not saved again.
          wide_ = true;
          fieldsAnswered_ = false;
          timer_.start(50);
          korvel::OpenCommandLinePaths(window_, widePair_);
          return;
        }
        window_.resize(1100, 640);
        window_.Action("mnuViewFieldSummary")->trigger();
        Settle();
        Save(&window_, "field-summary.png");
        Finish(nullptr);
      });
    }
  }

  void AnswerFileSelection(QWidget* dialog) {
    // The second pair's selection comes preset from the first.
    if (!Child<QCheckBox>(dialog, "chk_TopField")->isChecked()) {
      ClickButton(Child<QCheckBox>(dialog, "chk_TopField"));
    }
    Settle();
    if (!wide_) Save(dialog, "file-selection.png");
    ClickButton(Child<QPushButton>(dialog, "cmd_Run"));
  }

  void AnswerFieldControl(QWidget* dialog) {
    auto* grid = Child<QTableWidget>(dialog, "griMain");
    const QRect key = grid->visualRect(grid->model()->index(0, 1));
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, Qt::NoModifier, key.center());
    Settle();
    if (!wide_) Save(dialog, "field-control.png");
    fieldsAnswered_ = true;
    ClickButton(Child<QPushButton>(dialog, "cmd_Run"));
  }

  void Later(std::function<void()> act) { QTimer::singleShot(300, &timer_, std::move(act)); }

  static void Settle() {
    for (int i = 0; i < 5; ++i) {
      QCoreApplication::processEvents();
      QTest::qWait(20);
    }
  }

  void Save(QWidget* widget, const char* name) {
    const QString path = output_.filePath(QString::fromLatin1(name));
    if (widget->grab().save(path, "PNG")) {
      ++saved_;
      std::printf("screenshots: %s\n", path.toLocal8Bit().constData());
    } else {
      std::fprintf(stderr, "screenshots: cannot write %s\n", path.toLocal8Bit().constData());
    }
  }

  void Finish(const char* problem) { Finish(problem ? std::string(problem) : std::string()); }
  void Finish(const std::string& problem) {
    timer_.stop();
    if (!problem.empty()) std::fprintf(stderr, "screenshots: %s\n", problem.c_str());
    // Closing the main window also ends a dialog that is still open.
    if (QWidget* modal = QApplication::activeModalWidget()) modal->close();
    window_.close();
    QCoreApplication::quit();
  }

  MainWindow& window_;
  QDir output_;
  QStringList widePair_;
  QTimer timer_;
  QPointer<QWidget> answered_;
  bool fieldsAnswered_ = false;
  bool wide_ = false;  // answering the second pair
  int ticks_ = 0;
  int saved_ = 0;
};

}  // namespace

int main(int argc, char* argv[]) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("KORVEL"));
  const QStringList args = QApplication::arguments();
  if (args.size() != 4 && args.size() != 6) {
    std::fprintf(stderr,
                 "usage: korvel_screenshots OUTPUT_FOLDER LEFT RIGHT [WIDE_LEFT WIDE_RIGHT]\n");
    return 2;
  }
  FailingNotifier notifier;
  korvel::ScopedNotifier scoped(&notifier);

  MainWindow window;
  window.show();
  korvel::OpenCommandLinePaths(window, {args[2], args[3]});
  Driver driver(window, QDir(args[1]), args.mid(4));
  driver.Start();
  app.exec();
  return driver.Succeeded() && !notifier.failed ? 0 : 1;
}
