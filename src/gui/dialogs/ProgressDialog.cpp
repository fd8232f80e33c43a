#include "dialogs/ProgressDialog.h"

#include <QApplication>
#include <QEventLoop>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>
#include <atomic>
#include <exception>
#include <system_error>
#include <thread>

#include "qt/QtText.h"

namespace korvel {
namespace {

constexpr int kRefreshMs = 100;

QString RecordsText(const char* utf8Side, std::uint64_t records) {
  return Q(utf8Side) + QString::number(records) + Q("件");
}

}  // namespace

ProgressDialog::ProgressDialog(ProgressCounters& counters, ProgressKind kind, QWidget* parent)
    : QDialog(parent), counters_(counters), kind_(kind) {
  setObjectName(QStringLiteral("ProgressDialog"));
  setWindowTitle(Q("処理中"));
  setModal(true);
  left_ = new QLabel(this);
  left_->setObjectName(QStringLiteral("lbl_Left"));
  right_ = new QLabel(this);
  right_->setObjectName(QStringLiteral("lbl_Right"));
  right_->setVisible(kind_ == ProgressKind::kComparison);
  bar_ = new QProgressBar(this);
  bar_->setObjectName(QStringLiteral("bar_Bytes"));
  bar_->setRange(0, kBarSteps);
  bar_->setTextVisible(false);
  stop_ = new QPushButton(Q("中止"), this);
  stop_->setObjectName(QStringLiteral("cmd_Stop"));
  stop_->setDefault(true);
  connect(stop_, &QPushButton::clicked, this, &ProgressDialog::reject);

  auto* labels = new QHBoxLayout;
  labels->addWidget(left_);
  labels->addWidget(right_);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(stop_);
  buttons->addStretch();
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(labels);
  layout->addWidget(bar_);
  layout->addLayout(buttons);
  setMinimumWidth(360);

  timer_ = new QTimer(this);
  timer_->setInterval(kRefreshMs);
  connect(timer_, &QTimer::timeout, this, &ProgressDialog::Refresh);
  timer_->start();
  Refresh();
}

void ProgressDialog::Refresh() {
  if (kind_ == ProgressKind::kExport) {
    left_->setText(RecordsText("出力:", counters_.Records(Progress::kLeft)));
  } else {
    left_->setText(RecordsText("左読込:", counters_.Records(Progress::kLeft)));
    right_->setText(RecordsText("右読込:", counters_.Records(Progress::kRight)));
  }
  const std::uint64_t expected = counters_.Expected();
  const std::uint64_t done = std::min(counters_.Done(), expected);
  bar_->setValue(expected == 0 ? 0 : static_cast<int>(done * kBarSteps / expected));
}

void ProgressDialog::Finish() {
  if (isVisible()) accept();
}

void ProgressDialog::reject() {
  stopped_ = true;
  counters_.Cancel();
  QDialog::reject();
}

std::optional<Status> RunWithProgress(QWidget* parent, const std::function<Status(Progress&)>& work,
                                      ProgressKind kind) {
  ProgressCounters counters;
  ProgressDialog dialog(counters, kind, parent);
  QEventLoop wait;
  Status outcome(-1);
  std::exception_ptr failure;
  std::atomic<bool> finished{false};
  // Lives in this thread, so that the worker's last word runs here; declared after what
  // that word touches, so that it goes first and takes a word still queued with it.
  QObject waker;
  std::thread worker;
  try {
    worker = std::thread([&] {
      try {
        outcome = work(counters);
      } catch (...) {
        failure = std::current_exception();
      }
      finished.store(true, std::memory_order_release);
      QMetaObject::invokeMethod(
          &waker,
          [&] {
            wait.quit();
            dialog.Finish();
          },
          Qt::QueuedConnection);
    });
  } catch (const std::system_error&) {
    // No thread to be had: the work runs here, with nothing shown and nothing to stop it.
    return work(counters);
  }
  // Input given before the dialog shows waits: the window must not start anything while the
  // run may still replace what it shows.
  QTimer::singleShot(kShowAfterMs, &wait, &QEventLoop::quit);
  wait.exec(QEventLoop::ExcludeUserInputEvents);
  if (!finished.load(std::memory_order_acquire)) {
    // Over a caller's busy cursor 中止 must still look like something to click.
    QApplication::setOverrideCursor(Qt::ArrowCursor);
    dialog.exec();
    QApplication::restoreOverrideCursor();
  }
  // After 中止 the work ends at its next poll; until its last word arrives the window goes
  // on painting rather than blocking in the join.
  if (!finished.load(std::memory_order_acquire)) wait.exec(QEventLoop::ExcludeUserInputEvents);
  worker.join();
  if (failure) std::rethrow_exception(failure);
  if (dialog.Stopped()) return std::nullopt;
  return outcome;
}

}  // namespace korvel
