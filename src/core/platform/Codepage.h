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

#include <cstddef>
#include <string>
#include <string_view>

namespace korvel {

// Encoding codes shared by the readers, the dialogs and the settings file.
inline constexpr int kEncodingSjis = 0;
inline constexpr int kEncodingUtf16 = 10;
inline constexpr int kEncodingUtf16Be = 11;  // only ever reported by a byte-order mark
inline constexpr int kEncodingUtf8 = 15;

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

// Appends to `out` the CP932 form of `n` bytes of UTF-8.
void Utf8ToCp932(const char* p, std::size_t n, std::string& out);
std::string Utf8ToCp932(std::string_view utf8);

// Appends to `out` the CP932 form of `n` bytes of UTF-16 (little- or big-endian). A trailing
// odd byte counts as an invalid unit.
void Utf16BytesToCp932(const unsigned char* p, std::size_t n, bool bigEndian, std::string& out);
std::string Utf16ToCp932(std::u16string_view text);

// Unicode forms of CP932 text.
std::u16string Cp932ToUtf16(std::string_view cp932);
std::string Cp932ToUtf8(std::string_view cp932);

// Turns a UTF-8 literal of the source code into CP932, once per call site's text. The one
// way the program's own Japanese texts enter the engine.
std::string Sjis(std::string_view utf8);

}  // namespace korvel
