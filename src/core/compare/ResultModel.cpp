#include "compare/ResultModel.h"

#include "compare/Collation.h"
#include "platform/Codepage.h"

namespace korvel {

void ResultField::SetName(std::string_view name) {
  name = name.substr(0, name.find('\0'));
  std::size_t n = 0;
  while (n < name.size()) {
    std::size_t w = IsLeadByte(name[n]) && n + 1 < name.size() ? 2 : 1;
    if (n + w > kMaxNameBytes) break;
    n += w;
  }
  Name.assign(name.substr(0, n));
}

bool ResultField::CellsDiffer(std::string_view left, std::string_view right) const {
  if (IsOneSided()) return false;
  return korvel::CellsDiffer(left, right, Compare == FieldCompare::kIgnoreSpaces);
}

}  // namespace korvel
