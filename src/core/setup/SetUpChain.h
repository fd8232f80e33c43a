#pragma once
// The set-up chain of the file-open command: the dialogs that collect what to compare, in
// order, with their ways back, ending in a confirmed field-control grid or in a cancel.
//
// Three states: file selection, then (fixed-length files only) the fixed-length
// definition, then field control. Each dialog is preset from the session's comparison
// settings and writes its confirmed choices back into them; the chain keeps nothing else.
// Before the field-control dialog the grid is filled from the two files (or from the
// fixed-length definitions); a failed filling goes back to the dialog that can mend it.
//
// The dialogs are reached through SetUpDialogs, so that the desktop program shows its
// windows and tests answer them from a script; the filling's messages go through the
// Prompter the chain is made with, since the chain goes on after them. No Qt here.

#include <optional>
#include <string>

#include "compare/CompareSession.h"
#include "compare/FieldGrid.h"
#include "platform/Prompter.h"

namespace korvel {

class SettingsStore;

// The dialogs of the chain, each shown modally for one answer.
class SetUpDialogs {
 public:
  virtual ~SetUpDialogs() = default;

  // The file selection: shows `settings` (the other delimiter, the file kind, the
  // first-row flag, both paths, the encoding with the clipboard flag, the BOM flag). 0 when
  // cancelled (`settings` untouched); otherwise 1, with the confirmed choices written back
  // into `settings` (the members named above; the others are left alone).
  virtual int SelectFiles(CompareSettings& settings) = 0;

  // The fixed-length definition, previewing `leftPath` read with `encoding` and
  // `detectBom`. 0 cancelled, -1 back, any other value confirmed (the shared fixed-length
  // reader then holds the definitions).
  virtual int DefineFixedLength(const std::string& leftPath, int encoding, bool detectBom) = 0;

  // The field control over the filled `grid`. Above 0: run the comparison, with the user's
  // marks in `grid`; 0 cancelled; below 0 back.
  virtual int ControlFields(FieldGrid& grid) = 0;
};

// Two paths dropped on the main window since the last run.
struct DroppedPair {
  std::string PathL;
  std::string PathR;
};

enum class SetUpState { kFileSelection, kFixedDefinition, kFieldControl };

class SetUpChain {
 public:
  // `session`, `global`, `dialogs` and `prompter` are not owned and must outlive the chain.
  // `global` hands in the reading options that the options dialog keeps there (TAB quoting
  // rule, newline replacement); `prompter` shows the filling's warnings and failures.
  SetUpChain(CompareSession& session, const SettingsStore& global, SetUpDialogs& dialogs,
             Prompter& prompter)
      : session_(session), global_(global), dialogs_(dialogs), prompter_(prompter) {}

  // Runs the dialogs from the file selection on. With `dropped`, the first file selection
  // shows the dropped paths in place of PathL and PathR, and FromClipboard is cleared
  // first (it stays cleared even when the selection is cancelled). True when the field
  // control was confirmed: `grid` then holds the confirmed grid, ready for
  // CompareSession::CompareSides. False when a dialog was cancelled: the settings keep what
  // the dialogs confirmed before.
  //
  // The caller has released any shown extraction; the chain starts the session's set-up
  // (CompareSession::StartSetUp) itself.
  bool Run(const std::optional<DroppedPair>& dropped, FieldGrid& grid);

 private:
  std::optional<SetUpState> SelectFiles(const std::optional<DroppedPair>& dropped);
  std::optional<SetUpState> DefineFixedLength();
  std::optional<SetUpState> ControlFields(FieldGrid& grid, bool& confirmed);
  SetUpState BackFromFieldControl() const;

  CompareSession& session_;
  const SettingsStore& global_;
  SetUpDialogs& dialogs_;
  Prompter& prompter_;
};

}  // namespace korvel
