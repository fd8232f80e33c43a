#pragma once
// What was used last, as korvel.ini keeps it: the recently compared pairs of files and the
// main window's placement. Pure rules over IniFile, with no window: the settings store reads
// and merges them, the desktop program shows them.
//
// [RECENT] holds keys 1 to 10, newest first; each value is one pair:
//   left TAB right TAB kind TAB delimiter TAB name-line TAB encoding
// paths as the file system's raw bytes (UTF-8), kind the file kind (0 CSV, 1 delimited,
// 2 fixed-length), delimiter the byte's decimal code (TAB, the usual one, could not stand for
// itself), name-line 0 or 1, encoding the choice of the file selection: 0 Shift-JIS,
// 10 UTF-16, 15 UTF-8, or the words of korvel.ini's CODE_EX for the others, "eucjp" and
// "auto" (自動判定). A value that does not read so (an unknown encoding word among them) is
// skipped, as is a key outside 1-10.
//
// [WINDOW] holds X, Y, WIDTH, HEIGHT and SPLIT, decimal integers; the section is taken whole
// or not at all.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "compare/CompareSession.h"
#include "platform/IniFile.h"

namespace korvel {

struct RecentEntry {
  std::string PathL;
  std::string PathR;
  int FileKind = 0;
  char Delimiter = '\t';
  bool TopRowNames = false;
  int Encoding = 0;  // an encoding code; 自動判定 is kEncodingAuto whatever its fallback
  bool operator==(const RecentEntry&) const = default;
  // Two entries name the same pair of files whatever their reading choices; the newer one
  // replaces the older.
  bool SamePair(const RecentEntry& other) const {
    return PathL == other.PathL && PathR == other.PathR;
  }
};

inline constexpr std::size_t kMaxRecentEntries = 10;

// The value of one [RECENT] key, or nothing for a pair that cannot be kept (an empty path, a
// path holding a TAB, CR or LF, a kind, delimiter or encoding outside the rules above).
std::optional<std::string> FormatRecentEntry(const RecentEntry& entry);
// The pair a [RECENT] value names, or nothing when it is damaged.
std::optional<RecentEntry> ParseRecentEntry(std::string_view value);

// The pair the file selection confirmed in `settings` (自動判定 as kEncodingAuto), or
// nothing for clipboard captures
// (their files are replaced by every capture, so they name nothing worth opening again).
std::optional<RecentEntry> RecentEntryOf(const CompareSettings& settings);
// Presets `settings` for the file selection with `entry`: both paths, the kind, the name line
// and the encoding (自動判定 over 自動判定 keeps the fallback `settings` had); a delimiter
// other than TAB becomes the other delimiter too, as the file selection shows it. The
// clipboard flag is cleared; the byte-order-mark flag stays.
void ApplyRecentEntry(const RecentEntry& entry, CompareSettings& settings);

// The list the file holds, newest first: keys 1 to 10 in order, damaged ones skipped, a pair
// repeated later dropped.
std::vector<RecentEntry> ReadRecentList(const IniFile& ini);
// Writes `list` (at most the first 10) as keys 1 to n and removes the keys above n. A key
// whose value is already the same is left as it is.
void WriteRecentList(IniFile& ini, const std::vector<RecentEntry>& list);
// `mine` (newest first) followed by the entries of `theirs` that name other pairs, trimmed to
// 10: the list a save writes, this program's new entries first.
std::vector<RecentEntry> MergeRecentLists(const std::vector<RecentEntry>& mine,
                                          const std::vector<RecentEntry>& theirs);

// The main window's outer rectangle and the x of its pane splitter, in pixels.
struct WindowPlace {
  int X = 0;
  int Y = 0;
  int Width = 0;
  int Height = 0;
  int Split = 0;
  bool operator==(const WindowPlace&) const = default;
};

// A screen's rectangle, in the same coordinates.
struct ScreenArea {
  int X = 0;
  int Y = 0;
  int Width = 0;
  int Height = 0;
};

// [WINDOW] as the file holds it, or nothing when a key is missing or not an integer, the
// size is not between 1 and 100000 or the splitter is negative.
std::optional<WindowPlace> ReadWindowPlace(const IniFile& ini);
// Writes the keys of `place` that differ from `loaded` (all of them without `loaded`), and
// any the file lacks.
void WriteWindowPlace(IniFile& ini, const WindowPlace& place,
                      const std::optional<WindowPlace>& loaded);
// True when the window's rectangle overlaps at least one of `screens`: a place outside every
// screen (a monitor since removed) is not taken.
bool PlaceIsOnScreen(const WindowPlace& place, const std::vector<ScreenArea>& screens);

}  // namespace korvel
