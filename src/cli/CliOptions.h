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
  int field = 0;  // from 1
  bool numeric = false;
};

struct CliOptions {
  FileKindOption kind = FileKindOption::kCsv;
  char delimiter = '|';
  bool delimiterGiven = false;
  bool header = false;
  std::optional<int> encoding;  // 0, 10, 15, kEncodingEucJp or kEncodingAuto
  bool noBom = false;
  bool tabOld = false;
  std::optional<int> newlineMode;
  std::string fixedDef;
  std::vector<KeyOption> keys;  // in the order given
  std::vector<int> ignoreSpaces;
  std::vector<int> notCompared;
  std::vector<int> notLoaded;
  ExtractOption extract = ExtractOption::kNone;
  int extractField = 0;
  bool pairs = false;
  std::string exportPath;
  ExportFormat format = ExportFormat::kXml;
  ExportLayout layout = ExportLayout::kField;
  bool force = false;
  std::string reportPath;  // "-" for standard output
  ReportFormatOption reportFormat = ReportFormatOption::kJsonLines;
  bool reportFormatGiven = false;
  bool reportAllFields = false;
  bool help = false;
  bool version = false;
  std::string left;
  std::string right;
};

// Parses argv[1..]. Returns true when the command line is well formed; otherwise `*error`
// holds the reason (UTF-8, Japanese) for "korvel-cli: <reason>". With --help or --version
// the paths may be missing.
bool ParseCliOptions(const std::vector<std::string>& args, CliOptions* options, std::string* error);

// The usage text (UTF-8).
std::string UsageText();

}  // namespace korvel::cli
