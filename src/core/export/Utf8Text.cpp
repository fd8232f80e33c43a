#include "export/Utf8Text.h"

#include <algorithm>
#include <cstring>
#include <memory>

#include "export/ExportBuffer.h"
#include "platform/Codepage.h"

namespace korvel {

struct Utf8Text::SharedTables {
  // Every byte as a character of its own; for a lead byte this is its form when the text
  // ends right after it, or when what follows cannot be its trail byte.
  std::array<SinglePiece, 256> single{};
  std::array<std::uint8_t, 256> leadIndex{};
  // [leadIndex * 256 + trail]
  std::array<PairPiece, kLeadCount * 256> pairs{};
};

namespace {

// Input bytes converted per reservation of an export buffer; their worst case fits its block
// with room to spare.
constexpr std::size_t kChunk = 8192;

template <typename Piece>
void EncodeUtf8(char16_t u, Piece& piece) {
  if (u < 0x80) {
    piece.bytes[0] = static_cast<char>(u);
    piece.length = 1;
  } else if (u < 0x800) {
    piece.bytes[0] = static_cast<char>(0xC0 | u >> 6);
    piece.bytes[1] = static_cast<char>(0x80 | (u & 0x3F));
    piece.length = 2;
  } else {
    piece.bytes[0] = static_cast<char>(0xE0 | u >> 12);
    piece.bytes[1] = static_cast<char>(0x80 | (u >> 6 & 0x3F));
    piece.bytes[2] = static_cast<char>(0x80 | (u & 0x3F));
    piece.length = 3;
  }
}

void SetPiece(Utf8Text::SinglePiece& piece, std::string_view text) {
  std::memcpy(piece.bytes, text.data(), text.size());
  piece.length = static_cast<std::uint8_t>(text.size());
}

std::unique_ptr<Utf8Text::SharedTables> BuildSharedTables() {
  auto t = std::make_unique<Utf8Text::SharedTables>();
  // One conversion of every single byte and every lead-trail pair keeps the result
  // identical to the code page's own conversion of whole texts.
  std::string singles;
  std::string doubles;
  int lead = 0;
  for (unsigned c = 0; c < 256; ++c) {
    if (IsLeadByte(static_cast<unsigned char>(c))) {
      t->leadIndex[c] = static_cast<std::uint8_t>(lead++);
      for (unsigned trail = 0; trail < 256; ++trail) {
        doubles.push_back(static_cast<char>(c));
        doubles.push_back(static_cast<char>(trail));
      }
    } else {
      t->leadIndex[c] = Utf8Text::kNotLead;
      singles.push_back(static_cast<char>(c));
    }
  }
  const std::u16string singleUnits = Cp932ToUtf16(singles);
  const std::u16string pairUnits = Cp932ToUtf16(doubles);
  const std::u16string lone = Cp932ToUtf16(std::string_view("\x81", 1));
  std::size_t next = 0;
  for (unsigned c = 0; c < 256; ++c) {
    EncodeUtf8(t->leadIndex[c] == Utf8Text::kNotLead ? singleUnits[next++] : lone[0], t->single[c]);
  }
  // A lead byte before a byte that cannot be a trail byte converts as two characters; such
  // pairs are never looked up (the lead byte is written alone), so only the true pairs take
  // an entry.
  std::size_t unit = 0;
  for (std::size_t i = 0; i < t->pairs.size() && unit < pairUnits.size(); ++i) {
    if (IsTrailByte(static_cast<unsigned char>(i % 256))) {
      EncodeUtf8(pairUnits[unit++], t->pairs[i]);
    } else {
      unit += 2;
    }
  }
  return t;
}

const Utf8Text::SharedTables& Shared() {
  static const std::unique_ptr<Utf8Text::SharedTables> tables = BuildSharedTables();
  return *tables;
}

}  // namespace

Utf8Text::Utf8Text(const Utf8TextOptions& options) : single_(Shared().single), shared_(Shared()) {
  if (options.ControlsAsQuestionMarks) {
    for (unsigned c = 0; c < 0x20; ++c) {
      if (c != '\t' && c != '\r' && c != '\n') SetPiece(single_[c], "?");
    }
    SetPiece(single_[0x80], "?");
  }
  for (const auto& [byte, text] : options.Spellings) {
    SetPiece(single_[static_cast<unsigned char>(byte)], text.substr(0, kMaxSpelling));
  }
  for (const SinglePiece& piece : single_) {
    maxGrowth_ = std::max<std::size_t>(maxGrowth_, piece.length);
  }
}

std::size_t Utf8Text::Convert(std::string_view text, std::size_t i, std::size_t stop,
                              char*& out) const {
  const SharedTables& t = shared_;
  const auto* p = reinterpret_cast<const unsigned char*>(text.data());
  const std::size_t n = text.size();
  char* o = out;
  while (i < stop) {
    const unsigned char c = p[i];
    const std::uint8_t lead = t.leadIndex[c];
    if (lead != kNotLead && i + 1 < n && IsTrailByte(p[i + 1])) {
      const PairPiece& piece = t.pairs[static_cast<std::size_t>(lead) * 256 + p[i + 1]];
      std::memcpy(o, piece.bytes, sizeof piece.bytes);
      o += piece.length;
      i += 2;
    } else {
      const SinglePiece& piece = single_[c];
      std::memcpy(o, piece.bytes, sizeof piece.bytes);
      o += piece.length;
      ++i;
    }
  }
  out = o;
  return i;
}

void Utf8Text::Append(std::string_view text, std::string& out) const {
  const std::size_t start = out.size();
  out.resize(start + Bound(text.size()));
  char* o = out.data() + start;
  Convert(text, 0, text.size(), o);
  out.resize(static_cast<std::size_t>(o - out.data()));
}

void Utf8Text::Append(std::string_view text, ExportBuffer& out) const {
  std::size_t i = 0;
  while (i < text.size()) {
    const std::size_t stop = std::min(text.size(), i + kChunk);
    char* o = out.Reserve(Bound(stop - i));
    i = Convert(text, i, stop, o);
    out.Commit(o);
  }
}

}  // namespace korvel
