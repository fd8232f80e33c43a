#pragma once
// Prompter: how an operation speaks to the user while it runs, and goes on afterwards.
//
// Two things cannot wait for the operation's returned Status: a question whose answer
// decides what the operation does next (an existing file to be replaced, an XML export of
// many records), and a warning after which the operation carries on (more than 255 fields,
// a path too long for the program folder). The caller hands the operation a prompter for
// them — as a parameter, or as a member of an object it sets up — and the prompter shows
// them at once, so that they come before anything the operation returns. The desktop
// program's prompter shows message boxes, korvel-cli's prints them and answers No, tests
// record them (platform/Notifier.h has the adapter over a Notifier for all three).
//
// Texts are CP932. A prompter is used from one thread: an operation never prompts from a
// helper thread of its own.

#include <cstddef>
#include <string_view>
#include <vector>

#include "platform/Status.h"

namespace korvel {

class Prompter {
 public:
  virtual ~Prompter() = default;

  // Asks `question` with the buttons Yes and No (caption "確認", question icon) and waits
  // for the answer; true for Yes.
  virtual bool Confirm(std::string_view question) = 0;
  // Shows `message` (caption and icon by its kind) and returns once it has been taken in.
  virtual void Tell(const Message& message) = 0;

  // Tells `message` with what it is about (Status::Subject, UTF-8); a prompter that has no
  // place for the subject tells the message alone.
  virtual void TellAbout(const Message& message, std::string_view subject) {
    (void)subject;
    Tell(message);
  }

  // Tells every message of `status`, in order, the last one with the status's subject.
  void TellAll(const Status& status) {
    const std::vector<Message>& messages = status.Messages();
    for (std::size_t i = 0; i < messages.size(); ++i) {
      if (i + 1 == messages.size()) {
        TellAbout(messages[i], status.Subject());
      } else {
        Tell(messages[i]);
      }
    }
  }
};

}  // namespace korvel
