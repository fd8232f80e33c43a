#pragma once
// Code-page conversion between CP932 (Shift-JIS, the engine's only text form) and the
// Unicode forms that files, the clipboard and the windows use.
//
// Conversions are table driven: the tables are built once, on first use, by asking the C
// library's iconv "CP932" converter about every character, so that the code written for a
// character with two CP932 codes is the one iconv picks. A character without a CP932 form
// becomes '?', the code page's default character. Invalid input (a broken UTF-8 sequence, a
// lone surrogate, an undefined double-byte code) never stops a conversion: it yields '?'
// towards CP932 and U+FFFD towards Unicode; a lead byte followed by a byte that cannot be a
// trail byte becomes U+FFFD alone, and the byte after it is read again.
//
// Overrides of iconv's tables, as the Windows code page has them, in both directions:
// 0x80 <-> U+0080, 0xA0 <-> U+F8F0, 0xFD <-> U+F8F1, 0xFE <-> U+F8F2, 0xFF <-> U+F8F3.
//
// EUC-JP is read through tables built the same way, once, from iconv's "EUC-JP-MS" (the
// Windows-compatible variant: NEC and IBM extensions, user-defined area): each code of
// JIS X 0208 (two bytes A1-FE), of the half-width katakana (8E A1-DF) and of JIS X 0212
// (8F and two bytes A1-FE) is asked for its Unicode character, which then takes its CP932
// form. A JIS X 0212 kanji that CP932 lacks becomes '?'.
//
// Every '?' that a conversion writes in place of a character (one without a CP932 form, or
// a broken sequence) is a lost character; the converters count them and, when asked, log
// where in their output each one went and which character it stood for.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace korvel {

// Encoding codes shared by the readers, the dialogs and the settings file.
inline constexpr int kEncodingSjis = 0;
inline constexpr int kEncodingUtf16 = 10;
inline constexpr int kEncodingUtf16Be = 11;  // only ever reported by a byte-order mark
inline constexpr int kEncodingUtf8 = 15;
// EUC-JP is never stored in the settings file's CODE (which keeps 0, 10 and 15 for older
// programs); CODE_EX names it.
inline constexpr int kEncodingEucJp = 20;

// A request to detect each file's encoding (io/EncodingDetection.h) carries the encoding
// that ASCII-only text gets: AutoEncoding(fallback). It travels wherever an encoding code is
// asked for and never comes back from a file: after the byte-order-mark check a file
// reports the encoding it is read with.
inline constexpr int kEncodingAutoFlag = 0x100;
constexpr int AutoEncoding(int fallback) { return kEncodingAutoFlag | (fallback & 0xFF); }
constexpr bool IsAutoEncoding(int code) { return (code & kEncodingAutoFlag) != 0; }
constexpr int AutoFallback(int code) { return code & 0xFF; }
inline constexpr int kEncodingAuto = AutoEncoding(kEncodingSjis);

// True for a Shift-JIS lead byte (0x81-0x9F, 0xE0-0xFC): it and the next byte form one
// double-byte character.
constexpr bool IsLeadByte(unsigned char c) {
  return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
}
constexpr bool IsLeadByte(char c) { return IsLeadByte(static_cast<unsigned char>(c)); }

// True for a byte that can follow a lead byte (0x40-0x7E, 0x80-0xFC). Converting to
// Unicode, a lead byte followed by anything else stands alone as U+FFFD.
constexpr bool IsTrailByte(unsigned char c) { return c >= 0x40 && c <= 0xFC && c != 0x7F; }

// The length of the character at byte `i` of `s`: 2 for a lead byte with a byte after it,
// else 1 (a lead byte at the very end stands alone).
constexpr std::size_t CharLength(std::string_view s, std::size_t i) {
  return IsLeadByte(s[i]) && i + 1 < s.size() ? 2 : 1;
}

// A '?' that stands for a lost character: its byte offset in the converter's `out` and the
// character it replaced (its code point; a broken sequence logs 0x110000 + its first byte,
// an unpaired surrogate its unit).
struct LostCharacter {
  std::size_t Offset;
  std::uint32_t Code;
};
using LossLog = std::vector<LostCharacter>;
inline constexpr std::uint32_t kBrokenSequence = 0x110000;

// The sequence a UTF-8 lead byte `c` opens: its length, the code point bits the lead
// holds, and the least code point that length may hold (anything less is an overlong
// form). False for a byte that opens no sequence (a continuation byte, C0, C1, F5-FF).
struct Utf8Lead {
  std::size_t length;
  std::uint32_t bits;
  std::uint32_t least;
};
constexpr bool ReadUtf8Lead(unsigned char c, Utf8Lead* lead) {
  if (c >= 0xC2 && c <= 0xDF) {
    *lead = {2, c & 0x1Fu, 0x80};
  } else if (c >= 0xE0 && c <= 0xEF) {
    *lead = {3, c & 0x0Fu, 0x800};
  } else if (c >= 0xF0 && c <= 0xF4) {
    *lead = {4, c & 0x07u, 0x10000};
  } else {
    return false;
  }
  return true;
}

// Appends to `out` the CP932 form of `n` bytes of UTF-8. Returns the number of lost
// characters; each is also appended to `*log` when one is given.
std::size_t Utf8ToCp932(const char* p, std::size_t n, std::string& out, LossLog* log = nullptr);
std::string Utf8ToCp932(std::string_view utf8);

// Appends to `out` the CP932 form of `n` bytes of UTF-16 (little- or big-endian). A trailing
// odd byte counts as an invalid unit. Returns the number of lost characters, as above.
std::size_t Utf16BytesToCp932(const unsigned char* p, std::size_t n, bool bigEndian,
                              std::string& out, LossLog* log = nullptr);

// A character whose EUC-JP form is longer than its CP932 form (a half-width katakana: 2
// bytes against 1; a JIS X 0212 kanji: 3 against 2 or a '?'): where in the converter's
// `out` it starts and how many bytes longer its EUC-JP form is. Fixed-length EUC-JP files
// are laid out in EUC-JP bytes.
struct WiderCharacter {
  std::size_t Offset;
  std::uint32_t Extra;
};
using WidthLog = std::vector<WiderCharacter>;

// Appends to `out` the CP932 form of `n` bytes of EUC-JP. A lead byte (8E, 8F, A1-FE)
// followed by a byte that cannot continue it becomes '?' alone and the byte after it is
// read again; so does a byte that no EUC-JP text holds (80-8D, 90-A0, FF). Returns the
// number of lost characters, as above; `*widths` receives the wider characters.
std::size_t EucJpToCp932(const unsigned char* p, std::size_t n, std::string& out,
                         LossLog* log = nullptr, WidthLog* widths = nullptr);
// The length of the EUC-JP character that starts with `c` (8F: 3; 8E, A1-FE: 2; else 1).
constexpr std::size_t EucJpCharLength(unsigned char c) {
  return c == 0x8F ? 3 : (c == 0x8E || (c >= 0xA1 && c <= 0xFE)) ? 2 : 1;
}
std::string Utf16ToCp932(std::u16string_view text);

// CP932 holds some characters under two codes: the NEC row 13 and the NEC-selected IBM
// extensions (ED, EE) beside JIS X 0208 and the IBM extensions (FA-FC). Text read as
// Shift-JIS takes for each such code the one that the character's own CP932 form has (the
// code every conversion from Unicode above writes), so that one character is one code in
// the engine whatever system wrote the file. Rewrites the codes in place in the `n` bytes at
// `p`, which begin a character; a lead byte takes the byte after it along, as the readers
// take it. Both codes are two bytes, so the length never changes. Single bytes (0x80, 0xA0,
// 0xFD-0xFF) and codes that are a trail byte and the next character's lead stay as they are.
void UnifyDuplicateCodes(char* p, std::size_t n);

// Unicode forms of CP932 text.
std::u16string Cp932ToUtf16(std::string_view cp932);
std::string Cp932ToUtf8(std::string_view cp932);

// Turns a UTF-8 literal of the source code into CP932, once per call site's text. The one
// way the program's own Japanese texts enter the engine.
std::string Sjis(std::string_view utf8);

}  // namespace korvel
