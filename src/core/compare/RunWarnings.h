#pragma once
// RunWarnings: what a completed comparison tells besides its counts — the reading rules
// that may have hidden a difference (a stray quote that joined lines, cells cut at their
// first line break, fields past the first record's count, characters without a Shift-JIS
// form) and keys that occur more than once. One row per kind, in the order they are told:
// the report names them by their word, korvel-cli prints their messages after the summary
// and the window lists them in one box after the result.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "compare/ResultModel.h"

namespace korvel {

enum class RunWarningKind { kStrayQuote, kCutNewline, kExtraFields, kLostChars, kDuplicateKeys };

struct RunWarning {
  RunWarningKind Kind;
  std::uint64_t Left = 0;  // per side: the quotes, cells, records, characters or records
  std::uint64_t Right = 0;
  // kStrayQuote: where the first such quote opened (its side and physical line).
  Side FirstSide = Side::kLeft;
  long long FirstLine = 0;
};

// The report's word for the kind ("stray_quote", "cut_newline", "extra_fields",
// "lost_chars", "duplicate_keys").
std::string_view RunWarningWord(RunWarningKind kind);
// The message in CP932, counts printed whole, e.g. "項目数を超えるデータを読み込みません
// でした。(左:3件 右:0件)".
std::string RunWarningMessage(const RunWarning& warning);
// Whether the kind is a reading rule's (all but the duplicate keys, which the window's
// status bar names on their own).
inline bool IsReadingWarning(RunWarningKind kind) { return kind != RunWarningKind::kDuplicateKeys; }

}  // namespace korvel
