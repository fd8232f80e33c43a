#include "export/ExportRows.h"

#include <charconv>

#include "platform/Codepage.h"

namespace korvel {

ExportRows::ExportRows(const ExportSource& source)
    : source_(source),
      pairCount_(source.PairCount()),
      rightOnly_(Sjis(" 右のみ")),
      leftOnly_(Sjis(" 左のみ")) {
  int count = source.FieldCount();
  fields_.reserve(static_cast<std::size_t>(count > 0 ? count : 0));
  for (int j = 0; j < count; ++j) {
    fields_.push_back(source.Field(j));
    // A field one file lacks has nothing to compare: it is written as a field not compared,
    // never as a difference.
    if (fields_.back().IsOneSided()) fields_.back().NotCompared = true;
  }
  while (keyCount_ < count && fields_[static_cast<std::size_t>(keyCount_)].IsKey) ++keyCount_;
}

std::string_view ExportRows::StatusText(int status, TextBuffer& buffer, bool spaced) const {
  if (status == -1 || status == -2) {
    std::string_view text = status == -1 ? rightOnly_ : leftOnly_;
    return spaced ? text : text.substr(1);
  }
  // " %3d": a space, then the number right-aligned in three characters.
  char digits[16];
  auto end = std::to_chars(digits, digits + sizeof digits, status).ptr;
  auto length = static_cast<std::size_t>(end - digits);
  std::size_t pad = length < 3 ? 3 - length : 0;
  char* p = buffer;
  *p++ = ' ';
  for (std::size_t i = 0; i < pad; ++i) *p++ = ' ';
  for (std::size_t i = 0; i < length; ++i) *p++ = digits[i];
  return std::string_view(buffer, static_cast<std::size_t>(p - buffer));
}

std::string_view ExportRows::Number(int n, TextBuffer& buffer) {
  auto end = std::to_chars(buffer, buffer + sizeof(TextBuffer), n).ptr;
  return std::string_view(buffer, static_cast<std::size_t>(end - buffer));
}

}  // namespace korvel
