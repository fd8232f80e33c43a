#pragma once
// ExportSource: the read-only view of a comparison result that the export writers read.
//
// The writers know nothing of row tables or pair lists; whoever owns the result (the
// comparison session, a test) implements this interface over it. It presents what is
// shown: the pairs in view (an active extraction limits them) in view order, and the
// compared fields, keys first.
//
// Lifetimes: every text handed out (names, cells, paths) must stay valid and unchanged for
// as long as the export runs; a writer holds the left and the right cell of a field at the
// same time. The result must not change during an export.

#include <string_view>

namespace korvel {

// Sides of a pair.
inline constexpr int kLeftSide = 0;
inline constexpr int kRightSide = 1;

// One shown result row.
struct ExportPair {
  // Above 0: the number of differing compared fields; 0: equal; -1: right only; -2: left
  // only.
  int Status = 0;
  // Row indexes on each side; -1 when the record exists on the other side only.
  int LeftRow = -1;
  int RightRow = -1;
};

// One compared field.
struct ExportField {
  // 1-based field number: the column of the field on both sides.
  int FieldNo = 0;
  bool IsKey = false;
  // The field never counts as different and is never marked (不要).
  bool NotCompared = false;
  // Display name, CP932.
  std::string_view Name;
};

class ExportSource {
 public:
  virtual ~ExportSource() = default;

  // The pairs in view; `index` runs from 0 to PairCount() - 1.
  virtual int PairCount() const = 0;
  virtual ExportPair Pair(int index) const = 0;

  // The compared fields, key fields first; `index` runs from 0 to FieldCount() - 1.
  virtual int FieldCount() const = 0;
  virtual ExportField Field(int index) const = 0;

  // The CP932 text of field `fieldNo` in row `row` (0 or more, a row index of a pair) of
  // `side` (kLeftSide or kRightSide); the empty text when the row has no such cell.
  virtual std::string_view Cell(int side, int row, int fieldNo) const = 0;

  // The compared file of `side`, as the file system spells it (UTF-8).
  virtual std::string_view Path(int side) const = 0;
};

}  // namespace korvel
