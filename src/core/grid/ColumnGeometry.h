#pragma once
// ColumnGeometry: the result grid's pixels per field, which the engine's field layout does
// not hold. For every field of the layout (keys first) the grid keeps its column width and
// the x where the last painting placed it in each pane.
//
// Widths are measured from the left file after every comparison run (Measure), changed by a
// border drag (SetWidth) and kept by a re-setting and by an extraction, neither of which
// changes the fields. The x positions are written by every painting (SetPainted) and read by
// the hit tests, the cursor and the selection; 0 means not shown in that pane.

#include <vector>

#include "compare/FieldLayout.h"
#include "compare/RowTable.h"
#include "grid/GridGeometry.h"

namespace korvel {

class ColumnGeometry {
 public:
  static constexpr int kUnmeasuredWidth = 64;  // a field the grid has not measured
  static constexpr int kMinWidth = 48;
  static constexpr int kMaxWidth = 200;
  static constexpr int kMeasuredRows = 100;

  // One width per field of `fields`, from the longer of the field's name (as the header shows
  // it) and its longest cell in the first 100 rows of `left` (file order; a missing cell
  // counts as empty): (bytes + 1) x charWidth, kept within 48 .. 200, so that a header is
  // not cut where it fits. The right file is measured only for a field the left file lacks,
  // when `right` is given. No field is shown until the next painting. Only the window's grid
  // is measured: exports have widths of their own.
  void Measure(const std::vector<ResultField>& fields, const RowTable& left, int charWidth,
               const RowTable* right = nullptr);
  // No fields (the empty result).
  void Clear();
  // The grid shows only `fields` (indexes into the layout, ascending), as when the fields
  // without differences are hidden: from now on every field index that Width, SetWidth,
  // PaneX, SetPainted and FillFrame take is an index into `fields`, while the widths stay
  // the layout's fields' own. Empty shows every field again; Measure and Clear do too.
  void ShowFields(std::vector<int> fields);

  int FieldCount() const { return static_cast<int>(widths_.size()); }
  // The width of `field`; kUnmeasuredWidth for one beyond the measured fields.
  int Width(int field) const;
  // A dragged width; a field beyond the measured ones is left alone.
  void SetWidth(int field, int width);

  // Keeps where a painting placed the fields (ColumnPlan::leftX and rightX).
  void SetPainted(const ColumnPlan& plan);
  // The field's x in pane 1 (left) or 2 (right) as last painted; 0 when not shown there.
  int PaneX(int field, int pane) const;

  // The widths and painted x positions of `fieldCount` fields, for the geometry rules.
  void FillFrame(GridFrame& frame, int fieldCount) const;

 private:
  // The layout's field at a shown index (the index itself while every field shows).
  int LayoutField(int field) const;

  std::vector<int> widths_;
  std::vector<int> shown_;  // empty: every field
  std::vector<int> leftX_, rightX_;
};

}  // namespace korvel
