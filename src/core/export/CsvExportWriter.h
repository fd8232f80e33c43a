#pragma once
// CsvExportWriter: writes a comparison result as comma-separated text in one of three
// layouts: CP932 as it is, no byte-order mark, every line (the last too) ending with CR LF.
//
// A cell is put in double quotes when it holds a single-byte comma, CR, LF or double quote
// (inner double quotes doubled); bytes of double-byte characters never count. Like the
// XML writer it streams, judges the marks "×" and "○" itself by a plain byte comparison,
// leaves write failures to the ExportBuffer and stops its rows early once one happened.
//
// For the per-sheet layout the caller writes each side's path line before that side's
// block (WriteCsvCell, EndCsvLine, WriteCsvPerSide).

#include <string>
#include <string_view>

#include "export/ExportRows.h"

namespace korvel {

class ExportBuffer;

class CsvExportWriter {
 public:
  // Neither is owned; both must outlive the writer. The source's field list is read now.
  // The writer starts at the beginning of a line.
  CsvExportWriter(const ExportSource& source, ExportBuffer& out);

  // One cell of CP932 `text`, after a comma unless it is the first of its line.
  void WriteCsvCell(std::string_view text);
  // CR LF; the next cell is the first of its line.
  void EndCsvLine();

  // The block of one side of the per-sheet layout.
  void WriteCsvPerSide(Side side);
  // The table of the alternating-per-field layout.
  void WriteCsvAlternateFields();
  // The table of the alternating-rows layout.
  void WriteCsvAlternateRows();

 private:
  void WriteQuoted(std::string_view text);
  // The pair's number and status text.
  void WriteLineLead(int index, const RecordPair& pair, bool spacedStatus);
  void WriteKeyValues(const RecordPair& pair);
  std::string_view Mark(const ResultField& field, std::string_view left,
                        std::string_view right) const {
    if (field.IsOneSided()) return markNotCompared_;
    return field.CellsDifferInExport(left, right) ? markDiffer_ : markEqual_;
  }

  ExportRows rows_;
  ExportBuffer& out_;
  // A cell has been written on the current line.
  bool cellWritten_ = false;
  std::string textNo_;
  std::string textDiff_;
  std::string textFile_;
  std::string textLeftSide_;
  std::string textRightSide_;
  std::string textDifference_;
  std::string markNotCompared_;
  std::string markDiffer_;
  std::string markEqual_;
};

}  // namespace korvel
