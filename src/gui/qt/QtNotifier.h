#pragma once
// The desktop program's messages: every message of the engine and the windows becomes a
// task-modal message box without owner window, with the caption and icon of its kind.
//
// The program installs one QtNotifier for the whole process (platform/Notifier.h); tests
// install a recording one instead. The windows show the engine's outcomes through it
// (ShowOutcome) and hand the engine a prompter over it (BoxPrompter), so that everything
// the engine has to say reaches the same notifier, in the order the engine produced it.

#include <string_view>

#include "platform/Notifier.h"
#include "platform/Prompter.h"
#include "platform/Status.h"

namespace korvel {

class QtNotifier : public Notifier {
 public:
  bool Show(const MessageBoxSpec& box) override;
  void Beep() override;
};

// The prompter the windows hand to engine operations: questions and messages are shown at
// once through the notifier in force (CurrentNotifier) when they arise.
class BoxPrompter : public Prompter {
 public:
  bool Confirm(std::string_view question) override;
  void Tell(const Message& message) override;
  void TellAbout(const Message& message, std::string_view subject) override;
};

// The program's one BoxPrompter (it keeps no state).
Prompter& WindowPrompter();

// Shows the messages of an engine outcome through the notifier in force, in order; true
// when the outcome is a success. A window calls it before it shows (or empties) the result.
bool ShowOutcome(const Status& status);

}  // namespace korvel
