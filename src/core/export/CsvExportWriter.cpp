#include "export/CsvExportWriter.h"

#include <array>
#include <cstdint>

#include "export/ExportBuffer.h"
#include "platform/Codepage.h"

namespace korvel {
namespace {

enum ByteClass : std::uint8_t { kPlain = 0, kNeedsQuotes = 1, kLead = 2 };

constexpr std::array<std::uint8_t, 256> MakeByteClasses() {
  std::array<std::uint8_t, 256> classes{};
  for (unsigned c = 0; c < 256; ++c) {
    if (IsLeadByte(static_cast<unsigned char>(c))) classes[c] = kLead;
  }
  classes[','] = classes['\r'] = classes['\n'] = classes['"'] = kNeedsQuotes;
  return classes;
}

constexpr std::array<std::uint8_t, 256> kByteClasses = MakeByteClasses();

bool NeedsQuotes(std::string_view text) {
  const auto* p = reinterpret_cast<const unsigned char*>(text.data());
  const std::size_t n = text.size();
  for (std::size_t i = 0; i < n;) {
    std::uint8_t kind = kByteClasses[p[i]];
    if (kind == kPlain) {
      ++i;
    } else if (kind == kLead) {
      i += 2;
    } else {
      return true;
    }
  }
  return false;
}

}  // namespace

CsvExportWriter::CsvExportWriter(const ExportSource& source, ExportBuffer& out)
    : rows_(source),
      out_(out),
      textNo_("No"),
      textDiff_(Sjis("相違")),
      textFile_(Sjis("ファイル")),
      textLeftSide_(Sjis("L側")),
      textRightSide_(Sjis("R側")),
      textDifference_(Sjis("差異")),
      markNotCompared_(Sjis("未")),
      markDiffer_(Sjis("×")),
      markEqual_(Sjis("○")) {}

void CsvExportWriter::WriteCsvCell(std::string_view text) {
  if (cellWritten_) out_.Append(',');
  if (NeedsQuotes(text)) {
    WriteQuoted(text);
  } else {
    out_.Append(text);
  }
  cellWritten_ = true;
}

void CsvExportWriter::WriteQuoted(std::string_view text) {
  out_.Append('"');
  // Copies up to and including each single-byte double quote, then doubles it.
  const auto* p = reinterpret_cast<const unsigned char*>(text.data());
  const std::size_t n = text.size();
  std::size_t start = 0;
  for (std::size_t i = 0; i < n;) {
    if (IsLeadByte(p[i])) {
      i += 2;
    } else if (p[i] == '"') {
      out_.Append(text.substr(start, i + 1 - start));
      out_.Append('"');
      start = ++i;
    } else {
      ++i;
    }
  }
  if (start < n) out_.Append(text.substr(start));
  out_.Append('"');
}

void CsvExportWriter::EndCsvLine() {
  out_.AppendNewline();
  cellWritten_ = false;
}

void CsvExportWriter::WriteLineLead(int index, const RecordPair& pair, bool spacedStatus) {
  ExportRows::TextBuffer number;
  ExportRows::TextBuffer status;
  WriteCsvCell(ExportRows::Number(index + 1, number));
  WriteCsvCell(rows_.StatusText(pair.Status, status, spacedStatus));
}

void CsvExportWriter::WriteKeyValues(const RecordPair& pair) {
  for (int k = 0; k < rows_.KeyCount(); ++k) {
    WriteCsvCell(rows_.KeyValue(pair, rows_.Field(k)));
  }
}

void CsvExportWriter::WriteCsvPerSide(Side side) {
  const int fields = rows_.FieldCount();
  WriteCsvCell(textNo_);
  WriteCsvCell(textDiff_);
  for (int k = 0; k < rows_.KeyCount(); ++k) WriteCsvCell(rows_.Field(k).Name);
  for (int j = 0; j < fields; ++j) {
    WriteCsvCell(rows_.Field(j).Name);
    WriteCsvCell(textDifference_);
  }
  EndCsvLine();
  for (int i = 0; i < rows_.PairCount() && !out_.Failed(); ++i) {
    RecordPair pair = rows_.Pair(i);
    WriteLineLead(i, pair, false);
    WriteKeyValues(pair);
    for (int j = 0; j < fields; ++j) {
      const ResultField& field = rows_.Field(j);
      std::string_view left = rows_.Value(pair, Side::kLeft, field);
      std::string_view right = rows_.Value(pair, Side::kRight, field);
      WriteCsvCell(side == Side::kLeft ? left : right);
      WriteCsvCell(Mark(field, left, right));
    }
    EndCsvLine();
  }
}

void CsvExportWriter::WriteCsvAlternateFields() {
  const int fields = rows_.FieldCount();
  const int keys = rows_.KeyCount();
  WriteCsvCell(textNo_);
  WriteCsvCell(textDiff_);
  for (int k = 0; k < keys; ++k) WriteCsvCell(rows_.Field(k).Name);
  for (int j = keys; j < fields; ++j) {
    WriteCsvCell(rows_.Field(j).Name);
    WriteCsvCell(textLeftSide_);
    WriteCsvCell(textRightSide_);
  }
  EndCsvLine();
  for (int i = 0; i < rows_.PairCount() && !out_.Failed(); ++i) {
    RecordPair pair = rows_.Pair(i);
    WriteLineLead(i, pair, true);
    WriteKeyValues(pair);
    for (int j = keys; j < fields; ++j) {
      const ResultField& field = rows_.Field(j);
      std::string_view left = rows_.Value(pair, Side::kLeft, field);
      std::string_view right = rows_.Value(pair, Side::kRight, field);
      WriteCsvCell(field.NotCompared ? std::string_view(markNotCompared_)
                                     : Mark(field, left, right));
      WriteCsvCell(left);
      WriteCsvCell(right);
    }
    EndCsvLine();
  }
}

void CsvExportWriter::WriteCsvAlternateRows() {
  const int fields = rows_.FieldCount();
  WriteCsvCell(textNo_);
  WriteCsvCell(textDiff_);
  WriteCsvCell(textFile_);
  for (int k = 0; k < rows_.KeyCount(); ++k) WriteCsvCell(rows_.Field(k).Name);
  for (int j = 0; j < fields; ++j) WriteCsvCell(rows_.Field(j).Name);
  EndCsvLine();
  for (int i = 0; i < rows_.PairCount() && !out_.Failed(); ++i) {
    RecordPair pair = rows_.Pair(i);
    // The left values, the right values, then the marks.
    for (int line = 0; line < 3; ++line) {
      WriteLineLead(i, pair, false);
      WriteCsvCell(line == 0   ? std::string_view("L")
                   : line == 1 ? std::string_view("R")
                               : std::string_view(textDiff_));
      WriteKeyValues(pair);
      for (int j = 0; j < fields; ++j) {
        const ResultField& field = rows_.Field(j);
        std::string_view left = rows_.Value(pair, Side::kLeft, field);
        std::string_view right = rows_.Value(pair, Side::kRight, field);
        WriteCsvCell(line == 0 ? left : line == 1 ? right : Mark(field, left, right));
      }
      EndCsvLine();
    }
  }
}

}  // namespace korvel
