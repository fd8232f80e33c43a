#include "export/SessionExportSource.h"

namespace korvel {

int SessionExportSource::PairCount() const { return static_cast<int>(session_.ViewPairs().size()); }

ExportPair SessionExportSource::Pair(int index) const {
  const RecordPair& p = session_.ViewPairs()[static_cast<std::size_t>(index)];
  return {p.Status, p.LeftRow, p.RightRow};
}

int SessionExportSource::FieldCount() const { return static_cast<int>(session_.Fields().size()); }

ExportField SessionExportSource::Field(int index) const {
  const LayoutField& f = session_.Fields()[static_cast<std::size_t>(index)];
  return {f.FieldNo, f.IsKey != 0, f.NotCompared != 0, f.NameView()};
}

std::string_view SessionExportSource::Cell(int side, int row, int fieldNo) const {
  if (row < 0) return {};
  return session_.CellText(side == kLeftSide ? Side::kLeft : Side::kRight, row, fieldNo);
}

std::string_view SessionExportSource::Path(int side) const {
  return side == kLeftSide ? session_.Settings().PathL : session_.Settings().PathR;
}

}  // namespace korvel
