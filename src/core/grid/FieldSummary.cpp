#include "grid/FieldSummary.h"

#include <algorithm>
#include <cstddef>

namespace korvel {

bool IsComparedField(const ResultField& field) { return !field.NotCompared && !field.IsOneSided(); }

int FieldListNumber(const ResultField& field) {
  if (field.ListNo > 0) return field.ListNo;
  return field.FieldNoLeft != kNoFieldNo ? field.FieldNoLeft : field.FieldNoRight;
}

std::vector<FieldSummaryRow> FieldSummaryRows(const std::vector<ResultField>& fields,
                                              FieldSummaryOrder order) {
  std::vector<FieldSummaryRow> rows;
  rows.reserve(fields.size());
  for (std::size_t j = 0; j < fields.size(); ++j) {
    const bool compared = IsComparedField(fields[j]);
    rows.push_back({static_cast<int>(j), compared, compared ? fields[j].DiffCount : 0});
  }
  if (order == FieldSummaryOrder::kByCount) {
    // Stable, so that equal counts keep the field order.
    std::stable_sort(rows.begin(), rows.end(),
                     [](const FieldSummaryRow& a, const FieldSummaryRow& b) {
                       if (a.compared != b.compared) return a.compared;
                       return a.differing > b.differing;
                     });
  }
  return rows;
}

int LargestCount(const std::vector<FieldSummaryRow>& rows) {
  int largest = 0;
  for (const FieldSummaryRow& row : rows) largest = std::max(largest, row.differing);
  return largest;
}

int BarLength(int count, int largest, int fullLength) {
  if (count <= 0 || largest <= 0 || fullLength <= 0) return 0;
  const long long scaled =
      (static_cast<long long>(count) * fullLength * 2 + largest) / (2LL * largest);
  return std::max(1, static_cast<int>(std::min<long long>(scaled, fullLength)));
}

std::vector<int> FieldsShownWhenHiding(const std::vector<ResultField>& fields, int keepField) {
  std::vector<int> shown;
  for (std::size_t j = 0; j < fields.size(); ++j) {
    const ResultField& f = fields[j];
    const int index = static_cast<int>(j);
    if (f.IsKey || index == keepField || (IsComparedField(f) && f.DiffCount > 0)) {
      shown.push_back(index);
    }
  }
  return shown;
}

int FirstDifferenceRow(const NavigationSource& source, int field) {
  if (field < 0 || field >= source.fieldCount) return -1;
  for (int row = 0; row < source.rowCount; ++row) {
    if (source.status(row) > 0 && source.cellsDiffer(row, field)) return row;
  }
  return -1;
}

}  // namespace korvel
