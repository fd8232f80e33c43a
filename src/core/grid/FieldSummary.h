#pragma once
// FieldSummary: the per-field view of a result that the field summary panel and korvel-cli's
// --field-summary show: every field of the layout with its number of differing records,
// in field order or by count, and which fields the grid keeps when the fields without
// differences are hidden.
//
// The counts are the classification's (ResultField::DiffCount): paired records whose cells
// of the field differ, one-sided records not counted, always of the whole result whatever
// an extraction shows; the report's summary.fields gives the same numbers. A field that is
// never compared (不要, or one side lacks it) has no count.

#include <vector>

#include "compare/ResultModel.h"
#include "grid/GridNavigation.h"

namespace korvel {

// True for a field whose cells are compared: neither 不要 nor one-sided.
bool IsComparedField(const ResultField& field);

// The field's number as korvel-cli's options and the report take it (ResultField::ListNo,
// else the side's own field number).
int FieldListNumber(const ResultField& field);

struct FieldSummaryRow {
  int field = 0;          // index into the fields (keys first)
  bool compared = false;  // false: shown greyed, without a count
  int differing = 0;      // DiffCount; 0 for a field not compared
  bool operator==(const FieldSummaryRow&) const = default;
};

enum class FieldSummaryOrder {
  kByCount,     // compared fields by count, largest first, ties in field order; then the
                // fields not compared, in field order
  kFieldOrder,  // the fields as the grid has them
};

// One row per field of `fields`, in `order`.
std::vector<FieldSummaryRow> FieldSummaryRows(const std::vector<ResultField>& fields,
                                              FieldSummaryOrder order);

// The largest count of `rows` (0 when none differs).
int LargestCount(const std::vector<FieldSummaryRow>& rows);

// The length in pixels of the bar of `count` when the largest count fills `fullLength`:
// proportional, rounded to the nearest pixel, at least 1 for any count above 0.
int BarLength(int count, int largest, int fullLength);

// The fields the grid shows while the fields without differences are hidden, in field
// order: the keys, every field with a differing record, and `keepField` (the cursor's; -1
// for none).
std::vector<int> FieldsShownWhenHiding(const std::vector<ResultField>& fields, int keepField);

// The first shown row whose pair holds both records and differs in `field` (what F7 finds
// from the top), or -1 when no shown row does.
int FirstDifferenceRow(const NavigationSource& source, int field);

}  // namespace korvel
