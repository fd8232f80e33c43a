#include "compare/Cmyrec.h"

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
// one allocation failure path serves all; freed by CMyTable::FreeBlock.
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

std::size_t CharLength(std::string_view s, std::size_t i) {
  return IsLeadByte(s[i]) && i + 1 < s.size() ? 2 : 1;
}

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

}  // namespace

// ---------------------------------------------------------------------------
// CMyTableDef

int CMyTableDef::Add(std::string_view name, int maxSize) {
  if (maxSize > kMaxCellSize) return kTooLarge;
  std::size_t cut = 0;
  while (cut < name.size()) {
    std::size_t w = CharLength(name, cut);
    if (cut + w > static_cast<std::size_t>(kMaxNameBytes)) break;
    cut += w;
  }
  name = name.substr(0, cut);
  for (const CMyColumnDef& d : defs_) {
    if (SortCompare(d.Name, name) == 0) return kDuplicate;
  }
  defs_.push_back(CMyColumnDef{std::string(name), maxSize});
  return 0;
}

const CMyColumnDef* CMyTableDef::Get(int i) const {
  if (i < 0 || i >= Count()) return nullptr;
  return &defs_[static_cast<std::size_t>(i)];
}

// ---------------------------------------------------------------------------
// CMyRowView, CMyTable

std::string_view CMyRowView::Cell(int col) const {
  if (base_ == nullptr || col < 0 || col >= columns_) return {};
  const char* offsets = base_ + 1;
  std::uint32_t begin = Load32(offsets + 4 * col);
  std::uint32_t end = Load32(offsets + 4 * (col + 1));
  return std::string_view(base_ + begin, end - begin - 1);
}

void CMyTable::FreeBlock::operator()(char* p) const {
  ::operator delete(p, std::align_val_t(BlockAlignment(size)));
}

CMyTable::CMyTable() = default;
CMyTable::~CMyTable() = default;

int CMyTable::SetDefinition(const CMyTableDef& def) {
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

void CMyTable::Clear() {
  std::vector<Block>().swap(blocks_);
  std::vector<RowPlace>().swap(rows_);
}

void CMyTable::NewRow() {
  for (std::string& cell : work_) cell.clear();
}

int CMyTable::SetCell(int col, std::string_view text) {
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

char* CMyTable::Reserve(std::size_t size, RowPlace* place) {
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

int CMyTable::CommitRow() {
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

char* CMyTable::RowBase(int row) const {
  if (row < 0 || row >= RowCount()) return nullptr;
  const RowPlace& p = rows_[static_cast<std::size_t>(row)];
  return blocks_[p.block].bytes.get() + p.offset;
}

CMyRowView CMyTable::Row(int row) const {
  const char* base = RowBase(row);
  if (base == nullptr) return {};
  return CMyRowView(base, ColumnCount());
}

const char* CMyTable::GetCell(int col, int row) const {
  std::string_view cell = Row(row).Cell(col);
  return cell.data();
}

// Pairing and classification visit rows in key order, all over the arena; asking for
// them a few steps ahead hides most of the memory latency.
void CMyTable::PrefetchPlace(int row) const {
  if (row >= 0 && row < RowCount()) __builtin_prefetch(&rows_[static_cast<std::size_t>(row)]);
}

void CMyTable::PrefetchRow(int row) const {
  const char* base = RowBase(row);
  if (base == nullptr) return;
  __builtin_prefetch(base);
  __builtin_prefetch(base + 64);
  __builtin_prefetch(base + 128);
}

bool CMyTable::IsMarked(int row) const {
  const char* base = RowBase(row);
  return base != nullptr && (base[0] & 1) != 0;
}

void CMyTable::SetMarked(int row, bool marked) {
  char* base = RowBase(row);
  if (base == nullptr) return;
  base[0] = static_cast<char>(marked ? (base[0] | 1) : (base[0] & ~1));
}

// ---------------------------------------------------------------------------
// The key order.
//
// Sorting a million rows compares tens of millions of times, so the keys are fetched
// once: each sort item carries its first key (a 16-byte folded prefix that decides most
// comparisons, and the text itself), further keys sit in a table indexed by row. The
// order is exactly the key comparison; the caches only make it cheaper.

namespace {

struct KeyValue {
  const char* text = nullptr;
  std::uint32_t length = 0;
  std::int32_t number = 0;
  std::string_view View() const { return std::string_view(text == nullptr ? "" : text, length); }
};

constexpr std::uint32_t kPrefixBytes = 16;

struct SortItem {
  // Order-preserving image of the first key: for a text, its first 16 folded bytes
  // big-endian and padded with zeros; for a number, its value.
  std::uint64_t high;
  std::uint64_t low;
  const char* text;
  std::uint32_t length;
  std::int32_t row;
};

// Fills the prefix of `item` from a text key: comparing the two integers compares the
// texts as SortCompare does, as far as 16 bytes go.
void SetFoldedPrefix(SortItem& item, std::string_view s) {
  std::uint64_t v[2] = {0, 0};
  bool trail = false;
  for (std::uint32_t i = 0; i < kPrefixBytes; ++i) {
    unsigned char c = 0;
    if (i < s.size()) {
      c = static_cast<unsigned char>(s[i]);
      if (!trail && c >= 'A' && c <= 'Z') c = static_cast<unsigned char>(c + ('a' - 'A'));
      trail = !trail && IsLeadByte(c);
    }
    v[i / 8] = (v[i / 8] << 8) | c;
  }
  item.high = v[0];
  item.low = v[1];
}

template <typename T>
int Order(T a, T b) {
  return a < b ? -1 : (b < a ? 1 : 0);
}

class KeyOrder {
 public:
  KeyOrder(const CMyTable& table, const std::vector<CMyRec::Key>& keys)
      : table_(table), keys_(keys), restCount_(keys.size() - 1) {}

  // Builds the items for `selection` and the cache of the further keys; bad_alloc when
  // memory runs out.
  std::vector<SortItem> Prepare(const std::vector<std::int32_t>& selection) {
    if (restCount_ > 0) rest_.resize(static_cast<std::size_t>(table_.RowCount()) * restCount_);
    std::vector<SortItem> items(selection.size());
    const CMyRec::Key& first = keys_[0];
    for (std::size_t p = 0; p < selection.size(); ++p) {
      std::int32_t row = selection[p];
      CMyRowView view = table_.Row(row);
      std::string_view cell = view.Cell(first.column);
      SortItem& item = items[p];
      item.text = cell.data() == nullptr ? "" : cell.data();
      item.length = static_cast<std::uint32_t>(cell.size());
      item.row = row;
      if (first.numeric) {
        item.high = static_cast<std::uint32_t>(KeyNumber(cell)) ^ 0x80000000u;
        item.low = 0;
      } else {
        SetFoldedPrefix(item, cell);
      }
      for (std::size_t k = 0; k < restCount_; ++k) {
        const CMyRec::Key& key = keys_[k + 1];
        std::string_view c = view.Cell(key.column);
        KeyValue& kv = rest_[static_cast<std::size_t>(row) * restCount_ + k];
        kv.text = c.data();
        kv.length = static_cast<std::uint32_t>(c.size());
        kv.number = key.numeric ? KeyNumber(c) : 0;
      }
    }
    return items;
  }

  // The key comparison: key by key, the first unequal key decides.
  int Compare(const SortItem& a, const SortItem& b) const {
    int c = CompareFirst(a, b);
    if (c != 0) return keys_[0].descending ? -c : c;
    for (std::size_t k = 0; k < restCount_; ++k) {
      const CMyRec::Key& key = keys_[k + 1];
      const KeyValue& x = Rest(a.row, k);
      const KeyValue& y = Rest(b.row, k);
      c = key.numeric ? Order(x.number, y.number) : SortCompare(x.View(), y.View());
      if (c != 0) return key.descending ? -c : c;
    }
    return 0;
  }

  // For rows that Compare finds equal: the byte order of their text keys.
  int CompareExact(const SortItem& a, const SortItem& b) const {
    if (!keys_[0].numeric) {
      int c = std::string_view(a.text, a.length).compare(std::string_view(b.text, b.length));
      if (c != 0) return c;
    }
    for (std::size_t k = 0; k < restCount_; ++k) {
      if (keys_[k + 1].numeric) continue;
      int c = Rest(a.row, k).View().compare(Rest(b.row, k).View());
      if (c != 0) return c;
    }
    return 0;
  }

 private:
  int CompareFirst(const SortItem& a, const SortItem& b) const {
    if (a.high != b.high) return Order(a.high, b.high);
    if (a.low != b.low) return Order(a.low, b.low);
    if (keys_[0].numeric) return 0;
    // Equal prefixes of texts within 16 bytes: the texts agree up to the shorter length.
    if (a.length <= kPrefixBytes && b.length <= kPrefixBytes) return Order(a.length, b.length);
    return SortCompare(std::string_view(a.text, a.length), std::string_view(b.text, b.length));
  }

  const KeyValue& Rest(std::int32_t row, std::size_t k) const {
    return rest_[static_cast<std::size_t>(row) * restCount_ + k];
  }

  const CMyTable& table_;
  const std::vector<CMyRec::Key>& keys_;
  std::size_t restCount_;
  std::vector<KeyValue> rest_;
};

// Phase one: a quicksort that leaves ranges of up to 11 items unsorted, with a stack of
// at most 32 pending ranges. The pivot's keys are taken once per partition.
void QuickPhase(std::vector<SortItem>& a, const KeyOrder& order) {
  struct Range {
    std::ptrdiff_t lo;
    std::ptrdiff_t hi;
  };
  constexpr int kStackSize = 32;
  constexpr std::ptrdiff_t kSmall = 10;
  Range stack[kStackSize];
  int depth = 0;
  std::ptrdiff_t lo = 0;
  std::ptrdiff_t hi = static_cast<std::ptrdiff_t>(a.size()) - 1;
  for (;;) {
    if (hi - lo <= kSmall) {
      if (depth == 0) return;
      --depth;
      lo = stack[depth].lo;
      hi = stack[depth].hi;
    }
    const SortItem pivot = a[static_cast<std::size_t>((lo + hi) / 2)];
    std::ptrdiff_t i = lo;
    std::ptrdiff_t j = hi;
    for (;;) {
      while (order.Compare(a[static_cast<std::size_t>(i)], pivot) < 0) ++i;
      while (order.Compare(a[static_cast<std::size_t>(j)], pivot) > 0) --j;
      if (i >= j) break;
      std::swap(a[static_cast<std::size_t>(i)], a[static_cast<std::size_t>(j)]);
      ++i;
      --j;
    }
    if (i - lo > hi - j) {
      if (i - lo > kSmall) {
        stack[depth++] = Range{lo, i - 1};
        if (depth == kStackSize) return;
      }
      lo = j + 1;
    } else {
      if (hi - j > kSmall) {
        stack[depth++] = Range{j + 1, hi};
        if (depth == kStackSize) return;
      }
      hi = i - 1;
    }
  }
}

// A stable sort of phase one's output. Phase one leaves every item within a few places of
// its final one, so a stable insertion sort finishes in linear time; should the moves
// ever pass a linear budget, the rest is left to a general stable sort (the partial
// insertion sort has kept equal items in their order, so the outcome is the same).
void StableFinish(std::vector<SortItem>& a, const KeyOrder& order) {
  auto less = [&order](const SortItem& x, const SortItem& y) { return order.Compare(x, y) < 0; };
  std::size_t budget = 16 * a.size() + 64;
  for (std::size_t p = 1; p < a.size(); ++p) {
    if (!less(a[p], a[p - 1])) continue;
    SortItem item = a[p];
    std::size_t q = p;
    while (q > 0 && less(item, a[q - 1])) {
      a[q] = a[q - 1];
      --q;
    }
    a[q] = item;
    std::size_t moved = p - q;
    if (moved >= budget) {
      std::stable_sort(a.begin(), a.end(), less);
      return;
    }
    budget -= moved;
  }
}

// Phase two's order: ascending, rows with equal keys in the reverse of phase one's order.
// Stable sorting and then reversing each run of equal keys gives exactly the order of
// moving each row down past every preceding row that does not compare below it.
void ReverseEqualRuns(std::vector<SortItem>& a, const KeyOrder& order, bool exactTies) {
  std::size_t start = 0;
  for (std::size_t p = 1; p <= a.size(); ++p) {
    if (p < a.size() && order.Compare(a[p - 1], a[p]) == 0) continue;
    if (p - start > 1) {
      std::reverse(a.begin() + static_cast<std::ptrdiff_t>(start),
                   a.begin() + static_cast<std::ptrdiff_t>(p));
      if (exactTies) {
        std::stable_sort(a.begin() + static_cast<std::ptrdiff_t>(start),
                         a.begin() + static_cast<std::ptrdiff_t>(p),
                         [&order](const SortItem& x, const SortItem& y) {
                           return order.CompareExact(x, y) < 0;
                         });
      }
    }
    start = p;
  }
}

}  // namespace

// ---------------------------------------------------------------------------
// CMyRec

int CMyRec::FindColumn(std::string_view name) const {
  if (table_ == nullptr) return -1;
  const std::vector<CMyColumnDef>& columns = table_->Columns();
  for (std::size_t i = 0; i < columns.size(); ++i) {
    if (SortCompare(columns[i].Name, name) == 0) return static_cast<int>(i);
  }
  return -1;
}

int CMyRec::SetSortKeys(std::string_view keyList, int sortNow) {
  keys_.clear();
  int result = 0;
  std::size_t pos = 0;
  const std::size_t n = keyList.size();
  while (static_cast<int>(keys_.size()) < kMaxKeys) {
    if (pos < n && keyList[pos] == ',') ++pos;
    while (pos < n && IsBlank(keyList[pos])) ++pos;
    if (pos >= n) break;
    std::size_t start = pos;
    while (pos < n && !IsBlank(keyList[pos]) && keyList[pos] != ',')
      pos += CharLength(keyList, pos);
    Key key;
    key.column = FindColumn(keyList.substr(start, pos - start));
    if (key.column < 0) {
      result = kUnknownName;
      break;
    }
    while (pos < n && IsBlank(keyList[pos])) ++pos;
    if (pos < n && keyList[pos] != ',') {
      if (keyList[pos] == 'N' || keyList[pos] == 'n') {
        key.numeric = true;
        ++pos;
      }
      char order = pos < n ? keyList[pos] : '\0';
      if (order == 'D' || order == 'd') {
        key.descending = true;
      } else if (order != 'U' && order != 'u') {
        result = kBadOrder;
        break;
      }
      ++pos;
    }
    while (pos < n && keyList[pos] != ',') pos += CharLength(keyList, pos);
    keys_.push_back(key);
  }
  if (sortNow == 1 && Sort() != 0 && result == 0) result = kNoMemory;
  return result;
}

int CMyRec::Select() {
  selection_.clear();
  cursor_ = -1;
  eof_ = 1;
  const int rows = table_ == nullptr ? 0 : table_->RowCount();
  if (rows == 0) return kNoRows;
  try {
    selection_.resize(static_cast<std::size_t>(rows));
  } catch (const std::bad_alloc&) {
    std::vector<std::int32_t>().swap(selection_);
    return kNoMemory;
  }
  for (int r = 0; r < rows; ++r) {
    selection_[static_cast<std::size_t>(r)] = r;
    table_->SetMarked(r, true);
  }
  if (Sort() != 0) {
    std::vector<std::int32_t>().swap(selection_);
    return kNoMemory;
  }
  First();
  return 0;
}

int CMyRec::Sort() {
  if (keys_.empty() || table_ == nullptr || selection_.size() < 2) return 0;
  try {
    KeyOrder order(*table_, keys_);
    std::vector<SortItem> items = order.Prepare(selection_);
    QuickPhase(items, order);
    StableFinish(items, order);
    ReverseEqualRuns(items, order, exactTies_);
    for (std::size_t p = 0; p < items.size(); ++p) selection_[p] = items[p].row;
  } catch (const std::bad_alloc&) {
    return kNoMemory;
  }
  return 0;
}

void CMyRec::ClearSelection() {
  std::vector<std::int32_t>().swap(selection_);
  cursor_ = -1;
  eof_ = 1;
}

int CMyRec::First() {
  if (selection_.empty()) {
    cursor_ = -1;
    eof_ = 1;
    return -1;
  }
  cursor_ = 0;
  eof_ = 0;
  return 0;
}

int CMyRec::Next() {
  eof_ = 1;
  if (cursor_ >= static_cast<int>(selection_.size())) return 2;
  ++cursor_;
  if (cursor_ >= static_cast<int>(selection_.size())) return 1;
  eof_ = 0;
  return 0;
}

int CMyRec::CurrentRow() const {
  if (cursor_ < 0 || cursor_ >= static_cast<int>(selection_.size())) return -1;
  return selection_[static_cast<std::size_t>(cursor_)];
}

const char* CMyRec::GetField(int col) const {
  if (table_ == nullptr) return nullptr;
  return table_->GetCell(col, CurrentRow());
}

std::string_view CMyRec::FieldView(int col) const {
  if (table_ == nullptr) return {};
  return table_->CellView(col, CurrentRow());
}

}  // namespace korvel
