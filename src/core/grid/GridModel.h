#pragma once
// What the grid window reads of a comparison result. The window paints and navigates through
// this interface only; the comparison session provides it. The grid's pixels (column widths
// and positions) are the window's own (grid/ColumnGeometry.h).
//
// Texts are CP932. Views returned stay valid until the result changes (a comparison run,
// a re-setting, an extraction or its release).

#include <string>
#include <string_view>

namespace korvel {

// Panes of the grid; a pane shows one side of every pair.
inline constexpr int kLeftPane = 1;
inline constexpr int kRightPane = 2;

// One shown row: Status (> 0 differing fields, 0 equal, -1 right only, -2 left only) and the
// row indexes of both sides (-1 for none).
struct GridPair {
  int status = 0;
  int leftRow = -1;
  int rightRow = -1;
};

// One field of the layout as the grid shows it.
struct GridField {
  bool isKey = false;
  bool notCompared = false;
  bool ignoreSpaces = false;
  int diffCount = 0;
  std::string_view name;  // up to its NUL
};

class GridModel {
 public:
  virtual ~GridModel() = default;

  // The shown rows (ViewPairs).
  virtual int RowCount() const = 0;
  // Row `row` in [0, RowCount()).
  virtual GridPair Pair(int row) const = 0;

  // The fields (keys first).
  virtual int FieldCount() const = 0;
  virtual int KeyCount() const = 0;
  // Field `field` in [0, FieldCount()).
  virtual GridField Field(int field) const = 0;

  // The text of `field` on `side` (kLeftPane: the left file, kRightPane: the right one) of a table
  // row; "" when the row is -1 or the cell is missing.
  virtual std::string_view Cell(int side, int field, int tableRow) const = 0;
  // The two cells of `field` in `pair` differ, honouring the field's ignore-spaces flag (a
  // missing side reads as ""). The NotCompared flag is not consulted.
  virtual bool CellsDiffer(const GridPair& pair, int field) const = 0;

  // Extraction (the rows shown become a filtered copy of all rows).
  virtual bool ExtractActive() const = 0;
  // Fills the extraction list with the paired records whose cells of `field` differ (or
  // agree); false after the engine's message when there is no such field.
  virtual bool ExtractColumn(int field, bool differing) = 0;
  // Fills the extraction list by record status: kind -1 differing, -2 left only, -3 right
  // only, -4 not equal; without `differing` the equal records. True when done.
  virtual bool ExtractByStatus(int kind, bool differing) = 0;
  // The caption status text of the last extraction (CP932).
  virtual std::string ExtractStatusText() const = 0;
  // Shows the extraction list (true) or all rows again (false).
  virtual void ShowExtraction(bool active) = 0;
};

}  // namespace korvel
