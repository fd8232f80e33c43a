#pragma once
// The characters a reader's conversion to Shift-JIS lost, placed by their offset in the
// converted input, then handed to the fields of the record being read. A field keeps a hash
// of what it lost, in order, not the text: enough to tell two cells whose '?' stood for
// different characters apart.

#include <cstddef>
#include <cstdint>
#include <deque>
#include <string_view>
#include <vector>

#include "platform/Codepage.h"

namespace korvel {

class LossLedger {
 public:
  void Clear() {
    pending_.clear();
    StartRecord();
  }
  // Cheap enough for the byte loops: most files lose nothing.
  bool HasPending() const { return !pending_.empty(); }
  void Add(std::size_t offset, std::uint32_t code) { pending_.push_back({offset, code}); }
  // Forgets what the fields of the last record lost.
  void StartRecord() {
    if (!record_.empty()) {
      record_.clear();
      codes_.clear();
    }
  }
  // Gives field `field` the lost characters before offset `end`; with `field` -1 drops them
  // (they were in text no field holds).
  [[gnu::cold, gnu::noinline]] void Take(int field, std::size_t end);
  // For a value the store rule cut short: of what field `field` lost, only what can still
  // stand in the kept text counts, as far as its '?' tell — at most one lost character for
  // each '?' of `kept`, the earliest ones (the cut drops the end of the text). A cut
  // value's '?' that were in the file all along may thus let a dropped character count;
  // what lies wholly past the cut never makes equal texts differ.
  void KeepFor(int field, std::string_view kept);
  // The hash of what field `field` of the current record lost; 0 when nothing.
  std::uint64_t FieldLoss(int field) const;

 private:
  struct FieldCodes {
    int field;
    std::size_t begin;  // into codes_
    std::size_t end;
  };
  std::deque<LostCharacter> pending_;
  std::vector<std::uint32_t> codes_;  // the current record's lost code points, field by field
  std::vector<FieldCodes> record_;
};

}  // namespace korvel
