#pragma once
// ProgressDialog: what the window shows while a long run goes on — the records read per
// side, a bar by the bytes read, and 中止 — and RunWithProgress, which runs the work on a
// worker thread and shows the dialog only when the work outlasts kShowAfterMs.
//
// The work and the dialog meet only in a ProgressCounters (platform/Progress.h): the work
// adds to it from its threads, the dialog reads it on a timer, and 中止 (also Esc and the
// close box) cancels it; the work then stops at its next poll.

#include <QDialog>
#include <functional>
#include <optional>

#include "platform/Progress.h"
#include "platform/Status.h"

class QLabel;
class QProgressBar;
class QPushButton;
class QTimer;

namespace korvel {

// What the dialog counts: the records read per side of a comparison ("左読込:", "右読込:"),
// or the rows an export has written ("出力:", Progress::kLeft's records).
enum class ProgressKind { kComparison, kExport };

class ProgressDialog : public QDialog {
  Q_OBJECT

 public:
  static constexpr int kBarSteps = 1000;

  // `counters` must outlive the dialog.
  ProgressDialog(ProgressCounters& counters, ProgressKind kind, QWidget* parent);

  // Closes the dialog when it is shown: the work has ended.
  void Finish();
  // True once 中止, Esc or the close box has cancelled the work.
  bool Stopped() const { return stopped_; }
  // Shows the counters' state now (the dialog also does so on a timer while shown).
  void Refresh();

  void reject() override;

 private:
  ProgressCounters& counters_;
  ProgressKind kind_;
  QLabel* left_ = nullptr;
  QLabel* right_ = nullptr;
  QProgressBar* bar_ = nullptr;
  QPushButton* stop_ = nullptr;
  QTimer* timer_ = nullptr;
  bool stopped_ = false;
};

// How long a run may take before the dialog shows.
inline constexpr int kShowAfterMs = 500;

// Runs `work` on a worker thread while this (the GUI) thread waits. User input waits as well
// for the first kShowAfterMs; if the work has not ended by then, a modal ProgressDialog over
// `parent` shows until it ends or is stopped. Returns the work's outcome, or nothing when
// the user stopped it (the work has then stopped too: it is joined before the return).
// An exception that leaves `work` is thrown again here.
std::optional<Status> RunWithProgress(QWidget* parent, const std::function<Status(Progress&)>& work,
                                      ProgressKind kind = ProgressKind::kComparison);

}  // namespace korvel
