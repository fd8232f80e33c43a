#pragma once
// What the grid window reads of a comparison result. The window paints and navigates through
// this interface only; the comparison session provides it. Rows and fields are the result's
// own RecordPair and ResultField (compare/ResultModel.h). The grid's pixels (column widths
// and positions) are the window's own (grid/ColumnGeometry.h).
//
// Texts are CP932. Views and references returned stay valid until the result changes (a
// comparison run, a re-setting, an extraction or its release).

#include <string>
#include <string_view>

#include "compare/ResultModel.h"
#include "platform/Status.h"

namespace korvel {

// The window's panes (GridGeometry.h) as the sides they show: pane 1 the left file, any
// other pane the right file.
constexpr Side PaneSide(int pane) { return pane == 1 ? Side::kLeft : Side::kRight; }

class GridModel {
 public:
  virtual ~GridModel() = default;

  // The shown rows (ViewPairs).
  virtual int RowCount() const = 0;
  // Row `row` in [0, RowCount()).
  virtual RecordPair Pair(int row) const = 0;

  // The fields (keys first).
  virtual int FieldCount() const = 0;
  virtual int KeyCount() const = 0;
  // Field `field` in [0, FieldCount()).
  virtual const ResultField& Field(int field) const = 0;

  // The text of `field` on `side` of a table row of that side; "" when the row is -1 or the
  // cell is missing.
  virtual std::string_view Cell(Side side, int field, int tableRow) const = 0;
  // The two cells of `field` in `pair` differ under the field's comparison (a missing side
  // reads as ""). The NotCompared flag is not consulted.
  virtual bool CellsDiffer(const RecordPair& pair, int field) const = 0;

  // Extraction (the rows shown become a filtered copy of all rows).
  virtual bool ExtractActive() const = 0;
  // Fills the extraction list with the paired records whose cells of `field` differ (or
  // agree); -1 with the engine's message when there is no such field.
  [[nodiscard]] virtual Status ExtractColumn(int field, bool differing) = 0;
  // Fills the extraction list by record status: kind -1 differing, -2 left only, -3 right
  // only, -4 not equal; without `differing` the equal records. Ok when done.
  [[nodiscard]] virtual Status ExtractByStatus(int kind, bool differing) = 0;
  // The caption status text of the last extraction (CP932).
  virtual std::string ExtractStatusText() const = 0;
  // Shows the extraction list (true) or all rows again (false).
  virtual void ShowExtraction(bool active) = 0;
};

}  // namespace korvel
