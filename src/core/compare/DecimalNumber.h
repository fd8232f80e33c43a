#pragma once
// Exact decimal numbers read from cell texts, for fields compared as numbers.
//
// A cell's number is kept as its decimal digits and a power of ten, never as a binary
// floating-point value, so that "0.3" and "0.30000000000000000001" stay apart and
// 0.1 + 0.2 is exactly 0.3. Every operation is exact; the sizes involved are bounded by the
// grammar (a cell holds at most 500 bytes, an exponent at most three digits), so a
// difference never needs more than a few thousand digits.
//
// The grammar of a number, over CP932 text:
//   blanks   half-width space or full-width space (0x81 0x40), any number, before and after
//   sign     optional: + - or the full-width ＋ － (−, U+2212, is the same CP932 character as －)
//   digits   at least one, half-width 0-9 or full-width ０-９, optionally grouped by , or ，
//            every three digits (first group 1-3 digits, every later group exactly 3)
//   fraction optional: . or ． followed by at least one digit (no grouping)
//   exponent optional: e or E, a sign (required) and one to three digits
// Nothing else: no currency signs, parentheses, △, a lone point or a point without digits
// after it.

#include <string>
#include <string_view>

namespace korvel {

struct DecimalNumber {
  bool Negative = false;  // never set for zero
  std::string Digits;     // '0'-'9' without leading or trailing zeros; empty for zero
  int Exponent = 0;       // the value is Digits × 10^Exponent; 0 for zero

  bool IsZero() const { return Digits.empty(); }
  bool operator==(const DecimalNumber&) const = default;
};

// Reads `text` (CP932) by the grammar above. False, with `*number` unspecified, when the
// text is not a number.
bool ParseDecimal(std::string_view text, DecimalNumber* number);

// The order of two numbers: negative, 0 or positive.
int CompareDecimal(const DecimalNumber& a, const DecimalNumber& b);

// a − b, exactly.
DecimalNumber SubtractDecimal(const DecimalNumber& a, const DecimalNumber& b);

// True when |a − b| ≤ tolerance (a tolerance that is not negative).
bool WithinTolerance(const DecimalNumber& a, const DecimalNumber& b,
                     const DecimalNumber& tolerance);

// The number as plain decimal text: "-" for a negative value, no grouping, a point only
// with a fraction, no trailing zero after the point ("0", "-2.5", "0.0000001", "1000").
// A value whose plain form would be longer than kMaxPlainLength characters is written as
// d.ddd…e+N / e-N with all its digits.
std::string DecimalText(const DecimalNumber& number);
inline constexpr std::size_t kMaxPlainLength = 520;

// The one tolerance of the numeric fields: a number of the grammar with 0 ≤ X ≤ 1e15.
// False for anything else (negative, not a number, too large).
bool ParseTolerance(std::string_view text, DecimalNumber* tolerance);

}  // namespace korvel
