#include "platform/Status.h"

#include <iterator>
#include <utility>

namespace korvel {

Status::Status(int code, MessageKind kind, std::string_view text) : code_(code) {
  messages_.push_back({kind, std::string(text)});
}

std::string_view Status::Text() const {
  return messages_.empty() ? std::string_view() : std::string_view(messages_.back().Text);
}

Status Status::About(std::string subject) && {
  if (!messages_.empty()) subject_ = std::move(subject);
  return std::move(*this);
}

Status Status::Then(Status next) && {
  if (messages_.empty()) return next;
  // The subject belongs to the last message: it moves on only with new messages.
  if (next.HasMessages()) subject_ = std::move(next.subject_);
  messages_.insert(messages_.end(), std::make_move_iterator(next.messages_.begin()),
                   std::make_move_iterator(next.messages_.end()));
  code_ = next.code_;
  return std::move(*this);
}

Status Status::Then(Status next) const& { return Status(*this).Then(std::move(next)); }

}  // namespace korvel
