#pragma once
// Status: the outcome of an engine operation as a value, in the manner of leveldb's Status:
// the operation's result code and the messages it has for the user. The engine shows
// nothing itself; the front end shows a returned status (the desktop program as message
// boxes, korvel-cli on standard error, tests by recording it), message by message in the
// order the status holds them.
//
// The code is the operation's own documented integer result: 0 for success, otherwise the
// failure it names (each operation lists its codes). A status holds
//  - no message: a success, or a refusal that needs no word (the user answered No);
//  - one message: the common case, e.g. the warning of a failure;
//  - several messages that arose one after the other, e.g. a list's memory warning and
//    then the alert of the reader that needed the list (Then).
// A success may carry a message too: a completion notice.
//
// The kind of a message decides the caption and icon it is shown with. Texts are CP932.

#include <string>
#include <string_view>
#include <vector>

namespace korvel {

enum class MessageKind {
  kWarning,      // caption "注意", warning icon: a refusal or a failure
  kAlert,        // caption "注意", no icon: the readers' memory message
  kError,        // caption "エラー", error icon: an internal consistency message
  kInformation,  // caption "確認", information icon: a completion notice
  kBeep,         // no box, a plain beep: nothing found, nothing to do
};

struct Message {
  MessageKind Kind = MessageKind::kWarning;
  std::string Text;  // CP932; empty for a beep
  bool operator==(const Message&) const = default;
};

class [[nodiscard]] Status {
 public:
  // Success with nothing to show.
  Status() = default;
  // `code` with nothing to show.
  explicit Status(int code) : code_(code) {}
  // `code` with one message of `kind`.
  Status(int code, MessageKind kind, std::string_view text);

  static Status Ok() { return Status(); }
  // A refusal or a failure with its warning (caption "注意").
  static Status Warning(int code, std::string_view text) {
    return Status(code, MessageKind::kWarning, text);
  }
  // A success with a completion notice (caption "確認").
  static Status Notice(std::string_view text) { return Status(0, MessageKind::kInformation, text); }
  // `code` with a beep.
  static Status Beeped(int code) { return Status(code, MessageKind::kBeep, {}); }

  bool IsOk() const { return code_ == 0; }
  int Code() const { return code_; }
  bool HasMessages() const { return !messages_.empty(); }
  const std::vector<Message>& Messages() const { return messages_; }
  // The last message's text, the outcome's own ("" without messages).
  std::string_view Text() const;
  // What the outcome's own (last) message is about, when it names an input: its side and
  // path, UTF-8, made safe to show ("左: /data/a.csv"); empty otherwise. The front ends
  // show it with that message (the window as the box's second line, korvel-cli on a line
  // of its own before it); the message's text stays as it is.
  const std::string& Subject() const { return subject_; }
  // This status with `subject` as the subject of its last message; a status without
  // messages takes none.
  Status About(std::string subject) &&;

  // The outcome of a step that ran after the one this status tells of: this status's
  // messages followed by `next`'s, with `next`'s code.
  Status Then(Status next) &&;
  Status Then(Status next) const&;

  bool operator==(const Status&) const = default;

 private:
  int code_ = 0;
  std::vector<Message> messages_;
  std::string subject_;
};

}  // namespace korvel
