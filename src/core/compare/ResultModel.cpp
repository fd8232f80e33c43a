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
  return DifferUnder(Compare, left, right);
}

bool ResultField::CellsDifferInExport(std::string_view left, std::string_view right) const {
  if (IsOneSided()) return false;
  return DifferUnder(IsNumberCompare(Compare) ? FieldCompare::kNumber : FieldCompare::kText, left,
                     right);
}

bool ResultField::NumberDifference(std::string_view left, std::string_view right,
                                   DecimalNumber* difference) const {
  DecimalNumber a, b;
  if (IsOneSided() || !IsNumberCompare(Compare) || !ParseDecimal(left, &a) ||
      !ParseDecimal(right, &b)) {
    return false;
  }
  *difference = SubtractDecimal(b, a);
  return true;
}

bool ResultField::DifferUnder(FieldCompare compare, std::string_view left,
                              std::string_view right) const {
  switch (compare) {
    case FieldCompare::kText:
    case FieldCompare::kIgnoreSpaces:
      return korvel::CellsDiffer(left, right, compare == FieldCompare::kIgnoreSpaces);
    case FieldCompare::kNumber:
    case FieldCompare::kNumberIgnoreSpaces: {
      // Equal bytes are equal under either reading; most cells of a numeric field stop here.
      if (left == right) return false;
      DecimalNumber a, b;
      if (ParseDecimal(left, &a) && ParseDecimal(right, &b)) {
        return !WithinTolerance(a, b, Tolerance);
      }
      return korvel::CellsDiffer(left, right, compare == FieldCompare::kNumberIgnoreSpaces);
    }
  }
  return true;
}

}  // namespace korvel
