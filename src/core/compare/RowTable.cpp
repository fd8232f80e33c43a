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
// A row's offset within its block has 29 bits; rows are refused well before a block could
// grow past that (the limits allow rows of about 5 MB).
constexpr std::size_t kLargestRow = std::size_t{1} << 27;

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

template <typename T>
T Load(const char* p) {
  T v;
  std::memcpy(&v, p, sizeof v);
  return v;
}

template <typename T>
void Store(char* p, T v) {
  std::memcpy(p, &v, sizeof v);
}

// Copies the cells end to end after their end offsets, which are of type T.
template <typename T>
void Pack(char* row, const std::vector<std::string_view>& cells) {
  char* texts = row + sizeof(T) * cells.size();
  std::size_t end = 0;
  for (std::size_t k = 0; k < cells.size(); ++k) {
    const std::string_view cell = cells[k];
    if (!cell.empty()) std::memcpy(texts + end, cell.data(), cell.size());
    end += cell.size();
    Store(row + sizeof(T) * k, static_cast<T>(end));
  }
}

template <typename T>
std::string_view CellOf(const char* base, int columns, int col) {
  const std::size_t k = static_cast<std::size_t>(col);
  const char* texts = base + sizeof(T) * static_cast<std::size_t>(columns);
  const std::size_t begin = k == 0 ? 0 : Load<T>(base + sizeof(T) * (k - 1));
  const std::size_t end = Load<T>(base + sizeof(T) * k);
  return std::string_view(texts + begin, end - begin);
}

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
  switch (width_) {
    case 1:
      return CellOf<std::uint8_t>(base_, columns_, col);
    case 2:
      return CellOf<std::uint16_t>(base_, columns_, col);
    default:
      return CellOf<std::uint32_t>(base_, columns_, col);
  }
}

std::string_view RowView::Packed() const {
  if (base_ == nullptr || columns_ == 0) return {};
  const std::size_t offsets = static_cast<std::size_t>(width_) * static_cast<std::size_t>(columns_);
  const char* last = base_ + offsets - static_cast<std::size_t>(width_);
  std::size_t texts = 0;
  switch (width_) {
    case 1:
      texts = Load<std::uint8_t>(last);
      break;
    case 2:
      texts = Load<std::uint16_t>(last);
      break;
    default:
      texts = Load<std::uint32_t>(last);
  }
  return std::string_view(base_, offsets + texts);
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
  std::vector<std::unique_ptr<RowPlace[]>>().swap(places_);
  rowCount_ = 0;
}

void RowTable::NewRow() {
  for (std::string_view& cell : work_) cell = {};
}

int RowTable::SetCell(int col, std::string_view text) {
  if (col < 0) return kBadColumn;
  if (col >= ColumnCount()) return kNoColumn;
  if (text.size() > static_cast<std::size_t>(columns_[static_cast<std::size_t>(col)].MaxSize)) {
    return kTooLong;
  }
  work_[static_cast<std::size_t>(col)] = text;
  return kOk;
}

char* RowTable::Reserve(std::size_t size, RowPlace* place) {
  if (size > kLargestRow) return nullptr;
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
  place->word = static_cast<std::uint32_t>(last.used);
  char* at = last.bytes.get() + last.used;
  last.used += size;
  return at;
}

int RowTable::CommitRow() {
  std::size_t texts = 0;
  for (std::string_view cell : work_) texts += cell.size();
  const std::uint32_t widthCode = texts <= 0xFF ? 0 : (texts <= 0xFFFF ? 1 : 2);
  const std::size_t size = (std::size_t{1} << widthCode) * work_.size() + texts;
  // Room for the row's place first, so that a failure leaves no half-added row.
  if (rowCount_ == static_cast<int>(places_.size()) * kPlaceChunk) {
    std::unique_ptr<RowPlace[]> chunk(new (std::nothrow) RowPlace[kPlaceChunk]);
    if (chunk == nullptr) return kNoMemory;
    try {
      places_.push_back(std::move(chunk));
    } catch (const std::bad_alloc&) {
      return kNoMemory;
    }
  }
  RowPlace place{};
  char* row = Reserve(size, &place);
  if (row == nullptr) return kNoMemory;
  if (widthCode == 0) {
    Pack<std::uint8_t>(row, work_);
  } else if (widthCode == 1) {
    Pack<std::uint16_t>(row, work_);
  } else {
    Pack<std::uint32_t>(row, work_);
  }
  place.word |= widthCode << kWidthShift;
  places_[static_cast<std::size_t>(rowCount_ >> kPlaceChunkBits)][rowCount_ & (kPlaceChunk - 1)] =
      place;
  ++rowCount_;
  return kOk;
}

std::size_t RowTable::RowBytes() const {
  std::size_t bytes = 0;
  for (const Block& block : blocks_) bytes += block.used;
  return bytes;
}

const RowTable::RowPlace* RowTable::Place(int row) const {
  if (row < 0 || row >= rowCount_) return nullptr;
  return &places_[static_cast<std::size_t>(row >> kPlaceChunkBits)][row & (kPlaceChunk - 1)];
}

char* RowTable::RowBase(const RowPlace& place) const {
  return blocks_[place.block].bytes.get() + (place.word & kOffsetMask);
}

RowView RowTable::Row(int row) const {
  const RowPlace* place = Place(row);
  if (place == nullptr) return {};
  return RowView(RowBase(*place), ColumnCount(), 1 << ((place->word >> kWidthShift) & 3));
}

// Pairing and classification visit rows in key order, all over the arena; asking for
// them a few steps ahead hides most of the memory latency.
void RowTable::PrefetchPlace(int row) const {
  if (const RowPlace* place = Place(row)) __builtin_prefetch(place);
}

void RowTable::PrefetchRow(int row) const {
  const RowPlace* place = Place(row);
  if (place == nullptr) return;
  const char* base = RowBase(*place);
  __builtin_prefetch(base);
  __builtin_prefetch(base + 64);
  __builtin_prefetch(base + 128);
}

bool RowTable::IsMarked(int row) const {
  const RowPlace* place = Place(row);
  return place != nullptr && (place->word & kMarked) != 0;
}

void RowTable::SetMarked(int row, bool marked) {
  if (row < 0 || row >= rowCount_) return;
  RowPlace& p = places_[static_cast<std::size_t>(row >> kPlaceChunkBits)][row & (kPlaceChunk - 1)];
  p.word = marked ? (p.word | kMarked) : (p.word & ~kMarked);
}

}  // namespace korvel
