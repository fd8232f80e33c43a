#pragma once
// Helpers shared by the window tests (Qt Test, offscreen platform): finding a dialog's
// controls by their names, answering a modal dialog that the code under test opens, and a
// file chooser that answers from a queue.

#include <QAbstractButton>
#include <QApplication>
#include <QTest>
#include <QTimer>
#include <QWidget>
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "dialogs/FileChooser.h"

namespace korvel::test {

// The named child of `parent`; a failed test when there is none.
template <class T>
T* Child(QObject* parent, const char* name) {
  T* child = parent->findChild<T*>(QString::fromLatin1(name));
  if (!child) qFatal("no control named %s", name);
  return child;
}

// Clicks a button with the left mouse button in its middle, as a user would.
inline void Click(QAbstractButton* button) {
  QTest::mouseClick(button, Qt::LeftButton, Qt::NoModifier, button->rect().center());
}

// Runs `act` on the next modal window once it is shown (from inside its exec()), looking
// every 10 ms for up to about 5 seconds. `act` must close it.
inline void WhenModalShown(std::function<void(QWidget*)> act) {
  auto* timer = new QTimer(QCoreApplication::instance());
  timer->setInterval(10);
  QObject::connect(timer, &QTimer::timeout, timer, [timer, act, attempts = 0]() mutable {
    QWidget* modal = QApplication::activeModalWidget();
    const bool shown = modal && modal->isVisible();
    if (shown || ++attempts >= 500) {
      timer->stop();
      timer->deleteLater();
    }
    if (shown) act(modal);
  });
  timer->start();
}

// Answers the file dialogs from a queue of paths (the empty path cancels) and records the
// filter index each was opened with.
class QueuedFileChooser : public FileChooser {
 public:
  void Queue(const QString& path) { answers_.push_back(path); }
  QString ChooseOpenFile(QWidget*, const std::vector<FileFilter>& filters,
                         int filterIndex) override {
    return Answer(filters, filterIndex);
  }
  QString ChooseSaveFile(QWidget*, const std::vector<FileFilter>& filters,
                         int filterIndex) override {
    return Answer(filters, filterIndex);
  }
  int Calls() const { return static_cast<int>(indexes_.size()); }
  int LastIndex() const { return indexes_.empty() ? 0 : indexes_.back(); }
  const std::vector<FileFilter>& LastFilters() const { return filters_; }

 private:
  QString Answer(const std::vector<FileFilter>& filters, int filterIndex) {
    indexes_.push_back(filterIndex);
    filters_ = filters;
    if (answers_.empty()) return QString();
    QString path = answers_.front();
    answers_.pop_front();
    return path;
  }

  std::deque<QString> answers_;
  std::vector<int> indexes_;
  std::vector<FileFilter> filters_;
};

}  // namespace korvel::test
