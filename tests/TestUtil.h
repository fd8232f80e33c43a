#pragma once
// Helpers shared by the engine tests: a private temporary folder, byte-exact files, and
// the front end's part in showing what an operation returns.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/CpuFeatures.h"
#include "platform/Notifier.h"
#include "platform/Status.h"

namespace korvel::test {

// True in the engine tests built with AddressSanitizer and UndefinedBehaviorSanitizer, where
// memory and time cost several times as much: the heaviest tests check their property on
// smaller inputs there, as it does not depend on the size.
#ifdef KORVEL_SANITIZED
inline constexpr bool kSanitized = true;
#else
inline constexpr bool kSanitized = false;
#endif

// A fresh folder under the system's temporary folder, removed with the object.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::string& Path() const { return path_; }
  // The path of `name` inside the folder.
  std::string File(std::string_view name) const;
  // Writes `bytes` to `name` inside the folder and returns its path.
  std::string Write(std::string_view name, std::string_view bytes) const;

 private:
  std::string path_;
};

// Sets (or, with nullopt, removes) an environment variable for the lifetime of a scope and
// puts the old value back after, so that the other tests of the process see the environment
// unchanged.
class ScopedEnv {
 public:
  ScopedEnv(std::string name, const std::optional<std::string>& value);
  ~ScopedEnv();
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

 private:
  std::string name_;
  std::optional<std::string> previous_;
};

// Points the program folder (KORVEL_HOME) at `folder` for the lifetime of a scope, so that
// no test reads or changes the settings of the user running it; the old value comes back
// after.
class ScopedHome {
 public:
  explicit ScopedHome(const std::string& folder) : env_("KORVEL_HOME", folder) {}

 private:
  ScopedEnv env_;
};

// The settings folder of a test (CLI, settings and window tests alike): a fresh folder that
// KORVEL_HOME names while the object lives; its files are written and read as any TempDir's.
class HomeDir : public TempDir {
 private:
  ScopedHome scoped_{Path()};
};

// Runs a shell command line (how the tests run korvel-cli and other programs as processes,
// with the shell's redirections); its exit status, or -1 when it did not exit normally.
int Shell(const std::string& line);

// `text` in single quotes for the shell.
std::string ShellQuoted(const std::string& text);

// Lines, each followed by CR LF; SjisLines turns each (written in UTF-8) into CP932 first.
std::string CrLfLines(const std::vector<std::string>& lines);
std::string SjisLines(const std::vector<std::string>& lines);

// Two files' texts of `records` keyed records "<i>,<text><i % 7><tail>" on the left and
// "<i>,<text><i % 5><tail>" on the right: the same keys, about four in five records
// differing.
struct PairedTexts {
  std::string left;
  std::string right;
};
PairedTexts KeyedPairs(int records, std::string_view text, std::string_view tail = "");

std::string ReadFileBytes(const std::string& path);

// The names in a folder (hidden ones too), sorted.
std::vector<std::string> FolderEntries(const std::string& folder);

// The CP932 form of a UTF-8 text (shorthand for the tests' expectations).
std::string S(std::string_view utf8);

// Does what a front end does with an engine operation's outcome: shows the messages of
// `status` through `notifier` (after whatever the operation told a prompter over the same
// notifier while it ran) and hands back the status's code.
int Shown(Notifier& notifier, const Status& status);

// The texts of a status's messages in UTF-8, beeps left out.
std::vector<std::string> Texts(const Status& status);

// The parts appended in order. g++ 12 at -O3 warns (-Wrestrict, a false alarm) about
// `"literal" + std::string&&`; tests build such texts with Cat instead.
template <typename... Parts>
std::string Cat(const Parts&... parts) {
  std::string out;
  (out.append(std::string_view(parts)), ...);
  return out;
}

// Limits the byte loops to the baseline instruction set while it lives, when `on`, so that
// the forms for other machines are checked too.
struct BaselineOnly {
  explicit BaselineOnly(bool on) { LimitToBaselineForTesting(on); }
  ~BaselineOnly() { LimitToBaselineForTesting(false); }
  BaselineOnly(const BaselineOnly&) = delete;
  BaselineOnly& operator=(const BaselineOnly&) = delete;
};

}  // namespace korvel::test
