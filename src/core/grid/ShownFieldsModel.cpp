#include "grid/ShownFieldsModel.h"

#include <algorithm>
#include <cstddef>
#include <utility>

namespace korvel {

ShownFieldsModel::ShownFieldsModel(GridModel& base, std::vector<int> shown)
    : base_(base), shown_(std::move(shown)) {
  while (keyCount_ < FieldCount() && keyCount_ < base_.KeyCount() &&
         shown_[static_cast<std::size_t>(keyCount_)] == keyCount_) {
    ++keyCount_;
  }
}

int ShownFieldsModel::BaseField(int field) const {
  if (field < 0 || field >= FieldCount()) return -1;
  return shown_[static_cast<std::size_t>(field)];
}

int ShownFieldsModel::ShownField(int baseField) const {
  const auto at = std::lower_bound(shown_.begin(), shown_.end(), baseField);
  if (at == shown_.end() || *at != baseField) return -1;
  return static_cast<int>(at - shown_.begin());
}

std::string_view ShownFieldsModel::Cell(Side side, int field, int tableRow) const {
  const int base = BaseField(field);
  return base < 0 ? std::string_view() : base_.Cell(side, base, tableRow);
}

bool ShownFieldsModel::CellsDiffer(const RecordPair& pair, int field) const {
  const int base = BaseField(field);
  return base >= 0 && base_.CellsDiffer(pair, base);
}

Status ShownFieldsModel::ExtractColumn(int field, bool differing) {
  // A field outside the shown ones gets the base model's own refusal.
  const int base = BaseField(field);
  return base_.ExtractColumn(base < 0 ? base_.FieldCount() : base, differing);
}

}  // namespace korvel
