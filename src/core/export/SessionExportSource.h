#pragma once
// The export writers' view of a comparison session: the pairs in view (so an active
// extraction limits an export), the field layout, the cells of both tables and the paths of
// the run that produced the result (not those of a set-up cancelled since).

#include "compare/CompareSession.h"
#include "export/ExportSource.h"

namespace korvel {

class SessionExportSource : public ExportSource {
 public:
  // `session` is not owned and must outlive the export; its result must not change while
  // an export runs.
  explicit SessionExportSource(const CompareSession& session) : session_(session) {}

  int PairCount() const override;
  RecordPair Pair(int index) const override;
  int FieldCount() const override;
  const ResultField& Field(int index) const override;
  std::string_view Cell(Side side, int row, int fieldNo) const override;
  std::string_view Path(Side side) const override;
  bool CellsDiffer(const RecordPair& pair, const ResultField& field) const override;

 private:
  const CompareSession& session_;
};

}  // namespace korvel
