#include "export/ReportWriter.h"

#include <charconv>

#include "compare/CompareSession.h"
#include "export/ExportBuffer.h"
#include "export/ExportDriver.h"
#include "export/Utf8Text.h"
#include "io/TextFile.h"
#include "platform/Codepage.h"
#include "platform/FileSystem.h"

namespace korvel {
namespace {

// Texts go to UTF-8 in one pass (Utf8Text), with the XML export's replacements of the
// control characters: no markup reader takes them, and a report must say the same as the
// workbook of the same result.
const Utf8Text& JsonText() {
  static const Utf8Text text(
      {.ControlsAsQuestionMarks = true,
       .Spellings = {{'"', "\\\""}, {'\\', "\\\\"}, {'\t', "\\t"}, {'\r', "\\r"}, {'\n', "\\n"}}});
  return text;
}

// A text inside double quotes, its quotes doubled.
const Utf8Text& CsvQuotedText() {
  static const Utf8Text text({.ControlsAsQuestionMarks = true, .Spellings = {{'"', "\"\""}}});
  return text;
}

// The CSV export's rule: quotes when a single-byte comma, CR, LF or double quote appears.
bool NeedsQuotes(std::string_view text) {
  const auto* p = reinterpret_cast<const unsigned char*>(text.data());
  const std::size_t n = text.size();
  for (std::size_t i = 0; i < n;) {
    const unsigned char c = p[i];
    // The lead byte of a broken pair stands alone, as the conversion takes it.
    if (IsLeadByte(c) && i + 1 < n && IsTrailByte(p[i + 1])) {
      i += 2;
    } else if (c == ',' || c == '\r' || c == '\n' || c == '"') {
      return true;
    } else {
      ++i;
    }
  }
  return false;
}

std::string_view StatusName(const RecordPair& pair) {
  if (pair.Status == kStatusLeftOnly) return "left-only";
  if (pair.Status == kStatusRightOnly) return "right-only";
  return pair.Status > 0 ? "differs" : "equal";
}

// The field's number as korvel-cli's options take it: its row in the list of shown fields
// (the left file's field number unless fields pair by name); for a field built by hand
// without one, the left file's number, or the right file's where the left file lacks it.
int FieldNumber(const ResultField& field) {
  if (field.ListNo > 0) return field.ListNo;
  return field.FieldNoLeft != kNoFieldNo ? field.FieldNoLeft : field.FieldNoRight;
}

}  // namespace

std::string ReportEncodingName(int code, bool mark) {
  switch (code) {
    case kEncodingUtf16:
      return "UTF-16LE";
    case kEncodingUtf16Be:
      return "UTF-16BE";
    case kEncodingUtf8:
      return mark ? "UTF-8 BOM" : "UTF-8";
    case kEncodingEucJp:
      return "EUC-JP";
    default:
      return "SJIS";
  }
}

ReportSummary MakeReportSummary(const CompareSession& session) {
  ReportSummary s;
  s.LeftTotal = session.LeftTable().RowCount();
  s.RightTotal = session.RightTable().RowCount();
  s.Differing = session.DiffRecordCount();
  s.LeftOnly = session.LeftOnlyCount();
  s.RightOnly = session.RightOnlyCount();
  s.DuplicateKeysLeft = session.DuplicateKeyCount(Side::kLeft);
  s.DuplicateKeysRight = session.DuplicateKeyCount(Side::kRight);
  s.EncodingLeft = ReportEncodingName(session.EncodingL(), session.HadMark(Side::kLeft));
  s.EncodingRight = ReportEncodingName(session.EncodingR(), session.HadMark(Side::kRight));
  s.Warnings = session.Warnings();
  return s;
}

void ReportWriter::AppendJsonText(ExportBuffer& out, std::string_view text) {
  JsonText().Append(text, out);
}

void ReportWriter::AppendCsvText(ExportBuffer& out, std::string_view text) {
  const Utf8Text& quoted = CsvQuotedText();
  if (!NeedsQuotes(text)) {
    // Without a double quote in it, the quoted form is the text unchanged.
    quoted.Append(text, out);
    return;
  }
  out.Append('"');
  quoted.Append(text, out);
  out.Append('"');
}

ReportWriter::ReportWriter(const ExportSource& source, const ReportSummary& summary,
                           ReportOptions options, ExportBuffer& out)
    : rows_(source), summary_(summary), options_(options), out_(out) {
  JsonText();
  CsvQuotedText();
}

void ReportWriter::Write() {
  if (options_.Format == ReportFormat::kCsv) {
    WriteCsv();
  } else {
    WriteJsonLines();
  }
}

void ReportWriter::AppendNumber(int n) {
  char* o = out_.Reserve(16);
  out_.Commit(std::to_chars(o, o + 16, n).ptr);
}

void ReportWriter::AppendRow(int row) {
  if (row < 0) {
    out_.Append("null");
  } else {
    AppendNumber(row);
  }
}

// ---- JSON Lines ---------------------------------------------------------------------------

void ReportWriter::WriteJsonLines() {
  const ReportSummary& s = summary_;
  out_.Append("{\"summary\":{\"left_total\":");
  AppendNumber(s.LeftTotal);
  out_.Append(",\"right_total\":");
  AppendNumber(s.RightTotal);
  out_.Append(",\"differing\":");
  AppendNumber(s.Differing);
  out_.Append(",\"left_only\":");
  AppendNumber(s.LeftOnly);
  out_.Append(",\"right_only\":");
  AppendNumber(s.RightOnly);
  out_.Append(",\"duplicate_keys\":{\"left\":");
  AppendNumber(s.DuplicateKeysLeft);
  out_.Append(",\"right\":");
  AppendNumber(s.DuplicateKeysRight);
  out_.Append('}');
  WriteSummaryReading();
  out_.Append(",\"fields\":[");
  for (int j = 0; j < rows_.FieldCount(); ++j) {
    const ResultField& field = rows_.Field(j);
    out_.Append(j == 0 ? "{\"field\":" : ",{\"field\":");
    AppendNumber(FieldNumber(field));
    out_.Append(",\"name\":\"");
    AppendJsonText(out_, field.Name);
    out_.Append("\",\"differing\":");
    AppendNumber(field.DiffCount);
    out_.Append('}');
  }
  out_.Append("]}}\n");
  for (int i = 0; i < rows_.PairCount() && !out_.Failed(); ++i) WriteJsonPair(rows_.Pair(i));
}

void ReportWriter::WriteSummaryReading() {
  // Encoding names and warning words are ASCII and need no escaping.
  out_.Append(",\"encodings\":{\"left\":\"");
  out_.Append(summary_.EncodingLeft);
  out_.Append("\",\"right\":\"");
  out_.Append(summary_.EncodingRight);
  out_.Append("\"},\"warnings\":[");
  bool first = true;
  for (const RunWarning& w : summary_.Warnings) {
    out_.Append(first ? "{\"code\":\"" : ",{\"code\":\"");
    first = false;
    out_.Append(RunWarningWord(w.Kind));
    // Counts print whole, however large.
    out_.Append("\",\"left\":");
    out_.Append(std::to_string(w.Left));
    out_.Append(",\"right\":");
    out_.Append(std::to_string(w.Right));
    out_.Append('}');
  }
  out_.Append(']');
}

bool ReportWriter::KeyDiffers(const RecordPair& pair, const ResultField& field) const {
  return pair.IsPaired() &&
         ReportFieldDiffers(rows_.Source(), pair, field, rows_.Value(pair, Side::kLeft, field),
                            rows_.Value(pair, Side::kRight, field));
}

void ReportWriter::WriteJsonPair(const RecordPair& pair) {
  out_.Append("{\"status\":\"");
  out_.Append(StatusName(pair));
  out_.Append("\",\"left_row\":");
  AppendRow(pair.LeftRow);
  out_.Append(",\"right_row\":");
  AppendRow(pair.RightRow);
  out_.Append(",\"key\":[");
  for (int k = 0; k < rows_.KeyCount(); ++k) {
    const ResultField& field = rows_.Field(k);
    out_.Append(k == 0 ? "{\"field\":" : ",{\"field\":");
    AppendNumber(FieldNumber(field));
    out_.Append(",\"name\":\"");
    AppendJsonText(out_, field.Name);
    out_.Append("\",\"text\":\"");
    AppendJsonText(out_, rows_.KeyValue(pair, field));
    out_.Append("\"}");
  }
  out_.Append(']');
  // "key" holds one side's texts; where the two differ, a reader must still see it.
  for (int k = 0; k < rows_.KeyCount() && pair.Status > 0; ++k) {
    if (!KeyDiffers(pair, rows_.Field(k))) continue;
    out_.Append(",\"key_differs\":true");
    break;
  }
  out_.Append(",\"fields\":[");
  bool first = true;
  // Keys are reported under "key"; like the grid's key column they are never marked.
  for (int j = rows_.KeyCount(); j < rows_.FieldCount(); ++j) {
    const ResultField& field = rows_.Field(j);
    const std::string_view left = rows_.Value(pair, Side::kLeft, field);
    const std::string_view right = rows_.Value(pair, Side::kRight, field);
    const bool differs = ReportFieldDiffers(rows_.Source(), pair, field, left, right);
    if (!differs && !options_.AllFields) continue;
    out_.Append(first ? "{\"field\":" : ",{\"field\":");
    first = false;
    AppendNumber(FieldNumber(field));
    out_.Append(",\"name\":\"");
    AppendJsonText(out_, field.Name);
    out_.Append("\",\"left\":\"");
    AppendJsonText(out_, left);
    out_.Append("\",\"right\":\"");
    AppendJsonText(out_, right);
    out_.Append(differs ? "\",\"differs\":true}" : "\",\"differs\":false}");
  }
  out_.Append("]}\n");
}

// ---- CSV ----------------------------------------------------------------------------------

void ReportWriter::WriteCsvRowLead(const RecordPair& pair) {
  out_.Append(StatusName(pair));
  out_.Append(',');
  if (pair.LeftRow >= 0) AppendNumber(pair.LeftRow);
  out_.Append(',');
  if (pair.RightRow >= 0) AppendNumber(pair.RightRow);
  for (int k = 0; k < rows_.KeyCount(); ++k) {
    out_.Append(',');
    AppendCsvText(out_, rows_.KeyValue(pair, rows_.Field(k)));
  }
}

void ReportWriter::WriteCsv() {
  out_.Append(
      "\xEF\xBB\xBF"
      "status,left_row,right_row");
  for (int k = 0; k < rows_.KeyCount(); ++k) {
    out_.Append(',');
    AppendCsvText(out_, rows_.Field(k).Name);
  }
  out_.Append(options_.AllFields ? ",field,name,left,right,differs\r\n"
                                 : ",field,name,left,right\r\n");
  for (int i = 0; i < rows_.PairCount() && !out_.Failed(); ++i) {
    const RecordPair pair = rows_.Pair(i);
    if (!pair.IsPaired() && !options_.AllFields) {
      // One row says the record is there on one side only; its fields are no news.
      WriteCsvRowLead(pair);
      out_.Append(",,,,\r\n");
      continue;
    }
    // A record that differs only in a key's text would otherwise have no row at all.
    for (int k = 0; k < rows_.KeyCount() && pair.Status > 0; ++k) {
      if (KeyDiffers(pair, rows_.Field(k))) WriteCsvFieldRow(pair, rows_.Field(k), true);
    }
    for (int j = rows_.KeyCount(); j < rows_.FieldCount(); ++j) {
      const ResultField& field = rows_.Field(j);
      const bool differs =
          ReportFieldDiffers(rows_.Source(), pair, field, rows_.Value(pair, Side::kLeft, field),
                             rows_.Value(pair, Side::kRight, field));
      if (differs || options_.AllFields) WriteCsvFieldRow(pair, field, differs);
    }
  }
}

void ReportWriter::WriteCsvFieldRow(const RecordPair& pair, const ResultField& field,
                                    bool differs) {
  WriteCsvRowLead(pair);
  out_.Append(',');
  AppendNumber(FieldNumber(field));
  out_.Append(',');
  AppendCsvText(out_, field.Name);
  out_.Append(',');
  AppendCsvText(out_, rows_.Value(pair, Side::kLeft, field));
  out_.Append(',');
  AppendCsvText(out_, rows_.Value(pair, Side::kRight, field));
  if (options_.AllFields) out_.Append(differs ? ",true" : ",false");
  out_.Append("\r\n");
}

// ---- Files ----------------------------------------------------------------------------------

namespace {

int WriteOpened(TextFile& file, const ExportSource& source, const ReportSummary& summary,
                ReportOptions options) {
  bool written;
  {
    ExportBuffer out(file);
    ReportWriter writer(source, summary, options, out);
    writer.Write();
    written = out.Flush();
  }
  if (!written) {
    // Close drops a failed whole-or-nothing write; its own result adds nothing.
    (void)file.Close();
    return kExportWriteFailed;
  }
  const int closed = file.Close();
  if (closed == TextFile::kTargetExists) return kReportTargetExists;
  if (closed != 0 && file.OpenRefusal() == FileSystem::kNotRegularFile) return kExportNotRegular;
  if (closed != 0 && file.OpenRefusal() == FileSystem::kLinkRefused) return kExportLinkRefused;
  return closed == 0 ? kExportDone : kExportWriteFailed;
}

}  // namespace

int WriteReport(const ExportSource& source, const ReportSummary& summary, ReportOptions options,
                const std::string& path, bool replace) {
  TextFile file;
  file.SetReplace(replace);
  if (file.Open(path, TextFile::kModeWrite, kEncodingUtf8) != 0) {
    switch (file.OpenRefusal()) {
      case FileSystem::kTargetExists:
        return kReportTargetExists;
      case FileSystem::kNotRegularFile:
        return kExportNotRegular;
      case FileSystem::kLinkRefused:
        return kExportLinkRefused;
      default:
        return kExportOpenFailed;
    }
  }
  return WriteOpened(file, source, summary, options);
}

int WriteReportTo(const ExportSource& source, const ReportSummary& summary, ReportOptions options,
                  int fd) {
  TextFile file;
  if (file.AttachForWriting(fd) != 0) return kExportOpenFailed;
  return WriteOpened(file, source, summary, options);
}

}  // namespace korvel
