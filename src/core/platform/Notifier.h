#pragma once
// The front ends' way of showing messages: a Notifier shows one box (or beeps) and waits.
//
// The engine shows nothing: its operations return a Status (platform/Status.h) and ask
// their questions through a Prompter (platform/Prompter.h) that the caller hands them. A
// front end shows a returned status with ShowStatus and builds its prompter over its
// notifier with NotifierPrompter. The desktop program's notifier shows message boxes,
// korvel-cli's prints to standard error (StderrNotifier), and tests record the calls
// (RecordingNotifier).
//
// The desktop program keeps one notifier for the whole process (SetNotifier,
// CurrentNotifier): its boxes are task-modal and have no owner window, and its windows show
// their own messages through it (Warn, Ask, ...). These are for the front ends only; the
// engine never calls them.
//
// Every text is CP932, as everywhere in the program.

#include <deque>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/Prompter.h"
#include "platform/Status.h"

namespace korvel {

enum class MessageIcon { kNone, kWarning, kQuestion, kInformation, kError };
enum class MessageButtons { kOk, kYesNo };

struct MessageBoxSpec {
  std::string text;     // CP932
  std::string caption;  // CP932
  MessageIcon icon = MessageIcon::kNone;
  MessageButtons buttons = MessageButtons::kOk;
  // What the message is about (Status::Subject): UTF-8, shown after the text; may be empty.
  std::string subject;
};

class Notifier {
 public:
  virtual ~Notifier() = default;
  // Shows the box and waits for it; true when the user answered Yes (always true for OK).
  virtual bool Show(const MessageBoxSpec& box) = 0;
  // A plain beep: an operation found nothing to do.
  virtual void Beep() = 0;
};

// The box of a message: its caption and icon by kind, OK only. Not for a beep.
MessageBoxSpec BoxOf(const Message& message);
// The box of a question: "確認", question icon, Yes and No.
MessageBoxSpec QuestionBox(std::string_view text);
// Shows one message through `notifier`: its box (with `subject`, UTF-8), or a beep.
void ShowMessage(Notifier& notifier, const Message& message, std::string_view subject = {});
// Shows every message of `status` through `notifier`, in order, the last one with the
// status's subject.
void ShowStatus(Notifier& notifier, const Status& status);

// The prompter over a notifier: questions become question boxes, messages boxes of their
// kind. `notifier` is not owned and must outlive the prompter.
class NotifierPrompter : public Prompter {
 public:
  explicit NotifierPrompter(Notifier& notifier) : notifier_(notifier) {}
  bool Confirm(std::string_view question) override;
  void Tell(const Message& message) override;
  void TellAbout(const Message& message, std::string_view subject) override;

 private:
  Notifier& notifier_;
};

// The process-wide notifier of a front end. Never null: until one is installed, a
// StderrNotifier is used.
Notifier& CurrentNotifier();
// Installs `notifier` (not owned; null restores the default) and returns the previous one.
Notifier* SetNotifier(Notifier* notifier);

// A front end's own boxes through the process-wide notifier (captions and icons by kind).
void Warn(std::string_view text);   // "注意", warning icon: a refusal or a failure
bool Ask(std::string_view text);    // "確認", question icon, Yes/No; true for Yes
void Info(std::string_view text);   // "確認", information icon: a completion notice
void Error(std::string_view text);  // "エラー", error icon: an internal consistency message
void Alert(std::string_view text);  // "注意", no icon, OK only: a memory message
void Beep();

// Prints each box's text as UTF-8, one a line, to standard error; questions are printed
// and answered No. A box's subject comes on a line of its own before its text, after
// "`program`: " when a program name is given. Used by korvel-cli and as the default.
class StderrNotifier : public Notifier {
 public:
  explicit StderrNotifier(std::string program = {}) : program_(std::move(program)) {}
  bool Show(const MessageBoxSpec& box) override;
  void Beep() override;

 private:
  std::string program_;
};

// Records every call; questions are answered from a queue (default No once it is empty).
class RecordingNotifier : public Notifier {
 public:
  struct Entry {
    MessageBoxSpec box;  // caption and text are CP932
    bool beep = false;
  };

  bool Show(const MessageBoxSpec& box) override;
  void Beep() override;

  void QueueAnswer(bool yes) { answers_.push_back(yes); }
  void Clear() {
    entries_.clear();
    answers_.clear();
  }
  const std::vector<Entry>& Entries() const { return entries_; }
  // The texts of the boxes shown, in UTF-8, for readable assertions.
  std::vector<std::string> Texts() const;
  int BeepCount() const;

 private:
  std::vector<Entry> entries_;
  std::deque<bool> answers_;
};

// Installs a notifier for the lifetime of a scope.
class ScopedNotifier {
 public:
  explicit ScopedNotifier(Notifier* notifier) : previous_(SetNotifier(notifier)) {}
  ~ScopedNotifier() { SetNotifier(previous_); }
  ScopedNotifier(const ScopedNotifier&) = delete;
  ScopedNotifier& operator=(const ScopedNotifier&) = delete;

 private:
  Notifier* previous_;
};

}  // namespace korvel
