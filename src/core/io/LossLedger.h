#pragma once
// The characters a reader's conversion to Shift-JIS lost, placed by their offset in the
// converted input, then handed to the fields of the record being read. A field keeps a hash
// of what it lost, not the text: enough to tell two cells whose '?' stood for different
// characters apart. Each lost character counts with its place among the '?' of its own
// cell (its mark), so that "?X" and "X?" — the same text once X became '?' — still differ.
//
// Marks are counted by the reader, which alone knows where a cell begins in the text it
// has read: Place gives every pending character before an offset its mark while that text
// is still at hand (before the reader lets it go), Take hands the placed characters to a
// field.

#include <cstddef>
#include <cstdint>
#include <deque>
#include <string_view>
#include <vector>

#include "platform/Codepage.h"

namespace korvel {

class LossLedger {
 public:
  static constexpr std::uint32_t kUnplaced = 0xFFFFFFFFu;

  void Clear() {
    pending_.clear();
    StartRecord();
  }
  // Cheap enough for the byte loops: most files lose nothing.
  bool HasPending() const { return !pending_.empty(); }
  void Add(std::size_t offset, std::uint32_t code) {
    pending_.push_back({offset, code, kUnplaced});
  }
  // Forgets what the fields of the last record lost.
  void StartRecord() {
    if (!record_.empty()) {
      record_.clear();
      codes_.clear();
    }
  }
  // Gives the pending characters before offset `end` that have no mark yet their mark:
  // `marksBefore(offset)`, the number of '?' of their cell before that offset.
  template <class MarksBefore>
  void Place(std::size_t end, MarksBefore marksBefore) {
    for (Pending& p : pending_) {
      if (p.Offset >= end) break;
      if (p.Mark == kUnplaced) p.Mark = static_cast<std::uint32_t>(marksBefore(p.Offset));
    }
  }
  // Gives field `field` the lost characters before offset `end`, which Place has placed;
  // with `field` -1 drops them (they were in text no field holds).
  [[gnu::cold, gnu::noinline]] void Take(int field, std::size_t end);
  // The pending characters from offset `from` on move to `moved(offset)` and lose their
  // marks: their text is read again elsewhere (a broken multi-line cell's rest).
  template <class Moved>
  void Move(std::size_t from, Moved moved) {
    for (Pending& p : pending_) {
      if (p.Offset < from) continue;
      p.Offset = moved(p.Offset);
      p.Mark = kUnplaced;
    }
  }
  // For a value the store rule cut short: of what field `field` lost, only what stands in
  // the kept text counts — the characters whose mark is below the number of '?' of `kept`
  // (the cut drops the end of the text, and with it the later marks).
  void KeepFor(int field, std::string_view kept);
  // The hash of what field `field` of the current record lost; 0 when nothing.
  std::uint64_t FieldLoss(int field) const;

 private:
  struct Pending {
    std::size_t Offset;
    std::uint32_t Code;
    std::uint32_t Mark;  // its place among its cell's '?', or kUnplaced
  };
  struct FieldCodes {
    int field;
    std::size_t begin;  // into codes_
    std::size_t end;
  };
  struct Lost {
    std::uint32_t Code;
    std::uint32_t Mark;
  };
  std::deque<Pending> pending_;
  std::vector<Lost> codes_;  // the current record's lost characters, field by field
  std::vector<FieldCodes> record_;
};

}  // namespace korvel
