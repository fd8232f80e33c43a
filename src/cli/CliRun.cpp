#include "cli/CliRun.h"

#include <algorithm>
#include <optional>
#include <set>

#include "cli/CliOptions.h"
#include "cli/FolderRun.h"
#include "cli/SettingsFileOptions.h"
#include "cli/StandardInput.h"
#include "compare/CompareSession.h"
#include "compare/FieldNames.h"
#include "compare/FixDefinitionFile.h"
#include "compare/FixedWidthRecordReader.h"
#include "compare/InputFiles.h"
#include "export/ExportDriver.h"
#include "export/ReportWriter.h"
#include "export/SessionExportSource.h"
#include "grid/FieldSummary.h"
#include "platform/Codepage.h"
#include "platform/MessageText.h"
#include "platform/Notifier.h"
#include "settings/SettingsStore.h"

namespace korvel::cli {
namespace {

int UsageError(std::ostream& err, const std::string& reason) {
  // A reason may echo an option's value or a path as given: made safe for the terminal.
  err << "korvel-cli: " << TextForMessage(reason) << '\n';
  return kExitFailed;
}

// Shows an outcome's messages, in order; true when it succeeded.
bool Shown(Notifier& notifier, const Status& status) {
  ShowStatus(notifier, status);
  return status.IsOk();
}

// --field-summary: one line per compared field (keys too, which can differ in their text
// where they pair as numbers), in field order. A field that is 不要 or one-sided has no
// count and no line, as its cells were never compared.
void PrintFieldSummary(const CompareSession& session, std::ostream& out) {
  for (const FieldSummaryRow& row :
       FieldSummaryRows(session.Fields(), FieldSummaryOrder::kFieldOrder)) {
    if (!row.compared) continue;
    const ResultField& field = session.Fields()[static_cast<std::size_t>(row.field)];
    out << FieldListNumber(field) << '\t' << Cp932ToUtf8(field.Name) << '\t' << row.differing
        << '\n';
  }
}

void ApplySettings(const CliOptions& o, const SettingsStore& global, CompareSettings& s) {
  switch (o.kind) {
    case FileKindOption::kCsv:
      s.FileKind = kFileKindCsv;
      break;
    case FileKindOption::kTab:
      s.FileKind = kFileKindDelimited;
      s.Delimiter = '\t';
      break;
    case FileKindOption::kOther:
      s.FileKind = kFileKindDelimited;
      s.Delimiter = o.delimiter;
      s.OtherDelimiter = o.delimiter;
      break;
    case FileKindOption::kFixed:
      s.FileKind = kFileKindFixed;
      break;
  }
  s.TopRowNames = o.header;
  s.MatchNames = o.matchNames;
  s.Encoding = o.encoding.value_or(global.GetReadingEncoding());
  if (o.encoding && IsAutoEncoding(*o.encoding)) {
    // ASCII-only text takes the encoding the settings' CODE names.
    const int saved = global.GetReadingEncoding();
    s.Encoding = AutoEncoding(IsAutoEncoding(saved) ? AutoFallback(saved) : saved);
  }
  s.DetectBom = o.noBom ? false : global.GetDetectBom();
  s.FromClipboard = false;
  s.PathL = o.left;
  s.PathR = o.right;
  s.TabOldType = o.tabOld ? 1 : global.GetTabOldType();
  s.NewlineMode = o.newlineMode.value_or(global.GetNewlineMode());
  (void)ParseTolerance(o.tolerance.empty() ? global.GetNumberTolerance() : o.tolerance,
                       &s.NumberTolerance);
}

// Loads and checks the definition file into the shared fixed-length reader.
bool LoadFixedDefinitions(const std::string& path, FixedWidthReader& fix, Notifier& notifier) {
  FixDefinitionRows rows;
  if (!Shown(notifier, LoadFixDefinitionFile(path, rows))) return false;
  if (!Shown(notifier, CheckFixDefinitions(rows))) return false;
  return Shown(notifier, ApplyFixDefinitions(rows, fix));
}

std::vector<int> Unique(std::vector<int> fields) {
  std::sort(fields.begin(), fields.end());
  fields.erase(std::unique(fields.begin(), fields.end()), fields.end());
  return fields;
}

// Turns the fields given by name into the numbers of the rows that carry those names.
// Arguments are UTF-8 and the names CP932: a name is converted before it is compared, and
// a character without a CP932 form can then match nothing. A name that no row carries, or
// that several rows carry, is a usage error that names it.
bool ResolveFieldNames(CliOptions& o, const std::vector<std::string>& rowNames, std::ostream& err) {
  if (o.fieldNames.empty()) return true;
  for (const FieldNameOption& given : o.fieldNames) {
    const int row = FindFieldByName(rowNames, Utf8ToCp932(given.name));
    if (row == kFieldNameMissing || row == kFieldNameRepeated) {
      UsageError(err, given.option + " の項目名 " + given.name +
                          (row == kFieldNameMissing ? " はありません。" : " は複数あります。"));
      return false;
    }
    if (given.option == "--key") {
      o.keys[given.key].field = row;
    } else if (given.option == "--extract") {
      o.extractField = row;
    } else if (std::vector<int>* list = FieldListOf(o, given.option)) {
      list->push_back(row);
    }
  }
  std::string reason;
  if (CheckFieldChoices(o, &reason)) return true;
  UsageError(err, reason);
  return false;
}

// Marks the grid as the field-control dialog would after the user's clicks.
bool MarkGrid(CliOptions& o, FieldGrid& grid, const std::vector<std::string>& rowNames,
              std::ostream& err) {
  if (!ResolveFieldNames(o, rowNames, err)) return false;
  const int rows = grid.RowCount() - 1;
  auto check = [&](int field, std::string_view option) {
    if (field <= rows) return true;
    UsageError(err, std::string(option) + " のフィールド " + std::to_string(field) +
                        " はありません(フィールド数 " + std::to_string(rows) + ")。");
    return false;
  };
  for (const KeyOption& key : o.keys) {
    if (!check(key.field, "--key")) return false;
  }
  for (const OptionRow& row : OptionTable()) {
    if (row.kind != ValueKind::kFieldList) continue;
    for (int f : *FieldListOf(o, row.name)) {
      if (!check(f, row.name)) return false;
    }
  }
  if (o.extractField > 0 && !check(o.extractField, "--extract")) return false;
  for (const KeyOption& key : o.keys) {
    grid.Toggle(key.field, FieldGrid::kKey);
    if (key.numeric) grid.Toggle(key.field, FieldGrid::kNumeric);
  }
  for (const OptionRow& row : OptionTable()) {
    if (row.kind != ValueKind::kFieldList) continue;
    for (int f : Unique(*FieldListOf(o, row.name))) grid.Toggle(f, row.gridColumn);
  }
  return true;
}

Status RunExtraction(const CliOptions& o, CompareSession& session) {
  switch (o.extract) {
    case ExtractOption::kNone:
      return Status::Ok();
    case ExtractOption::kDiff:
      return session.ExtractByStatus(kExtractDiffering, true);
    case ExtractOption::kDiffAll:
      return session.ExtractByStatus(kExtractNotEqual, true);
    case ExtractOption::kEqual:
      return session.ExtractByStatus(kExtractDiffering, false);
    case ExtractOption::kLeftOnly:
      return session.ExtractByStatus(kExtractLeftOnly, true);
    case ExtractOption::kRightOnly:
      return session.ExtractByStatus(kExtractRightOnly, true);
    case ExtractOption::kFieldDiff:
    case ExtractOption::kFieldEqual: {
      // The extraction names a position in the field layout (keys first); the option's
      // number is a row of the field-control grid (the left file's field number unless
      // fields pair by name).
      const auto& fields = session.Fields();
      int position = static_cast<int>(fields.size());
      for (std::size_t i = 0; i < fields.size(); ++i) {
        if (fields[i].ListNo == o.extractField) position = static_cast<int>(i);
      }
      return session.ExtractColumn(position, o.extract == ExtractOption::kFieldDiff);
    }
  }
  return Status::Ok();
}

bool Extract(const CliOptions& o, CompareSession& session, Notifier& notifier) {
  if (o.extract == ExtractOption::kNone) return true;
  if (!Shown(notifier, RunExtraction(o, session))) return false;
  session.ActivateExtraction();
  return true;
}

int Export(const CliOptions& o, const CompareSession& session, Notifier& notifier,
           Prompter& prompter) {
  if (!Shown(notifier, CheckExportPath(o.exportPath))) return kExitFailed;
  if (!Shown(notifier, CheckExportTarget(o.exportPath))) return kExitFailed;
  if (!o.force && !ConfirmOverwrite(o.exportPath, prompter)) return kExitFailed;
  korvel::ExportFormat format = o.format == cli::ExportFormat::kCsv    ? korvel::ExportFormat::kCsv
                                : o.format == cli::ExportFormat::kXlsx ? korvel::ExportFormat::kXlsx
                                                                       : korvel::ExportFormat::kXml;
  korvel::ExportLayout layout =
      o.layout == cli::ExportLayout::kSheet ? korvel::ExportLayout::kPerSheet
      : o.layout == cli::ExportLayout::kRow ? korvel::ExportLayout::kAlternateRows
                                            : korvel::ExportLayout::kAlternateFields;
  SessionExportSource source(session);
  // Without --force nothing is replaced, not even a file that appears while the export is
  // written.
  return Shown(notifier, RunExport(source, format, layout, o.exportPath, o.force)) ? 0
                                                                                   : kExitFailed;
}

// The difference report, after the export. Standard output ("-") takes it whole; a file is
// written whole or not at all and replaces an existing one only with --force.
int Report(const CliOptions& o, const CompareSession& session, Notifier& notifier,
           Prompter& prompter) {
  const bool toStdout = o.reportPath == "-";
  if (!toStdout && !Shown(notifier, CheckExportTarget(o.reportPath))) return kExitFailed;
  if (!toStdout && !o.force && !ConfirmOverwrite(o.reportPath, prompter)) return kExitFailed;
  ReportOptions options;
  options.Format =
      o.reportFormat == ReportFormatOption::kCsv ? ReportFormat::kCsv : ReportFormat::kJsonLines;
  options.AllFields = o.reportAllFields;
  SessionExportSource source(session);
  const ReportSummary summary = MakeReportSummary(session);
  int result = toStdout ? WriteReportTo(source, summary, options, 1)
                        : WriteReport(source, summary, options, o.reportPath, o.force);
  // A file made after the question was passed stays, as refused.
  return Shown(notifier, ExportOutcome(result, o.reportPath)) ? 0 : kExitFailed;
}

}  // namespace

int RunCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
           Notifier& notifier) {
  CliOptions o;
  std::string reason;
  if (!ParseCliOptions(args, &o, &reason)) return UsageError(err, reason);
  if (o.help) {
    out << UsageText();
    return 0;
  }
  if (o.version) {
    out << "KORVEL korvel-cli " << KORVEL_VERSION << '\n';
    return 0;
  }
  if (o.folders) return RunFolders(o, out, err, notifier);
  PairOutcome outcome;
  return RunPair(std::move(o), out, err, notifier, &outcome);
}

int RunPair(CliOptions o, std::ostream& out, std::ostream& err, Notifier& notifier,
            PairOutcome* outcome, bool exportIfDifferent) {
  std::string reason;
  if (!o.settingsPath.empty() && !ApplySettingsFile(&o, &reason)) return UsageError(err, reason);

  // "-" reads standard input, copied once into a file the engine can read like any other.
  StandardInputCopy input;
  std::optional<StandardInputFileSystem> inputFs;
  if (o.left == kStandardInputPath || o.right == kStandardInputPath) {
    if (!input.Capture(0, &reason)) return UsageError(err, reason);
    inputFs.emplace(input);
  }

  NotifierPrompter prompter(notifier);
  if (!o.saveSettingsPath.empty() && !SaveSettingsFile(o, prompter, &reason)) {
    return UsageError(err, reason);
  }
  SettingsStore global(&prompter);
  global.LoadSettings();
  CompareSession session;
  ApplySettings(o, global, session.EditSettings());

  if (!Shown(notifier, ConfirmInputFiles(o.left, o.right))) return kExitFailed;
  FixedWidthRecordReader fixSource(global.FixReader());
  if (o.kind == FileKindOption::kFixed) {
    if (!LoadFixedDefinitions(o.fixedDef, global.FixReader(), notifier)) return kExitFailed;
    session.SetFixedSource(&fixSource);
  }

  session.StartSetUp();
  FieldGrid grid;
  if (!Shown(notifier, session.FillFieldGrids(grid, prompter))) return kExitFailed;
  if (!MarkGrid(o, grid, session.RowNames(grid), err)) return kExitFailed;
  if (!Shown(notifier, grid.ConfirmMarks())) return kExitFailed;
  if (!Shown(notifier, session.CompareSides(grid, Progress::None()))) return kExitFailed;

  // With the report on standard output, nothing else may go there.
  const bool reportToStdout = o.reportPath == "-";
  (reportToStdout ? err : out) << Cp932ToUtf8(session.SummaryText()) << '\n';
  if (o.fieldSummary) PrintFieldSummary(session, out);
  out.flush();
  // What the reading rules let pass is said once, after the counts it qualifies.
  for (const std::string& warning : session.ReadingWarningMessages()) {
    ShowStatus(notifier, Status::Warning(0, warning));
  }
  if (const std::string duplicates = session.DuplicateKeyMessage(); !duplicates.empty()) {
    err << Cp932ToUtf8(duplicates) << '\n';
  }
  if (o.strict && !session.Warnings().empty()) {
    // A pipeline that asked for it refuses a result that needed a lenient rule.
    err << "korvel-cli: --strict: 警告があるため失敗として終了します。\n";
    return kExitFailed;
  }
  const bool different =
      session.DiffRecordCount() > 0 || session.LeftOnlyCount() > 0 || session.RightOnlyCount() > 0;
  const ReportSummary summary = MakeReportSummary(session);
  *outcome = {true,
              summary.LeftTotal,
              summary.RightTotal,
              summary.Differing,
              summary.LeftOnly,
              summary.RightOnly,
              summary.EncodingLeft,
              summary.EncodingRight,
              summary.Warnings};
  if (exportIfDifferent && !different) o.exportPath.clear();
  if (!Extract(o, session, notifier)) return kExitFailed;
  if (o.pairs) {
    for (const RecordPair& p : session.ViewPairs()) {
      out << p.Status << '\t' << p.LeftRow << '\t' << p.RightRow << '\n';
    }
  }
  out.flush();
  if (!o.exportPath.empty() && Export(o, session, notifier, prompter) != 0) return kExitFailed;
  if (!o.reportPath.empty()) {
    err.flush();
    if (Report(o, session, notifier, prompter) != 0) return kExitFailed;
  }
  return different ? kExitDifferent : kExitSame;
}

}  // namespace korvel::cli
