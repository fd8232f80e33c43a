#include "setup/SetUpChain.h"

#include "settings/SettingsStore.h"

namespace korvel {

bool SetUpChain::Run(const std::optional<DroppedPair>& dropped, FieldGrid& grid) {
  session_.StartSetUp();
  std::optional<DroppedPair> pending = dropped;
  std::optional<SetUpState> state = SetUpState::kFileSelection;
  bool confirmed = false;
  while (state && !confirmed) {
    switch (*state) {
      case SetUpState::kFileSelection:
        state = SelectFiles(pending);
        // A drop presets only the first showing; going back shows what was confirmed.
        pending.reset();
        break;
      case SetUpState::kFixedDefinition:
        state = DefineFixedLength();
        break;
      case SetUpState::kFieldControl:
        state = ControlFields(grid, confirmed);
        break;
    }
  }
  return confirmed;
}

std::optional<SetUpState> SetUpChain::SelectFiles(const std::optional<DroppedPair>& dropped) {
  CompareSettings& settings = session_.EditSettings();
  if (dropped) settings.FromClipboard = false;
  CompareSettings shown = settings;
  if (dropped) {
    shown.PathL = dropped->PathL;
    shown.PathR = dropped->PathR;
  }
  if (dialogs_.SelectFiles(shown) == 0) return std::nullopt;
  settings = shown;
  // The options dialog, reached from the file selection, keeps these in the settings
  // object only; the readers and the comparison take them from the session.
  settings.TabOldType = global_.GetTabOldType();
  settings.NewlineMode = global_.GetNewlineMode();
  settings.NumberTolerance = global_.NumberTolerance();
  return settings.FileKind == kFileKindFixed ? SetUpState::kFixedDefinition
                                             : SetUpState::kFieldControl;
}

std::optional<SetUpState> SetUpChain::DefineFixedLength() {
  const CompareSettings& settings = session_.EditSettings();
  const int result =
      dialogs_.DefineFixedLength(settings.PathL, session_.ReadingEncoding(), settings.DetectBom);
  if (result == 0) return std::nullopt;
  if (result == -1) return SetUpState::kFileSelection;
  return SetUpState::kFieldControl;
}

std::optional<SetUpState> SetUpChain::ControlFields(FieldGrid& grid, bool& confirmed) {
  // Every showing starts from a freshly filled grid without marks.
  FieldGrid filled;
  Status fill = session_.FillFieldGrids(filled, prompter_);
  if (!fill.IsOk()) {
    // The chain goes on after the message, back to the dialog that can mend it.
    prompter_.TellAll(fill);
    return BackFromFieldControl();
  }
  const int result = dialogs_.ControlFields(filled);
  if (result == 0) return std::nullopt;
  if (result < 0) return BackFromFieldControl();
  grid = std::move(filled);
  confirmed = true;
  return SetUpState::kFieldControl;
}

SetUpState SetUpChain::BackFromFieldControl() const {
  return session_.Settings().FileKind == kFileKindFixed ? SetUpState::kFixedDefinition
                                                        : SetUpState::kFileSelection;
}

}  // namespace korvel
