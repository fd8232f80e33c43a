#include "cli/CliOptions.h"

#include <algorithm>
#include <charconv>
#include <set>

#include "compare/DecimalNumber.h"
#include "compare/FieldGrid.h"
#include "platform/Codepage.h"

namespace korvel::cli {
namespace {

// A field number has no upper bound here: a fixed-length definition may hold any number of
// fields, so only the filled grid can tell which numbers exist.
bool ParseFieldNumber(const std::string& text, int* field) {
  int value = 0;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || end != text.data() + text.size() || value < 1) return false;
  *field = value;
  return true;
}

// True when `text` is written as an integer: it is then a field number, never a name.
bool LooksLikeNumber(const std::string& text) {
  long long value = 0;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  return end == text.data() + text.size() && !text.empty() &&
         (ec == std::errc() || ec == std::errc::result_out_of_range);
}

// One field of an option's value: a number, or else a name kept for looking up later.
// Whether names may be used at all is judged once the whole command line is read.
bool ParseFieldRef(const std::string& option, const std::string& value, const std::string& text,
                   CliOptions* o, int* field) {
  if (LooksLikeNumber(text) || text.empty()) return ParseFieldNumber(text, field);
  o->fieldNames.push_back({option, value, text, o->keys.size()});
  *field = 0;
  return true;
}

bool ParseFieldList(const OptionRow& row, const std::string& text, CliOptions* o) {
  std::vector<int>& fields = o->*std::get<std::vector<int> CliOptions::*>(row.target);
  std::size_t start = 0;
  for (;;) {
    std::size_t comma = text.find(',', start);
    int field = 0;
    if (!ParseFieldRef(std::string(row.name), text, text.substr(start, comma - start), o, &field))
      return false;
    if (field > 0) fields.push_back(field);
    if (comma == std::string::npos) return true;
    start = comma + 1;
  }
}

bool ParseKey(const OptionRow& row, const std::string& text, CliOptions* o) {
  KeyOption key;
  std::string number = text;
  if (text.size() > 4 && text.compare(text.size() - 4, 4, ":num") == 0) {
    number = text.substr(0, text.size() - 4);
    key.numeric = true;
  }
  if (!ParseFieldRef(std::string(row.name), text, number, o, &key.field)) return false;
  (o->*std::get<std::vector<KeyOption> CliOptions::*>(row.target)).push_back(key);
  return true;
}

// A choice's words, '|' between them, each with its index.
template <typename Visit>
bool ForEachWord(std::string_view words, Visit visit) {
  int index = 0;
  for (std::size_t start = 0; start <= words.size(); ++index) {
    std::size_t bar = std::min(words.find('|', start), words.size());
    if (visit(words.substr(start, bar - start), index)) return true;
    start = bar + 1;
  }
  return false;
}

bool ParseChoice(const OptionRow& row, const std::string& value, CliOptions* o) {
  const ChoiceStore store = std::get<ChoiceStore>(row.target);
  bool valid = false;
  ForEachWord(row.words, [&](std::string_view word, int index) {
    if (word.ends_with(":N")) {
      const std::string_view prefix = word.substr(0, word.size() - 1);
      if (!value.starts_with(prefix)) return false;
      int field = 0;
      valid = ParseFieldRef(std::string(row.name), value, value.substr(prefix.size()), o, &field);
      if (valid) store(*o, index, field);
      return true;
    }
    if (value != word) return false;
    store(*o, index, 0);
    valid = true;
    return true;
  });
  return valid;
}

// Applies a value to the row's target by the row's kind; false with `*error` set when the
// value is malformed.
bool ApplyValue(const OptionRow& row, const std::string& value, CliOptions* o, std::string* error) {
  auto bad = [&]() {
    *error = std::string(row.name) + " の値が正しくありません: " + value;
    return false;
  };
  switch (row.kind) {
    case ValueKind::kNone:
      if (!value.empty()) return bad();
      o->*std::get<bool CliOptions::*>(row.target) = true;
      break;
    case ValueKind::kText:
      if (value.empty()) return bad();
      o->*std::get<std::string CliOptions::*>(row.target) = value;
      break;
    case ValueKind::kCharacter:
      if (value.size() != 1) {
        *error = std::string(row.name) + " には1バイトの文字を指定してください。";
        return false;
      }
      o->*std::get<char CliOptions::*>(row.target) = value[0];
      break;
    case ValueKind::kNumber: {
      // The argument is UTF-8; the number is read as the window reads what is typed (CP932).
      std::string text = Utf8ToCp932(value);
      DecimalNumber tolerance;
      if (!ParseTolerance(text, &tolerance)) return bad();
      o->*std::get<std::string CliOptions::*>(row.target) = std::move(text);
      break;
    }
    case ValueKind::kKey:
      if (!ParseKey(row, value, o)) return bad();
      break;
    case ValueKind::kFieldList:
      if (!ParseFieldList(row, value, o)) return bad();
      break;
    case ValueKind::kChoice:
      if (!ParseChoice(row, value, o)) return bad();
      break;
  }
  o->given.push_back(row.name);
  o->applied.emplace_back(row.name, value);
  return true;
}

// Field names exist only where the files have them: a header line, or the definitions of
// fixed-length files. Elsewhere a value that is no number is refused as it always was.
bool CheckFieldNamesAllowed(const CliOptions& o, std::string* error) {
  if (o.fieldNames.empty() || o.header || o.kind == FileKindOption::kFixed) return true;
  const FieldNameOption& first = o.fieldNames.front();
  *error = first.option + " の値が正しくありません: " + first.value;
  return false;
}

bool CheckCombinations(CliOptions* o, std::string* error) {
  // Standard input can be read only once.
  if (o->left == "-" && o->right == "-") {
    *error = "標準入力 (-) は左右どちらか一方のファイルにだけ指定できます。";
    return false;
  }
  if (o->Given("--delimiter") && o->kind != FileKindOption::kOther) {
    *error = "--delimiter は --kind other と共に指定してください。";
    return false;
  }
  if (o->kind == FileKindOption::kFixed && o->fixedDef.empty()) {
    *error = "--kind fixed には --fixed-def で定義ファイルを指定してください。";
    return false;
  }
  if (o->kind != FileKindOption::kFixed && !o->fixedDef.empty()) {
    *error = "--fixed-def は --kind fixed と共に指定してください。";
    return false;
  }
  if (o->kind == FileKindOption::kOther && (o->delimiter == '\r' || o->delimiter == '\n' ||
                                            o->delimiter == '"' || o->delimiter == '\0')) {
    *error = "--delimiter に改行や引用符は指定できません。";
    return false;
  }
  const bool reportFormatGiven = o->Given("--report-format");
  if (o->reportPath.empty() && o->reportDir.empty() && (reportFormatGiven || o->reportAllFields)) {
    *error = std::string(reportFormatGiven ? "--report-format" : "--report-all-fields") +
             " は --report と共に指定してください。";
    return false;
  }
  // Standard output then carries the report alone; rows printed into it would corrupt it.
  if (o->reportPath == "-" && o->pairs) {
    *error = "--pairs と --report - は同時に指定できません。";
    return false;
  }
  if (o->reportPath == "-" && o->fieldSummary) {
    *error = "--field-summary と --report - は同時に指定できません。";
    return false;
  }
  if (o->matchNames && o->kind == FileKindOption::kFixed) {
    *error = "--match-names は --kind fixed には指定できません。";
    return false;
  }
  if (o->matchNames && !o->header) {
    *error = "--match-names は --header と共に指定してください。";
    return false;
  }
  return CheckFieldChoices(*o, error);
}

}  // namespace

// ---------------------------------------------------------------------------
// The table

namespace {

// The value each word of --encoding stands for, in the order of the words.
constexpr int kEncodingCodes[] = {0, 10, 15, kEncodingEucJp, kEncodingAuto};

const OptionRow kOptions[] = {
    // File kind and reading.
    {"--kind", "", ValueKind::kChoice, "csv|tab|other|fixed", "",
     ChoiceStore([](CliOptions& o, int word, int) { o.kind = FileKindOption(word); }),
     OptionGroup::kReading,
     "ファイル種別: カンマ区切り, TAB区切り, --delimiter の文字で区切り,\n固定長 (既定: csv)"},
    {"--delimiter", "", ValueKind::kCharacter, "C", "", &CliOptions::delimiter,
     OptionGroup::kReading, "--kind other の区切り文字 (1バイト, 既定: |)"},
    {"--header", "", ValueKind::kNone, "", "", &CliOptions::header, OptionGroup::kReading,
     "先頭行フィールド (先頭行に項目名がある)"},
    {"--match-names", "", ValueKind::kNone, "", "", &CliOptions::matchNames, OptionGroup::kReading,
     "項目名で対応付け (--header と共に; 固定長には指定できない)"},
    // auto: ASCII-only text takes the settings' CODE (see CliRun).
    {"--encoding", "", ValueKind::kChoice, "sjis|utf16|utf8|eucjp|auto", "",
     ChoiceStore([](CliOptions& o, int word, int) { o.encoding = kEncodingCodes[word]; }),
     OptionGroup::kReading,
     "文字コード (auto: ファイル毎に自動判定; 既定: 設定ファイルの\n"
     "CODE と CODE_EX, なければ sjis)"},
    {"--no-bom", "", ValueKind::kNone, "", "", &CliOptions::noBom, OptionGroup::kReading,
     "他の文字コードを示すBOMを採用しない"},
    {"--tab-old", "", ValueKind::kNone, "", "", &CliOptions::tabOld, OptionGroup::kReading,
     "TAB区切りファイルをCSVの規則で読む"},
    {"--newline", "", ValueKind::kChoice, "0|1|2", "",
     ChoiceStore([](CliOptions& o, int word, int) { o.newlineMode = word; }), OptionGroup::kReading,
     "引用符内の改行の置換: 0 なし (改行を含むセルは1行目だけを比較),\n1 全角空白, 2 ¶"},
    {"--fixed-def", "", ValueKind::kText, "FILE", "", &CliOptions::fixedDef, OptionGroup::kReading,
     "固定長の定義ファイル (項目名 TAB サイズ の行; --kind fixed で必須)"},
    // Fields.
    {"--key", "", ValueKind::kKey, "N[:num]", "", &CliOptions::keys, OptionGroup::kFields,
     "連携キー (最大6個; :num で数値として比較・整列)"},
    {"--ignore-spaces", "", ValueKind::kFieldList, "N[,N...]", "", &CliOptions::ignoreSpaces,
     OptionGroup::kFields, "半角・全角の空白を除いて比較 (SPC除く)", FieldGrid::kIgnoreSpaces,
     true},
    {"--not-compared", "", ValueKind::kFieldList, "N[,N...]", "", &CliOptions::notCompared,
     OptionGroup::kFields, "比較しない (不要)", FieldGrid::kNotCompared, true},
    {"--not-loaded", "", ValueKind::kFieldList, "N[,N...]", "", &CliOptions::notLoaded,
     OptionGroup::kFields, "読み込まない (未取込, 最大4個)", FieldGrid::kNotLoaded, false},
    {"--numeric", "", ValueKind::kFieldList, "N[,N...]", "", &CliOptions::numeric,
     OptionGroup::kFields, "数値として比較し, 許容差以内は相違なしとする (数値比較)",
     FieldGrid::kNumberCompare, true},
    {"--tolerance", "", ValueKind::kNumber, "X", "", &CliOptions::tolerance, OptionGroup::kFields,
     "数値比較の許容差 (0〜1e15; 既定: 設定ファイルの NUM_TOL,\nなければ 0)"},
    // Result. A plain extraction leaves the field of an earlier one as it was.
    {"--extract", "", ValueKind::kChoice,
     "diff|diff-all|equal|left-only|right-only|field-diff:N|field-equal:N", "KIND",
     ChoiceStore([](CliOptions& o, int word, int field) {
       o.extract = ExtractOption(word + 1);
       if (o.extract == ExtractOption::kFieldDiff || o.extract == ExtractOption::kFieldEqual) {
         o.extractField = field;
       }
     }),
     OptionGroup::kResult,
     "表示する行: diff, diff-all, equal, left-only, right-only,\nfield-diff:N, field-equal:N", 0,
     false, true},
    {"--pairs", "", ValueKind::kNone, "", "", &CliOptions::pairs, OptionGroup::kResult,
     "表示行を出力 (Status TAB 左行 TAB 右行; 行は0から, なしは -1)"},
    {"--field-summary", "", ValueKind::kNone, "", "", &CliOptions::fieldSummary,
     OptionGroup::kResult,
     "件数の行の後に比較した項目毎の相違件数を出力\n(項目番号 TAB 項目名 TAB 相違件数; 項目順)"},
    {"--export", "", ValueKind::kText, "FILE", "", &CliOptions::exportPath, OptionGroup::kResult,
     "表示行をファイルへ出力"},
    {"--format", "", ValueKind::kChoice, "xml|csv|xlsx", "",
     ChoiceStore([](CliOptions& o, int word, int) { o.format = ExportFormat(word); }),
     OptionGroup::kResult, "出力形式: XML, CSV(カンマ区切り), Excel(.xlsx) (既定: xml)"},
    {"--layout", "", ValueKind::kChoice, "sheet|field|row", "",
     ChoiceStore([](CliOptions& o, int word, int) { o.layout = ExportLayout(word); }),
     OptionGroup::kResult, "出力方法: シート別, 項目毎交互, 行交互 (既定: field)"},
    {"--report", "", ValueKind::kText, "FILE", "", &CliOptions::reportPath, OptionGroup::kResult,
     "項目単位の差分レポートをファイルへ出力 (UTF-8; - は標準出力で,\n件数の行は標準エラーへ)"},
    {"--report-format", "", ValueKind::kChoice, "jsonl|csv", "",
     ChoiceStore([](CliOptions& o, int word, int) { o.reportFormat = ReportFormatOption(word); }),
     OptionGroup::kResult, "レポートの形式: JSON Lines, CSV (既定: jsonl)"},
    {"--report-all-fields", "", ValueKind::kNone, "", "", &CliOptions::reportAllFields,
     OptionGroup::kResult, "レポートに相違のない項目も出力する"},
    {"--force", "", ValueKind::kNone, "", "", &CliOptions::force, OptionGroup::kResult,
     "既存の出力ファイル・レポートファイルを上書きする"},
    {"--strict", "", ValueKind::kNone, "", "", &CliOptions::strict, OptionGroup::kResult,
     "読込の警告や重複キーがあれば失敗とする (件数と警告を表示して\n終了コード 2)", 0, false, true},
    // Folders.
    {"--folders", "", ValueKind::kNone, "", "", &CliOptions::folders, OptionGroup::kResult,
     "2つのフォルダのファイルを相対パスで対応付けて比較する (フォルダ比較)"},
    {"--include", "", ValueKind::kText, "GLOB[,GLOB...]", "", &CliOptions::include,
     OptionGroup::kResult, "フォルダ比較で比較するファイル名 (* と ?)"},
    {"--jobs", "", ValueKind::kText, "N", "", &CliOptions::jobs, OptionGroup::kResult,
     "フォルダ比較で同時に比較する組の数 (既定: CPU の数)"},
    {"--report-dir", "", ValueKind::kText, "DIR", "", &CliOptions::reportDir, OptionGroup::kResult,
     "フォルダ比較: 組ごとのレポートと index.jsonl を出力するフォルダ"},
    {"--export-dir", "", ValueKind::kText, "DIR", "", &CliOptions::exportDir, OptionGroup::kResult,
     "フォルダ比較: 相違のある組ごとの出力ファイルのフォルダ"},
    // The program itself.
    {"--settings", "", ValueKind::kText, "FILE", "", &CliOptions::settingsPath,
     OptionGroup::kGeneral,
     "比較設定ファイル (.korvel): "
     "左ファイルの名前に合うセクションを使う\n(コマンドラインの指定が優先)"},
    {"--save-settings", "", ValueKind::kText, "FILE", "", &CliOptions::saveSettingsPath,
     OptionGroup::kGeneral, "この比較の設定を比較設定ファイルに保存する (上書きは --force)"},
    {"--help", "-h", ValueKind::kNone, "", "", &CliOptions::help, OptionGroup::kGeneral,
     "この説明を表示"},
    {"--version", "", ValueKind::kNone, "", "", &CliOptions::version, OptionGroup::kGeneral,
     "製品名とバージョンを表示"},
};

// The usage's headings, by OptionGroup; the last group has none.
constexpr std::string_view kGroupHeadings[] = {
    "ファイルの種類と読込:",
    "項目の指定 (N はフィールド番号, 1から; --header か固定長なら項目名も可):", "結果:", ""};

// The usage's option lines: the option and its value from the third column, the help from
// the thirty-first (on a line of its own after an option too long for the column).
constexpr std::size_t kHelpColumn = 30;

void AppendUsageRow(const OptionRow& row, std::string& out) {
  std::string option(row.alias);
  if (!option.empty()) option += ", ";
  option += row.name;
  if (row.kind != ValueKind::kNone) {
    option.append(" ").append(row.shownValue.empty() ? row.words : row.shownValue);
  }
  out.append("  ").append(option);
  if (option.size() + 4 <= kHelpColumn) {
    out.append(kHelpColumn - 2 - option.size(), ' ');
  } else {
    out.append("\n").append(kHelpColumn, ' ');
  }
  for (std::size_t start = 0;;) {
    const std::size_t end = std::min(row.help.find('\n', start), row.help.size());
    out.append(row.help.substr(start, end - start)).append("\n");
    if (end == row.help.size()) break;
    out.append(kHelpColumn, ' ');
    start = end + 1;
  }
}

}  // namespace

bool InSettingsFile(const OptionRow& row) {
  return row.group == OptionGroup::kReading || row.group == OptionGroup::kFields || row.inSettings;
}

bool CheckOptions(CliOptions* o, std::string* error) {
  return CheckFieldNamesAllowed(*o, error) && CheckCombinations(o, error);
}

bool CliOptions::Given(std::string_view name) const {
  return std::find(given.begin(), given.end(), name) != given.end();
}

std::span<const OptionRow> OptionTable() { return kOptions; }

const OptionRow* FindOption(std::string_view name) {
  for (const OptionRow& row : kOptions) {
    if (row.name == name || (!row.alias.empty() && row.alias == name)) return &row;
  }
  return nullptr;
}

bool ApplyOption(std::string_view name, const std::string& value, CliOptions* o,
                 std::string* error) {
  const OptionRow* row = FindOption(name);
  if (row == nullptr) {
    *error = "不明なオプションです: " + std::string(name);
    return false;
  }
  return ApplyValue(*row, value, o, error);
}

std::vector<int>* FieldListOf(CliOptions& o, std::string_view option) {
  const OptionRow* row = FindOption(option);
  if (row == nullptr || row->kind != ValueKind::kFieldList) return nullptr;
  return &(o.*std::get<std::vector<int> CliOptions::*>(row->target));
}

bool CheckFieldChoices(const CliOptions& o, std::string* error) {
  std::set<int> keyFields;
  for (const KeyOption& k : o.keys) {
    if (k.field == 0) continue;  // a name not yet looked up
    if (!keyFields.insert(k.field).second) {
      *error = "--key でフィールド " + std::to_string(k.field) + " が重複しています。";
      return false;
    }
  }
  for (const OptionRow& row : kOptions) {
    if (!row.notOnKey) continue;
    for (int f : o.*std::get<std::vector<int> CliOptions::*>(row.target)) {
      if (keyFields.count(f)) {
        *error = std::string(row.name) + " はキーのフィールド " + std::to_string(f) +
                 " には指定できません。";
        return false;
      }
    }
  }
  // The grid shows 数値比較 as unavailable on a field that is not compared or not loaded.
  for (const auto& [list, option] :
       {std::pair{&o.notCompared, "--not-compared"}, std::pair{&o.notLoaded, "--not-loaded"}}) {
    for (int f : o.numeric) {
      if (std::find(list->begin(), list->end(), f) != list->end()) {
        *error = std::string("--numeric と ") + option + " は同じフィールド " + std::to_string(f) +
                 " には指定できません。";
        return false;
      }
    }
  }
  return true;
}

bool ParseCliOptions(const std::vector<std::string>& args, CliOptions* o, std::string* error) {
  *o = CliOptions{};
  std::vector<std::string> paths;
  bool optionsEnded = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (optionsEnded || arg.size() < 2 || arg[0] != '-') {
      paths.push_back(arg);
      continue;
    }
    if (arg == "--") {
      optionsEnded = true;
      continue;
    }
    const OptionRow* row = FindOption(arg);
    if (row != nullptr && row->kind == ValueKind::kNone) {
      if (!ApplyValue(*row, "", o, error)) return false;
      continue;
    }
    std::string name = arg;
    std::string value;
    bool hasValue = false;
    if (std::size_t eq = arg.find('='); eq != std::string::npos && arg.rfind("--", 0) == 0) {
      name = arg.substr(0, eq);
      value = arg.substr(eq + 1);
      hasValue = true;
    }
    // A flag takes no value, not even after '='.
    row = FindOption(name);
    if (row == nullptr || row->kind == ValueKind::kNone || row->name != name) {
      *error = "不明なオプションです: " + arg;
      return false;
    }
    if (!hasValue) {
      if (i + 1 >= args.size()) {
        *error = name + " には値が必要です。";
        return false;
      }
      value = args[++i];
    }
    if (!ApplyValue(*row, value, o, error)) return false;
  }
  // A settings file still to be applied (--settings) may complete what the command line
  // leaves out: the run checks the options once it is applied.
  const bool deferred = !o->settingsPath.empty();
  if (!deferred && !CheckFieldNamesAllowed(*o, error)) return false;
  if (o->help || o->version) return true;
  if (paths.size() != 2) {
    *error = paths.size() < 2 ? "比較する2つのファイルを指定してください。"
                              : "ファイルは2つだけ指定してください。";
    return false;
  }
  o->left = paths[0];
  o->right = paths[1];
  return deferred || CheckCombinations(o, error);
}

std::string UsageText() {
  std::string out =
      "使い方: korvel-cli [オプション] 左ファイル 右ファイル\n\n"
      "2つの表形式テキストファイルをレコード単位・項目単位で比較し、結果の件数を表示します。\n";
  for (std::size_t group = 0; group < std::size(kGroupHeadings); ++group) {
    out.append("\n");
    if (!kGroupHeadings[group].empty()) out.append(kGroupHeadings[group]).append("\n");
    for (const OptionRow& row : kOptions) {
      if (static_cast<std::size_t>(row.group) == group) AppendUsageRow(row, out);
    }
  }
  out.append(
      "\n左ファイルか右ファイルの一方に - を指定すると、標準入力を読みます。\n\n"
      "終了コード: 0 相違なし, 1 相違あり, 2 失敗 (--strict では警告があるときも)\n");
  return out;
}

}  // namespace korvel::cli
