#pragma once
// The texts that the Edit menu's three copy commands put on the clipboard, without a window.
//
// Every text is CP932, TAB-separated, each line (the last one too) ending in CR LF. A text is
// produced by one routine run twice: once counting (no output string), once writing into a
// string reserved to the counted size. So a copy that is refused for its size is refused
// before anything big is allocated, and an accepted one takes exactly one allocation.
//
// Messages: the commands (CopySelectionText, CopyRowCompareText) return their outcome as a
// Status whose code is one of the kCopy results below and whose messages are the refusal's
// warning (caption "注意") and the beep that comes before it where there is one; the window
// shows them, and puts the text on the clipboard only for kCopyDone. The session is read
// only; nothing of the view state is changed.

#include <cstddef>
#include <string>
#include <vector>

#include "compare/CompareSession.h"
#include "platform/Status.h"

namespace korvel {

// The longest text that can be copied, in bytes (the closing zero byte not counted).
inline constexpr std::size_t kCopyLimitBytes = 640000;

// Results of the copy commands.
inline constexpr int kCopyDone = 0;     // the text is ready for the clipboard
inline constexpr int kCopyNoData = -1;  // "コピーするデータがありません。"
inline constexpr int kCopyTooLarge =
    -2;  // "サイズをオーバーしました。640Kバイト以上のコピーはできません。"
inline constexpr int kCopyNoMemory = -3;  // "領域確保に失敗しました。"
inline constexpr int kCopyNoRow = -4;     // the row comparison without a cursor row: a beep only

// A rectangle of the grid to copy, as the window keeps its shown selection (ShownSel):
// `pane` 1 copies the left file's values, any other pane the right file's; -1 in a shown
// selection means that none is shown. Columns are indexes into Fields(), rows indexes into
// ViewPairs(); the corners may come in any order. An anchor row of -1 is a whole-column
// selection (from the first row), and an end row beyond the last row stops at the last row.
struct CopyRect {
  int pane = -1;
  int anchorCol = 0;
  int anchorRow = 0;
  int endCol = 0;
  int endRow = 0;
  bool operator==(const CopyRect&) const = default;
};

// What the copy commands read of the window's view state.
struct CopyViewState {
  CopyRect shownSel;        // pane -1 when no rectangle is shown (also for a one-cell selection)
  int curSide = 1;          // CurSide: 1 left, 2 right
  int curCol = 0;           // CurCol
  int curRow = 0;           // CurRow
  bool withHeader = false;  // CopyWithHeader
  bool withMarks = false;   // CopyWithMarks
};

// The rectangle a selection copy takes: the shown selection, or the cursor cell (on
// CurSide) when none is shown. With `otherSide` the pane is flipped: 1 becomes 2, anything
// else 1.
CopyRect RectToCopy(const CopyViewState& view, bool otherSide);

// Counts (out == nullptr) or appends to *out the text of `rect`: with `header` a line of the
// fields' names, then one line per row. A key field gives the left cell, or the right one
// when the left record is missing or its cell is empty, never marked. Another field gives
// the cell of the pane's side ("" when that side has no record); with `marks`, "(*)" follows
// it when the field is compared and CellsDiffer says it differs from the other side's cell.
// Returns the length in bytes; 0 when there is nothing to copy, and also when a column of the
// rectangle is not a field or a row is below -1 (CopySelectionText beeps for that).
// `shownFields`, when given, are the fields the grid shows (indexes into Fields(), in order):
// the rectangle's columns are then indexes into that list, and the fields it leaves out are
// not copied.
std::size_t RangeText(const CompareSession& session, const CopyRect& rect, bool marks, bool header,
                      std::string* out, const std::vector<int>* shownFields = nullptr);

// Counts or appends the four-line comparison of ViewPairs() row `row` over all fields: the
// names, the left record's cells, the right record's cells, and "*" under each field whose
// two cells differ under CellsDiffer (keys and not-compared fields included). Returns the
// length; 0 when there are no fields or no such row (CopyRowCompareText beeps for that).
std::size_t RowCompareText(const CompareSession& session, int row, std::string* out);

// The commands "選択範囲の内容をコピー" (`otherSide` false) and "選択範囲の相対側の内容コピー"
// (`otherSide` true): measures the text of RectToCopy, refuses it when it is empty or longer
// than kCopyLimitBytes (with the message; a rectangle beyond the fields beeps first), else
// builds it into `text`. Code kCopyDone, kCopyNoData, kCopyTooLarge or kCopyNoMemory; `text`
// is empty unless kCopyDone. `shownFields` as for RangeText.
[[nodiscard]] Status CopySelectionText(const CompareSession& session, const CopyViewState& view,
                                       bool otherSide, std::string& text,
                                       const std::vector<int>* shownFields = nullptr);

// The command "カーソル行の比較コピー" for the cursor row `curRow`: kCopyNoRow with a beep
// when it is negative; otherwise as CopySelectionText with RowCompareText (a row that is
// not shown beeps before its refusal).
[[nodiscard]] Status CopyRowCompareText(const CompareSession& session, int curRow,
                                        std::string& text);

}  // namespace korvel
