#include "compare/FieldGrid.h"

#include <algorithm>
#include <cstdio>

#include "io/PathText.h"
#include "platform/Codepage.h"

namespace korvel {
namespace {

constexpr int kMaxComparedFields = 255;
constexpr int kMaxFirstRecordFields = 1000;
constexpr int kMaxNameBytes = 30;

const std::string& EmptyText() {
  static const std::string empty;
  return empty;
}

std::string RowNumber(int i) {
  char text[16];
  std::snprintf(text, sizeof text, "%4d", i);
  return text;
}

// The filling goes on with the first 255 fields after the warning.
void TellFieldsOver(GridFillState& state, Prompter& prompter) {
  if (state.FieldOverWarned) return;
  char text[256];
  std::snprintf(text, sizeof text,
                Sjis("%dを超えるフィールドについては比較対象から除かれます。").c_str(),
                kMaxComparedFields);
  prompter.Tell({MessageKind::kWarning, text});
  state.FieldOverWarned = true;
}

// Grows the grid to n field rows and writes the number, the "－" of 数値 and the side's
// column of each.
template <typename NameOf>
void WriteSideRows(FieldGrid& grid, int column, int n, NameOf nameOf) {
  grid.GrowRows(n + 1);
  for (int i = 1; i <= n; ++i) {
    grid.SetCell(i, FieldGrid::kNumber, RowNumber(i));
    grid.SetCell(i, FieldGrid::kNumeric, FieldGrid::UnavailableText());
    grid.SetCell(i, column, nameOf(i));
  }
}

}  // namespace

FieldGrid::FieldGrid(int fixedColumns) : fixedColumns_(fixedColumns) {
  cells_.resize(static_cast<std::size_t>(columnCount_));
  static const char* const kHeaders[kColumnCount] = {"",      "連携",  "数値",   "SPC除く", "不要",
                                                     "A項目", "B項目", "未取込", "数値比較"};
  for (int c = 1; c < columnCount_; ++c) SetCell(0, c, Sjis(kHeaders[c]));
}

FieldGrid FieldGrid::ForReGrid() {
  FieldGrid grid(3);
  grid.notLoadedShown_ = false;
  return grid;
}

void FieldGrid::GrowRows(int rowCount) {
  if (rowCount <= rowCount_) return;
  rowCount_ = rowCount;
  cells_.resize(static_cast<std::size_t>(rowCount_) * static_cast<std::size_t>(columnCount_));
}

const std::string& FieldGrid::Cell(int row, int col) const {
  if (row < 0 || row >= rowCount_ || col < 0 || col >= columnCount_) return EmptyText();
  return cells_[static_cast<std::size_t>(row) * static_cast<std::size_t>(columnCount_) +
                static_cast<std::size_t>(col)];
}

void FieldGrid::SetCell(int row, int col, std::string_view text) {
  if (row < 0 || row >= rowCount_ || col < 0 || col >= columnCount_) return;
  cells_[static_cast<std::size_t>(row) * static_cast<std::size_t>(columnCount_) +
         static_cast<std::size_t>(col)]
      .assign(text);
}

const std::string& FieldGrid::MarkText() {
  static const std::string mark = Sjis("●");
  return mark;
}

const std::string& FieldGrid::UnavailableText() {
  static const std::string dash = Sjis("－");
  return dash;
}

void FieldGrid::SetPairing(FieldPairing pairing) {
  pairing_ = std::move(pairing);
  GrowRows(static_cast<int>(pairing_.Left.size()) + 1);
}

std::int32_t FieldGrid::FieldNo(int row, Side side) const {
  if (!HasPairing()) return row;
  const std::vector<std::int32_t>& numbers = side == Side::kLeft ? pairing_.Left : pairing_.Right;
  if (row < 1 || row > static_cast<int>(numbers.size())) return kNoFieldNo;
  return numbers[static_cast<std::size_t>(row - 1)];
}

const std::string& FieldGrid::RowName(int row) const {
  const std::string& left = Cell(row, kNameA);
  return left.empty() ? Cell(row, kNameB) : left;
}

void FieldGrid::Toggle(int row, int col) {
  if (row < 1 || row >= rowCount_ || col < fixedColumns_ || col >= columnCount_) return;
  if (!ShowsColumn(col)) return;
  const std::string& text = Cell(row, col);
  switch (col) {
    case kKey:
      if (text == MarkText()) {
        // A one-sided row has nothing to compare; its marks stay unavailable.
        const std::string& compared = IsOneSided(row) ? UnavailableText() : EmptyText();
        SetCell(row, kKey, "");
        SetCell(row, kNumeric, UnavailableText());
        SetCell(row, kIgnoreSpaces, compared);
        SetCell(row, kNotCompared, compared);
      } else {
        SetCell(row, kKey, MarkText());
        SetCell(row, kNumeric, "");
        SetCell(row, kIgnoreSpaces, UnavailableText());
        SetCell(row, kNotCompared, UnavailableText());
      }
      break;
    case kNumeric:
    case kIgnoreSpaces:
    case kNotCompared:
    case kNumberCompare:
      if (text == UnavailableText()) break;
      SetCell(row, col, text == MarkText() ? std::string() : MarkText());
      break;
    case kNotLoaded:
      SetCell(row, col, text == MarkText() ? std::string() : MarkText());
      break;
    default:
      break;
  }
  UpdateNumberCompare(row);
}

void FieldGrid::UpdateNumberCompare(int row) {
  const bool unavailable = IsMarked(row, kKey) || IsMarked(row, kNotCompared) ||
                           IsMarked(row, kNotLoaded) || IsOneSided(row);
  if (unavailable) {
    SetCell(row, kNumberCompare, UnavailableText());
  } else if (Cell(row, kNumberCompare) == UnavailableText()) {
    SetCell(row, kNumberCompare, "");
  }
}

std::string FieldGrid::ColumnHint(int col) {
  switch (col) {
    case kKey:
      return Sjis("●を付けると比較対象の同じ値のレコードで比較をします。");
    case kNumeric:
      return Sjis("連携項目にのみ指定可能で数値として並び替えします。");
    case kIgnoreSpaces:
      return Sjis("●を付けるとスペース(全角,半角)を除いて相違比較します。");
    case kNotCompared:
      return Sjis("●を付けると相違比較しません。");
    case kNotLoaded:
      return Sjis("●を付けると取込しません。（サイズが大きすぎて取り込めない項目など）");
    case kNumberCompare:
      return Sjis("●を付けると数値として比較し、差が許容差以内なら相違としません。");
    default:
      return {};
  }
}

int FieldGrid::CountMarked(int col) const {
  int count = 0;
  for (int row = 1; row < rowCount_; ++row) count += IsMarked(row, col) ? 1 : 0;
  return count;
}

Status FieldGrid::ConfirmMarks() const {
  if (CountMarked(kKey) >= 7) return Status::Warning(-1, Sjis("連携の指定は７個以上出来ません。"));
  if (ShowsColumn(kNotLoaded) && CountMarked(kNotLoaded) >= 5) {
    return Status::Warning(-1, Sjis("未取込の指定は５個以上出来ません。"));
  }
  return CheckKeysOnBothSides();
}

Status FieldGrid::CheckKeysOnBothSides() const {
  for (int row = 1; row < rowCount_; ++row) {
    if (!IsMarked(row, kKey) || !IsOneSided(row)) continue;
    std::string text = Sjis("キー項目が両方のファイルにありません。(");
    text += RowName(row);
    text += ')';
    return Status::Warning(-1, std::move(text));
  }
  return Status::Ok();
}

// ---------------------------------------------------------------------------
// Filling

namespace {

Status FillFromNames(FieldGrid& grid, int column, const DelimitedReader& csv, GridFillState& state,
                     Prompter& prompter) {
  int n = csv.FieldNameCount();
  if (n > kMaxComparedFields) {
    TellFieldsOver(state, prompter);
    n = kMaxComparedFields;
  }
  state.MaxNameCount = std::max(state.MaxNameCount, n);
  std::vector<std::string>& names = column == FieldGrid::kNameA ? state.NamesA : state.NamesB;
  names.clear();
  for (int i = 0; i < n; ++i) names.emplace_back(csv.GetFieldName(i));
  WriteSideRows(grid, column, n, [&csv](int i) {
    return PathText::Clip(csv.GetFieldName(i - 1), 0, kMaxNameBytes);
  });
  return Status::Ok();
}

Status FillFromFirstRecord(FieldGrid& grid, int column, DelimitedReader& csv, GridFillState& state,
                           Prompter& prompter) {
  int n = csv.ReadRecord();
  // A quote that never closes is told as it is, as the run would tell it.
  if (n == DelimitedReader::kReadUnclosedQuote) return csv.GetStatus().Then(Status(-1));
  if (n <= 0) {
    // Whatever kept the first record away is told as a file without fields; only the
    // messages of a memory failure come before that.
    Status memory = csv.FailedForMemory() ? csv.GetStatus() : Status();
    return std::move(memory).Then(Status::Warning(-1, Sjis("フィールドが存在しません。")));
  }
  if (n > kMaxFirstRecordFields) {
    return Status::Warning(-1, Sjis("フィールド数をオーバーしました。"));
  }
  if (n > kMaxComparedFields) {
    TellFieldsOver(state, prompter);
    n = kMaxComparedFields;
  }
  WriteSideRows(grid, column, n, [&csv](int i) { return std::string(csv.FieldView(i - 1)); });
  return Status::Ok();
}

}  // namespace

Status FillFieldGrid(FieldGrid& grid, int column, const DelimitedReading& reading, bool topRowNames,
                     const std::string& path, GridFillState& state, Prompter& prompter) {
  DelimitedReader csv;
  if (OpenDelimited(csv, reading, path, topRowNames) != DelimitedReader::kOpenOk) {
    return csv.GetStatus().Then(Status(-1));
  }
  Status result = topRowNames ? FillFromNames(grid, column, csv, state, prompter)
                              : FillFromFirstRecord(grid, column, csv, state, prompter);
  csv.Close();
  return result;
}

void PairGridByName(FieldGrid& grid, const GridFillState& state) {
  FieldGrid paired(grid.FixedColumns());
  paired.SetPairing(PairFieldsByName(state.NamesA, state.NamesB));
  for (int row = 1; row < paired.RowCount(); ++row) {
    paired.SetCell(row, FieldGrid::kNumber, RowNumber(row));
    paired.SetCell(row, FieldGrid::kNumeric, FieldGrid::UnavailableText());
    for (Side side : {Side::kLeft, Side::kRight}) {
      const std::int32_t no = paired.FieldNo(row, side);
      if (no == kNoFieldNo) continue;
      const std::vector<std::string>& names = side == Side::kLeft ? state.NamesA : state.NamesB;
      paired.SetCell(
          row, side == Side::kLeft ? FieldGrid::kNameA : FieldGrid::kNameB,
          PathText::Clip(names[static_cast<std::size_t>(no - 1)].c_str(), 0, kMaxNameBytes));
    }
    if (paired.IsOneSided(row)) {
      paired.SetCell(row, FieldGrid::kIgnoreSpaces, FieldGrid::UnavailableText());
      paired.SetCell(row, FieldGrid::kNotCompared, FieldGrid::UnavailableText());
      paired.SetCell(row, FieldGrid::kNumberCompare, FieldGrid::UnavailableText());
    }
  }
  grid = std::move(paired);
}

Status FillFieldGridFixed(FieldGrid& grid, int column, const FixedLengthSource* source) {
  int n = source == nullptr ? 0 : source->DefinitionCount();
  if (n <= 0) return Status::Warning(-1, Sjis("フィールドが存在しません。"));
  grid.GrowRows(n + 1);
  for (int i = 1; i <= n; ++i) {
    const char* name = source->DefinitionName(i - 1);
    if (name == nullptr) return Status::Warning(-2, Sjis("整合性がとれませんでした。"));
    grid.SetCell(i, FieldGrid::kNumber, RowNumber(i));
    grid.SetCell(i, FieldGrid::kNumeric, FieldGrid::UnavailableText());
    grid.SetCell(i, column, name);
  }
  return Status::Ok();
}

}  // namespace korvel
