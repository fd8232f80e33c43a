#include "grid/ColumnGeometry.h"

#include <algorithm>
#include <cstddef>
#include <utility>

namespace korvel {
namespace {

int At(const std::vector<int>& values, int index, int otherwise) {
  if (index < 0 || index >= static_cast<int>(values.size())) return otherwise;
  return values[static_cast<std::size_t>(index)];
}

}  // namespace

void ColumnGeometry::Measure(const std::vector<ResultField>& fields, const RowTable& left,
                             int charWidth, const RowTable* right) {
  widths_.clear();
  widths_.reserve(fields.size());
  for (const ResultField& f : fields) {
    const bool rightOnly = f.FieldNoLeft == kNoFieldNo && right != nullptr;
    const RowTable& table = rightOnly ? *right : left;
    const int fieldNo = rightOnly ? f.FieldNoRight : f.FieldNoLeft;
    const int rows = std::min(table.RowCount(), kMeasuredRows);
    std::size_t longest = f.Name.size();
    for (int r = 0; r < rows; ++r) longest = std::max(longest, table.CellView(fieldNo, r).size());
    const long width = (static_cast<long>(longest) + 1) * charWidth;
    widths_.push_back(static_cast<int>(std::clamp<long>(width, kMinWidth, kMaxWidth)));
  }
  shown_.clear();
  leftX_.assign(widths_.size(), 0);
  rightX_.assign(widths_.size(), 0);
}

void ColumnGeometry::Clear() {
  widths_.clear();
  shown_.clear();
  leftX_.clear();
  rightX_.clear();
}

void ColumnGeometry::ShowFields(std::vector<int> fields) {
  shown_ = std::move(fields);
  // Painted positions of the other list mean nothing here; the next painting writes them.
  const std::size_t count = shown_.empty() ? widths_.size() : shown_.size();
  leftX_.assign(count, 0);
  rightX_.assign(count, 0);
}

int ColumnGeometry::LayoutField(int field) const {
  if (shown_.empty()) return field;
  return At(shown_, field, -1);
}

int ColumnGeometry::Width(int field) const {
  return At(widths_, LayoutField(field), kUnmeasuredWidth);
}

void ColumnGeometry::SetWidth(int field, int width) {
  const int layoutField = LayoutField(field);
  if (layoutField < 0 || layoutField >= FieldCount()) return;
  widths_[static_cast<std::size_t>(layoutField)] = width;
}

void ColumnGeometry::SetPainted(const ColumnPlan& plan) {
  leftX_ = plan.leftX;
  rightX_ = plan.rightX;
}

int ColumnGeometry::PaneX(int field, int pane) const {
  return At(pane == 2 ? rightX_ : leftX_, field, 0);
}

void ColumnGeometry::FillFrame(GridFrame& frame, int fieldCount) const {
  frame.widths.resize(static_cast<std::size_t>(fieldCount));
  frame.leftX.resize(static_cast<std::size_t>(fieldCount));
  frame.rightX.resize(static_cast<std::size_t>(fieldCount));
  for (int j = 0; j < fieldCount; ++j) {
    const std::size_t k = static_cast<std::size_t>(j);
    frame.widths[k] = Width(j);
    frame.leftX[k] = PaneX(j, 1);
    frame.rightX[k] = PaneX(j, 2);
  }
}

}  // namespace korvel
