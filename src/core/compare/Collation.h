#pragma once
// The one text order of the comparison engine, so that sorting, pairing and the cell
// comparison agree on every machine.
//
// All texts are CP932 bytes. A double-byte character (a Shift-JIS lead byte and the byte
// after it) is compared as it is; only single-byte A-Z take part in case folding.

#include <cstdint>
#include <string_view>

namespace korvel {

// The sort order (case ignored): bytes compared as unsigned values after turning
// single-byte A-Z into a-z; a text that is a prefix of the other comes first.
// Negative, 0 or positive.
int SortCompare(std::string_view a, std::string_view b);

// The pairing order (case kept): SortCompare, and where it finds the texts equal, the
// plain byte order. Texts equal here are equal bytes.
int PairCompare(std::string_view a, std::string_view b);

// The value of a numeric key text: leading blanks (space, TAB) skipped, an optional sign,
// then decimal digits up to the first other byte, accumulated modulo 2^32 and read as a
// signed 32-bit integer. No digits gives 0.
std::int32_t KeyNumber(std::string_view text);

// True when two cell texts differ. Without `ignoreSpaces` the texts differ when their
// bytes differ. With it, half-width spaces (0x20) and full-width spaces (0x81 0x40) are
// skipped in each text independently, and the remaining characters must agree one by one.
bool CellsDiffer(std::string_view left, std::string_view right, bool ignoreSpaces);

}  // namespace korvel
