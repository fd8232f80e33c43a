#include "export/ExportDriver.h"

#include "export/CsvExportWriter.h"
#include "export/ExportBuffer.h"
#include "export/XlsxExportWriter.h"
#include "export/XmlExportWriter.h"
#include "io/TextFile.h"
#include "platform/Codepage.h"
#include "platform/FileSystem.h"
#include "platform/MessageText.h"

namespace korvel {
namespace {

// The source as the writers read it, telling each pair they take to the progress: every
// writer takes each pair once per pass, in order.
class CountedSource final : public ExportSource {
 public:
  static constexpr int kBatch = 1024;

  CountedSource(const ExportSource& source, ExportLayout layout, Progress& progress)
      : source_(source), progress_(progress) {
    const int passes = layout == ExportLayout::kPerSheet ? 2 : 1;
    progress_.AddExpected(Progress::kLeft, static_cast<std::uint64_t>(source.PairCount()) * passes);
  }
  ~CountedSource() override { Tell(); }
  CountedSource(const CountedSource&) = delete;
  CountedSource& operator=(const CountedSource&) = delete;

  int PairCount() const override { return source_.PairCount(); }
  RecordPair Pair(int index) const override {
    if (++untold_ == kBatch) Tell();
    return source_.Pair(index);
  }
  int FieldCount() const override { return source_.FieldCount(); }
  const ResultField& Field(int index) const override { return source_.Field(index); }
  std::string_view Cell(Side side, int row, int fieldNo) const override {
    return source_.Cell(side, row, fieldNo);
  }
  std::string_view Path(Side side) const override { return source_.Path(side); }

 private:
  void Tell() const {
    progress_.AddRecords(Progress::kLeft, untold_);
    progress_.AddDone(Progress::kLeft, untold_);
    untold_ = 0;
  }

  const ExportSource& source_;
  Progress& progress_;
  mutable std::uint64_t untold_ = 0;
};

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

int WriteFlags(bool replace) { return replace ? FileSystem::kReplace : 0; }

// The export's result for a refusal of the file system (BeginWrite, CommitWrite), or
// `otherwise` for a plain failure.
int RefusalResult(int fsResult, int otherwise) {
  switch (fsResult) {
    case FileSystem::kTargetExists:
      return kExportTargetExists;
    case FileSystem::kNotRegularFile:
      return kExportNotRegular;
    case FileSystem::kLinkRefused:
      return kExportLinkRefused;
    default:
      return otherwise;
  }
}

// libxlsxwriter writes by file name, so the workbook goes to the name by which the
// whole-or-nothing write is reached (its unnamed file, where the file system has them) and
// takes the path's name only once it is complete.
int WriteXlsx(const ExportSource& source, ExportLayout layout, const std::string& path,
              const Progress& progress, bool replace) {
  FileSystem& fs = CurrentFileSystem();
  std::string tempPath;
  std::string folder;
  const int fd = fs.BeginNamedWrite(path, WriteFlags(replace), &tempPath, &folder);
  if (fd < 0) return RefusalResult(fd, kExportOpenFailed);
  bool written;
  {
    // Its own temporary files go beside it: the same disk, the same permissions.
    XlsxExportWriter writer(source);
    writer.SetCancel(&progress);
    written = writer.Open(tempPath, folder.empty() ? std::string("/") : folder);
    if (written) writer.WriteLayout(layout);
    // A cancelled workbook is never packaged: dropping it frees it and its files at once.
    if (written && !progress.Cancelled()) written = writer.Close();
  }
  if (progress.Cancelled()) {
    fs.AbandonWrite(fd);
    return kExportCancelled;
  }
  if (!written) {
    fs.AbandonWrite(fd);
    return kExportWriteFailed;
  }
  const int committed = fs.CommitWrite(fd, replace);
  return committed == 0 ? kExportDone : RefusalResult(committed, kExportWriteFailed);
}

}  // namespace

Status CheckExportPath(const std::string& path) {
  if (!path.empty()) return Status::Ok();
  return Status::Warning(-1, Sjis("出力先を指定してください。"));
}

Status CheckExportTarget(const std::string& path) {
  const int checked = CheckWriteTarget(path, FileSystem::kReplace);
  if (checked != FileSystem::kNotRegularFile && checked != FileSystem::kLinkRefused) {
    return Status::Ok();
  }
  return ExportOutcome(RefusalResult(checked, kExportOpenFailed), path);
}

bool ConfirmOverwrite(const std::string& path, Prompter& prompter) {
  // Whatever holds the name, a link that leads nowhere too, is only replaced with consent.
  if (CheckWriteTarget(path, 0) != FileSystem::kTargetExists) return true;
  return prompter.Confirm(Sjis("既にファイルが存在します。上書きしてよろしいですか？"));
}

bool ConfirmLargeExport(ExportFormat format, int pairCount, Prompter& prompter) {
  if (format != ExportFormat::kXml || pairCount <= kLargeXmlExportPairs) return true;
  return prompter.Confirm(Sjis("データ件数が多いため出力に時間がかかりますがよろしいですか？"));
}

Status ConfirmExport(const std::string& path, ExportFormat format, int pairCount,
                     Prompter& prompter, bool* replace) {
  if (replace != nullptr) *replace = false;
  Status checked = CheckExportPath(path);
  if (!checked.IsOk()) return checked;
  checked = CheckExportTarget(path);
  if (!checked.IsOk()) return checked;
  const bool exists = CheckWriteTarget(path, 0) == FileSystem::kTargetExists;
  if (!ConfirmOverwrite(path, prompter)) return Status(-1);
  if (replace != nullptr) *replace = exists;
  if (!ConfirmLargeExport(format, pairCount, prompter)) return Status(-1);
  return Status::Ok();
}

int WriteExport(const ExportSource& plain, ExportFormat format, ExportLayout layout,
                const std::string& path, Progress& progress, bool replace) {
  CountedSource source(plain, layout, progress);
  if (format == ExportFormat::kXlsx) return WriteXlsx(source, layout, path, progress, replace);
  TextFile file;
  // Once cancelled, the next block fails to be written, like a full disk, and the writers
  // stop there.
  file.SetProgress(&progress, Progress::kLeft);
  file.SetReplace(replace);
  if (file.Open(path, TextFile::kModeWrite, kEncodingSjis) != 0) {
    return RefusalResult(file.OpenRefusal(), kExportOpenFailed);
  }
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
  // A failed close may have lost what the system still held back; a cancelled export is
  // dropped here rather than given its name.
  const int close = file.Close();
  const bool closed = close == 0;
  if (progress.Cancelled() && !(written && closed)) return kExportCancelled;
  if (written && close == TextFile::kTargetExists) return kExportTargetExists;
  if (written && !closed) return RefusalResult(file.OpenRefusal(), kExportWriteFailed);
  return written && closed ? kExportDone : kExportWriteFailed;
}

Status ExportOutcome(int result, const std::string& path) {
  switch (result) {
    case kExportTargetExists:
      return Status::Warning(result, Sjis("既にファイルが存在します。"));
    case kExportNotRegular:
      return Status::Warning(result, Sjis("通常のファイルではないため出力できません。(") +
                                         Cp932ForMessage(path) + ")");
    case kExportLinkRefused:
      return Status::Warning(result,
                             Sjis("リンク先に出力できません。(") + Cp932ForMessage(path) + ")");
    case kExportDone:
      return Status::Notice(Sjis("出力を完了しました。"));
    case kExportOpenFailed:
      return Status::Warning(result, Sjis("ファイルオープンに失敗しました。"));
    case kExportCancelled:
      return Status(result);
    default:
      // Telling the user the export finished when part of it never reached the disk would
      // hide a truncated file.
      return Status::Warning(result, Sjis("書き込みに失敗しました。"));
  }
}

Status RunExport(const ExportSource& source, ExportFormat format, ExportLayout layout,
                 const std::string& path, bool replace) {
  return ExportOutcome(WriteExport(source, format, layout, path, Progress::None(), replace), path);
}

}  // namespace korvel
