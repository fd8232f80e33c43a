#include "platform/Notifier.h"

#include <cstdio>

#include "platform/Codepage.h"
#include "platform/MessageText.h"

namespace korvel {
namespace {

Notifier* installed = nullptr;

StderrNotifier& DefaultNotifier() {
  static StderrNotifier notifier;
  return notifier;
}

}  // namespace

MessageBoxSpec BoxOf(const Message& message) {
  switch (message.Kind) {
    case MessageKind::kAlert:
      return {message.Text, Sjis("注意"), MessageIcon::kNone, MessageButtons::kOk, {}};
    case MessageKind::kError:
      return {message.Text, Sjis("エラー"), MessageIcon::kError, MessageButtons::kOk, {}};
    case MessageKind::kInformation:
      return {message.Text, Sjis("確認"), MessageIcon::kInformation, MessageButtons::kOk, {}};
    case MessageKind::kWarning:
    case MessageKind::kBeep:
      break;
  }
  return {message.Text, Sjis("注意"), MessageIcon::kWarning, MessageButtons::kOk, {}};
}

MessageBoxSpec QuestionBox(std::string_view text) {
  return {std::string(text), Sjis("確認"), MessageIcon::kQuestion, MessageButtons::kYesNo, {}};
}

void ShowMessage(Notifier& notifier, const Message& message, std::string_view subject) {
  if (message.Kind == MessageKind::kBeep) {
    notifier.Beep();
    return;
  }
  MessageBoxSpec box = BoxOf(message);
  box.subject = subject;
  notifier.Show(box);
}

void ShowStatus(Notifier& notifier, const Status& status) {
  NotifierPrompter(notifier).TellAll(status);
}

bool NotifierPrompter::Confirm(std::string_view question) {
  return notifier_.Show(QuestionBox(question));
}

void NotifierPrompter::Tell(const Message& message) { ShowMessage(notifier_, message); }

void NotifierPrompter::TellAbout(const Message& message, std::string_view subject) {
  ShowMessage(notifier_, message, subject);
}

Notifier& CurrentNotifier() { return installed ? *installed : DefaultNotifier(); }

Notifier* SetNotifier(Notifier* notifier) {
  Notifier* previous = installed;
  installed = notifier;
  return previous;
}

void Warn(std::string_view text) {
  ShowMessage(CurrentNotifier(), {MessageKind::kWarning, std::string(text)});
}
bool Ask(std::string_view text) { return CurrentNotifier().Show(QuestionBox(text)); }
void Info(std::string_view text) {
  ShowMessage(CurrentNotifier(), {MessageKind::kInformation, std::string(text)});
}
void Error(std::string_view text) {
  ShowMessage(CurrentNotifier(), {MessageKind::kError, std::string(text)});
}
void Alert(std::string_view text) {
  ShowMessage(CurrentNotifier(), {MessageKind::kAlert, std::string(text)});
}
void Beep() { CurrentNotifier().Beep(); }

bool StderrNotifier::Show(const MessageBoxSpec& box) {
  std::string line;
  if (!box.subject.empty()) {
    if (!program_.empty()) line = program_ + ": ";
    line += TextForMessage(box.subject);
    line.push_back('\n');
  }
  // A message may carry a name or a cell's text: nothing in it may drive the terminal. Its
  // own line breaks stay line breaks.
  const std::string text = Cp932ToUtf8(box.text);
  for (std::size_t start = 0;;) {
    std::size_t end = text.find('\n', start);
    std::string_view part(text.data() + start,
                          (end == std::string::npos ? text.size() : end) - start);
    if (end != std::string::npos && !part.empty() && part.back() == '\r') part.remove_suffix(1);
    line += TextForMessage(part);
    line.push_back('\n');
    if (end == std::string::npos) break;
    start = end + 1;
  }
  std::fwrite(line.data(), 1, line.size(), stderr);
  std::fflush(stderr);
  return box.buttons == MessageButtons::kOk;
}

void StderrNotifier::Beep() {}

bool RecordingNotifier::Show(const MessageBoxSpec& box) {
  entries_.push_back({box, false});
  if (box.buttons == MessageButtons::kOk) return true;
  if (answers_.empty()) return false;
  bool yes = answers_.front();
  answers_.pop_front();
  return yes;
}

void RecordingNotifier::Beep() { entries_.push_back({{}, true}); }

std::vector<std::string> RecordingNotifier::Texts() const {
  std::vector<std::string> texts;
  for (const Entry& e : entries_) {
    if (!e.beep) texts.push_back(Cp932ToUtf8(e.box.text));
  }
  return texts;
}

int RecordingNotifier::BeepCount() const {
  int n = 0;
  for (const Entry& e : entries_) n += e.beep ? 1 : 0;
  return n;
}

}  // namespace korvel
