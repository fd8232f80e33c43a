#pragma once
// ShownFieldsModel: a GridModel that shows some of another model's fields, so that the grid
// can hide the fields without differences. Field j of this model is field Shown()[j] of the
// base model; the keys must be among the shown fields and come first, as in the base. Rows,
// cells, extraction and its texts are the base model's; ExtractColumn takes this model's
// field index. Everything the grid computes through this model (columns, hit tests,
// navigation, painting) then works on the shown fields only.
//
// The base model is not owned and must outlive this one.

#include <vector>

#include "grid/GridModel.h"

namespace korvel {

class ShownFieldsModel : public GridModel {
 public:
  // `shown`: indexes into the base model's fields, ascending, the keys included.
  ShownFieldsModel(GridModel& base, std::vector<int> shown);

  const std::vector<int>& Shown() const { return shown_; }
  // The base model's index of field `field` of this model.
  int BaseField(int field) const;
  // This model's index of the base model's field `baseField`; -1 when it is hidden.
  int ShownField(int baseField) const;

  int RowCount() const override { return base_.RowCount(); }
  RecordPair Pair(int row) const override { return base_.Pair(row); }
  int FieldCount() const override { return static_cast<int>(shown_.size()); }
  int KeyCount() const override { return keyCount_; }
  const ResultField& Field(int field) const override { return base_.Field(BaseField(field)); }
  std::string_view Cell(Side side, int field, int tableRow) const override;
  bool CellsDiffer(const RecordPair& pair, int field) const override;

  bool ExtractActive() const override { return base_.ExtractActive(); }
  Status ExtractColumn(int field, bool differing) override;
  Status ExtractByStatus(int kind, bool differing) override {
    return base_.ExtractByStatus(kind, differing);
  }
  std::string ExtractStatusText() const override { return base_.ExtractStatusText(); }
  void ShowExtraction(bool active) override { base_.ShowExtraction(active); }

 private:
  GridModel& base_;
  std::vector<int> shown_;
  int keyCount_ = 0;
};

}  // namespace korvel
