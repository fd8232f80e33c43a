#include "cli/CliOptions.h"

#include <algorithm>
#include <charconv>
#include <set>

#include "compare/DecimalNumber.h"
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

bool ParseFieldList(const std::string& option, const std::string& text, CliOptions* o) {
  std::vector<int>* fields = FieldListOf(*o, option);
  std::size_t start = 0;
  for (;;) {
    std::size_t comma = text.find(',', start);
    int field = 0;
    if (!ParseFieldRef(option, text, text.substr(start, comma - start), o, &field)) return false;
    if (field > 0) fields->push_back(field);
    if (comma == std::string::npos) return true;
    start = comma + 1;
  }
}

bool ParseKey(const std::string& text, CliOptions* o) {
  KeyOption key;
  std::string number = text;
  if (text.size() > 4 && text.compare(text.size() - 4, 4, ":num") == 0) {
    number = text.substr(0, text.size() - 4);
    key.numeric = true;
  }
  if (!ParseFieldRef("--key", text, number, o, &key.field)) return false;
  o->keys.push_back(key);
  return true;
}

bool ParseExtract(const std::string& text, CliOptions* o) {
  static const std::pair<const char*, ExtractOption> kPlain[] = {
      {"diff", ExtractOption::kDiff},
      {"diff-all", ExtractOption::kDiffAll},
      {"equal", ExtractOption::kEqual},
      {"left-only", ExtractOption::kLeftOnly},
      {"right-only", ExtractOption::kRightOnly}};
  for (const auto& [name, kind] : kPlain) {
    if (text == name) {
      o->extract = kind;
      return true;
    }
  }
  for (const auto& [prefix, kind] :
       {std::pair{std::string("field-diff:"), ExtractOption::kFieldDiff},
        std::pair{std::string("field-equal:"), ExtractOption::kFieldEqual}}) {
    if (text.rfind(prefix, 0) == 0) {
      o->extract = kind;
      return ParseFieldRef("--extract", text, text.substr(prefix.size()), o, &o->extractField);
    }
  }
  return false;
}

// The options that take a value.
const std::set<std::string>& ValueOptions() {
  static const std::set<std::string> kOptions = {
      "--kind",    "--delimiter",     "--encoding",     "--newline",    "--fixed-def",
      "--key",     "--ignore-spaces", "--not-compared", "--not-loaded", "--extract",
      "--export",  "--format",        "--layout",       "--report",     "--report-format",
      "--numeric", "--tolerance"};
  return kOptions;
}

bool ApplyValue(const std::string& name, const std::string& value, CliOptions* o,
                std::string* error) {
  auto bad = [&]() {
    *error = name + " の値が正しくありません: " + value;
    return false;
  };
  if (name == "--kind") {
    if (value == "csv")
      o->kind = FileKindOption::kCsv;
    else if (value == "tab")
      o->kind = FileKindOption::kTab;
    else if (value == "other")
      o->kind = FileKindOption::kOther;
    else if (value == "fixed")
      o->kind = FileKindOption::kFixed;
    else
      return bad();
  } else if (name == "--delimiter") {
    if (value.size() != 1) {
      *error = "--delimiter には1バイトの文字を指定してください。";
      return false;
    }
    o->delimiter = value[0];
    o->delimiterGiven = true;
  } else if (name == "--encoding") {
    if (value == "sjis")
      o->encoding = 0;
    else if (value == "utf16")
      o->encoding = 10;
    else if (value == "utf8")
      o->encoding = 15;
    else if (value == "eucjp")
      o->encoding = kEncodingEucJp;
    else if (value == "auto")
      o->encoding = kEncodingAuto;  // ASCII-only text: the settings' CODE (see CliRun)
    else
      return bad();
  } else if (name == "--newline") {
    if (value == "0" || value == "1" || value == "2")
      o->newlineMode = value[0] - '0';
    else
      return bad();
  } else if (name == "--fixed-def") {
    if (value.empty()) return bad();
    o->fixedDef = value;
  } else if (name == "--key") {
    if (!ParseKey(value, o)) return bad();
  } else if (FieldListOf(*o, name) != nullptr) {
    if (!ParseFieldList(name, value, o)) return bad();
  } else if (name == "--tolerance") {
    // The argument is UTF-8; the number is read as the window reads what is typed (CP932).
    std::string text = Utf8ToCp932(value);
    DecimalNumber tolerance;
    if (!ParseTolerance(text, &tolerance)) return bad();
    o->tolerance = std::move(text);
  } else if (name == "--extract") {
    if (!ParseExtract(value, o)) return bad();
  } else if (name == "--export") {
    if (value.empty()) return bad();
    o->exportPath = value;
  } else if (name == "--format") {
    if (value == "xml")
      o->format = ExportFormat::kXml;
    else if (value == "csv")
      o->format = ExportFormat::kCsv;
    else if (value == "xlsx")
      o->format = ExportFormat::kXlsx;
    else
      return bad();
  } else if (name == "--report") {
    if (value.empty()) return bad();
    o->reportPath = value;
  } else if (name == "--report-format") {
    if (value == "jsonl")
      o->reportFormat = ReportFormatOption::kJsonLines;
    else if (value == "csv")
      o->reportFormat = ReportFormatOption::kCsv;
    else
      return bad();
    o->reportFormatGiven = true;
  } else if (name == "--layout") {
    if (value == "sheet")
      o->layout = ExportLayout::kSheet;
    else if (value == "field")
      o->layout = ExportLayout::kField;
    else if (value == "row")
      o->layout = ExportLayout::kRow;
    else
      return bad();
  }
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
  if (o->delimiterGiven && o->kind != FileKindOption::kOther) {
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
  if (o->reportPath.empty() && (o->reportFormatGiven || o->reportAllFields)) {
    *error = std::string(o->reportFormatGiven ? "--report-format" : "--report-all-fields") +
             " は --report と共に指定してください。";
    return false;
  }
  // Standard output then carries the report alone; rows printed into it would corrupt it.
  if (o->reportPath == "-" && o->pairs) {
    *error = "--pairs と --report - は同時に指定できません。";
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

std::vector<int>* FieldListOf(CliOptions& o, const std::string& option) {
  if (option == "--ignore-spaces") return &o.ignoreSpaces;
  if (option == "--not-compared") return &o.notCompared;
  if (option == "--not-loaded") return &o.notLoaded;
  if (option == "--numeric") return &o.numeric;
  return nullptr;
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
  const std::pair<const std::vector<int>*, const char*> keyless[] = {
      {&o.ignoreSpaces, "--ignore-spaces"},
      {&o.notCompared, "--not-compared"},
      {&o.numeric, "--numeric"}};
  for (const auto& [list, option] : keyless) {
    for (int f : *list) {
      if (keyFields.count(f)) {
        *error = std::string(option) + " はキーのフィールド " + std::to_string(f) +
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
    } else if (arg == "-h" || arg == "--help") {
      o->help = true;
    } else if (arg == "--version") {
      o->version = true;
    } else if (arg == "--header") {
      o->header = true;
    } else if (arg == "--match-names") {
      o->matchNames = true;
    } else if (arg == "--no-bom") {
      o->noBom = true;
    } else if (arg == "--tab-old") {
      o->tabOld = true;
    } else if (arg == "--pairs") {
      o->pairs = true;
    } else if (arg == "--force") {
      o->force = true;
    } else if (arg == "--report-all-fields") {
      o->reportAllFields = true;
    } else if (arg == "--strict") {
      o->strict = true;
    } else {
      std::string name = arg;
      std::string value;
      bool hasValue = false;
      if (std::size_t eq = arg.find('='); eq != std::string::npos && arg.rfind("--", 0) == 0) {
        name = arg.substr(0, eq);
        value = arg.substr(eq + 1);
        hasValue = true;
      }
      if (!ValueOptions().count(name)) {
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
      if (!ApplyValue(name, value, o, error)) return false;
    }
  }
  if (!CheckFieldNamesAllowed(*o, error)) return false;
  if (o->help || o->version) return true;
  if (paths.size() != 2) {
    *error = paths.size() < 2 ? "比較する2つのファイルを指定してください。"
                              : "ファイルは2つだけ指定してください。";
    return false;
  }
  o->left = paths[0];
  o->right = paths[1];
  return CheckCombinations(o, error);
}

std::string UsageText() {
  return R"(使い方: korvel-cli [オプション] 左ファイル 右ファイル

2つの表形式テキストファイルをレコード単位・項目単位で比較し、結果の件数を表示します。

ファイルの種類と読込:
  --kind csv|tab|other|fixed  ファイル種別: カンマ区切り, TAB区切り, --delimiter の文字で区切り,
                              固定長 (既定: csv)
  --delimiter C               --kind other の区切り文字 (1バイト, 既定: |)
  --header                    先頭行フィールド (先頭行に項目名がある)
  --match-names               項目名で対応付け (--header と共に; 固定長には指定できない)
  --encoding sjis|utf16|utf8|eucjp|auto
                              文字コード (auto: ファイル毎に自動判定; 既定: 設定ファイルの
                              CODE と CODE_EX, なければ sjis)
  --no-bom                    他の文字コードを示すBOMを採用しない
  --tab-old                   TAB区切りファイルをCSVの規則で読む
  --newline 0|1|2             引用符内の改行の置換: 0 なし (改行を含むセルは1行目だけを比較),
                              1 全角空白, 2 ¶
  --fixed-def FILE            固定長の定義ファイル (項目名 TAB サイズ の行; --kind fixed で必須)

項目の指定 (N はフィールド番号, 1から; --header か固定長なら項目名も可):
  --key N[:num]               連携キー (最大6個; :num で数値として比較・整列)
  --ignore-spaces N[,N...]    半角・全角の空白を除いて比較 (SPC除く)
  --not-compared N[,N...]     比較しない (不要)
  --not-loaded N[,N...]       読み込まない (未取込, 最大4個)
  --numeric N[,N...]          数値として比較し, 許容差以内は相違なしとする (数値比較)
  --tolerance X               数値比較の許容差 (0〜1e15; 既定: 設定ファイルの NUM_TOL,
                              なければ 0)

結果:
  --extract KIND              表示する行: diff, diff-all, equal, left-only, right-only,
                              field-diff:N, field-equal:N
  --pairs                     表示行を出力 (Status TAB 左行 TAB 右行; 行は0から, なしは -1)
  --export FILE               表示行をファイルへ出力
  --format xml|csv|xlsx       出力形式: XML, CSV(カンマ区切り), Excel(.xlsx) (既定: xml)
  --layout sheet|field|row    出力方法: シート別, 項目毎交互, 行交互 (既定: field)
  --report FILE               項目単位の差分レポートをファイルへ出力 (UTF-8; - は標準出力で,
                              件数の行は標準エラーへ)
  --report-format jsonl|csv   レポートの形式: JSON Lines, CSV (既定: jsonl)
  --report-all-fields         レポートに相違のない項目も出力する
  --force                     既存の出力ファイル・レポートファイルを上書きする
  --strict                    読込の警告や重複キーがあれば失敗とする (件数と警告を表示して
                              終了コード 2)

  -h, --help                  この説明を表示
  --version                   製品名とバージョンを表示

左ファイルか右ファイルの一方に - を指定すると、標準入力を読みます。

終了コード: 0 相違なし, 1 相違あり, 2 失敗 (--strict では警告があるときも)
)";
}

}  // namespace korvel::cli
