#include "settings/SettingsStore.h"

#include <mutex>
#include <new>

#include "io/PathText.h"
#include "platform/Codepage.h"
#include "platform/IniFile.h"
#include "platform/IniFileUpdate.h"
#include "platform/MessageText.h"
#include "platform/ProgramFolder.h"

namespace korvel {
namespace {

constexpr std::string_view kSettingsFile = "korvel.ini";
constexpr std::string_view kHelpFile = "korvel.html";

}  // namespace

SettingsStore::SettingsStore(Prompter* prompter) : prompter_(prompter) {
  try {
    std::string refused;
    folder_ = ProgramFolder(&refused);
    helpFolder_ = HelpFolder();
    // Settings from a folder others may change are not trusted: they stay the defaults and
    // are not saved, and the user learns why, once per folder however many windows open.
    static std::mutex toldMutex;
    static std::string told;
    std::lock_guard<std::mutex> lock(toldMutex);
    if (!refused.empty() && refused != told) {
      told = refused;
      Tell(Sjis("設定フォルダの権限が安全ではありません。(") + Cp932ForMessage(refused) + ")");
    }
  } catch (const std::bad_alloc&) {
    Tell(Sjis("パスの領域確保に失敗しました。"));
  }
}

void SettingsStore::Tell(std::string_view warning) {
  if (prompter_ != nullptr) prompter_->Tell({MessageKind::kWarning, std::string(warning)});
}

SettingsStore::~SettingsStore() = default;

const std::string& SettingsStore::MakePath(std::string_view name) {
  path_.clear();
  if (folder_.empty()) return path_;
  path_ = folder_;
  path_ += name;
  return path_;
}

void SettingsStore::LoadSettings() {
  IniFile ini;
  // An unreadable file gives the defaults, as a missing one does.
  (void)ini.Load(MakePath(kSettingsFile));
  encoding_ = ini.GetInt("MOZI", "CODE", 0);
  const std::string extended = ini.GetString("MOZI", "CODE_EX", "");
  extended_ = extended == "auto"    ? Extended::kAuto
              : extended == "eucjp" ? Extended::kEucJp
                                    : Extended::kNone;
  detectBom_ = ini.GetInt("MOZI", "BOM", 1) != 0;
  tabOldType_ = ini.GetInt("ETC", "TAB_OLDTYPE", 0);
  newlineMode_ = ini.GetInt("ETC", "RET_M_IDX", 0);
  numberTolerance_.assign(1, '0');  // (not `= "0"`: g++ 12 at -O3 gives a false -Wrestrict alarm)
  (void)SetNumberTolerance(ini.GetString("ETC", "NUM_TOL", "0"));
  loaded_ = Current();
  recent_ = ReadRecentList(ini);
  added_.clear();
  place_ = loadedPlace_ = ReadWindowPlace(ini);
}

void SettingsStore::AddRecent(const RecentEntry& entry) {
  if (!FormatRecentEntry(entry)) return;
  added_ = MergeRecentLists({entry}, added_);
  recent_ = MergeRecentLists({entry}, recent_);
}

SettingsStore::Values SettingsStore::Current() const {
  return {encoding_, extended_, detectBom_, tabOldType_, newlineMode_, numberTolerance_};
}

DecimalNumber SettingsStore::NumberTolerance() const {
  DecimalNumber tolerance;
  (void)ParseTolerance(numberTolerance_, &tolerance);
  return tolerance;
}

bool SettingsStore::SetNumberTolerance(std::string_view text) {
  DecimalNumber tolerance;
  if (!ParseTolerance(text, &tolerance)) return false;
  numberTolerance_.assign(text);
  return true;
}

int SettingsStore::GetReadingEncoding() const {
  // CODE keeps the encodings older programs know; a stored number that happens to be one of
  // the inner codes is one of those unknown numbers, read as Shift-JIS.
  const int code =
      encoding_ == kEncodingEucJp || IsAutoEncoding(encoding_) ? kEncodingSjis : encoding_;
  switch (extended_) {
    case Extended::kAuto:
      return AutoEncoding(code);
    case Extended::kEucJp:
      return kEncodingEucJp;
    default:
      return code;
  }
}

void SettingsStore::SetReadingEncoding(int encoding) {
  if (encoding == GetReadingEncoding()) return;
  if (encoding == kEncodingEucJp) {
    encoding_ = kEncodingSjis;
    extended_ = Extended::kEucJp;
  } else if (IsAutoEncoding(encoding)) {
    encoding_ = kEncodingSjis;
    extended_ = Extended::kAuto;
  } else {
    SetEncoding(encoding);
  }
}

bool SettingsStore::SaveSettings() {
  const std::string path = MakePath(kSettingsFile);
  if (path.empty()) return false;
  const Values now = Current();
  // Another program may have saved since this one loaded: what it wrote stays, unless this
  // program changed the same setting. A setting missing from the file is written, so that
  // the file holds all four.
  auto put = [](IniFile& ini, const char* section, const char* key, const std::string& value,
                bool changed) {
    if (changed || !ini.HasKey(section, key)) (void)ini.SetString(section, key, value);
  };
  std::vector<RecentEntry> merged;
  const bool saved = UpdateIniFile(path, [&](IniFile& ini) {
    put(ini, "MOZI", "CODE", std::to_string(now.encoding), now.encoding != loaded_.encoding);
    // CODE_EX appears only once an extended choice was made; leaving it again empties it.
    const char* codeEx = now.extended == Extended::kAuto    ? "auto"
                         : now.extended == Extended::kEucJp ? "eucjp"
                                                            : "";
    if (now.extended != loaded_.extended &&
        (now.extended != Extended::kNone || ini.HasKey("MOZI", "CODE_EX"))) {
      (void)ini.SetString("MOZI", "CODE_EX", codeEx);
    }
    put(ini, "MOZI", "BOM", now.detectBom ? "1" : "0", now.detectBom != loaded_.detectBom);
    put(ini, "ETC", "TAB_OLDTYPE", std::to_string(now.tabOldType),
        now.tabOldType != loaded_.tabOldType);
    put(ini, "ETC", "RET_M_IDX", std::to_string(now.newlineMode),
        now.newlineMode != loaded_.newlineMode);
    if (now.numberTolerance != loaded_.numberTolerance) {
      (void)ini.SetString("ETC", "NUM_TOL", now.numberTolerance);
    }
    if (place_) WriteWindowPlace(ini, *place_, loadedPlace_);
    // The list as the file holds it now, which another program may have changed since this
    // one loaded; without additions of its own this program leaves it alone.
    if (!added_.empty()) {
      merged = MergeRecentLists(added_, ReadRecentList(ini));
      WriteRecentList(ini, merged);
    }
  });
  // What is in the file now is what a later save compares with.
  if (saved) {
    loaded_ = now;
    loadedPlace_ = place_;
    if (!added_.empty()) recent_ = std::move(merged);
    added_.clear();
  }
  return saved;
}

std::string SettingsStore::SaveRefusal() const {
  return folder_.empty() ? Sjis("設定を保存できません。") : std::string();
}

std::string SettingsStore::HelpPath() {
  // An installed program reads the page from its data folder, never from the settings folder.
  if (helpFolder_.empty() || helpFolder_ == folder_) return MakePath(kHelpFile);
  std::string path = helpFolder_;
  path += kHelpFile;
  return path;
}

bool SettingsStore::HelpExists() { return PathText::FileExists(HelpPath()); }

Status SettingsStore::CheckHelp() {
  if (HelpExists()) return Status::Ok();
  return Status::Warning(-1, Sjis("ファイルが見付かりません。"));
}

FixedWidthReader& SettingsStore::FixReader() {
  if (!fixReader_) fixReader_ = std::make_unique<FixedWidthReader>();
  return *fixReader_;
}

}  // namespace korvel
