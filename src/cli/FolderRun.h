#pragma once
// korvel-cli --folders: two folders compared file by file. Files pair by their path
// relative to each folder (folders walked recursively; links to files followed, links to
// folders not); each pair is compared as one korvel-cli run with the settings file's section
// for its path, several at once within a memory budget. Standard output gets one row per
// pair in path order, whatever order they finish in, then the counts of the rows.

#include <cstdint>
#include <map>
#include <ostream>
#include <string>

#include "cli/CliOptions.h"

namespace korvel {
class Notifier;
}

namespace korvel::cli {

// How a folder run went beyond its output, for tests: for each compared pair, how many
// other pairs ran beside it at any time.
struct FolderRunStats {
  std::map<std::string, int> overlap;
};

// The memory a folder run may plan with: 70% of the machine's.
std::uint64_t DefaultFolderBudget();
// The estimated peak of comparing files of `bytes` together.
std::uint64_t EstimatedPeak(std::uint64_t bytes);

// Runs `o` (its two paths the folders). Exit 0 when every pair is the same, 2 when a pair
// failed or the folders cannot be compared, else 1. A pair is started only while its
// estimated peak fits beside those running within `budget`; one that does not fit even
// alone runs alone.
int RunFolders(const CliOptions& o, std::ostream& out, std::ostream& err, Notifier& notifier,
               std::uint64_t budget = DefaultFolderBudget(), FolderRunStats* stats = nullptr);

}  // namespace korvel::cli
