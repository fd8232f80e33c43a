#include "settings/SettingsStore.h"

#include <new>

#include "io/PathText.h"
#include "platform/Codepage.h"
#include "platform/IniFile.h"
#include "platform/Notifier.h"
#include "platform/ProgramFolder.h"

namespace korvel {
namespace {

constexpr std::string_view kSettingsFile = "korvel.ini";
constexpr std::string_view kHelpFile = "korvel.html";

}  // namespace

SettingsStore::SettingsStore() {
  try {
    folder_ = ProgramFolder();
    helpFolder_ = HelpFolder();
  } catch (const std::bad_alloc&) {
    Warn(Sjis("パスの領域確保に失敗しました。"));
  }
}

SettingsStore::~SettingsStore() = default;

const std::string& SettingsStore::MakePath(std::string_view name) {
  if (folder_.size() + name.size() < kMaxPath) {
    path_ = folder_;
    path_ += name;
    return path_;
  }
  Warn(Sjis("ファイル名が長すぎます。"));
  if (name.size() < kMaxPath) {
    path_ = name;
  } else {
    path_.clear();
  }
  return path_;
}

void SettingsStore::LoadSettings() {
  IniFile ini;
  // An unreadable file gives the defaults, as a missing one does.
  (void)ini.Load(MakePath(kSettingsFile));
  encoding_ = ini.GetInt("MOZI", "CODE", 0);
  detectBom_ = ini.GetInt("MOZI", "BOM", 1) != 0;
  tabOldType_ = ini.GetInt("ETC", "TAB_OLDTYPE", 0);
  newlineMode_ = ini.GetInt("ETC", "RET_M_IDX", 0);
}

bool SettingsStore::SaveSettings() {
  const std::string path = MakePath(kSettingsFile);
  IniFile ini;
  if (!ini.Load(path)) return false;
  bool ok = ini.SetString("MOZI", "CODE", std::to_string(encoding_));
  ok = ini.SetString("MOZI", "BOM", detectBom_ ? "1" : "0") && ok;
  ok = ini.SetString("ETC", "TAB_OLDTYPE", std::to_string(tabOldType_)) && ok;
  ok = ini.SetString("ETC", "RET_M_IDX", std::to_string(newlineMode_)) && ok;
  return ini.Save(path) && ok;
}

std::string SettingsStore::HelpPath() {
  // An installed program reads the page from its data folder, never from the settings folder.
  if (helpFolder_.empty() || helpFolder_ == folder_) return MakePath(kHelpFile);
  std::string path = helpFolder_;
  path += kHelpFile;
  return path;
}

bool SettingsStore::HelpExists() { return PathText::FileExists(HelpPath()); }

bool SettingsStore::CheckHelp() {
  if (HelpExists()) return true;
  Warn(Sjis("ファイルが見付かりません。"));
  return false;
}

FixedWidthReader& SettingsStore::FixReader() {
  if (!fixReader_) fixReader_ = std::make_unique<FixedWidthReader>();
  return *fixReader_;
}

}  // namespace korvel
