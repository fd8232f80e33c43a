#pragma once
// The folder that holds korvel.ini, the clipboard captures and the help page.
//
// An installed program (bin/korvel beside share/korvel/korvel.html, as `cmake --install` and
// the package lay it out) never writes into bin/: its settings live in the configuration
// folder and its help page is read from share/korvel/. An executable anywhere else (the
// build tree, a copied folder) keeps everything in its own folder when it may write there.
//
// A program folder is only ever an absolute path (nothing is taken relative to the current
// folder, and paths of any length are used whole). It must be a real folder owned by the
// user running the program and writable by nobody else: one that is a symbolic link,
// belongs to someone else or may be written by its group or by others is refused, since
// whoever else may write there could plant a korvel.ini that changes results, or links that
// make the program's writes land elsewhere. A folder the program creates (and any missing
// parent of it) is made 0700.

#include <string>

namespace korvel {

// Where the program folder may come from; empty texts are unset variables.
struct FolderSources {
  std::string korvelHome;     // $KORVEL_HOME
  std::string xdgConfigHome;  // $XDG_CONFIG_HOME
  std::string home;           // $HOME
  std::string userHome;       // the user's home folder in the user database
  std::string runtimeDir;     // $XDG_RUNTIME_DIR
};

// The sources of this process: the environment, and the user database
// (getpwuid(getuid())->pw_dir) only when neither $XDG_CONFIG_HOME nor $HOME is an absolute
// path.
FolderSources CurrentFolderSources();

// The folder, ending with '/', for an executable in `exeFolder` (ending with '/'; empty when
// unknown), from the first of these that applies:
//  - $KORVEL_HOME when it is set (tests use it): that folder, created when missing, or none
//    when it is refused (or relative);
//  - the executable's folder when it is writable, accepted and not an installed one;
//  - the configuration folder "<config>/korvel", where <config> is $XDG_CONFIG_HOME, else
//    $HOME/.config, else the user database's home folder + "/.config" (the first of them
//    that is an absolute path), created when missing;
//  - else "$XDG_RUNTIME_DIR/korvel", created when missing.
// Empty when no folder can be had: nothing is then read from or written to any folder.
//
// When no folder can be had because one of these existed and was refused as unsafe (see
// above), `*refused` (when given) receives that folder (the first such); else it is emptied.
std::string ProgramFolderFrom(const std::string& exeFolder, const FolderSources& sources,
                              std::string* refused = nullptr);
// ProgramFolderFrom with this process's sources.
std::string ProgramFolderFor(const std::string& exeFolder, std::string* refused = nullptr);
std::string ProgramFolder(std::string* refused = nullptr);

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
