#include "compare/DecimalNumber.h"

#include <algorithm>
#include <vector>

namespace korvel {
namespace {

constexpr int kMaxExponentDigits = 3;
constexpr int kGroupDigits = 3;

// Walks a CP932 text one character at a time. Only characters of the grammar are taken,
// each as a whole, so a trail byte is never mistaken for a character of its own.
class Scanner {
 public:
  explicit Scanner(std::string_view text) : text_(text) {}

  bool AtEnd() const { return pos_ >= text_.size(); }

  // The next digit's value (taking it), or -1.
  int Digit() {
    if (Byte(0) >= '0' && Byte(0) <= '9') {
      const int value = static_cast<int>(Byte(0) - '0');
      ++pos_;
      return value;
    }
    if (Byte(0) == 0x82 && Byte(1) >= 0x4F && Byte(1) <= 0x58) {
      const int value = Byte(1) - 0x4F;
      pos_ += 2;
      return value;
    }
    return -1;
  }
  // Takes the run of digits, appending them to `digits`; their count.
  int Digits(std::string* digits) {
    int count = 0;
    for (int d = Digit(); d >= 0; d = Digit()) {
      digits->push_back(static_cast<char>('0' + d));
      ++count;
    }
    return count;
  }
  bool Blank() { return Take(' ') || Take(0x81, 0x40); }
  // A sign, telling whether it is a minus.
  bool Sign(bool* negative) {
    if (Take('+') || Take(0x81, 0x7B)) {
      *negative = false;
      return true;
    }
    if (Take('-') || Take(0x81, 0x7C)) {
      *negative = true;
      return true;
    }
    return false;
  }
  bool GroupSeparator() { return Take(',') || Take(0x81, 0x43); }
  bool Point() { return Take('.') || Take(0x81, 0x44); }
  bool ExponentMark() { return Take('e') || Take('E'); }

 private:
  unsigned Byte(std::size_t ahead) const {
    return pos_ + ahead < text_.size() ? static_cast<unsigned char>(text_[pos_ + ahead]) : 0u;
  }
  bool Take(unsigned byte) {
    if (AtEnd() || Byte(0) != byte) return false;
    ++pos_;
    return true;
  }
  bool Take(unsigned lead, unsigned trail) {
    if (Byte(0) != lead || Byte(1) != trail || pos_ + 1 >= text_.size()) return false;
    pos_ += 2;
    return true;
  }

  std::string_view text_;
  std::size_t pos_ = 0;
};

// The integer part: digits, grouped by three throughout when grouped at all.
bool IntegerPart(Scanner& s, std::string* digits) {
  int group = s.Digits(digits);
  if (group == 0) return false;
  bool first = true;
  while (s.GroupSeparator()) {
    if (first ? group > kGroupDigits : group != kGroupDigits) return false;
    first = false;
    group = s.Digits(digits);
    if (group != kGroupDigits) return false;
  }
  return true;
}

// The exponent after its mark: a sign and one to three digits.
bool ExponentPart(Scanner& s, int* exponent) {
  bool negative = false;
  if (!s.Sign(&negative)) return false;
  std::string digits;
  const int count = s.Digits(&digits);
  if (count == 0 || count > kMaxExponentDigits) return false;
  int value = 0;
  for (char c : digits) value = value * 10 + (c - '0');
  *exponent = negative ? -value : value;
  return true;
}

// Leading zeros go, trailing zeros move into the exponent: one spelling per value.
void Normalize(DecimalNumber* n) {
  const std::size_t first = n->Digits.find_first_not_of('0');
  if (first == std::string::npos) {
    *n = DecimalNumber{};
    return;
  }
  n->Digits.erase(0, first);
  const std::size_t last = n->Digits.find_last_not_of('0');
  n->Exponent += static_cast<int>(n->Digits.size() - 1 - last);
  n->Digits.resize(last + 1);
}

// The power of ten just above the leading digit; numbers with a higher top are larger.
int Top(const DecimalNumber& n) { return n.Exponent + static_cast<int>(n.Digits.size()); }

int CompareMagnitude(const DecimalNumber& a, const DecimalNumber& b) {
  if (a.IsZero() || b.IsZero()) return (a.IsZero() ? 0 : 1) - (b.IsZero() ? 0 : 1);
  if (Top(a) != Top(b)) return Top(a) < Top(b) ? -1 : 1;
  // Same top: the digits stand aligned from the left; a prefix is the smaller value,
  // since neither has trailing zeros.
  const int c = a.Digits.compare(b.Digits);
  return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

// The digits of `n` from 10^low upwards, one per place, least significant first.
std::vector<int> Places(const DecimalNumber& n, int low, int width) {
  std::vector<int> places(static_cast<std::size_t>(width), 0);
  const int size = static_cast<int>(n.Digits.size());
  for (int i = 0; i < size; ++i) {
    const int place = n.Exponent - low + (size - 1 - i);
    places[static_cast<std::size_t>(place)] = n.Digits[static_cast<std::size_t>(i)] - '0';
  }
  return places;
}

DecimalNumber FromPlaces(const std::vector<int>& places, int low, bool negative) {
  DecimalNumber n;
  n.Negative = negative;
  n.Exponent = low;
  for (auto it = places.rbegin(); it != places.rend(); ++it) {
    n.Digits.push_back(static_cast<char>('0' + *it));
  }
  Normalize(&n);
  return n;
}

// |a| + |b| or |a| − |b| (the latter for |a| ≥ |b|), with the given sign.
DecimalNumber CombineMagnitudes(const DecimalNumber& a, const DecimalNumber& b, bool add,
                                bool negative) {
  const int low = std::min(a.Exponent, b.Exponent);
  const int width = std::max(Top(a), Top(b)) - low + 1;
  std::vector<int> x = Places(a, low, width);
  const std::vector<int> y = Places(b, low, width);
  int carry = 0;
  for (std::size_t i = 0; i < x.size(); ++i) {
    int v = add ? x[i] + y[i] + carry : x[i] - y[i] - carry;
    carry = 0;
    if (v >= 10) {
      v -= 10;
      carry = 1;
    } else if (v < 0) {
      v += 10;
      carry = 1;
    }
    x[i] = v;
  }
  return FromPlaces(x, low, negative);
}

std::string Scientific(const DecimalNumber& n) {
  std::string text = n.Negative ? "-" : "";
  text += n.Digits[0];
  if (n.Digits.size() > 1) {
    text += '.';
    text.append(n.Digits, 1);
  }
  const int exponent = Top(n) - 1;
  text += exponent < 0 ? "e-" : "e+";
  text += std::to_string(exponent < 0 ? -exponent : exponent);
  return text;
}

}  // namespace

bool ParseDecimal(std::string_view text, DecimalNumber* number) {
  Scanner s(text);
  while (s.Blank()) {
  }
  DecimalNumber n;
  bool negative = false;
  if (s.Sign(&negative)) n.Negative = negative;
  if (!IntegerPart(s, &n.Digits)) return false;
  int fraction = 0;
  if (s.Point()) {
    fraction = s.Digits(&n.Digits);
    if (fraction == 0) return false;
  }
  int exponent = 0;
  if (s.ExponentMark() && !ExponentPart(s, &exponent)) return false;
  while (s.Blank()) {
  }
  if (!s.AtEnd()) return false;
  n.Exponent = exponent - fraction;
  Normalize(&n);
  *number = std::move(n);
  return true;
}

int CompareDecimal(const DecimalNumber& a, const DecimalNumber& b) {
  if (a.Negative != b.Negative) return a.Negative ? -1 : 1;
  const int magnitude = CompareMagnitude(a, b);
  return a.Negative ? -magnitude : magnitude;
}

DecimalNumber SubtractDecimal(const DecimalNumber& a, const DecimalNumber& b) {
  if (b.IsZero()) return a;
  DecimalNumber minusB = b;
  minusB.Negative = !b.Negative;
  if (a.IsZero()) return minusB;
  if (a.Negative == minusB.Negative) return CombineMagnitudes(a, minusB, true, a.Negative);
  const int c = CompareMagnitude(a, minusB);
  if (c == 0) return DecimalNumber{};
  return c > 0 ? CombineMagnitudes(a, minusB, false, a.Negative)
               : CombineMagnitudes(minusB, a, false, minusB.Negative);
}

bool WithinTolerance(const DecimalNumber& a, const DecimalNumber& b,
                     const DecimalNumber& tolerance) {
  // Normalized numbers are equal exactly when their spellings are.
  if (tolerance.IsZero()) return a == b;
  DecimalNumber difference = SubtractDecimal(a, b);
  difference.Negative = false;
  return CompareMagnitude(difference, tolerance) <= 0;
}

std::string DecimalText(const DecimalNumber& n) {
  if (n.IsZero()) return "0";
  const int size = static_cast<int>(n.Digits.size());
  const int point = size + n.Exponent;  // digits before the point
  const std::size_t plainLength =
      n.Exponent >= 0 ? static_cast<std::size_t>(point)
                      : static_cast<std::size_t>(std::max(point, 1) + 1 + (-n.Exponent));
  if (plainLength > kMaxPlainLength) return Scientific(n);
  std::string text = n.Negative ? "-" : "";
  if (n.Exponent >= 0) {
    text += n.Digits;
    text.append(static_cast<std::size_t>(n.Exponent), '0');
  } else if (point > 0) {
    text.append(n.Digits, 0, static_cast<std::size_t>(point));
    text += '.';
    text.append(n.Digits, static_cast<std::size_t>(point));
  } else {
    text += "0.";
    text.append(static_cast<std::size_t>(-point), '0');
    text += n.Digits;
  }
  return text;
}

bool ParseTolerance(std::string_view text, DecimalNumber* tolerance) {
  static const DecimalNumber kLimit{false, "1", 15};
  DecimalNumber value;
  if (!ParseDecimal(text, &value) || value.Negative) return false;
  if (CompareDecimal(value, kLimit) > 0) return false;
  *tolerance = std::move(value);
  return true;
}

}  // namespace korvel
