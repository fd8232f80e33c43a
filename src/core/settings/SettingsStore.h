#pragma once
// SettingsStore: the program's one settings object.
//
// It knows the program folder (platform/ProgramFolder.h: the executable's folder, or where
// KORVEL_HOME points), builds paths inside it, loads and saves the four persistent settings
// of korvel.ini there, locates the help page, and owns the one shared fixed-length reader.
// The main window creates it at start-up (then calls LoadSettings) and destroys it when it
// closes (after SaveSettings); every other part reaches it through that one instance.
//
// The settings object goes on after its one warning (no memory for the program folder's
// path); it tells it through the Prompter it is made with, and returns the outcome of
// CheckHelp. Paths are the file system's own UTF-8 strings.
//
// korvel.ini:
//   [MOZI] CODE        Encoding     decimal integer, default 0
//          CODE_EX     Encoding     "auto" (自動判定) or "eucjp"; when present it overrides
//                                   CODE, which such a choice writes as 0 so that an older
//                                   program reads the file as Shift-JIS. Written only when
//                                   the choice is or was one of these ("" after it).
//          BOM         DetectBom    "1" or "0" (any integer but 0 reads as true), default 1
//   [ETC]  TAB_OLDTYPE TabOldType   decimal integer, default 0
//          RET_M_IDX   NewlineMode  decimal integer, default 0
//          NUM_TOL     NumberTolerance  a number 0 ≤ X ≤ 1e15 (compare/DecimalNumber.h:
//                      ParseTolerance), CP932 text as typed, default "0"
// A missing file, a missing key or a value that is not a whole integer (NUM_TOL: not a
// tolerance) gives the default; values are otherwise taken as stored (an unknown CODE reads
// as Shift-JIS wherever files are read, an unknown RET_M_IDX as mode 0; a CODE that is one of
// the program's inner codes for EUC-JP or detection reads as Shift-JIS). NUM_TOL is written
// only once this program has changed it, so that a file of a program that never set a
// tolerance stays as it was.
//   [WINDOW], [RECENT]  the main window's place and the recently compared pairs
//                       (settings/RecentFiles.h); a damaged one is passed over quietly.
// No other key is read or written.

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "compare/DecimalNumber.h"
#include "io/FixedWidthReader.h"
#include "platform/Prompter.h"
#include "platform/Status.h"
#include "settings/RecentFiles.h"

namespace korvel {

class SettingsStore {
 public:
  // Finds the program folder; the settings are at their defaults until LoadSettings.
  // `prompter` (not owned; it must outlive this object) is told the warnings; without one
  // they are not shown.
  explicit SettingsStore(Prompter* prompter = nullptr);
  // Destroys the shared fixed-length reader, if it was created.
  ~SettingsStore();
  SettingsStore(const SettingsStore&) = delete;
  SettingsStore& operator=(const SettingsStore&) = delete;

  // The program folder, ending with '/' (empty when none could be had: see
  // platform/ProgramFolder.h).
  const std::string& Folder() const { return folder_; }

  // The program folder followed by `name`, whatever its length; the empty text when there is
  // no program folder (a path is never taken relative to the current folder). The returned
  // text lives in this object until the next MakePath.
  const std::string& MakePath(std::string_view name);

  // Reads the four settings from korvel.ini (MakePath("korvel.ini")); nothing is shown.
  void LoadSettings();
  // Writes the settings to korvel.ini, which other running programs may share
  // (platform/IniFileUpdate.h: under the file's lock, from the file as it is now): a
  // setting is written when it differs from what LoadSettings (or the last SaveSettings)
  // found, or when the file lacks it; every other line stays, except stray ones, which are
  // dropped. False when the file could not be written (or there is no program folder);
  // nothing is shown (the program goes on either way).
  bool SaveSettings();
  // Why settings can never be saved in this run: "設定を保存できません。" (CP932) when there
  // is no program folder, else the empty text. The front end shows it (once) after a failed
  // SaveSettings.
  std::string SaveRefusal() const;

  // CODE as stored (SetEncoding also drops an extended choice).
  int GetEncoding() const { return encoding_; }
  void SetEncoding(int encoding) {
    encoding_ = encoding;
    extended_ = Extended::kNone;
  }
  // The encoding to read with, as the readers take it: kEncodingEucJp, AutoEncoding(CODE)
  // for 自動判定, else CODE (a CODE that is one of those inner codes reads as Shift-JIS).
  int GetReadingEncoding() const;
  // Takes a reading encoding back: EUC-JP and 自動判定 keep CODE at 0 and name themselves in
  // CODE_EX; any other code is CODE. The code GetReadingEncoding gives changes nothing.
  void SetReadingEncoding(int encoding);
  bool GetDetectBom() const { return detectBom_; }
  void SetDetectBom(bool detectBom) { detectBom_ = detectBom; }
  int GetTabOldType() const { return tabOldType_; }
  void SetTabOldType(int tabOldType) { tabOldType_ = tabOldType; }
  int GetNewlineMode() const { return newlineMode_; }
  void SetNewlineMode(int newlineMode) { newlineMode_ = newlineMode; }
  // The tolerance of the numeric fields as stored (CP932 text), "0" by default.
  const std::string& GetNumberTolerance() const { return numberTolerance_; }
  // The same, read as a number.
  DecimalNumber NumberTolerance() const;
  // Takes `text` (CP932) when it is a tolerance (ParseTolerance); false, and nothing
  // changes, otherwise.
  bool SetNumberTolerance(std::string_view text);

  // The recently compared pairs, newest first (at most 10): as loaded, with this program's
  // own additions before them, and after a save as the file then held them.
  const std::vector<RecentEntry>& Recent() const { return recent_; }
  // Puts `entry` first, replacing an older entry of the same pair; an entry that cannot be
  // kept (see FormatRecentEntry) is ignored. The next SaveSettings puts this program's
  // additions before the list the file holds by then, so that programs running at once
  // lose none of each other's.
  void AddRecent(const RecentEntry& entry);
  // The main window's place as loaded (nothing when [WINDOW] was missing or damaged) or as
  // last set; a save writes the keys that changed.
  const std::optional<WindowPlace>& GetWindowPlace() const { return place_; }
  void SetWindowPlace(const WindowPlace& place) { place_ = place; }

  // The help page: MakePath("korvel.html") (empty without a program folder), or for an
  // installed program korvel.html in its data folder (platform/ProgramFolder.h: HelpFolder).
  // The window that opens it lives in the desktop program.
  std::string HelpPath();
  // True when the help page exists as a file.
  bool HelpExists();
  // Ok when HelpExists; else -1 with the warning "ファイルが見付かりません。".
  [[nodiscard]] Status CheckHelp();

  // The shared fixed-length reader, created (without definitions) on the first call; it
  // lives until this object is destroyed.
  FixedWidthReader& FixReader();

 private:
  enum class Extended { kNone, kAuto, kEucJp };
  struct Values {
    int encoding = 0;
    Extended extended = Extended::kNone;
    bool detectBom = true;
    int tabOldType = 0;
    int newlineMode = 0;
    std::string numberTolerance = "0";
  };
  Values Current() const;

  void Tell(std::string_view warning);

  Prompter* prompter_;
  std::string folder_;
  std::string helpFolder_;
  std::string path_;
  int encoding_ = 0;
  Extended extended_ = Extended::kNone;
  bool detectBom_ = true;
  int tabOldType_ = 0;
  int newlineMode_ = 0;
  std::string numberTolerance_ = "0";
  std::unique_ptr<FixedWidthReader> fixReader_;
  Values loaded_;  // the settings as the file held them when last loaded or saved
  std::vector<RecentEntry> recent_;
  std::vector<RecentEntry> added_;  // this program's additions not yet saved, newest first
  std::optional<WindowPlace> place_;
  std::optional<WindowPlace> loadedPlace_;
};

}  // namespace korvel
