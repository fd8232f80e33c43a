// The piece cut must land exactly where a walk from the first byte lands, whatever shortcut
// the reader takes; this compares it with that walk, written out plainly, on many inputs.

#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "io/TextFile.h"
#include "platform/Codepage.h"

namespace korvel {
namespace {

std::size_t Utf8Length(unsigned char c) {
  if (c >= 0xC0 && c <= 0xDF) return 2;
  if (c >= 0xE0 && c <= 0xEF) return 3;
  if (c >= 0xF0 && c <= 0xF7) return 4;
  if (c >= 0xF8 && c <= 0xFB) return 5;
  if (c >= 0xFC && c <= 0xFD) return 6;
  return 1;
}

std::size_t WalkFromStart(const std::vector<unsigned char>& b, int encoding) {
  std::size_t pos = 0;
  if (encoding == kEncodingUtf16) {
    auto unit = [&](std::size_t i) { return static_cast<unsigned>(b[i] | b[i + 1] << 8); };
    while (pos < 1014) {
      unsigned u = unit(pos);
      if (u >= 0xD800 && u <= 0xDFFF) {
        pos += 4;
      } else if (u == '"' && unit(pos + 2) == '"') {
        pos += 4;
      } else {
        pos += 2;
      }
      if (unit(pos) == '\n') pos += 2;
    }
    if (unit(pos) == '\t') {
      pos += 2;
    } else if (unit(pos) == '\r' || unit(pos) == '\n') {
      pos += 2;
      if (unit(pos) == '\n') pos += 2;
    }
    return std::min<std::size_t>(pos, 1024);
  }
  while (pos < 1018) {
    unsigned char c = b[pos];
    if (encoding == kEncodingUtf8) {
      pos += c == '"' ? (b[pos + 1] == '"' ? 2 : 1) : Utf8Length(c);
      if (b[pos] == '\n') pos += 1;
    } else if (IsLeadByte(c) || (c == '"' && b[pos + 1] == '"') || b[pos + 1] == '\n') {
      pos += 2;
    } else {
      pos += 1;
    }
  }
  if (b[pos] == '\t') {
    pos += 1;
  } else if (b[pos] == '\r' || b[pos] == '\n') {
    pos += 1;
    if (b[pos] == '\n') pos += 1;
  }
  return std::min<std::size_t>(pos, 1024);
}

TEST(PieceCutTest, LandsWhereTheWalkFromTheStartLands) {
  std::mt19937 rng(7);
  // Alphabets rich in the bytes the walk treats specially.
  const std::vector<unsigned char> sjis = {'a',  '"',  '\n', '\r', '\t', 0x81, 0x95, 0x5C,
                                           0xE0, 0xFC, 0x40, 0xA1, 0x7C, 0x9F, 0x22};
  const std::vector<unsigned char> utf8 = {'a',  '"',  '\n', '\r', '\t', 0xE3, 0x81, 0x82,
                                           0xC3, 0xA9, 0xF0, 0x9F, 0xF8, 0xFC, 0xBF};
  const std::vector<unsigned char> utf16 = {'a',  '"',  '\n', '\r', '\t', 0x00, 0xD8,
                                            0xDC, 0x30, 0x42, 0xDF, 0x00, 0x00, 0x00};
  for (int encoding : {kEncodingSjis, kEncodingUtf8, kEncodingUtf16}) {
    const auto& alphabet = encoding == kEncodingSjis   ? sjis
                           : encoding == kEncodingUtf8 ? utf8
                                                       : utf16;
    for (int round = 0; round < 20000; ++round) {
      std::vector<unsigned char> b(1040, 0);
      // Some rounds are long runs of one byte, which defeat local shortcuts.
      unsigned char fill = alphabet[rng() % alphabet.size()];
      bool runs = round % 5 == 0;
      for (std::size_t i = 0; i < 1024; ++i) {
        b[i] = runs && rng() % 50 != 0 ? fill : alphabet[rng() % alphabet.size()];
      }
      ASSERT_EQ(FindPieceCut(b.data(), 1024, encoding), WalkFromStart(b, encoding))
          << "encoding " << encoding << " round " << round;
    }
  }
}

}  // namespace
}  // namespace korvel
