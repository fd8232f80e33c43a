#pragma once
// XmlExportWriter: writes a comparison result as an XML Spreadsheet 2003 workbook, UTF-8
// without byte-order mark, every line ending with CR LF, in one of three layouts.
//
// The writer streams: each cell line goes to the ExportBuffer as it is made, so memory
// stays the same whatever the number of pairs. It judges colours and marks itself, by a
// plain byte comparison of the two values of a field.
//
// A whole workbook is WriteWorkbookHeader, the layout's worksheet(s) (WriteXmlPerSide for
// the left and then the right side, or WriteXmlAlternateFields, or WriteXmlAlternateRows),
// then WriteWorkbookEnd. Write failures are left to the ExportBuffer to keep; the layout
// calls stop early once it reports one.

#include <string>
#include <string_view>

#include "export/ExportRows.h"

namespace korvel {

class ExportBuffer;

class XmlExportWriter {
 public:
  // Cell styles: 0 none, else 1 to 6 for the header's styles s21 to s26.
  static constexpr int kStyleHeader = 1;       // s21: every header-row cell
  static constexpr int kStyleLeftDiff = 2;     // s22
  static constexpr int kStyleRightDiff = 3;    // s23
  static constexpr int kStyleNotCompared = 4;  // s24
  static constexpr int kStyleNoRecord = 5;     // s25: the value of a side without record
  static constexpr int kStyleKey = 6;          // s26

  // Neither is owned; both must outlive the writer. The source's field list is read now.
  XmlExportWriter(const ExportSource& source, ExportBuffer& out);

  // Writes CP932 `text` as UTF-8, then CR LF when `endLine`. No escaping.
  void WriteXmlLine(std::string_view text, bool endLine);
  // One cell line: the escaped CP932 `text` as UTF-8, of type Number when `number`, else
  // String, with `style` (0 to 6, see above).
  void WriteXmlCell(std::string_view text, bool number, int style);

  void WriteWorkbookHeader();
  // `sheetName` is CP932.
  void WriteWorksheetStart(std::string_view sheetName, int rowCount, int columnCount);
  void WriteWorksheetEnd();
  void WriteWorkbookEnd();

  // The worksheet "Left" (the left side) or "Right" (the right side) of the per-sheet layout.
  void WriteXmlPerSide(Side side);
  // The worksheet of the alternating-per-field layout.
  void WriteXmlAlternateFields();
  // The worksheet of the alternating-rows layout.
  void WriteXmlAlternateRows();

 private:
  void WriteRowStart();
  void WriteRowEnd();
  // "No" and "相違" in the header style.
  void WriteHeaderLead();
  // The pair's number and status text, unstyled.
  void WriteRowLead(int index, const RecordPair& pair);
  // The style of one side's value cell in the per-sheet and alternating-rows layouts.
  static int SideStyle(const ResultField& field, const RecordPair& pair, std::string_view left,
                       std::string_view right, Side side);
  void WriteSideValues(const RecordPair& pair, Side side);

  ExportRows rows_;
  ExportBuffer& out_;
  std::string textNo_;
  std::string textDiff_;
  std::string textFile_;
  std::string textLeftSide_;
  std::string textRightSide_;
  std::string markNotCompared_;
  std::string markDiffer_;
  std::string markEqual_;
};

}  // namespace korvel
