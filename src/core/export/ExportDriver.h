#pragma once
// The window-free part of an export: the checks before it, the writing of the file in the
// chosen format and layout, and the report after it.
//
// The export dialog runs, in this order: CheckExportPath, CheckExportTarget,
// ConfirmOverwrite, ConfirmLargeExport (ConfirmExport runs all four), then WriteExport under
// the busy cursor, then shows ExportOutcome. korvel-cli calls ConfirmOverwrite only without
// --force and never asks about the size. Nothing here shows a message: the questions go
// through the caller's Prompter, refusals and outcomes are returned as a Status.
//
// Nothing touches the output file before WriteExport, and WriteExport replaces an existing
// file only when told to (the user's はい, or --force): a file that appears under the name
// while the export is written stays, and the export fails. Only a regular file is ever
// replaced, and a symbolic link is followed only when replacing is allowed and the link may
// be trusted (platform/AtomicFile.h).

#include <string>

#include "export/ExportSource.h"
#include "platform/Progress.h"
#include "platform/Prompter.h"
#include "platform/Status.h"

namespace korvel {

// kXlsx: an Office Open XML workbook (export/XlsxExportWriter.h).
enum class ExportFormat { kXml, kCsv, kXlsx };

// The layouts, by the captions of their buttons.
enum class ExportLayout {
  kPerSheet,         // "シート別": each side on its own (XML: one worksheet per side)
  kAlternateFields,  // "項目毎交互": one row per pair, left and right side by side per field
  kAlternateRows,    // "行交互": one row per side of every pair
};

// Results of WriteExport and RunExport.
inline constexpr int kExportDone = 0;
inline constexpr int kExportOpenFailed = -1;   // the file could not be created
inline constexpr int kExportWriteFailed = -2;  // the file was created, a write or its close failed
inline constexpr int kExportCancelled = -3;    // the progress was cancelled; nothing was written
inline constexpr int kExportTargetExists =
    -4;                                       // a file of that name exists, and may not be replaced
inline constexpr int kExportNotRegular = -5;  // the path is a FIFO, device, socket, folder, loop
inline constexpr int kExportLinkRefused = -6;  // the path is a symbolic link that is not followed

// An XML export of more pairs than this asks first.
inline constexpr int kLargeXmlExportPairs = 500;

// -1 with the warning "出力先を指定してください。" when `path` is empty; else ok.
[[nodiscard]] Status CheckExportPath(const std::string& path);
// Refuses, before anything is asked or written, a path that no export may replace: -1 with
// "通常のファイルではないため出力できません。(PATH)" for a FIFO, device, socket, folder or a
// loop of links, or "リンク先に出力できません。(PATH)" for a link that is not followed even
// with consent (PATH made safe, platform/MessageText.h); else ok.
[[nodiscard]] Status CheckExportTarget(const std::string& path);
// True when nothing of that name exists; else (a file, or a symbolic link even when it
// leads nowhere) asks "既にファイルが存在します。上書きしてよろしいですか？" through
// `prompter` and returns the answer.
[[nodiscard]] bool ConfirmOverwrite(const std::string& path, Prompter& prompter);
// True for CSV, for .xlsx and for at most kLargeXmlExportPairs pairs; else asks
// "データ件数が多いため出力に時間がかかりますがよろしいですか？" through `prompter` and
// returns the answer.
[[nodiscard]] bool ConfirmLargeExport(ExportFormat format, int pairCount, Prompter& prompter);
// The four checks above in the dialog's order; stops at the first refusal: -1, with the
// path's warning or without a message after a No. Ok when the export may go ahead;
// `*replace` (when given) then tells whether the user agreed to replace an existing file,
// which is what WriteExport's `replace` must be.
[[nodiscard]] Status ConfirmExport(const std::string& path, ExportFormat format, int pairCount,
                                   Prompter& prompter, bool* replace = nullptr);

// Creates `path` (replacing an existing regular file only when `replace`), writes the whole
// export of `source` in `format` and `layout`, and closes the file. Shows no message.
// Returns kExportDone, kExportOpenFailed (nothing was written), kExportWriteFailed, or a
// refusal (kExportTargetExists, kExportNotRegular, kExportLinkRefused), found before
// writing or, when the name was taken meanwhile, at the end. The file is written whole or
// not at all (platform/AtomicFile.h): after any failure `path` holds what it held before
// and no temporary file is left; an .xlsx workbook is written into the unnamed file of
// FileSystem::BeginNamedWrite, with libxlsxwriter's temporary files in the same folder.
//
// The rows written are told to `progress` as records (and done units) of Progress::kLeft,
// expecting one per pair and pass over the pairs; once it is cancelled the next block
// written fails (an .xlsx workbook stops at its next row and is dropped without being
// packaged) and the result is kExportCancelled, with `path` as it was.
[[nodiscard]] int WriteExport(const ExportSource& source, ExportFormat format, ExportLayout layout,
                              const std::string& path, Progress& progress = Progress::None(),
                              bool replace = false);
// The outcome of WriteExport as it is shown, with `result` as its code:
// "出力を完了しました。" (information) for kExportDone, "ファイルオープンに失敗しました。" or
// "書き込みに失敗しました。" (warnings) for the failures; kExportCancelled has no message.
// The refusals: "既にファイルが存在します。", "通常のファイルではないため出力できません。(PATH)"
// and "リンク先に出力できません。(PATH)", with `path` made safe for a message.
[[nodiscard]] Status ExportOutcome(int result, const std::string& path = {});
// WriteExport, then its ExportOutcome.
[[nodiscard]] Status RunExport(const ExportSource& source, ExportFormat format, ExportLayout layout,
                               const std::string& path, bool replace = false);

}  // namespace korvel
