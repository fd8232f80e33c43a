#include "export/ExportDriver.h"

#include "export/CsvExportWriter.h"
#include "export/ExportBuffer.h"
#include "export/XmlExportWriter.h"
#include "io/PathText.h"
#include "io/TextFile.h"
#include "platform/Codepage.h"
#include "platform/Notifier.h"

namespace korvel {
namespace {

void WriteXml(const ExportSource& source, ExportLayout layout, ExportBuffer& out) {
  XmlExportWriter writer(source, out);
  writer.WriteWorkbookHeader();
  switch (layout) {
    case ExportLayout::kPerSheet:
      writer.WriteXmlPerSide(Side::kLeft);
      writer.WriteXmlPerSide(Side::kRight);
      break;
    case ExportLayout::kAlternateFields:
      writer.WriteXmlAlternateFields();
      break;
    case ExportLayout::kAlternateRows:
      writer.WriteXmlAlternateRows();
      break;
  }
  writer.WriteWorkbookEnd();
}

void WriteCsv(const ExportSource& source, ExportLayout layout, ExportBuffer& out) {
  // A new writer starts with no cell written on its line.
  CsvExportWriter writer(source, out);
  switch (layout) {
    case ExportLayout::kPerSheet:
      for (Side side : {Side::kLeft, Side::kRight}) {
        // Paths are kept as the file system spells them; the file is CP932 throughout.
        writer.WriteCsvCell(Utf8ToCp932(source.Path(side)));
        writer.EndCsvLine();
        writer.WriteCsvPerSide(side);
      }
      break;
    case ExportLayout::kAlternateFields:
      writer.WriteCsvAlternateFields();
      break;
    case ExportLayout::kAlternateRows:
      writer.WriteCsvAlternateRows();
      break;
  }
}

}  // namespace

bool CheckExportPath(const std::string& path) {
  if (!path.empty()) return true;
  Warn(Sjis("出力先を指定してください。"));
  return false;
}

bool ConfirmOverwrite(const std::string& path) {
  if (!PathText::FileExists(path)) return true;
  return Ask(Sjis("既にファイルが存在します。上書きしてよろしいですか？"));
}

bool ConfirmLargeExport(ExportFormat format, int pairCount) {
  if (format != ExportFormat::kXml || pairCount <= kLargeXmlExportPairs) return true;
  return Ask(Sjis("データ件数が多いため出力に時間がかかりますがよろしいですか？"));
}

bool ConfirmExport(const std::string& path, ExportFormat format, int pairCount) {
  return CheckExportPath(path) && ConfirmOverwrite(path) && ConfirmLargeExport(format, pairCount);
}

int WriteExport(const ExportSource& source, ExportFormat format, ExportLayout layout,
                const std::string& path) {
  TextFile file;
  if (file.Open(path, TextFile::kModeWrite, kEncodingSjis) != 0) return kExportOpenFailed;
  bool written;
  {
    ExportBuffer out(file);
    if (format == ExportFormat::kXml) {
      WriteXml(source, layout, out);
    } else {
      WriteCsv(source, layout, out);
    }
    written = out.Flush();
  }
  // A failed close may have lost what the system still held back.
  const bool closed = file.Close() == 0;
  return written && closed ? kExportDone : kExportWriteFailed;
}

void ReportExport(int result) {
  switch (result) {
    case kExportDone:
      Info(Sjis("出力を完了しました。"));
      break;
    case kExportOpenFailed:
      Warn(Sjis("ファイルオープンに失敗しました。"));
      break;
    default:
      // Telling the user the export finished when part of it never reached the disk would
      // hide a truncated file.
      Warn(Sjis("書き込みに失敗しました。"));
      break;
  }
}

int RunExport(const ExportSource& source, ExportFormat format, ExportLayout layout,
              const std::string& path) {
  int result = WriteExport(source, format, layout, path);
  ReportExport(result);
  return result;
}

}  // namespace korvel
