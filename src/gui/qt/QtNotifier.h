#pragma once
// The desktop program's notifier: every message of the engine and the windows becomes a
// task-modal message box without owner window, with the caption and icon of its kind.

#include "platform/Notifier.h"

namespace korvel {

class QtNotifier : public Notifier {
 public:
  bool Show(const MessageBoxSpec& box) override;
  void Beep() override;
};

}  // namespace korvel
