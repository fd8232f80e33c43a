#include "cli/SettingsFileOptions.h"

#include <algorithm>
#include <set>
#include <vector>

#include "export/ExportDriver.h"
#include "io/PathText.h"
#include "io/TextFile.h"
#include "platform/FileSystem.h"
#include "settings/ComparisonSettingsFile.h"

namespace korvel::cli {
namespace {

std::string LineError(const std::string& path, int line, const std::string& what) {
  return path + ": 比較設定ファイルの" + std::to_string(line) + "行目が正しくありません: " + what;
}

bool IsRepeatable(const OptionRow& row) {
  return row.kind == ValueKind::kKey || row.kind == ValueKind::kFieldList;
}

// A switch is written alone, or with "= true" / "= false".
bool SwitchValue(const SettingsEntry& entry, bool* on) {
  if (!entry.HasValue || entry.Value == "true") {
    *on = true;
    return true;
  }
  *on = false;
  return entry.Value == "false";
}

// A definition file named relative to the settings file is found beside it.
std::string BesideSettings(const std::string& settingsPath, const std::string& value) {
  if (value.empty() || value.front() == '/') return value;
  const std::size_t name = PathText::FileNamePart(settingsPath);
  return settingsPath.substr(0, name) + value;
}

bool ApplyEntry(const SettingsEntry& entry, const OptionRow& row, const std::string& path,
                CliOptions* o, std::string* error) {
  std::string value = entry.Value;
  if (row.kind == ValueKind::kNone) {
    bool on = false;
    if (!SwitchValue(entry, &on)) {
      *error = LineError(path, entry.Line, entry.Key);
      return false;
    }
    if (!on) return true;
    value.clear();
  } else if (row.name == "--fixed-def") {
    value = BesideSettings(path, value);
  }
  std::string reason;
  if (ApplyOption(row.name, value, o, &reason)) return true;
  *error = LineError(path, entry.Line, reason);
  return false;
}

}  // namespace

bool ApplySettingsFile(CliOptions* o, std::string* error) {
  const std::string& path = o->settingsPath;
  std::vector<SettingsSection> sections;
  SettingsFileError failed;
  if (!LoadComparisonSettings(path, &sections, &failed)) {
    *error = failed.Line > 0 ? LineError(path, failed.Line, failed.Reason)
                             : path + ": 比較設定ファイルが" + failed.Reason;
    return false;
  }
  // Every section is checked, not only the one that applies: a mistake must not wait for
  // the file that happens to match it.
  const std::vector<std::string_view> fromCommandLine = o->given;
  const std::string_view match =
      o->settingsMatchPath.empty()
          ? std::string_view(o->left).substr(PathText::FileNamePart(o->left))
          : std::string_view(o->settingsMatchPath);
  const SettingsSection* chosen = MatchSettingsSection(sections, match);
  for (const SettingsSection& section : sections) {
    std::set<std::string_view> seen;
    for (const SettingsEntry& entry : section.Entries) {
      const OptionRow* row = FindOption("--" + entry.Key);
      if (row == nullptr || row->name != "--" + entry.Key || !InSettingsFile(*row) ||
          (!IsRepeatable(*row) && !seen.insert(row->name).second)) {
        *error = LineError(path, entry.Line, entry.Key);
        return false;
      }
      if (&section != chosen) {
        CliOptions trial;
        if (!ApplyEntry(entry, *row, path, &trial, error)) return false;
        continue;
      }
      const bool commandLine = std::find(fromCommandLine.begin(), fromCommandLine.end(),
                                         row->name) != fromCommandLine.end();
      if (!commandLine && !ApplyEntry(entry, *row, path, o, error)) return false;
    }
  }
  return CheckOptions(o, error);
}

std::string SettingsFileText(const CliOptions& o) {
  std::string text = "; KORVEL 比較設定\n[*]\n";
  for (const auto& [name, value] : o.applied) {
    const OptionRow* row = FindOption(name);
    if (row == nullptr || !InSettingsFile(*row)) continue;
    text.append(name.substr(2));
    if (row->kind != ValueKind::kNone) text.append(" = ").append(value);
    text.append("\n");
  }
  return text;
}

bool SaveSettingsFile(const CliOptions& o, Prompter& prompter, std::string* error) {
  const std::string& path = o.saveSettingsPath;
  if (!o.force && !ConfirmOverwrite(path, prompter)) {
    *error = path + ": 比較設定ファイルを保存しませんでした。";
    return false;
  }
  const std::string text = SettingsFileText(o);
  TextFile file;
  file.SetReplace(o.force);
  if (file.Open(path, TextFile::kModeWrite, kEncodingUtf8) != 0) {
    *error = path + (file.OpenRefusal() == FileSystem::kTargetExists
                         ? ": 既にファイルが存在します。"
                         : ": 比較設定ファイルを保存できません。");
    return false;
  }
  const bool written =
      file.Write(text.data(), static_cast<int>(text.size())) == static_cast<int>(text.size());
  const int closed = file.Close();
  if (written && closed == 0) return true;
  *error = path + (closed == TextFile::kTargetExists ? ": 既にファイルが存在します。"
                                                     : ": 比較設定ファイルを保存できません。");
  return false;
}

}  // namespace korvel::cli
