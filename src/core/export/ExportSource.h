#pragma once
// ExportSource: the read-only view of a comparison result that the export writers read.
//
// The writers know nothing of row tables or pair lists; whoever owns the result (the
// comparison session, a test) implements this interface over it. It presents what is
// shown: the pairs in view (an active extraction limits them) in view order, and the
// compared fields, keys first, as the result's own RecordPair and ResultField
// (compare/ResultModel.h). A writer reads a field's cell on a side through the field's
// number on that side (ResultField::FieldNo).
//
// Lifetimes: every text handed out (names, cells, paths) must stay valid and unchanged for
// as long as the export runs; a writer holds the left and the right cell of a field at the
// same time. The result must not change during an export.

#include <string_view>

#include "compare/ResultModel.h"

namespace korvel {

class ExportSource {
 public:
  virtual ~ExportSource() = default;

  // The pairs in view; `index` runs from 0 to PairCount() - 1.
  virtual int PairCount() const = 0;
  virtual RecordPair Pair(int index) const = 0;

  // The compared fields, key fields first; `index` runs from 0 to FieldCount() - 1.
  virtual int FieldCount() const = 0;
  virtual const ResultField& Field(int index) const = 0;

  // The CP932 text of field number `fieldNo` of `side` in row `row` (0 or more, a row index
  // of a pair); the empty text when the row has no such cell.
  virtual std::string_view Cell(Side side, int row, int fieldNo) const = 0;

  // The compared file of `side`, as the file system spells it (UTF-8).
  virtual std::string_view Path(Side side) const = 0;

  // Whether the two cells of `field` in `pair` differ, as the grid decides
  // (CompareSession::CellsDiffer): by their texts, and where those agree by the characters
  // that became '?' in them. Not compared fields and one-sided pairs are the caller's question.
  virtual bool CellsDiffer(const RecordPair& pair, const ResultField& field) const {
    auto cell = [&](Side side) {
      const int row = pair.Row(side);
      return row < 0 ? std::string_view() : Cell(side, row, field.FieldNo(side));
    };
    return field.CellsDiffer(cell(Side::kLeft), cell(Side::kRight));
  }
};

}  // namespace korvel
