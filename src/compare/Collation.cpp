#include "compare/Collation.h"

#include <algorithm>
#include <cstring>

#include "platform/Codepage.h"

namespace korvel {
namespace {

constexpr unsigned char Fold(unsigned char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<unsigned char>(c + ('a' - 'A')) : c;
}

int CompareLengths(std::size_t a, std::size_t b) { return a < b ? -1 : (a > b ? 1 : 0); }

// Width in bytes of the character at `i`; a lead byte at the very end stands alone.
std::size_t CharLength(std::string_view s, std::size_t i) {
  return IsLeadByte(s[i]) && i + 1 < s.size() ? 2 : 1;
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
  std::size_t n = std::min(a.size(), b.size());
  // While the texts agree so far, both are at the same place of their character
  // structure: folding never turns a byte into or out of the lead-byte ranges.
  bool trail = false;
  for (std::size_t i = 0; i < n; ++i) {
    auto ca = static_cast<unsigned char>(a[i]);
    auto cb = static_cast<unsigned char>(b[i]);
    if (ca != cb) {
      if (trail) return ca < cb ? -1 : 1;
      ca = Fold(ca);
      cb = Fold(cb);
      if (ca != cb) return ca < cb ? -1 : 1;
    }
    trail = !trail && IsLeadByte(ca);
  }
  return CompareLengths(a.size(), b.size());
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
