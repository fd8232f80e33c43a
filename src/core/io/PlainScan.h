#pragma once
// PlainScan: how far a delimited reader may copy a cell's bytes without looking at them one
// by one.
//
// Each byte has a class in each reader state: plain (copied), lead (a Shift-JIS lead byte,
// which takes the byte after it along unless that is a control byte) or special (the reader
// decides). The run from a position ends at the first special byte, or at a lead byte whose
// next byte is below 0x20 or missing. Walking that rule byte by byte costs a table look-up
// per byte; PlainScanner finds the same end by testing eight bytes at a time for the few
// ASCII bytes that can stop a run, and settles afterwards whether the byte it stopped at is
// the trail byte of a double-byte character.

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace korvel {

inline constexpr unsigned char kPlainByte = 0;
inline constexpr unsigned char kLeadByte = 1;
inline constexpr unsigned char kSpecialByte = 2;

// The byte classes of the delimited reader outside and inside quotes for `delimiter`.
void BuildByteClasses(char delimiter, unsigned char (&unquoted)[256], unsigned char (&quoted)[256]);

class PlainScanner {
 public:
  // Takes the classes by reference: they must outlive the scanner and not change under it.
  PlainScanner() = default;
  explicit PlainScanner(const unsigned char* classes) { Reset(classes); }
  void Reset(const unsigned char* classes);

  // The end of the plain run of b[p .. end) that starts at `p`, a character boundary.
  std::size_t RunEnd(const unsigned char* b, std::size_t p, std::size_t end) const;
  // The same, one byte at a time: what RunEnd must always agree with.
  std::size_t RunEndByBytes(const unsigned char* b, std::size_t p, std::size_t end) const;

 private:
  // The first byte of b[p .. end) below 0x20 or equal to one of the stop bytes (end if none).
  std::size_t NextCandidate(const unsigned char* b, std::size_t p, std::size_t end) const;

  const unsigned char* classes_ = nullptr;
  // Eight copies of each ASCII byte from 0x20 up that is special (a quote, a delimiter);
  // both the same when there is only one.
  std::uint64_t stopA_ = 0;
  std::uint64_t stopB_ = 0;
  // False when the classes have a shape the word test cannot serve (more than two special
  // bytes from 0x20 up, or a special byte from 0x80 up): RunEnd then walks byte by byte.
  bool wordTest_ = false;
};

namespace plain_scan_detail {

inline constexpr std::uint64_t kOnes = 0x0101010101010101ull;
inline constexpr std::uint64_t kHighs = 0x8080808080808080ull;

// The eight bytes at `p` with the first in the lowest byte, whatever the machine's order.
inline std::uint64_t LoadWord(const unsigned char* p) {
  std::uint64_t w;
  std::memcpy(&w, p, sizeof w);
  if constexpr (std::endian::native == std::endian::big) w = __builtin_bswap64(w);
  return w;
}

// Flags (0x80) the zero bytes of `v`. Borrows can flag bytes above the first zero byte
// wrongly, never below it, so the lowest flag is always exact.
constexpr std::uint64_t ZeroBytes(std::uint64_t v) { return (v - kOnes) & ~v & kHighs; }

// Flags the bytes below 0x20, with the lowest flag exact as above.
constexpr std::uint64_t ControlBytes(std::uint64_t w) { return (w - 0x20 * kOnes) & ~w & kHighs; }

}  // namespace plain_scan_detail

// Inline: the reader calls these once per cell.
inline std::size_t PlainScanner::NextCandidate(const unsigned char* b, std::size_t p,
                                               std::size_t end) const {
  using namespace plain_scan_detail;
  while (end - p >= 8) {
    const std::uint64_t w = LoadWord(b + p);
    const std::uint64_t m = ControlBytes(w) | ZeroBytes(w ^ stopA_) | ZeroBytes(w ^ stopB_);
    if (m != 0) return p + static_cast<std::size_t>(std::countr_zero(m) >> 3);
    p += 8;
  }
  const auto a = static_cast<unsigned char>(stopA_);
  const auto z = static_cast<unsigned char>(stopB_);
  while (p < end && b[p] >= 0x20 && b[p] != a && b[p] != z) ++p;
  return p;
}

inline std::size_t PlainScanner::RunEnd(const unsigned char* b, std::size_t p,
                                        std::size_t end) const {
  if (!wordTest_) return RunEndByBytes(b, p, end);
  // `p` stays on a character boundary: after any byte that is not a lead byte one character
  // has ended, whether that byte stood alone or was a trail byte.
  for (;;) {
    const std::size_t s = NextCandidate(b, p, end);
    std::size_t leads = 0;
    while (s - leads > p && classes_[b[s - leads - 1]] == kLeadByte) ++leads;
    // An odd run of lead bytes before `s` ends in a lead byte that owns the byte at `s`.
    const bool trail = (leads & 1) != 0;
    if (s == end) return trail ? end - 1 : end;
    const unsigned char c = b[s];
    if (trail) {
      if (c < 0x20) return s - 1;  // a lead byte before a control byte ends the run
      p = s + 1;
      continue;
    }
    switch (classes_[c]) {
      case kPlainByte:
        p = s + 1;
        break;
      case kLeadByte:
        if (s + 1 >= end || b[s + 1] < 0x20) return s;
        p = s + 2;
        break;
      default:
        return s;
    }
  }
}

inline std::size_t PlainScanner::RunEndByBytes(const unsigned char* b, std::size_t p,
                                               std::size_t end) const {
  while (p < end) {
    const unsigned char k = classes_[b[p]];
    if (k == kPlainByte) {
      ++p;
    } else if (k == kLeadByte && p + 1 < end && b[p + 1] >= 0x20) {
      p += 2;
    } else {
      break;
    }
  }
  return p;
}

}  // namespace korvel
