#pragma once
// The text search of the main window, without a window: whether a cell contains the search
// text, and which cell the search reaches next from the cursor.
//
// Texts are CP932. A match starts only at a character boundary of the cell (a Shift-JIS lead
// byte and its trail byte form one character), so a single-byte search text never matches
// the trail byte of a double-byte character.
//
// The search reads the shown rows (ViewPairs, so only the extracted records while an
// extraction is active) and every field of Fields(), keys included, on one side; it keeps
// no state of its own. The window keeps FindText and FindMode, moves the cursor to the cell
// found (or beeps when there is none) and scrolls it into view.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "compare/CompareSession.h"
#include "platform/Status.h"

namespace korvel {

// FindMode values: the dialog gives 3, plus 4 when "大文字小文字判断する" is checked.
inline constexpr int kFindIgnoreCase = 3;  // single-byte A-Z and a-z are the same letter
inline constexpr int kFindExact = 7;       // bytes compared exactly
inline constexpr int kFindCaseFlag = 4;    // the part of the mode that keeps case

// The longest FindText in bytes.
inline constexpr std::size_t kFindTextMaxBytes = 255;

// The FindMode of the dialog's check box, and the check box's state for a FindMode.
constexpr int FindModeFor(bool distinguishCase) {
  return kFindIgnoreCase + (distinguishCase ? kFindCaseFlag : 0);
}
constexpr bool FindModeDistinguishesCase(int findMode) { return findMode > kFindIgnoreCase; }

// The dialog's "上検索" and "下検索" with keyword `keyword`: -1 with the warning
// "検索文字列を入力してください。" when it is empty (the dialog then stays open); else ok.
[[nodiscard]] Status CheckFindKeyword(std::string_view keyword);

// `keyword` cut to kFindTextMaxBytes without splitting a double-byte character: what FindText
// holds after the dialog (whose edit allows 200 characters, up to 400 bytes).
std::string ClipFindText(std::string_view keyword);

// True when `findText` occurs in `cell`, starting at a character boundary of the cell. The
// cell is read up to its first zero byte or TAB. A mode with kFindCaseFlag compares bytes
// exactly; otherwise each single-byte character is compared with A-Z turned into a-z on both
// sides, and a double-byte character of the cell must match two bytes of the search text
// exactly (full-width letters are not folded). An empty search text matches nothing.
bool CellMatches(std::string_view cell, std::string_view findText, int findMode);

// A cell of the grid: `col` an index into Fields(), `row` an index into ViewPairs().
struct FindPosition {
  int col = 0;
  int row = 0;
  bool operator==(const FindPosition&) const = default;
};

// The search of FindNext: from the cell next to (curCol, curRow) in `direction` (-1 upward,
// 1 downward), field by field across a record, then record by record, without wrapping
// around at either end; the cursor cell itself is not examined. Cells are read on `side`
// (the window's CurSide through PaneSide); a side without a record reads as "".
// The first matching cell, or nothing (no fields, no records, direction 0, an empty search
// text, or no match before the end). `shownFields`, when given, are the fields the grid shows
// (indexes into Fields(), in order): columns are then indexes into that list, and only those
// fields are searched.
std::optional<FindPosition> FindCell(const CompareSession& session, Side side, int curCol,
                                     int curRow, int direction, std::string_view findText,
                                     int findMode, const std::vector<int>* shownFields = nullptr);

}  // namespace korvel
