#pragma once
// The fixed-length definition as the definition grid and the definition file (.dat) hold
// it, with the checks made before it is confirmed or saved. The definition dialog and
// korvel-cli share these; neither needs a window.
//
// A row is a name and a size as typed (Shift-JIS texts). The rows handed in are the
// definitions only: the grid's empty entry row at the bottom is not one of them.
//
// The file: one line per row in field order, "name<TAB>size" with the size in decimal, each
// line ending with CR LF, the last one included; Shift-JIS; no header. Reading takes lines
// ended by CR with or without LF; the name is the text before the first TAB and the size
// the text after it up to a further TAB (each cut to 100 bytes); an empty line gives an
// empty row. Nothing is checked while loading.
//
// Nothing here shows a message: each operation returns a Status with its result code and
// its messages (refusals and failures as warnings, the save notice as information); the
// question before an existing file is replaced goes through the caller's Prompter.

#include <string>
#include <string_view>
#include <vector>

#include "io/FixedWidthReader.h"
#include "platform/Prompter.h"
#include "platform/Status.h"

namespace korvel {

struct FixDefinitionRow {
  std::string name;  // Shift-JIS, at most 30 bytes to pass the check
  std::string size;  // a decimal integer from 1 to 500 to pass the check
  bool operator==(const FixDefinitionRow&) const = default;
};
using FixDefinitionRows = std::vector<FixDefinitionRow>;

inline constexpr int kFixMinSize = 1;
inline constexpr int kFixMaxSize = 500;
inline constexpr int kFixMaxNameBytes = FixedWidthReader::kMaxNameBytes;

// CheckFixDefinitions results.
inline constexpr int kFixCheckOk = 0;
inline constexpr int kFixNameTooLong = -1;  // "名前が長すぎます。"
inline constexpr int kFixSizeTooSmall = -2;  // "サイズが不正です。１以上の値を入力してください。"
inline constexpr int kFixSizeTooLarge = -3;  // "サイズが不正です。500以内の値を入力してください。"
inline constexpr int kFixNoDefinition = -4;  // "サイズを指定してください。"

// The size text as a decimal integer (spaces around it and a sign allowed); 0 for any text
// that is not one, or that is out of the range of int.
int ParseFixSize(std::string_view text);

// The 1-based byte position where each row's field starts: 1 plus the sizes of the rows
// above it (sizes read by ParseFixSize).
std::vector<long long> FixStartPositions(const FixDefinitionRows& rows);

// Checks the rows from the top: a name over 30 bytes, then a size below 1 (a size that is
// not a number included), then a size over 500; after all rows, that there is at least one.
// Empty names pass. The first failure is the code, with its warning, and its row index
// (from 0) in `*failedRow` when given; kFixCheckOk else. `*failedRow` is -1 when no row
// failed (kFixCheckOk, kFixNoDefinition).
[[nodiscard]] Status CheckFixDefinitions(const FixDefinitionRows& rows, int* failedRow = nullptr);

// Replaces the definitions of `fix` with the rows (ClearDefinitions, then AddDefinition
// of each name and size in order). The rows must pass CheckFixDefinitions: otherwise
// nothing changes and the check's code is returned without a message. kFixCheckOk, or
// FixedWidthReader::kAddNoMemory with the memory messages (the definitions are then
// incomplete).
[[nodiscard]] Status ApplyFixDefinitions(const FixDefinitionRows& rows, FixedWidthReader& fix);

// The rows of the current definitions of `fix` (sizes in decimal), as the dialog shows them
// when it opens.
FixDefinitionRows RowsFromFix(const FixedWidthReader& fix);

// The dialogs' file-name rule: ".dat" is appended when the file-name part has no dot.
std::string WithDatExtension(std::string path);

// Reads a definition file into `rows`. 0, with `rows` replaced; -1 with the warning
// "ファイルの読み込みに失敗しました。" when the file cannot be read (`rows` unchanged).
[[nodiscard]] Status LoadFixDefinitionFile(const std::string& path, FixDefinitionRows& rows);

// Writes the rows as a definition file, replacing `path` (sizes written by ParseFixSize, so
// the rows should have passed CheckFixDefinitions). 0 with the notice "保存しました。";
// -1 with the warning "保存に失敗しました。" (the file may then be incomplete).
[[nodiscard]] Status WriteFixDefinitionFile(const std::string& path, const FixDefinitionRows& rows);

// The whole save for a caller that has its path: CheckFixDefinitions, then
// CheckOutputPath (a folder is refused; an existing file needs a Yes through `prompter`),
// then WriteFixDefinitionFile. 0 saved; 1 not saved because a check refused it (with the
// check's message, if any); -1 the write failed.
[[nodiscard]] Status SaveFixDefinitionFile(const std::string& path, const FixDefinitionRows& rows,
                                           Prompter& prompter);

}  // namespace korvel
