#pragma once
// The folder that holds korvel.ini, the clipboard captures and the help page.
//
// An installed program (bin/korvel beside share/korvel/korvel.html, as `cmake --install` and
// the package lay it out) never writes into bin/: its settings live in the configuration
// folder and its help page is read from share/korvel/. An executable anywhere else (the
// build tree, a copied folder) keeps everything in its own folder when it may write there.

#include <string>

namespace korvel {

// The folder, ending with '/':
//  - $KORVEL_HOME when it is set and not empty (tests use it);
//  - else the running executable's folder when it is writable and not an installed one;
//  - else $XDG_CONFIG_HOME/korvel (~/.config/korvel when unset), created when missing.
std::string ProgramFolder();
// The same for an executable in `exeFolder` (ending with '/').
std::string ProgramFolderFor(const std::string& exeFolder);

// The folder of the help page, ending with '/': the installed data folder for an installed
// executable, else the program folder.
std::string HelpFolder();
std::string HelpFolderFor(const std::string& exeFolder);

// For an installed executable in `exeFolder` (ending with '/'), its data folder
// "<prefix>/share/korvel/", where <prefix> is the parent of `exeFolder`; empty when
// "<prefix>/share/korvel/korvel.html" does not exist, that is when it is not installed.
std::string InstalledDataFolder(const std::string& exeFolder);

// The folder of the running executable, ending with '/' (empty when it cannot be found).
std::string ExecutableFolder();

}  // namespace korvel
