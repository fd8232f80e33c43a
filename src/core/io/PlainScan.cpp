#include "io/PlainScan.h"

#include <cstring>

#include "platform/Codepage.h"
#include "platform/CpuFeatures.h"

#if defined(__SSE2__)
#include <immintrin.h>
#endif

namespace korvel {

void BuildByteClasses(char delimiter, unsigned char (&unquoted)[256],
                      unsigned char (&quoted)[256]) {
  for (int c = 0; c < 256; ++c) {
    unsigned char cls = IsLeadByte(static_cast<unsigned char>(c)) ? kLeadByte : kPlainByte;
    unquoted[c] = cls;
    quoted[c] = cls;
  }
  // Control bytes go the slow way so that a cell is known to need the store rule's scan.
  for (int c = 0; c < 0x20; ++c) {
    unquoted[c] = kSpecialByte;
    quoted[c] = kSpecialByte;
  }
  unquoted[static_cast<unsigned char>('"')] = kSpecialByte;
  quoted[static_cast<unsigned char>('"')] = kSpecialByte;
  unquoted[static_cast<unsigned char>('\t')] = kPlainByte;
  // A delimiter is special outside quotes only; under the TAB rules a TAB also ends a
  // one-line quoted cell. A lead byte stays a lead byte whatever the delimiter.
  auto d = static_cast<unsigned char>(delimiter);
  if (!IsLeadByte(d)) unquoted[d] = kSpecialByte;
  quoted[static_cast<unsigned char>('\t')] = kSpecialByte;
}

void PlainScanner::Reset(const unsigned char* classes) {
  classes_ = classes;
  stopA_ = 0;
  stopB_ = 0;
  plainControlWord_ = ~std::uint64_t{0};
  int stops = 0;
  int plainControls = 0;
  wordTest_ = true;
  // The fast scans know the lead bytes and the control bytes by their values: the classes
  // must agree with them.
  for (int c = 0; c < 256 && wordTest_; ++c) {
    const unsigned char k = classes[c];
    if (IsLeadByte(static_cast<unsigned char>(c))) {
      wordTest_ = k == kLeadByte;
    } else if (k == kLeadByte) {
      wordTest_ = false;
    } else if (c < 0x20) {
      if (k == kPlainByte) {
        wordTest_ = ++plainControls == 1;
        plainControlWord_ = plain_scan_detail::kOnes * static_cast<std::uint64_t>(c);
      }
    } else if (k == kSpecialByte) {
      if (c >= 0x80 || ++stops > 2) {
        wordTest_ = false;
      } else {
        (stops == 1 ? stopA_ : stopB_) = plain_scan_detail::kOnes * static_cast<std::uint64_t>(c);
      }
    }
  }
  if (stops < 2) stopB_ = stopA_;
#if defined(__SSE2__)
  avx2_ = UseAvx2();
  const unsigned char wide[kWideCount] = {0x1F,
                                          static_cast<unsigned char>(plainControlWord_),
                                          static_cast<unsigned char>(stopA_),
                                          static_cast<unsigned char>(stopB_),
                                          0x81,
                                          0x9F - 0x81,
                                          0xE0,
                                          0xFC - 0xE0};
  for (int k = 0; k < kWideCount; ++k) std::memset(wide_[k], wide[k], sizeof wide_[k]);
#endif
  if (stops == 0 && plainControlWord_ == 0)
    wordTest_ = false;  // the zero stop word would stop at it
  // With no stop byte at all the control test alone decides; a zero stop word would also
  // stop at NUL, which the control test stops at anyway.
}

#if defined(__SSE2__)
// The SSE2 classing of BlockStops64, thirty-two bytes at a step: half the instructions for
// the same masks.
__attribute__((target("avx2"))) std::uint64_t PlainScanner::BlockStops64Avx2(
    const unsigned char* b, unsigned trailIn, unsigned* trailOut, bool* leadBefore) const {
  const auto wide = [this](Wide k) { return reinterpret_cast<const __m256i*>(wide_[k]); };
  const __m256i controlMax = _mm256_load_si256(wide(kControlMax));
  const __m256i plainControl = _mm256_load_si256(wide(kPlainControl));
  const __m256i stopA = _mm256_load_si256(wide(kStopA));
  const __m256i stopB = _mm256_load_si256(wide(kStopB));
  const __m256i lowStart = _mm256_load_si256(wide(kLowStart));
  const __m256i lowSpan = _mm256_load_si256(wide(kLowSpan));
  const __m256i highStart = _mm256_load_si256(wide(kHighStart));
  const __m256i highSpan = _mm256_load_si256(wide(kHighSpan));
  std::uint64_t control = 0;
  std::uint64_t special = 0;
  std::uint64_t lead = 0;
  for (int i = 0; i < 2; ++i) {
    const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(b + 32 * i));
    const __m256i controlBytes = _mm256_cmpeq_epi8(_mm256_min_epu8(v, controlMax), v);
    const __m256i specialBytes =
        _mm256_or_si256(_mm256_andnot_si256(_mm256_cmpeq_epi8(v, plainControl), controlBytes),
                        _mm256_or_si256(_mm256_cmpeq_epi8(v, stopA), _mm256_cmpeq_epi8(v, stopB)));
    const __m256i low = _mm256_sub_epi8(v, lowStart);
    const __m256i high = _mm256_sub_epi8(v, highStart);
    const __m256i leadBytes =
        _mm256_or_si256(_mm256_cmpeq_epi8(_mm256_min_epu8(low, lowSpan), low),
                        _mm256_cmpeq_epi8(_mm256_min_epu8(high, highSpan), high));
    const int shift = 32 * i;
    control |= static_cast<std::uint64_t>(static_cast<unsigned>(_mm256_movemask_epi8(controlBytes)))
               << shift;
    special |= static_cast<std::uint64_t>(static_cast<unsigned>(_mm256_movemask_epi8(specialBytes)))
               << shift;
    lead |= static_cast<std::uint64_t>(static_cast<unsigned>(_mm256_movemask_epi8(leadBytes)))
            << shift;
  }
  return plain_scan_detail::Stops64(control, special, lead, trailIn, trailOut, leadBefore);
}
#endif

}  // namespace korvel
