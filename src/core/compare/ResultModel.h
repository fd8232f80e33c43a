#pragma once
// The vocabulary of a comparison result that everything reading one shares: the grid, the
// export, the copy texts and the search. Three things:
//  - Side: which of the two compared files.
//  - RecordPair: one result row, naming a row of each side's row table.
//  - ResultField: one compared field, with the choices of the field-control grid and what
//    the classification counted for it.
//
// The result of a comparison (held by CompareSession) is a list of RecordPair in pairing
// order. A pair names a row of the left and of the right row table by index; the cell
// texts stay in the tables. Invariants after a completed run and after every
// re-classification:
//  - every row of each table is named by exactly one pair; no pair names neither side;
//  - Status is kRightOnly exactly when LeftRow is -1, kLeftOnly exactly when RightRow is
//    -1, otherwise the number of compared fields whose cells differ (0 = equal);
//  - the counters agree with the statuses (see CompareSession).
//
// A field names its column on each side separately (FieldNoLeft, FieldNoRight), so that a
// field one side lacks can be shown beside the other side's cells; and it carries its own
// comparison (Compare). Every reader of a cell goes through FieldNo(side) and every
// comparison of two cells through ResultField::CellsDiffer. A field holds no pixels:
// column widths and painted positions are the result grid's (grid/ColumnGeometry.h).

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "compare/DecimalNumber.h"

namespace korvel {

enum class Side { kLeft, kRight };

constexpr Side OtherSide(Side side) { return side == Side::kLeft ? Side::kRight : Side::kLeft; }

inline constexpr std::int32_t kStatusRightOnly = -1;  // 右のみ
inline constexpr std::int32_t kStatusLeftOnly = -2;   // 左のみ

struct RecordPair {
  std::int32_t Status = 0;     // above 0 differing fields; 0 equal; kRightOnly; kLeftOnly
  std::int32_t LeftRow = -1;   // row index in the left table, -1 for none
  std::int32_t RightRow = -1;  // row index in the right table, -1 for none

  bool IsPaired() const { return LeftRow >= 0 && RightRow >= 0; }
  // The row index on `side`; -1 when the record exists on the other side only.
  std::int32_t Row(Side side) const { return side == Side::kLeft ? LeftRow : RightRow; }
};
static_assert(sizeof(RecordPair) == 12);

// Kinds of ExtractByStatus (with the differing flag set).
inline constexpr int kExtractDiffering = -1;  // Status above 0
inline constexpr int kExtractLeftOnly = -2;   // Status kStatusLeftOnly
inline constexpr int kExtractRightOnly = -3;  // Status kStatusRightOnly
inline constexpr int kExtractNotEqual = -4;   // Status not 0

// How the two cells of a field are compared: the spaces rule is the grid's SPC除く, the
// number rule its 数値比較.
enum class FieldCompare : std::int32_t {
  kText,          // the cells differ when their bytes differ
  kIgnoreSpaces,  // the same, after half- and full-width spaces are taken out of each
  // When both cells are numbers (compare/DecimalNumber.h), they differ when they lie
  // further apart than the field's Tolerance; otherwise as kText or kIgnoreSpaces.
  kNumber,
  kNumberIgnoreSpaces,
};

constexpr bool IsNumberCompare(FieldCompare compare) {
  return compare == FieldCompare::kNumber || compare == FieldCompare::kNumberIgnoreSpaces;
}
// The comparison of a field with the grid's SPC除く and 数値比較 marks.
constexpr FieldCompare MakeFieldCompare(bool ignoreSpaces, bool number) {
  if (number) return ignoreSpaces ? FieldCompare::kNumberIgnoreSpaces : FieldCompare::kNumber;
  return ignoreSpaces ? FieldCompare::kIgnoreSpaces : FieldCompare::kText;
}

// A field number of a side that lacks the field: its cells read as "".
inline constexpr std::int32_t kNoFieldNo = -1;

struct ResultField {
  static constexpr std::size_t kMaxNameBytes = 63;

  // The field's 1-based field number on each side: its column in that side's row table,
  // or kNoFieldNo. A field built from the field-control grid's row j has j on both sides,
  // unless the grid pairs the fields by name (FieldGrid::FieldNo).
  std::int32_t FieldNoLeft = 0;
  std::int32_t FieldNoRight = 0;
  // The field's row in the field-control grid: its number in the list of shown fields, the
  // number korvel-cli's options take. Equal to FieldNoLeft unless fields pair by name.
  std::int32_t ListNo = 0;
  bool IsKey = false;
  bool Numeric = false;  // the key sorts and pairs as an integer (keys only)
  FieldCompare Compare = FieldCompare::kText;
  bool NotCompared = false;    // never counts as different, never marked (不要)
  bool NotLoaded = false;      // cells not loaded; "" on both sides (未取込)
  std::int32_t DiffCount = 0;  // paired records whose cells differ here (classification)
  std::string Name;            // display name, CP932, at most kMaxNameBytes bytes
  DecimalNumber Tolerance;     // how far apart two numbers may lie (the number rule only)

  std::int32_t FieldNo(Side side) const { return side == Side::kLeft ? FieldNoLeft : FieldNoRight; }
  // True when one side lacks the field: it shows that side's cells only and never differs.
  bool IsOneSided() const { return FieldNoLeft == kNoFieldNo || FieldNoRight == kNoFieldNo; }
  std::string_view NameView() const { return Name; }
  // Takes `name` up to its first zero byte, cut to kMaxNameBytes bytes without leaving half
  // of a double-byte character behind.
  void SetName(std::string_view name);
  // True when the left and right cell texts of this field differ under Compare; never for a
  // one-sided field, which has nothing to compare with. Whether the field is compared at
  // all (NotCompared) is the caller's question.
  bool CellsDiffer(std::string_view left, std::string_view right) const;
  // The exports' comparison: the number rule where the field has it, else the bytes (the
  // exports never took the spaces rule).
  bool CellsDifferInExport(std::string_view left, std::string_view right) const;
  // True when the field compares by the number rule and both cells are numbers; then
  // `*difference` is right − left.
  bool NumberDifference(std::string_view left, std::string_view right,
                        DecimalNumber* difference) const;

 private:
  bool DifferUnder(FieldCompare compare, std::string_view left, std::string_view right) const;
};

}  // namespace korvel
