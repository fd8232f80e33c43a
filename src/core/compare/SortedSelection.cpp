#include "compare/SortedSelection.h"

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <bit>
#include <cstring>
#include <new>
#include <utility>

#include "compare/Collation.h"
#include "platform/Codepage.h"

namespace korvel {

// ---------------------------------------------------------------------------
// The key order.
//
// Sorting a million rows compares tens of millions of times, so the keys are fetched
// once: each sort item carries a 24-byte image of its keys that decides most comparisons,
// whatever the first key holds. The order is exactly the key comparison; the image only
// makes it cheaper.
//
// The image is the beginning of one byte string that orders like the whole key list:
// each text key as its folded bytes and a zero byte, each number as four big-endian bytes,
// a descending key with every byte inverted. A first key with few distinct values thus
// leaves the next keys' bytes to decide, without a visit to the row. The zero byte only
// ends a text that holds no zero byte, so a table with one in a key falls back to an
// image of the first key alone.
//
// An image that holds the whole key list is marked complete, and it records which of its
// bytes were folded: two complete images that are equal stand for keys equal in the
// case-blind order, and their folded bytes tell their byte order too (at the first byte
// folded in one but not the other, the folded one held the capital, the smaller byte).

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

using SortItem = SortedSelection::KeyImage;
constexpr std::uint32_t kImageBytes = SortedSelection::kImageBytes;
constexpr std::uint32_t kComplete = SortedSelection::kImageComplete;
constexpr std::uint32_t kFoldedBits = SortedSelection::kImageFolded;
static_assert(sizeof(SortItem) == 32, "a sort item stays within half a cache line");

std::uint64_t BigEndian(const unsigned char* p) {
  std::uint64_t v;
  std::memcpy(&v, p, 8);
  if constexpr (std::endian::native == std::endian::little) v = __builtin_bswap64(v);
  return v;
}

// Collects the key image of one row, up to the image's 24 bytes.
class ImageWriter {
 public:
  bool Full() const { return used_ == kImageBytes; }
  // Some key, or part of one, found no room.
  void Overflow() { complete_ = false; }

  // Folded bytes of `s` from byte `skip` on, a zero byte after them when `terminate`;
  // inverted when `descending`. Stops when the image is full.
  void Text(std::string_view s, bool terminate, bool descending, std::size_t skip = 0) {
    const unsigned char flip = descending ? 0xFF : 0x00;
    bool trail = false;  // the byte before is a lead byte, so this one ends its character
    for (std::size_t i = 0; i < skip; ++i) {
      trail = !trail && IsLeadByte(static_cast<unsigned char>(s[i]));
    }
    s.remove_prefix(skip);
    const std::size_t n = std::min<std::size_t>(s.size(), kImageBytes - used_);
    if (n < s.size()) complete_ = false;
    unsigned char* out = bytes_ + used_;
    for (std::size_t i = 0; i < n; ++i) {
      auto c = static_cast<unsigned char>(s[i]);
      if (c < 0x80) {
        // Never a lead byte; a letter is folded unless it ends a double-byte character.
        if (!trail && static_cast<unsigned char>(c - 'A') < 26) {
          c = static_cast<unsigned char>(c + 32);
          folded_ |= 1u << (kImageBytes - 1 - (used_ + static_cast<std::uint32_t>(i)));
        }
        trail = false;
      } else {
        trail = !trail && IsLeadByte(c);
      }
      out[i] = static_cast<unsigned char>(c ^ flip);
    }
    used_ += static_cast<std::uint32_t>(n);
    if (!terminate) return;
    if (Full()) {
      complete_ = false;
    } else {
      bytes_[used_++] = flip;
    }
  }

  void Number(std::int32_t n, bool descending) {
    std::uint32_t v = static_cast<std::uint32_t>(n) ^ 0x80000000u;
    if (descending) v = ~v;
    for (int shift = 24; shift >= 0; shift -= 8) {
      if (Full()) {
        complete_ = false;
        return;
      }
      bytes_[used_++] = static_cast<unsigned char>(v >> shift);
    }
  }

  // `exact`: the image covers the key list as described above (else the folded bits and
  // the completeness mean nothing and are left out).
  void Store(SortItem& item, bool exact) const {
    item.Bytes[0] = BigEndian(bytes_);
    item.Bytes[1] = BigEndian(bytes_ + 8);
    item.Bytes[2] = BigEndian(bytes_ + 16);
    item.Info = exact ? (folded_ | (complete_ ? kComplete : 0u)) : 0u;
  }

 private:
  unsigned char bytes_[kImageBytes] = {};
  std::uint32_t used_ = 0;
  std::uint32_t folded_ = 0;
  bool complete_ = true;
};

template <typename T>
int Order(T a, T b) {
  return a < b ? -1 : (b < a ? 1 : 0);
}

// The order of two images' bytes.
int ImageBytesOrder(const SortItem& a, const SortItem& b) {
  if (a.Bytes[0] != b.Bytes[0]) return Order(a.Bytes[0], b.Bytes[0]);
  if (a.Bytes[1] != b.Bytes[1]) return Order(a.Bytes[1], b.Bytes[1]);
  return Order(a.Bytes[2], b.Bytes[2]);
}

class KeyOrder {
 public:
  KeyOrder(const RowTable& table, const std::vector<SortedSelection::Key>& keys)
      : table_(table), keys_(keys) {}

  // Builds the items for `selection`; bad_alloc when memory runs out.
  std::vector<SortItem> Prepare(const std::vector<std::int32_t>& selection) {
    FindCommonStart(selection);
    std::vector<SortItem> items(selection.size());
    for (std::size_t p = 0; p < selection.size(); ++p) {
      const std::int32_t row = selection[p];
      const RowView view = table_.Row(row);
      ImageWriter image;
      for (std::size_t k = 0; k < keys_.size(); ++k) {
        if (image.Full()) {
          image.Overflow();
          break;
        }
        const SortedSelection::Key& key = keys_[k];
        const std::string_view c = view.Cell(key.column);
        if (key.numeric) {
          image.Number(KeyNumber(c), key.descending);
        } else {
          image.Text(c, true, key.descending, k == 0 ? commonStart_.size() : 0);
          whole_ = whole_ && !HasZeroByte(c);
        }
      }
      SortItem& item = items[p];
      item.Row = row;
      image.Store(item, true);
    }
    if (!whole_) {
      // Only the first key's image, unterminated and ascending, as far as it goes; equal
      // images then leave the comparison to the rows.
      const SortedSelection::Key& first = keys_[0];
      for (SortItem& item : items) {
        const std::string_view c = table_.Row(item.Row).Cell(first.column);
        ImageWriter image;
        if (first.numeric) {
          image.Number(KeyNumber(c), false);
        } else {
          image.Text(c, false, false, commonStart_.size());
        }
        image.Store(item, false);
      }
    }
    return items;
  }

  bool Whole() const { return whole_; }
  std::string_view CommonStart() const { return commonStart_; }

  // The key comparison: key by key, the first unequal key decides.
  int Compare(const SortItem& a, const SortItem& b) const {
    if (const int c = ImageBytesOrder(a, b); c != 0) {
      return whole_ || !keys_[0].descending ? c : -c;
    }
    // Complete images that agree hold equal keys; one complete image is never equal to an
    // incomplete one.
    if ((a.Info & kComplete) != 0) return 0;
    // The quicksort meets its pivot's own row once or twice in each partition.
    if (a.Row == b.Row) return 0;
    // Rarely reached, so the keys are read from the rows rather than kept.
    const RowView x = table_.Row(a.Row);
    const RowView y = table_.Row(b.Row);
    for (const SortedSelection::Key& key : keys_) {
      const std::string_view p = x.Cell(key.column);
      const std::string_view q = y.Cell(key.column);
      const int c = key.numeric ? Order(KeyNumber(p), KeyNumber(q)) : SortCompare(p, q);
      if (c != 0) return key.descending ? -c : c;
    }
    return 0;
  }

  // For rows that Compare finds equal: the byte order of their text keys.
  int CompareExact(const SortItem& a, const SortItem& b) const {
    if ((a.Info & b.Info & kComplete) != 0) {
      // More folded bytes, or the first of them earlier: the capital comes first.
      return Order(b.Info & kFoldedBits, a.Info & kFoldedBits);
    }
    const RowView x = table_.Row(a.Row);
    const RowView y = table_.Row(b.Row);
    for (const SortedSelection::Key& key : keys_) {
      if (key.numeric) continue;
      const int c = x.Cell(key.column).compare(y.Cell(key.column));
      if (c != 0) return c;
    }
    return 0;
  }

 private:
  static bool HasZeroByte(std::string_view s) { return s.find('\0') != std::string_view::npos; }

  const RowTable& table_;
  const std::vector<SortedSelection::Key>& keys_;
  bool whole_ = true;             // the image covers the key list (no zero byte in a text key)
  std::string_view commonStart_;  // what every row's first key begins with, left out

  // Keys that all begin alike (long codes, paths) would fill the images with the same
  // bytes and leave every comparison to the rows; the bytes the first key begins with in
  // every row are left out instead, in whole steps of 8 so that two tables of alike keys
  // most often leave out the same. Those bytes are equal in every row, so leaving them out
  // changes neither the order nor the byte order the folded bits tell.
  void FindCommonStart(const std::vector<std::int32_t>& selection) {
    constexpr std::size_t kStep = 8;
    commonStart_ = {};
    if (keys_[0].numeric || selection.empty()) return;
    std::string_view common = table_.Row(selection[0]).Cell(keys_[0].column);
    for (std::size_t p = 1; p < selection.size() && common.size() >= kStep; ++p) {
      const std::string_view c = table_.Row(selection[p]).Cell(keys_[0].column);
      std::size_t n = 0;
      const std::size_t most = std::min(common.size(), c.size());
      while (n < most && common[n] == c[n]) ++n;
      common = common.substr(0, n);
    }
    if (common.data() == nullptr) return;
    commonStart_ = common.substr(0, common.size() / kStep * kStep);
  }
};

// One partition of phase one around `pivot`, from the scans' starts `i` and `j` to where
// they cross, leaving the items exactly where the plain scans
//   for (;;) { while (a[i] < pivot) ++i; while (a[j] > pivot) --j;
//              if (i >= j) break; swap(a[i], a[j]); ++i; --j; }
// leave them: the order of equal keys depends on it. The k-th swap pairs the k-th item from
// the left that does not compare below the pivot with the k-th from the right that does not
// compare above it. While the two ends are far apart, those stops are found a block of
// items at a time, each comparison adding to a list instead of branching (on random keys
// half of the scans' branches would be mispredicted); a swap only moves items that both
// blocks have already looked at. The last stretch is left to the plain scans, which take
// over where the blocks' unused stops are.
void Partition(SortItem* a, const KeyOrder& order, const SortItem& pivot, std::ptrdiff_t& iAt,
               std::ptrdiff_t& jAt) {
  constexpr std::ptrdiff_t kBlock = 64;
  std::uint8_t leftStops[kBlock];
  std::uint8_t rightStops[kBlock];
  std::ptrdiff_t leftCount = 0;  // stops in the left block, of which the first leftUsed swapped
  std::ptrdiff_t leftUsed = 0;
  std::ptrdiff_t rightCount = 0;
  std::ptrdiff_t rightUsed = 0;
  std::ptrdiff_t leftBase = 0;  // the blocks' first items: the left block runs up, the right down
  std::ptrdiff_t rightBase = 0;
  std::ptrdiff_t i = iAt;  // the items not yet looked at: i to j
  std::ptrdiff_t j = jAt;
  for (;;) {
    const bool fillLeft = leftUsed == leftCount;
    const bool fillRight = rightUsed == rightCount;
    if ((fillLeft ? kBlock : 0) + (fillRight ? kBlock : 0) > j - i + 1) break;
    if (fillLeft) {
      leftBase = i;
      leftCount = leftUsed = 0;
      for (std::ptrdiff_t k = 0; k < kBlock; ++k) {
        leftStops[leftCount] = static_cast<std::uint8_t>(k);
        leftCount += order.Compare(a[i + k], pivot) >= 0;
      }
      i += kBlock;
    }
    if (fillRight) {
      rightBase = j;
      rightCount = rightUsed = 0;
      for (std::ptrdiff_t k = 0; k < kBlock; ++k) {
        rightStops[rightCount] = static_cast<std::uint8_t>(k);
        rightCount += order.Compare(a[j - k], pivot) <= 0;
      }
      j -= kBlock;
    }
    const std::ptrdiff_t swaps = std::min(leftCount - leftUsed, rightCount - rightUsed);
    for (std::ptrdiff_t k = 0; k < swaps; ++k) {
      std::swap(a[leftBase + leftStops[leftUsed + k]], a[rightBase - rightStops[rightUsed + k]]);
    }
    leftUsed += swaps;
    rightUsed += swaps;
  }
  // A pending stop is where its scan stands; otherwise it stands at the first item not yet
  // looked at, having passed the rest of its block (all on its side of the pivot).
  if (leftUsed < leftCount) i = leftBase + leftStops[leftUsed];
  if (rightUsed < rightCount) j = rightBase - rightStops[rightUsed];
  for (;;) {
    while (order.Compare(a[i], pivot) < 0) ++i;
    while (order.Compare(a[j], pivot) > 0) --j;
    if (i >= j) break;
    std::swap(a[i], a[j]);
    ++i;
    --j;
  }
  iAt = i;
  jAt = j;
}

// Phase one: a quicksort that leaves ranges of up to 11 items unsorted, with a stack of
// at most 32 pending ranges. The pivot's keys are taken once per partition. It pushes the
// larger part and goes on with the smaller, so a range d deep holds at most 1/2^d of the
// rows: with fewer than 2^31 rows the stack never fills. Each range is therefore sorted
// the same way wherever it is sorted, and with `sharing` the larger part may be handed to
// another thread instead of pushed.
void QuickPhaseRange(SortItem* a, const KeyOrder& order, std::ptrdiff_t lo, std::ptrdiff_t hi,
                     SortSharing* sharing);

void SortPart(const SortSharing::Part& part, SortSharing* sharing) {
  QuickPhaseRange(static_cast<SortItem*>(part.items), *static_cast<const KeyOrder*>(part.order),
                  part.lo, part.hi, sharing);
}

void QuickPhaseRange(SortItem* a, const KeyOrder& order, std::ptrdiff_t lo, std::ptrdiff_t hi,
                     SortSharing* sharing) {
  struct Range {
    std::ptrdiff_t lo;
    std::ptrdiff_t hi;
  };
  constexpr int kStackSize = 32;
  constexpr std::ptrdiff_t kSmall = 10;
  Range stack[kStackSize];
  int depth = 0;
  // A range pushed is partitioned when popped, whatever its size; one handed out starts
  // with the size check, so only ranges that pass it are handed out.
  auto push = [&](std::ptrdiff_t from, std::ptrdiff_t to) {
    if (to - from < kSmall) return true;
    if (to - from > kSmall && sharing != nullptr &&
        sharing->HandOut({SortPart, a, &order, from, to})) {
      return true;
    }
    stack[depth++] = Range{from, to};
    return depth < kStackSize;
  };
  for (;;) {
    if (hi - lo <= kSmall) {
      if (depth == 0) return;
      --depth;
      lo = stack[depth].lo;
      hi = stack[depth].hi;
    }
    const SortItem pivot = a[(lo + hi) / 2];
    std::ptrdiff_t i = lo;
    std::ptrdiff_t j = hi;
    Partition(a, order, pivot, i, j);
    if (i - lo > hi - j) {
      if (!push(lo, i - 1)) return;
      lo = j + 1;
    } else {
      if (!push(j + 1, hi)) return;
      hi = i - 1;
    }
  }
}

void QuickPhase(std::vector<SortItem>& a, const KeyOrder& order, SortSharing* sharing) {
  QuickPhaseRange(a.data(), order, 0, static_cast<std::ptrdiff_t>(a.size()) - 1, sharing);
  if (sharing != nullptr) sharing->Finish();
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
// SortSharing

template <typename Done>
void SortSharing::SortWaiting(std::unique_lock<std::mutex>& lock, Done done) noexcept {
  ++idle_;
  for (;;) {
    changed_.wait(lock, [&] { return waiting_.sort != nullptr || done(); });
    if (waiting_.sort == nullptr) break;
    const Part part = waiting_;
    waiting_ = Part{};
    --idle_;
    lock.unlock();
    part.sort(part, this);
    lock.lock();
    ++idle_;
    --unfinished_;
    changed_.notify_all();
  }
  --idle_;
}

void SortSharing::Serve() noexcept {
  std::unique_lock lock(mutex_);
  SortWaiting(lock, [this] { return closed_; });
}

void SortSharing::Close() noexcept {
  std::lock_guard lock(mutex_);
  closed_ = true;
  changed_.notify_all();
}

bool SortSharing::HandOut(const Part& part) noexcept {
  std::lock_guard lock(mutex_);
  if (idle_ == 0 || waiting_.sort != nullptr) return false;
  waiting_ = part;
  ++unfinished_;
  ++handedOut_;
  changed_.notify_all();
  return true;
}

int SortSharing::HandedOut() noexcept {
  std::lock_guard lock(mutex_);
  return handedOut_;
}

int SortSharing::Waiting() noexcept {
  std::lock_guard lock(mutex_);
  return idle_;
}

void SortSharing::Finish() noexcept {
  std::unique_lock lock(mutex_);
  SortWaiting(lock, [this] { return unfinished_ == 0; });
}

// ---------------------------------------------------------------------------
// SortedSelection

int SortedSelection::FindColumn(std::string_view name) const {
  if (table_ == nullptr) return -1;
  const std::vector<ColumnDef>& columns = table_->Columns();
  for (std::size_t i = 0; i < columns.size(); ++i) {
    if (SortCompare(columns[i].Name, name) == 0) return static_cast<int>(i);
  }
  return -1;
}

int SortedSelection::SetSortKeys(std::string_view keyList, int sortNow) {
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

int SortedSelection::Select() {
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
  if (const int sorted = Sort(); sorted != 0) {
    std::vector<std::int32_t>().swap(selection_);
    ReleaseImages();
    return sorted;
  }
  First();
  return 0;
}

int SortedSelection::Sort() {
  ReleaseImages();
  // A single row needs no sorting, but an image when one is kept.
  if (keys_.empty() || table_ == nullptr || selection_.size() < (keepImages_ ? 1u : 2u)) return 0;
  try {
    KeyOrder order(*table_, keys_);
    auto cancelled = [this] { return progress_ != nullptr && progress_->Cancelled(); };
    if (cancelled()) return kCancelled;
    std::vector<SortItem> items = order.Prepare(selection_);
    if (cancelled()) return kCancelled;
    QuickPhase(items, order, sharing_);
    if (cancelled()) return kCancelled;
    StableFinish(items, order);
    if (cancelled()) return kCancelled;
    ReverseEqualRuns(items, order, exactTies_);
    for (std::size_t p = 0; p < items.size(); ++p) selection_[p] = items[p].Row;
    if (keepImages_ && order.Whole()) {
      imageStart_.assign(order.CommonStart());
      images_ = std::move(items);
    }
  } catch (const std::bad_alloc&) {
    return kNoMemory;
  }
  return 0;
}

int SortedSelection::ImageOrder(const KeyImage& a, const KeyImage& b) {
  if (const int c = ImageBytesOrder(a, b); c != 0) return c;
  if ((a.Info & b.Info & kComplete) == 0) return kUndecided;
  return Order(b.Info & kFoldedBits, a.Info & kFoldedBits);
}

void SortedSelection::ReleaseImages() {
  std::vector<KeyImage>().swap(images_);
  imageStart_.clear();
}

void SortedSelection::DropSelectionForImages() {
  if (images_.empty()) return;
  std::vector<std::int32_t>().swap(selection_);
  cursor_ = -1;
  eof_ = 1;
}

void SortedSelection::ForgetImagesBefore(std::size_t count) {
#ifdef MADV_DONTNEED
  // Only whole pages inside the images go, so that the allocator's own words around the
  // block stay; the pages remain mapped and read as zeros if touched again.
  static const auto page = static_cast<std::uintptr_t>(sysconf(_SC_PAGESIZE));
  const auto begin = reinterpret_cast<std::uintptr_t>(images_.data());
  const std::uintptr_t end = begin + std::min(count, images_.size()) * sizeof(KeyImage);
  const std::uintptr_t from = (begin + page - 1) / page * page;
  const std::uintptr_t to = end / page * page;
  if (to > from) (void)madvise(reinterpret_cast<void*>(from), to - from, MADV_DONTNEED);
#else
  (void)count;
#endif
}

void SortedSelection::ClearSelection() {
  std::vector<std::int32_t>().swap(selection_);
  ReleaseImages();
  cursor_ = -1;
  eof_ = 1;
}

int SortedSelection::First() {
  if (selection_.empty()) {
    cursor_ = -1;
    eof_ = 1;
    return -1;
  }
  cursor_ = 0;
  eof_ = 0;
  return 0;
}

int SortedSelection::Next() {
  eof_ = 1;
  if (cursor_ >= static_cast<int>(selection_.size())) return 2;
  ++cursor_;
  if (cursor_ >= static_cast<int>(selection_.size())) return 1;
  eof_ = 0;
  return 0;
}

int SortedSelection::CurrentRow() const {
  if (cursor_ < 0 || cursor_ >= static_cast<int>(selection_.size())) return -1;
  return selection_[static_cast<std::size_t>(cursor_)];
}

std::string_view SortedSelection::FieldView(int col) const {
  if (table_ == nullptr) return {};
  return table_->CellView(col, CurrentRow());
}

}  // namespace korvel
