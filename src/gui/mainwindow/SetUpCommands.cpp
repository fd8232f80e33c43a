#include "mainwindow/SetUpCommands.h"

#include <QFile>
#include <QFileInfo>
#include <QTimer>
#include <string>
#include <vector>

#include "dialogs/FieldControlDialog.h"
#include "dialogs/FileSelectionDialog.h"
#include "dialogs/FixedLengthDialog.h"
#include "mainwindow/MainWindow.h"
#include "qt/QtNotifier.h"

namespace korvel {

// ---- The window's dialogs ---------------------------------------------------------------

int WindowChainDialogs::SelectFiles(CompareSettings& settings) {
  FileSelectionDialog dialog(*window_.global_, &window_);
  dialog.Preset(settings);
  dialog.exec();
  if (dialog.Result() == 0) return 0;
  dialog.ReadBack(settings);
  return 1;
}

int WindowChainDialogs::DefineFixedLength(const std::string& leftPath, int encoding,
                                          bool detectBom) {
  FixedLengthDialog dialog(window_.global_->FixReader(), &window_);
  dialog.Preset(leftPath, encoding, detectBom);
  dialog.exec();
  return dialog.Result();
}

int WindowChainDialogs::ControlFields(FieldGrid& grid) {
  FieldControlDialog dialog(FieldControlDialog::Mode::kSetUp, &window_);
  dialog.Grid() = grid;
  dialog.exec();
  if (dialog.Result() > 0) grid = dialog.Grid();
  return dialog.Result();
}

int WindowChainDialogs::ReGridFields(FieldGrid& grid) {
  FieldControlDialog dialog(FieldControlDialog::Mode::kReGrid, &window_);
  dialog.Grid() = grid;
  dialog.exec();
  if (dialog.Result() > 0) grid = dialog.Grid();
  return dialog.Result();
}

// ---- The commands ---------------------------------------------------------------------------

void RunComparison(MainWindow& window, ChainDialogs& dialogs) {
  // Whatever the chain ends in, the extraction is gone: a cancel shows the whole result.
  window.ReleaseExtraction();
  std::optional<DroppedPair> dropped;
  DroppedPair pair;
  if (window.TakeDroppedPaths(pair.PathL, pair.PathR)) dropped = std::move(pair);

  // The chain writes its choices into the shown session, whatever becomes of the run: the
  // next file-open offers what was entered last, while the caption and the export labels
  // name the files of the result on screen (CompareSession::ResultPath).
  SetUpChain chain(*window.session_, *window.global_, dialogs, WindowPrompter());
  FieldGrid grid;
  if (!chain.Run(dropped, grid)) return;
  // A failed run has shown its message and the empty grid, a stopped one left the shown
  // result as it was; only a shown pair is remembered.
  if (window.CompareAndShow(grid) == 0) window.RememberPair();
}

void ReGrid(MainWindow& window, ChainDialogs& dialogs) {
  CompareSession& session = *window.session_;
  if (!ShowOutcome(session.CanReGrid())) return;
  FieldGrid grid = session.MakeReGridGrid();
  if (dialogs.ReGridFields(grid) <= 0) return;
  session.ApplyReGrid(grid);
  window.ShowReclassified();
}

// ---- Installation ---------------------------------------------------------------------------

SetUpCommands::SetUpCommands(MainWindow& window, std::unique_ptr<ChainDialogs> dialogs)
    : QObject(&window), dialogs_(std::move(dialogs)), fixSource_(window.global_->FixReader()) {
  setObjectName(QStringLiteral("SetUpCommands"));
  window.session_->SetFixedSource(&fixSource_);
}

// The session may still point at fixSource_ when the window goes: it is destroyed before
// the window's children, and nothing reads the source on the way.
SetUpCommands::~SetUpCommands() = default;

SetUpCommands* InstallSetUpCommands(MainWindow& window, std::unique_ptr<ChainDialogs> dialogs) {
  SetUpCommands* previous =
      window.findChild<SetUpCommands*>(QStringLiteral("SetUpCommands"), Qt::FindDirectChildrenOnly);
  if (!dialogs) dialogs = std::make_unique<WindowChainDialogs>(window);
  auto* commands = new SetUpCommands(window, std::move(dialogs));
  MainWindow* w = &window;
  window.SetCommands([w, commands] { RunComparison(*w, commands->Dialogs()); },
                     [w, commands] { ReGrid(*w, commands->Dialogs()); });
  delete previous;
  return commands;
}

// ---- The command line -----------------------------------------------------------------------

void OpenCommandLinePaths(MainWindow& window, const QStringList& paths) {
  if (paths.isEmpty()) return;
  std::vector<std::string> dropped;
  for (const QString& path : paths) {
    dropped.push_back(QFile::encodeName(QFileInfo(path).absoluteFilePath()).toStdString());
  }
  // Queued, so that the dialogs open over a window that the event loop has shown.
  MainWindow* target = &window;
  if (dropped.size() == 1) {
    // One file, as a file manager passes it: the file selection opens with it on the left.
    const std::string path = dropped.front();
    QTimer::singleShot(0, target, [target, path] {
      target->OpenPreset([&path](CompareSettings& settings) {
        settings.PathL = path;
        settings.FromClipboard = false;
      });
    });
    return;
  }
  QTimer::singleShot(0, target, [target, dropped] { target->DropFiles(dropped); });
}

}  // namespace korvel
