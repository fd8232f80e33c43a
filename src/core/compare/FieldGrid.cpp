#include "compare/FieldGrid.h"

#include <algorithm>
#include <cstdio>

#include "io/PathText.h"
#include "platform/Codepage.h"
#include "platform/Notifier.h"

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

void WarnFieldsOver(GridFillState& state) {
  if (state.FieldOverWarned) return;
  char text[256];
  std::snprintf(text, sizeof text,
                Sjis("%dを超えるフィールドについては比較対象から除かれます。").c_str(),
                kMaxComparedFields);
  Warn(text);
  state.FieldOverWarned = true;
}

void ShowReaderError(const char* text) {
  if (text != nullptr && *text != '\0') Warn(text);
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

FieldGrid::FieldGrid(int columnCount, int fixedColumns)
    : columnCount_(columnCount), fixedColumns_(fixedColumns) {
  cells_.resize(static_cast<std::size_t>(columnCount_));
  static const char* const kHeaders[] = {"",     "連携",  "数値",  "SPC除く",
                                         "不要", "A項目", "B項目", "未取込"};
  for (int c = 1; c < columnCount_ && c < kColumnCount; ++c) SetCell(0, c, Sjis(kHeaders[c]));
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

void FieldGrid::Toggle(int row, int col) {
  if (row < 1 || row >= rowCount_ || col < fixedColumns_ || col >= columnCount_) return;
  const std::string& text = Cell(row, col);
  switch (col) {
    case kKey:
      if (text == MarkText()) {
        SetCell(row, kKey, "");
        SetCell(row, kNumeric, UnavailableText());
        SetCell(row, kIgnoreSpaces, "");
        SetCell(row, kNotCompared, "");
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
      if (text == UnavailableText()) break;
      SetCell(row, col, text == MarkText() ? std::string() : MarkText());
      break;
    case kNotLoaded:
      SetCell(row, col, text == MarkText() ? std::string() : MarkText());
      break;
    default:
      break;
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
    default:
      return {};
  }
}

int FieldGrid::CountMarked(int col) const {
  int count = 0;
  for (int row = 1; row < rowCount_; ++row) count += IsMarked(row, col) ? 1 : 0;
  return count;
}

bool FieldGrid::ConfirmMarks() const {
  if (CountMarked(kKey) >= 7) {
    Warn(Sjis("連携の指定は７個以上出来ません。"));
    return false;
  }
  if (columnCount_ > kNotLoaded && CountMarked(kNotLoaded) >= 5) {
    Warn(Sjis("未取込の指定は５個以上出来ません。"));
    return false;
  }
  return true;
}

// ---------------------------------------------------------------------------
// Filling

namespace {

int FillFromNames(FieldGrid& grid, int column, const DelimitedReader& csv, GridFillState& state) {
  int n = csv.FieldNameCount();
  if (n > kMaxComparedFields) {
    WarnFieldsOver(state);
    n = kMaxComparedFields;
  }
  state.MaxNameCount = std::max(state.MaxNameCount, n);
  WriteSideRows(grid, column, n, [&csv](int i) {
    return PathText::Clip(csv.GetFieldName(i - 1), 0, kMaxNameBytes);
  });
  return 0;
}

int FillFromFirstRecord(FieldGrid& grid, int column, DelimitedReader& csv, GridFillState& state) {
  int n = csv.ReadRecord();
  if (n <= 0) {
    Warn(Sjis("フィールドが存在しません。"));
    return -1;
  }
  if (n > kMaxFirstRecordFields) {
    Warn(Sjis("フィールド数をオーバーしました。"));
    return -1;
  }
  if (n > kMaxComparedFields) {
    WarnFieldsOver(state);
    n = kMaxComparedFields;
  }
  WriteSideRows(grid, column, n, [&csv](int i) { return std::string(csv.FieldView(i - 1)); });
  return 0;
}

}  // namespace

int FillFieldGrid(FieldGrid& grid, int column, const DelimitedReading& reading, bool topRowNames,
                  const std::string& path, GridFillState& state) {
  DelimitedReader csv;
  if (OpenDelimited(csv, reading, path, topRowNames) != DelimitedReader::kOpenOk) {
    ShowReaderError(csv.GetError());
    return -1;
  }
  int result = topRowNames ? FillFromNames(grid, column, csv, state)
                           : FillFromFirstRecord(grid, column, csv, state);
  csv.Close();
  return result;
}

int FillFieldGridFixed(FieldGrid& grid, int column, const FixedLengthSource* source) {
  int n = source == nullptr ? 0 : source->DefinitionCount();
  if (n <= 0) {
    Warn(Sjis("フィールドが存在しません。"));
    return -1;
  }
  grid.GrowRows(n + 1);
  for (int i = 1; i <= n; ++i) {
    const char* name = source->DefinitionName(i - 1);
    if (name == nullptr) {
      Warn(Sjis("整合性がとれませんでした。"));
      return -2;
    }
    grid.SetCell(i, FieldGrid::kNumber, RowNumber(i));
    grid.SetCell(i, FieldGrid::kNumeric, FieldGrid::UnavailableText());
    grid.SetCell(i, column, name);
  }
  return 0;
}

}  // namespace korvel
