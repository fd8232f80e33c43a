#include "compare/FieldNames.h"

#include <unordered_map>

#include "compare/ResultModel.h"

namespace korvel {

FieldPairing PairFieldsByName(const std::vector<std::string>& left,
                              const std::vector<std::string>& right) {
  // The right fields of each name, in order; a left field takes the first one not taken.
  std::unordered_map<std::string_view, std::vector<std::int32_t>> byName;
  for (std::size_t i = right.size(); i-- > 0;) {
    if (!right[i].empty()) byName[right[i]].push_back(static_cast<std::int32_t>(i) + 1);
  }
  std::vector<char> taken(right.size() + 1, 0);
  FieldPairing pairing;
  for (std::size_t i = 0; i < left.size(); ++i) {
    std::int32_t match = kNoFieldNo;
    if (auto it = byName.find(left[i]); it != byName.end() && !it->second.empty()) {
      match = it->second.back();
      it->second.pop_back();
      taken[static_cast<std::size_t>(match)] = 1;
    }
    pairing.Left.push_back(static_cast<std::int32_t>(i) + 1);
    pairing.Right.push_back(match);
  }
  for (std::size_t k = 1; k <= right.size(); ++k) {
    if (taken[k]) continue;
    pairing.Left.push_back(kNoFieldNo);
    pairing.Right.push_back(static_cast<std::int32_t>(k));
  }
  return pairing;
}

int FindFieldByName(const std::vector<std::string>& names, std::string_view name) {
  if (name.empty()) return kFieldNameMissing;
  int found = kFieldNameMissing;
  for (std::size_t i = 0; i < names.size(); ++i) {
    if (names[i] != name) continue;
    if (found != kFieldNameMissing) return kFieldNameRepeated;
    found = static_cast<int>(i) + 1;
  }
  return found;
}

}  // namespace korvel
