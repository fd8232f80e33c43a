#pragma once
// One result row of a comparison and the meaning of its status.
//
// The result of a comparison (held by CompareSession) is a list of RecordPair in pairing
// order. A pair names a row of the left and of the right row table by index; the cell
// texts stay in the tables. Invariants after a completed run and after every
// re-classification:
//  - every row of each table is named by exactly one pair; no pair names neither side;
//  - Status is kRightOnly exactly when LeftRow is -1, kLeftOnly exactly when RightRow is
//    -1, otherwise the number of compared fields whose cells differ (0 = equal);
//  - the counters agree with the statuses (see CompareSession).

#include <cstdint>

namespace korvel {

inline constexpr std::int32_t kStatusRightOnly = -1;  // 右のみ
inline constexpr std::int32_t kStatusLeftOnly = -2;   // 左のみ

struct RecordPair {
  std::int32_t Status = 0;     // above 0 differing fields; 0 equal; kRightOnly; kLeftOnly
  std::int32_t LeftRow = -1;   // row index in the left table, -1 for none
  std::int32_t RightRow = -1;  // row index in the right table, -1 for none

  bool IsPaired() const { return LeftRow >= 0 && RightRow >= 0; }
};
static_assert(sizeof(RecordPair) == 12);

// Kinds of ExtractByStatus (with the differing flag set).
inline constexpr int kExtractDiffering = -1;  // Status above 0
inline constexpr int kExtractLeftOnly = -2;   // Status kStatusLeftOnly
inline constexpr int kExtractRightOnly = -3;  // Status kStatusRightOnly
inline constexpr int kExtractNotEqual = -4;   // Status not 0

}  // namespace korvel
