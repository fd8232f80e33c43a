#pragma once
// korvel-cli's comparison settings files (--settings, --save-settings): the section of a
// settings file that matches the left file, applied under the command line, and the
// options of a run written back as such a file. The keys are the option table's names
// without their dashes (InSettingsFile), the values written as on the command line.

#include <string>

#include "cli/CliOptions.h"

namespace korvel {
class Prompter;
}

namespace korvel::cli {

// Applies the section of `o->settingsPath` that matches the left file's name to `*o`, then
// checks the options among themselves (CheckOptions). An option the command line gave
// keeps the command line's value. A relative `fixed-def` is taken from the settings file's
// folder. False with `*error` (UTF-8, for "korvel-cli: <reason>"): a file that cannot be
// read, is no UTF-8 or is over 1 MB, or a line that is malformed, names an unknown key,
// repeats a key that only one value may have, or has a bad value
// ("<file>: 比較設定ファイルの%d行目が正しくありません: <key or reason>").
bool ApplySettingsFile(CliOptions* o, std::string* error);

// The `[*]` section that gives the options of `o` that a settings file may hold, in the
// order they were applied.
std::string SettingsFileText(const CliOptions& o);

// Writes SettingsFileText to `o.saveSettingsPath` whole or not at all; an existing file is
// replaced only with --force (else the overwrite question, answered through `prompter`).
// False with `*error` set when it was refused or failed.
bool SaveSettingsFile(const CliOptions& o, Prompter& prompter, std::string* error);

}  // namespace korvel::cli
