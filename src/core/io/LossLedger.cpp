#include "io/LossLedger.h"

namespace korvel {

void LossLedger::Take(int field, std::size_t end) {
  // FNV-1a over the lost code points; the low bit set, so that a loss never hashes to 0.
  std::uint64_t hash = 0xCBF29CE484222325ull;
  bool any = false;
  while (!pending_.empty() && pending_.front().Offset < end) {
    hash = (hash ^ pending_.front().Code) * 0x100000001B3ull;
    any = true;
    pending_.pop_front();
  }
  if (any && field >= 0) record_.push_back({field, hash | 1});
}

std::uint64_t LossLedger::FieldLoss(int field) const {
  for (const auto& [index, hash] : record_) {
    if (index == field) return hash;
  }
  return 0;
}

}  // namespace korvel
