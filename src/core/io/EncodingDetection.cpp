#include "io/EncodingDetection.h"

#include "platform/Codepage.h"

namespace korvel {
namespace {

struct Reading {
  std::size_t invalid = 0;
  std::size_t score = 0;
  // Shift-JIS: nothing but ASCII and half-width katakana letters, each sound mark after a
  // letter that takes it.
  bool halfWidthKana = true;
};

// The half-width katakana that take a voiced sound mark (ﾞ DE): ｦ, ｳ, ｶ-ﾄ, ﾊ-ﾎ, ﾜ; and a
// semi-voiced one (ﾟ DF): ﾊ-ﾎ.
constexpr bool TakesVoicedMark(unsigned char c) {
  return c == 0xA6 || c == 0xB3 || (c >= 0xB6 && c <= 0xC4) || (c >= 0xCA && c <= 0xCE) ||
         c == 0xDC;
}
constexpr bool TakesSemiVoicedMark(unsigned char c) { return c >= 0xCA && c <= 0xCE; }

Reading ReadSjis(const unsigned char* p, std::size_t n, bool complete) {
  Reading r;
  for (std::size_t i = 0; i < n;) {
    unsigned char c = p[i];
    if (c < 0x80) {
      ++i;
    } else if (c >= 0xA1 && c <= 0xDF) {
      if (c >= 0xA6) ++r.score;
      const unsigned char before = i > 0 ? p[i - 1] : 0;
      if (c < 0xA6 || (c == 0xDE && !TakesVoicedMark(before)) ||
          (c == 0xDF && !TakesSemiVoicedMark(before))) {
        r.halfWidthKana = false;
      }
      ++i;
    } else if (IsLeadByte(c)) {
      if (i + 1 >= n) {
        r.invalid += complete ? 1 : 0;
        break;
      }
      unsigned char t = p[i + 1];
      if (!IsTrailByte(t)) {
        ++r.invalid;
        ++i;
        continue;
      }
      r.halfWidthKana = false;
      if ((c == 0x82 && t >= 0x9F && t <= 0xF1) || (c == 0x83 && t <= 0x96) ||
          (c >= 0x88 && c <= 0x98)) {
        r.score += 2;
      }
      i += 2;
    } else {
      ++r.invalid;  // 80, A0, FD-FF
      ++i;
    }
  }
  return r;
}

constexpr bool IsEucByte(unsigned char c) { return c >= 0xA1 && c <= 0xFE; }

Reading ReadEucJp(const unsigned char* p, std::size_t n, bool complete) {
  Reading r;
  for (std::size_t i = 0; i < n;) {
    unsigned char c = p[i];
    if (c < 0x80) {
      ++i;
      continue;
    }
    const std::size_t len = EucJpCharLength(c);
    if (len == 1) {
      ++r.invalid;
      ++i;
      continue;
    }
    if (i + len > n) {
      // Cut by the end of the sample: only the bytes that are there are judged.
      bool fits = true;
      for (std::size_t k = i + 1; k < n; ++k) fits = fits && IsEucByte(p[k]);
      if (complete || !fits) ++r.invalid;
      break;
    }
    bool valid = c == 0x8E ? p[i + 1] >= 0xA1 && p[i + 1] <= 0xDF
                           : IsEucByte(p[i + 1]) && (len == 2 || IsEucByte(p[i + 2]));
    if (!valid) {
      ++r.invalid;
      ++i;
      continue;
    }
    if ((c == 0x8E && p[i + 1] >= 0xA6) || c == 0xA4 || c == 0xA5 || (c >= 0xB0 && c <= 0xCF)) {
      r.score += 2;
    }
    i += len;
  }
  return r;
}

Reading ReadUtf8(const unsigned char* p, std::size_t n, bool complete) {
  Reading r;
  for (std::size_t i = 0; i < n;) {
    unsigned char c = p[i];
    if (c < 0x80) {
      ++i;
      continue;
    }
    Utf8Lead lead{};
    if (!ReadUtf8Lead(c, &lead)) {
      ++r.invalid;
      ++i;
      continue;
    }
    const std::size_t len = lead.length;
    std::uint32_t cp = lead.bits;
    const std::uint32_t min = lead.least;
    std::size_t k = 1;
    for (; k < len && i + k < n && (p[i + k] & 0xC0) == 0x80; ++k) cp = cp << 6 | (p[i + k] & 0x3F);
    if (k < len && i + k == n && !complete) break;  // cut by the end of the sample
    if (k < len || cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
      ++r.invalid;
      i += k;
      continue;
    }
    ++r.score;  // a non-ASCII character
    i += len;
  }
  return r;
}

}  // namespace

int DetectEncoding(const unsigned char* p, std::size_t n, bool complete, int fallback) {
  std::size_t zerosEven = 0;
  std::size_t zerosOdd = 0;
  bool ascii = true;
  for (std::size_t i = 0; i < n; ++i) {
    if (p[i] == 0) ++(i % 2 == 0 ? zerosEven : zerosOdd);
    if (p[i] >= 0x80) ascii = false;
  }
  if (zerosEven + zerosOdd > 0) {
    if (zerosOdd > 2 * zerosEven) return kEncodingUtf16;
    if (zerosEven > 2 * zerosOdd) return kEncodingUtf16Be;
    return kUnreadable;
  }
  if (ascii)
    return fallback == kEncodingUtf8 || fallback == kEncodingEucJp ? fallback : kEncodingSjis;
  const Reading utf8 = ReadUtf8(p, n, complete);
  if (utf8.invalid == 0) return kEncodingUtf8;
  const Reading sjis = ReadSjis(p, n, complete);
  const Reading euc = ReadEucJp(p, n, complete);
  if (sjis.invalid == 0 && euc.invalid == 0) {
    if (sjis.halfWidthKana) return kEncodingSjis;
    return euc.score >= sjis.score ? kEncodingEucJp : kEncodingSjis;
  }
  if (sjis.invalid == 0) return kEncodingSjis;
  if (euc.invalid == 0) return kEncodingEucJp;
  if (sjis.invalid <= euc.invalid && sjis.invalid <= utf8.invalid) return kEncodingSjis;
  return euc.invalid <= utf8.invalid ? kEncodingEucJp : kEncodingUtf8;
}

}  // namespace korvel
