#include "grid/SessionGridModel.h"

namespace korvel {

int SessionGridModel::RowCount() const { return static_cast<int>(session_.ViewPairs().size()); }

GridPair SessionGridModel::Pair(int row) const {
  const RecordPair& pair = session_.ViewPairs()[static_cast<std::size_t>(row)];
  return {pair.Status, pair.LeftRow, pair.RightRow};
}

int SessionGridModel::FieldCount() const { return static_cast<int>(session_.Fields().size()); }

GridField SessionGridModel::Field(int field) const {
  const LayoutField& f = session_.Fields()[static_cast<std::size_t>(field)];
  GridField view;
  view.isKey = f.IsKey != 0;
  view.notCompared = f.NotCompared != 0;
  view.ignoreSpaces = f.IgnoreSpaces != 0;
  view.diffCount = f.DiffCount;
  view.name = f.NameView();
  return view;
}

std::string_view SessionGridModel::Cell(int pane, int field, int tableRow) const {
  if (tableRow < 0 || field < 0 || field >= FieldCount()) return {};
  const int fieldNo = session_.Fields()[static_cast<std::size_t>(field)].FieldNo;
  return session_.CellText(pane == kRightPane ? Side::kRight : Side::kLeft, tableRow, fieldNo);
}

bool SessionGridModel::CellsDiffer(const GridPair& pair, int field) const {
  if (field < 0 || field >= FieldCount()) return false;
  const bool ignoreSpaces = session_.Fields()[static_cast<std::size_t>(field)].IgnoreSpaces != 0;
  return CompareSession::CellsDiffer(Cell(kLeftPane, field, pair.leftRow),
                                     Cell(kRightPane, field, pair.rightRow), ignoreSpaces);
}

bool SessionGridModel::ExtractColumn(int field, bool differing) {
  return session_.ExtractColumn(field, differing);
}

bool SessionGridModel::ExtractByStatus(int kind, bool differing) {
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
