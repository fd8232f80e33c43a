#include "compare/RunWarnings.h"

#include "platform/Codepage.h"

namespace korvel {
namespace {

struct Row {
  RunWarningKind kind;
  std::string_view word;
  std::string_view text;  // UTF-8, before the counts
  std::string_view tail;  // UTF-8, after them
};

// Each message ends in "(左:N件 右:N件" and what the tail adds.
constexpr Row kRows[] = {
    {RunWarningKind::kStrayQuote, "stray_quote", "引用符で複数の行が1つのセルに読み込まれました。",
     ""},
    {RunWarningKind::kCutNewline, "cut_newline", "改行を含むセルを1行目までで比較しました。",
     " 改行の置換を指定すると全体を比較します。"},
    {RunWarningKind::kExtraFields, "extra_fields", "項目数を超えるデータを読み込みませんでした。",
     ""},
    {RunWarningKind::kLostChars, "lost_chars", "変換できない文字があります。", ""},
    {RunWarningKind::kDuplicateKeys, "duplicate_keys", "重複キーがあります。", ""},
};

const Row& RowOf(RunWarningKind kind) {
  for (const Row& row : kRows) {
    if (row.kind == kind) return row;
  }
  return kRows[0];
}

}  // namespace

std::string_view RunWarningWord(RunWarningKind kind) { return RowOf(kind).word; }

std::string RunWarningMessage(const RunWarning& warning) {
  const Row& row = RowOf(warning.Kind);
  std::string text = std::string(row.text) + "(左:" + std::to_string(warning.Left) +
                     "件 右:" + std::to_string(warning.Right) + "件";
  if (warning.Kind == RunWarningKind::kStrayQuote) {
    text += std::string(" 最初:") + (warning.FirstSide == Side::kLeft ? "左 " : "右 ") +
            std::to_string(warning.FirstLine) + "行目";
  }
  text += ")";
  text += row.tail;
  return Sjis(text);
}

}  // namespace korvel
