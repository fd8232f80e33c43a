#pragma once
// The main window's file-open command (RunComparison) and re-setting command (ReGrid), and
// the program's command line.
//
// RunComparison releases a shown extraction, runs the set-up chain (compare/SetUpChain.h)
// with the dropped pair when there is one, and on confirmation runs the comparison through
// MainWindow::CompareAndShow. A cancel anywhere leaves the previous result on screen.
// ReGrid shows the field-control dialog in re-setting mode over the current field layout
// and, when confirmed, classifies again and shows the result through ShowReclassified.
//
// Both reach their dialogs through ChainDialogs, so that tests can answer them from a
// script; the window's own dialogs are WindowChainDialogs. InstallSetUpCommands puts both
// commands into the window's hooks (the window does so when it is created).

#include <QObject>
#include <QStringList>
#include <memory>

#include "compare/FixedWidthRecordReader.h"
#include "setup/SetUpChain.h"

namespace korvel {

class MainWindow;

// The set-up chain's dialogs and the re-setting dialog.
class ChainDialogs : public SetUpDialogs {
 public:
  // The field-control dialog in re-setting mode over `grid` (seven columns, three fixed).
  // Above 0 confirmed, with the user's marks in `grid`; 0 or below: nothing is to change.
  virtual int ReGridFields(FieldGrid& grid) = 0;
};

// The program's dialogs: FileSelectionDialog, FixedLengthDialog and FieldControlDialog, each
// created for one modal showing over `window` and destroyed after it.
class WindowChainDialogs : public ChainDialogs {
 public:
  // `window` is not owned and must outlive this object.
  explicit WindowChainDialogs(MainWindow& window) : window_(window) {}

  int SelectFiles(CompareSettings& settings) override;
  int DefineFixedLength(const std::string& leftPath, int encoding, bool detectBom) override;
  int ControlFields(FieldGrid& grid) override;
  int ReGridFields(FieldGrid& grid) override;

 private:
  MainWindow& window_;
};

// The file-open command with `dialogs`.
void RunComparison(MainWindow& window, ChainDialogs& dialogs);
// The re-setting command with `dialogs`: "項目設定がされていません。" without a field layout.
void ReGrid(MainWindow& window, ChainDialogs& dialogs);

// What the two commands of one window share: their dialogs, and the fixed-length reader of
// the window's settings object as the session reads it. A child of the window (named
// "SetUpCommands"), so it lives as long as the window.
class SetUpCommands : public QObject {
  Q_OBJECT
 public:
  SetUpCommands(MainWindow& window, std::unique_ptr<ChainDialogs> dialogs);
  ~SetUpCommands() override;

  ChainDialogs& Dialogs() { return *dialogs_; }

 private:
  std::unique_ptr<ChainDialogs> dialogs_;
  FixedWidthRecordReader fixSource_;
};

// Installs RunComparison and ReGrid as the window's two commands (MainWindow::SetCommands),
// with `dialogs` (the window's own when null), replacing what an earlier call installed, and
// gives the session the shared fixed-length reader. The installed commands.
SetUpCommands* InstallSetUpCommands(MainWindow& window,
                                    std::unique_ptr<ChainDialogs> dialogs = nullptr);

// Paths named on the program's command line are taken as files dropped on the window, in
// their order, once the event loop has shown the window: two start the file-open command
// with them preset. One path alone (as a file manager passes it) starts the file-open
// command with it as the left path. Relative paths are taken from the current folder.
// Nothing happens without paths.
void OpenCommandLinePaths(MainWindow& window, const QStringList& paths);

}  // namespace korvel
