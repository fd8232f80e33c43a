#pragma once
// The command line of korvel-cli, parsed and checked for form. Checks that need the files
// (field numbers beyond the grid, the key and not-loaded limits) come later, in the run.
//
// Every option is one row of one table (OptionTable): its name, the kind of value it takes,
// where the value goes in CliOptions and its line in the usage text. The parser, the usage
// text (UsageText), the run's field checks and the test that holds the man pages to the
// table all read it, so adding an option is adding a row (and its test).

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace korvel::cli {

enum class FileKindOption { kCsv, kTab, kOther, kFixed };
enum class ExtractOption {
  kNone,
  kDiff,
  kDiffAll,
  kEqual,
  kLeftOnly,
  kRightOnly,
  kFieldDiff,
  kFieldEqual
};
enum class ExportFormat { kXml, kCsv, kXlsx };
enum class ExportLayout { kSheet, kField, kRow };
enum class ReportFormatOption { kJsonLines, kCsv };

struct KeyOption {
  int field = 0;  // from 1; 0 while the key is given by a name not yet looked up
  bool numeric = false;
};

// A field given by its name instead of its number (with --header or --kind fixed), to be
// looked up in the filled field list (ResolveFieldNames, CliRun).
struct FieldNameOption {
  std::string option;   // the option that took it: "--key", "--ignore-spaces", ...
  std::string value;    // the option's whole value, as given
  std::string name;     // the name, UTF-8
  std::size_t key = 0;  // for --key: the index of its KeyOption in `keys`
};

struct CliOptions {
  FileKindOption kind = FileKindOption::kCsv;
  char delimiter = '|';
  bool header = false;
  bool matchNames = false;      // --match-names: fields pair by header name
  std::optional<int> encoding;  // 0, 10, 15, kEncodingEucJp or kEncodingAuto
  bool noBom = false;
  bool tabOld = false;
  std::optional<int> newlineMode;
  std::string fixedDef;
  std::vector<KeyOption> keys;  // in the order given
  std::vector<int> ignoreSpaces;
  std::vector<int> notCompared;
  std::vector<int> notLoaded;
  std::vector<int> numeric;  // 数値比較
  std::string tolerance;     // CP932, a valid tolerance; empty: the settings file's NUM_TOL
  ExtractOption extract = ExtractOption::kNone;
  int extractField = 0;
  std::vector<FieldNameOption> fieldNames;  // fields given by name, in the order given
  bool pairs = false;
  bool fieldSummary = false;  // --field-summary: per-field counts after the summary line
  std::string exportPath;
  ExportFormat format = ExportFormat::kXml;
  ExportLayout layout = ExportLayout::kField;
  bool force = false;
  std::string reportPath;  // "-" for standard output
  ReportFormatOption reportFormat = ReportFormatOption::kJsonLines;
  bool reportAllFields = false;
  bool strict = false;           // --strict: a run with any warning fails (exit 2)
  std::string settingsPath;      // --settings: a comparison settings file (.korvel)
  std::string saveSettingsPath;  // --save-settings
  // --folders: the two paths are folders whose files pair by relative path.
  bool folders = false;
  std::string include;    // --include GLOB[,GLOB...]: the file names compared (folders)
  std::string jobs;       // --jobs N: pairs compared at once (folders; default the cores)
  std::string reportDir;  // --report-dir: one report per pair and index.jsonl (folders)
  std::string exportDir;  // --export-dir: one export per pair with differences (folders)
  // With --settings: the path the settings file's sections are matched against (a folder
  // run's relative path); empty: the left file's name.
  std::string settingsMatchPath;
  bool help = false;
  bool version = false;
  std::string left;
  std::string right;
  // The long names of the options applied, in the order given (names of OptionTable's rows).
  std::vector<std::string_view> given;
  // The options applied with their values as written, in the order applied.
  std::vector<std::pair<std::string_view, std::string>> applied;

  bool Given(std::string_view name) const;
};

// ---------------------------------------------------------------------------
// The option table

// What an option's value is, and so how it is read.
enum class ValueKind {
  kNone,       // a flag: no value
  kText,       // any text but the empty one (a path)
  kCharacter,  // exactly one byte
  kNumber,     // a decimal number by the cell grammar, 0 to 1e15, kept as CP932 text
  kKey,        // one field, "N" or "N:num" (a numeric key); repeatable, the keys add up
  kFieldList,  // fields, "N[,N...]"; repeatable, the lists add up
  kChoice,     // one of the row's words; a word ending in ":N" takes a field after the ':'
};

// Where a choice goes: `word` is the index of the word taken (in the row's order), `field`
// the field after its ':' (0 when none, or when given by a name to be looked up).
using ChoiceStore = void (*)(CliOptions& options, int word, int field);

// Where a value goes: the member it sets, by the row's kind — a flag's bool, a character's
// char, a text's or number's string, the keys, a field list's numbers, or a choice's store.
using OptionTarget =
    std::variant<bool CliOptions::*, char CliOptions::*, std::string CliOptions::*,
                 std::vector<KeyOption> CliOptions::*, std::vector<int> CliOptions::*, ChoiceStore>;

// The headed groups of the usage text, in its order.
enum class OptionGroup { kReading, kFields, kResult, kGeneral };

struct OptionRow {
  std::string_view name;   // the long name, "--kind"
  std::string_view alias;  // another spelling on the command line ("-h"), or empty
  ValueKind kind;
  // kChoice: the words, '|' between them. Otherwise the value's name in the usage ("FILE").
  std::string_view words;
  // The value's name in the usage when it is not `words` (a choice shown as "KIND").
  std::string_view shownValue;
  OptionTarget target;
  OptionGroup group;
  // The usage's text for the option (UTF-8, Japanese), a line break between its lines.
  std::string_view help;
  // For a field list: the field-control grid's column it marks, and whether a key field is
  // refused (the grid does not offer that mark on a key).
  int gridColumn = 0;
  bool notOnKey = false;
  // A result option that a comparison settings file may hold too (InSettingsFile).
  bool inSettings = false;
};

// Whether a comparison settings file may hold the option (its key: the name without "--"):
// every option of reading and of the fields, and the result options so marked.

// Every option, in the order of the usage text.
std::span<const OptionRow> OptionTable();

// The row of `name` (a long name or an alias, as written on the command line); null when
// there is none.
const OptionRow* FindOption(std::string_view name);

// Applies one option with its value to `*options`, exactly as the command line would:
// the same checks and the same reason in `*error` (UTF-8, for "korvel-cli: <reason>") when
// it returns false. `name` is the long name with its "--" ("--kind"). A flag takes the
// empty value; a value for it is refused like any malformed value. A name without a row is
// refused as "不明なオプションです: <name>".
//
// This is the one way in for every source of options. A settings file whose keys are the
// long names without "--" and whose values are written as on the command line is read by
// applying each key (with "--" put before it) in the order written: a repeated key adds up
// where the command line's option does (--key and the field lists) and the last one wins
// elsewhere. The rows of OptionGroup::kGeneral (--help, --version) belong to the command line
// only. The checks of the options among themselves are ParseCliOptions's (and
// CheckFieldChoices, after names are looked up).
bool ApplyOption(std::string_view name, const std::string& value, CliOptions* options,
                 std::string* error);

bool InSettingsFile(const OptionRow& row);

// The checks of the options among themselves, which ParseCliOptions leaves to the run when
// a settings file is still to be applied (--settings). True when they pass.
bool CheckOptions(CliOptions* options, std::string* error);

// Parses argv[1..]. Returns true when the command line is well formed; otherwise `*error`
// holds the reason (UTF-8, Japanese) for "korvel-cli: <reason>". With --help or --version
// the paths may be missing.
bool ParseCliOptions(const std::vector<std::string>& args, CliOptions* options, std::string* error);

// The checks of the field choices among themselves (a key given twice; SPC除く or 不要 on a
// key), which ParseCliOptions makes on the numbers given and the run makes again once the
// names are looked up. True when they pass; otherwise `*error` holds the reason.
bool CheckFieldChoices(const CliOptions& options, std::string* error);

// The list of field numbers that a field-list option (a row of kind kFieldList) fills; null
// for another option.
std::vector<int>* FieldListOf(CliOptions& options, std::string_view option);

// The usage text (UTF-8), made from the table.
std::string UsageText();

}  // namespace korvel::cli
