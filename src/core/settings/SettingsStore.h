#pragma once
// SettingsStore: the program's one settings object.
//
// It knows the program folder (platform/ProgramFolder.h: the executable's folder, or where
// KORVEL_HOME points), builds paths inside it, loads and saves the four persistent settings
// of korvel.ini there, locates the help page, and owns the one shared fixed-length reader.
// The main window creates it at start-up (then calls LoadSettings) and destroys it when it
// closes (after SaveSettings); every other part reaches it through that one instance.
//
// Paths are the file system's own UTF-8 strings.
//
// korvel.ini:
//   [MOZI] CODE        Encoding     decimal integer, default 0
//          BOM         DetectBom    "1" or "0" (any integer but 0 reads as true), default 1
//   [ETC]  TAB_OLDTYPE TabOldType   decimal integer, default 0
//          RET_M_IDX   NewlineMode  decimal integer, default 0
// A missing file, a missing key or a value that is not a whole integer gives the default;
// values are otherwise taken as stored (an unknown CODE reads as Shift-JIS wherever files
// are read, an unknown RET_M_IDX as mode 0). No other key is read or written.

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

#include "io/FixedWidthReader.h"

namespace korvel {

class SettingsStore {
 public:
  // A path built by MakePath must stay below this many bytes.
  static constexpr std::size_t kMaxPath = 260;

  // Finds the program folder; the settings are at their defaults until LoadSettings.
  SettingsStore();
  // Destroys the shared fixed-length reader, if it was created.
  ~SettingsStore();
  SettingsStore(const SettingsStore&) = delete;
  SettingsStore& operator=(const SettingsStore&) = delete;

  // The program folder, ending with '/' (empty when it could not be had).
  const std::string& Folder() const { return folder_; }

  // The program folder followed by `name`, when together they stay below kMaxPath bytes.
  // Otherwise the warning "ファイル名が長すぎます。" is shown and the result is `name` alone
  // when it is shorter than kMaxPath bytes, else the empty text. The returned text lives in
  // this object until the next MakePath.
  const std::string& MakePath(std::string_view name);

  // Reads the four settings from korvel.ini (MakePath("korvel.ini")); nothing is shown.
  void LoadSettings();
  // Writes the four settings to korvel.ini, keeping the rest of the file. False when the
  // file could not be written; nothing is shown (the program goes on either way).
  bool SaveSettings();

  int GetEncoding() const { return encoding_; }
  void SetEncoding(int encoding) { encoding_ = encoding; }
  bool GetDetectBom() const { return detectBom_; }
  void SetDetectBom(bool detectBom) { detectBom_ = detectBom; }
  int GetTabOldType() const { return tabOldType_; }
  void SetTabOldType(int tabOldType) { tabOldType_ = tabOldType; }
  int GetNewlineMode() const { return newlineMode_; }
  void SetNewlineMode(int newlineMode) { newlineMode_ = newlineMode; }

  // The help page: MakePath("korvel.html") (so the long-name warning may show), or for an
  // installed program korvel.html in its data folder (platform/ProgramFolder.h: HelpFolder).
  // The window that opens it lives in the desktop program.
  std::string HelpPath();
  // True when the help page exists as a file.
  bool HelpExists();
  // HelpExists, with the warning "ファイルが見付かりません。" when it does not.
  bool CheckHelp();

  // The shared fixed-length reader, created (without definitions) on the first call; it
  // lives until this object is destroyed.
  FixedWidthReader& FixReader();

 private:
  std::string folder_;
  std::string helpFolder_;
  std::string path_;
  int encoding_ = 0;
  bool detectBom_ = true;
  int tabOldType_ = 0;
  int newlineMode_ = 0;
  std::unique_ptr<FixedWidthReader> fixReader_;
};

}  // namespace korvel
