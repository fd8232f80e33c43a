#pragma once
// The command line of korvel-cli, parsed and checked for form. Checks that need the files
// (field numbers beyond the grid, the key and not-loaded limits) come later, in the run.

#include <optional>
#include <string>
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
  bool delimiterGiven = false;
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
  std::string exportPath;
  ExportFormat format = ExportFormat::kXml;
  ExportLayout layout = ExportLayout::kField;
  bool force = false;
  std::string reportPath;  // "-" for standard output
  ReportFormatOption reportFormat = ReportFormatOption::kJsonLines;
  bool reportFormatGiven = false;
  bool reportAllFields = false;
  bool strict = false;  // --strict: a run with any warning fails (exit 2)
  bool help = false;
  bool version = false;
  std::string left;
  std::string right;
};

// Parses argv[1..]. Returns true when the command line is well formed; otherwise `*error`
// holds the reason (UTF-8, Japanese) for "korvel-cli: <reason>". With --help or --version
// the paths may be missing.
bool ParseCliOptions(const std::vector<std::string>& args, CliOptions* options, std::string* error);

// The checks of the field choices among themselves (a key given twice; SPC除く or 不要 on a
// key), which ParseCliOptions makes on the numbers given and the run makes again once the
// names are looked up. True when they pass; otherwise `*error` holds the reason.
bool CheckFieldChoices(const CliOptions& options, std::string* error);

// The list of field numbers that a field-list option fills ("--ignore-spaces",
// "--not-compared", "--not-loaded"); null for another option.
std::vector<int>* FieldListOf(CliOptions& options, const std::string& option);

// The usage text (UTF-8).
std::string UsageText();

}  // namespace korvel::cli
