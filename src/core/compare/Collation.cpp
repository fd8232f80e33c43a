#include "compare/Collation.h"

#include <algorithm>
#include <bit>
#include <cstring>

#include "platform/Codepage.h"

namespace korvel {
namespace {

constexpr unsigned char Fold(unsigned char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<unsigned char>(c + ('a' - 'A')) : c;
}

int CompareLengths(std::size_t a, std::size_t b) { return a < b ? -1 : (a > b ? 1 : 0); }

// Width in bytes of the character at `i`; a lead byte at the very end stands alone.
// The first index from `from` on (below `n`) where the bytes differ; `n` when none does.
std::size_t Mismatch(const char* a, const char* b, std::size_t from, std::size_t n) {
  std::size_t i = from;
  if constexpr (std::endian::native == std::endian::little) {
    for (; i + 8 <= n; i += 8) {
      std::uint64_t x;
      std::uint64_t y;
      std::memcpy(&x, a + i, 8);
      std::memcpy(&y, b + i, 8);
      if (x != y) return i + static_cast<std::size_t>(std::countr_zero(x ^ y) / 8);
    }
  }
  while (i < n && a[i] == b[i]) ++i;
  return i;
}

void SkipSpaces(std::string_view s, std::size_t& i) {
  while (i < s.size()) {
    if (s[i] == ' ') {
      ++i;
    } else if (static_cast<unsigned char>(s[i]) == 0x81 && i + 1 < s.size() &&
               static_cast<unsigned char>(s[i + 1]) == 0x40) {
      i += 2;
    } else {
      break;
    }
  }
}

}  // namespace

int SortCompare(std::string_view a, std::string_view b) {
  const std::size_t n = std::min(a.size(), b.size());
  // Identical bytes compare equal whatever they are, so the search jumps to the next
  // differing byte. Only there does it matter whether the byte is the trail of a
  // double-byte character: that holds when an odd number of lead-range bytes directly
  // precede it, counted back to the last byte outside the lead range (which always ends
  // a character) or to a known character start.
  std::size_t start = 0;  // a character starts here in both texts
  std::size_t i = 0;
  for (;;) {
    i = Mismatch(a.data(), b.data(), i, n);
    if (i == n) return CompareLengths(a.size(), b.size());
    std::size_t run = 0;
    while (i - run > start && IsLeadByte(a[i - run - 1])) ++run;
    auto ca = static_cast<unsigned char>(a[i]);
    auto cb = static_cast<unsigned char>(b[i]);
    if (run % 2 == 1) return ca < cb ? -1 : 1;
    ca = Fold(ca);
    cb = Fold(cb);
    if (ca != cb) return ca < cb ? -1 : 1;
    // The same letter in another case: a single-byte character, so the next one starts
    // right after it.
    start = ++i;
  }
}

int PairCompare(std::string_view a, std::string_view b) {
  int c = SortCompare(a, b);
  if (c != 0) return c;
  return a.compare(b) < 0 ? -1 : (a == b ? 0 : 1);
}

std::int32_t KeyNumber(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    negative = text[i] == '-';
    ++i;
  }
  std::uint32_t value = 0;  // unsigned: the wrap-around is the documented behaviour
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    value = value * 10u + static_cast<std::uint32_t>(text[i] - '0');
  }
  if (negative) value = 0u - value;
  return static_cast<std::int32_t>(value);
}

bool CellsDiffer(std::string_view left, std::string_view right, bool ignoreSpaces) {
  if (!ignoreSpaces) return left != right;
  std::size_t i = 0;
  std::size_t j = 0;
  for (;;) {
    SkipSpaces(left, i);
    SkipSpaces(right, j);
    if (i == left.size() || j == right.size()) return i != left.size() || j != right.size();
    std::size_t wl = CharLength(left, i);
    std::size_t wr = CharLength(right, j);
    if (wl != wr || std::memcmp(left.data() + i, right.data() + j, wl) != 0) return true;
    i += wl;
    j += wr;
  }
}

}  // namespace korvel
