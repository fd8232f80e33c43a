#pragma once
// The grid window's view of a CompareSession (GridModel): what is shown, ViewPairs (so an
// active extraction limits it) and the compared fields, keys first; and the extraction
// operations that switch what is shown.
//
// The model keeps a reference to its session (not owned), which must outlive it. Texts
// handed out live as long as the session's result does (see CompareSession).

#include "compare/CompareSession.h"
#include "grid/GridModel.h"

namespace korvel {

class SessionGridModel : public GridModel {
 public:
  explicit SessionGridModel(CompareSession& session) : session_(session) {}

  int RowCount() const override;
  RecordPair Pair(int row) const override;
  int FieldCount() const override;
  int KeyCount() const override { return session_.KeyCount(); }
  const ResultField& Field(int field) const override;
  std::string_view Cell(Side side, int field, int tableRow) const override;
  bool CellsDiffer(const RecordPair& pair, int field) const override;

  bool ExtractActive() const override { return session_.ExtractActive(); }
  Status ExtractColumn(int field, bool differing) override;
  Status ExtractByStatus(int kind, bool differing) override;
  std::string ExtractStatusText() const override { return session_.ExtractStatusText(); }
  void ShowExtraction(bool active) override;

 private:
  CompareSession& session_;
};

}  // namespace korvel
