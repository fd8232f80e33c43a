#include "export/XmlExportWriter.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <memory>

#include "export/ExportBuffer.h"
#include "platform/Codepage.h"

namespace korvel {
namespace {

// Cell texts are escaped and turned into UTF-8 in one pass over tables made once from the
// code-page conversion, instead of converting every cell through a temporary string: a
// result of a million pairs has tens of millions of cells.
struct SinglePiece {
  char bytes[7];  // the escaped UTF-8 form: a character or an entity reference
  std::uint8_t length;
};
struct DoublePiece {
  char bytes[3];
  std::uint8_t length;
};

constexpr int kLeadCount = 60;  // 0x81-0x9F and 0xE0-0xFC
constexpr std::uint8_t kNotLead = 0xFF;

struct XmlTables {
  // Every byte as a character of its own; for a lead byte this is its form when the text
  // ends right after it.
  std::array<SinglePiece, 256> single{};
  std::array<std::uint8_t, 256> leadIndex{};
  // [leadIndex * 256 + trail]
  std::array<DoublePiece, kLeadCount * 256> pairs{};
};

// The longest output of one input byte ("&quot;"), and the bytes a piece copy may write
// beyond its length.
constexpr std::size_t kMaxGrowth = 6;
constexpr std::size_t kCopySlack = 8;

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

void SetEntity(SinglePiece& piece, std::string_view entity) {
  std::memcpy(piece.bytes, entity.data(), entity.size());
  piece.length = static_cast<std::uint8_t>(entity.size());
}

std::unique_ptr<XmlTables> BuildXmlTables() {
  auto t = std::make_unique<XmlTables>();
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
      t->leadIndex[c] = kNotLead;
      singles.push_back(static_cast<char>(c));
    }
  }
  std::u16string singleUnits = Cp932ToUtf16(singles);
  std::u16string pairUnits = Cp932ToUtf16(doubles);
  std::size_t next = 0;
  for (unsigned c = 0; c < 256; ++c) {
    if (t->leadIndex[c] == kNotLead) EncodeUtf8(singleUnits[next++], t->single[c]);
  }
  // A lead byte that ends the text converts as one broken character.
  std::u16string lone = Cp932ToUtf16(std::string_view("\x81", 1));
  for (unsigned c = 0; c < 256; ++c) {
    if (t->leadIndex[c] != kNotLead) EncodeUtf8(lone[0], t->single[c]);
  }
  // A lead byte before a byte that cannot be a trail byte converts as two characters; such
  // pairs are never looked up (EscapeCharacters writes the lead byte alone), so only the
  // true pairs take an entry.
  std::size_t unit = 0;
  for (std::size_t i = 0; i < t->pairs.size() && unit < pairUnits.size(); ++i) {
    if (IsTrailByte(static_cast<unsigned char>(i % 256))) {
      EncodeUtf8(pairUnits[unit++], t->pairs[i]);
    } else {
      unit += 2;
    }
  }
  SetEntity(t->single['"'], "&quot;");
  SetEntity(t->single['<'], "&lt;");
  SetEntity(t->single['>'], "&gt;");
  SetEntity(t->single['&'], "&amp;");
  SetEntity(t->single['\r'], "&#13;");
  SetEntity(t->single['\n'], "&#10;");
  // XML 1.0 has no form at all, not even a reference, for the other control characters,
  // and one of them makes the whole workbook unreadable. Cells never hold them, but field
  // names from a definition file and paths may: they become the code page's default
  // character.
  for (unsigned c = 0; c < 0x20; ++c) {
    if (c != '\t' && c != '\r' && c != '\n') SetEntity(t->single[c], "?");
  }
  // 0x80 is the control character U+0080, which a workbook should not hold either.
  SetEntity(t->single[0x80], "?");
  return t;
}

const XmlTables& Tables() {
  static const std::unique_ptr<XmlTables> tables = BuildXmlTables();
  return *tables;
}

// Writes the escaped UTF-8 form of the characters of `text` that begin at `i` and before
// `stop` (a double-byte character beginning just before `stop` is written whole) and
// returns where it stopped. `out` needs (stop - i + 1) * kMaxGrowth + kCopySlack bytes.
std::size_t EscapeCharacters(const XmlTables& t, std::string_view text, std::size_t i,
                             std::size_t stop, char*& out) {
  const auto* p = reinterpret_cast<const unsigned char*>(text.data());
  const std::size_t n = text.size();
  char* o = out;
  while (i < stop) {
    unsigned char c = p[i];
    std::uint8_t lead = t.leadIndex[c];
    if (lead != kNotLead && i + 1 < n && IsTrailByte(p[i + 1])) {
      const DoublePiece& piece = t.pairs[static_cast<std::size_t>(lead) * 256 + p[i + 1]];
      std::memcpy(o, piece.bytes, sizeof piece.bytes);
      o += piece.length;
      i += 2;
    } else {
      const SinglePiece& piece = t.single[c];
      std::memcpy(o, piece.bytes, sizeof piece.bytes);
      o += piece.length;
      ++i;
    }
  }
  out = o;
  return i;
}

bool IsAscii(std::string_view text) {
  return std::all_of(text.begin(), text.end(),
                     [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

char* Put(char* o, std::string_view text) {
  std::memcpy(o, text.data(), text.size());
  return o + text.size();
}

// Input bytes escaped per reservation; their worst case fits the buffer with room to spare.
constexpr std::size_t kEscapeChunk = 8192;
constexpr std::size_t kCellFrame = 96;  // more than the longest cell line without its text

constexpr std::string_view kNewline = "\r\n";

}  // namespace

XmlExportWriter::XmlExportWriter(const ExportSource& source, ExportBuffer& out)
    : rows_(source),
      out_(out),
      textNo_("No"),
      textDiff_(Sjis("相違")),
      textFile_(Sjis("ファイル")),
      textLeftSide_(Sjis("L側")),
      textRightSide_(Sjis("R側")),
      markNotCompared_(Sjis("未")),
      markDiffer_(Sjis("×")),
      markEqual_(Sjis("○")) {
  Tables();
}

void XmlExportWriter::WriteXmlLine(std::string_view text, bool endLine) {
  if (IsAscii(text)) {
    out_.Append(text);
  } else {
    out_.Append(Cp932ToUtf8(text));
  }
  if (endLine) out_.AppendNewline();
}

void XmlExportWriter::WriteXmlCell(std::string_view text, bool number, int style) {
  const XmlTables& t = Tables();
  std::size_t first = std::min(text.size(), kEscapeChunk);
  char* o = out_.Reserve(kCellFrame + (first + 1) * kMaxGrowth + kCopySlack);
  o = Put(o, "    ");
  if (style == 0) {
    o = Put(o, "<Cell>");
  } else {
    o = Put(o, "<Cell ss:StyleID=\"s2");
    *o++ = static_cast<char>('0' + style);
    o = Put(o, "\">");
  }
  o = Put(o, number ? "<Data ss:Type=\"Number\">" : "<Data ss:Type=\"String\">");
  std::size_t i = 0;
  for (;;) {
    i = EscapeCharacters(t, text, i, std::min(text.size(), i + kEscapeChunk), o);
    if (i >= text.size()) break;
    out_.Commit(o);
    std::size_t chunk = std::min(text.size() - i, kEscapeChunk);
    o = out_.Reserve(kCellFrame + (chunk + 1) * kMaxGrowth + kCopySlack);
  }
  o = Put(o, "</Data></Cell>");
  o = Put(o, kNewline);
  out_.Commit(o);
}

void XmlExportWriter::WriteWorkbookHeader() {
  static constexpr std::string_view kLines[] = {
      "<?xml version=\"1.0\"?>",
      "<?mso-application progid=\"Excel.Sheet\"?>",
      "<Workbook xmlns=\"urn:schemas-microsoft-com:office:spreadsheet\"",
      " xmlns:o=\"urn:schemas-microsoft-com:office:office\"",
      " xmlns:x=\"urn:schemas-microsoft-com:office:excel\"",
      " xmlns:ss=\"urn:schemas-microsoft-com:office:spreadsheet\"",
      " xmlns:html=\"http://www.w3.org/TR/REC-html40\">",
      " <ExcelWorkbook xmlns=\"urn:schemas-microsoft-com:office:excel\">",
      "  <WindowHeight>9345</WindowHeight>",
      "  <WindowWidth>16035</WindowWidth>",
      "  <WindowTopX>0</WindowTopX>",
      "  <WindowTopY>30</WindowTopY>",
      "  <ProtectStructure>False</ProtectStructure>",
      "  <ProtectWindows>False</ProtectWindows>",
      " </ExcelWorkbook>",
      " <Styles>",
      "  <Style ss:ID=\"Default\" ss:Name=\"Normal\">",
      "    <Alignment ss:Vertical=\"Center\"/>",
      "    <Borders/>",
      "   <Font ss:FontName=\"ＭＳ Ｐゴシック\" x:CharSet=\"128\" x:Family=\"Modern\" "
      "ss:Size=\"11\"/>",
      "   <Interior/>",
      "   <NumberFormat/>",
      "   <Protection/>",
      "  </Style>",
  };
  static constexpr std::string_view kStyleColours[] = {"#7D7D7D", "#F7FB6A", "#82E6E6",
                                                       "#BBBBBB", "#808080", "#AAFFFF"};
  for (std::string_view line : kLines) WriteXmlLine(Sjis(line), true);
  for (int s = 0; s < 6; ++s) {
    std::string id = "  <Style ss:ID=\"s2" + std::to_string(s + 1) + "\">";
    WriteXmlLine(id, true);
    std::string colour =
        "   <Interior ss:Color=\"" + std::string(kStyleColours[s]) + "\" ss:Pattern=\"Solid\"/>";
    WriteXmlLine(colour, true);
    WriteXmlLine("  </Style>", true);
  }
  WriteXmlLine(" </Styles>", true);
}

void XmlExportWriter::WriteWorksheetStart(std::string_view sheetName, int rowCount,
                                          int columnCount) {
  WriteXmlLine(" <Worksheet ss:Name=\"" + std::string(sheetName) + "\">", true);
  WriteXmlLine("  <Table ss:ExpandedColumnCount=\"" + std::to_string(columnCount) + "\"", true);
  WriteXmlLine("         ss:ExpandedRowCount=\"" + std::to_string(rowCount) + "\"", true);
  WriteXmlLine("          x:FullColumns=\"1\"", true);
  WriteXmlLine("          x:FullRows=\"1\"", true);
  WriteXmlLine("         ss:DefaultColumnWidth=\"54\"", true);
  WriteXmlLine("         ss:DefaultRowHeight=\"13.5\"> ", true);
}

void XmlExportWriter::WriteWorksheetEnd() {
  static constexpr std::string_view kLines[] = {
      "  </Table>",
      "  <WorksheetOptions xmlns=\"urn:schemas-microsoft-com:office:excel\">",
      "   <PageSetup>",
      "    <Header x:Margin=\"0.51200000000000001\"/>",
      "    <Footer x:Margin=\"0.51200000000000001\"/>",
      "    <PageMargins x:Bottom=\"0.98399999999999999\"",
      "                 x:Left=\"0.78700000000000003\"",
      "                 x:Right=\"0.78700000000000003\"",
      "                 x:Top=\"0.98399999999999999\"/>",
      "   </PageSetup>",
      "   <Selected/>",
      "   <ProtectObjects>False</ProtectObjects>",
      "   <ProtectScenarios>False</ProtectScenarios>",
      "  </WorksheetOptions>",
      " </Worksheet>",
  };
  for (std::string_view line : kLines) WriteXmlLine(line, true);
}

void XmlExportWriter::WriteWorkbookEnd() { WriteXmlLine("</Workbook>", true); }

void XmlExportWriter::WriteRowStart() { out_.Append("   <Row>\r\n"); }

void XmlExportWriter::WriteRowEnd() { out_.Append("   </Row>\r\n"); }

void XmlExportWriter::WriteHeaderLead() {
  WriteXmlCell(textNo_, false, kStyleHeader);
  WriteXmlCell(textDiff_, false, kStyleHeader);
}

void XmlExportWriter::WriteRowLead(int index, const RecordPair& pair) {
  ExportRows::TextBuffer number;
  ExportRows::TextBuffer status;
  WriteXmlCell(ExportRows::Number(index + 1, number), true, 0);
  WriteXmlCell(rows_.StatusText(pair.Status, status), false, 0);
}

int XmlExportWriter::SideStyle(const ResultField& field, const RecordPair& pair,
                               std::string_view left, std::string_view right, Side side) {
  if (field.NotCompared) return kStyleNotCompared;
  int style = 0;
  if (field.CellsDifferInExport(left, right))
    style = side == Side::kLeft ? kStyleLeftDiff : kStyleRightDiff;
  if (pair.Row(side) == -1) style = kStyleNoRecord;
  return style;
}

void XmlExportWriter::WriteSideValues(const RecordPair& pair, Side side) {
  for (int k = 0; k < rows_.KeyCount(); ++k) {
    WriteXmlCell(rows_.KeyValue(pair, rows_.Field(k)), false, kStyleKey);
  }
  for (int j = 0; j < rows_.FieldCount(); ++j) {
    const ResultField& field = rows_.Field(j);
    std::string_view left = rows_.Value(pair, Side::kLeft, field);
    std::string_view right = rows_.Value(pair, Side::kRight, field);
    WriteXmlCell(side == Side::kLeft ? left : right, false,
                 SideStyle(field, pair, left, right, side));
  }
}

void XmlExportWriter::WriteXmlPerSide(Side side) {
  const int pairs = rows_.PairCount();
  const int fields = rows_.FieldCount();
  const int keys = rows_.KeyCount();
  WriteWorksheetStart(side == Side::kLeft ? "Left" : "Right", pairs + 1, keys + fields + 2);
  WriteRowStart();
  WriteHeaderLead();
  for (int k = 0; k < keys; ++k) WriteXmlCell(rows_.Field(k).Name, false, kStyleHeader);
  for (int j = 0; j < fields; ++j) WriteXmlCell(rows_.Field(j).Name, false, kStyleHeader);
  WriteRowEnd();
  for (int i = 0; i < pairs && !out_.Failed(); ++i) {
    RecordPair pair = rows_.Pair(i);
    WriteRowStart();
    WriteRowLead(i, pair);
    WriteSideValues(pair, side);
    WriteRowEnd();
  }
  WriteWorksheetEnd();
}

void XmlExportWriter::WriteXmlAlternateFields() {
  const int pairs = rows_.PairCount();
  const int fields = rows_.FieldCount();
  const int keys = rows_.KeyCount();
  WriteWorksheetStart("Sheet1", pairs + 1, 3 * fields - 2 * keys + 2);
  WriteRowStart();
  WriteHeaderLead();
  for (int k = 0; k < keys; ++k) WriteXmlCell(rows_.Field(k).Name, false, kStyleHeader);
  for (int j = keys; j < fields; ++j) {
    WriteXmlCell(rows_.Field(j).Name, false, kStyleHeader);
    WriteXmlCell(textLeftSide_, false, kStyleHeader);
    WriteXmlCell(textRightSide_, false, kStyleHeader);
  }
  WriteRowEnd();
  for (int i = 0; i < pairs && !out_.Failed(); ++i) {
    RecordPair pair = rows_.Pair(i);
    WriteRowStart();
    WriteRowLead(i, pair);
    for (int k = 0; k < keys; ++k) {
      WriteXmlCell(rows_.KeyValue(pair, rows_.Field(k)), false, 0);
    }
    for (int j = keys; j < fields; ++j) {
      const ResultField& field = rows_.Field(j);
      std::string_view left = rows_.Value(pair, Side::kLeft, field);
      std::string_view right = rows_.Value(pair, Side::kRight, field);
      std::string_view mark = markEqual_;
      int style = 0;
      if (field.NotCompared) {
        mark = markNotCompared_;
        style = kStyleNotCompared;
      } else if (field.CellsDifferInExport(left, right)) {
        mark = markDiffer_;
        style = j % 2 == 1 ? kStyleLeftDiff : kStyleRightDiff;
      }
      WriteXmlCell(mark, false, style);
      WriteXmlCell(left, false, style);
      WriteXmlCell(right, false, style);
    }
    WriteRowEnd();
  }
  WriteWorksheetEnd();
}

void XmlExportWriter::WriteXmlAlternateRows() {
  const int pairs = rows_.PairCount();
  const int fields = rows_.FieldCount();
  const int keys = rows_.KeyCount();
  WriteWorksheetStart("Sheet1", 2 * pairs + 1, keys + fields + 3);
  WriteRowStart();
  WriteHeaderLead();
  WriteXmlCell(textFile_, false, kStyleHeader);
  for (int k = 0; k < keys; ++k) WriteXmlCell(rows_.Field(k).Name, false, kStyleHeader);
  for (int j = 0; j < fields; ++j) WriteXmlCell(rows_.Field(j).Name, false, kStyleHeader);
  WriteRowEnd();
  for (int i = 0; i < pairs && !out_.Failed(); ++i) {
    RecordPair pair = rows_.Pair(i);
    for (Side side : {Side::kLeft, Side::kRight}) {
      WriteRowStart();
      WriteRowLead(i, pair);
      WriteXmlCell(side == Side::kLeft ? "L" : "R", false, 0);
      WriteSideValues(pair, side);
      WriteRowEnd();
    }
  }
  WriteWorksheetEnd();
}

}  // namespace korvel
