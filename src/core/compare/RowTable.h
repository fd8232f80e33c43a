#pragma once
// The row table of one input side and the key-ordered walk over it.
//
//  - ColumnDefs: the column definitions (name, largest cell size) a table is built from.
//  - RowTable: every record of one file, each packed once into a row of cell texts. Rows
//    live in large arena blocks that never move, so a cell is read in place as a
//    std::string_view into its row.
//
// Packed row layout (little-endian), n = column count, T = the cell texts end to end:
//   offset 0      w x n    for column k, where cell k ends within T (unsigned); cell k
//                          starts where cell k - 1 ends, cell 0 at 0
//   offset w x n  |T|      T: the cell texts in column order, nothing between them
// w, the offset width, is the least of 1, 2 or 4 bytes that holds |T|: most records are
// short and spend one byte a cell on their layout, while every row the limits allow (255
// columns of 500 bytes, 1000 of 5000) stays whole. The row's place (block, offset) keeps its
// offset width and its mark; the row itself holds nothing else.
//
// Texts are CP932 bytes. All operations report by result codes; none throws.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <type_traits>
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
  // The whole packed row: its cells' end offsets and texts. Two rows of the same column
  // count hold the same cells exactly when these bytes are equal.
  std::string_view Packed() const;

 private:
  friend class RowTable;
  RowView(const char* base, int columns, int width)
      : base_(base), columns_(columns), width_(width) {}
  const char* base_ = nullptr;
  int columns_ = 0;
  int width_ = 0;  // of the row's offsets: 1, 2 or 4 bytes
};

class RowTable {
 public:
  static constexpr int kOk = 0;
  static constexpr int kNoColumn = 50;    // SetDefinition: empty def; SetCell: col >= n
  static constexpr int kNoMemory = 51;    // memory could not be had (or a row above 128 MiB)
  static constexpr int kTooLong = 100;    // SetCell: text longer than the column's MaxSize
  static constexpr int kBadColumn = 202;  // SetCell: a negative column

  RowTable();
  ~RowTable();
  RowTable(const RowTable&) = delete;
  RowTable& operator=(const RowTable&) = delete;

  // Copies the definitions as the columns, empties the working row (n empty cells) and
  // removes all rows. kOk; kNoColumn when `def` is empty (nothing changes); kNoMemory
  // (the table then has no columns).
  [[nodiscard]] int SetDefinition(const ColumnDefs& def);
  // Removes all rows and frees their memory; the columns stay.
  void Clear();

  // Sets every working cell to "".
  void NewRow();
  // Takes `text` as working cell `col` without copying it: the bytes it views must stay as
  // they are until CommitRow (or NewRow) is done. kOk, kBadColumn, kNoColumn or kTooLong
  // (the cell keeps its previous text).
  [[nodiscard]] int SetCell(int col, std::string_view text);
  // A temporary string would be gone before CommitRow copies it.
  template <typename T>
  requires(std::is_same_v<std::remove_cvref_t<T>, std::string> &&
           !std::is_lvalue_reference_v<T>) int SetCell(int col, T&& text) = delete;
  // Copies the working row into a packed row and appends it as the next row: kOk, or
  // kNoMemory (no row added). The working cells stay set (to the caller's texts).
  [[nodiscard]] int CommitRow();

  int RowCount() const { return rowCount_; }
  int ColumnCount() const { return static_cast<int>(columns_.size()); }
  const std::vector<ColumnDef>& Columns() const { return columns_; }

  // Bytes the packed rows take (their places and the blocks' free room not counted).
  std::size_t RowBytes() const;

  // Row `row` in place; a view without row when it does not exist.
  RowView Row(int row) const;
  // Cell `col` of row `row` in place; null data() when the column or the row does not
  // exist. Lives as long as the row (see RowView).
  std::string_view CellView(int col, int row) const { return Row(row).Cell(col); }

  // Hints that row `row` will be read soon; PrefetchPlace a little earlier than
  // PrefetchRow. No effect on the contents; rows that do not exist are ignored.
  void PrefetchPlace(int row) const;
  void PrefetchRow(int row) const;

  // The mark SortedSelection::Select sets on the rows it selects; false for a row that does
  // not exist.
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
  // Where a row lies: its block and, in the low 29 bits of `word`, its offset there; the
  // bits above hold the row's offset width (kWidthShift) and its mark.
  struct RowPlace {
    std::uint32_t block;
    std::uint32_t word;
  };
  static constexpr std::uint32_t kOffsetMask = (1u << 29) - 1;
  static constexpr int kWidthShift = 29;  // 2 bits: 0, 1, 2 for 1, 2, 4 bytes
  static constexpr std::uint32_t kMarked = 1u << 31;
  // Places are kept in chunks of this many, so that a growing table never copies them and
  // never holds a spare half of their vector.
  static constexpr int kPlaceChunkBits = 13;
  static constexpr int kPlaceChunk = 1 << kPlaceChunkBits;

  const RowPlace* Place(int row) const;
  char* RowBase(const RowPlace& place) const;
  // Room for `size` bytes at the end of the last block, adding a block when needed; null
  // when memory runs out.
  char* Reserve(std::size_t size, RowPlace* place);

  std::vector<ColumnDef> columns_;
  std::vector<std::string_view> work_;  // the working row: views of the caller's texts
  std::vector<Block> blocks_;
  std::vector<std::unique_ptr<RowPlace[]>> places_;  // chunks of kPlaceChunk
  int rowCount_ = 0;
};

}  // namespace korvel
