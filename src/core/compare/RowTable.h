#pragma once
// The row table of one input side and the key-ordered walk over it.
//
//  - ColumnDefs: the column definitions (name, largest cell size) a table is built from.
//  - RowTable: every record of one file, each packed once into a row of cell texts. Rows
//    live in large arena blocks that never move, so a cell is read in place as a
//    std::string_view into its row.
//
// Packed row layout (little-endian), n = column count:
//   offset 0            1 byte         status byte: bit 0 set by SortedSelection::Select
//   offset 1            4 x (n + 1)    for column k, the unsigned 32-bit offset from the row
//                                      start to cell k's text; entry n is the row's size
//   offset 1 + 4(n+1)   rest           the cell texts in column order, each followed by 0
// 32-bit offsets keep every row the limits allow (255 columns of 500 bytes) whole.
//
// Texts are CP932 bytes. All operations report by result codes; none throws.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace korvel {

// One column definition.
struct ColumnDef {
  std::string Name;  // at most 30 bytes, unique within a definition (letter case ignored)
  int MaxSize = 0;   // largest cell length in bytes, at most 5000
};

class ColumnDefs {
 public:
  static constexpr int kMaxNameBytes = 30;
  static constexpr int kMaxCellSize = 5000;
  static constexpr int kTooLarge = 401;   // Add: MaxSize above 5000
  static constexpr int kDuplicate = 200;  // Add: a column of that name exists

  void Clear() { defs_.clear(); }
  // Appends a definition; a name longer than 30 bytes is cut there (a double-byte
  // character is never split). 0, kTooLarge or kDuplicate (nothing added then).
  [[nodiscard]] int Add(std::string_view name, int maxSize);
  int Count() const { return static_cast<int>(defs_.size()); }
  // Definition i; null when out of range.
  const ColumnDef* Get(int i) const;

 private:
  std::vector<ColumnDef> defs_;
};

class RowTable;

// A read-only view of one packed row. Valid until the table's rows are removed
// (SetDefinition, Clear) or the table is destroyed.
class RowView {
 public:
  RowView() = default;
  bool Exists() const { return base_ != nullptr; }
  // Cell `col` in place; a view with a null data() when the row or the column does not
  // exist (callers that treat a missing cell as "" can use the view as it is).
  std::string_view Cell(int col) const;

 private:
  friend class RowTable;
  RowView(const char* base, int columns) : base_(base), columns_(columns) {}
  const char* base_ = nullptr;
  int columns_ = 0;
};

class RowTable {
 public:
  static constexpr int kOk = 0;
  static constexpr int kNoColumn = 50;    // SetDefinition: empty def; SetCell: col >= n
  static constexpr int kNoMemory = 51;    // memory could not be had
  static constexpr int kTooLong = 100;    // SetCell: text longer than the column's MaxSize
  static constexpr int kBadColumn = 202;  // SetCell: a negative column

  RowTable();
  ~RowTable();
  RowTable(const RowTable&) = delete;
  RowTable& operator=(const RowTable&) = delete;

  // Copies the definitions as the columns, empties the working row (n empty texts) and
  // removes all rows. kOk; kNoColumn when `def` is empty (nothing changes); kNoMemory
  // (the table then has no columns).
  [[nodiscard]] int SetDefinition(const ColumnDefs& def);
  // Removes all rows and frees their memory; the columns stay.
  void Clear();

  // Sets every working cell to "".
  void NewRow();
  // Stores `text` (copied) as working cell `col`: kOk, kBadColumn, kNoColumn, kTooLong (the
  // cell keeps its previous text) or kNoMemory.
  [[nodiscard]] int SetCell(int col, std::string_view text);
  // Packs the working row and appends it as the next row: kOk, or kNoMemory (no row added).
  [[nodiscard]] int CommitRow();

  int RowCount() const { return static_cast<int>(rows_.size()); }
  int ColumnCount() const { return static_cast<int>(columns_.size()); }
  const std::vector<ColumnDef>& Columns() const { return columns_; }

  // Row `row` in place; a view without row when it does not exist.
  RowView Row(int row) const;
  // Cell `col` of row `row` as NUL-terminated text in place, or null when the column or
  // the row does not exist. Lives as long as the row (see RowView).
  const char* GetCell(int col, int row) const;
  // The same as a view (null data() when missing).
  std::string_view CellView(int col, int row) const { return Row(row).Cell(col); }

  // Hints that row `row` will be read soon; PrefetchPlace a little earlier than
  // PrefetchRow. No effect on the contents; rows that do not exist are ignored.
  void PrefetchPlace(int row) const;
  void PrefetchRow(int row) const;

  // Bit 0 of a row's status byte; false for a row that does not exist.
  bool IsMarked(int row) const;
  void SetMarked(int row, bool marked);

 private:
  struct FreeBlock {
    FreeBlock() noexcept : size(0) {}
    explicit FreeBlock(std::size_t blockSize) noexcept : size(blockSize) {}
    void operator()(char* p) const;
    std::size_t size;  // the block's size, which decides its alignment
  };
  struct Block {
    std::unique_ptr<char, FreeBlock> bytes;
    std::size_t capacity = 0;
    std::size_t used = 0;
  };
  struct RowPlace {
    std::uint32_t block;
    std::uint32_t offset;
  };

  char* RowBase(int row) const;
  // Room for `size` bytes at the end of the last block, adding a block when needed; null
  // when memory runs out.
  char* Reserve(std::size_t size, RowPlace* place);

  std::vector<ColumnDef> columns_;
  std::vector<std::string> work_;  // the working row; strings keep their capacity
  std::vector<Block> blocks_;
  std::vector<RowPlace> rows_;
};

}  // namespace korvel
