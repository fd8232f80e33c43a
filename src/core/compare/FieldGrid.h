#pragma once
// The field-control grid as a model of text cells, without a window.
//
// One header row (row 0) and one row per field position (row j for field number j). The
// columns are FieldGrid::Column; a cell is marked when its text is exactly "●", and "－"
// stands in a cell that cannot be marked. The field-control dialog shows this model and
// forwards clicks to Toggle; the set-up chain fills it (FillFieldGrid,
// FillFieldGridFixed); the comparison reads it (FieldLayout::BuildFieldList).
//
// Row j shows field number j of both files, unless the grid was given a pairing
// (SetPairing): fields paired by name, where a row may show a field one side lacks (a
// one-sided row). A one-sided row holds "－" in SPC除く, 不要 and 数値比較 and cannot be a key.
//
// The re-setting uses the same model with the first three columns fixed, so that the key
// and numeric key marks cannot be clicked; its 未取込 column is held but not shown (the
// marks of the run stand there and cannot change).
//
// Nothing here shows a message: refusals and failures are returned (Status), the warning
// after which a filling goes on is told through the caller's Prompter. All texts are CP932.

#include <string>
#include <string_view>
#include <vector>

#include "compare/FieldNames.h"
#include "compare/ResultModel.h"
#include "compare/SideReader.h"
#include "platform/Prompter.h"
#include "platform/Status.h"

namespace korvel {

class FieldGrid {
 public:
  enum Column : int {
    kNumber = 0,         // the row number "%4d"
    kKey = 1,            // 連携
    kNumeric = 2,        // 数値
    kIgnoreSpaces = 3,   // SPC除く
    kNotCompared = 4,    // 不要
    kNameA = 5,          // A項目: the left side's name (or sample value)
    kNameB = 6,          // B項目: the right side's name
    kNotLoaded = 7,      // 未取込
    kNumberCompare = 8,  // 数値比較: compared as numbers within the tolerance (not keys)
  };
  static constexpr int kColumnCount = 9;

  // A grid of the header row only, its header texts written; `fixedColumns` the leading
  // columns that a click does not change.
  explicit FieldGrid(int fixedColumns = 1);
  // The grid of the re-setting: three fixed columns, 未取込 not shown.
  static FieldGrid ForReGrid();

  int RowCount() const { return rowCount_; }
  int ColumnCount() const { return columnCount_; }
  int FixedColumns() const { return fixedColumns_; }
  // False for a column the grid holds but does not show (the re-setting's 未取込).
  bool ShowsColumn(int col) const { return col != kNotLoaded || notLoadedShown_; }
  // Grows the grid to `rowCount` rows (header included) with empty cells; never shrinks.
  void GrowRows(int rowCount);

  // The cell's text; "" outside the grid.
  const std::string& Cell(int row, int col) const;
  // Sets the cell's text; ignored outside the grid.
  void SetCell(int row, int col, std::string_view text);
  bool IsMarked(int row, int col) const { return Cell(row, col) == MarkText(); }

  // A click on cell (row, col): the dialog's toggling rules. Making a row a key empties
  // 数値 and puts "－" into SPC除く and 不要; removing the key puts "－" into 数値 and
  // empties SPC除く and 不要. 数値, SPC除く, 不要 and 数値比較 flip between "" and "●"
  // unless they hold "－"; 未取込 flips on any row. 数値比較 holds "－" exactly while its
  // row is a key or marked 不要 or 未取込 (a mark there is lost). The header row, fixed
  // columns, columns not shown and the name columns do not change.
  void Toggle(int row, int col);

  // The fields of two files paired by name: row i + 1 shows pairing.Left[i] and
  // pairing.Right[i]. Grows the grid to the pairing's rows. Without a pairing (the
  // default), row j shows field j on both sides.
  void SetPairing(FieldPairing pairing);
  bool HasPairing() const { return !pairing_.Left.empty(); }
  // The field number that row `row` shows of `side`'s file: the row itself without a
  // pairing, else the pairing's (kNoFieldNo when that side lacks the field).
  std::int32_t FieldNo(int row, Side side) const;
  // True when one side lacks the field of row `row`.
  bool IsOneSided(int row) const {
    return FieldNo(row, Side::kLeft) == kNoFieldNo || FieldNo(row, Side::kRight) == kNoFieldNo;
  }
  // The shown name of row `row`: the A項目 text, else the B項目 text.
  const std::string& RowName(int row) const;

  // The status-bar hint for a column ("" for the number and name columns).
  static std::string ColumnHint(int col);
  static const std::string& MarkText();         // "●"
  static const std::string& UnavailableText();  // "－"

  // The confirmation of the field-control dialog: seven or more keys, then (where the
  // 未取込 column is shown) five or more not-loaded marks, are refused (-1) with their
  // warning. Ok when the marks are accepted. A key on a one-sided row is refused (-1) with
  // "キー項目が両方のファイルにありません。(<name>)".
  [[nodiscard]] Status ConfirmMarks() const;
  // The last check alone: every key row shows a field of both files.
  [[nodiscard]] Status CheckKeysOnBothSides() const;

 private:
  int CountMarked(int col) const;
  // Puts "－" into 数値比較 while the row cannot be compared as numbers, "" when it can again.
  void UpdateNumberCompare(int row);

  int columnCount_ = kColumnCount;
  int fixedColumns_;
  bool notLoadedShown_ = true;
  int rowCount_ = 1;
  std::vector<std::string> cells_;  // row-major
  FieldPairing pairing_;            // empty: positional
};

// What one filling of the grid from the two delimited files shares.
struct GridFillState {
  int MaxNameCount = 0;          // the larger header-name count (top-row-names mode only)
  bool FieldOverWarned = false;  // the 255-field warning has been told
  // Each side's header names in full (top-row-names mode; at most 255): the left file's,
  // then the right file's. The grid shows them cut to 30 bytes.
  std::vector<std::string> NamesA;
  std::vector<std::string> NamesB;
};

// Fills the rows of one side from a delimited file: column 0 "%4d", column 2 "－", and
// column `column` (kNameA or kNameB) the header name clipped to 30 bytes (top-row-names
// mode) or the value of the field in the first record. The grid grows, never shrinks. More
// than 255 fields keep the first 255 after a warning told through `prompter`, once per
// `state`. With top-row names, the side's full names go to state.NamesA or NamesB. Ok, or -1 with
// the messages (the reader's, "フィールドが存在しません。" or "フィールド数をオーバーしました。").
[[nodiscard]] Status FillFieldGrid(FieldGrid& grid, int column, const DelimitedReading& reading,
                                   bool topRowNames, const std::string& path, GridFillState& state,
                                   Prompter& prompter);

// Rebuilds `grid` from the two sides' full header names (state.NamesA, NamesB) paired by
// name (PairFieldsByName): each row shows the left name cut to 30 bytes in A項目 and the
// right one in B項目 ("" for a side without the field), and a one-sided row "－" in SPC除く
// and 不要. The rows the grid held before are replaced.
void PairGridByName(FieldGrid& grid, const GridFillState& state);

// Fills the rows of one side from the fixed-length field definitions (both sides show
// the same names). `source` may be null (no fixed-length reader: no definitions). Ok; -1
// when there are no definitions ("フィールドが存在しません。"); -2 when a definition
// record is missing ("整合性がとれませんでした。").
[[nodiscard]] Status FillFieldGridFixed(FieldGrid& grid, int column,
                                        const FixedLengthSource* source);

}  // namespace korvel
