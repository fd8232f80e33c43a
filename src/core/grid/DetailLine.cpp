#include "grid/DetailLine.h"

#include <charconv>

#include "platform/Codepage.h"

namespace korvel {
namespace {

// One text being walked: the byte position and the display column reached.
struct Walker {
  std::string_view text;
  std::size_t pos = 0;
  int column = 0;

  bool AtEnd() const { return pos >= text.size(); }
  bool DoubleByte() const { return !AtEnd() && IsLeadByte(text[pos]); }
  unsigned char Byte(std::size_t offset) const {
    return pos + offset < text.size() ? static_cast<unsigned char>(text[pos + offset]) : 0;
  }
  // Moves over `bytes` bytes (never past the end) and `columns` columns.
  void Advance(std::size_t bytes, int columns) {
    pos = pos + bytes < text.size() ? pos + bytes : text.size();
    column += columns;
  }
  void AdvanceCharacter() { DoubleByte() ? Advance(2, 2) : Advance(1, 1); }
};

// Aligned step: both walkers stand on the same column. True when the characters differ.
bool AlignedStep(Walker& l, Walker& r) {
  if (l.DoubleByte() && r.DoubleByte()) {
    bool differ = l.Byte(0) != r.Byte(0) || l.Byte(1) != r.Byte(1);
    l.Advance(2, 2);
    r.Advance(2, 2);
    return differ;
  }
  if (l.DoubleByte() || r.DoubleByte()) {
    l.DoubleByte() ? l.Advance(2, 2) : l.Advance(1, 1);
    r.DoubleByte() ? r.Advance(2, 2) : r.Advance(1, 1);
    return true;
  }
  bool differ = l.Byte(0) != r.Byte(0);
  l.Advance(1, 1);
  r.Advance(1, 1);
  return differ;
}

bool FirstCharactersDiffer(std::string_view left, std::string_view right) {
  Walker l{left}, r{right};
  if (l.DoubleByte() && r.DoubleByte()) return l.Byte(0) != r.Byte(0) || l.Byte(1) != r.Byte(1);
  return l.Byte(0) != r.Byte(0);
}

}  // namespace

bool IsNumericText(std::string_view text) {
  if (text.empty()) return false;
  std::size_t i = text[0] == '-' ? 1 : 0;
  int digits = 0;
  int points = 0;
  for (; i < text.size(); ++i) {
    char c = text[i];
    if (c >= '0' && c <= '9') {
      ++digits;
    } else if (c == '.') {
      ++points;
    } else {
      return false;
    }
  }
  return digits <= 10 && points <= 1;
}

double NumericValue(std::string_view text) {
  double value = 0;
  // from_chars does not read the process locale; a lone sign or point stays 0.
  std::from_chars(text.data(), text.data() + text.size(), value);
  return value;
}

std::vector<DiffBand> DetailDiffBands(std::string_view left, std::string_view right) {
  std::vector<DiffBand> bands;
  Walker l{left}, r{right};
  int aligned = 0;
  int runStart = 0;
  bool runDiffers = FirstCharactersDiffer(left, right);
  auto closeRun = [&](int end) {
    if (runDiffers && end > runStart) bands.push_back({runStart, end});
  };
  while (!l.AtEnd() || !r.AtEnd()) {
    bool differs = true;
    if (r.column < l.column) {
      r.AdvanceCharacter();
    } else if (l.column < r.column) {
      l.AdvanceCharacter();
    } else {
      aligned = l.column;
      differs = AlignedStep(l, r);
    }
    if (differs != runDiffers) {
      closeRun(aligned);
      runStart = aligned;
      runDiffers = differs;
    }
  }
  closeRun(l.column > r.column ? l.column : r.column);
  return bands;
}

int DetailScrollColumns(const std::vector<DiffBand>& bands) {
  if (bands.empty()) return 0;
  return bands.front().start > kDetailLead ? bands.front().start - kDetailLead : 0;
}

DetailPiece DetailTextFrom(std::string_view text, int columns) {
  Walker w{text};
  while (!w.AtEnd() && w.column < columns) w.AdvanceCharacter();
  return {text.substr(w.pos), w.AtEnd() ? columns : w.column};
}

}  // namespace korvel
