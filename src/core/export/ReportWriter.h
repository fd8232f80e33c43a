#pragma once
// ReportWriter: the difference report, the field-level result for programs rather than
// spreadsheets: UTF-8, per shown pair, per field, streamed through an ExportBuffer so that
// memory stays the same whatever the number of pairs.
//
// Two formats:
//  - JSON Lines: a summary object, then one object per shown pair (status, row numbers,
//    key texts, and the fields: only those that differ, or every field with `allFields`).
//    Lines end with LF; names are in arrays because they may repeat. The summary also says
//    how each file was read and what the run warned of; a pair whose key texts differ
//    (numeric keys that pair by value, `001` and `1`) carries "key_differs":true.
//  - CSV: a byte-order mark (spreadsheets guess the code page without one), CR LF, the
//    CSV export's quoting; one row per differing field of each shown pair and one row per
//    one-sided pair. With `allFields`, one row per field of every pair and a `differs`
//    column. A key field whose texts differ gets a row too, before the other fields.
//
// Texts are the grid's CP932 texts in UTF-8, with the XML export's replacements for what a
// markup reader cannot hold (control characters other than TAB, CR and LF, and 0x80, become
// '?'); the report's cells and the XML export's agree byte for byte once each format's own
// escaping is undone.
//
// Whether a field differs in a pair is the grid's decision (ReportFieldDiffers).

#include <string>
#include <string_view>
#include <vector>

#include "compare/RunWarnings.h"
#include "export/ExportDriver.h"
#include "export/ExportRows.h"
#include "export/ExportSource.h"

namespace korvel {

class CompareSession;
class ExportBuffer;

enum class ReportFormat { kJsonLines, kCsv };

struct ReportOptions {
  ReportFormat Format = ReportFormat::kJsonLines;
  bool AllFields = false;  // every field of a pair, not only the differing ones
};

// The counters of the whole result (not only of an extraction).
struct ReportSummary {
  int LeftTotal = 0;
  int RightTotal = 0;
  int Differing = 0;
  int LeftOnly = 0;
  int RightOnly = 0;
  // The records of each side whose key also occurs in another record of the same side
  // (CompareSession::DuplicateKeyCount).
  int DuplicateKeysLeft = 0;
  int DuplicateKeysRight = 0;
  // How each file was read: "SJIS", "UTF-8", "UTF-8 BOM", "UTF-16LE", "UTF-16BE" or
  // "EUC-JP" (ReportEncodingName).
  std::string EncodingLeft = "SJIS";
  std::string EncodingRight = "SJIS";
  // What the run warned of (CompareSession::Warnings), duplicate keys included.
  std::vector<RunWarning> Warnings;
};

// The report's name of encoding `code` (platform/Codepage.h), `mark` when the file began
// with a byte-order mark.
std::string ReportEncodingName(int code, bool mark);

ReportSummary MakeReportSummary(const CompareSession& session);

// The grid's decision whether `field` differs in `pair`, given the pair's two cells (a
// missing side reads as ""): never for a field that is not compared, else the field's own
// cell comparison, which also colours the grid's cells.
inline bool ReportFieldDiffers(const ResultField& field, std::string_view left,
                               std::string_view right) {
  return !field.NotCompared && field.CellsDiffer(left, right);
}
// The same for a pair of `source`, where two equal texts may still stand for different
// lost characters (ExportSource::CellsDiffer).
inline bool ReportFieldDiffers(const ExportSource& source, const RecordPair& pair,
                               const ResultField& field, std::string_view left,
                               std::string_view right) {
  if (field.NotCompared) return false;
  if (field.CellsDiffer(left, right)) return true;
  return pair.IsPaired() && source.CellsDiffer(pair, field);
}

class ReportWriter {
 public:
  // Neither `source` nor `out` is owned; both must outlive the writer.
  ReportWriter(const ExportSource& source, const ReportSummary& summary, ReportOptions options,
               ExportBuffer& out);

  // The whole report; stops early once the buffer reports a failed write.
  void Write();

  // Appends CP932 `text` as a JSON string body (no quotes) or as a CSV cell (quoted when it
  // needs to be), in UTF-8. Exposed for the escaping tests.
  static void AppendJsonText(ExportBuffer& out, std::string_view text);
  static void AppendCsvText(ExportBuffer& out, std::string_view text);

 private:
  void WriteJsonLines();
  void WriteJsonPair(const RecordPair& pair);
  void WriteCsv();
  void WriteCsvRowLead(const RecordPair& pair);
  void WriteCsvFieldRow(const RecordPair& pair, const ResultField& field, bool differs);
  void WriteSummaryReading();
  // Whether a key field's texts differ in `pair` (both sides present).
  bool KeyDiffers(const RecordPair& pair, const ResultField& field) const;
  void AppendNumber(int n);
  void AppendRow(int row);

  ExportRows rows_;
  ReportSummary summary_;
  ReportOptions options_;
  ExportBuffer& out_;
};

// Results of WriteReport beside kExportDone, kExportOpenFailed and kExportWriteFailed
// (ExportDriver.h).
inline constexpr int kReportTargetExists = kExportTargetExists;  // the file exists and !replace

// Writes the report of `source` to `path` whole or not at all: nothing appears under
// `path` unless every byte was written. Without `replace` an existing file stays and the
// result is kReportTargetExists; a path that no export may replace gives the export's
// refusals (kExportNotRegular, kExportLinkRefused), which ExportOutcome tells. Shows no
// message.
[[nodiscard]] int WriteReport(const ExportSource& source, const ReportSummary& summary,
                              ReportOptions options, const std::string& path, bool replace);
// Writes the report to the open descriptor `fd` (standard output), which stays open.
[[nodiscard]] int WriteReportTo(const ExportSource& source, const ReportSummary& summary,
                                ReportOptions options, int fd);

}  // namespace korvel
