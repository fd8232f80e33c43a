#include "io/LossLedger.h"

#include <algorithm>

namespace korvel {

void LossLedger::Take(int field, std::size_t end) {
  const std::size_t begin = codes_.size();
  while (!pending_.empty() && pending_.front().Offset < end) {
    if (field >= 0) codes_.push_back({pending_.front().Code, pending_.front().Mark});
    pending_.pop_front();
  }
  if (codes_.size() > begin) record_.push_back({field, begin, codes_.size()});
}

void LossLedger::KeepFor(int field, std::string_view kept) {
  const auto marks = static_cast<std::size_t>(std::count(kept.begin(), kept.end(), '?'));
  for (FieldCodes& f : record_) {
    if (f.field != field) continue;
    // Marks rise through a field, so the kept ones come first.
    std::size_t end = f.begin;
    while (end < f.end && codes_[end].Mark < marks) ++end;
    f.end = end;
  }
}

std::uint64_t LossLedger::FieldLoss(int field) const {
  for (const FieldCodes& f : record_) {
    if (f.field != field || f.begin == f.end) continue;
    // FNV-1a over the lost code points and their marks; the low bit set, so that a loss
    // never hashes to 0.
    std::uint64_t hash = 0xCBF29CE484222325ull;
    for (std::size_t i = f.begin; i < f.end; ++i) {
      hash = (hash ^ codes_[i].Code) * 0x100000001B3ull;
      hash = (hash ^ codes_[i].Mark) * 0x100000001B3ull;
    }
    return hash | 1;
  }
  return 0;
}

}  // namespace korvel
