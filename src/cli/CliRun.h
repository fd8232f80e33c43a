#pragma once
// One run of korvel-cli: the checks in their order, the comparison, the extraction, the
// printed rows and the export, on the same engine as the desktop program.

#include <ostream>
#include <string>
#include <vector>

#include "cli/CliOptions.h"
#include "compare/RunWarnings.h"

namespace korvel {
class Notifier;
}

namespace korvel::cli {

inline constexpr int kExitSame = 0;       // no record of the whole result differs
inline constexpr int kExitDifferent = 1;  // the run completed with differences
inline constexpr int kExitFailed = 2;     // bad option, reader error, refused export, ...

// Runs the command line `args` (without the program name). What the desktop program would
// show in a box goes through `notifier`, in the order the engine produced it (korvel-cli's
// main passes one that prints to standard error, so questions are answered No); the
// summary and the rows go to `out`, usage errors to `err`.
int RunCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
           Notifier& notifier);

// What one comparison of a pair found, for a folder run's rows and index.
struct PairOutcome {
  bool compared = false;  // the comparison completed
  int leftTotal = 0;
  int rightTotal = 0;
  int differing = 0;
  int leftOnly = 0;
  int rightOnly = 0;
  std::string encodingLeft;
  std::string encodingRight;
  std::vector<RunWarning> warnings;
};

// One pair with options already parsed (a settings file still to be applied when
// o.settingsPath is set): the run of RunCli after its parsing, filling `*outcome`. With
// `exportIfDifferent`, the export is written only when the result has differences.
int RunPair(CliOptions o, std::ostream& out, std::ostream& err, Notifier& notifier,
            PairOutcome* outcome, bool exportIfDifferent = false);

}  // namespace korvel::cli
