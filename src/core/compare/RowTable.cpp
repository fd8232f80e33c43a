#include "compare/RowTable.h"

#include <sys/mman.h>

#include <algorithm>
#include <cstring>
#include <new>
#include <utility>

#include "compare/Collation.h"
#include "platform/Codepage.h"

namespace korvel {
namespace {

constexpr std::size_t kFirstBlock = 64 * 1024;
constexpr std::size_t kLargestBlock = 16 * 1024 * 1024;

// Blocks of at least this size are laid on huge pages where the system offers them:
// pairing and classification read rows all over the arena, and with small pages most of
// those reads would first miss the address translation cache.
constexpr std::size_t kHugePage = 2 * 1024 * 1024;

// The alignment of a block of `size` bytes: whole huge pages for large blocks.
std::size_t BlockAlignment(std::size_t size) { return size < kHugePage ? 64 : kHugePage; }

// A block of at least `*size` bytes (rounded up to whole huge pages for large blocks), or
// null. Taken from the C++ allocator like every other allocation of the engine, so that
// one allocation failure path serves all; freed by RowTable::FreeBlock.
char* AllocateBlock(std::size_t* size) {
  const std::size_t align = BlockAlignment(*size);
  if (align == kHugePage) *size = (*size + kHugePage - 1) / kHugePage * kHugePage;
  void* p = ::operator new(*size, std::align_val_t(align), std::nothrow);
#ifdef MADV_HUGEPAGE
  if (p != nullptr && align == kHugePage) (void)madvise(p, *size, MADV_HUGEPAGE);
#endif
  return static_cast<char*>(p);
}

std::uint32_t Load32(const char* p) {
  std::uint32_t v;
  std::memcpy(&v, p, sizeof v);
  return v;
}

void Store32(char* p, std::uint32_t v) { std::memcpy(p, &v, sizeof v); }

}  // namespace

// ---------------------------------------------------------------------------
// ColumnDefs

int ColumnDefs::Add(std::string_view name, int maxSize) {
  if (maxSize > kMaxCellSize) return kTooLarge;
  std::size_t cut = 0;
  while (cut < name.size()) {
    std::size_t w = CharLength(name, cut);
    if (cut + w > static_cast<std::size_t>(kMaxNameBytes)) break;
    cut += w;
  }
  name = name.substr(0, cut);
  for (const ColumnDef& d : defs_) {
    if (SortCompare(d.Name, name) == 0) return kDuplicate;
  }
  defs_.push_back(ColumnDef{std::string(name), maxSize});
  return 0;
}

const ColumnDef* ColumnDefs::Get(int i) const {
  if (i < 0 || i >= Count()) return nullptr;
  return &defs_[static_cast<std::size_t>(i)];
}

// ---------------------------------------------------------------------------
// RowView, RowTable

std::string_view RowView::Cell(int col) const {
  if (base_ == nullptr || col < 0 || col >= columns_) return {};
  const char* offsets = base_ + 1;
  std::uint32_t begin = Load32(offsets + 4 * col);
  std::uint32_t end = Load32(offsets + 4 * (col + 1));
  return std::string_view(base_ + begin, end - begin - 1);
}

void RowTable::FreeBlock::operator()(char* p) const {
  ::operator delete(p, std::align_val_t(BlockAlignment(size)));
}

RowTable::RowTable() = default;
RowTable::~RowTable() = default;

int RowTable::SetDefinition(const ColumnDefs& def) {
  if (def.Count() == 0) return kNoColumn;
  Clear();
  columns_.clear();
  work_.clear();
  try {
    for (int i = 0; i < def.Count(); ++i) columns_.push_back(*def.Get(i));
    work_.resize(columns_.size());
  } catch (const std::bad_alloc&) {
    columns_.clear();
    work_.clear();
    return kNoMemory;
  }
  return kOk;
}

void RowTable::Clear() {
  std::vector<Block>().swap(blocks_);
  std::vector<RowPlace>().swap(rows_);
}

void RowTable::NewRow() {
  for (std::string& cell : work_) cell.clear();
}

int RowTable::SetCell(int col, std::string_view text) {
  if (col < 0) return kBadColumn;
  if (col >= ColumnCount()) return kNoColumn;
  if (text.size() > static_cast<std::size_t>(columns_[static_cast<std::size_t>(col)].MaxSize)) {
    return kTooLong;
  }
  try {
    work_[static_cast<std::size_t>(col)].assign(text);
  } catch (const std::bad_alloc&) {
    return kNoMemory;
  }
  return kOk;
}

char* RowTable::Reserve(std::size_t size, RowPlace* place) {
  if (blocks_.empty() || blocks_.back().capacity - blocks_.back().used < size) {
    // Blocks double up to a ceiling so that small tables stay small and large ones need
    // few blocks; a block is never moved, so views into rows stay valid while rows grow.
    std::size_t next =
        blocks_.empty() ? kFirstBlock : std::min(blocks_.back().capacity * 2, kLargestBlock);
    next = std::max(next, size);
    Block block;
    char* bytes = AllocateBlock(&next);
    if (bytes == nullptr) return nullptr;
    block.bytes = std::unique_ptr<char, FreeBlock>(bytes, FreeBlock{next});
    block.capacity = next;
    try {
      blocks_.push_back(std::move(block));
    } catch (const std::bad_alloc&) {
      return nullptr;
    }
  }
  Block& last = blocks_.back();
  place->block = static_cast<std::uint32_t>(blocks_.size() - 1);
  place->offset = static_cast<std::uint32_t>(last.used);
  char* at = last.bytes.get() + last.used;
  last.used += size;
  return at;
}

int RowTable::CommitRow() {
  const std::size_t n = work_.size();
  const std::size_t header = 1 + 4 * (n + 1);
  std::size_t size = header;
  for (const std::string& cell : work_) size += cell.size() + 1;
  try {
    // Room for the row's place first, so that a failure leaves no half-added row.
    if (rows_.size() == rows_.capacity()) rows_.reserve(rows_.size() * 2 + 64);
  } catch (const std::bad_alloc&) {
    return kNoMemory;
  }
  RowPlace place{};
  char* row = Reserve(size, &place);
  if (row == nullptr) return kNoMemory;
  row[0] = 0;
  std::size_t at = header;
  for (std::size_t k = 0; k < n; ++k) {
    Store32(row + 1 + 4 * k, static_cast<std::uint32_t>(at));
    const std::string& cell = work_[k];
    std::memcpy(row + at, cell.data(), cell.size());
    at += cell.size();
    row[at++] = 0;
  }
  Store32(row + 1 + 4 * n, static_cast<std::uint32_t>(at));
  rows_.push_back(place);
  return kOk;
}

char* RowTable::RowBase(int row) const {
  if (row < 0 || row >= RowCount()) return nullptr;
  const RowPlace& p = rows_[static_cast<std::size_t>(row)];
  return blocks_[p.block].bytes.get() + p.offset;
}

RowView RowTable::Row(int row) const {
  const char* base = RowBase(row);
  if (base == nullptr) return {};
  return RowView(base, ColumnCount());
}

const char* RowTable::GetCell(int col, int row) const {
  std::string_view cell = Row(row).Cell(col);
  return cell.data();
}

// Pairing and classification visit rows in key order, all over the arena; asking for
// them a few steps ahead hides most of the memory latency.
void RowTable::PrefetchPlace(int row) const {
  if (row >= 0 && row < RowCount()) __builtin_prefetch(&rows_[static_cast<std::size_t>(row)]);
}

void RowTable::PrefetchRow(int row) const {
  const char* base = RowBase(row);
  if (base == nullptr) return;
  __builtin_prefetch(base);
  __builtin_prefetch(base + 64);
  __builtin_prefetch(base + 128);
}

bool RowTable::IsMarked(int row) const {
  const char* base = RowBase(row);
  return base != nullptr && (base[0] & 1) != 0;
}

void RowTable::SetMarked(int row, bool marked) {
  char* base = RowBase(row);
  if (base == nullptr) return;
  base[0] = static_cast<char>(marked ? (base[0] | 1) : (base[0] & ~1));
}

}  // namespace korvel
