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

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

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

  // Whether the block scan below serves these classes (else only RunEnd, byte by byte).
  bool HasBlockScan() const { return wordTest_; }
#if defined(__SSE2__)
  unsigned BlockStops(const unsigned char* b, unsigned trailIn, unsigned* trailOut) const;
  // Takes the AVX2 form when the machine has it (platform/CpuFeatures.h, asked at Reset),
  // else the SSE2 form; both give the same stops.
  std::uint64_t BlockStops64(const unsigned char* b, unsigned trailIn, unsigned* trailOut,
                             bool* leadBefore) const;
#endif

  // The end of the plain run of b[p .. end) that starts at `p`, a character boundary.
  std::size_t RunEnd(const unsigned char* b, std::size_t p, std::size_t end) const;
  // The same, one byte at a time: what RunEnd must always agree with.
  std::size_t RunEndByBytes(const unsigned char* b, std::size_t p, std::size_t end) const;

 private:
  // The first byte of b[p .. end) below 0x20 or equal to one of the stop bytes (end if none).
  std::size_t NextCandidate(const unsigned char* b, std::size_t p, std::size_t end) const;
#if defined(__SSE2__)
  std::uint64_t BlockStops64Avx2(const unsigned char* b, unsigned trailIn, unsigned* trailOut,
                                 bool* leadBefore) const;
  // Chosen at Reset: the machine has AVX2 and the tests have not ruled it out.
  bool avx2_ = false;
  // The AVX2 form's constants, thirty-two copies of a byte each, kept here for it to read:
  // built in registers they would cost about as many instructions as the classing itself.
  enum Wide {
    kControlMax,
    kPlainControl,
    kStopA,
    kStopB,
    kLowStart,
    kLowSpan,
    kHighStart,
    kHighSpan,
    kWideCount
  };
  alignas(32) unsigned char wide_[kWideCount][32] = {};
#endif

  const unsigned char* classes_ = nullptr;
  // Eight copies of each ASCII byte from 0x20 up that is special (a quote, a delimiter);
  // both the same when there is only one.
  std::uint64_t stopA_ = 0;
  std::uint64_t stopB_ = 0;
  // False when the classes have a shape the word test cannot serve (more than two special
  // bytes from 0x20 up, or a special byte from 0x80 up): RunEnd then walks byte by byte.
  bool wordTest_ = false;
  // Eight copies of the one control byte that is plain (TAB outside quotes), else of 0xFF,
  // which is none.
  std::uint64_t plainControlWord_ = ~std::uint64_t{0};
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

#if defined(__SSE2__)

namespace plain_scan_detail {

// Of sixteen bytes whose lead bytes (by class) are `lead`, the trail bytes: walking from
// the first byte, a lead byte takes the next byte along. `trailIn` (0 or 1) says that the
// first byte is already the trail byte of a lead byte before it; `*trailOut` receives the
// same for the byte after the sixteen. A run of lead bytes pairs up from its start, so its
// bytes at odd distances from the start are trail bytes, and so is the byte after a run of
// odd length: the carries of one addition find the runs that start on odd bits.
inline unsigned TrailBytes(unsigned lead, unsigned trailIn, unsigned* trailOut) {
  constexpr unsigned kEven = 0x5555;
  constexpr unsigned kOdd = 0xAAAA;
  lead &= ~trailIn;
  const unsigned follows = ((lead << 1) | trailIn) & 0xFFFF;
  const unsigned oddStarts = lead & kOdd & ~follows;
  // Runs that start on an odd bit vanish in the sum, leaving a bit just after their end;
  // runs that start on an even bit stay as they are.
  const unsigned evenRuns = oddStarts + lead;
  *trailOut = evenRuns >> 16;
  return (kEven ^ (evenRuns << 1)) & follows & 0xFFFF;
}

// The same over sixty-four bytes.
inline std::uint64_t TrailBytes64(std::uint64_t lead, unsigned trailIn, unsigned* trailOut) {
  constexpr std::uint64_t kEven = 0x5555555555555555ull;
  constexpr std::uint64_t kOdd = ~kEven;
  lead &= ~std::uint64_t{trailIn};
  const std::uint64_t follows = (lead << 1) | trailIn;
  const std::uint64_t oddStarts = lead & kOdd & ~follows;
  std::uint64_t evenRuns = 0;
  *trailOut = __builtin_add_overflow(oddStarts, lead, &evenRuns) ? 1 : 0;
  return (kEven ^ (evenRuns << 1)) & follows;
}

// BlockStops64 once the sixty-four bytes are classed: the bits of the control bytes, of the
// special bytes and of the lead bytes.
inline std::uint64_t Stops64(std::uint64_t control, std::uint64_t special, std::uint64_t lead,
                             unsigned trailIn, unsigned* trailOut, bool* leadBefore) {
  if ((lead | trailIn) == 0) {
    *trailOut = 0;
    *leadBefore = false;
    return special;
  }
  const std::uint64_t trail = TrailBytes64(lead, trailIn, trailOut);
  const std::uint64_t leadStop = control & trail;
  *leadBefore = (leadStop & 1) != 0;
  return (special & ~trail) | (leadStop >> 1);
}

}  // namespace plain_scan_detail

// The stops of the sixteen bytes at `b`, walked from a character boundary: bit k set when
// the run stops at b[k] (a special byte that is no trail byte, or a lead byte whose trail byte
// is a control byte); bit 16 when it stops at b[-1], a lead byte whose control byte is b[0].
// `trailIn` (0 or 1) says that b[0] is the trail byte of b[-1]; `*trailOut` receives the
// same for b[16]. Each byte's class comes from its value, with no table: stop bytes as bit
// masks, and the trail bytes worked out from the lead bytes.
inline unsigned PlainScanner::BlockStops(const unsigned char* b, unsigned trailIn,
                                         unsigned* trailOut) const {
  const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(b));
  const __m128i controlBytes = _mm_cmpeq_epi8(_mm_min_epu8(v, _mm_set1_epi8(0x1F)), v);
  const auto control = static_cast<unsigned>(_mm_movemask_epi8(controlBytes));
  const auto special = static_cast<unsigned>(_mm_movemask_epi8(_mm_or_si128(
      _mm_andnot_si128(
          _mm_cmpeq_epi8(v, _mm_set1_epi64x(static_cast<long long>(plainControlWord_))),
          controlBytes),
      _mm_or_si128(_mm_cmpeq_epi8(v, _mm_set1_epi64x(static_cast<long long>(stopA_))),
                   _mm_cmpeq_epi8(v, _mm_set1_epi64x(static_cast<long long>(stopB_)))))));
  // Lead bytes: 0x81-0x9F and 0xE0-0xFC, each range tested as an unsigned difference.
  const __m128i low = _mm_sub_epi8(v, _mm_set1_epi8(static_cast<char>(0x81)));
  const __m128i high = _mm_sub_epi8(v, _mm_set1_epi8(static_cast<char>(0xE0)));
  const auto lead = static_cast<unsigned>(_mm_movemask_epi8(
      _mm_or_si128(_mm_cmpeq_epi8(_mm_min_epu8(low, _mm_set1_epi8(0x9F - 0x81)), low),
                   _mm_cmpeq_epi8(_mm_min_epu8(high, _mm_set1_epi8(0xFC - 0xE0)), high))));
  if ((lead | trailIn) == 0) {
    *trailOut = 0;
    return special;
  }
  const unsigned trail = plain_scan_detail::TrailBytes(lead, trailIn, trailOut);
  // A control byte taken as a trail byte stops the run at its lead byte, one bit lower.
  const unsigned leadStop = control & trail;
  return (special & ~trail) | (leadStop >> 1) | ((leadStop & 1) << 16);
}

// BlockStops over the sixty-four bytes at `b`, bit k for b[k]; a stop at b[-1] is told in
// `*leadBefore` instead.
inline std::uint64_t PlainScanner::BlockStops64(const unsigned char* b, unsigned trailIn,
                                                unsigned* trailOut, bool* leadBefore) const {
  if (avx2_) return BlockStops64Avx2(b, trailIn, trailOut, leadBefore);
  const __m128i controlMax = _mm_set1_epi8(0x1F);
  const __m128i plainControl = _mm_set1_epi64x(static_cast<long long>(plainControlWord_));
  const __m128i stopA = _mm_set1_epi64x(static_cast<long long>(stopA_));
  const __m128i stopB = _mm_set1_epi64x(static_cast<long long>(stopB_));
  const __m128i lowStart = _mm_set1_epi8(static_cast<char>(0x81));
  const __m128i lowSpan = _mm_set1_epi8(0x9F - 0x81);
  const __m128i highStart = _mm_set1_epi8(static_cast<char>(0xE0));
  const __m128i highSpan = _mm_set1_epi8(0xFC - 0xE0);
  std::uint64_t control = 0;
  std::uint64_t special = 0;
  std::uint64_t lead = 0;
  for (int i = 0; i < 4; ++i) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(b + 16 * i));
    const __m128i controlBytes = _mm_cmpeq_epi8(_mm_min_epu8(v, controlMax), v);
    const __m128i specialBytes =
        _mm_or_si128(_mm_andnot_si128(_mm_cmpeq_epi8(v, plainControl), controlBytes),
                     _mm_or_si128(_mm_cmpeq_epi8(v, stopA), _mm_cmpeq_epi8(v, stopB)));
    const __m128i low = _mm_sub_epi8(v, lowStart);
    const __m128i high = _mm_sub_epi8(v, highStart);
    const __m128i leadBytes = _mm_or_si128(_mm_cmpeq_epi8(_mm_min_epu8(low, lowSpan), low),
                                           _mm_cmpeq_epi8(_mm_min_epu8(high, highSpan), high));
    const int shift = 16 * i;
    control |= static_cast<std::uint64_t>(static_cast<unsigned>(_mm_movemask_epi8(controlBytes)))
               << shift;
    special |= static_cast<std::uint64_t>(static_cast<unsigned>(_mm_movemask_epi8(specialBytes)))
               << shift;
    lead |= static_cast<std::uint64_t>(static_cast<unsigned>(_mm_movemask_epi8(leadBytes)))
            << shift;
  }
  return plain_scan_detail::Stops64(control, special, lead, trailIn, trailOut, leadBefore);
}

inline std::size_t PlainScanner::RunEnd(const unsigned char* b, std::size_t p,
                                        std::size_t end) const {
  if (!wordTest_) return RunEndByBytes(b, p, end);
  unsigned trailIn = 0;  // b[p] is the trail byte of the lead byte at p - 1
  while (end - p >= 16) {
    unsigned trailOut = 0;
    const unsigned stops = BlockStops(b + p, trailIn, &trailOut);
    if (stops != 0) {
      return (stops & 0x10000) != 0 ? p - 1 : p + static_cast<std::size_t>(std::countr_zero(stops));
    }
    trailIn = trailOut;
    p += 16;
  }
  if (trailIn != 0) {
    if (p == end || b[p] < 0x20) return p - 1;
    ++p;
  }
  return RunEndByBytes(b, p, end);
}

#else

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

#endif

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
