#pragma once
// ComparisonSettingsFile: a saved comparison setting (比較設定, `.korvel`), UTF-8 text in
// the form of an ini file. Sections name file patterns — `[*]` for every file,
// `[社員*.csv]` for matching file names, `[**/sub/*.csv]` for matching relative paths — and
// hold `key = value` lines (a key alone for a switch); `;` starts a comment line. What the
// keys mean is the reader's caller's (korvel-cli's options without their dashes); this
// unit reads and writes the form and picks the section for a file.

#include <string>
#include <string_view>
#include <vector>

namespace korvel {

struct SettingsEntry {
  int Line = 0;  // from 1
  std::string Key;
  std::string Value;
  bool HasValue = false;  // written with '='
};

struct SettingsSection {
  std::string Pattern;
  int Line = 0;
  std::vector<SettingsEntry> Entries;
};

// What a failed reading says: the line (0 for the file as a whole) and the reason, UTF-8.
struct SettingsFileError {
  int Line = 0;
  std::string Reason;
};

inline constexpr std::size_t kMaxSettingsFileBytes = 1024 * 1024;

// Parses `text`: true with `*sections` in file order; false with `*error` for text that is
// not UTF-8, a section header without its `]`, or a key before the first section.
bool ParseComparisonSettings(std::string_view text, std::vector<SettingsSection>* sections,
                             SettingsFileError* error);
// Reads and parses the file at `path` (at most kMaxSettingsFileBytes).
bool LoadComparisonSettings(const std::string& path, std::vector<SettingsSection>* sections,
                            SettingsFileError* error);

// Whether `pattern` matches `relativePath` ('/' between folders): a pattern without '/'
// is matched against the file name alone; `*` and `?` stand for any text and any one
// character within a name (UTF-8 characters count whole), and a leading `**/` for any
// folders.
bool SettingsPatternMatches(std::string_view pattern, std::string_view relativePath);
// The section for the file at `relativePath`: the first matching section other than `[*]`
// in file order, else the `[*]` section wherever it stands; null when none applies.
const SettingsSection* MatchSettingsSection(const std::vector<SettingsSection>& sections,
                                            std::string_view relativePath);

}  // namespace korvel
