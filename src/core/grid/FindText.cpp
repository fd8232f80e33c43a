#include "grid/FindText.h"

#include <algorithm>

#include "platform/Codepage.h"

namespace korvel {
namespace {

unsigned char Fold(unsigned char c) { return (c >= 'A' && c <= 'Z') ? c + ('a' - 'A') : c; }

// The cell as the search sees it: up to a zero byte or a TAB. Neither can be the trail byte
// of a double-byte character, so a byte scan finds the right end.
std::string_view SearchedPart(std::string_view cell) {
  return cell.substr(0, cell.find_first_of(std::string_view("\0\t", 2)));
}

// Does `key` match `cell` from byte `i`, walking the cell a character at a time? A lead byte
// at the very end of the cell has lost its trail byte and counts as a single-byte character.
bool MatchesAt(std::string_view cell, std::size_t i, std::string_view key, bool fold) {
  std::size_t j = 0;
  while (j < key.size()) {
    if (i >= cell.size()) return false;
    if (IsLeadByte(cell[i]) && i + 1 < cell.size()) {
      if (j + 1 >= key.size() || cell[i] != key[j] || cell[i + 1] != key[j + 1]) return false;
      i += 2;
      j += 2;
      continue;
    }
    unsigned char a = static_cast<unsigned char>(cell[i]);
    unsigned char b = static_cast<unsigned char>(key[j]);
    if (fold ? Fold(a) != Fold(b) : a != b) return false;
    ++i;
    ++j;
  }
  return true;
}

// The text of field index `col` in ViewPairs row `row` on `side`; "" where there is none.
// With `shownFields`, `col` is an index into them.
std::string_view SearchedCell(const CompareSession& session, Side side, int col, int row,
                              const std::vector<int>* shownFields) {
  const int tableRow = session.ViewPairs()[static_cast<std::size_t>(row)].Row(side);
  if (tableRow < 0) return {};
  const int field = shownFields != nullptr ? (*shownFields)[static_cast<std::size_t>(col)] : col;
  return session.CellText(side, tableRow,
                          session.Fields()[static_cast<std::size_t>(field)].FieldNo(side));
}

}  // namespace

Status CheckFindKeyword(std::string_view keyword) {
  if (!keyword.empty()) return Status::Ok();
  return Status::Warning(-1, Sjis("検索文字列を入力してください。"));
}

std::string ClipFindText(std::string_view keyword) {
  std::size_t n = 0;
  while (n < keyword.size()) {
    const std::size_t step = IsLeadByte(keyword[n]) && n + 1 < keyword.size() ? 2 : 1;
    if (n + step > kFindTextMaxBytes) break;
    n += step;
  }
  return std::string(keyword.substr(0, n));
}

bool CellMatches(std::string_view cell, std::string_view findText, int findMode) {
  if (findText.empty()) return false;
  const bool fold = (findMode & kFindCaseFlag) == 0;
  cell = SearchedPart(cell);
  for (std::size_t i = 0; i < cell.size(); i += IsLeadByte(cell[i]) ? 2 : 1) {
    if (MatchesAt(cell, i, findText, fold)) return true;
  }
  return false;
}

std::optional<FindPosition> FindCell(const CompareSession& session, Side side, int curCol,
                                     int curRow, int direction, std::string_view findText,
                                     int findMode, const std::vector<int>* shownFields) {
  const int fieldCount =
      static_cast<int>(shownFields != nullptr ? shownFields->size() : session.Fields().size());
  const int rowCount = static_cast<int>(session.ViewPairs().size());
  if (fieldCount == 0 || rowCount == 0 || direction == 0 || findText.empty()) return {};
  const int step = direction < 0 ? -1 : 1;
  const int lastField = fieldCount - 1;
  const int lastRow = rowCount - 1;

  // A cursor outside the grid (a row-header column, no row yet) starts where the walk would
  // first reach a cell that exists; the cells skipped do not exist and cannot match.
  int f = std::clamp(curCol, -1, fieldCount) + step;
  int r = std::clamp(curRow, -1, rowCount);
  if (step > 0 && r < 0) {
    r = 0;
    f = 0;
  } else if (step < 0 && r > lastRow) {
    r = lastRow;
    f = lastField;
  }
  if (step > 0 && f < 0) f = 0;
  if (step < 0 && f > lastField) f = lastField;
  while (true) {
    if (step < 0 && f < 0) {
      f = lastField;
      --r;
    } else if (step > 0 && f > lastField) {
      f = 0;
      ++r;
    }
    if (r < 0 || r > lastRow) return {};
    if (CellMatches(SearchedCell(session, side, f, r, shownFields), findText, findMode)) {
      return FindPosition{f, r};
    }
    f += step;
  }
}

}  // namespace korvel
