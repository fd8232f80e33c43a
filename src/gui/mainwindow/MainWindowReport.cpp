// The 差分レポート command: the difference report of what is shown, written from the window
// as korvel-cli writes it (export/ReportWriter.h).

#include <QFileInfo>
#include <vector>

#include "dialogs/FileChooser.h"
#include "export/ExportDriver.h"
#include "export/ReportWriter.h"
#include "mainwindow/MainWindow.h"
#include "platform/FileSystem.h"
#include "qt/QtNotifier.h"
#include "qt/QtText.h"

namespace korvel {

void MainWindow::mnuFileReportClick() {
  // The chosen type decides the format; a name typed without an extension gets its type's.
  SaveFileRequest request;
  request.title = Q("差分レポートの保存");
  request.filters = {{Q("JSON Lines(*.jsonl)"), Q("*.jsonl")},
                     {Q("CSVファイル(*.csv)"), Q("*.csv")}};
  request.folder = LastSaveFolder();
  int chosen = 1;
  QString name = CurrentFileChooser().ChooseSaveFileOfType(this, request, &chosen);
  if (name.isEmpty()) return;
  ReportOptions options;
  options.Format = chosen == 2 ? ReportFormat::kCsv : ReportFormat::kJsonLines;
  if (QFileInfo(name).suffix().isEmpty()) {
    name += options.Format == ReportFormat::kCsv ? Q(".csv") : Q(".jsonl");
  }
  const std::string path = name.toStdString();
  // As the export: what may not be replaced is refused first, and a file is replaced only
  // after はい (one that appears meanwhile stays).
  if (!ShowOutcome(CheckExportTarget(path))) return;
  const bool replace = CheckWriteTarget(path, 0) == FileSystem::kTargetExists;
  if (!ConfirmOverwrite(path, WindowPrompter())) return;
  ShowOutcome(ExportOutcome(
      WriteReport(*exportSource_, MakeReportSummary(*session_), options, path, replace), path));
}

}  // namespace korvel
