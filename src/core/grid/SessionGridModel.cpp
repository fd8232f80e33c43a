#include "grid/SessionGridModel.h"

namespace korvel {

int SessionGridModel::RowCount() const { return static_cast<int>(session_.ViewPairs().size()); }

RecordPair SessionGridModel::Pair(int row) const {
  return session_.ViewPairs()[static_cast<std::size_t>(row)];
}

int SessionGridModel::FieldCount() const { return static_cast<int>(session_.Fields().size()); }

const ResultField& SessionGridModel::Field(int field) const {
  return session_.Fields()[static_cast<std::size_t>(field)];
}

std::string_view SessionGridModel::Cell(Side side, int field, int tableRow) const {
  if (tableRow < 0 || field < 0 || field >= FieldCount()) return {};
  return session_.CellText(side, tableRow, Field(field).FieldNo(side));
}

bool SessionGridModel::CellsDiffer(const RecordPair& pair, int field) const {
  if (field < 0 || field >= FieldCount()) return false;
  if (!pair.IsPaired()) {
    return Field(field).CellsDiffer(Cell(Side::kLeft, field, pair.LeftRow),
                                    Cell(Side::kRight, field, pair.RightRow));
  }
  return session_.CellsDiffer(Field(field), pair);
}

Status SessionGridModel::ExtractColumn(int field, bool differing) {
  return session_.ExtractColumn(field, differing);
}

Status SessionGridModel::ExtractByStatus(int kind, bool differing) {
  return session_.ExtractByStatus(kind, differing);
}

void SessionGridModel::ShowExtraction(bool active) {
  if (active) {
    session_.ActivateExtraction();
  } else {
    session_.ReleaseExtraction();
  }
}

}  // namespace korvel
