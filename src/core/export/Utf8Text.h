#pragma once
// Utf8Text: the UTF-8 form of CP932 texts for the exports that write UTF-8 (the XML
// workbook, the .xlsx workbook and the report), each with the spellings its format needs,
// made in one pass over tables built once: a result of a million pairs has tens of millions
// of cells, and a temporary string per cell would cost more than the writing.
//
// The characters are those of Cp932ToUtf8 (platform/Codepage.h), whose conversion of every
// single byte and every lead-trail pair fills the tables: an undefined double-byte code is
// U+FFFD, and a lead byte before a byte that cannot be a trail byte (or at the very end) is
// U+FFFD alone, the byte after it read again. A writer's options change single bytes only;
// a byte inside a double-byte character (a trail byte such as '\\' or 0x80) is never
// respelled.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace korvel {

class ExportBuffer;

struct Utf8TextOptions {
  // The control characters other than TAB, CR and LF, and 0x80 standing alone (the control
  // character U+0080), become '?', the code page's default character: XML 1.0 has no form
  // at all for them, and the report must say what the workbook of the same result says.
  bool ControlsAsQuestionMarks = false;
  // Single bytes written as a text of their own (an entity reference, an escape) instead of
  // their character; each text at most Utf8Text::kMaxSpelling bytes. Applied after the
  // above.
  std::vector<std::pair<char, std::string_view>> Spellings;
};

class Utf8Text {
 public:
  static constexpr std::size_t kMaxSpelling = 7;

  explicit Utf8Text(const Utf8TextOptions& options);

  // The room Convert needs for `n` input bytes: a double-byte character that begins at the
  // last of them is written whole, and every piece is copied at its full width.
  std::size_t Bound(std::size_t n) const { return (n + 1) * maxGrowth_ + kCopySlack; }

  // Writes at `out` the UTF-8 form of the characters of `text` that begin at `i` and before
  // `stop` (a double-byte character beginning just before `stop` is written whole), moves
  // `out` past it and returns where it stopped. `out` needs Bound(stop - i) bytes.
  std::size_t Convert(std::string_view text, std::size_t i, std::size_t stop, char*& out) const;

  // Appends the UTF-8 form of all of `text`.
  void Append(std::string_view text, std::string& out) const;
  // The same, in chunks that fit the buffer's block.
  void Append(std::string_view text, ExportBuffer& out) const;

  // The shared table of the lead-trail pairs, built once for every Utf8Text.
  struct PairPiece {
    char bytes[3];
    std::uint8_t length;
  };
  struct SinglePiece {
    char bytes[kMaxSpelling];
    std::uint8_t length;
  };
  static constexpr int kLeadCount = 60;  // 0x81-0x9F and 0xE0-0xFC
  static constexpr std::uint8_t kNotLead = 0xFF;
  struct SharedTables;

 private:
  static constexpr std::size_t kCopySlack = kMaxSpelling + 1;

  std::array<SinglePiece, 256> single_{};
  const SharedTables& shared_;
  std::size_t maxGrowth_ = 3;
};

}  // namespace korvel
