#include "export/XmlExportWriter.h"

#include <algorithm>
#include <cstring>

#include "export/ExportBuffer.h"
#include "export/Utf8Text.h"
#include "platform/Codepage.h"

namespace korvel {
namespace {

// Cell texts are escaped and turned into UTF-8 in one pass (Utf8Text). XML 1.0 has no form
// at all, not even a reference, for the control characters other than TAB, CR and LF, and
// one of them makes the whole workbook unreadable. Cells never hold them, but field names
// from a definition file and paths may: they become the code page's default character, as
// does 0x80, the control character U+0080.
const Utf8Text& CellText() {
  static const Utf8Text text({.ControlsAsQuestionMarks = true,
                              .Spellings = {{'"', "&quot;"},
                                            {'<', "&lt;"},
                                            {'>', "&gt;"},
                                            {'&', "&amp;"},
                                            {'\r', "&#13;"},
                                            {'\n', "&#10;"}}});
  return text;
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
  CellText();
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
  const Utf8Text& converter = CellText();
  std::size_t first = std::min(text.size(), kEscapeChunk);
  char* o = out_.Reserve(kCellFrame + converter.Bound(first));
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
    i = converter.Convert(text, i, std::min(text.size(), i + kEscapeChunk), o);
    if (i >= text.size()) break;
    out_.Commit(o);
    std::size_t chunk = std::min(text.size() - i, kEscapeChunk);
    o = out_.Reserve(kCellFrame + converter.Bound(chunk));
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
