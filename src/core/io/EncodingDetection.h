#pragma once
// The one rule by which a file read under 自動判定 gets its encoding when it has no
// byte-order mark (a mark always decides, before this rule is asked; see TextFile).
//
// The rule looks at the file's first kDetectionBytes bytes (all of it when it is shorter);
// a multi-byte sequence cut by the end of that sample does not count against validity
// unless the sample is the whole file. In this order:
//  1. Zero bytes: no Shift-JIS, EUC-JP or UTF-8 text holds them, so they mean UTF-16. With
//     more than twice as many at odd offsets as at even ones it is little-endian; with more
//     than twice as many at even offsets, big-endian. Zero bytes without either pattern
//     mean a binary file, which is refused (kUnreadable).
//  2. Only ASCII bytes: the fallback, the encoding in the settings' CODE (Shift-JIS when
//     that is UTF-16, which a text without zero bytes cannot be).
//  3. Valid UTF-8 (shortest forms, no surrogates, nothing above U+10FFFF): UTF-8.
//  4. Valid in Shift-JIS only, or in EUC-JP only: that one. A byte that starts no character
//     (80, A0, FD-FF in Shift-JIS; 80-8D, 90-A0, FF in EUC-JP) or a lead byte without the
//     bytes that must follow it makes a text invalid.
//  5. Valid in both. Shift-JIS text is valid EUC-JP only when it holds nothing but ASCII and
//     half-width katakana (in runs of even length), so:
//     a. Shift-JIS when its reading is nothing but ASCII and half-width katakana letters
//        (A6-DF), each sound mark (ﾞ, ﾟ) after a letter that takes it — half-width data
//        such as ﾃﾞｰﾀ. EUC-JP text read so nearly always shows a half-width punctuation
//        byte (A1-A5: the reading of its hiragana, katakana and symbols), a double-byte
//        character or a stray sound mark.
//     b. Otherwise each reading scores the bytes of the characters Japanese text is mostly
//        made of — 2 for each hiragana, katakana and level-1 kanji character (EUC-JP rows
//        4, 5 and 16-47 and its half-width katakana; Shift-JIS leads 82, 83 and 88-98) and 1
//        for each half-width katakana byte of Shift-JIS (A6-DF) — and EUC-JP wins when its
//        score is at least Shift-JIS's: EUC-JP text read as Shift-JIS falls apart into
//        half-width katakana that score less.
//  6. Valid in none (a damaged text): the one of Shift-JIS, EUC-JP and UTF-8 with the
//     fewest invalid sequences, in that order on equal counts.
//
// The rule is deterministic and depends on nothing but the bytes. A file whose first
// kDetectionBytes bytes are ASCII takes the fallback, whatever follows: choose its encoding
// explicitly when its non-ASCII text starts later.

#include <cstddef>

namespace korvel {

inline constexpr std::size_t kDetectionBytes = 64 * 1024;

// The detection's answer for a binary file: refused as "読込できないファイルです。".
inline constexpr int kUnreadable = -1;

// The encoding of `n` bytes at `p`, the start of a file without a byte-order mark
// (`complete`: they are the whole file). One of kEncodingSjis, kEncodingEucJp,
// kEncodingUtf8, kEncodingUtf16, kEncodingUtf16Be, `fallback` (ASCII-only text) or
// kUnreadable.
int DetectEncoding(const unsigned char* p, std::size_t n, bool complete, int fallback);

}  // namespace korvel
