#include "export/SessionExportSource.h"

namespace korvel {

int SessionExportSource::PairCount() const { return static_cast<int>(session_.ViewPairs().size()); }

RecordPair SessionExportSource::Pair(int index) const {
  return session_.ViewPairs()[static_cast<std::size_t>(index)];
}

int SessionExportSource::FieldCount() const { return static_cast<int>(session_.Fields().size()); }

const ResultField& SessionExportSource::Field(int index) const {
  return session_.Fields()[static_cast<std::size_t>(index)];
}

std::string_view SessionExportSource::Cell(Side side, int row, int fieldNo) const {
  if (row < 0) return {};
  return session_.CellText(side, row, fieldNo);
}

std::string_view SessionExportSource::Path(Side side) const { return session_.ResultPath(side); }

bool SessionExportSource::CellsDiffer(const RecordPair& pair, const ResultField& field) const {
  return session_.CellsDiffer(field, pair);
}

}  // namespace korvel
