#include "platform/Codepage.h"

#include <iconv.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <cstring>
#include <memory>
#include <utility>

#include "platform/CpuFeatures.h"

#if defined(__SSE2__)
#include <immintrin.h>
#endif

namespace korvel {
namespace {

constexpr char16_t kReplacement = 0xFFFD;

// For each UTF-16 code unit of the basic plane, its CP932 form: 0 when there is none,
// else the single byte (< 0x100) or the two bytes (lead << 8 | trail).
// For each CP932 code (single byte at its value, double byte at lead << 8 | trail), its
// UTF-16 unit, or 0xFFFD when undefined.
struct Tables {
  std::array<std::uint16_t, 0x10000> toCp932{};
  std::array<char16_t, 0x10000> toUnicode{};
  // toCp932 as the UTF-8 loop for three-byte sequences wants it: by ThreeByteIndex rather
  // than by code point, the bytes in the order they are written (so the lead byte in the
  // low half), and 0 for every code point that such a sequence cannot stand for (below
  // U+0800: an overlong form) or that takes the general way (no CP932 form, a surrogate
  // half), so that one test catches all of them.
  std::array<std::uint16_t, 0x10000> threeByteForms{};
};

// The sixteen payload bits of the three-byte UTF-8 sequence in the low three bytes of `w`
// (first byte lowest; the bits above are ignored), packed into sixteen bits by a mask and one
// multiplication: the sequence's four, six and six bits land side by side at bits 6, 10 and
// 16 of the product, with no other product term between them. Every code point has its own
// index, though not in code-point order; reading the code point itself costs three times
// the instructions in the loop that counts them.
constexpr std::uint32_t ThreeByteIndex(std::uint32_t w) {
  return ((w & 0x3F3F0Fu) * 0x4011u) >> 6 & 0xFFFFu;
}

void FillThreeByteForms(Tables& t) {
  for (unsigned u = 0x800; u < 0x10000; ++u) {
    const std::uint16_t code = t.toCp932[u];
    const std::uint32_t sequence =
        (0xE0u | u >> 12) | (0x80u | (u >> 6 & 0x3Fu)) << 8 | (0x80u | (u & 0x3Fu)) << 16;
    t.threeByteForms[ThreeByteIndex(sequence)] =
        code < 0x100 ? code : static_cast<std::uint16_t>((code >> 8) | (code & 0xFF) << 8);
  }
}

std::uint16_t IconvOneToCp932(iconv_t cd, char16_t unit) {
  char in[2] = {static_cast<char>(unit & 0xFF), static_cast<char>(unit >> 8)};
  char out[8];
  char* inp = in;
  char* outp = out;
  std::size_t inLeft = 2;
  std::size_t outLeft = sizeof out;
  iconv(cd, nullptr, nullptr, nullptr, nullptr);
  if (iconv(cd, &inp, &inLeft, &outp, &outLeft) == static_cast<std::size_t>(-1)) return 0;
  std::size_t n = sizeof out - outLeft;
  auto b0 = static_cast<unsigned char>(out[0]);
  if (n == 1) return b0;
  if (n == 2) return static_cast<std::uint16_t>(b0 << 8 | static_cast<unsigned char>(out[1]));
  return 0;
}

// One character of `n` bytes (at most 4) through `cd` into UTF-16LE; the replacement
// character when the converter has no single unit for it.
char16_t IconvBytesToUnicode(iconv_t cd, const unsigned char* bytes, std::size_t n) {
  char in[4] = {};
  for (std::size_t i = 0; i < n; ++i) in[i] = static_cast<char>(bytes[i]);
  char out[8];
  char* inp = in;
  char* outp = out;
  std::size_t inLeft = n;
  std::size_t outLeft = sizeof out;
  iconv(cd, nullptr, nullptr, nullptr, nullptr);
  if (iconv(cd, &inp, &inLeft, &outp, &outLeft) == static_cast<std::size_t>(-1) || inLeft != 0 ||
      sizeof out - outLeft != 2) {
    return kReplacement;
  }
  return static_cast<char16_t>(static_cast<unsigned char>(out[0]) |
                               static_cast<unsigned char>(out[1]) << 8);
}

// The single bytes that the C library's CP932 refuses but the Windows code page maps, in
// both directions: 0x80 to the control character U+0080, the rest to the private use area.
// With them every byte of a file shows as something and comes back as the same byte.
constexpr std::array<std::pair<unsigned char, char16_t>, 5> kWindowsSingles = {{
    {0x80, 0x0080},
    {0xA0, 0xF8F0},
    {0xFD, 0xF8F1},
    {0xFE, 0xF8F2},
    {0xFF, 0xF8F3},
}};

void AddWindowsSingles(Tables& t) {
  for (auto [byte, unit] : kWindowsSingles) {
    t.toUnicode[byte] = unit;
    t.toCp932[unit] = byte;
  }
}

std::unique_ptr<Tables> BuildTables() {
  auto t = std::make_unique<Tables>();
  t->toUnicode.fill(kReplacement);
  iconv_t toSjis = iconv_open("CP932", "UTF-16LE");
  iconv_t toUtf16 = iconv_open("UTF-16LE", "CP932");
  if (toSjis == reinterpret_cast<iconv_t>(-1) || toUtf16 == reinterpret_cast<iconv_t>(-1)) {
    // Without iconv's CP932 the program can still pass ASCII through.
    for (unsigned c = 0; c < 0x80; ++c) {
      t->toCp932[c] = static_cast<std::uint16_t>(c);
      t->toUnicode[c] = static_cast<char16_t>(c);
    }
    AddWindowsSingles(*t);
    FillThreeByteForms(*t);
    return t;
  }
  for (unsigned u = 1; u < 0x10000; ++u) {
    if (u >= 0xD800 && u <= 0xDFFF) continue;
    t->toCp932[u] = IconvOneToCp932(toSjis, static_cast<char16_t>(u));
  }
  unsigned char b[2];
  for (unsigned c = 0; c < 0x100; ++c) {
    if (IsLeadByte(static_cast<unsigned char>(c))) {
      for (unsigned trail = 0x40; trail <= 0xFC; ++trail) {
        b[0] = static_cast<unsigned char>(c);
        b[1] = static_cast<unsigned char>(trail);
        t->toUnicode[c << 8 | trail] = IconvBytesToUnicode(toUtf16, b, 2);
      }
    } else {
      b[0] = static_cast<unsigned char>(c);
      t->toUnicode[c] = c == 0 ? u'\0' : IconvBytesToUnicode(toUtf16, b, 1);
    }
  }
  iconv_close(toSjis);
  iconv_close(toUtf16);
  AddWindowsSingles(*t);
  FillThreeByteForms(*t);
  return t;
}

const Tables& GetTables() {
  static const std::unique_ptr<Tables> tables = BuildTables();
  return *tables;
}

// Writes the CP932 form of `codePoint` (of the basic plane) at `o`; returns the end, and
// whether a '?' was written in its place.
inline char* PutCp932(const Tables& t, std::uint32_t codePoint, char* o, bool* lostOne) {
  const std::uint16_t c = codePoint < 0x10000 ? t.toCp932[codePoint] : 0;
  *lostOne = false;
  if (codePoint == 0) {
    *o++ = '\0';
  } else if (c == 0) {
    *o++ = '?';
    *lostOne = true;
  } else if (c < 0x100) {
    *o++ = static_cast<char>(c);
  } else {
    *o++ = static_cast<char>(c >> 8);
    *o++ = static_cast<char>(c & 0xFF);
  }
  return o;
}

// EUC-JP towards Unicode, by the two bytes after the lead (A1-FE each): JIS X 0208 at
// (lead - 0xA1) * 94 + (trail - 0xA1), JIS X 0212 (after 8F) likewise; the half-width
// katakana (8E A1-DF) by their second byte. 0xFFFD where iconv knows no character.
struct EucTables {
  std::array<char16_t, 94 * 94> jis0208{};
  std::array<char16_t, 94 * 94> jis0212{};
  std::array<char16_t, 0x3F> kana{};
};

std::unique_ptr<EucTables> BuildEucTables() {
  auto t = std::make_unique<EucTables>();
  t->jis0208.fill(kReplacement);
  t->jis0212.fill(kReplacement);
  t->kana.fill(kReplacement);
  iconv_t cd = iconv_open("UTF-16LE", "EUC-JP-MS");
  if (cd == reinterpret_cast<iconv_t>(-1)) return t;  // EUC-JP then passes ASCII only
  unsigned char b[3];
  for (unsigned row = 0; row < 94; ++row) {
    for (unsigned cell = 0; cell < 94; ++cell) {
      b[0] = static_cast<unsigned char>(0xA1 + row);
      b[1] = static_cast<unsigned char>(0xA1 + cell);
      t->jis0208[row * 94 + cell] = IconvBytesToUnicode(cd, b, 2);
      b[0] = 0x8F;
      b[1] = static_cast<unsigned char>(0xA1 + row);
      b[2] = static_cast<unsigned char>(0xA1 + cell);
      t->jis0212[row * 94 + cell] = IconvBytesToUnicode(cd, b, 3);
    }
  }
  for (unsigned k = 0; k < t->kana.size(); ++k) {
    b[0] = 0x8E;
    b[1] = static_cast<unsigned char>(0xA1 + k);
    t->kana[k] = IconvBytesToUnicode(cd, b, 2);
  }
  iconv_close(cd);
  return t;
}

// Built on the first EUC-JP file only: most runs never read one.
const EucTables& GetEucTables() {
  static const std::unique_ptr<EucTables> tables = BuildEucTables();
  return *tables;
}

constexpr bool IsEucByte(unsigned char c) { return c >= 0xA1 && c <= 0xFE; }

// Runs of ASCII, the bulk of most files, pass thirty-two, sixteen or eight bytes at a time.
// Copies the run that opens [p, end) to `o` and returns its length. Whole blocks are stored,
// so up to thirty-one bytes after the run are written too (the caller writes over them): `o`
// needs room for end - p bytes.
std::size_t CopyAsciiRun(const unsigned char* p, const unsigned char* end, char* o) {
  const unsigned char* const start = p;
#if defined(__SSE2__)
  // Thirty-two bytes a step while they are there: the short runs between characters end in
  // the first step however long they are up to that, where a loop of sixteen would stop
  // after one step or two, unforeseeably.
  while (end - p >= 32) {
    const __m128i v0 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    const __m128i v1 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(o), v0);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(o + 16), v1);
    const auto high = static_cast<unsigned>(_mm_movemask_epi8(v0)) |
                      static_cast<unsigned>(_mm_movemask_epi8(v1)) << 16;
    if (high != 0) return static_cast<std::size_t>(p - start) + std::countr_zero(high);
    p += 32;
    o += 32;
  }
  while (end - p >= 16) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(o), v);
    const auto high = static_cast<unsigned>(_mm_movemask_epi8(v));
    if (high != 0) return static_cast<std::size_t>(p - start) + std::countr_zero(high);
    p += 16;
    o += 16;
  }
#endif
  while (end - p >= 8) {
    std::uint64_t w;
    std::memcpy(&w, p, sizeof w);
    std::memcpy(o, &w, sizeof w);
    if constexpr (std::endian::native == std::endian::big) w = __builtin_bswap64(w);
    const std::uint64_t high = w & 0x8080808080808080ull;
    if (high != 0) return static_cast<std::size_t>(p - start) + (std::countr_zero(high) >> 3);
    p += 8;
    o += 8;
  }
  return static_cast<std::size_t>(p - start);
}

// Writes a threeByteForms entry at `o` (two bytes, whatever its length); returns the end of
// the character.
inline char* PutForm(std::uint16_t form, char* o) {
  const unsigned char bytes[2] = {static_cast<unsigned char>(form),
                                  static_cast<unsigned char>(form >> 8)};
  std::memcpy(o, bytes, 2);
  // Arithmetic, not a choice: half-width katakana among the kanji would make a branch here
  // guess wrong.
  return o + 1 + ((std::size_t{form} + 0xFF00u) >> 16);
}

// The codes of a character that CP932 holds twice which are not its own CP932 form, and the
// code to write instead. Built once from the tables above, so that it agrees with every
// conversion from Unicode, and without a heap allocation: a reader that meets its first
// Shift-JIS text fails for want of memory only where it always did.
struct DuplicateCodes {
  DuplicateCodes();
  // By code (lead << 8 | trail): the character's own code, 0 where the code stays.
  std::array<std::uint16_t, 0x10000> forms{};
  std::array<bool, 0x100> isLead{};  // the lead byte opens such a code
  std::array<unsigned char, 0x100> leads{};
  std::size_t leadCount = 0;
  // The AVX2 scan finds the lead bytes by the entry of each byte's low nibble: the lead with
  // that nibble, its high bit flipped (0xFF for none), once for each half of a register.
  alignas(32) unsigned char byNibble[32];
  bool nibbleScan = true;  // no two lead bytes share a low nibble
};

DuplicateCodes::DuplicateCodes() {
  const Tables& t = GetTables();
  std::memset(byNibble, 0xFF, sizeof byNibble);
  for (unsigned lead = 0x81; lead <= 0xFC; ++lead) {
    for (unsigned trail = 0x40; trail <= 0xFC && IsLeadByte(static_cast<unsigned char>(lead));
         ++trail) {
      const unsigned code = lead << 8 | trail;
      const char16_t u = t.toUnicode[code];
      if (trail == 0x7F || u == kReplacement) continue;
      const std::uint16_t form = t.toCp932[u];
      // Only two-byte forms that read back as the same character: the rewrite keeps the
      // length of the text.
      if (form < 0x100 || form == code || t.toUnicode[form] != u) continue;
      forms[code] = form;
      if (isLead[lead]) continue;
      isLead[lead] = true;
      leads[leadCount++] = static_cast<unsigned char>(lead);
      unsigned char& entry = byNibble[lead & 0x0F];
      if (entry != 0xFF) nibbleScan = false;
      entry = static_cast<unsigned char>(lead ^ 0x80);
      byNibble[16 + (lead & 0x0F)] = entry;
    }
  }
}

// Built on the first Shift-JIS text read.
const DuplicateCodes& GetDuplicateCodes() {
  static const DuplicateCodes codes;
  return codes;
}

// Settles the byte at `i`, a lead byte of a duplicate code, seen after every such byte before
// it; `*next` is a character start at or before it, past everything settled so far. A byte
// outside the lead range ends a character, and from the start after it (or from `*next`) the
// bytes up to `i`, all in the lead range, pair off: `i` begins a character when an even number
// of them lie before it. Each byte is walked over once, however the lead bytes fall.
inline void SettleDuplicate(unsigned char* p, std::size_t n, std::size_t i, std::size_t* next,
                            const DuplicateCodes& d) {
  if (i < *next) return;  // the trail byte of a character settled before
  std::size_t j = i;
  while (j > *next && IsLeadByte(p[j - 1])) --j;
  if ((i - j) % 2 != 0) {
    *next = i + 1;  // a trail byte
    return;
  }
  *next = i + 2;
  if (i + 1 >= n) return;
  const std::uint16_t form = d.forms[p[i] << 8 | p[i + 1]];
  if (form != 0) {
    p[i] = static_cast<unsigned char>(form >> 8);
    p[i + 1] = static_cast<unsigned char>(form & 0xFF);
  }
}

// SettleDuplicate for each bit of `found`, the lead bytes among the bytes from `at`.
inline void SettleDuplicates(unsigned char* p, std::size_t n, std::size_t at, std::uint64_t found,
                             std::size_t* next, const DuplicateCodes& d) {
  for (; found != 0; found &= found - 1) {
    SettleDuplicate(p, n, at + static_cast<std::size_t>(std::countr_zero(found)), next, d);
  }
}

#if defined(__SSE2__)
// The lead bytes among thirty-two bytes, most of which hold none: each byte, its high bit
// flipped, is compared with the entry of its low nibble, which is equal only for the lead
// bytes (a byte below 0x80 gets 0 from the shuffle, which it never equals). The blocks' scan
// returns where it stopped (the end, unless the text is shorter than thirty-two bytes).
__attribute__((target("avx2"))) inline __m256i DuplicateLeadsAvx2(const unsigned char* p,
                                                                  __m256i table) {
  const __m256i y = _mm256_xor_si256(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(p)),
                                     _mm256_set1_epi8(static_cast<char>(0x80)));
  return _mm256_cmpeq_epi8(_mm256_shuffle_epi8(table, y), y);
}

__attribute__((target("avx2"))) inline std::uint64_t Mask32(__m256i found) {
  return std::uint64_t{static_cast<std::uint32_t>(_mm256_movemask_epi8(found))};
}

__attribute__((target("avx2"))) std::size_t UnifyBlocksAvx2(unsigned char* p, std::size_t n,
                                                            std::size_t* next,
                                                            const DuplicateCodes& d) {
  const __m256i table = _mm256_load_si256(reinterpret_cast<const __m256i*>(d.byNibble));
  std::size_t i = 0;
  for (; n - i >= 128; i += 128) {
    const __m256i f0 = DuplicateLeadsAvx2(p + i, table);
    const __m256i f1 = DuplicateLeadsAvx2(p + i + 32, table);
    const __m256i f2 = DuplicateLeadsAvx2(p + i + 64, table);
    const __m256i f3 = DuplicateLeadsAvx2(p + i + 96, table);
    // A mask rather than a test: the test would share the shuffles' port.
    const __m256i any = _mm256_or_si256(_mm256_or_si256(f0, f1), _mm256_or_si256(f2, f3));
    if (_mm256_movemask_epi8(any) == 0) continue;
    SettleDuplicates(p, n, i, Mask32(f0) | Mask32(f1) << 32, next, d);
    SettleDuplicates(p, n, i + 64, Mask32(f2) | Mask32(f3) << 32, next, d);
  }
  for (; n - i >= 32; i += 32) {
    SettleDuplicates(p, n, i, Mask32(DuplicateLeadsAvx2(p + i, table)), next, d);
  }
  // The last bytes as the end of a block that began before them, when there is one.
  if (i < n && n >= 32) {
    const std::size_t before = 32 - (n - i);
    SettleDuplicates(p, n, i, Mask32(DuplicateLeadsAvx2(p + n - 32, table)) >> before, next, d);
    i = n;
  }
  return i;
}

// The baseline form: one comparison per lead byte (at most four).
std::size_t UnifyBlocksSse2(unsigned char* p, std::size_t n, std::size_t* next,
                            const DuplicateCodes& d) {
  __m128i leads[4];
  for (std::size_t k = 0; k < 4; ++k) {
    leads[k] = _mm_set1_epi8(static_cast<char>(d.leads[k < d.leadCount ? k : 0]));
  }
  std::size_t i = 0;
  for (; n - i >= 64; i += 64) {
    __m128i found[4];
    for (int v = 0; v < 4; ++v) {
      const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i + 16 * v));
      found[v] =
          _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(x, leads[0]), _mm_cmpeq_epi8(x, leads[1])),
                       _mm_or_si128(_mm_cmpeq_epi8(x, leads[2]), _mm_cmpeq_epi8(x, leads[3])));
    }
    const __m128i any =
        _mm_or_si128(_mm_or_si128(found[0], found[1]), _mm_or_si128(found[2], found[3]));
    if (_mm_movemask_epi8(any) == 0) continue;
    std::uint64_t mask = 0;
    for (int v = 0; v < 4; ++v) {
      mask |= std::uint64_t{static_cast<std::uint16_t>(_mm_movemask_epi8(found[v]))} << (16 * v);
    }
    SettleDuplicates(p, n, i, mask, next, d);
  }
  return i;
}
#endif

}  // namespace

void UnifyDuplicateCodes(char* text, std::size_t n) {
  const DuplicateCodes& d = GetDuplicateCodes();
  if (d.leadCount == 0) return;  // no iconv: the tables know ASCII only
  auto* p = reinterpret_cast<unsigned char*>(text);
  std::size_t next = 0;
  std::size_t i = 0;
#if defined(__SSE2__)
  if (d.nibbleScan && UseAvx2()) {
    i = UnifyBlocksAvx2(p, n, &next, d);
  } else if (d.leadCount <= 4) {
    i = UnifyBlocksSse2(p, n, &next, d);
  }
#endif
  for (; i < n; ++i) {
    if (d.isLead[p[i]]) SettleDuplicate(p, n, i, &next, d);
  }
}

std::size_t Utf8ToCp932(const char* text, std::size_t n, std::string& out, LossLog* log) {
  const Tables& t = GetTables();
  std::size_t lost = 0;
  const auto* p = reinterpret_cast<const unsigned char*>(text);
  const unsigned char* end = p + n;
  // No character is longer in CP932 than in UTF-8, so the output is sized once, written
  // through a pointer and cut to what was written. That also keeps every write at least as
  // far behind the input as it started, which the eight-byte copies below rely on.
  const std::size_t base = out.size();
  out.resize(base + n);
  char* const first = out.data();
  char* o = first + base;
  // Notes the '?' just written in place of `code`.
  auto lose = [&](std::uint32_t code) {
    ++lost;
    if (log) log->push_back({static_cast<std::size_t>(o - first) - 1, code});
  };
  while (p < end) {
    const std::size_t ascii = CopyAsciiRun(p, end, o);
    p += ascii;
    o += ascii;
    if (p == end) break;
    unsigned char c = *p;
    if (c < 0x80) {
      *o++ = static_cast<char>(c);
      ++p;
      continue;
    }
    // Japanese text is mostly runs of three-byte sequences: whole, valid ones go straight to
    // the table, one after another; anything else takes the general way below. A character
    // of one byte is written as two, the second overwritten next (the output is never
    // longer than the input, so the byte is there).
    if ((c & 0xF0) == 0xE0) {
      const std::uint16_t* const forms = t.threeByteForms.data();
      // Takes the sequence at p when it is whole, valid and has a CP932 form; reads four
      // bytes, so the input's last sequence takes the general way.
      const auto takeOne = [&] {
        std::uint32_t w;
        std::memcpy(&w, p, sizeof w);
        if constexpr (std::endian::native == std::endian::big) w = __builtin_bswap32(w);
        if ((w & 0xC0C0F0u) != 0x8080E0u) return false;
        const std::uint16_t form = forms[ThreeByteIndex(w)];
        if (form == 0) return false;
        o = PutForm(form, o);
        p += 3;
        return true;
      };
      // One sequence after another, two to a turn of the loop. The loop ends where the run
      // of characters ends, which no branch foresees; written this way that is its only
      // wrong guess, whether the run is odd or even.
      while (end - p >= 8 && takeOne() && takeOne()) {
      }
      // Near the end of the input, one at a time.
      while (end - p >= 4 && takeOne()) {
      }
      if (p == end || *p < 0x80 || (*p & 0xF0) != 0xE0) continue;
      c = *p;  // a three-byte sequence that is broken or too short
    }
    Utf8Lead lead{};
    if (!ReadUtf8Lead(c, &lead)) {
      *o++ = '?';  // a stray continuation byte or a byte no UTF-8 text holds
      lose(kBrokenSequence + c);
      ++p;
      continue;
    }
    const std::size_t len = lead.length;
    std::uint32_t cp = lead.bits;
    const std::uint32_t min = lead.least;
    std::size_t i = 1;
    for (; i < len && p + i < end && (p[i] & 0xC0) == 0x80; ++i) cp = cp << 6 | (p[i] & 0x3F);
    if (i < len || cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
      *o++ = '?';  // a broken sequence counts as one invalid character up to its break
      lose(kBrokenSequence + c);
      p += i;
      continue;
    }
    // A valid sequence here is never U+0000, which only the ASCII path meets.
    const std::uint16_t code = cp < 0x10000 ? t.toCp932[cp] : 0;
    if (code == 0) {
      *o++ = '?';
      lose(cp);
    } else if (code < 0x100) {
      *o++ = static_cast<char>(code);
    } else {
      *o++ = static_cast<char>(code >> 8);
      *o++ = static_cast<char>(code & 0xFF);
    }
    p += len;
  }
  out.resize(static_cast<std::size_t>(o - first));
  return lost;
}

std::string Utf8ToCp932(std::string_view utf8) {
  std::string out;
  Utf8ToCp932(utf8.data(), utf8.size(), out);
  return out;
}

std::size_t Utf16BytesToCp932(const unsigned char* p, std::size_t n, bool bigEndian,
                              std::string& out, LossLog* log) {
  const Tables& t = GetTables();
  std::size_t lost = 0;
  // A unit's CP932 form is never longer than its two bytes (a surrogate pair's '?' and a
  // trailing odd byte's '?' are shorter or as long), so the output is sized once and cut to
  // what was written.
  const std::size_t base = out.size();
  out.resize(base + n);
  char* const first = out.data();
  char* o = first + base;
  auto lose = [&](std::uint32_t code) {
    ++lost;
    if (log) log->push_back({static_cast<std::size_t>(o - first) - 1, code});
  };
  auto unitAt = [&](std::size_t i) -> char16_t {
    return bigEndian ? static_cast<char16_t>(p[i] << 8 | p[i + 1])
                     : static_cast<char16_t>(p[i] | p[i + 1] << 8);
  };
  std::size_t i = 0;
  while (i + 1 < n) {
#if defined(__SSE2__)
    // Runs of ASCII pass eight units at a time (ASCII is the same in CP932).
    while (n - i >= 16) {
      __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
      if (bigEndian) v = _mm_or_si128(_mm_slli_epi16(v, 8), _mm_srli_epi16(v, 8));
      const __m128i wide = _mm_and_si128(v, _mm_set1_epi16(static_cast<short>(0xFF80)));
      if (_mm_movemask_epi8(_mm_cmpeq_epi16(wide, _mm_setzero_si128())) != 0xFFFF) break;
      _mm_storel_epi64(reinterpret_cast<__m128i*>(o), _mm_packus_epi16(v, v));
      o += 8;
      i += 16;
    }
    if (i + 1 >= n) break;
#endif
    const char16_t u = unitAt(i);
    if (u >= 0xD800 && u <= 0xDBFF && i + 3 < n) {
      const char16_t low = unitAt(i + 2);
      if (low >= 0xDC00 && low <= 0xDFFF) {
        *o++ = '?';  // outside the basic plane: no CP932 form
        lose(0x10000 + ((u - 0xD800u) << 10 | (low - 0xDC00u)));
        i += 4;
        continue;
      }
    }
    if (u >= 0xD800 && u <= 0xDFFF) {
      *o++ = '?';
      lose(u);
    } else {
      bool lostOne = false;
      o = PutCp932(t, u, o, &lostOne);
      if (lostOne) lose(u);
    }
    i += 2;
  }
  if (i < n) {
    *o++ = '?';
    lose(kBrokenSequence + p[i]);
  }
  out.resize(static_cast<std::size_t>(o - first));
  return lost;
}

std::size_t EucJpToCp932(const unsigned char* p, std::size_t n, std::string& out, LossLog* log,
                         WidthLog* widths) {
  const Tables& t = GetTables();
  const EucTables& e = GetEucTables();
  std::size_t lost = 0;
  // No character is longer in CP932 than in EUC-JP (a byte that stands alone becomes one
  // '?'), so the output is sized once and cut to what was written.
  const std::size_t base = out.size();
  out.resize(base + n);
  char* const first = out.data();
  char* o = first + base;
  auto lose = [&](std::uint32_t code) {
    ++lost;
    if (log) log->push_back({static_cast<std::size_t>(o - first) - 1, code});
  };
  std::size_t i = 0;
  while (i < n) {
    const std::size_t ascii = CopyAsciiRun(p + i, p + n, o);
    i += ascii;
    o += ascii;
    if (i == n) break;
    const unsigned char c = p[i];
    if (c < 0x80) {
      *o++ = static_cast<char>(c);
      ++i;
      continue;
    }
    char16_t u = kReplacement;
    std::size_t len = 1;
    const auto start = static_cast<std::size_t>(o - first);
    if (c == 0x8E && i + 1 < n && p[i + 1] >= 0xA1 && p[i + 1] <= 0xDF) {
      u = e.kana[p[i + 1] - 0xA1];
      len = 2;
    } else if (c == 0x8F && i + 2 < n && IsEucByte(p[i + 1]) && IsEucByte(p[i + 2])) {
      u = e.jis0212[(p[i + 1] - 0xA1) * 94 + (p[i + 2] - 0xA1)];
      len = 3;
    } else if (IsEucByte(c) && i + 1 < n && IsEucByte(p[i + 1])) {
      u = e.jis0208[(c - 0xA1) * 94 + (p[i + 1] - 0xA1)];
      len = 2;
    }
    if (u == kReplacement) {
      // An undefined code is one lost character; a lead without its followers stands alone
      // and what follows it is read again.
      std::uint32_t bytes = 0;
      for (std::size_t k = 0; k < len; ++k) bytes = bytes << 8 | p[i + k];
      *o++ = '?';
      lose(kBrokenSequence + bytes);
    } else {
      bool lostOne = false;
      o = PutCp932(t, u, o, &lostOne);
      if (lostOne) lose(u);
    }
    const auto written = static_cast<std::size_t>(o - first) - start;
    if (widths && len > written) {
      widths->push_back({start, static_cast<std::uint32_t>(len - written)});
    }
    i += len;
  }
  out.resize(static_cast<std::size_t>(o - first));
  return lost;
}

std::string Utf16ToCp932(std::u16string_view text) {
  std::string bytes;
  bytes.reserve(text.size() * 2);
  for (char16_t u : text) {
    bytes.push_back(static_cast<char>(u & 0xFF));
    bytes.push_back(static_cast<char>(u >> 8));
  }
  std::string out;
  Utf16BytesToCp932(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(), false, out);
  return out;
}

std::u16string Cp932ToUtf16(std::string_view cp932) {
  const Tables& t = GetTables();
  std::u16string out;
  out.reserve(cp932.size());
  const auto* p = reinterpret_cast<const unsigned char*>(cp932.data());
  std::size_t n = cp932.size();
  for (std::size_t i = 0; i < n; ++i) {
    unsigned char c = p[i];
    if (IsLeadByte(c)) {
      if (i + 1 < n && IsTrailByte(p[i + 1])) {
        out.push_back(t.toUnicode[c << 8 | p[i + 1]]);
        ++i;
      } else {
        // A lead byte without a trail byte is one broken character; what follows it is
        // read again, so that an ASCII character after it is never lost.
        out.push_back(kReplacement);
      }
    } else {
      out.push_back(t.toUnicode[c]);
    }
  }
  return out;
}

std::string Cp932ToUtf8(std::string_view cp932) {
  std::u16string u16 = Cp932ToUtf16(cp932);
  std::string out;
  out.reserve(u16.size() * 3);
  for (char16_t u : u16) {
    if (u < 0x80) {
      out.push_back(static_cast<char>(u));
    } else if (u < 0x800) {
      out.push_back(static_cast<char>(0xC0 | u >> 6));
      out.push_back(static_cast<char>(0x80 | (u & 0x3F)));
    } else {
      out.push_back(static_cast<char>(0xE0 | u >> 12));
      out.push_back(static_cast<char>(0x80 | (u >> 6 & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (u & 0x3F)));
    }
  }
  return out;
}

std::string Sjis(std::string_view utf8) { return Utf8ToCp932(utf8); }

}  // namespace korvel
